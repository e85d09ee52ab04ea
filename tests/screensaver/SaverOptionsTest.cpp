// The saver's command line, as a user, XScreenSaver and its settings dialog give it.

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "screensaver/HueRing.h"
#include "screensaver/SaverOptions.h"
#include "screensaver/SaverSettings.h"

namespace {

struct Parsed {
    bool ok;
    SaverOptions options;
    std::string error;
};

Parsed Parse(std::vector<std::string_view> args, const char* xscreensaverWindow = nullptr) {
    Parsed p;
    p.ok = ParseSaverOptions(args, xscreensaverWindow, &p.options, &p.error);
    return p;
}

TEST(SaverOptionsTest, ModesInEitherForm) {
    struct Case {
        std::vector<std::string_view> args;
        SaverMode mode;
        std::uint64_t windowId;
    };
    // The saver's end-to-end runs start it with no mode, -s, --window, -window, -c, -root and
    // --window-id in decimal; these are the other forms.
    const Case cases[] = {
        {{"--root"}, SaverMode::Foreign, 0x2a00007},
        {{"--window-id", "0x1E00003"}, SaverMode::Foreign, 0x1e00003},
        {{"-window-id", "31457283"}, SaverMode::Foreign, 31457283},
    };
    for (const Case& c : cases) {
        const Parsed p = Parse(c.args, "0x2A00007");
        ASSERT_TRUE(p.ok) << p.error;
        EXPECT_EQ(c.mode, p.options.mode) << (c.args.empty() ? "" : c.args[0]);
        EXPECT_EQ(c.windowId, p.options.windowId);
    }
}

TEST(SaverOptionsTest, SettingsForOneRunAsXScreenSaversDialogPassesThem) {
    const Parsed p = Parse({"-root", "-arrangement", "circle", "--hue", "-1"}, "12345");
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(12345u, p.options.windowId);
    EXPECT_EQ(kCircle, p.options.arrangement);
    EXPECT_EQ(-1, p.options.hue);
    const Parsed q = Parse({"--window", "--hue", "341", "--arrangement", "bubble"});
    ASSERT_TRUE(q.ok) << q.error;
    EXPECT_EQ(341, q.options.hue);
    EXPECT_EQ(kBubble, q.options.arrangement);
    EXPECT_FALSE(Parse({}).options.hue.has_value());
}

TEST(SaverOptionsTest, RefusesWhatMakesNoSenseAndSaysWhy) {
    struct Case {
        std::vector<std::string_view> args;
        const char* xscreensaverWindow;
        const char* says;
    };
    const Case cases[] = {
        {{"--root"}, nullptr, "not set"},
        {{"--root"}, "somewhere", "not a window id"},
        {{"--window-id"}, nullptr, "needs a value"},
        {{"--window-id", "0x"}, nullptr, "not \"0x\""},
        {{"--window-id", "12z"}, nullptr, "not \"12z\""},
        {{"--window-id", "0"}, nullptr, "not \"0\""},
        {{"--window", "-c"}, nullptr, "only one of"},
        {{"--hue", "360"}, nullptr, "not \"360\""},
        {{"--hue", "-2"}, nullptr, "not \"-2\""},
        {{"--arrangement", "spiral"}, nullptr, "not \"spiral\""},
        {{"--fullscreen"}, nullptr, "unknown argument \"--fullscreen\""},
        {{"window"}, nullptr, "unknown argument \"window\""},
    };
    for (const Case& c : cases) {
        const Parsed p = Parse(c.args, c.xscreensaverWindow);
        EXPECT_FALSE(p.ok) << c.args[0];
        EXPECT_NE(std::string::npos, p.error.find(c.says)) << p.error;
    }
    const Parsed help = Parse({"--help"});
    EXPECT_FALSE(help.ok);
    EXPECT_TRUE(help.error.empty());
}

// XScreenSaver's settings dialog runs "sstovel --root" plus the arg-set of each chosen option.
TEST(SaverOptionsTest, EveryChoiceOfTheXScreenSaverDescriptionIsUnderstood) {
    std::ifstream file(SSTOVEL_XML);
    std::stringstream text;
    text << file.rdbuf();
    const std::string xml = text.str();
    ASSERT_NE(std::string::npos, xml.find("<command arg=\"--root\"/>"));
    std::set<int> hues;
    std::set<int> arrangements;
    // Not std::regex: GCC's sanitizer builds warn falsely inside it.
    constexpr std::string_view kArgSet = "arg-set=\"";
    for (std::size_t at = xml.find(kArgSet); at != std::string::npos;
         at = xml.find(kArgSet, at + 1)) {
        const std::size_t begin = at + kArgSet.size();
        const std::string argSet = xml.substr(begin, xml.find('"', begin) - begin);
        std::vector<std::string> words = {"--root"};
        std::istringstream split(argSet);
        for (std::string word; split >> word;) {
            words.push_back(word);
        }
        const std::vector<std::string_view> args(words.begin(), words.end());
        const Parsed p = Parse(args, "0x400007");
        ASSERT_TRUE(p.ok) << argSet << ": " << p.error;
        if (p.options.hue) {
            hues.insert(*p.options.hue);
        }
        if (p.options.arrangement) {
            arrangements.insert(*p.options.arrangement);
        }
    }
    EXPECT_EQ((std::set<int>{kBubble, kCircle}), arrangements);
    // Changing colours and the twenty hues of the dialog's ring.
    std::set<int> ring = {-1};
    for (const HueRingItem& item : LayOutHueRing(260, 260).items) {
        ring.insert(item.value);
    }
    EXPECT_EQ(ring, hues);
}

}  // namespace

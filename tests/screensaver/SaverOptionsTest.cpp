// The saver's command line, as a user, XScreenSaver and its settings dialog give it.

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "screensaver/HueRing.h"
#include "screensaver/SaverOptions.h"
#include "screensaver/SaverSettings.h"
#include "tests/support/ChildProcess.h"

namespace {

struct Parsed {
    bool ok;
    SaverOptions options;
    std::string error;
};

Parsed Parse(const std::vector<std::string_view>& args, const char* xscreensaverWindow = nullptr) {
    Parsed p;
    p.ok = ParseSaverOptions(args, xscreensaverWindow, &p.options, &p.error);
    return p;
}

// The end-to-end runs start the saver with no mode, -s, --window, -window, -c, -root and
// --window-id in decimal; these are the other forms, and settings for one run.
TEST(SaverOptionsTest, ModesInEitherFormAndSettingsForOneRun) {
    // Arguments, mode (F foreign, W window), window id, hue and arrangement.
    constexpr SaverMode F = SaverMode::Foreign, W = SaverMode::Window;
    const std::tuple<std::vector<std::string_view>, SaverMode, std::uint64_t, std::optional<int>,
                     std::optional<int>>
        cases[] = {{{"--root"}, F, 0x2a00007, {}, {}},
                   {{"--window-id", "0x1E00003"}, F, 0x1e00003, {}, {}},
                   {{"-window-id", "31457283"}, F, 31457283, {}, {}},
                   {{"-root", "-arrangement", "circle", "--hue", "-1"}, F, 0x2a00007, -1, kCircle},
                   {{"--window", "--hue", "341", "--arrangement", "bubble"}, W, 0, 341, kBubble}};
    for (const auto& [args, mode, windowId, hue, arrangement] : cases) {
        const Parsed p = Parse(args, "0x2A00007");
        ASSERT_TRUE(p.ok) << p.error;
        EXPECT_EQ(
            std::tuple(mode, windowId, hue, arrangement),
            std::tuple(p.options.mode, p.options.windowId, p.options.hue, p.options.arrangement))
            << args[0];
    }
    EXPECT_EQ(12345u, Parse({"-root"}, "12345").options.windowId);
}

TEST(SaverOptionsTest, RefusesWhatMakesNoSenseAndSaysWhy) {
    // Arguments, XSCREENSAVER_WINDOW and what the message says.
    const std::tuple<std::vector<std::string_view>, const char*, const char*> cases[] = {
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
        {{"--help"}, nullptr, ""},
    };
    for (const auto& [args, xscreensaverWindow, says] : cases) {
        const Parsed p = Parse(args, xscreensaverWindow);
        EXPECT_FALSE(p.ok) << args[0];
        EXPECT_NE(std::string::npos, p.error.find(says)) << p.error;
        EXPECT_EQ(*says == 0, p.error.empty()) << p.error;
    }
}

// XScreenSaver's settings dialog runs "sstovel --root" plus the arg-set of each chosen option:
// both arrangements, changing colours and the twenty hues of the dialog's ring.
TEST(SaverOptionsTest, EveryChoiceOfTheXScreenSaverDescriptionIsUnderstood) {
    const std::string xml = tovel_test::ReadFile(SSTOVEL_XML);
    ASSERT_NE(std::string::npos, xml.find("<command arg=\"--root\"/>"));
    std::set<int> hues, arrangements, ring = {-1};
    // Not std::regex: GCC's sanitizer builds warn falsely inside it.
    constexpr std::string_view kArgSet = "arg-set=\"";
    for (std::size_t at = xml.find(kArgSet); at != std::string::npos;
         at = xml.find(kArgSet, at + 1)) {
        const std::size_t begin = at + kArgSet.size();
        std::istringstream split(xml.substr(begin, xml.find('"', begin) - begin));
        std::vector<std::string> words = {"--root"};
        for (std::string word; split >> word;) {
            words.push_back(word);
        }
        const Parsed p =
            Parse(std::vector<std::string_view>(words.begin(), words.end()), "0x400007");
        ASSERT_TRUE(p.ok) << split.str() << ": " << p.error;
        hues.insert(p.options.hue.value_or(-2));
        arrangements.insert(p.options.arrangement.value_or(-2));
    }
    for (const HueRingItem& item : LayOutHueRing(260, 260).items) {
        ring.insert(item.value);
    }
    ring.insert(-2);  // the arrangements' arg-sets name no hue, and the hues' no arrangement
    EXPECT_EQ((std::set<int>{-2, kBubble, kCircle}), arrangements);
    EXPECT_EQ(ring, hues);
}

}  // namespace

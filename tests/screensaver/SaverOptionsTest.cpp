// The saver's command line, as a user, XScreenSaver and its settings dialog give it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

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
    const Case cases[] = {
        {{}, SaverMode::FullScreen, 0},
        {{"-s"}, SaverMode::FullScreen, 0},
        {{"--window"}, SaverMode::Window, 0},
        {{"-window"}, SaverMode::Window, 0},
        {{"-c"}, SaverMode::Configure, 0},
        {{"--root"}, SaverMode::Foreign, 0x2a00007},
        {{"-root"}, SaverMode::Foreign, 0x2a00007},
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

}  // namespace

// The saver's settings: its configuration dialog (the hue ring's geometry and hit test, and the
// dialog procedure on the null dialog with its settings file in a private configuration folder)
// and its command line, as a user, XScreenSaver and its settings dialog give it.

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/dialog/NullDialog.h"
#include "screensaver/ConfigureDialog.h"
#include "screensaver/HueRing.h"
#include "screensaver/SaverOptions.h"
#include "screensaver/SaverSettings.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ScopedEnvironment.h"

namespace {

namespace fs = std::filesystem;
using platform::IDCANCEL;
using platform::IDOK;
using platform::NullDialog;
using platform::POINT;
using platform::RecordingCanvas;
using platform::RGB;

// Corners as plain pairs, so that a mismatch prints them.
std::vector<std::pair<int, int>> Xy(const std::array<POINT, 4>& points) {
    std::vector<std::pair<int, int>> xy;
    for (const POINT& p : points) {
        xy.emplace_back(p.x, p.y);
    }
    return xy;
}

TEST(HueRingTest, GeometryOfA260SquareFrame) {
    const HueRingLayout layout = LayOutHueRing(260, 260);
    // s = trunc(234 / (2 + 1 / tan(pi / 21))) = 27, half 13, centre (130, 130).
    EXPECT_EQ(std::tuple(27, 130, 130),
              std::tuple(layout.barWidth, layout.centreX, layout.centreY));
    EXPECT_EQ(Xy({{{143, 27}, {117, 27}, {117, 0}, {143, 0}}}), Xy(layout.items[0].points));
    // Item 1 is turned by 2pi/21 clockwise on screen: (13, -103) goes to
    // (trunc(13 cos - (-103) sin), trunc(13 sin + (-103) cos)) = (42, -94).
    EXPECT_EQ(std::pair(130 + 42, 130 - 94), Xy(layout.items[1].points)[0]);
    // Item 20 mirrors item 1 across the vertical axis, within a pixel of truncation.
    EXPECT_NEAR(260 - layout.items[1].points[1].x, layout.items[20].points[0].x, 1);
    EXPECT_NEAR(layout.items[1].points[1].y, layout.items[20].points[0].y, 1);
    EXPECT_EQ(Xy({{{103, 103}, {157, 103}, {157, 157}, {103, 157}}}), Xy(layout.centre));
}

// Field, 21 items from changing colours at the top round the hues, and the centre in the selected
// hue (white for changing colours), with red in the colour's low byte.
TEST(HueRingTest, PaintsFieldItemsAndCentreInOrder) {
    RecordingCanvas canvas;
    const HueRingLayout layout = PaintHueRing(canvas, 390, 423, 180);
    const auto& shapes = canvas.Shapes();
    ASSERT_EQ(1u + 21u + 1u, shapes.size());
    EXPECT_TRUE(shapes[0].rectangle);
    const std::pair<int, platform::COLORREF> brushes[] = {{0, RGB(0, 0, 0)},
                                                          {1, RGB(255, 255, 255)},
                                                          {2, RGB(255, 0, 0)},
                                                          {12, RGB(0, 255, 255)},
                                                          {22, RGB(0, 255, 255)}};
    for (const auto& [shape, brush] : brushes) {
        EXPECT_EQ(brush, shapes[shape].brush) << shape;
    }
    EXPECT_EQ(layout.items[5].points[2].x, shapes[6].points[2].x);
    // The frame is taller than wide: the ring is as wide as the frame and centred in height.
    EXPECT_EQ(std::pair(211, 211 - 195), std::pair(layout.centreY, layout.items[0].points[2].y));
    EXPECT_EQ(RGB(255, 255, 255), CentreColour(kChangingColours));
    // Truncated, not rounded.
    EXPECT_EQ(RGB(204, 204, 204), HueToColorRef(0.0f, 0.0f, 0.8f));
}

TEST(HueRingTest, EveryItemIsHitAtItsCentreAndNothingOutside) {
    const HueRingLayout layout = LayOutHueRing(390, 423);
    for (const HueRingItem& item : layout.items) {
        const auto& p = item.points;
        const POINT centroid{(p[0].x + p[1].x + p[2].x + p[3].x) / 4,
                             (p[0].y + p[1].y + p[2].y + p[3].y) / 4};
        EXPECT_EQ(item.value, HitHueRing(layout, centroid)) << item.value;
    }
    for (const POINT& p : {POINT{195, 211}, POINT{2, 2}, POINT{387, 420}, POINT{-5, 100}}) {
        EXPECT_FALSE(HitHueRing(layout, p).has_value()) << p.x << ", " << p.y;
    }
}

// A pentagram's centre is wound twice, so the winding rule fills it (even-odd would not); a pixel
// is inside when its centre is.
TEST(HueRingTest, WindingRuleCountsOverlapsAsInside) {
    const POINT star[] = {{50, 0}, {79, 90}, {2, 35}, {98, 35}, {21, 90}};
    const POINT square[] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}};
    const std::tuple<const POINT*, POINT, bool> cases[] = {
        {star, {50, 45}, true},  {star, {50, 10}, true}, {star, {50, 80}, false},
        {square, {0, 0}, true},  {square, {9, 9}, true}, {square, {10, 5}, false},
        {square, {-1, 5}, false}};
    for (const auto& [polygon, p, inside] : cases) {
        EXPECT_EQ(inside, PolygonContains(polygon, polygon == star ? 5 : 4, p))
            << p.x << "," << p.y;
    }
}

class ConfigureDialogTest : public ::testing::Test {
protected:
    fs::path File() const { return m_dir.Path() / "sstovel.ini"; }
    void WriteFile(const std::string& text) { std::ofstream(File()) << text; }
    std::string ReadFile() const { return tovel_test::ReadFile(File()); }

    NullDialog Open() {
        NullDialog dialog(ConfigureDialogTemplate(),
                          [this](platform::Dialog* d, std::uint32_t m, platform::WPARAM w,
                                 platform::LPARAM l) { return m_dialog.Procedure(d, m, w, l); });
        EXPECT_TRUE(dialog.Send(platform::WM_INITDIALOG));
        return dialog;
    }

    // Points the pointer at item k of the painted ring and releases the button there.
    void ClickItem(NullDialog& dialog, int k) {
        const auto& p = m_dialog.Ring()->items[k].points;
        dialog.SetCursorPos(kHueFrameId, POINT{(p[0].x + p[1].x + p[2].x + p[3].x) / 4,
                                               (p[0].y + p[1].y + p[2].y + p[3].y) / 4});
        EXPECT_TRUE(dialog.Send(platform::WM_LBUTTONUP));
    }

    tovel_test::TempDir m_dir;
    tovel_test::ScopedEnvironment m_config{"XDG_CONFIG_HOME", m_dir.Path().c_str()};
    CConfigureDialog m_dialog;
};

TEST_F(ConfigureDialogTest, MissingOrDamagedFileGivesChangingColoursAndBubble) {
    const char* contents[] = {nullptr, "\x01\x02 not a key file [", "[Screen Saver.sstovel]\n",
                              "[Screen Saver.sstovel]\nSELECTEDHUE=red\nSELECTEDTYPE=\n"};
    for (const char* text : contents) {
        if (text) {
            WriteFile(text);
        }
        const SaverSettings settings = ReadSaverSettings();
        EXPECT_EQ(-1, settings.selectedHue) << (text ? text : "no file");
        EXPECT_EQ(kBubble, settings.selectedType) << (text ? text : "no file");
    }
}

TEST_F(ConfigureDialogTest, AnUnknownArrangementOpensWithoutSelectionAndOkStoresMinusOne) {
    WriteFile("[Screen Saver.sstovel]\nSELECTEDTYPE=7\n");
    NullDialog dialog = Open();
    EXPECT_EQ(-1, dialog.GetCurSel(kArrangementListId));
    EXPECT_TRUE(dialog.Send(platform::WM_COMMAND, IDOK));
    EXPECT_TRUE(dialog.Ended());
    EXPECT_EQ(-1, ReadSaverSettings().selectedType);
}

// A clicked hue is stored at once and Cancel keeps it, storing no arrangement; OK stores the
// arrangement and keeps the rest of the file.
TEST_F(ConfigureDialogTest, AClickedHueIsStoredAtOnceAndTheArrangementOnOkOnly) {
    WriteFile("# mine\n[Other]\nkept=yes\n[Screen Saver.sstovel]\nSELECTEDHUE=36\n");
    for (const int button : {IDCANCEL, IDOK}) {
        NullDialog dialog = Open();
        dialog.Paint(kHueFrameId);
        ClickItem(dialog, button == IDOK ? 11 : 12);
        const int hue = button == IDOK ? 180 : 197;
        EXPECT_EQ(hue, m_dialog.SelectedHue());
        EXPECT_EQ(hue, ReadSaverSettings().selectedHue) << "stored before the dialog ends";
        EXPECT_EQ(1, dialog.Invalidations(kHueFrameId)) << "the centre square is painted again";
        dialog.SetCurSel(kArrangementListId, kCircle);
        EXPECT_TRUE(dialog.Send(platform::WM_COMMAND, button));
        EXPECT_EQ(button, dialog.Result());
        EXPECT_EQ(button == IDOK ? kCircle : kBubble, ReadSaverSettings().selectedType);
    }
    EXPECT_NE(std::string::npos, ReadFile().find("# mine\n\n[Other]\nkept=yes\n")) << ReadFile();
}

TEST_F(ConfigureDialogTest, ClicksBeforePaintingOrOutsideEveryItemChangeAndWriteNothing) {
    WriteFile("[Screen Saver.sstovel]\nSELECTEDHUE=54\n");
    const auto written = fs::last_write_time(File());
    NullDialog dialog = Open();
    dialog.SetCursorPos(kHueFrameId, POINT{10, 10});
    EXPECT_TRUE(dialog.Send(platform::WM_LBUTTONUP)) << "not painted yet: nothing hits";
    dialog.Paint(kHueFrameId);
    const HueRingLayout& ring = *m_dialog.Ring();
    for (const POINT& p : {POINT{ring.centreX, ring.centreY}, POINT{2, 2}, POINT{-40, -40}}) {
        dialog.SetCursorPos(kHueFrameId, p);
        EXPECT_TRUE(dialog.Send(platform::WM_LBUTTONUP));
    }
    EXPECT_EQ(54, m_dialog.SelectedHue());
    EXPECT_EQ(0, dialog.Invalidations(kHueFrameId));
    EXPECT_EQ(written, fs::last_write_time(File()));
}

TEST_F(ConfigureDialogTest, AFileThatCannotBeWrittenIsReportedAndOkKeepsTheDialogOpen) {
    // A configuration folder below a plain file cannot be made, even by root.
    WriteFile("");
    const tovel_test::ScopedEnvironment below("XDG_CONFIG_HOME", (File() / "below").c_str());
    NullDialog dialog = Open();
    dialog.Paint(kHueFrameId);
    ClickItem(dialog, 3);
    EXPECT_EQ(36, m_dialog.SelectedHue());
    dialog.SetCurSel(kArrangementListId, kCircle);
    EXPECT_TRUE(dialog.Send(platform::WM_COMMAND, IDOK));
    EXPECT_FALSE(dialog.Ended());
    ASSERT_EQ(2u, dialog.Messages().size()) << "the hue's and OK's";
    EXPECT_NE(std::string::npos, dialog.Messages()[0].find((File() / "below").string()));
}

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

// The configuration dialog's procedure on the null dialog, with its settings file in a private
// configuration folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/dialog/NullDialog.h"
#include "platform/settings/ProfileFile.h"
#include "screensaver/ConfigureDialog.h"
#include "screensaver/SaverSettings.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ScopedEnvironment.h"

namespace {

namespace fs = std::filesystem;
using platform::IDCANCEL;
using platform::IDOK;
using platform::NullDialog;
using platform::POINT;

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
        const HueRingItem& item = m_dialog.Ring()->items[k];
        int x = 0, y = 0;
        for (const POINT& p : item.points) {
            x += p.x;
            y += p.y;
        }
        dialog.SetCursorPos(kHueFrameId, POINT{x / 4, y / 4});
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
    EXPECT_EQ(IDOK, dialog.Result());
    EXPECT_EQ(-1, ReadSaverSettings().selectedType);
}

TEST_F(ConfigureDialogTest, AClickedHueIsStoredAtOnceAndCancelKeepsIt) {
    NullDialog dialog = Open();
    dialog.Paint(kHueFrameId);
    ClickItem(dialog, 11);
    EXPECT_EQ(180, m_dialog.SelectedHue());
    EXPECT_EQ(180, ReadSaverSettings().selectedHue) << "stored before the dialog ends";
    EXPECT_EQ(1, dialog.Invalidations(kHueFrameId)) << "the centre square is painted again";
    dialog.SetCurSel(kArrangementListId, kCircle);
    EXPECT_TRUE(dialog.Send(platform::WM_COMMAND, IDCANCEL));
    EXPECT_EQ(IDCANCEL, dialog.Result());
    const SaverSettings settings = ReadSaverSettings();
    EXPECT_EQ(180, settings.selectedHue);
    EXPECT_EQ(kBubble, settings.selectedType) << "Cancel stores no arrangement";
    EXPECT_NE(std::string::npos, ReadFile().find("SELECTEDHUE=180"));
}

TEST_F(ConfigureDialogTest, OkStoresTheArrangementAndKeepsTheRestOfTheFile) {
    WriteFile("# mine\n[Other]\nkept=yes\n[Screen Saver.sstovel]\nSELECTEDHUE=36\n");
    NullDialog dialog = Open();
    dialog.SetCurSel(kArrangementListId, kCircle);
    EXPECT_TRUE(dialog.Send(platform::WM_COMMAND, IDOK));
    EXPECT_EQ(kCircle, ReadSaverSettings().selectedType);
    EXPECT_EQ(36, ReadSaverSettings().selectedHue);
    const std::string text = ReadFile();
    EXPECT_NE(std::string::npos, text.find("# mine")) << text;
    EXPECT_NE(std::string::npos, text.find("kept=yes")) << text;
    EXPECT_NE(std::string::npos, text.find("SELECTEDTYPE=1")) << text;
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
    EXPECT_EQ("[Screen Saver.sstovel]\nSELECTEDHUE=54\n", ReadFile());
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
    ASSERT_EQ(2u, dialog.Messages().size());
    EXPECT_NE(std::string::npos, dialog.Messages()[0].find("could not be saved"));
    EXPECT_NE(std::string::npos, dialog.Messages()[0].find((File() / "below").string()));
}

}  // namespace

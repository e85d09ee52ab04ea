// The palette without a device: layout, the Timbres folder loaded and saved, bad files, the strip.

#include "palette/TimbrePalette.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <map>
#include <random>

#include "container/ContainerFile.h"
#include "controls/HsvColour.h"
#include "jewels/JewelManager.h"
#include "palette/TimbreFile.h"
#include "platform/window/MessageBox.h"
#include "synth/Synthesizer.h"
#include "tests/palette/TestMeshes.h"
#include "tests/support/ScopedAudioBackend.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/ScopedInstance.h"

namespace {

namespace fs = std::filesystem;
using namespace platform;
using tovel_test::Mesh;

std::string ReadBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), {});
}

std::unique_ptr<CTimbre> Timbre(float fundamental) {
    auto timbre = std::make_unique<CTimbre>();
    timbre->m_harmonics[0] = fundamental;
    timbre->m_color.m_hue = -1.0f;
    return timbre;
}

// A deviceless palette at 1024 x 768, three library meshes, a private Timbres folder, messages.
class PaletteTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (std::uint32_t k = 0; k < 3; ++k) {
            m_library.m_meshes.Append(Mesh(4 + k, 3 + k));
        }
        m_library.m_meshCount = 3;
        m_palette.m_jewels = &m_library;
        m_palette.LayoutTiles(1024, 768);
        std::srand(1);
    }
    void TearDown() override {
        EXPECT_EQ(m_expectedMessages, m_recorder->Texts().size());
        std::error_code error;
        fs::remove_all(m_home, error);
    }
    fs::path Folder() const { return m_home / "tovel" / "Timbres"; }
    void WriteTimbre(const std::string& name, float fundamental, bool withMesh = true) {
        fs::create_directories(Folder());
        CVendra tree;
        const Amplitudes amplitudes = {fundamental};
        const auto bytes = std::as_bytes(std::span(amplitudes));  // alone, or with a mesh
        ASSERT_EQ(S_OK, withMesh ? BuildTimbreTree(amplitudes, *Mesh(5, 4), tree)
                                 : SetBaseWords32(*AddLayer(tree), bytes));
        ASSERT_EQ(S_OK, WriteContainer(Folder() / name, tree));
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (PaletteEntry* e = m_palette.m_head.get(); e; e = e->m_next.get()) {
            names.push_back(e->m_timbre ? e->m_timbre->m_name : "(blank)");
        }
        return names;
    }
    // The meshes chained in tile order are exactly the entries' own.
    void ExpectChainFollowsEntries() const {
        const JewelMesh* mesh = m_palette.m_head->m_mesh.get();
        for (PaletteEntry* e = m_palette.m_head.get(); e; e = e->m_next.get()) {
            if (e->m_timbre) {
                ASSERT_EQ(e->m_mesh.get(), mesh);
                mesh = mesh->next;
            }
        }
        EXPECT_EQ(nullptr, mesh);
    }
    PaletteEntry* EntryAt(std::uint32_t position) const { return m_palette.EntryAt(position); }
    // The centre of a drawn tile.
    std::pair<int, int> At(std::uint32_t position) const {
        const TileVertex* tile = m_palette.Tile(position);
        return {static_cast<int>((tile[0].x + tile[1].x) / 2), 650};
    }
    // Loaded, on a clock that reads 2024-01-02 03:04:05.
    void Load() {
        ASSERT_EQ(S_OK, m_palette.LoadTimbres());
        m_palette.SetClock([] {
            std::tm when{};
            when.tm_year = 2024 - 1900, when.tm_mday = 2, when.tm_isdst = -1;
            when.tm_hour = 3, when.tm_min = 4, when.tm_sec = 5;
            return std::mktime(&when);
        });
    }
    // As the keyboard band hands it over: its waveforms built.
    bool Store(std::uint32_t position, float fundamental, int jewel) {
        const auto [x, y] = At(position);
        auto timbre = Timbre(fundamental);
        timbre->BuildWaves(CSynthesizer::kLowest, CSynthesizer::kHighest);
        return m_palette.StoreTimbreAt(x, y, std::move(timbre), jewel);
    }
    TimbreFileContent Read(const std::string& name) const {
        CVendra tree;
        TimbreFileContent content;
        EXPECT_EQ(S_OK, ReadTimbreFile(Folder() / name, tree, &content)) << name;
        return content;
    }

    tovel_test::ScopedAudioBackend m_backend{AudioBackend::Unavailable};
    tovel_test::ScopedInstance<CSynthesizer> m_synthesizer;
    const fs::path m_home = tovel_test::TestTempPath("palette-home");
    tovel_test::ScopedEnvironment m_dataHome{"XDG_DATA_HOME", m_home.c_str()};
    MessageBoxRecorder* m_recorder = new MessageBoxRecorder();
    tovel_test::ScopedInstance<MessageBoxPresenter> m_presenter{m_recorder};
    std::size_t m_expectedMessages = 0;
    CJewelManager m_library;
    CTimbrePalette m_palette;
};

TEST_F(PaletteTest, LaysTheStripOutFromTheBackBuffer) {
    // Tiles 192 high and 135 wide from (13, 563), 148 apart; the jewel target 5 x 4 cells of 192.
    const CTimbrePalette& p = m_palette;
    const TileVertex *t0 = p.Tile(0), *t1 = p.Tile(1), *t17 = p.Tile(17);
    EXPECT_EQ((std::vector<float>{13, 148, 161, 296, 563, 755, 960, 768}),
              (std::vector<float>{t0[0].x, t0[1].x, t1[0].x, t1[1].x, t0[0].y, t0[2].y,
                                  float(p.m_targetWidth), float(p.m_targetHeight)}));
    // Position 17 shows pattern 1 in cell (2, 3) of the target; 22, past its 4 rows, cell (2, 0).
    EXPECT_EQ((std::vector<float>{0.25f, 0.0f, 0.75f, 1.0f, 0.0f, -0.75f, 0.0f, 0.75f}),
              (std::vector<float>{t17[0].u0, t17[0].v0, t17[0].v1, t17[5].v1,
                                  p.m_jewelCells[17].x, p.m_jewelCells[17].y,
                                  p.m_jewelCells[22].x, p.m_jewelCells[22].y}));
    EXPECT_NEAR((2.0f + 0.146393f) / 5.0f, t17[0].u1, 1e-6f) << "the middle of the cell";
}

// The 32nd to 40th files each take the latest's place, before the blank tile; 8 tiles are drawn.
TEST_F(PaletteTest, AFolderOf40FilesShowsTheFirst31AndTheLastAndKeepsEveryFile) {
    std::map<std::string, std::string> before;
    auto name = [](int i) { return "t" + std::to_string(10 + i) + ".tmbr"; };
    for (int i = 0; i < 40; ++i) {
        WriteTimbre(name(i), 0.02f * static_cast<float>(i));
        before[name(i)] = ReadBytes(Folder() / name(i));
    }
    ASSERT_EQ(S_OK, m_palette.LoadTimbres());
    ASSERT_EQ(32u, m_palette.m_entryCount);
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(name(i < 31 ? i : 39), EntryAt(i)->m_fileName);
    }
    PaletteEntry* latest = EntryAt(31);
    EXPECT_TRUE(!EntryAt(32) && latest->m_timbre->m_name == name(39));
    EXPECT_TRUE(m_palette.m_blank == latest && latest->m_prev == EntryAt(30));
    ExpectChainFollowsEntries();
    for (const auto& [file, bytes] : before) {
        EXPECT_EQ(bytes, ReadBytes(Folder() / file)) << file;
    }
    m_palette.LayoutTiles(1024, 768);
    EXPECT_EQ(8u, m_palette.m_visibleCount);
}

TEST_F(PaletteTest, BadFilesAreSkippedAndNoGoodFileIsChanged) {
    WriteTimbre("a-good.tmbr", 0.5f);
    WriteTimbre("b-amplitudes-only.tmbr", 0.25f, false);
    const fs::path folder = Folder();
    const std::string good = ReadBytes(folder / "a-good.tmbr");
    std::ofstream(folder / "c-truncated.tmbr", std::ios::binary) << good.substr(0, good.size() / 2);
    std::string noise(300, '\0');
    std::generate(noise.begin(), noise.end(), std::mt19937(7));
    std::ofstream(folder / "d-random.tmbr", std::ios::binary) << noise;
    fs::create_symlink(folder / "nowhere", folder / "e-unreadable.tmbr");
    ASSERT_EQ(0, ::mkfifo((folder / "f-fifo.tmbr").c_str(), 0644)) << "never opened";
    ASSERT_EQ(S_OK, m_palette.LoadTimbres());
    EXPECT_EQ((std::vector<std::string>{"a-good.tmbr", "b-amplitudes-only.tmbr", "(blank)"}),
              Names());
    EXPECT_EQ(good, ReadBytes(folder / "a-good.tmbr"));
    EXPECT_EQ(59u, EntryAt(1)->m_timbre->m_waveCount);
    // The file without a mesh was given one of the library's jewels, and keeps it.
    const TimbreFileContent content = Read("b-amplitudes-only.tmbr");
    ASSERT_NE(nullptr, content.mesh);
    const std::uint32_t vertices = EntryAt(1)->m_mesh->vertexCount;
    EXPECT_TRUE(content.mesh->vertexCount == vertices && vertices >= 4) << "a library mesh";
}

TEST_F(PaletteTest, TheBuiltInsFitAndATileDraggedOutIsDroppedWhereItIsReleased) {
    ASSERT_EQ(S_OK, m_palette.LoadTimbres());
    EXPECT_EQ((std::vector<std::string>{"All even number Hi wave", "Sawtooth wave", "Square wave",
                                        "(blank)"}),
              Names());
    EXPECT_TRUE(fs::is_empty(Folder())) << "no file is made for them";
    EXPECT_TRUE(m_palette.m_visibleCount == 4 && m_palette.m_pressedEntry == EntryAt(0));
    EXPECT_EQ(0xFFFF0044u, m_palette.Tile(0)[0].colour) << "hue 6.0 at full saturation";
    EXPECT_EQ(0x00FFFFFFu, m_palette.Tile(3)[4].colour) << "the blank tile";
    // A strip that fits does not scroll.
    ASSERT_TRUE(m_palette.OnButtonDown(nullptr, 80, 600));
    for (int x = 70; x > 0; x -= 10) {
        m_palette.TrackPointer(x, 600, 0.016f);
        m_palette.Scroll(0.016f);
    }
    EXPECT_TRUE(m_palette.OnButtonUp(600));
    m_palette.Scroll(0.016f);
    EXPECT_TRUE(m_palette.Tile(0)[0].x == 13.0f && m_palette.m_scrollBudget == 0.0f);
    std::vector<std::pair<int, std::string>> drops;
    m_palette.SetTileDrop([&](int y, CTimbre& timbre) { drops.emplace_back(y, timbre.m_name); });
    EXPECT_FALSE(m_palette.OnButtonDown(nullptr, 150, 600) ||  // between two tiles
                 m_palette.OnButtonDown(nullptr, 200, 562));   // above the strip
    EXPECT_FALSE(m_palette.OnButtonUp(600)) << "nothing held";
    ASSERT_TRUE(m_palette.OnButtonDown(nullptr, 200, 563));
    EXPECT_EQ(EntryAt(1), m_palette.m_pressedEntry);
    const int& state = m_palette.m_pointerState;
    const float& left = m_palette.m_dragQuad[0].x;
    m_palette.TrackPointer(300, 400, 0.016f);
    EXPECT_TRUE(state == 2 && left == 300.0f - 67.5f && m_palette.m_scrollBudget == 0.0f)
        << "leaving the strip does not scroll it";
    m_palette.TrackPointer(300, 600, 0.016f);
    EXPECT_EQ(1, state) << "back on the strip";
    m_palette.TrackPointer(300, 450, 0.016f);
    EXPECT_TRUE(m_palette.OnButtonUp(450) && state == 0);
    EXPECT_EQ((std::vector<std::pair<int, std::string>>{{450, "Sawtooth wave"}}), drops);
    // The blank tile holds nothing to drop and floats no tile.
    const int blank = static_cast<int>(m_palette.Tile(3)[0].x) + 10;
    ASSERT_TRUE(m_palette.OnButtonDown(nullptr, blank, 600));
    m_palette.TrackPointer(blank, 450, 0.016f);
    EXPECT_TRUE(state == 2 && left == 300.0f - 67.5f);
    EXPECT_TRUE(m_palette.OnButtonUp(450) && drops.size() == 1);
}

// The strip under a scripted pointer: 20 timbres, of which 7 fit on the screen.
TEST_F(PaletteTest, TheStripMovesAtAQuarterOfThePointersSpeedAsFarAsItWentAndStopsAtItsEnds) {
    for (int i = 0; i < 20; ++i) {
        m_palette.AddEntry(Timbre(0.05f * static_cast<float>(i)), Mesh(4, 3));
    }
    const float& velocity = m_palette.m_scrollVelocity;
    auto offset = [&] {
        const std::uint32_t first = m_palette.m_firstVisible;
        return m_palette.Tile(first)[0].x - (13.0f + 148.0f * static_cast<float>(first));
    };
    // Drags along the strip by dx every frame of dt seconds, releases, and lets it coast.
    auto drag = [&](int dx, int frames, float dt, bool coast = true) {
        auto [x, y] = At(m_palette.m_firstVisible + 1);
        ASSERT_TRUE(m_palette.OnButtonDown(nullptr, x, y));
        for (int i = 0; i < frames; ++i) {
            m_palette.TrackPointer(x += dx, y, dt);
            m_palette.Scroll(dt);
        }
        ASSERT_TRUE(m_palette.OnButtonUp(y));
        for (int i = 0; i < 100000 && coast && m_palette.m_scrollBudget > 0.0f; ++i) {
            m_palette.Scroll(dt);
        }
    };
    drag(-10, 10, 0.02f, false);  // 500 pixels a second, 100 pixels in all
    EXPECT_FLOAT_EQ(-500.0f, velocity);
    EXPECT_NEAR(-10 * 0.25f * 500.0f * 0.02f, offset(), 1e-3f) << "2.5 pixels a frame";
    drag(0, 0, 0.02f);
    EXPECT_NEAR(-100.0f, offset(), 2.5f) << "as far as the pointer went, within a frame's step";
    // Back and forth adds up: 40 pixels right then 4 left travel 44, the last of them leftwards.
    const float before = offset();
    drag(+10, 4, 0.02f, false);
    drag(-4, 1, 0.02f);
    EXPECT_NEAR(before + 10.0f - 34.0f, offset(), 1.0f);
    drag(+20, 10, 0.01f);
    EXPECT_TRUE(m_palette.m_firstVisible == 0 && m_palette.Tile(0)[0].x == 13.0f)
        << "nothing lies before the first tile";
    drag(-200, 30, 0.01f);  // far more than the strip is long
    const std::uint32_t last = m_palette.m_firstVisible + m_palette.m_visibleCount - 1;
    EXPECT_TRUE(last == 20 && velocity == 0.0f) << "the blank tile, at rest";
    EXPECT_FLOAT_EQ(1024.0f - 13.0f, m_palette.Tile(last)[1].x);
    // Every drawn tile stays one step after the one before it.
    for (std::uint32_t p = m_palette.m_firstVisible + 1; p <= last; ++p) {
        EXPECT_FLOAT_EQ(148.0f, m_palette.Tile(p)[0].x - m_palette.Tile(p - 1)[0].x) << p;
    }
    const auto [x, y] = At(last);
    EXPECT_TRUE(m_palette.TileIndexAt(x, y) == 20 && m_palette.IsOverBlankTile(x, y));
}

TEST_F(PaletteTest, ATimbreDroppedOnATileIsKeptInItsFile) {
    Load();
    EXPECT_FALSE(m_palette.StoreTimbreAt(5, 650, Timbre(0.5f), 0)) << "no tile there";
    // The blank tile becomes a new entry, named after the time it was kept.
    ASSERT_TRUE(Store(3, 0.7f, 1));
    EXPECT_TRUE(m_palette.m_entryCount == 5 && !EntryAt(4)->m_timbre) << "a new blank";
    EXPECT_EQ("20240102030405.tmbr", EntryAt(3)->m_fileName);
    TimbreFileContent kept = Read("20240102030405.tmbr");
    ASSERT_NE(nullptr, kept.mesh);
    EXPECT_TRUE(kept.amplitudes[0] == 0.7f && kept.mesh->vertexCount == 5) << "library jewel 1";
    ExpectChainFollowsEntries();
    // A built-in timbre's tile is first kept within the same second: a name of its own.
    ASSERT_TRUE(Store(0, 0.4f, 2));
    const PaletteEntry& first = *EntryAt(0);
    EXPECT_EQ("20240102030405_2.tmbr", first.m_fileName);
    EXPECT_TRUE(first.m_timbre->m_harmonics[0] == 0.4f && first.m_timbre->m_waveCount == 59);
    // Kept again, the same file is rewritten.
    ASSERT_TRUE(Store(0, 0.3f, 0));
    EXPECT_EQ(2, std::distance(fs::directory_iterator(Folder()), {}));
    kept = Read("20240102030405_2.tmbr");
    EXPECT_TRUE(kept.amplitudes[0] == 0.3f && kept.mesh->vertexCount == 4);
    // A name of six characters is kept; one of five (in seven bytes) is no name.
    PaletteEntry& entry = *EntryAt(1);
    for (const auto& [name, keptAs] : {std::pair{"a.tmbr", "a.tmbr"},
                                       std::pair{"\xC3\xA9\xC3\xA9.tm", "20240102030405_3.tmbr"}}) {
        entry.m_fileName = name;
        ASSERT_EQ(S_OK, m_palette.SaveEntry(entry));
        EXPECT_TRUE(entry.m_fileName == keptAs && fs::exists(Folder() / keptAs)) << name;
    }
    // A folder that went away while the program ran: the tile shows the timbre all the same.
    fs::remove_all(Folder());
    EXPECT_FALSE(Store(2, 0.2f, 0));
    m_expectedMessages = 1;
    EXPECT_NE(std::string::npos,
              m_recorder->Texts()[0].find((Folder() / "20240102030405_4.tmbr").string()))
        << "the message names the file: " << m_recorder->Texts()[0];
    const CTimbre& shown = *EntryAt(2)->m_timbre;
    EXPECT_EQ(0.2f, shown.m_harmonics[0]);
    EXPECT_EQ(TileTopColour(shown.m_color), m_palette.Tile(2)[0].colour);
}

TEST_F(PaletteTest, WithoutAnyTimbresFolderTheBuiltInsPlayAndAKeptTimbreIsRefusedAloud) {
    // A data home below a file: no folder can be made there.
    fs::create_directories(m_home);
    std::ofstream(m_home / "file") << "x";
    const tovel_test::ScopedEnvironment unusable("XDG_DATA_HOME", (m_home / "file").c_str());
    ASSERT_EQ(S_OK, m_palette.LoadTimbres());
    EXPECT_TRUE(m_palette.m_entryCount == 4 && m_palette.m_folder.empty());
    EXPECT_FALSE(Store(1, 0.5f, 0));
    m_expectedMessages = 1;
}

}  // namespace

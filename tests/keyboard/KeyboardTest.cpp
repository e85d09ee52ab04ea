// The key table and hexagons; the key scan, frame by frame and listened; dragging the timbre out.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <set>

#include "keyboard/KeyMesh.h"
#include "keyboard/KeyTable.h"
#include "palette/TimbrePalette.h"
#include "tests/keyboard/KeyboardFixture.h"
#include "tests/palette/TestMeshes.h"
#include "tests/support/ScopedEnvironment.h"

namespace {

namespace fs = std::filesystem;
using Point = std::pair<int, int>;
using Spot = std::pair<float, float>;

constexpr std::uint32_t kDeadKeys[] = {0, 6, 14, 20, 29, 35, 43};
constexpr float kFrame = 0.01f;
const float kFedOneSecond = static_cast<float>(0.5 + static_cast<double>(0.9f));

bool IsDead(std::uint32_t i) {
    return std::find(std::begin(kDeadKeys), std::end(kDeadKeys), i) != std::end(kDeadKeys);
}

TEST(KeyTableTest, NotesVirtualKeysPositionsAndHexagons) {
    const auto notes = AssignNotes(CSynthesizer::kLowest);
    std::set<std::int64_t> semitones;
    std::set<std::uint8_t> virtualKeys;
    for (std::uint32_t i = 0; i < kKeyCount; ++i) {
        EXPECT_EQ(IsDead(i), !notes[i]) << "key " << i;
        semitones.insert(notes[i] ? Distance(CSynthesizer::kLowest, *notes[i]) : 0);
        EXPECT_TRUE(virtualKeys.insert(KeyVirtualKey(i)).second) << "key " << i;
        EXPECT_NE(0, platform::ScancodeOfVirtualKey(KeyVirtualKey(i))) << "key " << i;
    }
    EXPECT_EQ((std::vector<CNote>{{1, 2}, {7, 3}, {7, 3}, {4, 5}}),
              (std::vector<CNote>{*notes[1], *notes[22], *notes[23], *notes[47]}));
    EXPECT_TRUE(semitones.size() == 40 && *semitones.rbegin() == 39) << "each from C2 to D#5";
    // The upper band's rows land exactly on the mirror images of the lower band's.
    const std::tuple<std::uint32_t, float, float> expected[] = {
        {0, -11, -0.866025f}, {1, -10, -2.598075f}, {22, 11, -0.866025f},
        {23, -13, 2.598075f}, {24, -12, 0.866025f}, {47, 11, 2.598075f}};
    for (const auto& [i, x, z] : expected) {
        const platform::D3DVECTOR3 p = KeyPosition(i);
        EXPECT_TRUE(p.x == x && p.y == 0.0f && p.z == z) << i << ": " << p.x << ", " << p.z;
    }
    // Forty-eight hexagon fans over a 26 x 7.2 rectangle.
    std::vector<platform::D3DVECTOR3> centres;
    for (std::uint32_t i = 0; i < kKeyCount; ++i) {
        centres.push_back(KeyPosition(i));
    }
    const KeyboardRectangle r = MeasureKeyboard(centres);
    EXPECT_FLOAT_EQ(26.0f, r.width);
    EXPECT_FLOAT_EQ(7.19615f, r.depth);
    std::vector<KeyVertex> vertices(kKeyCount * kVerticesPerKey);
    std::vector<std::uint16_t> indices(kKeyCount * kIndicesPerKey);
    BuildKeyVertices(centres, r, vertices.data(), indices.data());
    // Key 30: centre first, then the corner towards +z, then clockwise seen from above.
    const KeyVertex* key = &vertices[30 * kVerticesPerKey];
    EXPECT_TRUE(key[0].x == centres[30].x && key[1].z == centres[30].z + 1 && key[4].key == 30);
    EXPECT_FLOAT_EQ(centres[30].x + 0.866025f, key[2].x);
    for (std::uint16_t c = 0; c < 6; ++c) {  // its fan: the centre, then each pair of corners
        const std::uint16_t* t = &indices[30 * kIndicesPerKey + 3 * c];
        EXPECT_TRUE(t[0] == 210 && t[1] == 211 + c && t[2] == 211 + (c + 1) % 6) << c;
    }
    for (const KeyVertex& v : vertices) {
        ASSERT_TRUE(v.u >= 0.0f && v.u <= 1.0f && v.v >= 0.0f && v.v <= 1.0f && v.ny == 1.0f);
    }
}

TEST_F(KeyboardTest, LiveKeysShareTheHueAndPaleTowardsTheTopDeadKeysAreBlack) {
    std::vector<float> saturations;
    for (std::uint32_t i = 0; i < kKeyCount; ++i) {
        const CKeyboardKey& key = Key(i);
        const platform::D3DVECTOR4& uploaded = keyboard->m_keyColours[i];
        EXPECT_TRUE(uploaded.x == key.m_red && uploaded.z == key.m_blue && uploaded.w == 0.0f);
        if (IsDead(i)) {
            EXPECT_EQ(nullptr, key.m_wave) << "key " << i;
            EXPECT_EQ(0.0f, key.m_color.m_value + key.m_red + key.m_green + key.m_blue);
        } else {
            EXPECT_TRUE(key.m_color.m_hue == timbre.m_color.m_hue && key.m_color.m_value == 1.0f);
            saturations.push_back(key.m_color.m_saturation);
        }
    }
    ASSERT_EQ(41u, saturations.size());
    EXPECT_EQ(1.0f, saturations[0]);
    EXPECT_NEAR(0.9828f, saturations[1], 5e-5f);
    // One float step after another: the last lies a little above 1 - 40/58 (0.310344815).
    EXPECT_EQ(0x1.3dcb2ap-2f, saturations[40]) << "0.310345322";
    EXPECT_TRUE(Key(22).m_wave.get() == &timbre.m_waves[18] &&
                Key(47).m_wave.get() == &timbre.m_waves[39]);
}

TEST_F(KeyboardTest, DeadKeysDoNothingAndBothFSharp3KeysTakeAVoiceEach) {
    for (std::uint32_t i : kDeadKeys) {
        Press(i);
    }
    keyboard->UpdateKeys(kFrame);
    EXPECT_TRUE(synth->FindFreeVoice() == &synth->m_voices[0] && Columns() == 0);
    Press(22);
    Press(23);
    keyboard->UpdateKeys(kFrame);
    ASSERT_TRUE(Key(22).m_voice && Key(23).m_voice && Key(22).m_voice != Key(23).m_voice);
    EXPECT_TRUE(Key(22).m_wave.get() == Key(23).m_voice->m_wave.load() && Columns() == 2);
    const platform::D3DVECTOR4* lit = keyboard->m_litKeys.get();
    EXPECT_TRUE(lit[0].x == 11.0f && lit[1].x == -13.0f && lit[1].w == 1.0f && lit[2].w == 0.0f);
}

TEST_F(KeyboardTest, HoldingFeedsVoiceAndColumnAndReleaseSetsTheirTails) {
    Press(1);
    keyboard->UpdateKeys(kFrame);
    CPlayTask* voice = Key(1).m_voice;
    CJewelTask* column = Key(1).m_jewel;
    ASSERT_TRUE(voice && column && voice->m_energy.load() == 0.5f && column->m_x == -10.0f);
    keyboard->UpdateKeys(1.0f);
    EXPECT_TRUE(voice->m_energy.load() == kFedOneSecond && column->m_life == 2.0f);
    EXPECT_EQ(1, Columns()) << "a held key strikes once";
    // A frame whose key state cannot be read releases nothing.
    Lift(1);
    readable = false;
    keyboard->UpdateKeys(kFrame);
    EXPECT_TRUE(Key(1).m_voice == voice && voice->m_energy.load() == kFedOneSecond);
    readable = true;
    keyboard->UpdateKeys(kFrame);
    EXPECT_TRUE(voice->m_energy.load() == 0.5f && column->m_life == 0.2f);
    EXPECT_TRUE(!Key(1).m_voice && !Key(1).m_jewel && keyboard->m_litKeys[0].w == 0.0f);
}

TEST_F(KeyboardTest, TheEleventhKeyStrikesEveryFrameUntilAVoiceFrees) {
    std::vector<std::uint32_t> live;  // the first eleven live keys from the left
    for (std::uint32_t i = 0; live.size() < 11; ++i) {
        if (!IsDead(i)) {
            live.push_back(i);
            Press(i);
        }
    }
    const std::uint32_t eleventh = live.back();
    keyboard->UpdateKeys(kFrame);
    EXPECT_TRUE(Key(live[9]).m_voice == &synth->m_voices[9] && !Key(eleventh).m_voice);
    keyboard->UpdateKeys(kFrame);
    keyboard->UpdateKeys(kFrame);
    EXPECT_EQ(13, Columns()) << "ten columns, and one more from the eleventh on every frame";
    Lift(live[0]);
    keyboard->UpdateKeys(kFrame);
    PlayOneSecond();
    keyboard->UpdateKeys(kFrame);
    EXPECT_EQ(&synth->m_voices[0], Key(eleventh).m_voice);
    keyboard->UpdateKeys(kFrame);
    EXPECT_EQ(15, Columns()) << "no more columns once it sounds";
}

TEST_F(KeyboardTest, AKeyWhoseNoteEndedLeavesTheNextNoteOnItsVoiceAlone) {
    Press(1);
    keyboard->UpdateKeys(kFrame);
    CPlayTask* voice = Key(1).m_voice;
    PlayOneSecond();  // held but not fed: the note runs out, the key keeps its voice
    ASSERT_EQ(nullptr, voice->m_wave.load());
    Press(3);
    keyboard->UpdateKeys(0.0f);
    ASSERT_EQ(voice, Key(3).m_voice);
    EXPECT_EQ(voice, Key(1).m_voice) << "the first key did not strike again";
    keyboard->UpdateKeys(1.0f);
    EXPECT_EQ(kFedOneSecond, voice->m_energy.load()) << "fed by its own key only";
    Lift(1);
    keyboard->UpdateKeys(0.0f);
    EXPECT_EQ(kFedOneSecond, voice->m_energy.load()) << "not released by the first key";
    Lift(3);
    keyboard->UpdateKeys(0.0f);
    EXPECT_EQ(0.5f, voice->m_energy.load());
}

// Stored over, handed on and deleted while it sounds, a set goes once the scan sees its note end.
TEST_F(KeyboardTest, AWaveformSetGoesOnceTheScanSeesItsLastNoteEnd) {
    auto entry = std::make_unique<CTimbre>(timbre);
    ASSERT_EQ(59u, entry->BuildWaves(synth->m_lowest, synth->m_highest));
    keyboard->SetTimbre(*entry);
    const std::weak_ptr<const CNoteWave[]> played = entry->m_waves;
    Press(40);
    keyboard->UpdateKeys(kFrame);
    CPlayTask* voice = Key(40).m_voice;
    ASSERT_NE(nullptr, voice);
    *entry = CTimbre(timbre);
    keyboard->SetTimbre(*entry);
    entry.reset();
    Lift(40);
    keyboard->UpdateKeys(kFrame);
    EXPECT_FALSE(played.expired()) << "the note still sounds";
    PlayOneSecond();
    ASSERT_EQ(nullptr, voice->m_wave.load());
    EXPECT_FALSE(played.expired()) << "the audio thread frees no waveforms";
    keyboard->UpdateKeys(kFrame);
    EXPECT_TRUE(played.expired()) << "the next scan let go of them";
}

// Keys heard between frames sound and release at once; the frames keep columns and energy.
TEST_F(KeyboardTest, AKeyHeardBetweenFramesSoundsAtOnceAndItsColumnFollowsTheFrames) {
    std::uint32_t clock = 5000;
    keyboard->SetClock([&] { return clock; });
    keyboard->SetListenedKeyStateSource([this](std::uint8_t* keys) {
        std::copy(std::begin(state), std::end(state), keys);
        return true;
    });
    auto Frame = [&](float dt) {
        clock += static_cast<std::uint32_t>(std::lround(dt * 1000.0f));
        keyboard->UpdateKeys(dt);
    };
    auto Heard = [&](std::uint32_t milliseconds) {
        clock += milliseconds;
        keyboard->OnKeysChanged();
    };
    Frame(kFrame);
    Press(40);
    Heard(4);
    CPlayTask* voice = Key(40).m_voice;
    ASSERT_NE(nullptr, voice) << "struck before the next frame";
    EXPECT_TRUE(voice->m_energy.load() == 0.5f && Columns() == 0);
    // The frame 20 ms on feeds the 16 ms since the strike and raises the column, unfed.
    Frame(0.02f);
    CJewelTask* column = Key(40).m_jewel;
    ASSERT_TRUE(Columns() == 1 && column);
    EXPECT_NEAR(0.5 + 0.9 * 0.016, voice->m_energy.load(), 1e-6);
    EXPECT_TRUE(column->m_life == 1.0f && keyboard->m_litKeys[0].w == 1.0f);
    // Lifted: the note is released at once, once, the column at the next frame.
    Lift(40);
    Heard(3);
    EXPECT_TRUE(voice->m_energy.load() == 0.5f && column->m_life == 1.0f && !Key(40).m_voice);
    Frame(kFrame);
    EXPECT_TRUE(column->m_life == 0.2f && keyboard->m_litKeys[0].w == 0.0f && !Key(40).m_jewel);
    EXPECT_EQ(0.5f, voice->m_energy.load());
    // A tap between frames sounds, and its column rises released and unfed.
    PlayOneSecond();
    Press(40);
    Heard(2);
    CPlayTask* tapped = Key(40).m_voice;
    Lift(40);
    Heard(30);
    ASSERT_TRUE(tapped && tapped->m_wave.load());
    Frame(0.04f);
    EXPECT_TRUE(Columns() == 2 && !Key(40).m_jewel);
    EXPECT_EQ(0.5f, tapped->m_energy.load()) << "a lifted key is not fed";
}

// The keyboard 768 high, a palette at 1024 x 768 with the built-ins; jewel n has 4 + n vertices.
class KeyboardDragTest : public KeyboardTest {
protected:
    void SetUp() override {
        KeyboardTest::SetUp();
        for (std::uint32_t n = 0; n < 5; ++n) {
            jewels->m_meshes.Append(tovel_test::Mesh(4 + n, 4));
        }
        keyboard->m_targetHeight = 768;
        palette->m_jewels = jewels;
        palette->LayoutTiles(1024, 768);
        ASSERT_EQ(S_OK, palette->LoadTimbres());
        std::srand(7);
    }
    void TearDown() override {
        KeyboardTest::TearDown();
        std::error_code error;
        fs::remove_all(m_home, error);
    }
    // Pressed at the first point, one frame a point, released at the last; returns the jewel.
    int Drag(const std::vector<Point>& path) {
        EXPECT_TRUE(keyboard->OnButtonDown(path[0].first, path[0].second, nullptr));
        for (const auto& [x, y] : path) {
            keyboard->TrackDrag(x, y);
        }
        const int shown = keyboard->m_dragJewel;
        EXPECT_TRUE(keyboard->OnButtonUp(path.back().first, path.back().second));
        EXPECT_EQ(std::pair(0, -1), std::pair(keyboard->m_dragState, keyboard->m_dragJewel));
        return shown;
    }
    Point Tile(std::uint32_t position, int y = 650) const {
        const TileVertex* tile = palette->Tile(position);
        return {static_cast<int>((tile[0].x + tile[1].x) / 2), y};
    }
    std::size_t Files() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(palette->m_folder), fs::directory_iterator()));
    }
    const fs::path m_home = tovel_test::TestTempPath("keyboard-drag-home");
    tovel_test::ScopedEnvironment m_dataHome{"XDG_DATA_HOME", m_home.c_str()};
    CTimbrePalette* palette = new CTimbrePalette();
    tovel_test::ScopedInstance<CTimbrePalette> m_palette{palette};
};

TEST_F(KeyboardDragTest, APressInTheBandLiftsAQuarterHeightSquareThatEasesToThePointer) {
    for (const auto& [y, inside] : {Point(384, 0), Point(385, 1), Point(575, 1), Point(576, 0)}) {
        EXPECT_EQ(inside != 0, keyboard->OnButtonDown(500, y, nullptr)) << y;
        EXPECT_EQ(inside != 0, keyboard->OnButtonUp(500, y)) << y;
    }
    ASSERT_TRUE(keyboard->OnButtonDown(500, 450, nullptr));
    const auto& quad = keyboard->m_dragQuad;
    EXPECT_EQ(Spot(404, 596), Spot(quad[0].x, quad[3].x));
    EXPECT_EQ(Spot(354, 546), Spot(quad[1].y, quad[2].y));
    keyboard->TrackDrag(600, 150);
    for (const auto& [x, y] : {Spot(550, 300), Spot(575, 225), Spot(587.5f, 187.5f)}) {
        keyboard->FollowPointer();
        EXPECT_EQ(Spot(x - 96, y + 96), Spot(quad[2].x, quad[2].y));
    }
}

TEST_F(KeyboardDragTest, OnlyADragThatLeftTheBandKeepsTheTimbreInTheTileItEndsOn) {
    // A tile's top rows lie inside the band.
    struct Case {
        std::vector<Point> path;
        bool lifted, kept;
    } const cases[] = {
        {{{500, 450}, {520, 460}, Tile(0, 570)}, false, false},
        {{{500, 450}, {500, 300}}, true, false},
        {{{500, 450}, {500, 300}, {500, 450}, Tile(0, 570)}, true, true},
    };
    for (const Case& c : cases) {
        const std::size_t files = Files();
        EXPECT_EQ(c.lifted, Drag(c.path) >= 0);
        EXPECT_EQ(files + c.kept, Files());
    }
    // On the blank tile: a new entry and file with the jewel shown; the keys keep their waves.
    const int shown = Drag({{500, 450}, {500, 200}, Tile(3)});
    ASSERT_EQ(5u, palette->m_entryCount);
    const PaletteEntry& kept = *palette->EntryAt(3);
    EXPECT_EQ(4u + shown, kept.m_mesh->vertexCount);
    EXPECT_NE(keyboard->m_timbre->m_waves, kept.m_timbre->m_waves);
    EXPECT_EQ(59u, kept.m_timbre->m_waveCount);
    EXPECT_TRUE(fs::exists(palette->m_folder / kept.m_fileName));
}

}  // namespace

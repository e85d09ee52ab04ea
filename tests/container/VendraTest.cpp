#include "container/Vendra.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/container/ContainerTestSupport.h"

namespace {

Bytes DataOf(const CVendraElement* element) {
    return element ? Bytes(element->m_data.get(), element->m_data.get() + element->m_length)
                   : Bytes{};
}

}  // namespace

TEST(VendraTree, LayersAndElementsAreFoundFirstFirstAndListsFreeWithoutRecursion) {
    CVendra root;
    CVendraLayer* layers[3] = {AddLayer(root), AddLayer(root), AddLayer(root)};
    EXPECT_EQ(std::tuple(0, 1, 2, 3),
              std::tuple(layers[0]->m_id, layers[1]->m_id, layers[2]->m_id, root.m_nextLayerId));
    layers[2]->m_id = 0;
    EXPECT_EQ(FindLayer(root, 0), layers[0]);
    EXPECT_EQ(FindLayer(root, 2), nullptr);
    CVendraElement* first = layers[1]->AddElement(0x20);
    layers[1]->AddElement(0x20);
    EXPECT_EQ(FindElement(*layers[1], 0x20), first);
    EXPECT_EQ(layers[1]->m_count, 2);
    CVendraLayerEx* extension = CreateExtension(*layers[1]);
    EXPECT_EQ(std::tuple(1, 1), std::tuple(layers[1]->m_flags, extension->m_id));
    extension->AddElement(0x80);
    EXPECT_NE(CreateExtension(*layers[1]), extension);
    EXPECT_EQ(layers[1]->m_extension->m_firstElement, nullptr) << "the old extension is gone";
    // Deleting node by nested node would need a stack frame per layer, far beyond the stack.
    CVendraLayer* last = layers[2];
    for (int i = 1; i < 1'000'000; ++i) {
        last->m_next.reset(new CVendraLayer());
        last = NextLayer(*last);
        last->AddElement(0x80);
    }
}

// A short element reads as 0; a swap leaves a trailing partial unit where it is.
TEST(VendraTree, Int32ValuesAreBigEndianAndReadInSequence) {
    CVendraLayer layer;
    ASSERT_EQ(SetInt32(layer, 0x80, 0x01020304u), S_OK);
    EXPECT_EQ(Hex(DataOf(FindElement(layer, 0x80))), "01 02 03 04");
    SetElementData(layer, 0x81, AsBytes({0xFF, 0xFF, 0xFF, 0xFE, 9}));
    EXPECT_EQ((std::pair{ReadInt32(layer, 0x81), ReadInt32(layer, 0x81)}), std::pair(0xFFFFFFFEu, 0u));
    ASSERT_EQ(SetInt32(layer, 0x81, 7u), S_OK);
    EXPECT_EQ(std::tuple(ReadInt32(layer, 0x81), ReadInt32(layer, 0x82), layer.m_count),
              std::tuple(7u, 0u, 2)) << "rewritten in place, read from its start; none created";
    CVendraElement* element = SetElementData(layer, 1, AsBytes({1, 2, 3, 4, 5, 6, 7}));
    SwapWords32(*element);
    EXPECT_EQ(Hex(DataOf(element)), "04 03 02 01 05 06 07");
}

TEST(VendraTree, WordArraysAreStoredBigEndianAndReadBackInHostOrder) {
    CVendraLayer layer;
    const float amplitudes[12] = {1.0f, -2.0f};
    ASSERT_EQ(SetBaseWords32(layer, std::as_bytes(std::span(amplitudes))), S_OK);
    const Bytes stored = DataOf(FindElement(layer, kBaseWords32Tag));
    ASSERT_EQ(stored.size(), 48u);
    EXPECT_EQ(Hex(Bytes(stored.begin(), stored.begin() + 8)), "3F 80 00 00 C0 00 00 00");
    ASSERT_EQ(MarkExtensionWords32(layer), S_OK);
    const std::uint32_t words[2] = {0x01020304u, 0xA0B0C0D0u};
    ASSERT_EQ(SetExtensionWords32(layer, std::as_bytes(std::span(words))), S_OK);
    const std::uint16_t shorts[3] = {0x0102, 0x0304, 0xFFFE};
    ASSERT_EQ(SetExtensionWords16(layer, std::as_bytes(std::span(shorts))), S_OK);
    auto* words32 = static_cast<CVendraElementEx*>(FindElement(*layer.m_extension, 0x80));
    EXPECT_EQ(words32->m_param, 1) << "the mark survives storing the data";
    EXPECT_EQ(Hex(DataOf(words32)), "01 02 03 04 A0 B0 C0 D0");
    EXPECT_EQ(Hex(DataOf(FindElement(*layer.m_extension, 0x81))), "01 02 03 04 FF FE");
    auto same = [](std::span<std::uint8_t> back, const void* original, std::size_t bytes) {
        return back.size() == bytes && std::memcmp(back.data(), original, bytes) == 0;
    };
    EXPECT_TRUE(same(GetBaseWords32(layer), amplitudes, sizeof amplitudes));
    EXPECT_TRUE(same(GetExtensionWords32(layer), words, sizeof words));
    EXPECT_TRUE(same(GetExtensionWords16(layer), shorts, sizeof shorts));
    CVendraLayer bare;  // no extension
    EXPECT_EQ(GetBaseWords32(bare).data(), GetExtensionWords32(bare).data());
}

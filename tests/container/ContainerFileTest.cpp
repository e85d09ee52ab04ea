#include "container/ContainerFile.h"

#include <gtest/gtest.h>

#include <tuple>

#include "tests/container/ContainerTestSupport.h"

namespace {

class ContainerFile : public ScratchFolder {
protected:
    HRESULT ReadBytes(const Bytes& bytes, CVendra& root) {
        return ReadContainer(Write("in.bin", bytes), root);
    }
    Bytes WriteTree(CVendra& root) {
        EXPECT_EQ(WriteContainer(m_folder / "out.bin", root), S_OK);
        return Read(m_folder / "out.bin");
    }
    // The tree of kLayerBytes and kExtensionBytes, built through the tree operations.
    static void BuildExample(CVendra& root) {
        CVendraLayer& layer = *AddLayer(root);
        SetInt32(layer, 0x80, 5);
        SetExtensionData(layer, 0x80, AsBytes({0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7}));
    }
};

int LayerCount(const CVendra& root) {
    int count = 0;
    for (CVendraLayer* layer = root.m_firstLayer.get(); layer; layer = NextLayer(*layer)) {
        ++count;
    }
    return count;
}

Bytes LayerSegment(std::uint8_t id, std::uint8_t count, const Bytes& payload,
                   std::uint8_t flags = 0) {
    const std::size_t length = payload.size() + 10;
    return Concat({{0xFF, 0xE2, std::uint8_t(length >> 8), std::uint8_t(length), 'V', 'D', 'L', 'Y',
                    id, flags, 0xA5, count},
                   payload});
}

Bytes Section(std::uint8_t id, std::uint8_t count, const Bytes& payload) {
    const std::size_t length = payload.size() + 4;
    return Concat({{'V', 'D', 'E', 'X', id, count, 0, 0, std::uint8_t(length >> 24),
                    std::uint8_t(length >> 16), std::uint8_t(length >> 8), std::uint8_t(length)},
                   payload});
}

}  // namespace

TEST_F(ContainerFile, ExampleIsWrittenReadAndWrittenAgainByteForByte) {
    const Bytes example = Concat({kLayerBytes, kExtensionBytes});
    CVendra built;
    BuildExample(built);
    EXPECT_EQ(Hex(WriteTree(built)), Hex(example));
    CVendra root;
    ASSERT_EQ(ReadBytes(example, root), S_OK);
    ASSERT_EQ(LayerCount(root), 1);
    EXPECT_EQ(root.m_nextLayerId, 1);
    CVendraLayer& layer = *root.m_firstLayer;
    EXPECT_EQ(std::tuple(0, 1, 1, 8u),
              std::tuple(layer.m_id, layer.m_flags, layer.m_nibbleLow, layer.m_length));
    EXPECT_EQ(ReadInt32(layer, 0x80), 5u);
    ASSERT_NE(layer.m_extension, nullptr);
    auto* element = dynamic_cast<CVendraElementEx*>(layer.m_extension->m_firstElement.get());
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(std::tuple(0x80, 8u, 0xD7),
              std::tuple(int{element->m_tag}, element->m_length, int{element->m_data[7]}));
    ASSERT_EQ(SaveToPath(root), S_OK) << "saved where it was read from";
    EXPECT_EQ(Hex(Read(m_folder / "in.bin")), Hex(example));
    // Nibbles, flags and order survive too.
    const Bytes several = Concat({LayerSegment(9, 1, {0xFF, 0x01, 0x00, 0x02}),
                                  LayerSegment(4, 0, {}, 0x81), Section(4, 0, {})});
    CVendra other;
    ASSERT_EQ(ReadBytes(several, other), S_OK);
    EXPECT_EQ(other.m_firstLayer->m_nibbleHigh, 0xA);
    EXPECT_EQ(Hex(WriteTree(other)), Hex(several));
}

// Segments that are not layers are skipped; an unknown id's section is skipped whole, groups
// between sections are passed over, and a second section for a layer replaces the first.
TEST_F(ContainerFile, ForeignSegmentsAreSkippedAndSectionsFindTheirLayers) {
    const Bytes element = {0xFF, 0x81, 0x00, 0x02, 0x00, 0x00, 0x00, 0x06, 0x01, 0x02};
    const Bytes file = Concat({{0xFF, 0xE1, 0x00, 0x10},
                               Bytes(14, 0xFF),
                               {0xFF, 0xE2, 0x00, 0x08, 'J', 'F', 'I', 'F', 0xAA, 0xBB},
                               {0xFF, 0x00, 0x00, 0x03, 0x42},
                               {0xFF, 0x00, 0x00, 0x0A, 'V', 'D', 'L', 'Y', 0x09, 0x00, 0x01, 0},
                               LayerSegment(3, 0, {}),
                               LayerSegment(4, 0, {}),
                               Section(7, 1, element),
                               {0x00, 0x11, 0x22, 0x33},
                               Section(3, 1, element),
                               {0xFF, 0xE2, 0x00, 0x04},
                               Section(3, 1, {0xFF, 0x82, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04})});
    CVendra root;
    ASSERT_EQ(ReadBytes(file, root), S_OK);
    ASSERT_EQ(LayerCount(root), 3);
    EXPECT_EQ(root.m_firstLayer->m_id, 9);
    EXPECT_EQ(FindLayer(root, 4)->m_extension, nullptr);
    CVendraLayer& three = *FindLayer(root, 3);
    ASSERT_NE(three.m_extension, nullptr);
    EXPECT_EQ(three.m_flags, 1) << "a section marks its layer";
    EXPECT_EQ(three.m_extension->m_firstElement->m_tag, 0x82);
}

// Each case follows a valid layer; the read fails and keeps just that layer, unextended.
TEST_F(ContainerFile, MalformedSegmentsAndOverrunningLengthsAreRejected) {
    const std::pair<const char*, Bytes> cases[] = {
        {"segment without a marker", {0x00, 0xE1, 0x00, 0x02}},
        {"element longer than the payload", LayerSegment(1, 1, {0xFF, 0x80, 0x00, 0x07, 1, 2, 3})},
        {"element length below its field", LayerSegment(1, 1, {0xFF, 0x80, 0x00, 0x01})},
        {"count past the payload", LayerSegment(1, 2, {0xFF, 0x80, 0x00, 0x02})},
        {"count into a partial header", LayerSegment(1, 2, {0xFF, 0x80, 0x00, 0x02, 0xFF})},
        {"payload past the file", {0xFF, 0xE2, 0x00, 0x20, 'V', 'D', 'L', 'Y', 1, 0, 1, 0}},
        {"length too short for parameters", {0xFF, 0xE2, 0x00, 0x08, 'V', 'D', 'L', 'Y', 1, 0}},
        {"skipped segment past the file", {0xFF, 0xE1, 0x01, 0x00, 0x00}},
        {"segment length below its field", {0xFF, 0xE1, 0x00, 0x01}},
        {"extension element longer than the section",
         Section(0, 1, {0xFF, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x09, 1, 2, 3, 4})},
        {"extension element length below its field",
         Section(0, 1, {0xFF, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03})},
        {"extension count past the section",
         Section(0, 2, {0xFF, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04})},
        {"section past the file", {'V', 'D', 'E', 'X', 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"unknown section past the file", {'V', 'D', 'E', 'X', 9, 0, 0, 0, 0, 0, 1, 0}},
        {"section length below its field", {'V', 'D', 'E', 'X', 0, 0, 0, 0, 0, 0, 0, 3}},
        {"section header cut short", {'V', 'D', 'E', 'X', 0, 0, 0}},
    };
    for (const auto& [what, bad] : cases) {
        CVendra root;
        EXPECT_EQ(ReadBytes(Concat({LayerSegment(0, 0, {}), bad}), root), E_INVALIDARG) << what;
        EXPECT_EQ(std::tuple(1, 1, nullptr), std::tuple(LayerCount(root), root.m_nextLayerId,
                                                        root.m_firstLayer->m_extension.get()))
            << what;
    }
}

// Every prefix reads safely; those ending on a boundary read, those cutting into a length fail.
TEST_F(ContainerFile, EveryPrefixOfAFileReadsSafely) {
    const Bytes file =
        Concat({LayerSegment(0, 2, {0xFF, 0x80, 0x00, 0x06, 0, 0, 0, 5, 0xFF, 0x81, 0x00, 0x02}),
                LayerSegment(1, 0, {}), kExtensionBytes,
                Section(1, 1, {0xFF, 0x81, 0x00, 0x07, 0, 0, 0, 6, 1, 2})});
    ASSERT_EQ(file.size(), 86u);
    const std::size_t boundaries[] = {0, 24, 25, 36, 38, 64};  // or a partial 4-byte header
    const std::size_t cuts[] = {20, 32, 42, 72, 85};
    for (std::size_t size = 0; size < file.size(); ++size) {
        CVendra root;
        const HRESULT hr = ReadBytes(Bytes(file.begin(), file.begin() + size), root);
        EXPECT_TRUE(hr == S_OK || hr == E_INVALIDARG) << "prefix " << size << ": " << hr;
        EXPECT_EQ(hr, std::ranges::count(boundaries, size) ? S_OK
                      : std::ranges::count(cuts, size)     ? E_INVALIDARG
                                                           : hr)
            << "prefix " << size;
    }
}

TEST_F(ContainerFile, PathsAndUnopenableFiles) {
    CVendra root;
    EXPECT_EQ(ReadContainer(std::string(CVendra::kPathCapacity, 'a'), root), E_INVALIDARG);
    EXPECT_TRUE(root.m_path.empty()) << "a refused path is not recorded";
    EXPECT_EQ(ReadContainer(m_folder / "missing.gem", root), E_FAIL);
    EXPECT_EQ(ReadContainer(m_folder, root), E_FAIL) << "a folder is not a container file";
    // A file is read whole, so one larger than any container is refused before it is read.
    const std::filesystem::path huge = Write("huge.gem", Concat({kLayerBytes, kExtensionBytes}));
    std::filesystem::resize_file(huge, kMaxContainerFileBytes);
    EXPECT_EQ(ReadContainer(huge, root), S_OK) << "the zeros after the extension are passed over";
    std::filesystem::resize_file(huge, kMaxContainerFileBytes + 1);
    Bytes bytes = {1};
    EXPECT_EQ(ReadContainerFile(huge, &bytes), E_OUTOFMEMORY);
    EXPECT_TRUE(bytes.empty());
}

TEST_F(ContainerFile, TreesTheFormatCannotHoldAreRefused) {
    const std::pair<const char*, void (*)(CVendra&)> cases[] = {
        {"id above a byte", [](CVendra& r) { r.m_firstLayer->m_id = 256; }},
        {"nibble above four bits", [](CVendra& r) { r.m_firstLayer->m_nibbleLow = 16; }},
        {"count not matching the list", [](CVendra& r) { r.m_firstLayer->m_count = 2; }},
        {"element beyond 16 bits",
         [](CVendra& r) { SetElementData(*r.m_firstLayer, 0x81, AsBytes(Bytes(65534))); }},
        {"payload beyond 16 bits",
         [](CVendra& r) { SetElementData(*r.m_firstLayer, 0x81, AsBytes(Bytes(65522))); }},
        {"extension of another id", [](CVendra& r) { r.m_firstLayer->m_extension->m_id = 1; }},
    };
    for (const auto& [what, spoil] : cases) {
        CVendra root;
        BuildExample(root);
        spoil(root);
        const std::filesystem::path path = Write("kept.bin", {1, 2, 3});
        EXPECT_EQ(WriteContainer(path, root), E_INVALIDARG) << what;
        EXPECT_EQ(Hex(Read(path)), "01 02 03") << what;
    }
    CVendra largest;
    SetElementData(*AddLayer(largest), 0x80, AsBytes(Bytes(65521)));
    EXPECT_EQ(WriteContainer(m_folder / "largest.bin", largest), S_OK) << "65525-byte payload";
}

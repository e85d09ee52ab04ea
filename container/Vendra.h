#pragma once
// The root of a chunk tree and the operations that build and read one: layers found by id,
// elements by tag, 32-bit values and word arrays kept big-endian inside the element buffers.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

#include "container/VendraNodes.h"
#include "platform/base/HResult.h"

class CVendra {
public:
    // Characters of m_path, the terminator included: the reader refuses longer paths.
    static constexpr std::size_t kPathCapacity = 260;

    CVendra() = default;
    CVendra(const CVendra&) = delete;
    CVendra& operator=(const CVendra&) = delete;
    virtual ~CVendra() = default;

    std::int32_t m_nextLayerId = 0;
    std::unique_ptr<CVendraLayer> m_firstLayer;
    std::filesystem::path m_path;
};

// Appends a layer whose id is the root's next layer id; null when it cannot be allocated.
CVendraLayer* AddLayer(CVendra& root);
CVendraLayer* FindLayer(const CVendra& root, std::int32_t id);
CVendraElement* FindElement(const CVendraLayer& layer, std::uint8_t tag);
// Gives the layer a new, empty extension with the layer's id, replacing (and freeing) any earlier
// one. Null, and the layer unchanged, when it cannot be allocated.
CVendraLayerEx* CreateExtension(CVendraLayer& layer);

// Stores value big-endian in the element with that tag, appending the element if needed.
HRESULT SetInt32(CVendraLayer& layer, std::uint8_t tag, std::uint32_t value);
// The big-endian word at the element's cursor, which then moves past it; 0, and nothing moved,
// when there is no such element or no whole word is left in it.
std::uint32_t ReadInt32(CVendraLayer& layer, std::uint8_t tag);
// Find-or-append the element and give it a copy of source. Null when memory runs out or
// source is longer than a length field can count.
CVendraElement* SetElementData(CVendraLayer& layer, std::uint8_t tag,
                               std::span<const std::byte> source);
// As SetElementData, in the layer's extension, which is created on first use.
CVendraElementEx* SetExtensionData(CVendraLayer& layer, std::uint8_t tag,
                                   std::span<const std::byte> source);

// Reverse the bytes of every whole 16- or 32-bit unit of the element's data in place, leaving
// a trailing partial unit as it is and the cursor after the last whole unit; return the data.
std::uint8_t* SwapWords16(CVendraElement& element);
std::uint8_t* SwapWords32(CVendraElement& element);

// Word arrays under fixed tags: twelve 32-bit words in the base layer, and 32- and 16-bit word
// arrays in the extension. The stores copy host-order words and turn the copy big-endian.
inline constexpr std::uint8_t kBaseWords32Tag = 0xE0;
inline constexpr std::size_t kBaseWords32Length = 48;  // bytes: twelve words
inline constexpr std::uint8_t kExtensionWords32Tag = 0x80;
inline constexpr std::uint8_t kExtensionWords16Tag = 0x81;

HRESULT SetBaseWords32(CVendraLayer& layer, std::span<const std::byte, kBaseWords32Length> words);
// Sets the parameter of extension element 0x80 to 1, creating extension and element if needed.
HRESULT MarkExtensionWords32(CVendraLayer& layer);
HRESULT SetExtensionWords32(CVendraLayer& layer, std::span<const std::byte> words);
HRESULT SetExtensionWords16(CVendraLayer& layer, std::span<const std::byte> words);
// Turn the element's words to host order in place and return its bytes; an empty span with no
// data when the element is missing. Each call swaps again, so a tree that was read is converted
// once, and swapped back with the same call before it is written.
std::span<std::uint8_t> GetBaseWords32(CVendraLayer& layer);
std::span<std::uint8_t> GetExtensionWords32(CVendraLayer& layer);
std::span<std::uint8_t> GetExtensionWords16(CVendraLayer& layer);

// Writes the tree to the path it was read from: E_INVALIDARG when it has none, otherwise the
// result of WriteContainer.
HRESULT SaveToPath(CVendra& root);

#pragma once
// The nodes of a chunk tree: layers of tagged byte blocks laid out like JPEG marker segments.
// Each node writes its own on-disk header and knows its size on disk, so the file reader and
// writer only walk the lists.

#include <cstdint>
#include <memory>
#include <span>

#include "platform/base/HResult.h"

class CVendraElement;
class CVendraElementEx;
class CVendraLayerEx;

class CJFIFMarker {
public:
    // The longest header any node writes: a layer or extension header.
    static constexpr std::uint32_t kMaxHeaderSize = 12;

    CJFIFMarker() = default;
    CJFIFMarker(const CJFIFMarker&) = delete;
    CJFIFMarker& operator=(const CJFIFMarker&) = delete;
    virtual ~CJFIFMarker() = default;

    // Writes the node's header at buffer, which holds at least kMaxHeaderSize bytes, and returns
    // the position just past it.
    virtual std::uint8_t* WriteHeader(std::uint8_t* buffer);
    virtual std::uint32_t GetDataLength();
    // The value of the header's length field.
    virtual std::uint32_t GetSegmentLength();
    // Bytes the node occupies on disk, header included.
    virtual std::uint32_t GetTotalSize();
    // Replaces m_data by a copy of the m_length bytes at source and rewinds m_cursor. When the
    // copy cannot be allocated the node is left empty (no data, length 0) and E_OUTOFMEMORY
    // returned, so that m_length never claims bytes m_data does not hold.
    virtual HRESULT SetData(const void* source);

    std::uint8_t m_tag = 0;
    std::unique_ptr<std::uint8_t[]> m_data;
    std::uint32_t m_length = 0;
    std::uint32_t m_cursor = 0;
};

class CVendraElement : public CJFIFMarker {
public:
    CVendraElement() = default;
    ~CVendraElement() override;

    // For a layer this holds the next layer, and nothing else.
    std::unique_ptr<CVendraElement> m_next;
};

class CVendraElementEx : public CVendraElement {
public:
    std::uint8_t* WriteHeader(std::uint8_t* buffer) override;
    std::uint32_t GetSegmentLength() override;
    std::uint32_t GetTotalSize() override;
    virtual void SetParam(std::int16_t param);
    virtual void SetParamBytes(std::span<const std::uint8_t, 2> bytes);

    std::int16_t m_param = 0;
};

class CVendraLayer : public CVendraElement {
public:
    static constexpr std::uint8_t kLayerTag = 0xE2;
    static constexpr std::int32_t kHasExtension = 0x01;  // flag bit

    CVendraLayer();
    ~CVendraLayer() override;

    std::uint8_t* WriteHeader(std::uint8_t* buffer) override;
    // Recomputes the payload length first: element sizes must be final when this is called.
    std::uint32_t GetSegmentLength() override;
    std::uint32_t GetTotalSize() override;
    // Sums the elements' total sizes into m_length and returns it.
    virtual std::uint32_t ComputePayloadLength();
    // Takes the four parameter bytes of a layer header: id, flags, packed nibbles, count.
    virtual void SetParams(std::span<const std::uint8_t> bytes);
    // Appends an element with that tag and counts it; null when it cannot be allocated.
    virtual CVendraElement* AddElement(std::uint8_t tag);

    std::int32_t m_id = -1;
    std::int32_t m_flags = 0;
    std::int32_t m_nibbleHigh = 0;
    std::int32_t m_nibbleLow = 1;
    std::int32_t m_count = 0;
    // An extension layer's list holds only CVendraElementEx.
    std::unique_ptr<CVendraElement> m_firstElement;
    std::unique_ptr<CVendraLayerEx> m_extension;
};

class CVendraLayerEx : public CVendraLayer {
public:
    std::uint8_t* WriteHeader(std::uint8_t* buffer) override;
    std::uint32_t GetSegmentLength() override;
    std::uint32_t GetTotalSize() override;
    // Takes the two parameter bytes of an extension header: id, count.
    void SetParams(std::span<const std::uint8_t> bytes) override;
    CVendraElementEx* AddElement(std::uint8_t tag) override;
};

// The layer after this one in the root's list.
inline CVendraLayer* NextLayer(const CVendraLayer& layer) {
    return static_cast<CVendraLayer*>(layer.m_next.get());
}

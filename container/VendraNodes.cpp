#include "container/VendraNodes.h"

#include <cassert>
#include <cstring>
#include <new>

#include "container/BigEndian.h"

namespace {

constexpr std::uint8_t kMarkerStart = 0xFF;
constexpr std::uint8_t kLayerMagic[4] = {'V', 'D', 'L', 'Y'};
constexpr std::uint8_t kExtensionMagic[4] = {'V', 'D', 'E', 'X'};

// The length fields count themselves and what follows them up to the data.
constexpr std::uint32_t kElementFieldBytes = 2;
constexpr std::uint32_t kExtensionElementFieldBytes = 4;
constexpr std::uint32_t kLayerFieldBytes = 10;
constexpr std::uint32_t kExtensionFieldBytes = 4;

// The bytes of a header that its length field does not count.
constexpr std::uint32_t kMarkerPrefixBytes = 2;
constexpr std::uint32_t kExtensionElementPrefixBytes = 4;
constexpr std::uint32_t kExtensionPrefixBytes = 8;

void AppendToList(std::unique_ptr<CVendraElement>& head, CVendraElement* node) {
    std::unique_ptr<CVendraElement>* link = &head;
    while (*link) {
        link = &(*link)->m_next;
    }
    link->reset(node);
}

}  // namespace

std::uint8_t* CJFIFMarker::WriteHeader(std::uint8_t* buffer) {
    buffer[0] = kMarkerStart;
    buffer[1] = m_tag;
    return big_endian::Store16(buffer + 2, static_cast<std::uint16_t>(GetSegmentLength()));
}

std::uint32_t CJFIFMarker::GetDataLength() {
    return m_length;
}

std::uint32_t CJFIFMarker::GetSegmentLength() {
    return GetDataLength() + kElementFieldBytes;
}

std::uint32_t CJFIFMarker::GetTotalSize() {
    return GetSegmentLength() + kMarkerPrefixBytes;
}

HRESULT CJFIFMarker::SetData(const void* source) {
    m_cursor = 0;
    m_data.reset();
    if (m_length == 0) {
        return S_OK;
    }
    m_data.reset(new (std::nothrow) std::uint8_t[m_length]);
    if (!m_data) {
        m_length = 0;
        return E_OUTOFMEMORY;
    }
    std::memcpy(m_data.get(), source, m_length);
    return S_OK;
}

CVendraElement::~CVendraElement() {
    // Free the successors one at a time: if each node deleted the next, a list read from a file
    // of millions of empty layers would nest as many destructor calls and overflow the stack.
    std::unique_ptr<CVendraElement> next = std::move(m_next);
    while (next) {
        next = std::move(next->m_next);
    }
}

std::uint8_t* CVendraElementEx::WriteHeader(std::uint8_t* buffer) {
    buffer[0] = kMarkerStart;
    buffer[1] = m_tag;
    std::uint8_t* end = big_endian::Store16(buffer + 2, static_cast<std::uint16_t>(m_param));
    return big_endian::Store32(end, GetSegmentLength());
}

std::uint32_t CVendraElementEx::GetSegmentLength() {
    return m_length + kExtensionElementFieldBytes;
}

std::uint32_t CVendraElementEx::GetTotalSize() {
    return GetSegmentLength() + kExtensionElementPrefixBytes;
}

void CVendraElementEx::SetParam(std::int16_t param) {
    m_param = param;
}

void CVendraElementEx::SetParamBytes(std::span<const std::uint8_t, 2> bytes) {
    m_param = static_cast<std::int16_t>(big_endian::Load16(bytes.data()));
}

CVendraLayer::CVendraLayer() {
    m_tag = kLayerTag;
}

CVendraLayer::~CVendraLayer() {
    m_firstElement.reset();
    m_extension.reset();
}

std::uint8_t* CVendraLayer::WriteHeader(std::uint8_t* buffer) {
    buffer[0] = kMarkerStart;
    buffer[1] = m_tag;
    std::uint8_t* end =
        big_endian::Store16(buffer + 2, static_cast<std::uint16_t>(GetSegmentLength()));
    std::memcpy(end, kLayerMagic, sizeof kLayerMagic);
    end += sizeof kLayerMagic;
    *end++ = static_cast<std::uint8_t>(m_id);
    *end++ = static_cast<std::uint8_t>(m_flags);
    *end++ = static_cast<std::uint8_t>((m_nibbleHigh << 4) | (m_nibbleLow & 0x0F));
    *end++ = static_cast<std::uint8_t>(m_count);
    return end;
}

std::uint32_t CVendraLayer::GetSegmentLength() {
    return ComputePayloadLength() + kLayerFieldBytes;
}

std::uint32_t CVendraLayer::GetTotalSize() {
    return GetSegmentLength() + kMarkerPrefixBytes;
}

std::uint32_t CVendraLayer::ComputePayloadLength() {
    std::uint32_t sum = 0;
    for (CVendraElement* element = m_firstElement.get(); element; element = element->m_next.get()) {
        sum += element->GetTotalSize();
    }
    m_length = sum;
    return sum;
}

void CVendraLayer::SetParams(std::span<const std::uint8_t> bytes) {
    assert(bytes.size() >= 4 && "a layer header has four parameter bytes");
    m_id = bytes[0];
    m_flags = bytes[1];
    m_nibbleHigh = bytes[2] >> 4;
    m_nibbleLow = bytes[2] & 0x0F;
    m_count = bytes[3];
}

CVendraElement* CVendraLayer::AddElement(std::uint8_t tag) {
    auto* element = new (std::nothrow) CVendraElement();
    if (!element) {
        return nullptr;
    }
    element->m_tag = tag;
    AppendToList(m_firstElement, element);
    ++m_count;
    return element;
}

std::uint8_t* CVendraLayerEx::WriteHeader(std::uint8_t* buffer) {
    std::memcpy(buffer, kExtensionMagic, sizeof kExtensionMagic);
    buffer[4] = static_cast<std::uint8_t>(m_id);
    buffer[5] = static_cast<std::uint8_t>(m_count);
    buffer[6] = 0;
    buffer[7] = 0;
    return big_endian::Store32(buffer + 8, GetSegmentLength());
}

std::uint32_t CVendraLayerEx::GetSegmentLength() {
    return ComputePayloadLength() + kExtensionFieldBytes;
}

std::uint32_t CVendraLayerEx::GetTotalSize() {
    return GetSegmentLength() + kExtensionPrefixBytes;
}

void CVendraLayerEx::SetParams(std::span<const std::uint8_t> bytes) {
    assert(bytes.size() >= 2 && "an extension header has two parameter bytes");
    m_id = bytes[0];
    m_count = bytes[1];
}

CVendraElementEx* CVendraLayerEx::AddElement(std::uint8_t tag) {
    auto* element = new (std::nothrow) CVendraElementEx();
    if (!element) {
        return nullptr;
    }
    element->m_tag = tag;
    AppendToList(m_firstElement, element);
    ++m_count;
    return element;
}

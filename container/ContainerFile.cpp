#include "container/ContainerFile.h"

#include <array>
#include <cstring>
#include <fstream>
#include <new>
#include <system_error>
#include <vector>

#include "platform/system/AtomicFile.h"
#include "container/BigEndian.h"

namespace {

constexpr std::uint8_t kMarkerStart = 0xFF;
constexpr std::uint8_t kLayerTag = CVendraLayer::kLayerTag;
constexpr std::uint8_t kOtherLayerTag = 0x00;  // read as a layer tag too
constexpr char kLayerMagic[4] = {'V', 'D', 'L', 'Y'};
constexpr char kExtensionMagic[4] = {'V', 'D', 'E', 'X'};

constexpr std::uint32_t kElementHeaderSize = 4;
constexpr std::uint32_t kExtensionElementHeaderSize = 8;
// What a length field counts besides the data or payload.
constexpr std::uint32_t kElementLengthBytes = 2;
constexpr std::uint32_t kLayerLengthBytes = 10;
constexpr std::uint32_t kMagicEnd = 6;  // length counted up to the end of a layer's magic
constexpr std::uint32_t kExtensionLengthBytes = 4;

constexpr std::uint32_t kMaxByte = 0xFF;
constexpr std::uint32_t kMaxNibble = 0x0F;
constexpr std::uint32_t kMaxElementData = 0xFFFF - kElementLengthBytes;
constexpr std::uint32_t kMaxLayerPayload = 0xFFFF - kLayerLengthBytes;
// An extension's total size, payload + 12, must still fit the 32 bits its sizes are computed in.
constexpr std::uint64_t kMaxExtensionPayload = 0xFFFFFFFFull - 12;

bool IsMagic(const std::uint8_t* bytes, const char (&magic)[4]) {
    return std::memcmp(bytes, magic, sizeof magic) == 0;
}

std::size_t CountCharacters(const std::string& utf8) {
    std::size_t count = 0;
    for (unsigned char c : utf8) {
        count += (c & 0xC0) != 0x80;
    }
    return count;
}

// The bytes of a container, read strictly within their end, so that no length they claim can make
// the reader allocate, skip or read beyond what is there.
class Input {
public:
    explicit Input(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    std::size_t Remaining() const { return m_bytes.size() - m_offset; }

    bool Read(std::uint8_t* destination, std::uint64_t count) {
        const std::uint8_t* source = Take(count);
        if (source && count > 0) {
            std::memcpy(destination, source, static_cast<std::size_t>(count));
        }
        return source != nullptr;
    }

    // The next count bytes, passed over; null when fewer are left.
    const std::uint8_t* Take(std::uint64_t count) {
        if (count > Remaining()) {
            return nullptr;
        }
        const std::uint8_t* at = m_bytes.data() + m_offset;
        m_offset += static_cast<std::size_t>(count);
        return at;
    }

    bool Skip(std::uint64_t count) { return Take(count) != nullptr; }

    void Unread(std::uint32_t count) { m_offset -= count; }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_offset = 0;
};

// Parses the layer's m_count elements from payload into its list. Header sizes and the length
// fields' own bytes differ between base and extension elements.
template <class Element, std::uint32_t kHeaderSize>
HRESULT ParseElements(std::span<const std::uint8_t> payload, CVendraLayer& layer) {
    std::unique_ptr<CVendraElement>* tail = &layer.m_firstElement;
    std::uint64_t offset = 0;
    for (std::int32_t i = 0; i < layer.m_count; ++i) {
        if (payload.size() - offset < kHeaderSize) {
            return E_INVALIDARG;
        }
        const std::uint8_t* header = payload.data() + offset;
        std::uint64_t segmentLength;
        std::uint32_t countedBytes;
        if constexpr (kHeaderSize == kElementHeaderSize) {
            segmentLength = big_endian::Load16(header + 2);
            countedBytes = kElementLengthBytes;
        } else {
            segmentLength = big_endian::Load32(header + 4);
            countedBytes = kExtensionLengthBytes;
        }
        if (segmentLength < countedBytes ||
            segmentLength - countedBytes > payload.size() - offset - kHeaderSize) {
            return E_INVALIDARG;
        }
        auto* element = new (std::nothrow) Element();
        if (!element) {
            return E_OUTOFMEMORY;
        }
        tail->reset(element);
        tail = &element->m_next;
        element->m_tag = header[1];
        if constexpr (kHeaderSize == kExtensionElementHeaderSize) {
            element->SetParamBytes(std::span<const std::uint8_t, 2>(header + 2, 2));
        }
        element->m_length = static_cast<std::uint32_t>(segmentLength - countedBytes);
        if (FAILED(element->SetData(header + kHeaderSize))) {
            return E_OUTOFMEMORY;
        }
        offset += kHeaderSize + element->m_length;
    }
    return S_OK;
}

// Reads one 0xE2/0x00 segment whose 4-byte header is already consumed. Sets layer when the
// segment was a layer, leaves it null when the segment was skipped.
HRESULT ReadLayerSegment(Input& input, std::uint32_t segmentLength,
                         std::unique_ptr<CVendraLayer>& layer) {
    // Too short to hold the magic: not a layer, and skipped like any other segment.
    if (segmentLength < kMagicEnd) {
        return input.Skip(segmentLength - kElementLengthBytes) ? S_OK : E_INVALIDARG;
    }
    std::uint8_t magic[4];
    if (!input.Read(magic, sizeof magic)) {
        return E_INVALIDARG;
    }
    if (!IsMagic(magic, kLayerMagic)) {
        return input.Skip(segmentLength - kMagicEnd) ? S_OK : E_INVALIDARG;
    }
    std::uint8_t params[4];
    if (segmentLength < kLayerLengthBytes || !input.Read(params, sizeof params)) {
        return E_INVALIDARG;
    }
    layer.reset(new (std::nothrow) CVendraLayer());
    if (!layer) {
        return E_OUTOFMEMORY;
    }
    layer->SetParams(params);
    layer->m_length = segmentLength - kLayerLengthBytes;
    const std::uint8_t* payload = input.Take(layer->m_length);
    const HRESULT hr = payload ? ParseElements<CVendraElement, kElementHeaderSize>(
                                     {payload, layer->m_length}, *layer)
                               : E_INVALIDARG;
    if (FAILED(hr)) {
        layer.reset();
    }
    return hr;
}

// Reads 0xFF-led segments up to the first "VDEX", appending each complete layer to the root.
HRESULT ReadBase(Input& input, CVendra& root) {
    // Appending at a kept tail: walking the list for each layer would take quadratic time on a
    // file of many small layers.
    CVendraLayer* last = root.m_firstLayer.get();
    while (last && NextLayer(*last)) {
        last = NextLayer(*last);
    }
    std::uint8_t header[4];
    while (input.Read(header, sizeof header)) {
        if (IsMagic(header, kExtensionMagic)) {
            input.Unread(sizeof header);
            return S_OK;
        }
        if (header[0] != kMarkerStart) {
            return E_INVALIDARG;
        }
        const std::uint32_t segmentLength = big_endian::Load16(header + 2);
        if (segmentLength < kElementLengthBytes) {
            return E_INVALIDARG;
        }
        if (header[1] != kLayerTag && header[1] != kOtherLayerTag) {
            if (!input.Skip(segmentLength - kElementLengthBytes)) {
                return E_INVALIDARG;
            }
            continue;
        }
        std::unique_ptr<CVendraLayer> layer;
        const HRESULT hr = ReadLayerSegment(input, segmentLength, layer);
        if (FAILED(hr)) {
            return hr;
        }
        if (layer) {
            CVendraLayer* appended = layer.get();
            if (last) {
                last->m_next = std::move(layer);
            } else {
                root.m_firstLayer = std::move(layer);
            }
            last = appended;
            ++root.m_nextLayerId;
        }
    }
    return S_OK;
}

// Reads "VDEX" sections, each replacing the extension of the first layer with its id. Other
// 4-byte groups are passed over one at a time.
HRESULT ReadExtensions(Input& input, CVendra& root) {
    // Ids on disk are one byte, so a table finds each section's layer in constant time.
    std::array<CVendraLayer*, kMaxByte + 1> layers{};
    for (CVendraLayer* layer = root.m_firstLayer.get(); layer; layer = NextLayer(*layer)) {
        if (layer->m_id >= 0 && layer->m_id <= static_cast<std::int32_t>(kMaxByte) &&
            !layers[static_cast<std::size_t>(layer->m_id)]) {
            layers[static_cast<std::size_t>(layer->m_id)] = layer;
        }
    }
    std::uint8_t group[4];
    while (input.Read(group, sizeof group)) {
        if (!IsMagic(group, kExtensionMagic)) {
            continue;
        }
        std::uint8_t params[4];
        std::uint8_t lengthField[4];
        if (!input.Read(params, sizeof params) || !input.Read(lengthField, sizeof lengthField)) {
            return E_INVALIDARG;
        }
        const std::uint32_t sectionLength = big_endian::Load32(lengthField);
        if (sectionLength < kExtensionLengthBytes) {
            return E_INVALIDARG;
        }
        const std::uint32_t payloadLength = sectionLength - kExtensionLengthBytes;
        CVendraLayer* owner = layers[params[0]];
        if (!owner) {
            if (!input.Skip(payloadLength)) {
                return E_INVALIDARG;
            }
            continue;
        }
        std::unique_ptr<CVendraLayerEx> extension(new (std::nothrow) CVendraLayerEx());
        if (!extension) {
            return E_OUTOFMEMORY;
        }
        extension->SetParams(params);
        extension->m_length = payloadLength;
        const std::uint8_t* payload = input.Take(payloadLength);
        const HRESULT hr = payload ? ParseElements<CVendraElementEx, kExtensionElementHeaderSize>(
                                         {payload, payloadLength}, *extension)
                                   : E_INVALIDARG;
        if (FAILED(hr)) {
            return hr;
        }
        owner->m_flags |= CVendraLayer::kHasExtension;
        owner->m_extension = std::move(extension);
    }
    return S_OK;
}

bool CountMatches(const CVendraLayer& layer) {
    std::int64_t count = 0;
    for (CVendraElement* e = layer.m_firstElement.get(); e; e = e->m_next.get()) {
        ++count;
    }
    return count == layer.m_count;
}

bool ElementsFit(const CVendraLayer& layer, std::uint64_t maxData, std::uint64_t maxPayload,
                 std::uint32_t headerSize) {
    std::uint64_t payload = 0;
    for (CVendraElement* e = layer.m_firstElement.get(); e; e = e->m_next.get()) {
        if (e->m_length > maxData || (e->m_length > 0 && !e->m_data)) {
            return false;
        }
        payload += headerSize + std::uint64_t{e->m_length};
    }
    return payload <= maxPayload && CountMatches(layer);
}

bool InByte(std::int32_t value, std::uint32_t max) {
    return value >= 0 && static_cast<std::uint32_t>(value) <= max;
}

// Writes the tree into one buffer of its exact size; the tree has been validated.
HRESULT Serialise(CVendra& root, std::vector<std::uint8_t>* bytes) {
    std::size_t size = 0;
    for (CVendraLayer* layer = root.m_firstLayer.get(); layer; layer = NextLayer(*layer)) {
        size += layer->GetTotalSize();
        if (layer->m_extension) {
            size += layer->m_extension->GetTotalSize();
        }
    }
    try {
        bytes->resize(size);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    std::uint8_t* out = bytes->data();
    auto writeList = [&out](CVendraLayer& list) {
        out = list.WriteHeader(out);
        for (CVendraElement* e = list.m_firstElement.get(); e; e = e->m_next.get()) {
            out = e->WriteHeader(out);
            if (e->m_length > 0) {
                std::memcpy(out, e->m_data.get(), e->m_length);
                out += e->m_length;
            }
        }
    };
    for (CVendraLayer* layer = root.m_firstLayer.get(); layer; layer = NextLayer(*layer)) {
        writeList(*layer);
    }
    for (CVendraLayer* layer = root.m_firstLayer.get(); layer; layer = NextLayer(*layer)) {
        if (layer->m_extension) {
            writeList(*layer->m_extension);
        }
    }
    return S_OK;
}

}  // namespace

HRESULT ReadContainerFile(const std::filesystem::path& path, std::vector<std::uint8_t>* bytes) {
    bytes->clear();
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return E_FAIL;
    }
    std::ifstream stream(path, std::ios::binary);
    stream.seekg(0, std::ios::end);
    const std::streamoff size = stream.tellg();
    stream.seekg(0, std::ios::beg);
    if (!stream || size < 0) {
        return E_FAIL;
    }
    if (static_cast<std::uint64_t>(size) > kMaxContainerFileBytes) {
        return E_OUTOFMEMORY;
    }
    try {
        bytes->resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    stream.read(reinterpret_cast<char*>(bytes->data()), size);
    if (stream.gcount() != size) {
        bytes->clear();
        return E_FAIL;
    }
    return S_OK;
}

HRESULT ReadContainer(std::span<const std::uint8_t> bytes, CVendra& root) {
    Input input(bytes);
    const HRESULT hr = ReadBase(input, root);
    return FAILED(hr) ? hr : ReadExtensions(input, root);
}

HRESULT ReadContainer(const std::filesystem::path& path, CVendra& root) {
    if (CountCharacters(path.string()) >= CVendra::kPathCapacity) {
        return E_INVALIDARG;
    }
    root.m_path = path;
    std::vector<std::uint8_t> bytes;
    const HRESULT hr = ReadContainerFile(path, &bytes);
    return FAILED(hr) ? hr : ReadContainer(bytes, root);
}

HRESULT ValidateTree(CVendra& root) {
    std::array<bool, kMaxByte + 1> idSeen{};
    for (CVendraLayer* layer = root.m_firstLayer.get(); layer; layer = NextLayer(*layer)) {
        if ((layer->m_tag != kLayerTag && layer->m_tag != kOtherLayerTag) ||
            !InByte(layer->m_id, kMaxByte) || !InByte(layer->m_flags, kMaxByte) ||
            !InByte(layer->m_nibbleHigh, kMaxNibble) || !InByte(layer->m_nibbleLow, kMaxNibble) ||
            !InByte(layer->m_count, kMaxByte) ||
            !ElementsFit(*layer, kMaxElementData, kMaxLayerPayload, kElementHeaderSize)) {
            return E_INVALIDARG;
        }
        const bool firstWithId = !idSeen[static_cast<std::size_t>(layer->m_id)];
        idSeen[static_cast<std::size_t>(layer->m_id)] = true;
        const CVendraLayerEx* extension = layer->m_extension.get();
        // The reader gives a section to the first layer with the section's id.
        if (extension && (!firstWithId || extension->m_id != layer->m_id ||
                          !InByte(extension->m_count, kMaxByte) ||
                          !ElementsFit(*extension, kMaxExtensionPayload, kMaxExtensionPayload,
                                       kExtensionElementHeaderSize))) {
            return E_INVALIDARG;
        }
    }
    return S_OK;
}

HRESULT WriteContainer(CVendra& root, std::vector<std::uint8_t>* bytes) {
    bytes->clear();
    const HRESULT hr = ValidateTree(root);
    return FAILED(hr) ? hr : Serialise(root, bytes);
}

HRESULT WriteContainer(const std::filesystem::path& path, CVendra& root) {
    std::vector<std::uint8_t> bytes;
    const HRESULT hr = WriteContainer(root, &bytes);
    return FAILED(hr) ? hr : ReplaceFileAtomically(path, bytes);
}

#include "container/Vendra.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <new>

#include "container/BigEndian.h"
#include "container/ContainerFile.h"

// The word conveniences turn host order into big-endian by reversing bytes, which is right only
// where the host is little-endian.
static_assert(std::endian::native == std::endian::little,
              "word conversions assume a little-endian host");

namespace {

CVendraElement* FindOrAddElement(CVendraLayer& layer, std::uint8_t tag) {
    CVendraElement* element = FindElement(layer, tag);
    return element ? element : layer.AddElement(tag);
}

// The element in an extension's list, which holds only extension elements.
CVendraElementEx* FindOrAddExtensionElement(CVendraLayer& layer, std::uint8_t tag) {
    CVendraLayerEx* extension =
        layer.m_extension ? layer.m_extension.get() : CreateExtension(layer);
    if (!extension) {
        return nullptr;
    }
    return static_cast<CVendraElementEx*>(FindOrAddElement(*extension, tag));
}

// A length field counts at most 32 bits of data.
bool Countable(std::span<const std::byte> source) {
    return source.size() <= std::numeric_limits<std::uint32_t>::max();
}

bool SetCopy(CVendraElement& element, std::span<const std::byte> source) {
    element.m_length = static_cast<std::uint32_t>(source.size());
    return SUCCEEDED(element.SetData(source.data()));
}

template <std::uint32_t kUnit>
std::uint8_t* SwapWords(CVendraElement& element) {
    element.m_cursor = 0;
    std::uint8_t* data = element.m_data.get();
    if (!data) {
        return data;
    }
    while (element.m_length - element.m_cursor >= kUnit) {
        std::reverse(data + element.m_cursor, data + element.m_cursor + kUnit);
        element.m_cursor += kUnit;
    }
    return data;
}

std::span<std::uint8_t> WordsOf(CVendraElement* element, std::uint8_t* (*swap)(CVendraElement&)) {
    if (!element) {
        return {};
    }
    return {swap(*element), element->m_data ? element->m_length : 0};
}

}  // namespace

CVendraLayer* AddLayer(CVendra& root) {
    auto* layer = new (std::nothrow) CVendraLayer();
    if (!layer) {
        return nullptr;
    }
    layer->m_id = root.m_nextLayerId++;
    if (!root.m_firstLayer) {
        root.m_firstLayer.reset(layer);
        return layer;
    }
    CVendraLayer* last = root.m_firstLayer.get();
    while (NextLayer(*last)) {
        last = NextLayer(*last);
    }
    last->m_next.reset(layer);
    return layer;
}

CVendraLayer* FindLayer(const CVendra& root, std::int32_t id) {
    for (CVendraLayer* layer = root.m_firstLayer.get(); layer; layer = NextLayer(*layer)) {
        if (layer->m_id == id) {
            return layer;
        }
    }
    return nullptr;
}

CVendraElement* FindElement(const CVendraLayer& layer, std::uint8_t tag) {
    for (CVendraElement* element = layer.m_firstElement.get(); element;
         element = element->m_next.get()) {
        if (element->m_tag == tag) {
            return element;
        }
    }
    return nullptr;
}

CVendraLayerEx* CreateExtension(CVendraLayer& layer) {
    auto* extension = new (std::nothrow) CVendraLayerEx();
    if (!extension) {
        return nullptr;
    }
    extension->m_id = layer.m_id;
    layer.m_flags |= CVendraLayer::kHasExtension;
    layer.m_extension.reset(extension);
    return extension;
}

HRESULT SetInt32(CVendraLayer& layer, std::uint8_t tag, std::uint32_t value) {
    std::byte bytes[4];
    big_endian::Store32(reinterpret_cast<std::uint8_t*>(bytes), value);
    return SetElementData(layer, tag, bytes) ? S_OK : E_OUTOFMEMORY;
}

std::uint32_t ReadInt32(CVendraLayer& layer, std::uint8_t tag) {
    CVendraElement* element = FindElement(layer, tag);
    if (!element || !element->m_data || element->m_cursor > element->m_length ||
        element->m_length - element->m_cursor < 4) {
        return 0;
    }
    const std::uint32_t value = big_endian::Load32(element->m_data.get() + element->m_cursor);
    element->m_cursor += 4;
    return value;
}

CVendraElement* SetElementData(CVendraLayer& layer, std::uint8_t tag,
                               std::span<const std::byte> source) {
    if (!Countable(source)) {
        return nullptr;
    }
    CVendraElement* element = FindOrAddElement(layer, tag);
    return element && SetCopy(*element, source) ? element : nullptr;
}

CVendraElementEx* SetExtensionData(CVendraLayer& layer, std::uint8_t tag,
                                   std::span<const std::byte> source) {
    if (!Countable(source)) {
        return nullptr;
    }
    CVendraElementEx* element = FindOrAddExtensionElement(layer, tag);
    return element && SetCopy(*element, source) ? element : nullptr;
}

std::uint8_t* SwapWords16(CVendraElement& element) {
    return SwapWords<2>(element);
}

std::uint8_t* SwapWords32(CVendraElement& element) {
    return SwapWords<4>(element);
}

HRESULT SetBaseWords32(CVendraLayer& layer, std::span<const std::byte, kBaseWords32Length> words) {
    CVendraElement* element = SetElementData(layer, kBaseWords32Tag, words);
    if (!element) {
        return E_OUTOFMEMORY;
    }
    SwapWords32(*element);
    return S_OK;
}

HRESULT MarkExtensionWords32(CVendraLayer& layer) {
    CVendraElementEx* element = FindOrAddExtensionElement(layer, kExtensionWords32Tag);
    if (!element) {
        return E_OUTOFMEMORY;
    }
    element->SetParam(1);
    return S_OK;
}

HRESULT SetExtensionWords32(CVendraLayer& layer, std::span<const std::byte> words) {
    CVendraElementEx* element = SetExtensionData(layer, kExtensionWords32Tag, words);
    if (!element) {
        return E_OUTOFMEMORY;
    }
    SwapWords32(*element);
    return S_OK;
}

HRESULT SetExtensionWords16(CVendraLayer& layer, std::span<const std::byte> words) {
    CVendraElementEx* element = SetExtensionData(layer, kExtensionWords16Tag, words);
    if (!element) {
        return E_OUTOFMEMORY;
    }
    SwapWords16(*element);
    return S_OK;
}

std::span<std::uint8_t> GetBaseWords32(CVendraLayer& layer) {
    return WordsOf(FindElement(layer, kBaseWords32Tag), SwapWords32);
}

std::span<std::uint8_t> GetExtensionWords32(CVendraLayer& layer) {
    return WordsOf(
        layer.m_extension ? FindElement(*layer.m_extension, kExtensionWords32Tag) : nullptr,
        SwapWords32);
}

std::span<std::uint8_t> GetExtensionWords16(CVendraLayer& layer) {
    return WordsOf(
        layer.m_extension ? FindElement(*layer.m_extension, kExtensionWords16Tag) : nullptr,
        SwapWords16);
}

HRESULT SaveToPath(CVendra& root) {
    if (root.m_path.empty()) {
        return E_INVALIDARG;
    }
    return WriteContainer(root.m_path, root);
}

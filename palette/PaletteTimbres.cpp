// The palette's timbre files: loading the Timbres folder and saving one entry.

#include <string_view>

#include "container/ContainerFile.h"
#include "jewels/JewelManager.h"
#include "palette/TimbreFile.h"
#include "palette/TimbrePalette.h"
#include "palette/TimbresFolder.h"
#include "platform/system/SystemServices.h"
#include "synth/Synthesizer.h"

namespace {

// A copy of the library's mesh, or an empty one when the library has none.
std::unique_ptr<JewelMesh> CopyOf(const JewelMesh* source) {
    auto mesh = std::make_unique<JewelMesh>();
    if (source && !CopyJewelMesh(*mesh, *source)) {
        return std::make_unique<JewelMesh>();
    }
    return mesh;
}

}  // namespace

HRESULT CTimbrePalette::LoadTimbres() {
    if (FindTimbresFolder(&m_folder)) {
        for (const std::string& name : platform::FindFiles(m_folder, "*.tmbr")) {
            LoadTimbreFile(name);
        }
    } else {
        m_folder.clear();
    }
    // Only the blank entry: no file gave a timbre.
    if (m_entryCount < 2) {
        AddBuiltInTimbres();
    }
    m_pressedEntry = m_head.get();
    RebuildJewelBuffers();
    return S_OK;
}

void CTimbrePalette::LoadTimbreFile(const std::string& name) {
    const std::filesystem::path path = m_folder / name;
    CVendra tree;
    TimbreFileContent content;
    if (FAILED(ReadTimbreFile(path, tree, &content))) {
        platform::OutputDebugString("Not a timbre file, skipped: " + path.string() + "\n");
        return;
    }
    auto timbre = std::make_unique<CTimbre>();
    timbre->SetName(name);
    std::copy(std::begin(content.amplitudes), std::end(content.amplitudes), timbre->m_harmonics);
    timbre->m_color.m_hue = -1.0f;
    timbre->DeriveHue();
    const CSynthesizer* synth = CSynthesizer::Instance();
    timbre->BuildWaves(synth->m_lowest, synth->m_highest);

    std::unique_ptr<JewelMesh> mesh = std::move(content.mesh);
    if (!mesh) {
        // The file is given a jewel and keeps it: it is written back with the mesh.
        const JewelMesh* picked = m_jewels ? PickRandomJewel(*m_jewels) : nullptr;
        mesh = CopyOf(picked);
        if (picked && SUCCEEDED(StoreTimbreMesh(*FindLayer(tree, 0), *mesh)) &&
            !tree.m_path.empty() && FAILED(WriteContainer(tree.m_path, tree))) {
            platform::OutputDebugString("Could not give its jewel to " + path.string() + "\n");
        }
    }
    if (PaletteEntry* entry = AddEntry(std::move(timbre), std::move(mesh))) {
        entry->m_fileName = name;
    }
}

void CTimbrePalette::AddBuiltInTimbres() {
    using Preset = void (CTimbre::*)();
    const CSynthesizer* synth = CSynthesizer::Instance();
    for (Preset preset :
         {&CTimbre::SetAllEvenHiWave, &CTimbre::SetSawtoothWave, &CTimbre::SetSquareWave}) {
        auto timbre = std::make_unique<CTimbre>();
        (timbre.get()->*preset)();
        timbre->BuildWaves(synth->m_lowest, synth->m_highest);
        AddEntry(std::move(timbre), CopyOf(m_jewels ? PickRandomJewel(*m_jewels) : nullptr));
    }
}

HRESULT CTimbrePalette::SaveEntry(PaletteEntry& entry) {
    if (!entry.m_timbre) {
        return E_FAIL;
    }
    if (!IsUsableTimbreFileName(entry.m_fileName)) {
        // A name is taken by a file, or by an entry whose file could not be written yet.
        entry.m_fileName = NewTimbreFileName(m_clock(), [&](std::string_view name) {
            for (const PaletteEntry* e = m_head.get(); e; e = e->m_next.get()) {
                if (e->m_fileName == name) {
                    return true;
                }
            }
            return !m_folder.empty() && platform::PathExists(m_folder / name);
        });
    }
    if (m_folder.empty()) {
        return E_INVALIDARG;
    }
    CVendra tree;
    const JewelMesh none;
    HRESULT hr = BuildTimbreTree(entry.m_timbre->m_harmonics, entry.m_mesh ? *entry.m_mesh : none,
                                 tree);
    if (SUCCEEDED(hr)) {
        hr = WriteContainer(m_folder / entry.m_fileName, tree);
    }
    return hr;
}

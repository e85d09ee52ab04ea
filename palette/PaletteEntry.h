#pragma once
// One tile's content: a timbre, the entry's own copy of its jewel shape, and the file it is kept
// in. The entries form a doubly linked list in tile order, each owning the ones after it.

#include <memory>
#include <string>

#include "jewels/JewelMesh.h"
#include "synth/Timbre.h"

struct PaletteEntry {
    PaletteEntry() = default;
    PaletteEntry(const PaletteEntry&) = delete;
    PaletteEntry& operator=(const PaletteEntry&) = delete;
    // Frees the entries after it too, one at a time.
    ~PaletteEntry();

    std::unique_ptr<CTimbre> m_timbre;  // null for the blank entry
    std::unique_ptr<JewelMesh> m_mesh;  // null for the blank entry; chained in tile order
    PaletteEntry* m_prev = nullptr;     // not owned
    std::unique_ptr<PaletteEntry> m_next;
    std::string m_fileName;  // the .tmbr file's name in the Timbres folder; empty until saved
};

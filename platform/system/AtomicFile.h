#pragma once
// Replacing a file so that a crash, a kill or a full disk leaves either the old content or the
// new one, never a mixture, and no temporary file for good: the bytes go to a temporary file in
// the target's folder, are flushed to the disk, and the temporary is renamed over the target.
// See AtomicFile.cpp for how temporaries left by a killed writer are kept from piling up.
//
// Linux only (O_TMPFILE, linkat, flock, fsync, rename); a target that is a symbolic link is
// replaced by a file.

#include <cstdint>
#include <filesystem>
#include <span>

#include "platform/base/HResult.h"

// S_OK once the new content is in place; E_FAIL, with the target untouched and no temporary
// left behind, otherwise. A replaced file keeps its permission bits; a new one gets the
// process's defaults. Temporaries that killed writers left in the folder are removed first.
HRESULT ReplaceFileAtomically(const std::filesystem::path& target,
                              std::span<const std::uint8_t> content);

// Tests take the way of file systems that refuse unnamed temporary files (a named temporary
// from the start) by turning them off. Returns the previous setting.
bool SetUnnamedTemporaryFiles(bool enabled);

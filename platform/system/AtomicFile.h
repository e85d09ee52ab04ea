#pragma once
// Replacing a file so that a crash, a kill or a full disk leaves either the old content or the
// new one, never a mixture: the bytes go to a temporary file beside the target, are flushed to
// the disk, and the temporary is renamed over the target.
//
// POSIX only (open, fsync, rename); a target that is a symbolic link is replaced by a file.

#include <cstdint>
#include <filesystem>
#include <span>

#include "platform/base/HResult.h"

// S_OK once the new content is in place; E_FAIL, with the target untouched and no temporary
// left behind, otherwise. A replaced file keeps its permission bits; a new one gets the
// process's defaults.
HRESULT ReplaceFileAtomically(const std::filesystem::path& target,
                              std::span<const std::uint8_t> content);

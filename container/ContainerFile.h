#pragma once
// Container files: the chunk tree as a run of 16-bit-length layer segments followed by a run of
// 32-bit-length extension sections, every integer big-endian.

#include <filesystem>

#include "container/Vendra.h"
#include "platform/base/HResult.h"

// Appends the file's layers to root and records path in root.m_path. The file is untrusted: any
// segment or section that claims bytes its container does not hold fails the read with
// E_INVALIDARG, keeping the layers completed before it. E_INVALIDARG also for a path of
// CVendra::kPathCapacity characters or more (nothing is opened or recorded), E_FAIL for a file
// that cannot be opened, E_OUTOFMEMORY when its content cannot be held.
HRESULT ReadContainer(const std::filesystem::path& path, CVendra& root);

// Replaces the file at path by the tree, atomically: on any failure the old file, if any, stays
// as it was. E_INVALIDARG for a tree the format cannot hold faithfully (see ValidateTree), E_FAIL
// when the file cannot be written, E_OUTOFMEMORY.
HRESULT WriteContainer(const std::filesystem::path& path, CVendra& root);

// S_OK when every field of the tree fits the bits the format gives it and the file would read
// back as the same tree: layer ids, flags and counts in a byte, nibbles in four bits, base
// element data up to 65533 bytes and layer payloads up to 65525, extension data and payloads
// below 2^32 - 8, counts equal to the lists, layers tagged 0xE2 or 0x00, and every extension
// carrying the id of its layer, the first layer with that id. E_INVALIDARG otherwise.
HRESULT ValidateTree(CVendra& root);

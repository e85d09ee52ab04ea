#pragma once
// Container files: the chunk tree as a run of 16-bit-length layer segments followed by a run of
// 32-bit-length extension sections, every integer big-endian. A file is read whole and parsed
// from memory, so that bytes from anywhere (a file, a test, a fuzzer) take the same path.

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "container/Vendra.h"
#include "platform/base/HResult.h"

// Far beyond any jewel or timbre file (the largest mesh 16-bit indices can address takes under
// 2 MB): a larger file is refused before it is read into memory.
inline constexpr std::uint64_t kMaxContainerFileBytes = 64ull << 20;

// The whole file at path into bytes: E_FAIL when it is not a regular file or cannot be read,
// E_OUTOFMEMORY when it is larger than kMaxContainerFileBytes or cannot be held.
HRESULT ReadContainerFile(const std::filesystem::path& path, std::vector<std::uint8_t>* bytes);

// Appends the layers held in bytes to root. The bytes are untrusted: any segment or section that
// claims bytes its container does not hold fails the read with E_INVALIDARG, keeping the layers
// completed before it. E_OUTOFMEMORY when an element cannot be held.
HRESULT ReadContainer(std::span<const std::uint8_t> bytes, CVendra& root);

// Records path in root.m_path and reads the file as above. E_INVALIDARG also for a path of
// CVendra::kPathCapacity characters or more (nothing is opened or recorded); the failures of
// ReadContainerFile for a file that cannot be read.
HRESULT ReadContainer(const std::filesystem::path& path, CVendra& root);

// The tree as the bytes of a file. E_INVALIDARG for a tree the format cannot hold faithfully
// (see ValidateTree), E_OUTOFMEMORY; bytes is empty on failure.
HRESULT WriteContainer(CVendra& root, std::vector<std::uint8_t>* bytes);

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

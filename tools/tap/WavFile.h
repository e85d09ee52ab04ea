#pragma once
// Writes mono 32-bit float WAV files, so that what the engine rendered is kept unrounded.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Writes samples at sampleRate to path. On failure returns false and says why in error.
bool WriteFloatWav(const std::filesystem::path& path, const std::vector<float>& samples,
                   std::uint32_t sampleRate, std::string* error);

#pragma once
// Shared by the container tests: byte strings shown in hex, a scratch folder per test, and the
// smallest file that uses every kind of segment.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"

using Bytes = std::vector<std::uint8_t>;

inline std::string Hex(const Bytes& bytes) {
    std::string text;
    for (std::uint8_t b : bytes) {
        text += (text.empty() ? "" : " ") + std::string{"0123456789ABCDEF"[b >> 4]} +
                "0123456789ABCDEF"[b & 0x0F];
    }
    return text;
}

// Callers pass temporaries: the view lives as long as the full expression that holds it.
inline std::span<const std::byte> AsBytes(const Bytes& bytes) {
    return std::as_bytes(std::span(bytes));
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// One layer (id 0) with element 0x80 = 00 00 00 05, and its extension with element 0x80
// (parameter 0) holding D0..D7.
inline const Bytes kLayerBytes = {0xFF, 0xE2, 0x00, 0x12, 'V',  'D',  'L',  'Y',  0x00, 0x01,
                                  0x01, 0x01, 0xFF, 0x80, 0x00, 0x06, 0x00, 0x00, 0x00, 0x05};
inline const Bytes kExtensionBytes = {'V',  'D',  'E',  'X',  0x00, 0x01, 0x00, 0x00, 0x00, 0x00,
                                      0x00, 0x14, 0xFF, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0C,
                                      0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7};

// A scratch folder per test; gone, with all it holds, when the test ends.
class ScratchFolder : public ::testing::Test {
protected:
    std::filesystem::path Write(const std::string& name, const Bytes& bytes) const {
        std::ofstream(m_folder / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return m_folder / name;
    }
    static Bytes Read(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_folder)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    tovel_test::TempDir m_dir;
    const std::filesystem::path m_folder = m_dir.Path();
};

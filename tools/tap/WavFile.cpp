#include "tools/tap/WavFile.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <fstream>

namespace {

constexpr std::uint16_t kFormatIeeeFloat = 3;
constexpr std::uint32_t kBytesPerSample = 4;
// RIFF sizes are 32-bit: leave room for the header.
constexpr std::uint64_t kMaxDataBytes = 0xFFFFFFFFull - 64;

void Put16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

void Put32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
}

}  // namespace

bool WriteFloatWav(const std::filesystem::path& path, const std::vector<float>& samples,
                   std::uint32_t sampleRate, std::string* error) {
    const std::uint64_t dataBytes = samples.size() * std::uint64_t{kBytesPerSample};
    if (dataBytes > kMaxDataBytes) {
        *error = "too much audio for one WAV file";
        return false;
    }
    const auto data = static_cast<std::uint32_t>(dataBytes);
    std::string header;
    header += "RIFF";
    Put32(header, 4 + (8 + 18) + (8 + 4) + (8 + data));
    header += "WAVEfmt ";
    Put32(header, 18);
    Put16(header, kFormatIeeeFloat);
    Put16(header, 1);
    Put32(header, sampleRate);
    Put32(header, sampleRate * kBytesPerSample);
    Put16(header, kBytesPerSample);
    Put16(header, 32);
    Put16(header, 0);
    // Float formats carry a fact chunk with the frame count.
    header += "fact";
    Put32(header, 4);
    Put32(header, static_cast<std::uint32_t>(samples.size()));
    header += "data";
    Put32(header, data);

    std::string body(data, '\0');
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const std::uint32_t bits = std::bit_cast<std::uint32_t>(samples[i]);
        for (int b = 0; b < 4; ++b) {
            body[i * 4 + b] = static_cast<char>((bits >> (8 * b)) & 0xFF);
        }
    }

    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(header.data(), static_cast<std::streamsize>(header.size()));
    file.write(body.data(), static_cast<std::streamsize>(body.size()));
    file.close();
    if (!file) {
        *error = "cannot write " + path.string() + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

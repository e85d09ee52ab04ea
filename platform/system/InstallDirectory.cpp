// The installation directory on Linux.
// Provides: the value from TOVEL_INSTALL_DIR, else the one line of the settings file that
// `cmake --install` writes below the configured prefix.
// Limitations: the settings file is looked for below the prefix the build was configured with;
// an installation to another prefix (`cmake --install --prefix`) is found only through
// TOVEL_INSTALL_DIR. Lengths count Unicode code points of the UTF-8 text.
// Depends on: the C++ library; TOVEL_INSTALL_PREFIX, given by the build.

#include "platform/system/InstallDirectory.h"

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <system_error>

namespace platform {

namespace {

// More than any line of fewer than 260 code points can take in UTF-8, and the line ending.
constexpr std::size_t kLongestFileRead = 4 * kInstallDirectoryLength + 2;

std::mutex g_settingsMutex;
std::filesystem::path g_settingsFile;

std::filesystem::path InstalledSettingsFile() {
    return std::filesystem::path(TOVEL_INSTALL_PREFIX) / "etc" / "tovel" / "installdirectory";
}

std::size_t CountCodePoints(const std::string& text) {
    std::size_t count = 0;
    for (const char c : text) {
        // Continuation bytes (10xxxxxx) belong to the code point before them.
        if ((static_cast<unsigned char>(c) & 0xC0u) != 0x80u) {
            ++count;
        }
    }
    return count;
}

InstallDirectory FromLine(std::string line) {
    if (!line.empty() && line.back() == '\n') {
        line.pop_back();
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
    }
    if (line.empty() || line.find_first_of(std::string("\r\n\0", 3)) != std::string::npos ||
        CountCodePoints(line) >= kInstallDirectoryLength) {
        return {InstallDirectoryStatus::NoValue, {}};
    }
    return {InstallDirectoryStatus::Found, std::move(line)};
}

}  // namespace

InstallDirectory ReadInstallDirectory() {
    if (const char* variable = std::getenv("TOVEL_INSTALL_DIR"); variable && *variable) {
        return FromLine(variable);
    }
    const std::filesystem::path file = GetInstallDirectorySettingsFile();
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
        return {};
    }
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
        return {};
    }
    std::string content(kLongestFileRead + 1, '\0');
    stream.read(content.data(), static_cast<std::streamsize>(content.size()));
    if (stream.bad()) {
        return {};
    }
    content.resize(static_cast<std::size_t>(stream.gcount()));
    return FromLine(std::move(content));
}

std::filesystem::path SetInstallDirectorySettingsFile(std::filesystem::path file) {
    std::lock_guard lock(g_settingsMutex);
    std::filesystem::path previous =
        g_settingsFile.empty() ? InstalledSettingsFile() : g_settingsFile;
    g_settingsFile = std::move(file);
    return previous;
}

std::filesystem::path GetInstallDirectorySettingsFile() {
    std::lock_guard lock(g_settingsMutex);
    return g_settingsFile.empty() ? InstalledSettingsFile() : g_settingsFile;
}

}  // namespace platform

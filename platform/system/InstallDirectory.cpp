// The installation directory on Linux.
// Provides: the value from TOVEL_INSTALL_DIR, else the one line of the settings file that
// `cmake --install` writes below the prefix, which is found from the program's own place
// (<prefix>/bin/tovel reads <prefix>/etc/tovel/installdirectory), so an installation to any
// prefix finds its own file.
// Limitations: a program copied out of its installation finds the file only through
// TOVEL_INSTALL_DIR. Lengths count Unicode code points of the UTF-8 text.
// Depends on: the C++ library; the program's path from SystemServices.

#include "platform/system/InstallDirectory.h"

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <system_error>

#include "platform/system/SystemServices.h"

namespace platform {

namespace {

// More than any line of fewer than 260 code points can take in UTF-8, and the line ending.
constexpr std::size_t kLongestFileRead = 4 * kInstallDirectoryLength + 2;

std::mutex g_settingsMutex;
std::filesystem::path g_settingsFile;

std::filesystem::path InstalledSettingsFile() {
    const std::filesystem::path program = GetModuleFileName();
    if (program.empty()) {
        return {};
    }
    return program.parent_path().parent_path() / "etc" / "tovel" / "installdirectory";
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

InstallDirectory FromLine(std::string line, std::string source) {
    if (!line.empty() && line.back() == '\n') {
        line.pop_back();
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
    }
    if (line.empty() || line.find_first_of(std::string("\r\n\0", 3)) != std::string::npos ||
        CountCodePoints(line) >= kInstallDirectoryLength) {
        return {InstallDirectoryStatus::NoValue, {}, std::move(source)};
    }
    return {InstallDirectoryStatus::Found, std::move(line), std::move(source)};
}

}  // namespace

InstallDirectory ReadInstallDirectory() {
    if (const char* variable = std::getenv(kInstallDirectoryVariable); variable && *variable) {
        return FromLine(variable, kInstallDirectoryVariable);
    }
    const std::filesystem::path file = GetInstallDirectorySettingsFile();
    InstallDirectory directory{InstallDirectoryStatus::NoKey, {}, file.string()};
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
        return directory;
    }
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
        return directory;
    }
    std::string content(kLongestFileRead + 1, '\0');
    stream.read(content.data(), static_cast<std::streamsize>(content.size()));
    if (stream.bad()) {
        return directory;
    }
    content.resize(static_cast<std::size_t>(stream.gcount()));
    return FromLine(std::move(content), file.string());
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

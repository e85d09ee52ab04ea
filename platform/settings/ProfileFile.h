#pragma once
// Profile files under the names the system reads and writes them by: small files of sections
// holding "key=value" lines, given by a bare file name. A bare name lives in the user's
// configuration folder, $XDG_CONFIG_HOME (an absolute path), else ~/.config.
// See ProfileFile.cpp for what it rests on.

#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

// Where a profile file of that bare name is kept.
std::filesystem::path ProfileFilePath(std::string_view fileName);

// The key's value as a decimal integer; defaultValue when the file, the section or the key is
// missing, when the file cannot be read as a profile file, or when the value is not an integer.
int GetPrivateProfileInt(std::string_view section, std::string_view key, int defaultValue,
                         std::string_view fileName);

// Sets the key to value, keeping the file's other sections, keys and comments, and creating the
// folder and the file where they are missing. The file is replaced atomically. False, with the
// reason in error, when it cannot be written.
bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, std::string_view fileName,
                               std::string* error = nullptr);

}  // namespace platform

#pragma once
// The installation directory, which the system's programs read from the registry. Here it is a
// one-line settings file that `cmake --install` writes (<prefix>/etc/tovel/installdirectory,
// <prefix> being the folder above the program's), or the TOVEL_INSTALL_DIR environment variable,
// which takes precedence when set and not empty.

#include <filesystem>
#include <string>

namespace platform {

enum class InstallDirectoryStatus {
    NoKey,    // no settings file, or it cannot be opened
    NoValue,  // the file is empty, holds more than one line, or a line too long for the system
    Found,
};

struct InstallDirectory {
    InstallDirectoryStatus status = InstallDirectoryStatus::NoKey;
    // The directory as written, its trailing newline removed: callers append names to it with
    // no separator, so it is meant to end with '/'.
    std::string value;
    // Where it was looked for, for messages: the variable's name when it is set, otherwise the
    // settings file's path.
    std::string source;
};

inline constexpr char kInstallDirectoryVariable[] = "TOVEL_INSTALL_DIR";

// The registry's value buffer holds 260 characters with the terminator, so a value must be
// shorter than this.
inline constexpr std::size_t kInstallDirectoryLength = 260;

InstallDirectory ReadInstallDirectory();

// The settings file ReadInstallDirectory opens. Tests point it elsewhere; an empty path restores
// the installed one. Returns the previous file.
std::filesystem::path SetInstallDirectorySettingsFile(std::filesystem::path file);
std::filesystem::path GetInstallDirectorySettingsFile();

}  // namespace platform

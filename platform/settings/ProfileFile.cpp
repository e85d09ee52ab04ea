// Profile files on GLib's key files.
// Provides: integer reads with a default, string writes that keep the rest of the file, the
// configuration folder of the XDG base directory rules read afresh at every call (so a changed
// $XDG_CONFIG_HOME takes effect at once).
// Limitations: a file that is not a valid key file reads as empty, and a write then replaces it
// with one holding only the written key; key files are UTF-8, and names are case-sensitive where
// the system's profile functions ignored case.
// Depends on: GLib (GKeyFile, g_file_set_contents for the atomic replacement).

#include "platform/settings/ProfileFile.h"

#include <glib.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>

namespace platform {

namespace {

struct KeyFileDeleter {
    void operator()(GKeyFile* file) const { g_key_file_free(file); }
};
using KeyFile = std::unique_ptr<GKeyFile, KeyFileDeleter>;

struct ErrorDeleter {
    void operator()(GError* error) const { g_error_free(error); }
};
using Error = std::unique_ptr<GError, ErrorDeleter>;

KeyFile Load(const std::filesystem::path& path) {
    KeyFile file(g_key_file_new());
    GError* error = nullptr;
    if (!g_key_file_load_from_file(file.get(), path.c_str(), G_KEY_FILE_KEEP_COMMENTS, &error)) {
        Error owned(error);
        return KeyFile(g_key_file_new());
    }
    return file;
}

}  // namespace

std::filesystem::path ProfileFilePath(std::string_view fileName) {
    // The base directory rules ignore a relative $XDG_CONFIG_HOME.
    const char* configured = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::path folder;
    if (configured && *configured == '/') {
        folder = configured;
    } else {
        folder = std::filesystem::path(g_get_home_dir()) / ".config";
    }
    return folder / std::string(fileName);
}

int GetPrivateProfileInt(std::string_view section, std::string_view key, int defaultValue,
                         std::string_view fileName) {
    const KeyFile file = Load(ProfileFilePath(fileName));
    GError* error = nullptr;
    const gint value = g_key_file_get_integer(file.get(), std::string(section).c_str(),
                                              std::string(key).c_str(), &error);
    if (error) {
        Error owned(error);
        return defaultValue;
    }
    return value;
}

bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, std::string_view fileName,
                               std::string* error) {
    const std::filesystem::path path = ProfileFilePath(fileName);
    auto fail = [&](const std::string& reason) {
        if (error) {
            *error = path.string() + ": " + reason;
        }
        return false;
    };
    if (g_mkdir_with_parents(path.parent_path().c_str(), 0700) != 0) {
        return fail(g_strerror(errno));
    }
    const KeyFile file = Load(path);
    g_key_file_set_string(file.get(), std::string(section).c_str(), std::string(key).c_str(),
                          std::string(value).c_str());
    GError* saveError = nullptr;
    if (!g_key_file_save_to_file(file.get(), path.c_str(), &saveError)) {
        Error owned(saveError);
        return fail(saveError->message);
    }
    return true;
}

}  // namespace platform

// System services on Linux.
// Provides: SDL's millisecond tick count as the wrapping 32-bit clock, sleeping through SDL, the
// debug channel on stderr, the program path from /proc/self/exe, file tests and directory
// enumeration through std::filesystem.
// Limitations: the wildcard knows '*' and '?' only; names are compared byte-wise apart from ASCII
// case, so non-ASCII names must match exactly.
// Depends on: SDL2 (timer and thread-state functions only, no subsystem needs to be started), the
// C++ library.

#include "platform/system/SystemServices.h"

#include <SDL_thread.h>
#include <SDL_timer.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <system_error>
#include <utility>

namespace platform {

namespace {

std::mutex g_debugMutex;
std::function<void(std::string_view)> g_debugSink;

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::uint32_t timeGetTime() {
    return SDL_GetTicks();
}

void Sleep(std::uint32_t milliseconds) {
    SDL_Delay(milliseconds);
}

void ReleaseThreadState() {
    SDL_TLSCleanup();
}

void OutputDebugString(std::string_view text) {
    std::lock_guard lock(g_debugMutex);
    if (g_debugSink) {
        g_debugSink(text);
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

std::function<void(std::string_view)> SetDebugOutput(std::function<void(std::string_view)> sink) {
    std::lock_guard lock(g_debugMutex);
    return std::exchange(g_debugSink, std::move(sink));
}

std::filesystem::path GetModuleFileName() {
    std::error_code error;
    std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : path;
}

bool PathExists(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

bool GetCurrentDirectory(std::filesystem::path* directory) {
    std::error_code error;
    *directory = std::filesystem::current_path(error);
    return !error;
}

bool SetCurrentDirectory(const std::filesystem::path& directory) {
    std::error_code error;
    std::filesystem::current_path(directory, error);
    return !error;
}

bool MatchesWildcard(std::string_view pattern, std::string_view name) {
    // Greedy matching with one backtrack point: the last '*' seen absorbs one more character
    // whenever the rest fails, which is enough because a later '*' supersedes an earlier one.
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t star = std::string_view::npos;
    std::size_t resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || LowerAscii(pattern[p]) == LowerAscii(name[n]))) {
            ++p;
            ++n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

std::vector<std::string> FindFiles(const std::filesystem::path& directory,
                                   std::string_view pattern) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code kindError;
        if (it->is_directory(kindError)) {
            continue;
        }
        std::string name = it->path().filename().string();
        if (MatchesWildcard(pattern, name)) {
            names.push_back(std::move(name));
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace platform

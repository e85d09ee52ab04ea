#pragma once
// System services the system calls by their Win32 names: the millisecond clock, sleeping, the
// debug channel, the program's path, file existence, the current directory and enumerating a
// directory by wildcard. See SystemServices.cpp for what each rests on.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Milliseconds since start-up as an unsigned 32-bit count that wraps after about 49.7 days.
std::uint32_t timeGetTime();

// Milliseconds from `earlier` to `later` on the wrapping clock: small and positive across a wrap,
// as long as the two are less than 2^32 ms apart.
constexpr std::uint32_t ElapsedMilliseconds(std::uint32_t earlier, std::uint32_t later) {
    return later - earlier;
}

void Sleep(std::uint32_t milliseconds);
// A thread of the program's own (not one the platform made) calls this before it ends if it
// used the platform, which keeps some state for each thread (its last error message).
void ReleaseThreadState();

// The debug channel: stderr, unless a sink is installed (tests read the lines back that way).
// An empty sink restores stderr; the previous sink is handed back, for the caller to put back.
void OutputDebugString(std::string_view text);
std::function<void(std::string_view)> SetDebugOutput(std::function<void(std::string_view)> sink);

// The running program's file (its path after symbolic links are resolved); empty if unknown.
std::filesystem::path GetModuleFileName();

// True when something (file or folder) exists at `path`.
bool PathExists(const std::filesystem::path& path);

bool GetCurrentDirectory(std::filesystem::path* directory);
bool SetCurrentDirectory(const std::filesystem::path& directory);

// True when `name` matches `pattern`, where '*' stands for any run of characters and '?' for one;
// letters match regardless of ASCII case, as file searches on the system's own platform did.
bool MatchesWildcard(std::string_view pattern, std::string_view name);

// The names (not paths) of the entries of `directory` that are not folders and match `pattern`,
// sorted by name so that every run sees them in the same order. Empty when nothing matches or the
// folder cannot be read.
std::vector<std::string> FindFiles(const std::filesystem::path& directory,
                                   std::string_view pattern);

}  // namespace platform

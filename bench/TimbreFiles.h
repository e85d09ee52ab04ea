#pragma once
// A data home of a benchmark's own whose Timbres folder holds a player's palette of timbre files,
// so that the program loads them as it loads a user's and no user's folder is touched.

#include <filesystem>

class TimbresHome {
public:
    // Makes <temp>/<name>-<pid>/tovel/Timbres with `count` timbre files, all different.
    TimbresHome(const char* name, int count);
    ~TimbresHome();
    TimbresHome(const TimbresHome&) = delete;
    TimbresHome& operator=(const TimbresHome&) = delete;

    // False when the files could not be written.
    bool Written() const { return m_written; }
    // The folder to give the program as XDG_DATA_HOME.
    const std::filesystem::path& Path() const { return m_home; }

private:
    std::filesystem::path m_home;
    bool m_written = false;
};

#pragma once
// End-to-end tests run the real programs: started with the test's environment less SDL's
// settings, plus the test's own (which replace inherited ones of the same name), their output
// collected in files of a private folder.

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tovel_test {

// A private folder under /tmp, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

struct RunResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;
};

class ChildProcess {
public:
    // Starts program with args; standard output and error go to files in dir.
    ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                 const std::vector<std::string>& env, const TempDir& dir);
    ~ChildProcess();  // kills a child still running
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_pid > 0; }
    bool Running();
    void Signal(int signal);
    // Waits for the end, killing the child after timeoutSeconds.
    RunResult Wait(double timeoutSeconds = 60.0);

private:
    pid_t m_pid = -1;
    int m_status = -1;
    std::filesystem::path m_out, m_err;
};

// Runs the program to its end.
RunResult RunProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& env, const TempDir& dir);

std::string ReadFile(const std::filesystem::path& path);

}  // namespace tovel_test

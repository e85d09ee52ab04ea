#pragma once
// End-to-end tests run the real programs: started with the test's environment less SDL's
// settings, plus the test's own (which replace inherited ones of the same name), their output
// collected in files of a private folder.

#include <sys/types.h>

#include <filesystem>
#include <functional>
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
    std::string out, err;
};

class ChildProcess {
public:
    // Started with args; standard output and error go to files in dir.
    ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                 const std::vector<std::string>& env, const TempDir& dir);
    ~ChildProcess();  // kills a child still running
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Running();
    void Signal(int signal);  // to a child still running
    // Waits for the end, killing the child after timeoutSeconds.
    RunResult Wait(double timeoutSeconds = 60.0);

private:
    pid_t m_pid = -1;
    int m_status = -1;
    std::filesystem::path m_out, m_err;
};

RunResult RunProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& env, const TempDir& dir);
std::string ReadFile(const std::filesystem::path& path);

void Pause(double seconds);
// Polls every 50 ms until the condition holds, at most `seconds`.
bool WaitFor(const std::function<bool()>& condition, double seconds);
// Waits while the child runs for it to write a file of more than a few bytes (a picture).
bool WaitForFile(const std::filesystem::path& path, ChildProcess& child, double seconds);
// A picture of the child's next frame (SIGUSR1), written where its TOVEL_SNAPSHOT says.
bool Snapshot(ChildProcess& child, const std::filesystem::path& path);
// A tool's standard output (xdotool's first line), empty when it fails, which fails the test
// unless `mayFail`.
std::string Tool(const std::string& program, const std::vector<std::string>& args,
                 bool mayFail = false);
std::string Xdotool(const std::vector<std::string>& args, bool mayFail = false);
std::size_t Count(const std::string& text, const std::string& part);

struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
};
// A window's place on the screen (xwininfo's, absolute) and its size.
Geometry WindowGeometry(const std::string& window);

}  // namespace tovel_test

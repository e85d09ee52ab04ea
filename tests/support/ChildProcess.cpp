#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string_view>
#include <thread>

extern char** environ;

namespace tovel_test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    char pattern[] = "/tmp/tovel-test-XXXXXX";
    if (mkdtemp(pattern)) {
        m_path = pattern;
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
}

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

ChildProcess::ChildProcess(const fs::path& program, const std::vector<std::string>& args,
                           const std::vector<std::string>& env, const TempDir& dir)
    : m_out(dir.Path() / "stdout.txt"), m_err(dir.Path() / "stderr.txt") {
    std::vector<std::string> argStore = {program.string()};
    argStore.insert(argStore.end(), args.begin(), args.end());
    // The test's own settings replace the inherited ones of the same name.
    auto overridden = [&env](const char* entry) {
        const std::string_view inherited(entry);
        return std::any_of(env.begin(), env.end(), [&](const std::string& own) {
            const std::size_t name = own.find('=');
            return inherited.substr(0, name + 1) == std::string_view(own).substr(0, name + 1);
        });
    };
    std::vector<std::string> envStore;
    for (char** e = environ; *e; ++e) {
        if (std::strncmp(*e, "SDL_", 4) != 0 && !overridden(*e)) {
            envStore.emplace_back(*e);
        }
    }
    envStore.insert(envStore.end(), env.begin(), env.end());
    auto pointers = [](std::vector<std::string>& strings) {
        std::vector<char*> p;
        for (std::string& s : strings) {
            p.push_back(s.data());
        }
        p.push_back(nullptr);
        return p;
    };
    std::vector<char*> argv = pointers(argStore);
    std::vector<char*> envp = pointers(envStore);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, m_out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, m_err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << argv[0] << ": " << std::strerror(spawned);
        return;
    }
    m_pid = pid;
}

ChildProcess::~ChildProcess() {
    if (Running()) {
        Signal(SIGKILL);
        Wait();
    }
}

bool ChildProcess::Running() {
    if (m_pid <= 0) {
        return false;
    }
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        m_pid = -1;
        return false;
    }
    return true;
}

void ChildProcess::Signal(int signal) {
    if (m_pid > 0) {
        ::kill(m_pid, signal);
    }
}

RunResult ChildProcess::Wait(double timeoutSeconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    bool killed = false;
    while (Running()) {
        if (!killed && std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "the program did not end within " << timeoutSeconds << " s";
            Signal(SIGKILL);
            killed = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return {m_status, ReadFile(m_out), ReadFile(m_err)};
}

RunResult RunProgram(const fs::path& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& env, const TempDir& dir) {
    ChildProcess child(program, args, env, dir);
    return child.Wait();
}

void Pause(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

bool WaitFor(const std::function<bool()>& condition, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) {
            return true;
        }
        Pause(0.05);
    }
    return condition();
}

bool WaitForFile(const fs::path& path, ChildProcess& child, double seconds) {
    return WaitFor(
               [&] {
                   std::error_code error;
                   const auto size = fs::file_size(path, error);
                   return !child.Running() || (!error && size > 8);
               },
               seconds) &&
           child.Running();
}

bool Snapshot(ChildProcess& child, const fs::path& path) {
    fs::remove(path);
    child.Signal(SIGUSR1);
    return WaitForFile(path, child, 30.0);
}

std::string Tool(const std::string& program, const std::vector<std::string>& args, bool mayFail) {
    const TempDir dir;
    const RunResult r = RunProgram(program, args, {}, dir);
    if (!mayFail) {
        EXPECT_EQ(0, r.status) << program << " " << args[0] << ": " << r.err;
    }
    return r.status == 0 ? r.out : std::string();
}

std::string Xdotool(const std::vector<std::string>& args, bool mayFail) {
    const std::string out = Tool("/usr/bin/xdotool", args, mayFail);
    return out.substr(0, out.find('\n'));
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

Geometry WindowGeometry(const std::string& window) {
    std::istringstream info(Tool("/usr/bin/xwininfo", {"-id", window}));
    Geometry g;
    const std::pair<const char*, int*> keys[] = {{"Absolute upper-left X:", &g.x},
                                                 {"Absolute upper-left Y:", &g.y},
                                                 {"Width:", &g.width},
                                                 {"Height:", &g.height}};
    for (std::string line; std::getline(info, line);) {
        for (const auto& [key, value] : keys) {
            if (const std::size_t at = line.find(key); at != std::string::npos) {
                *value = std::atoi(line.c_str() + at + std::strlen(key));
            }
        }
    }
    return g;
}

}  // namespace tovel_test

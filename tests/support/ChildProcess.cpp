#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string_view>
#include <thread>

extern char** environ;

namespace tovel_test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    char pattern[] = "/tmp/tovel-test-XXXXXX";
    m_path = mkdtemp(pattern) ? pattern : "";
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
    std::vector<std::string> argStore = args;
    argStore.insert(argStore.begin(), program.string());
    // The test's own settings replace the inherited ones of the same name.
    auto overridden = [&env](const char* entry) {
        const std::string_view inherited(entry);
        return std::any_of(env.begin(), env.end(), [&](const std::string& own) {
            const std::size_t name = own.find('=');
            return inherited.substr(0, name + 1) == std::string_view(own).substr(0, name + 1);
        });
    };
    std::vector<std::string> envStore = env;
    for (char** e = environ; *e; ++e) {
        if (std::strncmp(*e, "SDL_", 4) != 0 && !overridden(*e)) {
            envStore.emplace_back(*e);
        }
    }
    std::vector<char*> argv, envp;
    for (auto [strings, pointers] : {std::pair(&argStore, &argv), {&envStore, &envp}}) {
        for (std::string& text : *strings) {
            pointers->push_back(text.data());
        }
        pointers->push_back(nullptr);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    for (const auto& [fd, path] : {std::pair(1, &m_out), {2, &m_err}}) {
        posix_spawn_file_actions_addopen(&actions, fd, path->c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
    }
    const int spawned = posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        m_pid = -1;
        ADD_FAILURE() << "cannot start " << argv[0] << ": " << std::strerror(spawned);
    }
}

ChildProcess::~ChildProcess() {
    Signal(SIGKILL);
    Wait();
}

bool ChildProcess::Running() {
    int status = 0;
    if (m_pid <= 0 || waitpid(m_pid, &status, WNOHANG) != m_pid) {
        return m_pid > 0;
    }
    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    m_pid = -1;
    return false;
}

void ChildProcess::Signal(int signal) {
    if (Running()) {
        ::kill(m_pid, signal);
    }
}

RunResult ChildProcess::Wait(double timeoutSeconds) {
    if (!WaitFor([this] { return !Running(); }, timeoutSeconds)) {
        ADD_FAILURE() << "the program did not end within " << timeoutSeconds << " s";
        Signal(SIGKILL);
        WaitFor([this] { return !Running(); }, 60.0);
    }
    return {m_status, ReadFile(m_out), ReadFile(m_err)};
}

RunResult RunProgram(const fs::path& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& env, const TempDir& dir) {
    return ChildProcess(program, args, env, dir).Wait();
}

void Pause(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

bool WaitFor(const std::function<bool()>& condition, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        Pause(0.05);
    }
    return true;
}

bool WaitForFile(const fs::path& path, ChildProcess& child, double seconds) {
    std::error_code e;
    WaitFor([&] { return !child.Running() || (fs::file_size(path, e) > 8 && !e); }, seconds);
    return child.Running() && fs::file_size(path, e) > 8 && !e;
}

bool Snapshot(ChildProcess& child, const fs::path& path) {
    fs::remove(path);
    child.Signal(SIGUSR1);
    return WaitForFile(path, child, 30.0);
}

std::string Tool(const std::string& program, const std::vector<std::string>& args, bool mayFail) {
    const TempDir dir;
    const RunResult r = RunProgram(program, args, {}, dir);
    EXPECT_TRUE(mayFail || r.status == 0) << program << " " << args[0] << ": " << r.err;
    return r.status == 0 ? r.out : std::string();
}

std::string Xdotool(const std::vector<std::string>& args, bool mayFail) {
    const std::string out = Tool("/usr/bin/xdotool", args, mayFail);
    return out.substr(0, out.find('\n'));
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0, at = 0;
    while ((at = text.find(part, at) + 1) != 0) {
        ++n;
    }
    return n;
}

Geometry WindowGeometry(const std::string& window) {
    const std::string info = Tool("/usr/bin/xwininfo", {"-id", window});
    auto value = [&info](const std::string& key) {
        const std::size_t at = info.find(key + ":");
        return at == std::string::npos ? 0 : std::atoi(info.c_str() + at + key.size() + 1);
    };
    return {value("Absolute upper-left X"), value("Absolute upper-left Y"), value("Width"),
            value("Height")};
}

}  // namespace tovel_test

// Start-up: the built program started as a user starts it, with 32 timbre files in its Timbres
// folder, timed from the start of its process to its first presented frame, with the program's
// own account of each phase. Goal: at most 300 ms. It draws with SDL's offscreen OpenGL, so no X
// server is needed.

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench/TimbreFiles.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 5;
constexpr int kTimbreFiles = 32;

struct Run {
    double totalMs = 0.0;              // from the spawn to the report, as the bench saw it
    std::map<std::string, double> phases;  // the program's own account
    std::string renderer;
};

// "start-up: 412 ms to the first frame (window 4.0, device and context 40.2, ...)"
void ParseReport(const std::string& line, Run* run) {
    const std::size_t open = line.find('(');
    const std::size_t close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos) {
        return;
    }
    std::stringstream parts(line.substr(open + 1, close - open - 1));
    std::string part;
    while (std::getline(parts, part, ',')) {
        const std::size_t space = part.rfind(' ');
        std::string name = part.substr(0, space);
        name.erase(0, name.find_first_not_of(' '));
        std::replace(name.begin(), name.end(), ' ', '_');
        run->phases[name + "_ms"] = std::atof(part.c_str() + space + 1);
    }
}

bool StartOnce(const std::filesystem::path& home, Run* run, std::string* error) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        *error = "no pipe";
        return false;
    }
    std::vector<std::string> variables = {"SDL_VIDEODRIVER=offscreen", "TOVEL_STARTUP_TIMES=1",
                                          "TOVEL_MESSAGE_BOX=stderr",
                                          "XDG_DATA_HOME=" + home.string()};
    std::vector<char*> env;
    for (std::string& v : variables) {
        env.push_back(v.data());
    }
    for (char** e = environ; *e; ++e) {
        const std::string name(*e, std::strchr(*e, '=') ? std::strchr(*e, '=') - *e : 0);
        if (name != "SDL_VIDEODRIVER" && name != "XDG_DATA_HOME") {
            env.push_back(*e);
        }
    }
    env.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    char program[] = TOVEL_PATH;
    char* argv[] = {program, nullptr};
    pid_t pid = 0;
    const Clock::time_point start = Clock::now();
    const int spawned = posix_spawn(&pid, program, &actions, nullptr, argv, env.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        *error = "tovel could not be started";
        return false;
    }
    FILE* err = fdopen(pipeFds[0], "r");
    char buffer[1024];
    bool reported = false;
    while (!reported && std::fgets(buffer, sizeof buffer, err)) {
        const std::string line(buffer);
        if (line.rfind("drawing with ", 0) == 0) {
            run->renderer = line.substr(13, line.size() - 14);
        } else if (line.rfind("start-up: ", 0) == 0) {
            run->totalMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            ParseReport(line, run);
            reported = true;
        }
    }
    kill(pid, SIGTERM);
    while (std::fgets(buffer, sizeof buffer, err)) {
    }
    std::fclose(err);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!reported) {
        *error = "tovel ended before its first frame";
    }
    return reported;
}

void BM_StartUp(benchmark::State& state) {
    const TimbresHome home("tovel-bench-startup", kTimbreFiles);
    std::vector<Run> runs;
    std::string error;
    // An untimed first start gives the files their jewels, as a user's files have them.
    Run first;
    if (!home.Written()) {
        error = "the timbre files could not be written";
    } else {
        StartOnce(home.Path(), &first, &error);
    }
    for (auto _ : state) {
        if (!error.empty()) {
            break;
        }
        Run run;
        if (!StartOnce(home.Path(), &run, &error)) {
            break;
        }
        state.SetIterationTime(run.totalMs / 1000.0);
        runs.push_back(run);
    }
    if (!error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::sort(runs.begin(), runs.end(),
              [](const Run& a, const Run& b) { return a.totalMs < b.totalMs; });
    const Run& median = runs[runs.size() / 2];
    state.counters["median_ms"] = median.totalMs;
    for (const auto& [name, ms] : median.phases) {
        state.counters[name] = ms;
    }
    state.SetLabel("goal: <= 300 ms; renderer: " + median.renderer);
}
BENCHMARK(BM_StartUp)->Iterations(kRuns)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

#pragma once
// tovel as the end-to-end tests run it under the X server of xvfb-run: messages on its standard
// error, a data home in the test's folder, a picture of the next frame on request.

#include <signal.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/audio/AudioMeasure.h"
#include "tests/support/gpu/Image.h"

namespace tovel_test {

class TovelProcess {
public:
    // The test's own settings come first, and so win over these.
    TovelProcess(const TempDir& dir, std::vector<std::string> env,
                 const std::filesystem::path& program = TOVEL_PATH)
        : m_dir(dir), m_shot(dir.Path() / "shot.png") {
        env.insert(env.end(), {"SDL_AUDIODRIVER=dummy", "TOVEL_MESSAGE_BOX=stderr",
                               "XDG_DATA_HOME=" + (dir.Path() / "data").string(),
                               "TOVEL_SNAPSHOT=" + m_shot.string(), "TOVEL_SNAPSHOT_FRAME=0"});
        m_process.emplace(program, std::vector<std::string>{}, env, dir);
    }

    // Waits for the window on the screen and the device's first reset; input sent before the
    // first frames may reach a window that does not listen yet.
    bool Shown() {
        window = Xdotool({"search", "--sync", "--onlyvisible", "--name", "t o v e l"});
        const bool reset =
            WaitFor([this] { return Count(Lines(), "Call OnResetDevice()") > 0; }, 60.0);
        Pause(0.5);
        return !window.empty() && reset;
    }
    std::string Lines() const { return ReadFile(m_dir.Path() / "stderr.txt"); }
    bool WaitForLine(const std::string& line, std::size_t times = 1) const {
        return WaitFor([&] { return Count(Lines(), line) >= times; }, 30.0);
    }
    Image Picture() { return Snapshot(*m_process, m_shot) ? LoadPng(m_shot.string()) : Image{}; }
    RunResult Stop() {
        m_process->Signal(SIGTERM);
        return m_process->Wait();
    }
    ChildProcess& Process() { return *m_process; }
    const std::filesystem::path& Shot() const { return m_shot; }

    std::string window;

private:
    const TempDir& m_dir;
    std::filesystem::path m_shot;
    std::optional<ChildProcess> m_process;
};

// A picture's channels at a point.
struct Rgb {
    int r, g, b;
};
inline Rgb At(const Image& picture, int x, int y) {
    const std::uint32_t p =
        picture.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
    return {static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
            static_cast<int>(p & 0xFF)};
}

// Mean brightness (the three channels summed) of the pixels [left, right) x [top, bottom).
inline double Brightness(const Image& picture, int left, int top, int right, int bottom) {
    double sum = 0;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            const Rgb c = At(picture, x, y);
            sum += c.r + c.g + c.b;
        }
    }
    return sum / ((right - left) * (bottom - top));
}

// What SDL's disk driver recorded, one channel.
inline std::vector<float> Recording(const std::filesystem::path& raw) {
    std::size_t channels = 0;
    return ReadDeviceRecording(raw, &channels);
}

}  // namespace tovel_test

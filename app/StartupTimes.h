#pragma once
// How long the program takes from its start to the first frame it shows, phase by phase. With
// TOVEL_STARTUP_TIMES set in the environment, the phases are written on the debug channel once the
// first frame has been presented.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

enum class StartupPhase : std::uint32_t {
    kWindow,          // the window system and the window
    kDevice,          // the device and its context
    kEffect,          // the effect's techniques compiled
    kJewels,          // the jewel library loaded and its buffers made
    kAudio,           // waiting for the audio engine, opened beside the window and the device
    kTimbres,         // timbres read and their waveforms built
    kControls,        // the components' fonts, labels and meshes
    kFirstReset,      // the first show and the first device reset
    kFirstFrame,      // the first frame drawn and presented
    kCount
};

class CStartupTimes {
public:
    using Clock = std::chrono::steady_clock;

    static CStartupTimes* Instance();
    static void DeleteInstance();
    static CStartupTimes* SetInstance(CStartupTimes* times);

    // Starts the clock.
    CStartupTimes();
    // Adds the time since the previous mark (or the start) to `phase`.
    void Mark(StartupPhase phase);
    // Marks the first frame, once; later frames change nothing.
    void MarkFirstFrame();
    // Safe from any thread: once true, the phases no longer change.
    bool FirstFrameShown() const { return m_shown.load(std::memory_order_acquire); }
    double Milliseconds(StartupPhase phase) const;
    double TotalMilliseconds() const;
    static const char* Name(StartupPhase phase);
    // "start-up: 123 ms to the first frame (window 4, device and context 40, ...)".
    std::string Report() const;

private:
    Clock::time_point m_last;
    std::array<Clock::duration, static_cast<std::size_t>(StartupPhase::kCount)> m_phases{};
    std::atomic<bool> m_shown{false};
};

#include "app/StartupTimes.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform/system/SystemServices.h"

namespace {

CStartupTimes* g_instance = nullptr;

std::size_t Index(StartupPhase phase) {
    return static_cast<std::size_t>(phase);
}

}  // namespace

CStartupTimes* CStartupTimes::Instance() {
    if (!g_instance) {
        g_instance = new CStartupTimes();
    }
    return g_instance;
}

void CStartupTimes::DeleteInstance() {
    delete g_instance;
    g_instance = nullptr;
}

CStartupTimes* CStartupTimes::SetInstance(CStartupTimes* times) {
    return std::exchange(g_instance, times);
}

CStartupTimes::CStartupTimes() : m_last(Clock::now()) {}

void CStartupTimes::Mark(StartupPhase phase) {
    if (FirstFrameShown()) {
        return;
    }
    const Clock::time_point now = Clock::now();
    m_phases[Index(phase)] += now - m_last;
    m_last = now;
}

void CStartupTimes::MarkFirstFrame() {
    if (FirstFrameShown()) {
        return;
    }
    Mark(StartupPhase::kFirstFrame);
    m_shown.store(true, std::memory_order_release);
    if (std::getenv("TOVEL_STARTUP_TIMES")) {
        platform::OutputDebugString(Report() + "\n");
    }
}

double CStartupTimes::Milliseconds(StartupPhase phase) const {
    return std::chrono::duration<double, std::milli>(m_phases[Index(phase)]).count();
}

double CStartupTimes::TotalMilliseconds() const {
    double total = 0.0;
    for (std::size_t i = 0; i < Index(StartupPhase::kCount); ++i) {
        total += Milliseconds(static_cast<StartupPhase>(i));
    }
    return total;
}

const char* CStartupTimes::Name(StartupPhase phase) {
    switch (phase) {
        case StartupPhase::kWindow: return "window";
        case StartupPhase::kDevice: return "device and context";
        case StartupPhase::kEffect: return "effect compilation";
        case StartupPhase::kJewels: return "jewels";
        case StartupPhase::kAudio: return "audio engine";
        case StartupPhase::kTimbres: return "timbres and waveforms";
        case StartupPhase::kControls: return "fonts and labels";
        case StartupPhase::kFirstReset: return "first reset";
        case StartupPhase::kFirstFrame: return "first frame";
        case StartupPhase::kCount: break;
    }
    return "";
}

std::string CStartupTimes::Report() const {
    char part[96];
    std::snprintf(part, sizeof part, "start-up: %.0f ms to the first frame (", TotalMilliseconds());
    std::string report = part;
    for (std::size_t i = 0; i < Index(StartupPhase::kCount); ++i) {
        const auto phase = static_cast<StartupPhase>(i);
        std::snprintf(part, sizeof part, "%s%s %.1f", i ? ", " : "", Name(phase),
                      Milliseconds(phase));
        report += part;
    }
    return report + ")";
}

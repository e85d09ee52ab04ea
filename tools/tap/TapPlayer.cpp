#include "tools/tap/TapPlayer.h"

#include <chrono>
#include <cmath>
#include <memory>
#include <thread>

#include "synth/Synthesizer.h"
#include "synth/Timbre.h"
#include "tools/tap/NoteNames.h"
#include "tools/tap/WavFile.h"

namespace {

// The instrument scans its keys about every 10 ms; the tool keeps the same pace.
constexpr double kStepSeconds = 0.01;
constexpr std::uint32_t kStepFrames = 441;
constexpr double kTailSeconds = 1.5;     // the reverb falls by 60 dB in a second
constexpr double kDryTailSeconds = 0.1;
// Even a held note runs out of energy; one that outlasts this means the audio stopped.
constexpr double kMaxNoteSeconds = 5.0;

std::unique_ptr<CTimbre> MakeTimbre(const TapOptions& options, std::size_t preset) {
    auto timbre = std::make_unique<CTimbre>();
    if (options.harmonics) {
        timbre->SetName("Harmonics");
        std::copy(options.harmonics->begin(), options.harmonics->end(), timbre->m_harmonics);
        timbre->m_color.m_hue = -1.0f;
        timbre->DeriveHue();
    } else if (options.presets[preset] == "All even number Hi wave") {
        timbre->SetAllEvenHiWave();
    } else if (options.presets[preset] == "Sawtooth wave") {
        timbre->SetSawtoothWave();
    } else {
        timbre->SetSquareWave();
    }
    return timbre;
}

class Session {
public:
    explicit Session(bool offline) : m_offline(offline) {}

    // One key-scan frame: 10 ms of sound.
    void Step(CSynthesizer& synth) {
        if (m_offline) {
            const std::size_t at = m_recording.size();
            m_recording.resize(at + kStepFrames);
            synth.m_engine->RenderOffline(m_recording.data() + at, kStepFrames);
        } else {
            std::this_thread::sleep_for(std::chrono::duration<double>(kStepSeconds));
        }
    }

    const std::vector<float>& Recording() const { return m_recording; }

private:
    const bool m_offline;
    std::vector<float> m_recording;
};

// Strikes one note, holds it if asked, releases it and waits until its voice is free.
bool PlayNote(CSynthesizer& synth, Session& session, const std::shared_ptr<const CNoteWave>& wave,
              const std::optional<double>& hold) {
    const int holdSteps = hold ? static_cast<int>(std::lround(*hold / kStepSeconds)) : 0;
    const int maxSteps = holdSteps + static_cast<int>(kMaxNoteSeconds / kStepSeconds);
    int steps = 0;
    CPlayTask* voice = synth.FindFreeVoice();
    for (; !voice && steps < maxSteps; ++steps) {
        session.Step(synth);
        voice = synth.FindFreeVoice();
    }
    if (!voice) {
        return false;
    }
    voice->Play(wave, CPlayTask::kStartEnergy);
    session.Step(synth);
    for (int i = 1; i < holdSteps; ++i) {
        voice->Sustain(static_cast<float>(kStepSeconds));
        session.Step(synth);
    }
    voice->ReleaseNote();
    for (steps = 0; voice->m_wave.load() == wave.get(); ++steps) {
        if (steps == maxSteps) {
            return false;
        }
        session.Step(synth);
    }
    return true;
}

}  // namespace

int RunTap(const TapOptions& options, std::ostream& out, std::ostream& err) {
    const bool offline = !options.outPath.empty();
    if (offline) {
        platform::SetAudioBackend(platform::AudioBackend::Offline, 1);
    }
    CSynthesizer& synth = *CSynthesizer::Instance();
    if (offline && !synth.m_master) {
        err << "tovel-tap: the offline renderer could not be set up\n";
        CSynthesizer::DeleteInstance();
        return 1;
    }
    if (options.dry && synth.m_reverbBus) {
        synth.m_reverbBus->DisableEffect(0);
    }

    Session session(offline);
    int status = 0;
    const std::size_t timbres = options.harmonics ? 1 : options.presets.size();
    for (std::size_t t = 0; t < timbres && status == 0; ++t) {
        std::unique_ptr<CTimbre> timbre = MakeTimbre(options, t);
        if (timbre->BuildWaves(synth.m_lowest, synth.m_highest) == 0) {
            err << "tovel-tap: not enough memory for the waveforms of " << timbre->m_name << "\n";
            status = 1;
            break;
        }
        out << "tovel-tap: " << timbre->m_name << ":";
        for (const CNote& note : options.notes) {
            out << " " << NoteName(note);
        }
        out << std::endl;
        for (const CNote& note : options.notes) {
            if (!PlayNote(synth, session, timbre->WaveOf(note), options.holdSeconds)) {
                err << "tovel-tap: the audio output stopped playing\n";
                status = 1;
                break;
            }
        }
    }
    const double tail = options.dry ? kDryTailSeconds : kTailSeconds;
    for (int i = 0; status == 0 && i < std::lround(tail / kStepSeconds); ++i) {
        session.Step(synth);
    }
    CSynthesizer::DeleteInstance();

    if (offline && status == 0) {
        std::string error;
        if (!WriteFloatWav(options.outPath, session.Recording(), CSynthesizer::kSampleRate,
                           &error)) {
            err << "tovel-tap: " << error << "\n";
            return 1;
        }
        out << "tovel-tap: wrote " << options.outPath << "\n";
    }
    return status;
}

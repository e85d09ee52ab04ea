#pragma once
// Start-up work that needs neither the window nor the device, done on a thread of its own while
// the window and the device are made: the audio engine with its voices (opening an output device
// can take tens of milliseconds), the sines every timbre's waveforms are built from, and the
// look-up of the keyboard's font. Nothing of it shows: the components find it done.

#include <thread>

class CStartupWork {
public:
    CStartupWork();
    // Waits for the work, as Finish does.
    ~CStartupWork();
    CStartupWork(const CStartupWork&) = delete;
    CStartupWork& operator=(const CStartupWork&) = delete;

    // Waits for the work; from then on the synthesizer may be asked for on this thread.
    void Finish();

private:
    std::thread m_thread;
};

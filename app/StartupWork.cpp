#include "app/StartupWork.h"

#include "keyboard/KeyLabels.h"
#include "platform/graphics/GraphicsFont.h"
#include "platform/system/SystemServices.h"
#include "synth/Note.h"
#include "synth/SineTable.h"
#include "synth/Synthesizer.h"

CStartupWork::CStartupWork()
    : m_thread([] {
          // Nobody else asks for the synthesizer before Finish, so its creation here is the
          // first one.
          const CSynthesizer* synth = CSynthesizer::Instance();
          for (CNote note = synth->m_lowest; Distance(note, synth->m_highest) >= 0; note.Step()) {
              SineTable::For(PeriodSamples(NoteFrequency(note.m_note, note.m_octave)));
          }
          platform::ResolveFontFile(kLabelFace, kLabelWeight, false);
          // Opening the audio device leaves the platform's error text with this thread.
          platform::ReleaseThreadState();
      }) {}

CStartupWork::~CStartupWork() {
    Finish();
}

void CStartupWork::Finish() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

#pragma once
// Plays tovel-tap's notes through the synthesizer, on the audio device or offline into a file.

#include <ostream>

#include "tools/tap/TapOptions.h"

// Returns the program's exit status: 0, or 1 when the sound could not be made or kept.
int RunTap(const TapOptions& options, std::ostream& out, std::ostream& err);

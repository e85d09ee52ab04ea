#pragma once
// Where the palette keeps its timbre files: a "Timbres" folder beside the program, or one or two
// folders up; without one, the user's own folder below the XDG data home, made when missing, so
// that a fresh installation starts with the built-in timbres and can keep new ones.

#include <filesystem>

// The folder to use, found or made; false with a debug line when there is none and none can be
// made (the palette then starts with the built-in timbres and cannot keep any).
bool FindTimbresFolder(std::filesystem::path* folder);

// $XDG_DATA_HOME/tovel/Timbres, or ~/.local/share/tovel/Timbres when that is unset or not an
// absolute path; empty when neither can be told.
std::filesystem::path UserTimbresFolder();

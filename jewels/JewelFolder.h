#pragma once
// Finding the folders the programs keep beside themselves ("Jewels", "Timbres").

#include <filesystem>
#include <string_view>
#include <vector>

// Looks for a file or folder called name in the program's own folder, then its parent, then its
// grandparent. Names of 32 characters or more are refused.
bool FindFolderBesideProgram(std::string_view name, std::filesystem::path* found);

// The paths FindFolderBesideProgram tries, in its order, so that a failure can say where it
// looked. Empty for a refused name.
std::vector<std::filesystem::path> PlacesBesideProgram(std::string_view name);

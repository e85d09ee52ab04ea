#pragma once
// The contact sheet of a jewel library: every mesh of a "Jewels" folder in one picture, in a
// grid, drawn as the screen saver draws its ring (one call with the "SeveralColorJewel"
// technique and the glow of the bloom chain) in the hues of the saver's hue ring, each with its
// file's name beneath.

#include <cstdint>
#include <filesystem>
#include <string>

// Columns and rows for count jewels in a picture about 16:9 wide.
struct SheetGrid {
    std::uint32_t columns = 0, rows = 0;
};
SheetGrid LayOutSheet(std::uint32_t count);

// Draws the library of folder and writes the picture to png. False, with the reason, when the
// folder holds no jewels, no drawing device can be had or the file cannot be written.
bool WriteContactSheet(const std::filesystem::path& png, const std::filesystem::path& folder,
                       std::string* error);

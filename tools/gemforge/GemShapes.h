#pragma once
// The jewels the programs ship with: every shape designed here, built, and normalised to the
// origin and a mean half extent of 1 so that all of them show at one size.

#include <string>
#include <vector>

#include "tools/gemforge/GemMesh.h"

struct GemShape {
    std::string name;  // the file name without ".gem"
    GemMesh mesh;
};

// Every call builds the same shapes, to the last bit, in the same order.
std::vector<GemShape> BuildGemShapes();

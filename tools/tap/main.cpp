// tovel-tap: plays notes of a timbre through the synthesizer, to hear it or to measure it.

#include <iostream>
#include <string>
#include <vector>

#include "tools/tap/TapOptions.h"
#include "tools/tap/TapPlayer.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    TapOptions options;
    if (std::string error = ParseTapOptions(args, &options); !error.empty()) {
        std::cerr << "tovel-tap: " << error << "\n" << kTapUsage;
        return 2;
    }
    if (options.help) {
        std::cout << kTapUsage;
        return 0;
    }
    return RunTap(options, std::cout, std::cerr);
}

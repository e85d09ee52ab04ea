#pragma once
// The screen saver's command line: how it runs (full screen, in a window, in a window another
// program gives it, or as its configuration dialog), and settings that override the settings
// file for one run, as XScreenSaver's settings dialog passes them.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

enum class SaverMode {
    FullScreen,  // until a key press or pointer movement
    Window,      // an ordinary window
    Foreign,     // into another program's window (XScreenSaver's, or its preview)
    Configure,   // the configuration dialog
};

struct SaverOptions {
    SaverMode mode = SaverMode::FullScreen;
    std::uint64_t windowId = 0;      // Foreign: the X11 window
    std::optional<int> hue;          // degrees or -1, instead of the stored setting
    std::optional<int> arrangement;  // kBubble or kCircle, instead of the stored setting
};

inline constexpr const char* kSaverUsage =
    "usage: sstovel [-s | --window | --root | --window-id ID | -c]\n"
    "               [--arrangement bubble|circle] [--hue DEGREES|-1]\n"
    "  -s             full screen until a key is pressed or the pointer moves (the default)\n"
    "  --window       in an ordinary window\n"
    "  --root         into the window named by XSCREENSAVER_WINDOW\n"
    "  --window-id ID into the X window ID (hex with 0x, or decimal)\n"
    "  -c             the configuration dialog\n"
    "  --arrangement, --hue: instead of the settings of the dialog, for this run\n"
    "Every option may be written with one dash or two.\n";

// A window id in hexadecimal ("0x" first) or decimal; none for anything else or 0.
std::optional<std::uint64_t> ParseWindowId(std::string_view text);

// The arguments after the program's name. xscreensaverWindow is the XSCREENSAVER_WINDOW
// variable (null when unset), which --root reads. False, with the reason, for arguments that
// make no sense; --help gives false with an empty reason.
bool ParseSaverOptions(std::span<const std::string_view> args, const char* xscreensaverWindow,
                       SaverOptions* options, std::string* error);

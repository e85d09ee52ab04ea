#pragma once
// The screen saver's two settings, kept in its profile file "sstovel.ini": the hue (degrees, or
// changing colours) and the arrangement. The dialog writes them, the saver reads them when it
// starts.

#include <string>

inline constexpr const char* kSettingsFileName = "sstovel.ini";
inline constexpr const char* kSettingsSection = "Screen Saver.sstovel";
inline constexpr const char* kSelectedHueKey = "SELECTEDHUE";
inline constexpr const char* kSelectedTypeKey = "SELECTEDTYPE";

// Arrangements; any other stored value shows as Bubble.
inline constexpr int kBubble = 0;
inline constexpr int kCircle = 1;

struct SaverSettings {
    int selectedHue = -1;  // degrees, or -1 for changing colours
    int selectedType = kBubble;
};

// Both values; a missing or damaged file, or a missing or non-numeric value, gives its default.
SaverSettings ReadSaverSettings();

// Each writes its value as decimal text at once; false, with the reason, when the file cannot
// be written.
bool WriteSelectedHue(int selectedHue, std::string* error);
bool WriteSelectedType(int selectedType, std::string* error);

// The hue a setting draws with: degrees in 0..359, or -1 for changing colours. A negative value
// other than -1 would give no colour at all, so every negative one means changing colours; a
// value of a turn or more wraps.
int DrawnHue(int selectedHue);

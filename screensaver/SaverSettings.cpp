#include "screensaver/SaverSettings.h"

#include "platform/settings/ProfileFile.h"

namespace {

constexpr int kDegreesPerTurn = 360;

bool Write(const char* key, int value, std::string* error) {
    return platform::WritePrivateProfileString(kSettingsSection, key, std::to_string(value),
                                               kSettingsFileName, error);
}

}  // namespace

SaverSettings ReadSaverSettings() {
    SaverSettings settings;
    settings.selectedHue = platform::GetPrivateProfileInt(kSettingsSection, kSelectedHueKey,
                                                          settings.selectedHue, kSettingsFileName);
    settings.selectedType = platform::GetPrivateProfileInt(
        kSettingsSection, kSelectedTypeKey, settings.selectedType, kSettingsFileName);
    return settings;
}

bool WriteSelectedHue(int selectedHue, std::string* error) {
    return Write(kSelectedHueKey, selectedHue, error);
}

bool WriteSelectedType(int selectedType, std::string* error) {
    return Write(kSelectedTypeKey, selectedType, error);
}

int DrawnHue(int selectedHue) {
    return selectedHue < 0 ? -1 : selectedHue % kDegreesPerTurn;
}

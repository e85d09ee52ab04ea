#pragma once
// The configuration dialog "tovel settings": the hue ring, the arrangement list, OK and Cancel.
// A hue is stored the moment it is clicked, and Cancel does not take it back; the arrangement
// is stored by OK.

#include <cstdint>
#include <functional>
#include <optional>

#include "platform/base/HResult.h"
#include "platform/dialog/Dialog.h"
#include "platform/window/Window.h"
#include "screensaver/HueRing.h"

inline constexpr int kHueFrameId = 210;
inline constexpr int kArrangementListId = 211;

// Its controls in dialog units of the 8-point dialog font.
platform::DialogTemplate ConfigureDialogTemplate();

class CConfigureDialog {
public:
    // The dialog procedure: true for the messages it handles.
    bool Procedure(platform::Dialog* dialog, std::uint32_t message, platform::WPARAM wParam,
                   platform::LPARAM lParam);

    int SelectedHue() const { return m_selectedHue; }
    int SelectedType() const { return m_selectedType; }
    // The ring as last painted; none before the first paint.
    const std::optional<HueRingLayout>& Ring() const { return m_ring; }

private:
    // Matches the pointer against the painted ring; on a hit, takes the item's value and has
    // the centre square painted again. S_OK on a hit, E_FAIL otherwise.
    HRESULT HitHueRing(platform::Dialog* dialog);

    int m_selectedHue = -1;
    int m_selectedType = 0;
    std::optional<HueRingLayout> m_ring;
};

// Runs the dialog modally above owner (null: on its own), with background called every 40 ms
// while it is open. Returns IDOK or IDCANCEL, or -1 when it cannot be shown.
std::intptr_t ScreenSaverConfigureDialog(const platform::Window* owner,
                                         std::function<bool()> background = {});

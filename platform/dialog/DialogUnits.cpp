#include "platform/dialog/Dialog.h"

#include <cmath>

namespace platform {

namespace {

// value * numerator / denominator, rounded half away from zero, as the system's MulDiv.
int MulDiv(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : -((-product + half) / denominator));
}

}  // namespace

RECT MapDialogRect(const DialogControl& control, const DialogBaseUnits& units) {
    return RECT{MulDiv(control.x, units.x, 4), MulDiv(control.y, units.y, 8),
                MulDiv(control.x + control.width, units.x, 4),
                MulDiv(control.y + control.height, units.y, 8)};
}

RECT MapDialogSize(const DialogTemplate& dialogTemplate, const DialogBaseUnits& units) {
    return RECT{0, 0, MulDiv(dialogTemplate.width, units.x, 4),
                MulDiv(dialogTemplate.height, units.y, 8)};
}

}  // namespace platform

#include "screensaver/ConfigureDialog.h"

#include <string>

#include "screensaver/SaverSettings.h"

using namespace platform;

namespace {

void ReportUnsaved(Dialog* dialog, const std::string& reason) {
    dialog->MessageBox("The setting could not be saved.\n" + reason);
}

}  // namespace

DialogTemplate ConfigureDialogTemplate() {
    DialogTemplate t;
    t.title = "tovel settings";
    t.fontFace = "MS Shell Dlg";
    t.fontPoints = 8;
    t.width = 274;
    t.height = 312;
    t.controls = {
        {IDOK, DialogControlKind::DefaultButton, "OK", 160, 292, 50, 14},
        {IDCANCEL, DialogControlKind::Button, "キャンセル", 217, 292, 50, 14},
        {kHueFrameId, DialogControlKind::BlackFrame, "", 7, 7, 260, 260},
        {kArrangementListId, DialogControlKind::DropDownList, "", 97, 273, 170, 300},
    };
    return t;
}

bool CConfigureDialog::Procedure(Dialog* dialog, std::uint32_t message, WPARAM wParam,
                                 LPARAM /*lParam*/) {
    switch (message) {
        case WM_INITDIALOG: {
            const SaverSettings settings = ReadSaverSettings();
            m_selectedHue = settings.selectedHue;
            m_selectedType = settings.selectedType;
            dialog->InsertString(kArrangementListId, kBubble, "Bubble");
            dialog->InsertString(kArrangementListId, kCircle, "Circle");
            // A stored value that names no entry leaves the list without a selection.
            dialog->SetCurSel(kArrangementListId, m_selectedType);
            return true;
        }
        case WM_PAINT:
            if (DialogCanvas* canvas = dialog->BeginPaint(static_cast<int>(wParam));
                canvas && wParam == kHueFrameId) {
                RECT frame;
                if (dialog->GetItemRect(kHueFrameId, &frame)) {
                    m_ring =
                        PaintHueRing(*canvas, frame.right, frame.bottom, DrawnHue(m_selectedHue));
                }
            }
            return false;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK: {
                    m_selectedType = dialog->GetCurSel(kArrangementListId);
                    std::string error;
                    if (!WriteSelectedType(m_selectedType, &error)) {
                        // The dialog stays, so the user can try again or cancel knowingly.
                        ReportUnsaved(dialog, error);
                        return true;
                    }
                    dialog->EndDialog(IDOK);
                    return true;
                }
                case IDCANCEL:
                    dialog->EndDialog(IDCANCEL);
                    return true;
                default:
                    return false;
            }
        case WM_LBUTTONUP:
            if (SUCCEEDED(HitHueRing(dialog))) {
                std::string error;
                if (!WriteSelectedHue(m_selectedHue, &error)) {
                    ReportUnsaved(dialog, error);
                }
            }
            return true;
        default:
            return false;
    }
}

HRESULT CConfigureDialog::HitHueRing(Dialog* dialog) {
    POINT pointer;
    if (!m_ring || !dialog->GetCursorPos(kHueFrameId, &pointer)) {
        return E_FAIL;
    }
    const std::optional<int> value = ::HitHueRing(*m_ring, pointer);
    if (!value) {
        return E_FAIL;
    }
    m_selectedHue = *value;
    dialog->InvalidateItem(kHueFrameId);
    return S_OK;
}

std::intptr_t ScreenSaverConfigureDialog(const Window* owner, std::function<bool()> background) {
    CConfigureDialog dialog;
    return DialogBox(
        ConfigureDialogTemplate(), owner,
        [&dialog](Dialog* d, std::uint32_t message, WPARAM wParam, LPARAM lParam) {
            return dialog.Procedure(d, message, wParam, lParam);
        },
        std::move(background));
}

#pragma once
// Modal dialogs in the shape the system's dialog code is written for: a template of controls
// placed in dialog units, and a dialog procedure taking (dialog, message, two parameters) that
// answers whether it handled the message. Message codes, control ids and result codes carry
// Win32's values, so a procedure reads as written.
//
// Two backends: GTK 3 (gtk/GtkDialog.cpp), which DialogBox runs, and a null one
// (NullDialog.h) that tests drive message by message. Each says what it provides.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window/Window.h"

namespace platform {

inline constexpr std::uint32_t WM_PAINT = 0x000F;       // the procedure paints with BeginPaint
inline constexpr std::uint32_t WM_INITDIALOG = 0x0110;  // before the dialog is first shown
inline constexpr std::uint32_t WM_COMMAND = 0x0111;     // LOWORD(wParam): the control's id

// Commands of the two standard buttons; closing the dialog's window or pressing Escape sends
// IDCANCEL, as the system does.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// A colour as the system's painting takes it: red in the low byte, then green, then blue.
using COLORREF = std::uint32_t;
constexpr COLORREF RGB(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
    return (red & 0xFFu) | ((green & 0xFFu) << 8) | ((blue & 0xFFu) << 16);
}

// Painting into one control, with a selected pen (outline colour and width) and brush (fill),
// in the control's client coordinates: pixels, y growing downwards.
class DialogCanvas {
public:
    virtual ~DialogCanvas() = default;
    virtual void SelectPen(COLORREF colour, int width) = 0;
    virtual void SelectBrush(COLORREF colour) = 0;
    // Filled with the brush and outlined with the pen, the outline centred on the shape's edge.
    virtual void Rectangle(int left, int top, int right, int bottom) = 0;
    // A closed polygon, filled by the winding rule.
    virtual void Polygon(const POINT* points, int count) = 0;
};

enum class DialogControlKind {
    DefaultButton,  // activated by Enter too
    Button,
    BlackFrame,    // an empty frame the procedure paints into; clicks go to the dialog
    DropDownList,  // a list to pick one entry from; its height is that of the dropped list
};

struct DialogControl {
    int id = 0;
    DialogControlKind kind = DialogControlKind::Button;
    std::string text;
    int x = 0, y = 0, width = 0, height = 0;  // dialog units
};

// Dialog units scale with the dialog's font: a horizontal unit is a quarter of the font's
// average character width, a vertical one an eighth of its height.
struct DialogTemplate {
    std::string title;
    std::string fontFace;
    int fontPoints = 8;
    int width = 0, height = 0;  // the client area, in dialog units
    std::vector<DialogControl> controls;
};

// Font metrics that dialog units scale with, in pixels: the average width of a letter and the
// height of a line.
struct DialogBaseUnits {
    int x = 6, y = 13;
};

// A control's rectangle in pixels, rounded as the system rounds it.
RECT MapDialogRect(const DialogControl& control, const DialogBaseUnits& units);
// The client area's size in pixels, as { 0, 0, width, height }.
RECT MapDialogSize(const DialogTemplate& dialogTemplate, const DialogBaseUnits& units);

class Dialog {
public:
    virtual ~Dialog() = default;

    // Ends the modal run once the procedure returns; DialogBox then returns result.
    virtual void EndDialog(std::intptr_t result) = 0;

    // Drop-down lists: an entry inserted at index (-1: at the end) returns its index; the
    // selection is -1 when there is none.
    virtual int InsertString(int id, int index, std::string_view text) = 0;
    virtual void SetCurSel(int id, int index) = 0;
    virtual int GetCurSel(int id) const = 0;

    // The size of the control in pixels, as { 0, 0, width, height }.
    virtual bool GetItemRect(int id, RECT* rect) const = 0;
    // The pointer's position now, in the control's client coordinates.
    virtual bool GetCursorPos(int id, POINT* point) const = 0;

    // Only while the procedure handles WM_PAINT for that control: its canvas; null otherwise.
    virtual DialogCanvas* BeginPaint(int id) = 0;
    // The control is painted again soon, through WM_PAINT.
    virtual void InvalidateItem(int id) = 0;

    // A message box owned by the dialog, with one OK button; returns once it is closed.
    virtual void MessageBox(std::string_view text) = 0;
};

// The procedure returns true for handled messages. WM_PAINT is sent with the id of the control
// to paint in wParam; WM_LBUTTONUP when the left button is released over the dialog outside its
// buttons and lists.
using DialogProc =
    std::function<bool(Dialog* dialog, std::uint32_t message, WPARAM wParam, LPARAM lParam)>;

// Runs the dialog modally above owner (none: a dialog of its own). While it runs, background is
// called every 40 ms, so the owner can go on drawing; when it returns false the dialog ends as
// if cancelled. Returns EndDialog's result, IDCANCEL when the background ended it, and -1 when
// no dialog can be shown (no display), after saying so on the debug channel.
std::intptr_t DialogBox(const DialogTemplate& dialogTemplate, const Window* owner,
                        DialogProc procedure, std::function<bool()> background = {});

}  // namespace platform

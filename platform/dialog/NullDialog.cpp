// The null dialog backend.
// Provides: the template's controls with their pixel sizes from fixed base units (those of the
// system's 8-point dialog font), drop-down lists, a pointer position the test sets, painting onto
// a canvas that records every shape, message boxes kept as texts, and the ended state.
// Limitations: nothing is shown and no input arrives by itself; the dialog never runs modally.
// Depends on: nothing.

#include "platform/dialog/NullDialog.h"

#include <algorithm>
#include <utility>

namespace platform {

void RecordingCanvas::Rectangle(int left, int top, int right, int bottom) {
    m_shapes.push_back(
        {true, {POINT{left, top}, POINT{right, bottom}}, m_pen, m_penWidth, m_brush});
}

void RecordingCanvas::Polygon(const POINT* points, int count) {
    m_shapes.push_back({false, std::vector<POINT>(points, points + std::max(count, 0)), m_pen,
                        m_penWidth, m_brush});
}

NullDialog::NullDialog(const DialogTemplate& dialogTemplate, DialogProc procedure,
                       DialogBaseUnits units)
    : m_template(dialogTemplate), m_procedure(std::move(procedure)), m_units(units) {}

bool NullDialog::Send(std::uint32_t message, WPARAM wParam, LPARAM lParam) {
    if (Ended()) {
        return false;
    }
    return m_procedure(this, message, wParam, lParam);
}

bool NullDialog::Paint(int id) {
    m_canvas.Clear();
    m_painting = id;
    const bool handled = Send(WM_PAINT, static_cast<WPARAM>(id), 0);
    m_painting.reset();
    return handled;
}

int NullDialog::Invalidations(int id) const {
    const auto found = m_invalidated.find(id);
    return found == m_invalidated.end() ? 0 : found->second;
}

void NullDialog::EndDialog(std::intptr_t result) {
    m_result = result;
}

int NullDialog::InsertString(int id, int index, std::string_view text) {
    std::vector<std::string>& entries = m_lists[id].entries;
    if (index < 0 || index > static_cast<int>(entries.size())) {
        index = static_cast<int>(entries.size());
    }
    entries.insert(entries.begin() + index, std::string(text));
    return index;
}

void NullDialog::SetCurSel(int id, int index) {
    List& list = m_lists[id];
    list.selection = index >= 0 && index < static_cast<int>(list.entries.size()) ? index : -1;
}

int NullDialog::GetCurSel(int id) const {
    const auto found = m_lists.find(id);
    return found == m_lists.end() ? -1 : found->second.selection;
}

bool NullDialog::GetItemRect(int id, RECT* rect) const {
    for (const DialogControl& control : m_template.controls) {
        if (control.id == id) {
            const RECT mapped = MapDialogRect(control, m_units);
            *rect = RECT{0, 0, mapped.right - mapped.left, mapped.bottom - mapped.top};
            return true;
        }
    }
    return false;
}

bool NullDialog::GetCursorPos(int id, POINT* point) const {
    const auto found = m_cursor.find(id);
    if (found == m_cursor.end()) {
        return false;
    }
    *point = found->second;
    return true;
}

DialogCanvas* NullDialog::BeginPaint(int id) {
    return m_painting == id ? &m_canvas : nullptr;
}

}  // namespace platform

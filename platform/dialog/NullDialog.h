#pragma once
// The null dialog backend: a dialog without a display that tests drive message by message. See
// NullDialog.cpp for what it provides.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialog/Dialog.h"

namespace platform {

// Keeps every shape painted, in order, with the pen and brush it was painted with.
class RecordingCanvas final : public DialogCanvas {
public:
    struct Shape {
        bool rectangle = false;
        std::vector<POINT> points;  // a rectangle's as left-top, right-bottom
        COLORREF pen = 0;
        int penWidth = 0;
        COLORREF brush = 0;
    };

    void SelectPen(COLORREF colour, int width) override {
        m_pen = colour;
        m_penWidth = width;
    }
    void SelectBrush(COLORREF colour) override { m_brush = colour; }
    void Rectangle(int left, int top, int right, int bottom) override;
    void Polygon(const POINT* points, int count) override;

    const std::vector<Shape>& Shapes() const { return m_shapes; }
    void Clear() { m_shapes.clear(); }

private:
    COLORREF m_pen = 0;
    int m_penWidth = 1;
    COLORREF m_brush = RGB(255, 255, 255);
    std::vector<Shape> m_shapes;
};

class NullDialog final : public Dialog {
public:
    NullDialog(const DialogTemplate& dialogTemplate, DialogProc procedure,
               DialogBaseUnits units = {});

    // Calls the procedure as the running dialog would; once it has ended, nothing more.
    bool Send(std::uint32_t message, WPARAM wParam = 0, LPARAM lParam = 0);
    // WM_PAINT for the control, recorded on a fresh canvas.
    bool Paint(int id);
    // Where the pointer is, in the control's client coordinates.
    void SetCursorPos(int id, POINT point) { m_cursor[id] = point; }

    bool Ended() const { return m_result.has_value(); }
    std::intptr_t Result() const { return m_result.value_or(-1); }
    const RecordingCanvas& Canvas() const { return m_canvas; }
    const std::vector<std::string>& Entries(int id) { return m_lists[id].entries; }
    const std::vector<std::string>& Messages() const { return m_messages; }
    int Invalidations(int id) const;

    void EndDialog(std::intptr_t result) override;
    int InsertString(int id, int index, std::string_view text) override;
    void SetCurSel(int id, int index) override;
    int GetCurSel(int id) const override;
    bool GetItemRect(int id, RECT* rect) const override;
    bool GetCursorPos(int id, POINT* point) const override;
    DialogCanvas* BeginPaint(int id) override;
    void InvalidateItem(int id) override { ++m_invalidated[id]; }
    void MessageBox(std::string_view text) override { m_messages.emplace_back(text); }

private:
    struct List {
        std::vector<std::string> entries;
        int selection = -1;
    };

    DialogTemplate m_template;
    DialogProc m_procedure;
    DialogBaseUnits m_units;
    std::map<int, List> m_lists;
    std::map<int, POINT> m_cursor;
    std::map<int, int> m_invalidated;
    std::optional<int> m_painting;
    RecordingCanvas m_canvas;
    std::vector<std::string> m_messages;
    std::optional<std::intptr_t> m_result;
};

}  // namespace platform

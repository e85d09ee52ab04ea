// The GTK 3 dialog backend.
// Provides: a modal dialog of fixed size whose controls sit at their dialog-unit rectangles,
// scaled by base units measured from the template's font ("MS Shell Dlg" stands for Liberation
// Sans, which has the metrics of the system's sans-serif, with IPAGothic for Japanese); push
// buttons (the default one answers Enter), drop-down lists, and frames painted through a cairo
// canvas with the winding fill rule; left-button releases over the dialog, Escape and the
// window's close button as IDCANCEL; a transient-for link to an X11 owner window and placement
// over its centre; message boxes owned by the dialog (TOVEL_MESSAGE_BOX=stderr prints them
// instead); and with TOVEL_DIALOG_SNAPSHOT=FILE.png, a picture of the dialog after every paint.
// Limitations: the widgets are drawn by the GTK theme and are shrunk to their rectangles by a
// style sheet, so a theme with large minimum sizes may still overflow them; an owner is only
// linked on X11; the background callback is not called while a message box is open.
// Depends on: GTK 3 (GDK's X11 backend for owners), cairo, Pango.

#include <gdk/gdk.h>
#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/dialog/Dialog.h"
#include "platform/system/SystemServices.h"

namespace platform {

namespace {

constexpr guint kBackgroundIntervalMs = 40;
// Widgets are shrunk to the rectangles the template gives them.
constexpr const char* kCompactStyle =
    "button, combobox button { padding: 0 6px; min-height: 0; min-width: 0; }"
    "combobox arrow { min-height: 0; min-width: 12px; }";
constexpr const char* kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

std::string FontFamilies(const std::string& face) {
    if (face.empty() || face == "MS Shell Dlg" || face == "MS Shell Dlg 2") {
        return "\"Liberation Sans\", \"IPAGothic\", sans-serif";
    }
    return "\"" + face + "\", \"IPAGothic\", sans-serif";
}

void SetSource(cairo_t* cr, COLORREF colour) {
    cairo_set_source_rgb(cr, (colour & 0xFF) / 255.0, ((colour >> 8) & 0xFF) / 255.0,
                         ((colour >> 16) & 0xFF) / 255.0);
}

class CairoCanvas final : public DialogCanvas {
public:
    explicit CairoCanvas(cairo_t* cr) : m_cr(cr) {
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    }

    void SelectPen(COLORREF colour, int width) override {
        m_pen = colour;
        m_penWidth = width;
    }
    void SelectBrush(COLORREF colour) override { m_brush = colour; }

    void Rectangle(int left, int top, int right, int bottom) override {
        cairo_rectangle(m_cr, left, top, right - left, bottom - top);
        FillAndStroke();
    }

    void Polygon(const POINT* points, int count) override {
        if (count < 2) {
            return;
        }
        cairo_move_to(m_cr, points[0].x, points[0].y);
        for (int i = 1; i < count; ++i) {
            cairo_line_to(m_cr, points[i].x, points[i].y);
        }
        cairo_close_path(m_cr);
        FillAndStroke();
    }

private:
    void FillAndStroke() {
        SetSource(m_cr, m_brush);
        cairo_fill_preserve(m_cr);
        SetSource(m_cr, m_pen);
        cairo_set_line_width(m_cr, m_penWidth);
        cairo_stroke(m_cr);
    }

    cairo_t* m_cr;
    COLORREF m_pen = 0;
    int m_penWidth = 1;
    COLORREF m_brush = RGB(255, 255, 255);
};

class GtkDialogBox final : public Dialog {
public:
    GtkDialogBox(const DialogTemplate& dialogTemplate, DialogProc procedure)
        : m_template(dialogTemplate), m_procedure(std::move(procedure)) {}

    ~GtkDialogBox() override {
        if (m_window) {
            gtk_widget_destroy(m_window);
            // The caller's loop is not GTK's: the window must go now, not at GTK's next turn.
            gdk_display_flush(gdk_display_get_default());
        }
        if (m_loop) {
            g_main_loop_unref(m_loop);
        }
    }

    std::intptr_t Run(const Window* owner, std::function<bool()> background);

    void EndDialog(std::intptr_t result) override {
        if (!m_result) {
            m_result = result;
        }
        if (m_loop && g_main_loop_is_running(m_loop)) {
            g_main_loop_quit(m_loop);
        }
    }

    int InsertString(int id, int index, std::string_view text) override {
        GtkWidget* combo = Control(id);
        if (!combo || !GTK_IS_COMBO_BOX_TEXT(combo)) {
            return -1;
        }
        const int count = EntryCount(combo);
        if (index < 0 || index > count) {
            index = count;
        }
        gtk_combo_box_text_insert(GTK_COMBO_BOX_TEXT(combo), index, nullptr,
                                  std::string(text).c_str());
        return index;
    }

    void SetCurSel(int id, int index) override {
        GtkWidget* combo = Control(id);
        if (combo && GTK_IS_COMBO_BOX(combo)) {
            gtk_combo_box_set_active(GTK_COMBO_BOX(combo),
                                     index >= 0 && index < EntryCount(combo) ? index : -1);
        }
    }

    int GetCurSel(int id) const override {
        GtkWidget* combo = Control(id);
        return combo && GTK_IS_COMBO_BOX(combo) ? gtk_combo_box_get_active(GTK_COMBO_BOX(combo))
                                                : -1;
    }

    bool GetItemRect(int id, RECT* rect) const override {
        for (const DialogControl& control : m_template.controls) {
            if (control.id == id) {
                const RECT mapped = MapDialogRect(control, m_units);
                *rect = RECT{0, 0, mapped.right - mapped.left, mapped.bottom - mapped.top};
                return true;
            }
        }
        return false;
    }

    bool GetCursorPos(int id, POINT* point) const override {
        GtkWidget* widget = Control(id);
        GdkWindow* window = widget ? gtk_widget_get_window(widget) : nullptr;
        if (!window) {
            return false;
        }
        GdkSeat* seat = gdk_display_get_default_seat(gdk_window_get_display(window));
        GdkDevice* pointer = seat ? gdk_seat_get_pointer(seat) : nullptr;
        if (!pointer) {
            return false;
        }
        // A widget without a window of its own reports from its parent's origin.
        GtkAllocation allocation;
        gtk_widget_get_allocation(widget, &allocation);
        int x = 0, y = 0;
        gdk_window_get_device_position(window, pointer, &x, &y, nullptr);
        if (!gtk_widget_get_has_window(widget)) {
            x -= allocation.x;
            y -= allocation.y;
        }
        *point = POINT{x, y};
        return true;
    }

    DialogCanvas* BeginPaint(int id) override {
        return m_painting && m_paintingId == id ? m_painting : nullptr;
    }

    void InvalidateItem(int id) override {
        if (GtkWidget* widget = Control(id)) {
            gtk_widget_queue_draw(widget);
        }
    }

    void MessageBox(std::string_view text) override {
        const char* mode = std::getenv("TOVEL_MESSAGE_BOX");
        if (mode && std::string_view(mode) == "stderr") {
            std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
            return;
        }
        GtkWidget* box = gtk_message_dialog_new(m_window ? GTK_WINDOW(m_window) : nullptr,
                                                GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER, GTK_BUTTONS_OK,
                                                "%s", std::string(text).c_str());
        gtk_dialog_run(GTK_DIALOG(box));
        gtk_widget_destroy(box);
    }

private:
    GtkWidget* Control(int id) const {
        const auto found = m_controls.find(id);
        return found == m_controls.end() ? nullptr : found->second;
    }

    static int EntryCount(GtkWidget* combo) {
        return gtk_tree_model_iter_n_children(gtk_combo_box_get_model(GTK_COMBO_BOX(combo)),
                                              nullptr);
    }

    bool Send(std::uint32_t message, WPARAM wParam, LPARAM lParam) {
        return !m_result && m_procedure(this, message, wParam, lParam);
    }

    void Build();
    void MeasureBaseUnits();
    void PlaceOver(const Window* owner);
    static void SaveSnapshot(GtkDialogBox* self);

    static gboolean OnDraw(GtkWidget* widget, cairo_t* cr, gpointer data);
    static void OnClicked(GtkButton* button, gpointer data);
    static void OnChanged(GtkComboBox* combo, gpointer data);
    static gboolean OnButtonRelease(GtkWidget*, GdkEventButton* event, gpointer data);
    static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data);
    static gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data);
    static gboolean OnBackground(gpointer data);
    static void OnAfterPaint(GdkFrameClock*, gpointer data);

    DialogTemplate m_template;
    DialogProc m_procedure;
    DialogBaseUnits m_units;
    GtkWidget* m_window = nullptr;
    GMainLoop* m_loop = nullptr;
    std::map<int, GtkWidget*> m_controls;
    DialogCanvas* m_painting = nullptr;
    int m_paintingId = 0;
    std::function<bool()> m_background;
    std::optional<std::intptr_t> m_result;
    std::string m_snapshotPath;
    bool m_snapshotQueued = false;
};

void GtkDialogBox::MeasureBaseUnits() {
    // The letters' mean width, rounded as the system does, and the line's height.
    PangoLayout* layout = gtk_widget_create_pango_layout(m_window, kAlphabet);
    int width = 0, height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    g_object_unref(layout);
    if (width > 0 && height > 0) {
        m_units = DialogBaseUnits{(width / 26 + 1) / 2, height};
    }
}

void GtkDialogBox::Build() {
    m_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(m_window), m_template.title.c_str());
    gtk_window_set_type_hint(GTK_WINDOW(m_window), GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_set_modal(GTK_WINDOW(m_window), TRUE);
    gtk_window_set_resizable(GTK_WINDOW(m_window), FALSE);

    // The style holds for every dialog of the process, so it is given to the screen once.
    static bool styled = false;
    if (!styled) {
        styled = true;
        GtkCssProvider* css = gtk_css_provider_new();
        const std::string style =
            std::string("* { font-family: ") + FontFamilies(m_template.fontFace) +
            "; font-size: " + std::to_string(m_template.fontPoints) + "pt; }" + kCompactStyle;
        gtk_css_provider_load_from_data(css, style.c_str(), -1, nullptr);
        gtk_style_context_add_provider_for_screen(gtk_widget_get_screen(m_window),
                                                  GTK_STYLE_PROVIDER(css),
                                                  GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
        g_object_unref(css);
    }
    MeasureBaseUnits();

    GtkWidget* fixed = gtk_fixed_new();
    const RECT client = MapDialogSize(m_template, m_units);
    gtk_widget_set_size_request(fixed, client.right, client.bottom);
    gtk_container_add(GTK_CONTAINER(m_window), fixed);

    for (const DialogControl& control : m_template.controls) {
        RECT rect = MapDialogRect(control, m_units);
        GtkWidget* widget = nullptr;
        switch (control.kind) {
            case DialogControlKind::DefaultButton:
            case DialogControlKind::Button:
                widget = gtk_button_new_with_label(control.text.c_str());
                g_signal_connect(widget, "clicked", G_CALLBACK(OnClicked), this);
                if (control.kind == DialogControlKind::DefaultButton) {
                    gtk_widget_set_can_default(widget, TRUE);
                    gtk_window_set_default(GTK_WINDOW(m_window), widget);
                }
                break;
            case DialogControlKind::BlackFrame:
                widget = gtk_drawing_area_new();
                g_signal_connect(widget, "draw", G_CALLBACK(OnDraw), this);
                break;
            case DialogControlKind::DropDownList: {
                widget = gtk_combo_box_text_new();
                g_signal_connect(widget, "changed", G_CALLBACK(OnChanged), this);
                // The template's height is the dropped list's; closed, the list is as tall as a
                // button.
                const DialogControl closed{control.id, control.kind,  {}, control.x,
                                           control.y,  control.width, 14};
                rect = MapDialogRect(closed, m_units);
                break;
            }
        }
        g_object_set_data(G_OBJECT(widget), "tovel-id", GINT_TO_POINTER(control.id));
        gtk_widget_set_size_request(widget, rect.right - rect.left, rect.bottom - rect.top);
        gtk_fixed_put(GTK_FIXED(fixed), widget, rect.left, rect.top);
        m_controls[control.id] = widget;
    }

    gtk_widget_add_events(m_window, GDK_BUTTON_RELEASE_MASK);
    g_signal_connect(m_window, "button-release-event", G_CALLBACK(OnButtonRelease), this);
    g_signal_connect(m_window, "delete-event", G_CALLBACK(OnDelete), this);
    g_signal_connect(m_window, "key-press-event", G_CALLBACK(OnKeyPress), this);
}

void GtkDialogBox::PlaceOver(const Window* owner) {
    const std::uint64_t ownerId = owner ? NativeWindowId(owner) : 0;
#ifdef GDK_WINDOWING_X11
    GdkDisplay* display = gtk_widget_get_display(m_window);
    if (ownerId != 0 && GDK_IS_X11_DISPLAY(display)) {
        gtk_widget_realize(m_window);
        if (GdkWindow* foreign = gdk_x11_window_foreign_new_for_display(display, ownerId)) {
            gdk_window_set_transient_for(gtk_widget_get_window(m_window), foreign);
            int x = 0, y = 0;
            gdk_window_get_origin(foreign, &x, &y);
            const int width = gdk_window_get_width(foreign);
            const int height = gdk_window_get_height(foreign);
            GtkRequisition size;
            gtk_widget_get_preferred_size(m_window, nullptr, &size);
            gtk_window_move(GTK_WINDOW(m_window), x + (width - size.width) / 2,
                            y + (height - size.height) / 2);
            g_object_unref(foreign);
            return;
        }
    }
#endif
    gtk_window_set_position(GTK_WINDOW(m_window), GTK_WIN_POS_CENTER);
}

std::intptr_t GtkDialogBox::Run(const Window* owner, std::function<bool()> background) {
    Build();
    m_background = std::move(background);
    Send(WM_INITDIALOG, 0, 0);
    if (m_result) {
        return *m_result;
    }
    PlaceOver(owner);
    if (const char* path = std::getenv("TOVEL_DIALOG_SNAPSHOT"); path && *path) {
        m_snapshotPath = path;
        gtk_widget_realize(m_window);
        g_signal_connect(gdk_window_get_frame_clock(gtk_widget_get_window(m_window)), "after-paint",
                         G_CALLBACK(OnAfterPaint), this);
    }
    gtk_widget_show_all(m_window);
    guint timer = 0;
    if (m_background) {
        timer = g_timeout_add(kBackgroundIntervalMs, OnBackground, this);
    }
    m_loop = g_main_loop_new(nullptr, FALSE);
    if (!m_result) {
        g_main_loop_run(m_loop);
    }
    if (timer) {
        g_source_remove(timer);
    }
    gtk_widget_hide(m_window);
    // Let the hiding reach the X server before the owner draws again.
    while (gtk_events_pending()) {
        gtk_main_iteration();
    }
    return m_result.value_or(IDCANCEL);
}

gboolean GtkDialogBox::OnDraw(GtkWidget* widget, cairo_t* cr, gpointer data) {
    auto* self = static_cast<GtkDialogBox*>(data);
    const int width = gtk_widget_get_allocated_width(widget);
    const int height = gtk_widget_get_allocated_height(widget);
    // The frame's own look, which the procedure's painting may cover.
    cairo_set_source_rgb(cr, 0.0, 0.0, 0.0);
    cairo_set_line_width(cr, 1.0);
    cairo_rectangle(cr, 0.5, 0.5, width - 1.0, height - 1.0);
    cairo_stroke(cr);
    CairoCanvas canvas(cr);
    self->m_painting = &canvas;
    self->m_paintingId = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), "tovel-id"));
    self->Send(WM_PAINT, static_cast<WPARAM>(self->m_paintingId), 0);
    self->m_painting = nullptr;
    return FALSE;
}

void GtkDialogBox::OnClicked(GtkButton* button, gpointer data) {
    auto* self = static_cast<GtkDialogBox*>(data);
    const int id = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(button), "tovel-id"));
    self->Send(WM_COMMAND, static_cast<WPARAM>(id & 0xFFFF), 0);
}

void GtkDialogBox::OnChanged(GtkComboBox* combo, gpointer data) {
    auto* self = static_cast<GtkDialogBox*>(data);
    const int id = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(combo), "tovel-id"));
    // The list's notification of a new selection.
    constexpr WPARAM kSelectionChanged = 1;
    self->Send(WM_COMMAND, static_cast<WPARAM>(id & 0xFFFF) | (kSelectionChanged << 16), 0);
}

gboolean GtkDialogBox::OnButtonRelease(GtkWidget*, GdkEventButton* event, gpointer data) {
    auto* self = static_cast<GtkDialogBox*>(data);
    if (event->button != GDK_BUTTON_PRIMARY) {
        return FALSE;
    }
    self->Send(
        WM_LBUTTONUP, 0,
        MAKELPARAM(static_cast<std::uint32_t>(event->x), static_cast<std::uint32_t>(event->y)));
    return TRUE;
}

gboolean GtkDialogBox::OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
    auto* self = static_cast<GtkDialogBox*>(data);
    self->Send(WM_COMMAND, IDCANCEL, 0);
    return TRUE;  // the window goes when the procedure ends the dialog
}

gboolean GtkDialogBox::OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
    auto* self = static_cast<GtkDialogBox*>(data);
    if (event->keyval == GDK_KEY_Escape) {
        self->Send(WM_COMMAND, IDCANCEL, 0);
        return TRUE;
    }
    return FALSE;
}

gboolean GtkDialogBox::OnBackground(gpointer data) {
    auto* self = static_cast<GtkDialogBox*>(data);
    if (!self->m_background()) {
        self->EndDialog(IDCANCEL);
        return G_SOURCE_REMOVE;
    }
    return G_SOURCE_CONTINUE;
}

void GtkDialogBox::OnAfterPaint(GdkFrameClock*, gpointer data) {
    auto* self = static_cast<GtkDialogBox*>(data);
    if (self->m_snapshotQueued) {
        return;
    }
    self->m_snapshotQueued = true;
    g_idle_add(
        [](gpointer data) -> gboolean {
            SaveSnapshot(static_cast<GtkDialogBox*>(data));
            return G_SOURCE_REMOVE;
        },
        self);
}

void GtkDialogBox::SaveSnapshot(GtkDialogBox* self) {
    self->m_snapshotQueued = false;
    GdkWindow* window = self->m_window ? gtk_widget_get_window(self->m_window) : nullptr;
    if (!window || !gtk_widget_get_visible(self->m_window)) {
        return;
    }
    GdkPixbuf* picture = gdk_pixbuf_get_from_window(window, 0, 0, gdk_window_get_width(window),
                                                    gdk_window_get_height(window));
    if (!picture) {
        return;
    }
    // Written beside the target and renamed, so a reader never sees half a picture.
    const std::string partial = self->m_snapshotPath + ".partial";
    if (gdk_pixbuf_save(picture, partial.c_str(), "png", nullptr, nullptr)) {
        std::rename(partial.c_str(), self->m_snapshotPath.c_str());
    }
    g_object_unref(picture);
}

}  // namespace

std::intptr_t DialogBox(const DialogTemplate& dialogTemplate, const Window* owner,
                        DialogProc procedure, std::function<bool()> background) {
    static const bool initialised = gtk_init_check(nullptr, nullptr);
    if (!initialised) {
        OutputDebugString("dialog: GTK cannot open a display\n");
        return -1;
    }
    GtkDialogBox dialog(dialogTemplate, std::move(procedure));
    return dialog.Run(owner, std::move(background));
}

}  // namespace platform

// One window of the toolkit: a dialog (rollout or modal dialog), a control
// inside one, or the panel's tooltip window, with all the state a control
// keeps. A front end mirrors these fields.
#pragma once

#include "host/resources.h"
#include "host/windows.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum class WindowRole { Dialog, Control, Tooltip };

struct ListEntry {
    std::wstring text;
    LPARAM data = 0;
    bool selected = false;
};

struct SpinnerState {
    bool is_float = false;
    double value = 0;
    double min = 0, max = 100;
    double scale = 0.1;
    double reset = 0;
    HWND edit = nullptr; // the linked edit, which shows the value
};

struct ButtonImages {
    HIMAGELIST list = nullptr;
    int out_enabled = -1, in_enabled = -1, out_disabled = -1, in_disabled = -1;
    int width = 0, height = 0;
};

// The window procedure of a dialog: the plug-in's dialog procedure, or the
// host's wrapper around a parameter map's procedure.
using DialogHandler = std::function<INT_PTR(HWND, UINT, WPARAM, LPARAM)>;

struct Window {
    WindowRole role = WindowRole::Control;
    Window* parent = nullptr;
    std::vector<Window*> children; // creation order
    int id = -1;
    ControlKind kind = ControlKind::Static;
    int template_id = 0; // dialogs: the template they were built from
    std::wstring text;
    DWORD style = 0;
    DWORD ex_style = 0; // list views: LVS_EX_ styles
    int x = 0, y = 0, width = 0, height = 0;
    bool enabled = true;
    bool checked = false;
    bool check_type = false; // custom buttons in check-button mode
    int image = 0;           // pictures: bitmap id
    ButtonImages images;
    SpinnerState spinner;
    std::vector<ListEntry> items;      // drop-down lists, list boxes, list view rows (first column)
    int cursel = -1;                   // drop-down lists
    std::vector<std::wstring> columns; // list views
    std::vector<std::vector<std::wstring>> subitems; // list views: further columns per row
    COLORREF color = 0;
    std::wstring tooltip;
    HFONT font = nullptr;
    LONG_PTR user_data = 0;   // GWLP_USERDATA
    LONG_PTR dialog_user = 0; // DWLP_USER
    // Dialogs.
    DialogHandler handler;
    HINSTANCE module = nullptr;
    bool modal = false;
    bool ended = false;
    bool destroying = false;
    INT_PTR end_result = 0;
    // Raised on every change of state a front end would show.
    std::uint64_t version = 0;

    // Handles are never reused within the process, so one kept past its
    // window's end never names a later window.
    HWND hwnd = nullptr;
    HWND handle() const { return hwnd; }
    bool read_only() const { return (style & ES_READONLY) != 0; }
};

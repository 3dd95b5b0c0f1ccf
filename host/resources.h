// A module's resources as data: its string table, its dialog templates and
// its bitmaps. The module's handle points at them; the host builds dialogs
// and rollouts from the templates, and a front end can draw the same data.
#pragma once

#include "host/max_types.h"

#include <cstdint>
#include <string>
#include <vector>

// What a control is. Buttons, edits, statics, combo and list boxes are the
// window system's; spinners, custom edits and buttons and colour swatches
// are the host's custom controls.
enum class ControlKind {
    Static,   // text
    Picture,  // a bitmap (text: none; image: the bitmap id)
    GroupBox, // a frame with a caption around other controls
    PushButton,
    CheckBox,
    RadioButton, // WS_GROUP starts a new group of radio buttons
    Edit,        // the window system's edit (ES_READONLY, ES_NUMBER, ES_MULTILINE)
    CustEdit,    // the host's edit, usually linked to a spinner
    Spinner,     // the host's spinner: up/down arrows beside an edit
    DropDownList,
    ListBox,
    ListView,
    ColorSwatch,
    CustButton, // the host's button: images, check-button mode
};

struct ControlTemplate {
    int id = -1; // -1: a control the dialog never addresses (labels, frames)
    ControlKind kind = ControlKind::Static;
    std::wstring text;
    // Pixels from the dialog's top-left corner.
    int x = 0, y = 0, width = 0, height = 0;
    DWORD style = 0;
    int image = 0; // bitmap id of a picture
};

struct DialogTemplate {
    int id = 0;
    std::wstring caption; // the title of a modal dialog; rollouts take theirs from the string table
    int width = 0, height = 0;
    std::vector<ControlTemplate> controls;
};

struct StringResource {
    UINT id = 0;
    std::wstring text;
};

// 32-bit pixels, 0xAARRGGBB, rows from the top.
struct BitmapResource {
    int id = 0;
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
};

struct ModuleResources {
    std::wstring name; // the module's file name
    std::vector<StringResource> strings;
    std::vector<DialogTemplate> dialogs;
    std::vector<BitmapResource> bitmaps;

    const DialogTemplate* FindDialog(int id) const {
        for (const DialogTemplate& d : dialogs) {
            if (d.id == id) {
                return &d;
            }
        }
        return nullptr;
    }
    const StringResource* FindString(UINT id) const {
        for (const StringResource& s : strings) {
            if (s.id == id) {
                return &s;
            }
        }
        return nullptr;
    }
    const BitmapResource* FindBitmap(int id) const {
        for (const BitmapResource& b : bitmaps) {
            if (b.id == id) {
                return &b;
            }
        }
        return nullptr;
    }
};

// Text names of the kinds, as template dumps and front ends spell them.
const char* ControlKindName(ControlKind kind);

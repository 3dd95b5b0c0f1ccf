#include "ui/param_editors.h"

#include "host/custcont.h"
#include "host/interface.h"
#include "host/text.h"
#include "settings/settings.h"
#include "ui/controls.h"

#include <algorithm>
#include <cmath>

namespace {

// Inside the dialog's "Selected Element Parameters" frame, a row each.
constexpr int kLeft = 226;
constexpr int kTop = 184;
constexpr int kRow = 20;
constexpr int kLabelWidth = 120;

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

HWND make(HWND dialog, const wchar_t* cls, int id, const std::wstring& text, DWORD style, int x,
          int y, int w, int h) {
    HWND control =
        CreateWindowExW(0, cls, text.c_str(), kChild | style, x, y, w, h, dialog,
                        reinterpret_cast<void*>(static_cast<std::intptr_t>(id)), nullptr, nullptr);
    SendMessageW(
        control, WM_SETFONT,
        static_cast<WPARAM>(reinterpret_cast<std::intptr_t>(GetCOREInterface()->GetAppHFont())), 1);
    return control;
}

bool has_editor(int type) {
    return type == Int || type == Float || type == Flag || type == Colour;
}

} // namespace

void ParamEditors::Create(HWND dialog, const BakeElementEntry& entry) {
    Destroy();
    int row = 0;
    const int count = std::min<int>(static_cast<int>(entry.parameters.size()), kMaxEditors);
    for (int i = 0; i < count; ++i) {
        const BakeParam& p = entry.parameters[static_cast<std::size_t>(i)];
        if (!has_editor(p.type)) {
            report("Cannot create control: Unknown type " + std::to_string(p.type) +
                       " for parameter " + p.name,
                   0);
            continue;
        }
        const int y = kTop + row * kRow;
        const int id = kParamEditorBase + i;
        const std::wstring name = Utf8ToWide(p.name);
        if (p.type == Flag) {
            windows_.push_back(
                make(dialog, WC_BUTTONW, id, name, BS_AUTOCHECKBOX, kLeft, y, 220, 20));
            SetChecked(dialog, id, p.flagValue != 0);
        } else {
            windows_.push_back(make(dialog, WC_STATICW, -1, name, 0, kLeft, y, kLabelWidth, 20));
            if (p.type == Colour) {
                windows_.push_back(make(dialog, COLORSWATCHWINDOWCLASS, id, L"", 0,
                                        kLeft + kLabelWidth, y, 32, 16));
                ShowColour(dialog, id, p.colourValue);
            } else {
                const int edit = kParamEditBase + i;
                windows_.push_back(make(dialog, CUSTEDITWINDOWCLASS, edit, L"", 0,
                                        kLeft + kLabelWidth, y, 40, 16));
                windows_.push_back(make(dialog, SPINNERWINDOWCLASS, id, L"", 0,
                                        kLeft + kLabelWidth + 40, y, 16, 16));
                if (p.type == Int) {
                    SetupSpinner(dialog, id, edit, p.intMin, p.intMax, p.intValue);
                } else {
                    SetupSpinner(dialog, id, edit, p.floatMin, p.floatMax, p.floatValue, 0.1f);
                }
            }
        }
        ++row;
    }
}

void ParamEditors::Destroy() {
    for (HWND w : windows_) {
        DestroyWindow(w);
    }
    windows_.clear();
}

void ParamEditors::Read(HWND dialog, BakeElementEntry& entry) const {
    const int count = std::min<int>(static_cast<int>(entry.parameters.size()), kMaxEditors);
    for (int i = 0; i < count; ++i) {
        BakeParam& p = entry.parameters[static_cast<std::size_t>(i)];
        const int id = kParamEditorBase + i;
        if (!has_editor(p.type)) {
            report("Cannot receive data: unknown parameter " + std::to_string(p.type) +
                       " for parameter " + p.name,
                   0);
            continue;
        }
        if (GetDlgItem(dialog, id) == nullptr) {
            continue;
        }
        switch (p.type) {
        case Int:
            ReadSpinner(dialog, id, p.intValue);
            break;
        case Float:
            ReadSpinner(dialog, id, p.floatValue);
            break;
        case Flag:
            p.flagValue = IsChecked(dialog, id) ? 1 : 0;
            break;
        default:
            ReadColour(dialog, id, p.colourValue);
            break;
        }
    }
}

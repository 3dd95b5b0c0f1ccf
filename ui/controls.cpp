#include "ui/controls.h"

#include "host/custcont.h"
#include "host/interface.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The spinner interface for the length of one call.
template <class Fn> bool with_spinner(HWND dialog, int id, Fn fn) {
    ISpinnerControl* s = GetISpinner(GetDlgItem(dialog, id));
    if (s == nullptr) {
        return false;
    }
    fn(*s);
    ReleaseISpinner(s);
    return true;
}

BOOL set_font(HWND child, LPARAM font) {
    SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), 1);
    return 1;
}

COLORREF to_colorref(const float rgb[3]) {
    auto byte = [](float v) {
        return static_cast<int>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255));
    };
    return RGB(byte(rgb[0]), byte(rgb[1]), byte(rgb[2]));
}

} // namespace

void ShowColour(HWND dialog, int id, const float rgb[3]) {
    if (IColorSwatch* swatch = GetIColorSwatch(GetDlgItem(dialog, id))) {
        swatch->SetColor(to_colorref(rgb), 0);
        ReleaseIColorSwatch(swatch);
    }
}

bool ReadColour(HWND dialog, int id, float rgb[3]) {
    IColorSwatch* swatch = GetIColorSwatch(GetDlgItem(dialog, id));
    if (swatch == nullptr) {
        return false;
    }
    const COLORREF c = swatch->GetColor();
    ReleaseIColorSwatch(swatch);
    if (c != to_colorref(rgb)) {
        rgb[0] = static_cast<float>(c & 0xFF) / 255.0f;
        rgb[1] = static_cast<float>((c >> 8) & 0xFF) / 255.0f;
        rgb[2] = static_cast<float>((c >> 16) & 0xFF) / 255.0f;
    }
    return true;
}

void UseAppFont(HWND dialog) {
    EnumChildWindows(dialog, set_font, reinterpret_cast<LPARAM>(GetCOREInterface()->GetAppHFont()));
}

std::wstring ComboText(HWND combo, LRESULT i) {
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
    if (length <= 0) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i),
                 reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

bool IsChecked(HWND dialog, int id) {
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

void SetChecked(HWND dialog, int id, bool checked) {
    CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool ReadCheck(HWND dialog, int id, bool& value) {
    if (GetDlgItem(dialog, id) == nullptr) {
        return false;
    }
    value = IsChecked(dialog, id);
    return true;
}

bool ReadSpinner(HWND dialog, int id, int& value) {
    return with_spinner(dialog, id, [&](ISpinnerControl& s) { value = s.GetIVal(); });
}

bool ReadSpinner(HWND dialog, int id, float& value) {
    return with_spinner(dialog, id, [&](ISpinnerControl& s) { value = s.GetFVal(); });
}

void SetSpinner(HWND dialog, int id, int value) {
    with_spinner(dialog, id, [&](ISpinnerControl& s) { s.SetValue(value, 0); });
}

void SetSpinner(HWND dialog, int id, float value) {
    with_spinner(dialog, id, [&](ISpinnerControl& s) { s.SetValue(value, 0); });
}

void SetupSpinner(HWND dialog, int spinId, int editId, int min, int max, int value) {
    if (ISpinnerControl* s = SetupIntSpinner(dialog, spinId, editId, min, max, value)) {
        ReleaseISpinner(s);
    }
}

void SetupSpinner(HWND dialog, int spinId, int editId, float min, float max, float value,
                  float scale) {
    if (ISpinnerControl* s = SetupFloatSpinner(dialog, spinId, editId, min, max, value, scale)) {
        ReleaseISpinner(s);
    }
}

void EnableControl(HWND dialog, int id, bool enabled) {
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) {
        return;
    }
    if (ISpinnerControl* s = GetISpinner(control)) {
        s->Enable(enabled ? 1 : 0);
        ReleaseISpinner(s);
    } else if (ICustButton* b = GetICustButton(control)) {
        b->Enable(enabled ? 1 : 0);
        ReleaseICustButton(b);
    } else {
        EnableWindow(control, enabled ? 1 : 0);
    }
}

std::wstring ControlText(HWND dialog, int id, int max) {
    std::vector<wchar_t> buffer(static_cast<std::size_t>(max) + 1);
    const int n = GetWindowTextW(GetDlgItem(dialog, id), buffer.data(), max + 1);
    return std::wstring(buffer.data(), static_cast<std::size_t>(n));
}

bool IsButtonChecked(HWND dialog, int id) {
    ICustButton* b = GetICustButton(GetDlgItem(dialog, id));
    if (b == nullptr) {
        return false;
    }
    const bool checked = b->IsChecked() != 0;
    ReleaseICustButton(b);
    return checked;
}

void SetButtonChecked(HWND dialog, int id, bool checked) {
    if (ICustButton* b = GetICustButton(GetDlgItem(dialog, id))) {
        b->SetCheck(checked ? 1 : 0);
        ReleaseICustButton(b);
    }
}

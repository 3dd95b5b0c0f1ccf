// The host's custom-control interfaces over the toolkit's windows. Each
// interface holds only the window's handle and looks the window up on
// every call, so one kept past the window's end does nothing.
#include "host/custcont.h"
#include "standalone/ui/toolkit.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cwchar>

namespace {

Window* find(HWND handle, ControlKind kind) {
    Toolkit* tk = Toolkit::Current();
    Window* w = tk != nullptr ? tk->Find(handle) : nullptr;
    return w != nullptr && w->kind == kind ? w : nullptr;
}

void touch(Window& w) {
    Toolkit::Current()->Touch(w);
}

class Spinner : public ISpinnerControl {
  public:
    explicit Spinner(HWND h) : h_(h) {}
    float GetFVal() override {
        Window* w = self();
        return w != nullptr ? static_cast<float>(w->spinner.value) : 0.0f;
    }
    int GetIVal() override {
        Window* w = self();
        return w != nullptr ? static_cast<int>(std::lround(w->spinner.value)) : 0;
    }
    void SetScale(float scale) override {
        if (Window* w = self()) {
            w->spinner.scale = scale;
        }
    }
    void SetValue(float value, int notify) override { set(value, notify, true); }
    void SetValue(int value, int notify) override { set(value, notify, false); }
    void SetLimits(int min, int max, int limitCurValue) override {
        limits(min, max, limitCurValue, false);
    }
    void SetLimits(float min, float max, int limitCurValue) override {
        limits(min, max, limitCurValue, true);
    }
    void LinkToEdit(HWND edit, EditSpinnerType type) override {
        if (Window* w = self()) {
            w->spinner.edit = edit;
            w->spinner.is_float = type == EDITTYPE_FLOAT || type == EDITTYPE_POS_FLOAT;
            show(*w);
        }
    }
    void SetResetValue(float value) override {
        if (Window* w = self()) {
            w->spinner.reset = value;
        }
    }
    void SetResetValue(int value) override {
        if (Window* w = self()) {
            w->spinner.reset = value;
        }
    }
    void Enable(BOOL enable) override {
        // The spinner's edit goes along with it.
        if (Window* w = self()) {
            EnableWindow(w->handle(), enable);
            EnableWindow(w->spinner.edit, enable);
        }
    }
    BOOL IsEnabled() override { return IsWindowEnabled(h_); }

  private:
    Window* self() { return find(h_, ControlKind::Spinner); }
    void show(Window& w) {
        if (Window* edit = Toolkit::Current()->Find(w.spinner.edit)) {
            edit->text = SpinnerText(w.spinner);
            touch(*edit);
        }
        touch(w);
    }
    void set(double value, int notify, bool is_float) {
        Window* w = self();
        if (w == nullptr) {
            return;
        }
        SpinnerState& s = w->spinner;
        double v = std::clamp(value, s.min, s.max);
        if (!s.is_float && is_float) {
            v = std::round(v);
        }
        s.value = v;
        show(*w);
        if (notify != 0) {
            SendMessageW(w->parent->handle(), CC_SPINNER_CHANGE,
                         MAKEWPARAM(static_cast<WORD>(w->id), 0), reinterpret_cast<LPARAM>(h_));
        }
    }
    void limits(double min, double max, int limitCurValue, bool is_float) {
        Window* w = self();
        if (w == nullptr) {
            return;
        }
        SpinnerState& s = w->spinner;
        s.min = std::min(min, max);
        s.max = std::max(min, max);
        if (is_float) {
            s.is_float = true;
        }
        if (limitCurValue != 0) {
            s.value = std::clamp(s.value, s.min, s.max);
        }
        show(*w);
    }

    HWND h_;
};

class CustEdit : public ICustEdit {
  public:
    explicit CustEdit(HWND h) : h_(h) {}
    void GetText(MCHAR* text, int max) override { GetWindowTextW(h_, text, max); }
    void SetText(const MCHAR* text) override { SetWindowTextW(h_, text); }
    int GetInt(BOOL* valid) override {
        const std::wstring t = text();
        wchar_t* end = nullptr;
        const long v = std::wcstol(t.c_str(), &end, 10);
        if (valid != nullptr) {
            *valid = end != t.c_str() && *end == L'\0' ? 1 : 0;
        }
        return static_cast<int>(std::clamp<long>(v, -2147483647L - 1, 2147483647L));
    }
    float GetFloat(BOOL* valid) override {
        const std::wstring t = text();
        wchar_t* end = nullptr;
        const double v = std::wcstod(t.c_str(), &end);
        if (valid != nullptr) {
            *valid = end != t.c_str() && *end == L'\0' ? 1 : 0;
        }
        return static_cast<float>(v);
    }
    void SetReadOnly(BOOL readOnly) override {
        if (Window* w = find(h_, ControlKind::CustEdit)) {
            w->style = readOnly != 0 ? (w->style | ES_READONLY) : (w->style & ~ES_READONLY);
            touch(*w);
        }
    }
    void Enable(BOOL enable) override { EnableWindow(h_, enable); }

  private:
    std::wstring text() {
        Window* w = find(h_, ControlKind::CustEdit);
        return w != nullptr ? w->text : std::wstring();
    }
    HWND h_;
};

class CustButton : public ICustButton {
  public:
    explicit CustButton(HWND h) : h_(h) {}
    void SetType(CustButType type) override {
        if (Window* w = self()) {
            w->check_type = type == CBT_CHECK;
            touch(*w);
        }
    }
    void SetCheck(BOOL checked) override {
        Window* w = self();
        if (w != nullptr && w->checked != (checked != 0)) {
            w->checked = checked != 0;
            touch(*w);
        }
    }
    BOOL IsChecked() override {
        Window* w = self();
        return w != nullptr && w->checked ? 1 : 0;
    }
    void SetText(const MCHAR* text) override { SetWindowTextW(h_, text); }
    void SetImage(HIMAGELIST images, int outEn, int inEn, int outDis, int inDis, int w,
                  int h) override {
        if (Window* b = self()) {
            b->images = {images, outEn, inEn, outDis, inDis, w, h};
            touch(*b);
        }
    }
    void Enable(BOOL enable) override { EnableWindow(h_, enable); }
    BOOL IsEnabled() override { return IsWindowEnabled(h_); }

  private:
    Window* self() { return find(h_, ControlKind::CustButton); }
    HWND h_;
};

class ColorSwatch : public IColorSwatch {
  public:
    explicit ColorSwatch(HWND h) : h_(h) {}
    COLORREF GetColor() override {
        Window* w = find(h_, ControlKind::ColorSwatch);
        return w != nullptr ? w->color : 0;
    }
    void SetColor(COLORREF color, int notify) override {
        Window* w = find(h_, ControlKind::ColorSwatch);
        if (w == nullptr) {
            return;
        }
        w->color = color;
        touch(*w);
        if (notify != 0) {
            SendMessageW(w->parent->handle(), CC_COLOR_CHANGE,
                         MAKEWPARAM(static_cast<WORD>(w->id), 0), reinterpret_cast<LPARAM>(this));
        }
    }
    void Enable(BOOL enable) override { EnableWindow(h_, enable); }

  private:
    HWND h_;
};

} // namespace

ISpinnerControl* GetISpinner(HWND control) {
    return find(control, ControlKind::Spinner) != nullptr ? new Spinner(control) : nullptr;
}
void ReleaseISpinner(ISpinnerControl* spinner) {
    delete spinner;
}

ISpinnerControl* SetupIntSpinner(HWND dialog, int spinId, int editId, int min, int max, int value) {
    ISpinnerControl* s = GetISpinner(GetDlgItem(dialog, spinId));
    if (s == nullptr) {
        return nullptr;
    }
    s->LinkToEdit(GetDlgItem(dialog, editId), EDITTYPE_INT);
    s->SetLimits(min, max, 0);
    s->SetValue(value, 0);
    s->SetResetValue(value);
    return s;
}

ISpinnerControl* SetupFloatSpinner(HWND dialog, int spinId, int editId, float min, float max,
                                   float value, float scale) {
    ISpinnerControl* s = GetISpinner(GetDlgItem(dialog, spinId));
    if (s == nullptr) {
        return nullptr;
    }
    s->LinkToEdit(GetDlgItem(dialog, editId), EDITTYPE_FLOAT);
    s->SetLimits(min, max, 0);
    s->SetScale(scale);
    s->SetValue(value, 0);
    s->SetResetValue(value);
    return s;
}

ICustEdit* GetICustEdit(HWND control) {
    return find(control, ControlKind::CustEdit) != nullptr ? new CustEdit(control) : nullptr;
}
void ReleaseICustEdit(ICustEdit* edit) {
    delete edit;
}

ICustButton* GetICustButton(HWND control) {
    return find(control, ControlKind::CustButton) != nullptr ? new CustButton(control) : nullptr;
}
void ReleaseICustButton(ICustButton* button) {
    delete button;
}

IColorSwatch* GetIColorSwatch(HWND control) {
    return find(control, ControlKind::ColorSwatch) != nullptr ? new ColorSwatch(control) : nullptr;
}
void ReleaseIColorSwatch(IColorSwatch* swatch) {
    delete swatch;
}

HIMAGELIST ImageList_Create(int cx, int cy, UINT /*flags*/, int /*initial*/, int /*grow*/) {
    Toolkit* tk = Toolkit::Current();
    return tk != nullptr ? tk->CreateImageList(cx, cy) : nullptr;
}

int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask) {
    Toolkit* tk = Toolkit::Current();
    Toolkit::ImageList* l = tk != nullptr ? tk->FindImageList(list) : nullptr;
    if (l == nullptr || image == nullptr || image->width < l->cx || image->height < l->cy) {
        return -1;
    }
    const int first = static_cast<int>(l->images.size());
    for (int x = 0; x + l->cx <= image->width; x += l->cx) {
        l->images.push_back({image->id, x, mask != nullptr ? mask->id : 0});
    }
    return first;
}

int ImageList_GetImageCount(HIMAGELIST list) {
    Toolkit* tk = Toolkit::Current();
    Toolkit::ImageList* l = tk != nullptr ? tk->FindImageList(list) : nullptr;
    return l != nullptr ? static_cast<int>(l->images.size()) : 0;
}

void DisableAccelerators() {
    if (Toolkit* tk = Toolkit::Current()) {
        tk->SetAccelerators(false);
    }
}

void EnableAccelerators() {
    if (Toolkit* tk = Toolkit::Current()) {
        tk->SetAccelerators(true);
    }
}

bool AcceleratorsEnabled() {
    Toolkit* tk = Toolkit::Current();
    return tk == nullptr || tk->accelerators_enabled();
}

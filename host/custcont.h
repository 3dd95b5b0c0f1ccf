// The host's custom controls (spinners, custom edits and buttons, colour
// swatches) and image lists, reached through interfaces that the plug-in
// gets from a control's window and releases when done.
#pragma once

#include "host/windows.h"

// Messages a spinner sends to its dialog: a change of value (high word of
// wParam: TRUE while the user drags) and the release of its button (high
// word: FALSE when the drag was cancelled).
inline constexpr UINT CC_SPINNER_CHANGE = WM_USER + 600;
inline constexpr UINT CC_SPINNER_BUTTONDOWN = WM_USER + 601;
inline constexpr UINT CC_SPINNER_BUTTONUP = WM_USER + 602;
// A colour swatch's new colour (lParam: the swatch interface).
inline constexpr UINT CC_COLOR_CHANGE = WM_USER + 603;

enum EditSpinnerType { EDITTYPE_INT, EDITTYPE_FLOAT, EDITTYPE_POS_INT, EDITTYPE_POS_FLOAT };

class ISpinnerControl {
  public:
    virtual ~ISpinnerControl() = default;
    virtual float GetFVal() = 0;
    virtual int GetIVal() = 0;
    virtual void SetScale(float scale) = 0;
    // Values outside the limits are clamped to them; notify: send the
    // spinner's change message as a user's change would.
    virtual void SetValue(float value, int notify) = 0;
    virtual void SetValue(int value, int notify) = 0;
    virtual void SetLimits(int min, int max, int limitCurValue = 1) = 0;
    virtual void SetLimits(float min, float max, int limitCurValue = 1) = 0;
    virtual void LinkToEdit(HWND edit, EditSpinnerType type) = 0;
    virtual void SetResetValue(float value) = 0;
    virtual void SetResetValue(int value) = 0;
    virtual void Enable(BOOL enable = 1) = 0;
    virtual void Disable() { Enable(0); }
    virtual BOOL IsEnabled() = 0;
};

// The edit is linked to the spinner, its limits and value set.
ISpinnerControl* SetupIntSpinner(HWND dialog, int spinId, int editId, int min, int max, int value);
ISpinnerControl* SetupFloatSpinner(HWND dialog, int spinId, int editId, float min, float max,
                                   float value, float scale = 0.1f);
ISpinnerControl* GetISpinner(HWND control);
void ReleaseISpinner(ISpinnerControl* spinner);

class ICustEdit {
  public:
    virtual ~ICustEdit() = default;
    virtual void GetText(MCHAR* text, int max) = 0;
    virtual void SetText(const MCHAR* text) = 0;
    virtual int GetInt(BOOL* valid = nullptr) = 0;
    virtual float GetFloat(BOOL* valid = nullptr) = 0;
    virtual void SetReadOnly(BOOL readOnly) = 0;
    virtual void Enable(BOOL enable = 1) = 0;
};
ICustEdit* GetICustEdit(HWND control);
void ReleaseICustEdit(ICustEdit* edit);

enum CustButType { CBT_PUSH, CBT_CHECK };

class ICustButton {
  public:
    virtual ~ICustButton() = default;
    virtual void SetType(CustButType type) = 0;
    virtual void SetCheck(BOOL checked) = 0;
    virtual BOOL IsChecked() = 0;
    virtual void SetText(const MCHAR* text) = 0;
    // Images of the list for the enabled out (unchecked) and in (checked)
    // states and their disabled forms, each w x h.
    virtual void SetImage(HIMAGELIST images, int outEn, int inEn, int outDis, int inDis, int w,
                          int h) = 0;
    virtual void Enable(BOOL enable = 1) = 0;
    virtual void Disable() { Enable(0); }
    virtual BOOL IsEnabled() = 0;
};
ICustButton* GetICustButton(HWND control);
void ReleaseICustButton(ICustButton* button);

class IColorSwatch {
  public:
    virtual ~IColorSwatch() = default;
    virtual COLORREF GetColor() = 0;
    virtual void SetColor(COLORREF color, int notify = 0) = 0;
    virtual void Enable(BOOL enable = 1) = 0;
};
IColorSwatch* GetIColorSwatch(HWND control);
void ReleaseIColorSwatch(IColorSwatch* swatch);

// Image lists: images of one size, added from bitmaps (a bitmap wider than
// the image size adds one image per width step), with a mask.
inline constexpr UINT ILC_MASK = 0x0001;
inline constexpr UINT ILC_COLOR32 = 0x0020;
HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int initial, int grow);
// The index of the first image added, -1 on failure.
int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask);
int ImageList_GetImageCount(HIMAGELIST list);

// The host's keyboard shortcuts: off while the user types into an edit of a
// panel, so that keys reach the edit.
void DisableAccelerators();
void EnableAccelerators();
bool AcceleratorsEnabled();

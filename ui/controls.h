// Reading and writing the panel's controls by id. Every access checks that
// the control exists: a missing control (or rollout) is skipped, and a read
// of one leaves the caller's value as it was.
#pragma once

#include "host/windows.h"

#include <string>

bool IsChecked(HWND dialog, int id);
void SetChecked(HWND dialog, int id, bool checked);
// Check boxes and radio buttons read into `value`; false when missing.
bool ReadCheck(HWND dialog, int id, bool& value);

bool ReadSpinner(HWND dialog, int id, int& value);
bool ReadSpinner(HWND dialog, int id, float& value);
void SetSpinner(HWND dialog, int id, int value);
void SetSpinner(HWND dialog, int id, float value);
void SetupSpinner(HWND dialog, int spinId, int editId, int min, int max, int value);
void SetupSpinner(HWND dialog, int spinId, int editId, float min, float max, float value,
                  float scale);

// Spinners with their edits, custom buttons and plain windows alike.
void EnableControl(HWND dialog, int id, bool enabled);

// At most max characters of the control's text.
std::wstring ControlText(HWND dialog, int id, int max = 260);

// Every control of the dialog in the host's application font.
void UseAppFont(HWND dialog);

// Item i of a drop-down list, read whole; empty when there is none.
std::wstring ComboText(HWND combo, LRESULT i);

// Colour swatches, which hold 8 bits a channel, showing colours kept as
// floats 0..1. Reading takes the swatch's colour only when it no longer
// shows `rgb` (the user changed it), so that a finer colour that stayed is
// kept; false when there is no such swatch.
void ShowColour(HWND dialog, int id, const float rgb[3]);
bool ReadColour(HWND dialog, int id, float rgb[3]);

// Custom buttons in check-button mode.
bool IsButtonChecked(HWND dialog, int id);
void SetButtonChecked(HWND dialog, int id, bool checked);

// The few window-system calls the plug-in makes; the host application
// provides them.
#pragma once

#include "host/max_types.h"

inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_OKCANCEL = 0x1;
inline constexpr UINT MB_ICONWARNING = 0x30;
inline constexpr UINT MB_ICONINFORMATION = 0x40;
inline constexpr UINT MB_DEFBUTTON2 = 0x100;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

int MessageBoxW(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);

// The window-system calls the plug-in makes: message boxes, and the dialog
// and control calls its rollouts use, with the window system's own names.
// The host application provides them.
#pragma once

#include "host/max_types.h"

#include <cstdint>

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using DWORD_PTR = std::uintptr_t;
using HFONT = void*;
using COLORREF = DWORD;
struct ModuleResources;
// A module's handle names its resources (string table, dialog templates,
// bitmaps).
using HINSTANCE = const ModuleResources*;
using HBITMAP = const struct BitmapResource*;
using HIMAGELIST = void*;
using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

inline constexpr WORD LOWORD(std::uintptr_t v) {
    return static_cast<WORD>(v & 0xFFFF);
}
inline constexpr WORD HIWORD(std::uintptr_t v) {
    return static_cast<WORD>((v >> 16) & 0xFFFF);
}
inline constexpr WPARAM MAKEWPARAM(WORD low, WORD high) {
    return static_cast<WPARAM>(low) | (static_cast<WPARAM>(high) << 16);
}
inline constexpr COLORREF RGB(int r, int g, int b) {
    return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

// Message boxes.
inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_OKCANCEL = 0x1;
inline constexpr UINT MB_ICONWARNING = 0x30;
inline constexpr UINT MB_ICONINFORMATION = 0x40;
inline constexpr UINT MB_DEFBUTTON2 = 0x100;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

int MessageBoxW(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);

// Window messages.
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_SETFONT = 0x0030;
inline constexpr UINT WM_NOTIFY = 0x004E;
inline constexpr UINT WM_INITDIALOG = 0x0110;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_USER = 0x0400;

// Notification codes (the high word of a command's wParam).
inline constexpr WORD BN_CLICKED = 0;
inline constexpr WORD EN_SETFOCUS = 0x0100;
inline constexpr WORD EN_KILLFOCUS = 0x0200;
inline constexpr WORD EN_CHANGE = 0x0300;
inline constexpr WORD CBN_SELCHANGE = 1;
inline constexpr WORD LBN_SELCHANGE = 1;

// Button messages and states.
inline constexpr UINT BM_GETCHECK = 0x00F0;
inline constexpr UINT BM_SETCHECK = 0x00F1;
inline constexpr UINT BST_UNCHECKED = 0;
inline constexpr UINT BST_CHECKED = 1;

// Combo box messages; CB_ERR for none.
inline constexpr UINT CB_ADDSTRING = 0x0143;
inline constexpr UINT CB_GETCURSEL = 0x0147;
inline constexpr UINT CB_GETLBTEXT = 0x0148;
inline constexpr UINT CB_GETLBTEXTLEN = 0x0149;
inline constexpr UINT CB_RESETCONTENT = 0x014B;
inline constexpr UINT CB_SETCURSEL = 0x014E;
inline constexpr UINT CB_GETCOUNT = 0x0146;
inline constexpr UINT CB_GETITEMDATA = 0x0150;
inline constexpr UINT CB_SETITEMDATA = 0x0151;
inline constexpr LRESULT CB_ERR = -1;

// List box messages; LB_ERR for none.
inline constexpr UINT LB_ADDSTRING = 0x0180;
inline constexpr UINT LB_RESETCONTENT = 0x0184;
inline constexpr UINT LB_SETSEL = 0x0185;
inline constexpr UINT LB_GETSEL = 0x0187;
inline constexpr UINT LB_GETTEXT = 0x0189;
inline constexpr UINT LB_GETTEXTLEN = 0x018A;
inline constexpr UINT LB_GETCOUNT = 0x018B;
inline constexpr LRESULT LB_ERR = -1;

// List views (report view): columns, rows with further columns, selection.
inline constexpr UINT LVM_FIRST = 0x1000;
inline constexpr UINT LVM_GETITEMCOUNT = LVM_FIRST + 4;
inline constexpr UINT LVM_DELETEITEM = LVM_FIRST + 8;
inline constexpr UINT LVM_DELETEALLITEMS = LVM_FIRST + 9;
inline constexpr UINT LVM_GETNEXTITEM = LVM_FIRST + 12;
inline constexpr UINT LVM_SETITEMSTATE = LVM_FIRST + 43;
inline constexpr UINT LVM_GETITEMSTATE = LVM_FIRST + 44;
inline constexpr UINT LVM_SETEXTENDEDLISTVIEWSTYLE = LVM_FIRST + 54;
inline constexpr UINT LVM_INSERTITEMW = LVM_FIRST + 77;
inline constexpr UINT LVM_SETITEMTEXTW = LVM_FIRST + 116;
inline constexpr UINT LVM_INSERTCOLUMNW = LVM_FIRST + 97;
inline constexpr UINT LVM_GETITEMTEXTW = LVM_FIRST + 115;
inline constexpr UINT LVIF_TEXT = 0x0001;
inline constexpr UINT LVIF_STATE = 0x0008;
inline constexpr UINT LVIS_SELECTED = 0x0002;
inline constexpr UINT LVNI_SELECTED = 0x0002;
inline constexpr DWORD LVS_EX_FULLROWSELECT = 0x00000020;
inline constexpr DWORD LVS_SINGLESEL = 0x0004;
inline constexpr int NM_CLICK = -2;
inline constexpr int LVN_ITEMCHANGED = -101;

struct LVITEMW {
    UINT mask = 0;
    int iItem = 0;
    int iSubItem = 0;
    UINT state = 0;
    UINT stateMask = 0;
    wchar_t* pszText = nullptr;
    int cchTextMax = 0;
    LPARAM lParam = 0;
};
struct LVCOLUMNW {
    UINT mask = 0;
    int cx = 0;
    wchar_t* pszText = nullptr;
};
struct NMHDR {
    HWND hwndFrom = nullptr;
    UINT_PTR idFrom = 0;
    int code = 0;
};
// The notification of a row: the row and what changed in it.
struct NMLISTVIEW {
    NMHDR hdr;
    int iItem = -1;
    int iSubItem = 0;
    UINT uNewState = 0;
    UINT uOldState = 0;
};

// Window styles the templates use (the kind of a control is its own field).
inline constexpr DWORD WS_GROUP = 0x00020000;
inline constexpr DWORD WS_DISABLED = 0x08000000;
inline constexpr DWORD WS_VSCROLL = 0x00200000;
inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD ES_MULTILINE = 0x0004;
inline constexpr DWORD ES_READONLY = 0x0800;
inline constexpr DWORD ES_NUMBER = 0x2000;
inline constexpr DWORD LBS_SORT = 0x0002;
inline constexpr DWORD LBS_EXTENDEDSEL = 0x0800;
inline constexpr DWORD LVS_SHOWSELALWAYS = 0x0008;
inline constexpr DWORD SS_NOTIFY = 0x0100;

// Window data slots.
inline constexpr int GWLP_USERDATA = -21;
inline constexpr int DWLP_USER = 0x10;

// The top-most layer of windows, and what a position change leaves alone.
inline const HWND HWND_TOPMOST = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1));
inline constexpr UINT SWP_NOSIZE = 0x0001;
inline constexpr UINT SWP_NOMOVE = 0x0002;
inline constexpr UINT SWP_NOACTIVATE = 0x0010;

struct POINT {
    LONG x = 0;
    LONG y = 0;
};

// Every call on a handle that names no window does nothing and answers
// zero, as the window system does for a destroyed window.
HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND control);
HWND GetParent(HWND window);
LRESULT SendMessageW(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);
BOOL IsWindow(HWND window);
BOOL SetWindowTextW(HWND window, const wchar_t* text);
// Copies at most max - 1 characters and a terminating zero; the count copied.
int GetWindowTextW(HWND window, wchar_t* text, int max);
int GetWindowTextLengthW(HWND window);
BOOL SetDlgItemTextW(HWND dialog, int id, const wchar_t* text);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value);
LONG_PTR GetWindowLongPtrW(HWND window, int index);
using WNDENUMPROC = BOOL (*)(HWND, LPARAM);
// Every child of the window (not the window itself), in creation order.
BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam);
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL DestroyWindow(HWND window);
BOOL GetCursorPos(POINT* point);

// Modal dialogs: the dialog runs until its procedure calls EndDialog, whose
// result DialogBoxParamW returns (-1 when the template does not exist).
INT_PTR DialogBoxParamW(HINSTANCE module, int templateId, HWND owner, DLGPROC proc, LPARAM param);
BOOL EndDialog(HWND dialog, INT_PTR result);

// The string of that id from the module's string table into buffer (at most
// max - 1 characters and a zero); the count copied, 0 when there is none.
int LoadStringW(HINSTANCE module, UINT id, wchar_t* buffer, int max);
// The bitmap of that id among the module's resources, or nullptr.
HBITMAP LoadBitmapW(HINSTANCE module, int id);

// The system's file open and save dialogs: TRUE with the chosen path in
// lpstrFile, FALSE when the user cancels (or the path does not fit).
inline constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
inline constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
inline constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
inline constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;
struct OPENFILENAMEW {
    DWORD lStructSize = sizeof(OPENFILENAMEW);
    HWND hwndOwner = nullptr;
    const wchar_t* lpstrFilter = nullptr;
    wchar_t* lpstrFile = nullptr;
    DWORD nMaxFile = 0;
    const wchar_t* lpstrInitialDir = nullptr;
    const wchar_t* lpstrTitle = nullptr;
    DWORD Flags = 0;
    const wchar_t* lpstrDefExt = nullptr;
};
BOOL GetOpenFileNameW(OPENFILENAMEW* ofn);
BOOL GetSaveFileNameW(OPENFILENAMEW* ofn);

// Opens a document or web address with the desktop's program for it; the
// result is above 32 on success.
inline constexpr int SW_SHOWMAXIMIZED = 3;
using HINSTANCE_RESULT = std::intptr_t;
HINSTANCE_RESULT ShellExecuteW(HWND owner, const wchar_t* operation, const wchar_t* file,
                               const wchar_t* parameters, const wchar_t* directory, int show);

// The system's folder browser: the chosen folder as an item list, which
// SHGetPathFromIDListW turns into a path (into MAX_PATH characters) and
// CoTaskMemFree releases; nullptr when the user cancels.
inline constexpr int MAX_PATH = 260;
inline constexpr UINT BIF_RETURNONLYFSDIRS = 0x0001;
inline constexpr UINT BIF_NEWDIALOGSTYLE = 0x0040;
struct ITEMIDLIST;
using PIDLIST_ABSOLUTE = ITEMIDLIST*;
struct BROWSEINFOW {
    HWND hwndOwner = nullptr;
    PIDLIST_ABSOLUTE pidlRoot = nullptr;
    wchar_t* pszDisplayName = nullptr; // MAX_PATH characters: the folder's own name
    const wchar_t* lpszTitle = nullptr;
    UINT ulFlags = 0;
};
PIDLIST_ABSOLUTE SHBrowseForFolderW(BROWSEINFOW* info);
BOOL SHGetPathFromIDListW(PIDLIST_ABSOLUTE item, wchar_t* path);
void CoTaskMemFree(void* memory);

// Puts a message in the window's queue and returns at once; any thread may
// post. The window's procedure receives it on the user-interface thread;
// a window gone by then never does.
BOOL PostMessageW(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

// Windows of a class: the tooltip window, and controls that a dialog makes
// at run time (menu: the control id). Child controls of the classes below.
inline constexpr const wchar_t* TOOLTIPS_CLASSW = L"tooltips_class32";
inline constexpr const wchar_t* WC_BUTTONW = L"Button";
inline constexpr const wchar_t* WC_STATICW = L"Static";
inline constexpr const wchar_t* CUSTEDITWINDOWCLASS = L"CustEdit";
inline constexpr const wchar_t* SPINNERWINDOWCLASS = L"SpinnerControl";
inline constexpr const wchar_t* COLORSWATCHWINDOWCLASS = L"ColorSwatch";
inline constexpr DWORD WS_CHILD = 0x40000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr DWORD BS_AUTOCHECKBOX = 0x00000003;
inline constexpr DWORD WS_EX_TOPMOST = 0x00000008;
inline constexpr DWORD TTS_ALWAYSTIP = 0x01;
inline constexpr DWORD TTS_NOPREFIX = 0x02;
HWND CreateWindowExW(DWORD exStyle, const wchar_t* className, const wchar_t* windowName,
                     DWORD style, int x, int y, int width, int height, HWND parent, void* menu,
                     HINSTANCE module, void* param);

// Tooltips: a tool per control, identified by the control's window.
inline constexpr UINT TTF_IDISHWND = 0x0001;
inline constexpr UINT TTF_SUBCLASS = 0x0010;
inline constexpr UINT TTM_ADDTOOLW = WM_USER + 50;
inline constexpr UINT TTM_SETMAXTIPWIDTH = WM_USER + 24;
struct TOOLINFOW {
    UINT cbSize = sizeof(TOOLINFOW);
    UINT uFlags = 0;
    HWND hwnd = nullptr;
    UINT_PTR uId = 0;
    HINSTANCE hinst = nullptr;
    const wchar_t* lpszText = nullptr;
};

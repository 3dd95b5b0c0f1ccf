// The window-system calls of the plug-in, answered by the running host's
// toolkit. A handle that names no window (or no toolkit at all) gets the
// window system's answer for a destroyed window: nothing happens, zero.
#include "host/plugin_module.h"
#include "standalone/ui/toolkit.h"

#include <algorithm>
#include <cwchar>
#include <filesystem>

namespace {

Window* find(HWND handle) {
    Toolkit* tk = Toolkit::Current();
    return tk != nullptr ? tk->Find(handle) : nullptr;
}

} // namespace

HWND GetDlgItem(HWND dialog, int id) {
    Window* d = find(dialog);
    if (d == nullptr) {
        return nullptr;
    }
    for (Window* c : d->children) {
        if (c->id == id) {
            return c->handle();
        }
    }
    return nullptr;
}

int GetDlgCtrlID(HWND control) {
    Window* w = find(control);
    return w != nullptr && w->role == WindowRole::Control ? w->id : 0;
}

HWND GetParent(HWND window) {
    Window* w = find(window);
    return w != nullptr && w->parent != nullptr ? w->parent->handle() : nullptr;
}

LRESULT SendMessageW(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    Toolkit* tk = Toolkit::Current();
    return tk != nullptr ? tk->Send(window, msg, wParam, lParam) : 0;
}

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
    return SendMessageW(GetDlgItem(dialog, id), msg, wParam, lParam);
}

BOOL EnableWindow(HWND window, BOOL enable) {
    Window* w = find(window);
    if (w == nullptr) {
        return 0;
    }
    const bool was_disabled = !w->enabled;
    if (w->enabled != (enable != 0)) {
        w->enabled = enable != 0;
        Toolkit::Current()->Touch(*w);
    }
    return was_disabled ? 1 : 0;
}

BOOL IsWindowEnabled(HWND window) {
    Window* w = find(window);
    return w != nullptr && w->enabled ? 1 : 0;
}

BOOL IsWindow(HWND window) {
    return find(window) != nullptr ? 1 : 0;
}

BOOL SetWindowTextW(HWND window, const wchar_t* text) {
    Window* w = find(window);
    if (w == nullptr) {
        return 0;
    }
    const std::wstring t = text != nullptr ? text : L"";
    if (w->text != t) {
        w->text = t;
        Toolkit::Current()->Touch(*w);
    }
    return 1;
}

int CopyBounded(const std::wstring& text, wchar_t* buffer, int max) {
    if (buffer == nullptr || max <= 0) {
        return 0;
    }
    const int n = static_cast<int>(std::min(text.size(), static_cast<std::size_t>(max - 1)));
    std::wmemcpy(buffer, text.c_str(), static_cast<std::size_t>(n));
    buffer[n] = L'\0';
    return n;
}

int GetWindowTextW(HWND window, wchar_t* text, int max) {
    Window* w = find(window);
    return CopyBounded(w != nullptr ? w->text : std::wstring(), text, max);
}

int GetWindowTextLengthW(HWND window) {
    Window* w = find(window);
    return w != nullptr ? static_cast<int>(w->text.size()) : 0;
}

BOOL SetDlgItemTextW(HWND dialog, int id, const wchar_t* text) {
    return SetWindowTextW(GetDlgItem(dialog, id), text);
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
    HWND button = GetDlgItem(dialog, id);
    if (button == nullptr) {
        return 0;
    }
    SendMessageW(button, BM_SETCHECK, check, 0);
    return 1;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
    return static_cast<UINT>(SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0));
}

LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value) {
    Window* w = find(window);
    if (w == nullptr || (index != GWLP_USERDATA && index != DWLP_USER)) {
        return 0;
    }
    LONG_PTR& slot = index == GWLP_USERDATA ? w->user_data : w->dialog_user;
    const LONG_PTR previous = slot;
    slot = value;
    return previous;
}

LONG_PTR GetWindowLongPtrW(HWND window, int index) {
    Window* w = find(window);
    if (w == nullptr) {
        return 0;
    }
    return index == GWLP_USERDATA ? w->user_data : (index == DWLP_USER ? w->dialog_user : 0);
}

BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam) {
    Window* w = find(parent);
    if (w == nullptr || proc == nullptr) {
        return 0;
    }
    std::vector<HWND> children;
    for (Window* c : w->children) {
        children.push_back(c->handle());
    }
    for (HWND c : children) {
        if (find(c) != nullptr && proc(c, lParam) == 0) {
            break;
        }
    }
    return 1;
}

BOOL SetWindowPos(HWND window, HWND /*insertAfter*/, int x, int y, int cx, int cy, UINT flags) {
    Window* w = find(window);
    if (w == nullptr) {
        return 0;
    }
    if ((flags & SWP_NOMOVE) == 0) {
        w->x = x;
        w->y = y;
    }
    if ((flags & SWP_NOSIZE) == 0) {
        w->width = cx;
        w->height = cy;
    }
    Toolkit::Current()->Touch(*w);
    return 1;
}

BOOL DestroyWindow(HWND window) {
    if (find(window) == nullptr) {
        return 0;
    }
    Toolkit::Current()->Destroy(window);
    return 1;
}

BOOL GetCursorPos(POINT* point) {
    Toolkit* tk = Toolkit::Current();
    if (point == nullptr || tk == nullptr) {
        return 0;
    }
    *point = tk->cursor();
    return 1;
}

INT_PTR DialogBoxParamW(HINSTANCE module, int templateId, HWND owner, DLGPROC proc, LPARAM param) {
    Toolkit* tk = Toolkit::Current();
    if (tk == nullptr || proc == nullptr) {
        return -1;
    }
    return tk->RunModal(module, templateId, owner, proc, param);
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    Toolkit* tk = Toolkit::Current();
    return tk != nullptr ? tk->EndModal(dialog, result) : 0;
}

int LoadStringW(HINSTANCE module, UINT id, wchar_t* buffer, int max) {
    const StringResource* s = module != nullptr ? module->FindString(id) : nullptr;
    return CopyBounded(s != nullptr ? s->text : std::wstring(), buffer, max);
}

HBITMAP LoadBitmapW(HINSTANCE module, int id) {
    return module != nullptr ? module->FindBitmap(id) : nullptr;
}

HWND CreateWindowExW(DWORD /*exStyle*/, const wchar_t* className, const wchar_t* windowName,
                     DWORD style, int x, int y, int width, int height, HWND parent, void* menu,
                     HINSTANCE /*module*/, void* /*param*/) {
    Toolkit* tk = Toolkit::Current();
    if (tk == nullptr || className == nullptr) {
        return nullptr;
    }
    Window* owner = tk->Find(parent);
    if ((style & WS_CHILD) == 0) {
        return tk->CreatePopup(className, style, owner)->handle();
    }
    if (owner == nullptr) {
        return nullptr;
    }
    Window* w =
        tk->CreateChild(*owner, className, static_cast<int>(reinterpret_cast<std::intptr_t>(menu)),
                        windowName != nullptr ? windowName : L"", style, x, y, width, height);
    return w != nullptr ? w->handle() : nullptr;
}

BOOL PostMessageW(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    Toolkit* tk = Toolkit::Current();
    if (tk == nullptr) {
        return 0;
    }
    tk->Post(window, msg, wParam, lParam);
    return 1;
}

// The folder the browser returns: what SHGetPathFromIDListW reads.
struct ITEMIDLIST {
    std::wstring path;
};

PIDLIST_ABSOLUTE SHBrowseForFolderW(BROWSEINFOW* info) {
    Toolkit* tk = Toolkit::Current();
    if (tk == nullptr || info == nullptr) {
        return nullptr;
    }
    const Toolkit::SelectorAnswer a =
        tk->TakeAnswer(info->lpszTitle != nullptr ? info->lpszTitle : L"", "folder");
    // The browser offers only folders that are there, and paths that fit.
    std::error_code ec;
    if (a.cancel || a.path.empty() || a.path.size() + 1 > MAX_PATH ||
        !std::filesystem::is_directory(std::filesystem::path(a.path), ec)) {
        return nullptr;
    }
    if (info->pszDisplayName != nullptr) {
        CopyBounded(std::filesystem::path(a.path).filename().wstring(), info->pszDisplayName,
                    MAX_PATH);
    }
    return new ITEMIDLIST{a.path};
}

BOOL SHGetPathFromIDListW(PIDLIST_ABSOLUTE item, wchar_t* path) {
    if (item == nullptr || path == nullptr) {
        return 0;
    }
    CopyBounded(item->path, path, MAX_PATH);
    return 1;
}

void CoTaskMemFree(void* memory) {
    delete static_cast<ITEMIDLIST*>(memory);
}

namespace {

BOOL file_selector(OPENFILENAMEW* ofn, const char* kind) {
    Toolkit* tk = Toolkit::Current();
    if (tk == nullptr || ofn == nullptr || ofn->lpstrFile == nullptr || ofn->nMaxFile == 0) {
        return 0;
    }
    const Toolkit::SelectorAnswer a =
        tk->TakeAnswer(ofn->lpstrTitle != nullptr ? ofn->lpstrTitle : L"", kind);
    // A path longer than the buffer, a file that must exist and does not,
    // or a folder that is not there: the system's dialog does not close on
    // them, and the user cancels in the end.
    if (a.cancel || a.path.size() + 1 > ofn->nMaxFile) {
        return 0;
    }
    const std::filesystem::path path(a.path);
    std::error_code ec;
    if ((ofn->Flags & OFN_FILEMUSTEXIST) != 0 && !std::filesystem::is_regular_file(path, ec)) {
        return 0;
    }
    if ((ofn->Flags & OFN_PATHMUSTEXIST) != 0 && path.has_parent_path() &&
        !std::filesystem::is_directory(path.parent_path(), ec)) {
        return 0;
    }
    CopyBounded(a.path, ofn->lpstrFile, static_cast<int>(ofn->nMaxFile));
    return 1;
}

} // namespace

BOOL GetOpenFileNameW(OPENFILENAMEW* ofn) {
    return file_selector(ofn, "open");
}
BOOL GetSaveFileNameW(OPENFILENAMEW* ofn) {
    return file_selector(ofn, "save");
}

HINSTANCE_RESULT ShellExecuteW(HWND, const wchar_t* /*operation*/, const wchar_t* file,
                               const wchar_t* /*parameters*/, const wchar_t* /*directory*/,
                               int /*show*/) {
    Toolkit* tk = Toolkit::Current();
    if (tk == nullptr || file == nullptr) {
        return 2; // file not found
    }
    tk->RecordOpened(file);
    return 33;
}

BOOL DisableThreadLibraryCalls(HINSTANCE /*module*/) {
    // The host starts no threads that modules would hear of.
    return 1;
}

#include "ui/tooltips.h"

#include "host/text.h"

namespace {

HWND tooltip_window(HWND owner) {
    static HWND window = nullptr;
    // The window outlives the rollout that asked first, but not the host.
    if (window == nullptr || IsWindow(window) == 0) {
        window = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                 WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0, 0, 0, owner,
                                 nullptr, nullptr, nullptr);
        if (window != nullptr) {
            SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            SendMessageW(window, TTM_SETMAXTIPWIDTH, 0, 250);
        }
    }
    return window;
}

} // namespace

void AddTooltip(HWND rollout, std::initializer_list<int> ids, const char* text) {
    HWND tip = tooltip_window(rollout);
    if (tip == nullptr) {
        return;
    }
    const std::wstring wide = Utf8ToWide(text);
    for (int id : ids) {
        HWND control = GetDlgItem(rollout, id);
        if (control == nullptr) {
            continue;
        }
        TOOLINFOW info;
        info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        info.hwnd = rollout;
        info.uId = reinterpret_cast<UINT_PTR>(control);
        info.lpszText = wide.c_str();
        SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
}

#include "ui/modifier_panel.h"

#include "host/text.h"
#include "modifier/info_text.h"
#include "plugin/control_ids.h"
#include "plugin/version.h"

INT_PTR InfoRolloutProc::DlgProc(TimeValue, IParamMap2*, HWND hWnd, UINT msg, WPARAM, LPARAM) {
    if (msg != WM_INITDIALOG) {
        return 0;
    }
    // Built once as the rollout opens; it does not follow later changes.
    const std::string text = mod_ != nullptr ? InfoText(*mod_) : std::string();
    SetDlgItemTextW(hWnd, IDC_INFO_TEXT, Utf8ToWide(text).c_str());
    return 1;
}

INT_PTR ModifierAboutProc::DlgProc(TimeValue, IParamMap2*, HWND hWnd, UINT msg, WPARAM wParam,
                                   LPARAM) {
    if (msg == WM_INITDIALOG) {
        SetDlgItemTextW(hWnd, IDC_MODIFIER_ABOUT_TEXT,
                        (ProductName() + L" " + VersionText()).c_str());
        return 1;
    }
    if (msg == WM_COMMAND && LOWORD(wParam) == IDC_LOGO) {
        ShellExecuteW(hWnd, L"open", HomePageAddress().c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
        return 1;
    }
    return 0;
}

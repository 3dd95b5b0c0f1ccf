#include "ui/rollout_frame.h"

#include "host/custcont.h"
#include "host/interface.h"
#include "ui/controls.h"
#include "ui/vellumar_utility.h"

VellumarUtility* UtilityOf(HWND rollout) {
    return reinterpret_cast<VellumarUtility*>(GetWindowLongPtrW(rollout, GWLP_USERDATA));
}

INT_PTR RolloutFrame(const RolloutBehaviour& behaviour, HWND rollout, UINT msg, WPARAM wParam,
                     LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        auto* u = reinterpret_cast<VellumarUtility*>(lParam);
        SetWindowLongPtrW(rollout, GWLP_USERDATA, lParam);
        UseAppFont(rollout);
        if (u != nullptr && behaviour.init != nullptr) {
            behaviour.init(*u, rollout);
        }
        return 1;
    }
    VellumarUtility* u = UtilityOf(rollout);
    if (u == nullptr) {
        return 0;
    }
    switch (msg) {
    case WM_DESTROY:
        // The panel keeps no custom-control interface past a call.
        SetWindowLongPtrW(rollout, GWLP_USERDATA, 0);
        return 0;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        u->SyncSettingsFromUI(id);
        if (behaviour.command != nullptr) {
            behaviour.command(*u, rollout, id, HIWORD(wParam));
        }
        return 1;
    }
    case CC_SPINNER_CHANGE:
        if (behaviour.spinner_change != nullptr) {
            behaviour.spinner_change(*u, rollout, LOWORD(wParam), HIWORD(wParam) != 0);
        }
        if (behaviour.sync_on_change) {
            u->SyncSettingsFromUI(LOWORD(wParam));
        }
        return 1;
    case CC_SPINNER_BUTTONUP:
        u->SyncSettingsFromUI(LOWORD(wParam));
        return 1;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        if (behaviour.pass_mouse) {
            GetCOREInterface()->RollupMouseMessage(rollout, msg, wParam, lParam);
        }
        return 0;
    default:
        return 0;
    }
}

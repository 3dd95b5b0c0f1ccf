#include "ui/camera_picker.h"

#include "plugin/control_ids.h"
#include "settings/settings.h"
#include "ui/controls.h"

BOOL CameraPicker::HitTest(IObjParam*, HWND, ViewExp* vpt, IPoint2, int) {
    return vpt != nullptr && vpt->HitCount() > 0 ? 1 : 0;
}

BOOL CameraPicker::Pick(IObjParam*, ViewExp* vpt) {
    INode* node = vpt != nullptr ? vpt->GetClosestHit() : nullptr;
    if (node == nullptr) {
        return 0;
    }
    settings().projection_camera = node->GetHandle();
    SetDlgItemTextW(rollout_, IDC_PICK_CAMERA, node->GetName());
    return 1;
}

void CameraPicker::EnterMode(IObjParam*) {
    active_ = true;
    SetButtonChecked(rollout_, IDC_PICK_CAMERA, true);
}

void CameraPicker::ExitMode(IObjParam*) {
    active_ = false;
    SetButtonChecked(rollout_, IDC_PICK_CAMERA, false);
    // The button may go with its rollout; the picker forgets it.
    rollout_ = nullptr;
}

// The Unwrap Parameters rollout: the five mode buttons, channel, stretch,
// gutter, the texture size, quality, preview, the group name and Unwrap.
#include "host/custcont.h"
#include "plugin/control_ids.h"
#include "plugin/module.h"
#include "plugin/resources.h"
#include "ui/controls.h"
#include "ui/rollout_frame.h"
#include "ui/rollouts.h"
#include "ui/size_controls.h"
#include "ui/tooltips.h"
#include "ui/vellumar_utility.h"

namespace {

// One list for the whole process: per mode, its button pressed in (2m) and
// out (2m + 1).
HIMAGELIST mode_images() {
    static HIMAGELIST images = nullptr;
    if (images == nullptr || ImageList_GetImageCount(images) == 0) {
        images = ImageList_Create(64, 32, ILC_COLOR32 | ILC_MASK, 4, 0);
        ImageList_Add(images, LoadBitmapW(ModuleHandle(), IDB_MODE_BUTTONS),
                      LoadBitmapW(ModuleHandle(), IDB_MODE_BUTTONS_MASK));
    }
    return images;
}

void init(VellumarUtility& u, HWND r) {
    const int mode = settings().base_unwrap;
    for (int m = 0; m < 5; ++m) {
        if (ICustButton* b = GetICustButton(GetDlgItem(r, kModeButtons[m]))) {
            b->SetType(CBT_CHECK);
            b->SetImage(mode_images(), 2 * m + 1, 2 * m, 2 * m + 1, 2 * m, 64, 32);
            b->SetCheck(mode == m ? 1 : 0);
            ReleaseICustButton(b);
        }
    }
    SetupSpinner(r, IDC_CHANNEL_SPIN, IDC_CHANNEL_EDIT, 1, 99, 1);
    SetupSpinner(r, IDC_STRETCH_SPIN, IDC_STRETCH_EDIT, 0.0f, 1.0f, 0.16666667f, 0.1f);
    if (ISpinnerControl* s = GetISpinner(GetDlgItem(r, IDC_STRETCH_SPIN))) {
        s->SetScale(0.001f);
        ReleaseISpinner(s);
    }
    SetupSpinner(r, IDC_GUTTER_SPIN, IDC_GUTTER_EDIT, 1, 32, 2);
    SetupSizeControls(r);
    SetChecked(r, IDC_HIGH_QUALITY, false);
    SetChecked(r, IDC_PREVIEW, true);
    SetDlgItemTextW(r, IDC_GROUP_NAME, L"");

    AddTooltip(r, {IDC_ORGANIC}, "Organic unwrap mode");
    AddTooltip(r, {IDC_HARD_SURFACE}, "Hard surface unwrap mode");
    AddTooltip(r, {IDC_UV_PACK}, "UV pack mode");
    AddTooltip(r, {IDC_UV_COPY}, "UV copy mode");
    AddTooltip(r, {IDC_PROJECTION}, "Projection unwrap mode");
    AddTooltip(r, {IDC_CHANNEL_LABEL, IDC_CHANNEL_EDIT, IDC_CHANNEL_SPIN},
               "The object's map channel to which the resulting UV map is written");
    AddTooltip(r, {IDC_STRETCH_LABEL, IDC_STRETCH_EDIT, IDC_STRETCH_SPIN},
               "Maximum allowed amount of stretching. Lower numbers will generate results with "
               "less stretching but more charts and seams");
    AddTooltip(r, {IDC_GUTTER_LABEL, IDC_GUTTER_EDIT, IDC_GUTTER_SPIN},
               "Padding between different UV charts. This value should be at least twice as large "
               "as the bake padding");
    AddTooltip(r, {IDC_WIDTH_LABEL, IDC_WIDTH_EDIT, IDC_WIDTH_SPIN}, "Width of the created UV map");
    AddTooltip(r, {IDC_HEIGHT_LABEL, IDC_HEIGHT_EDIT, IDC_HEIGHT_SPIN},
               "Height of the created UV map");
    AddTooltip(r, {IDC_RATIO_LABEL, IDC_RATIO_EDIT, IDC_RATIO_SPIN, IDC_ASPECT_LOCK},
               "Aspect ratio of the created UV map");
    u.UpdateCommandStates();
}

void command(VellumarUtility& u, HWND r, int id, WORD code) {
    switch (id) {
    case IDC_UNWRAP:
        u.Unwrap();
        break;
    case IDC_ASPECT_LOCK:
        LockChanged(r);
        u.SyncSettingsFromUI(id);
        break;
    case IDC_GROUP_NAME:
        // Keys typed into the name are the edit's, not the host's shortcuts.
        if (code == EN_SETFOCUS) {
            DisableAccelerators();
        } else if (code == EN_KILLFOCUS) {
            EnableAccelerators();
        }
        break;
    default:
        break;
    }
}

void spinner_change(VellumarUtility&, HWND r, int id, bool) {
    CoupleSizes(r, id);
}

const RolloutBehaviour kBehaviour{init, command, spinner_change, false, true};

} // namespace

INT_PTR UnwrapParametersProc(HWND rollout, UINT msg, WPARAM wParam, LPARAM lParam) {
    return RolloutFrame(kBehaviour, rollout, msg, wParam, lParam);
}

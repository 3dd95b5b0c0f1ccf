#include "ui/size_controls.h"

#include "host/custcont.h"
#include "plugin/control_ids.h"
#include "plugin/module.h"
#include "plugin/resources.h"
#include "ui/controls.h"

#include <algorithm>
#include <cmath>

namespace {

void show_lock_image(HWND rollout) {
    static HIMAGELIST images = nullptr;
    if (images == nullptr || ImageList_GetImageCount(images) == 0) {
        images = ImageList_Create(16, 15, ILC_COLOR32 | ILC_MASK, 1, 0);
        ImageList_Add(images, LoadBitmapW(ModuleHandle(), IDB_ASPECT_LOCK),
                      LoadBitmapW(ModuleHandle(), IDB_ASPECT_LOCK_MASK));
    }
    if (ICustButton* b = GetICustButton(GetDlgItem(rollout, IDC_ASPECT_LOCK))) {
        b->SetType(CBT_CHECK);
        b->SetImage(images, 0, 0, 0, 0, 16, 15);
        ReleaseICustButton(b);
    }
}

float ratio_of(int width, int height) {
    return std::clamp(static_cast<float>(width) / static_cast<float>(std::max(height, 1)),
                      kMinRatio, kMaxRatio);
}

} // namespace

int PartnerSize(int size, float ratio, bool sizeIsWidth) {
    const double other = sizeIsWidth ? size / static_cast<double>(ratio) : size * ratio;
    return static_cast<int>(std::clamp(std::lround(other), static_cast<long>(kMinTextureSize),
                                       static_cast<long>(kMaxTextureSize)));
}

void SetupSizeControls(HWND rollout) {
    SetupSpinner(rollout, IDC_WIDTH_SPIN, IDC_WIDTH_EDIT, kMinTextureSize, kMaxTextureSize, 1024);
    SetupSpinner(rollout, IDC_HEIGHT_SPIN, IDC_HEIGHT_EDIT, kMinTextureSize, kMaxTextureSize, 1024);
    SetupSpinner(rollout, IDC_RATIO_SPIN, IDC_RATIO_EDIT, kMinRatio, kMaxRatio, 1.0f, 0.01f);
    show_lock_image(rollout);
    SetButtonChecked(rollout, IDC_ASPECT_LOCK, true);
    EnableControl(rollout, IDC_RATIO_SPIN, false);
}

void ShowSizeSettings(HWND rollout, int width, int height, float ratio, bool locked) {
    SetSpinner(rollout, IDC_WIDTH_SPIN, width);
    SetSpinner(rollout, IDC_HEIGHT_SPIN, height);
    SetSpinner(rollout, IDC_RATIO_SPIN, ratio);
    SetButtonChecked(rollout, IDC_ASPECT_LOCK, locked);
    EnableControl(rollout, IDC_RATIO_SPIN, !locked);
}

void CoupleSizes(HWND rollout, int changedId) {
    int width = 0, height = 0;
    float ratio = 1.0f;
    if (!ReadSpinner(rollout, IDC_WIDTH_SPIN, width) ||
        !ReadSpinner(rollout, IDC_HEIGHT_SPIN, height) ||
        !ReadSpinner(rollout, IDC_RATIO_SPIN, ratio)) {
        return;
    }
    const bool locked = IsButtonChecked(rollout, IDC_ASPECT_LOCK);
    if (changedId == IDC_RATIO_SPIN) {
        SetSpinner(rollout, IDC_HEIGHT_SPIN, PartnerSize(width, ratio, true));
    } else if (changedId != IDC_WIDTH_SPIN && changedId != IDC_HEIGHT_SPIN) {
        return;
    } else if (!locked) {
        SetSpinner(rollout, IDC_RATIO_SPIN, ratio_of(width, height));
    } else {
        // The moved size stays where the user put it, unless its partner
        // would leave the range; then the moved one gives way, so that the
        // ratio holds.
        const bool moved_width = changedId == IDC_WIDTH_SPIN;
        const int moved = moved_width ? width : height;
        const double raw = moved_width ? moved / static_cast<double>(ratio) : moved * ratio;
        const int partner = PartnerSize(moved, ratio, moved_width);
        const int kept = raw >= kMinTextureSize && raw <= kMaxTextureSize
                             ? moved
                             : PartnerSize(partner, ratio, !moved_width);
        SetSpinner(rollout, moved_width ? IDC_WIDTH_SPIN : IDC_HEIGHT_SPIN, kept);
        SetSpinner(rollout, moved_width ? IDC_HEIGHT_SPIN : IDC_WIDTH_SPIN, partner);
    }
}

void LockChanged(HWND rollout) {
    // Unlocked, the ratio followed the sizes; the lock keeps it as it is.
    EnableControl(rollout, IDC_RATIO_SPIN, !IsButtonChecked(rollout, IDC_ASPECT_LOCK));
}

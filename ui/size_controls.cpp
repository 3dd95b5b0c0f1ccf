#include "ui/size_controls.h"

#include "host/custcont.h"
#include "plugin/control_ids.h"
#include "plugin/module.h"
#include "plugin/resources.h"
#include "ui/controls.h"

#include <algorithm>
#include <cmath>

namespace {

void show_lock_image(HWND rollout, int lock) {
    static HIMAGELIST images = nullptr;
    if (images == nullptr || ImageList_GetImageCount(images) == 0) {
        images = ImageList_Create(16, 15, ILC_COLOR32 | ILC_MASK, 1, 0);
        ImageList_Add(images, LoadBitmapW(ModuleHandle(), IDB_ASPECT_LOCK),
                      LoadBitmapW(ModuleHandle(), IDB_ASPECT_LOCK_MASK));
    }
    if (ICustButton* b = GetICustButton(GetDlgItem(rollout, lock))) {
        b->SetType(CBT_CHECK);
        b->SetImage(images, 0, 0, 0, 0, 16, 15);
        ReleaseICustButton(b);
    }
}

} // namespace

const SizeControlIds kPanelSizes{IDC_WIDTH_SPIN, IDC_WIDTH_EDIT, IDC_HEIGHT_SPIN, IDC_HEIGHT_EDIT,
                                 IDC_RATIO_SPIN, IDC_RATIO_EDIT, IDC_ASPECT_LOCK};
const SizeControlIds kElementSizes{
    IDC_ELEMENT_WIDTH_SPIN, IDC_ELEMENT_WIDTH, IDC_ELEMENT_HEIGHT_SPIN, IDC_ELEMENT_HEIGHT,
    IDC_ELEMENT_RATIO_SPIN, IDC_ELEMENT_RATIO, IDC_ELEMENT_LOCK};

float SizeRatio(int width, int height) {
    return std::clamp(static_cast<float>(width) / static_cast<float>(std::max(height, 1)),
                      kMinRatio, kMaxRatio);
}

int PartnerSize(int size, float ratio, bool sizeIsWidth) {
    const double other = sizeIsWidth ? size / static_cast<double>(ratio) : size * ratio;
    return static_cast<int>(std::clamp(std::lround(other), static_cast<long>(kMinTextureSize),
                                       static_cast<long>(kMaxTextureSize)));
}

void SetupSizeControls(HWND rollout, const SizeControlIds& ids) {
    SetupSpinner(rollout, ids.widthSpin, ids.widthEdit, kMinTextureSize, kMaxTextureSize, 1024);
    SetupSpinner(rollout, ids.heightSpin, ids.heightEdit, kMinTextureSize, kMaxTextureSize, 1024);
    SetupSpinner(rollout, ids.ratioSpin, ids.ratioEdit, kMinRatio, kMaxRatio, 1.0f, 0.01f);
    show_lock_image(rollout, ids.lock);
    SetButtonChecked(rollout, ids.lock, true);
    EnableControl(rollout, ids.ratioSpin, false);
}

void ShowSizeSettings(HWND rollout, int width, int height, float ratio, bool locked,
                      const SizeControlIds& ids) {
    SetSpinner(rollout, ids.widthSpin, width);
    SetSpinner(rollout, ids.heightSpin, height);
    SetSpinner(rollout, ids.ratioSpin, ratio);
    SetButtonChecked(rollout, ids.lock, locked);
    EnableControl(rollout, ids.ratioSpin, !locked);
}

void CoupleSizes(HWND rollout, int changedId, const SizeControlIds& ids) {
    int width = 0, height = 0;
    float ratio = 1.0f;
    if (!ReadSpinner(rollout, ids.widthSpin, width) ||
        !ReadSpinner(rollout, ids.heightSpin, height) ||
        !ReadSpinner(rollout, ids.ratioSpin, ratio)) {
        return;
    }
    const bool locked = IsButtonChecked(rollout, ids.lock);
    if (changedId == ids.ratioSpin) {
        SetSpinner(rollout, ids.heightSpin, PartnerSize(width, ratio, true));
    } else if (changedId != ids.widthSpin && changedId != ids.heightSpin) {
        return;
    } else if (!locked) {
        SetSpinner(rollout, ids.ratioSpin, SizeRatio(width, height));
    } else {
        // The moved size stays where the user put it, unless its partner
        // would leave the range; then the moved one gives way, so that the
        // ratio holds.
        const bool moved_width = changedId == ids.widthSpin;
        const int moved = moved_width ? width : height;
        const double raw = moved_width ? moved / static_cast<double>(ratio) : moved * ratio;
        const int partner = PartnerSize(moved, ratio, moved_width);
        const int kept = raw >= kMinTextureSize && raw <= kMaxTextureSize
                             ? moved
                             : PartnerSize(partner, ratio, !moved_width);
        SetSpinner(rollout, moved_width ? ids.widthSpin : ids.heightSpin, kept);
        SetSpinner(rollout, moved_width ? ids.heightSpin : ids.widthSpin, partner);
    }
}

void LockChanged(HWND rollout, const SizeControlIds& ids) {
    // Unlocked, the ratio followed the sizes; the lock keeps it as it is.
    EnableControl(rollout, ids.ratioSpin, !IsButtonChecked(rollout, ids.lock));
}

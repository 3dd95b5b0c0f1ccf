// Texture width, height and aspect ratio with the lock: while locked, a new
// width or height brings the other along at the ratio (and the ratio
// spinner rests); unlocked, the ratio shows width : height, and a new ratio
// keeps the width and sets the height. Sizes stay within their range.
#pragma once

#include "host/windows.h"

inline constexpr int kMinTextureSize = 1;
inline constexpr int kMaxTextureSize = 16384;
inline constexpr float kMinRatio = 1.0f / kMaxTextureSize;
inline constexpr float kMaxRatio = static_cast<float>(kMaxTextureSize);

// The controls of one set: the panel's, or those of the bake element dialog.
struct SizeControlIds {
    int widthSpin, widthEdit, heightSpin, heightEdit, ratioSpin, ratioEdit, lock;
};
extern const SizeControlIds kPanelSizes;
extern const SizeControlIds kElementSizes;

void SetupSizeControls(HWND dialog, const SizeControlIds& ids = kPanelSizes);
void ShowSizeSettings(HWND dialog, int width, int height, float ratio, bool locked,
                      const SizeControlIds& ids = kPanelSizes);
// A size spinner or the ratio spinner changed; other ids are ignored.
void CoupleSizes(HWND dialog, int changedId, const SizeControlIds& ids = kPanelSizes);
// The lock button was pressed.
void LockChanged(HWND dialog, const SizeControlIds& ids = kPanelSizes);
// width : height within the ratio's range.
float SizeRatio(int width, int height);

// The size that keeps `ratio` with the given one, within the range.
int PartnerSize(int size, float ratio, bool sizeIsWidth);

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

void SetupSizeControls(HWND rollout);
void ShowSizeSettings(HWND rollout, int width, int height, float ratio, bool locked);
// A size spinner or the ratio spinner changed; other ids are ignored.
void CoupleSizes(HWND rollout, int changedId);
// The lock button was pressed.
void LockChanged(HWND rollout);

// The size that keeps `ratio` with the given one, within the range.
int PartnerSize(int size, float ratio, bool sizeIsWidth);

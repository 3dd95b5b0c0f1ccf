// The module's resources: string table, dialog templates and bitmaps, with
// the ids the code uses to find them.
#pragma once

#include "host/resources.h"

#include <vector>

// String ids.
inline constexpr UINT IDS_CATEGORY = 2;
inline constexpr UINT IDS_UNWRAP_PARAMETERS = 4;
inline constexpr UINT IDS_ADVANCED_UNWRAP = 5;
inline constexpr UINT IDS_ABOUT = 6;
inline constexpr UINT IDS_OPTIONS = 16;
inline constexpr UINT IDS_BAKING = 17;
inline constexpr UINT IDS_NETWORK_RENDERING = 18;
inline constexpr UINT IDS_INFO = 20;
inline constexpr UINT IDS_SHELLS = 21;

// Dialog templates.
inline constexpr int IDD_UNWRAP_PARAMETERS = 101;
inline constexpr int IDD_ADVANCED_UNWRAP = 102;
inline constexpr int IDD_MODIFIER_ABOUT = 104;
inline constexpr int IDD_CHOOSE_BAKE_ELEMENTS = 105;
inline constexpr int IDD_BAKING = 106;
inline constexpr int IDD_OPTIONS = 107;
inline constexpr int IDD_PICK_SELECTION_SETS = 110;
inline constexpr int IDD_NETWORK_RENDERING = 114;
inline constexpr int IDD_INFO = 115;
inline constexpr int IDD_ADD_ELEMENTS = 118;
inline constexpr int IDD_SHELLS = 119;
inline constexpr int IDD_ABOUT = 120;

// Bitmaps.
inline constexpr int IDB_ASPECT_LOCK = 108;
inline constexpr int IDB_ASPECT_LOCK_MASK = 109;
inline constexpr int IDB_LOGO = 111;
inline constexpr int IDB_MODE_BUTTONS = 112;
inline constexpr int IDB_MODE_BUTTONS_MASK = 113;

// Width of every rollout, in pixels.
inline constexpr int kRolloutWidth = 162;

std::vector<StringResource> VellumarStrings();
std::vector<DialogTemplate> VellumarDialogTemplates();
std::vector<BitmapResource> VellumarBitmaps();

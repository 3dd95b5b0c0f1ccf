// The two-way binding between the panel's controls and the settings, and
// the rules that enable and disable controls.
#include "host/text.h"
#include "plugin/control_ids.h"
#include "ui/controls.h"
#include "ui/rollouts.h"
#include "ui/size_controls.h"
#include "ui/vellumar_utility.h"

#include <cwchar>

namespace {

// A mode button's mode, or -1.
int mode_of_button(int id) {
    for (int m = 0; m < 5; ++m) {
        if (kModeButtons[m] == id) {
            return m;
        }
    }
    return -1;
}

// The port edit as a port; false for text that is none (empty, or out of
// range), which keeps the setting as it was.
bool read_port(HWND r, int& port) {
    const std::wstring text = ControlText(r, IDC_PORT, 16);
    if (text.empty() || text.size() > 5) {
        return false;
    }
    wchar_t* end = nullptr;
    const long v = std::wcstol(text.c_str(), &end, 10);
    if (*end != L'\0' || v < 1 || v > 65535) {
        return false;
    }
    port = static_cast<int>(v);
    return true;
}

} // namespace

void VellumarUtility::SyncSettingsFromUI(int id) {
    if (!panelReady_) {
        return;
    }
    UnwrapSettings& s = settings();
    const HWND unwrap = rollouts_[kUnwrapRollout];
    const HWND advanced = rollouts_[kAdvancedRollout];
    const HWND baking = rollouts_[kBakingRollout];
    const HWND network = rollouts_[kNetworkRollout];

    ReadSpinner(advanced, IDC_TOLERANCE_SPIN, s.projection_tolerance);
    ReadSpinner(advanced, IDC_VIEW_ANGLE_SPIN, s.projection_angle);
    ReadCheck(advanced, IDC_ORTHOGRAPHIC, s.projection_orthographic);

    ReadSpinner(unwrap, IDC_CHANNEL_SPIN, s.channel);
    ReadSpinner(unwrap, IDC_STRETCH_SPIN, s.stretch);
    ReadSpinner(unwrap, IDC_WIDTH_SPIN, s.width);
    ReadSpinner(unwrap, IDC_HEIGHT_SPIN, s.height);
    ReadSpinner(unwrap, IDC_RATIO_SPIN, s.ratio);
    if (GetDlgItem(unwrap, IDC_ASPECT_LOCK) != nullptr) {
        s.aspectlock = IsButtonChecked(unwrap, IDC_ASPECT_LOCK);
    }
    ReadSpinner(unwrap, IDC_GUTTER_SPIN, s.gutter);
    ReadCheck(unwrap, IDC_HIGH_QUALITY, s.quality);
    ReadCheck(unwrap, IDC_PREVIEW, s.preview);
    if (const int mode = mode_of_button(id); mode >= 0) {
        s.base_unwrap = mode;
        for (int m = 0; m < 5; ++m) {
            SetButtonChecked(unwrap, kModeButtons[m], m == mode);
        }
    }

    ApplyModeRules();

    ReadCheck(advanced, IDC_KEEP_SEAMS, s.seams);
    ReadSpinner(advanced, IDC_SOURCE_SPIN, s.source_channel);
    if (id == IDC_KEEP_SEAMS) {
        EnableControl(advanced, IDC_SOURCE_SPIN, s.seams);
    }
    if (id == IDC_POLYGONS) {
        s.unwrapmode = Polygons;
    } else if (id == IDC_TRIANGLES) {
        s.unwrapmode = Triangles;
    }

    ReadCheck(advanced, IDC_CUT_GROOVES, s.use_concave);
    ReadSpinner(advanced, IDC_GROOVE_SPIN, s.angle_concave);
    if (id == IDC_CUT_GROOVES) {
        EnableControl(advanced, IDC_GROOVE_SPIN, s.use_concave);
    }
    ReadCheck(advanced, IDC_CUT_RIDGES, s.use_convex);
    ReadSpinner(advanced, IDC_RIDGE_SPIN, s.angle_convex);
    if (id == IDC_CUT_RIDGES) {
        EnableControl(advanced, IDC_RIDGE_SPIN, s.use_convex);
    }
    if (id == IDC_FIXED_NUMBER) {
        s.mapmode = FixedNumber;
    } else if (id == IDC_SELECTION_SETS) {
        s.mapmode = SelectionSets;
    }
    ReadSpinner(advanced, IDC_MAP_COUNT_SPIN, s.mapcount);
    EnableControl(advanced, IDC_MAP_COUNT_SPIN, s.mapmode == FixedNumber);
    EnableControl(advanced, IDC_SELECT_SETS, s.mapmode == SelectionSets);

    ReadSpinner(baking, IDC_OVERLAP_SPIN, s.padding);
    if (id == IDC_KEEP_BAKED) {
        s.keepshell = true;
    } else if (id == IDC_KEEP_SOURCE) {
        s.keepshell = false;
    }
    ReadCheck(baking, IDC_SELF_ILLUMINATION, s.add_self_illumination);
    if (bool single = false; ReadCheck(baking, IDC_SINGLE_PASS, single)) {
        s.bakemode = single ? SinglePass : Separate;
    }
    ReadCheck(baking, IDC_GROUP_NAME_TO_TEXTURES, s.add_group_name_to_textures);
    int from = s.bakerangefrom, to = s.bakerangeto;
    if (ReadSpinner(baking, IDC_FROM_SPIN, from) && ReadSpinner(baking, IDC_TO_SPIN, to)) {
        if (from > to) {
            to = from;
            SetSpinner(baking, IDC_TO_SPIN, to);
        }
        s.bakerangefrom = from;
        s.bakerangeto = to;
    }

    ReadCheck(network, IDC_NETRENDER, s.netrender);
    if (GetDlgItem(network, IDC_MANAGER) != nullptr) {
        s.manager = WideToUtf8(ControlText(network, IDC_MANAGER, 260));
    }
    read_port(network, s.port);

    UpdateCommandStates();
}

void VellumarUtility::ApplyModeRules() {
    const UnwrapSettings& s = settings();
    const HWND unwrap = rollouts_[kUnwrapRollout];
    const HWND advanced = rollouts_[kAdvancedRollout];
    const bool organic = s.base_unwrap == Organic;
    EnableControl(unwrap, IDC_STRETCH_SPIN, organic);
    EnableControl(unwrap, IDC_HIGH_QUALITY, organic);
    EnableControl(advanced, IDC_POLYGONS, organic);
    EnableControl(advanced, IDC_TRIANGLES, organic);
    const bool cuts = s.base_unwrap != UvPack && s.base_unwrap != UvCopy;
    EnableControl(advanced, IDC_CUT_GROOVES, cuts);
    EnableControl(advanced, IDC_CUT_RIDGES, cuts);
    if (cuts) {
        EnableControl(unwrap, IDC_STRETCH_SPIN, true);
    }
    EnableControl(advanced, IDC_GROOVE_SPIN, cuts && s.use_concave);
    EnableControl(advanced, IDC_RIDGE_SPIN, cuts && s.use_convex);
    const bool projection = s.base_unwrap == Projection;
    EnableControl(advanced, IDC_PICK_CAMERA, projection);
    EnableControl(advanced, IDC_TOLERANCE_SPIN, projection);
    EnableControl(advanced, IDC_ORTHOGRAPHIC, projection);
    EnableControl(advanced, IDC_VIEW_ANGLE_SPIN, projection && !s.projection_orthographic);
}

void VellumarUtility::UpdateUIFromSettings() {
    UpdateUnwrapControls();
    UpdateAdvancedControls();
    UpdateBakingControls();
    UpdateNetworkControls();
}

void VellumarUtility::UpdateUnwrapControls() {
    const UnwrapSettings& s = settings();
    const HWND r = rollouts_[kUnwrapRollout];
    panelReady_ = false;
    SetSpinner(r, IDC_CHANNEL_SPIN, s.channel);
    SetSpinner(r, IDC_STRETCH_SPIN, s.stretch);
    SetSpinner(r, IDC_GUTTER_SPIN, s.gutter);
    SetChecked(r, IDC_HIGH_QUALITY, s.quality);
    SetChecked(r, IDC_PREVIEW, s.preview);
    ShowSizeSettings(r, s.width, s.height, s.ratio, s.aspectlock);
    panelReady_ = iu_ != nullptr;
}

void VellumarUtility::UpdateAdvancedControls() {
    const UnwrapSettings& s = settings();
    const HWND unwrap = rollouts_[kUnwrapRollout];
    const HWND r = rollouts_[kAdvancedRollout];
    panelReady_ = false;
    for (int m = 0; m < 5; ++m) {
        SetButtonChecked(unwrap, kModeButtons[m], s.base_unwrap == m);
    }
    INode* camera = s.projection_camera != 0
                        ? GetCOREInterface()->GetINodeByHandle(s.projection_camera)
                        : nullptr;
    SetDlgItemTextW(r, IDC_PICK_CAMERA, camera != nullptr ? camera->GetName() : L"Pick Camera");
    SetSpinner(r, IDC_VIEW_ANGLE_SPIN, s.projection_angle);
    SetSpinner(r, IDC_TOLERANCE_SPIN, s.projection_tolerance);
    SetChecked(r, IDC_ORTHOGRAPHIC, s.projection_orthographic);
    SetChecked(r, IDC_KEEP_SEAMS, s.seams);
    SetSpinner(r, IDC_SOURCE_SPIN, s.source_channel);
    EnableControl(r, IDC_SOURCE_SPIN, s.seams);
    SetChecked(r, IDC_CUT_GROOVES, s.use_concave);
    SetSpinner(r, IDC_GROOVE_SPIN, s.angle_concave);
    SetChecked(r, IDC_CUT_RIDGES, s.use_convex);
    SetSpinner(r, IDC_RIDGE_SPIN, s.angle_convex);
    SetChecked(r, IDC_POLYGONS, s.unwrapmode == Polygons);
    SetChecked(r, IDC_TRIANGLES, s.unwrapmode == Triangles);
    SetChecked(r, IDC_FIXED_NUMBER, s.mapmode == FixedNumber);
    SetChecked(r, IDC_SELECTION_SETS, s.mapmode == SelectionSets);
    SetSpinner(r, IDC_MAP_COUNT_SPIN, s.mapcount);
    EnableControl(r, IDC_MAP_COUNT_SPIN, s.mapmode == FixedNumber);
    EnableControl(r, IDC_SELECT_SETS, s.mapmode == SelectionSets);
    ApplyModeRules();
    panelReady_ = iu_ != nullptr;
}

void VellumarUtility::UpdateBakingControls() {
    const UnwrapSettings& s = settings();
    const HWND r = rollouts_[kBakingRollout];
    const HWND shells = rollouts_[kShellsRollout];
    panelReady_ = false;
    SetSpinner(r, IDC_OVERLAP_SPIN, s.padding);
    SetChecked(r, IDC_ADD_SHELL, s.create_shell);
    SetChecked(r, IDC_OVERWRITE, !s.create_shell);
    SetChecked(shells, IDC_KEEP_BAKED, s.keepshell);
    SetChecked(shells, IDC_KEEP_SOURCE, !s.keepshell);
    SetChecked(r, IDC_SELF_ILLUMINATION, s.add_self_illumination);
    SetChecked(r, IDC_SINGLE_PASS, s.bakemode == SinglePass);
    SetChecked(r, IDC_GROUP_NAME_TO_TEXTURES, s.add_group_name_to_textures);
    SetChecked(r, IDC_SINGLE_FRAME, !s.bakerange);
    SetChecked(r, IDC_FRAME_RANGE, s.bakerange);
    // The range spinners too: left showing old values, the next command's
    // sync would write those back over a loaded preset's range.
    SetSpinner(r, IDC_FROM_SPIN, s.bakerangefrom);
    SetSpinner(r, IDC_TO_SPIN, s.bakerangeto);
    SetDlgItemTextW(r, IDC_MAP_PATH, Utf8ToWide(s.outpath).c_str());
    panelReady_ = iu_ != nullptr;
}

void VellumarUtility::UpdateNetworkControls() {
    const UnwrapSettings& s = settings();
    const HWND r = rollouts_[kNetworkRollout];
    panelReady_ = false;
    SetChecked(r, IDC_NETRENDER, s.netrender);
    SetDlgItemTextW(r, IDC_MANAGER, Utf8ToWide(s.manager).c_str());
    SetDlgItemTextW(r, IDC_PORT, std::to_wstring(s.port).c_str());
    SetDlgItemTextW(r, IDC_NETPATH, Utf8ToWide(s.netpath).c_str());
    panelReady_ = iu_ != nullptr;
}

void VellumarUtility::UpdateCommandStates() {
    const UnwrapSettings& s = settings();
    const bool can_unwrap = (s.mapmode == FixedNumber && GetCOREInterface() != nullptr &&
                             GetCOREInterface()->GetSelNodeCount() > 0) ||
                            (s.mapmode == SelectionSets && !unwrapper_.chosen_sets.empty());
    EnableControl(rollouts_[kUnwrapRollout], IDC_UNWRAP, can_unwrap);
    EnableControl(rollouts_[kAdvancedRollout], IDC_SELECT_SETS, s.mapmode == SelectionSets);
    const bool group = GetSelectedGroupKey().has_value();
    EnableControl(rollouts_[kBakingRollout], IDC_BAKE_GROUP, group);
    EnableControl(rollouts_[kBakingRollout], IDC_REMOVE_GROUP, group);
}

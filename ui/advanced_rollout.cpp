// The Advanced Unwrap Settings rollout: kept seams, groove and ridge cuts,
// polygons or triangles, the projection camera and the distribution over
// several maps.
#include "host/custcont.h"
#include "host/interface.h"
#include "plugin/control_ids.h"
#include "ui/controls.h"
#include "ui/rollout_frame.h"
#include "ui/rollouts.h"
#include "ui/selection_sets.h"
#include "ui/tooltips.h"
#include "ui/vellumar_utility.h"

namespace {

void init(VellumarUtility& u, HWND r) {
    const UnwrapSettings& s = settings();
    SetChecked(r, IDC_KEEP_SEAMS, s.seams);
    SetupSpinner(r, IDC_SOURCE_SPIN, IDC_SOURCE_EDIT, 1, 99, 1);
    SetChecked(r, IDC_CUT_GROOVES, s.use_concave);
    SetupSpinner(r, IDC_GROOVE_SPIN, IDC_GROOVE_EDIT, 0.0f, 180.0f, 90.0f, 0.1f);
    SetChecked(r, IDC_CUT_RIDGES, s.use_convex);
    SetupSpinner(r, IDC_RIDGE_SPIN, IDC_RIDGE_EDIT, 0.0f, 180.0f, 90.0f, 0.1f);
    SetChecked(r, IDC_POLYGONS, s.unwrapmode == Polygons);
    SetChecked(r, IDC_TRIANGLES, s.unwrapmode == Triangles);
    if (ICustButton* b = GetICustButton(GetDlgItem(r, IDC_PICK_CAMERA))) {
        b->SetType(CBT_CHECK);
        ReleaseICustButton(b);
    }
    SetupSpinner(r, IDC_VIEW_ANGLE_SPIN, IDC_VIEW_ANGLE_EDIT, 0.0f, 180.0f, 45.0f, 0.1f);
    SetupSpinner(r, IDC_TOLERANCE_SPIN, IDC_TOLERANCE_EDIT, -90.0f, 90.0f, 0.0f, 0.1f);
    SetChecked(r, IDC_ORTHOGRAPHIC, s.projection_orthographic);
    SetChecked(r, IDC_FIXED_NUMBER, s.mapmode == FixedNumber);
    SetChecked(r, IDC_SELECTION_SETS, s.mapmode == SelectionSets);
    SetupSpinner(r, IDC_MAP_COUNT_SPIN, IDC_MAP_COUNT_EDIT, 1, 999, 1);

    const char* grooves = "Break charts on grooves with with at least this angle between "
                          "adjacent faces";
    const char* ridges = "Break charts on ridges with with at least this angle between adjacent "
                         "faces";
    AddTooltip(r, {IDC_CUT_GROOVES, IDC_GROOVE_EDIT, IDC_GROOVE_SPIN}, grooves);
    AddTooltip(r, {IDC_CUT_RIDGES, IDC_RIDGE_EDIT, IDC_RIDGE_SPIN}, ridges);
    AddTooltip(r, {IDC_PICK_CAMERA}, "Pick a reference camera for the unwrap");
    AddTooltip(r, {IDC_VIEW_ANGLE_LABEL, IDC_VIEW_ANGLE_EDIT, IDC_VIEW_ANGLE_SPIN},
               "Unwrap camera view angle");
    AddTooltip(r, {IDC_TOLERANCE_LABEL, IDC_TOLERANCE_EDIT, IDC_TOLERANCE_SPIN},
               "Positive values increase the tolerance for backfacing polygons, negative values "
               "decrease the tolerance");
    AddTooltip(r, {IDC_ORTHOGRAPHIC}, "Ignore perspective for unwrapping");
    AddTooltip(r, {IDC_MAP_COUNT_LABEL, IDC_MAP_COUNT_EDIT, IDC_MAP_COUNT_SPIN},
               "Distribute objects over multiple UV maps");
    AddTooltip(r, {IDC_FIXED_NUMBER}, "Distribute over a fixed number of UV maps");
    AddTooltip(r, {IDC_SELECTION_SETS}, "Distribute over UV maps based on selection sets");
    AddTooltip(r, {IDC_SELECT_SETS}, "Pick selection sets");
    AddTooltip(r, {IDC_KEEP_SEAMS},
               "If checked all seams that already exist on the mesh will be kept while "
               "unwrapping");
    AddTooltip(r, {IDC_POLYGONS}, "All UV chart borders will be aligned to polygon boundaries");
    AddTooltip(r, {IDC_TRIANGLES},
               "All UV chart borders will be aligned to triangle boundaries. Seams can cut along "
               "every edge without paying special attention to the mesh's polygon structure");
    u.UpdateCommandStates();
}

void command(VellumarUtility& u, HWND r, int id, WORD) {
    if (id == IDC_SELECT_SETS) {
        PickSelectionSets(u);
        return;
    }
    if (id != IDC_PICK_CAMERA) {
        return;
    }
    // The button starts picking, and a second press ends it.
    CameraPicker& picker = u.camera_picker();
    if (picker.active()) {
        GetCOREInterface()->ClearPickMode();
    } else {
        picker.SetRollout(r);
        GetCOREInterface()->SetPickMode(&picker);
    }
}

const RolloutBehaviour kBehaviour{init, command, nullptr, false, true};

} // namespace

INT_PTR AdvancedUnwrapProc(HWND rollout, UINT msg, WPARAM wParam, LPARAM lParam) {
    return RolloutFrame(kBehaviour, rollout, msg, wParam, lParam);
}

#include "ui/vellumar_utility.h"

#include "netrender/net_render.h"

#include "host/text.h"
#include "modifier/unwrap_groups.h"
#include "netrender/net_render.h"
#include "plugin/control_ids.h"
#include "plugin/module.h"
#include "plugin/resources.h"
#include "ui/controls.h"
#include "ui/rollouts.h"

namespace {

struct RolloutEntry {
    UtilityRollout which;
    int dialog;
    UINT title;
    DLGPROC proc;
};

// In the order they are added; the Network Rendering rollout stands last.
constexpr RolloutEntry kRollouts[] = {
    {kUnwrapRollout, IDD_UNWRAP_PARAMETERS, IDS_UNWRAP_PARAMETERS, UnwrapParametersProc},
    {kAdvancedRollout, IDD_ADVANCED_UNWRAP, IDS_ADVANCED_UNWRAP, AdvancedUnwrapProc},
    {kBakingRollout, IDD_BAKING, IDS_BAKING, BakingProc},
    {kShellsRollout, IDD_SHELLS, IDS_SHELLS, ShellsProc},
    {kOptionsRollout, IDD_OPTIONS, IDS_OPTIONS, OptionsProc},
    {kAboutRollout, IDD_ABOUT, IDS_ABOUT, AboutProc},
    {kNetworkRollout, IDD_NETWORK_RENDERING, IDS_NETWORK_RENDERING, NetworkRenderingProc},
};

void refresh_hook() {
    TheVellumarUtility().RefreshUnwrapGroupList();
}

} // namespace

void VellumarUtility::BeginEditParams(Interface* ip, IUtil* iu) {
    panelReady_ = false;
    iu_ = iu;
    RemoveRollouts(ip);
    for (const RolloutEntry& e : kRollouts) {
        wchar_t title[256];
        LoadStringW(ModuleHandle(), e.title, title, 256);
        rollouts_[e.which] =
            ip->AddRollupPage(ModuleHandle(), e.dialog, e.proc, title,
                              reinterpret_cast<LPARAM>(this), 0, ROLLUP_CAT_STANDARD);
    }
    UpdateUIFromSettings();
    SetUnwrapGroupListRefresh(refresh_hook);
    // The job monitor runs on the manager's thread: it only posts.
    SetJobStateListener(
        [status = rollouts_[kNetworkRollout]] { PostMessageW(status, WM_NET_STATUS, 0, 0); });
    RefreshUnwrapGroupList();
    panelReady_ = true;
}

void VellumarUtility::EndEditParams(Interface* ip, IUtil*) {
    iu_ = nullptr;
    // Picking ends with the button that shows it.
    if (picker_.active()) {
        ip->ClearPickMode();
    }
    SetJobStateListener(nullptr);
    RemoveRollouts(ip);
    SetUnwrapGroupListRefresh(nullptr);
    panelReady_ = false;
}

void VellumarUtility::RemoveRollouts(Interface* ip) {
    for (HWND& r : rollouts_) {
        if (r != nullptr) {
            const HWND window = r;
            r = nullptr;
            ip->DeleteRollupPage(window);
        }
    }
}

void VellumarUtility::SelectionSetChanged(Interface* ip, IUtil*) {
    INamedSelectionSetManager& sets = ip->GetNamedSelectionSetManager();
    std::vector<std::wstring>& chosen = unwrapper_.chosen_sets;
    for (std::size_t i = chosen.size(); i-- > 0;) {
        bool exists = false;
        for (int k = 0; k < sets.GetNumNamedSelSets() && !exists; ++k) {
            const MCHAR* name = sets.GetNamedSelSetName(k);
            exists = name != nullptr && chosen[i] == name;
        }
        if (!exists) {
            chosen.erase(chosen.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    UpdateCommandStates();
}

void VellumarUtility::RefreshUnwrapGroupList() {
    groupIndex_.clear();
    const HWND baking = rollouts_[kBakingRollout];
    if (GetDlgItem(baking, IDC_UNWRAP_GROUP) == nullptr) {
        UpdateCommandStates();
        return;
    }
    SendDlgItemMessageW(baking, IDC_UNWRAP_GROUP, CB_RESETCONTENT, 0, 0);
    int i = 0;
    for (const auto& [key, name] : CollectUnwrapGroups()) {
        const std::wstring wide = Utf8ToWide(name);
        const auto item = static_cast<WPARAM>(SendDlgItemMessageW(
            baking, IDC_UNWRAP_GROUP, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str())));
        SendDlgItemMessageW(baking, IDC_UNWRAP_GROUP, CB_SETITEMDATA, item, i);
        SendDlgItemMessageW(baking, IDC_UNWRAP_GROUP, CB_SETCURSEL, item, 0);
        groupIndex_[i] = key;
        ++i;
    }
    UpdateCommandStates();
}

std::optional<std::uint64_t> VellumarUtility::GetSelectedGroupKey() const {
    const HWND baking = rollouts_[kBakingRollout];
    const LRESULT item = SendDlgItemMessageW(baking, IDC_UNWRAP_GROUP, CB_GETCURSEL, 0, 0);
    if (GetDlgItem(baking, IDC_UNWRAP_GROUP) == nullptr || item == CB_ERR) {
        return std::nullopt;
    }
    const LRESULT index =
        SendDlgItemMessageW(baking, IDC_UNWRAP_GROUP, CB_GETITEMDATA, static_cast<WPARAM>(item), 0);
    auto it = groupIndex_.find(static_cast<int>(index));
    if (it == groupIndex_.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::string VellumarUtility::GetGroupName() const {
    const std::string name =
        WideToUtf8(ControlText(rollouts_[kUnwrapRollout], IDC_GROUP_NAME, 260));
    return name.empty() ? "unnamed" : name;
}

void VellumarUtility::Unwrap() {
    unwrapper_.run(GetGroupName());
    RefreshUnwrapGroupList();
}

void VellumarUtility::RemoveGroup() {
    if (const std::optional<std::uint64_t> key = GetSelectedGroupKey()) {
        // Refreshes the list itself.
        RemoveUnwrapGroup(*key);
    }
}

const std::vector<ClassDesc*>& VellumarUtility::material_classes() {
    if (!materialClassesBuilt_) {
        materialClassesBuilt_ = true;
        materialClasses_ = TargetMaterialClasses();
    }
    return materialClasses_;
}

std::vector<std::string>& VellumarUtility::slot_names() {
    material_classes();
    // A preset or Load Default may have named another target material
    // since the names were taken.
    if (slotNamesOf_ != settings().target_material) {
        slotNamesOf_ = settings().target_material;
        if (ClassDesc* target = FindMaterialClass(slotNamesOf_)) {
            SlotNamesOfClass(target, slotNames_);
        }
    }
    return slotNames_;
}

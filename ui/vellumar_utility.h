// The utility panel in which the user works: a column of rollouts in the
// host's utility command panel that edits the one settings record, runs
// the unwrap, lists the scene's unwrap groups and holds the bake, shell,
// preset and about controls.
#pragma once

#include "bake/baked_materials.h"
#include "host/utilapi.h"
#include "ui/camera_picker.h"
#include "unwrap/unwrapper.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// The seven rollouts, in the order they are removed.
enum UtilityRollout {
    kUnwrapRollout,
    kAdvancedRollout,
    kBakingRollout,
    kShellsRollout,
    kOptionsRollout,
    kAboutRollout,
    kNetworkRollout,
    kRolloutCount
};

class VellumarUtility : public UtilityObj {
  public:
    VellumarUtility() = default;
    VellumarUtility(const VellumarUtility&) = delete;
    VellumarUtility& operator=(const VellumarUtility&) = delete;

    void BeginEditParams(Interface* ip, IUtil* iu) override;
    void EndEditParams(Interface* ip, IUtil* iu) override;
    void SelectionSetChanged(Interface* ip, IUtil* iu) override;
    void DeleteThis() override {}
    void SetStartupParam(const MCHAR*) override {}

    // Reads every bound control into the settings and applies the enabling
    // rules; `id` is the control that sent the command. Nothing while the
    // panel is not ready.
    void SyncSettingsFromUI(int id);
    // Writes the settings into the controls.
    void UpdateUIFromSettings();
    void UpdateCommandStates();
    void RefreshUnwrapGroupList();
    std::optional<std::uint64_t> GetSelectedGroupKey() const;
    // The Unwrap Group Name edit's text, "unnamed" when empty.
    std::string GetGroupName() const;

    // Commands.
    void Unwrap();
    void RemoveGroup();

    HWND rollout(UtilityRollout r) const { return rollouts_[r]; }
    bool panel_ready() const { return panelReady_; }
    Unwrapper& unwrapper() { return unwrapper_; }
    MaterialAssigner& material_assigner() { return assigner_; }
    // The Target Material choices, built the first time they are needed.
    const std::vector<ClassDesc*>& material_classes();
    // The map slot names of the settings' target material.
    std::vector<std::string>& slot_names();
    CameraPicker& camera_picker() { return picker_; }

  private:
    void RemoveRollouts(Interface* ip);
    // The enabling rules that follow the unwrap mode.
    void ApplyModeRules();
    void UpdateUnwrapControls();
    void UpdateAdvancedControls();
    void UpdateBakingControls();
    void UpdateNetworkControls();

    Unwrapper unwrapper_;
    MaterialAssigner assigner_;
    CameraPicker picker_;
    std::vector<ClassDesc*> materialClasses_;
    bool materialClassesBuilt_ = false;
    std::vector<std::string> slotNames_;
    std::string slotNamesOf_; // the target material the names came from
    std::array<HWND, kRolloutCount> rollouts_{};
    bool panelReady_ = false;
    IUtil* iu_ = nullptr;
    std::map<int, std::uint64_t> groupIndex_;
};

// The module's one utility object.
VellumarUtility& TheVellumarUtility();

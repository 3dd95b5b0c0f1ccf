// The modifier's panel: the Info rollout listing the modifier's UV sets and
// the About rollout with the version.
#pragma once

#include "host/iparamb2.h"

class VellumarModifier;

class InfoRolloutProc : public ParamMap2UserDlgProc {
  public:
    INT_PTR DlgProc(TimeValue t, IParamMap2* map, HWND hWnd, UINT msg, WPARAM wParam,
                    LPARAM lParam) override;
    void DeleteThis() override {}
    // The modifier whose panel opens next (nullptr: none).
    void SetModifier(VellumarModifier* mod) { mod_ = mod; }
    VellumarModifier* modifier() const { return mod_; }

  private:
    VellumarModifier* mod_ = nullptr;
};

class ModifierAboutProc : public ParamMap2UserDlgProc {
  public:
    INT_PTR DlgProc(TimeValue t, IParamMap2* map, HWND hWnd, UINT msg, WPARAM wParam,
                    LPARAM lParam) override;
    void DeleteThis() override {}
};

// The module's two procedure objects.
InfoRolloutProc& TheInfoRolloutProc();
ModifierAboutProc& TheModifierAboutProc();

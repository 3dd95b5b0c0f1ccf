// Pick Camera: while it runs, a click on a node in a viewport makes that
// node the projection unwrap's reference camera.
#pragma once

#include "host/pick_mode.h"

class CameraPicker : public PickModeCallback {
  public:
    // The Advanced Unwrap Settings rollout whose button shows the mode.
    void SetRollout(HWND rollout) { rollout_ = rollout; }
    bool active() const { return active_; }

    // Any node can be picked; a camera is not required.
    BOOL HitTest(IObjParam* ip, HWND hWnd, ViewExp* vpt, IPoint2 m, int flags) override;
    // A click on empty space keeps picking.
    BOOL Pick(IObjParam* ip, ViewExp* vpt) override;
    BOOL RightClick(IObjParam*, ViewExp*) override { return 1; }
    void EnterMode(IObjParam* ip) override;
    void ExitMode(IObjParam* ip) override;

  private:
    HWND rollout_ = nullptr;
    bool active_ = false;
};

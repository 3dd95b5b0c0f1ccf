// Pick modes: while one is set, a click in a viewport picks a node for the
// plug-in instead of selecting it.
#pragma once

#include "host/inode.h"
#include "host/windows.h"

class Interface;
using IObjParam = Interface;

struct IPoint2 {
    int x = 0;
    int y = 0;
};

// The viewport a pick happens in, with the nodes its last hit test found.
class ViewExp {
  public:
    virtual ~ViewExp() = default;
    // The hit nearest to the eye, or nullptr.
    virtual INode* GetClosestHit() = 0;
    virtual int HitCount() = 0;
};

class PickModeCallback {
  public:
    virtual ~PickModeCallback() = default;
    // Whether a pickable node lies under the point.
    virtual BOOL HitTest(IObjParam* ip, HWND hWnd, ViewExp* vpt, IPoint2 m, int flags) = 0;
    // TRUE ends the pick mode.
    virtual BOOL Pick(IObjParam* ip, ViewExp* vpt) = 0;
    // TRUE ends the pick mode.
    virtual BOOL RightClick(IObjParam* /*ip*/, ViewExp* /*vpt*/) { return 0; }
    virtual void EnterMode(IObjParam* /*ip*/) {}
    virtual void ExitMode(IObjParam* /*ip*/) {}
};

// The neutral view through which the run asks objects for their render mesh:
// identity world-to-view, a 640 x 480 screen, nothing drawn.
#pragma once

#include "host/object.h"

class NullView : public View {
  public:
    NullView() {
        worldToView.IdentityMatrix();
        screenW = 640.0f;
        screenH = 480.0f;
    }
    Point2 ViewToScreen(Point3 p) override { return Point2(p.x, p.y); }
    int CheckForRenderAbort() override { return 0; }
    int GetViewID() override { return 0; }
};

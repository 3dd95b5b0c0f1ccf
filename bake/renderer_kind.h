// Which renderer the scene uses decides how a bake can run (single pass or
// per object, how projection works). Renderers are recognised by class id or
// by name, and V-Ray by the version in its name.
#pragma once

#include "host/max_types.h"

#include <string>

enum RendererKind : int {
    Other = 0,
    Scanline = 1,
    MentalRay = 2,
    FinalRender = 3,
    VRayOld = 4,
    VRay = 5,
    Brazil = 6,
    VueFile = 7,
    Corona = 8,
};

// The kind of a renderer of that class name and class id.
RendererKind RendererKindOf(const std::string& className, Class_ID classID);

// The kind of the scene's current renderer; Other when there is none.
RendererKind CurrentRendererKind();

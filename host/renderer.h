// The scene's renderer, as far as the plug-in asks about it: which class it
// is and what it calls itself (the name carries the version of some).
#pragma once

#include "host/animatable.h"

#include <string>

inline constexpr SClass_ID RENDERER_CLASS_ID = 0xF00;
inline constexpr Class_ID scanlineRendererClassID(1, 0);

class Renderer : public ReferenceTarget {
  public:
    SClass_ID SuperClassID() override { return RENDERER_CLASS_ID; }
    virtual void GetClassName(std::wstring& name) = 0;
};

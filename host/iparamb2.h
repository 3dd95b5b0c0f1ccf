// Parameter blocks: the numbered, animatable values a plug-in class keeps
// (the shell material's choice of sub-material for viewports and renders).
#pragma once

#include "host/max_types.h"

using ParamID = short;

class IParamBlock2 {
  public:
    virtual ~IParamBlock2() = default;
    virtual int NumParams() = 0;
    // False when the block has no integer parameter of that id or the value
    // is out of its range.
    virtual BOOL SetValue(ParamID id, TimeValue t, int v, int tabIndex = 0) = 0;
    // 0 when the block has no integer parameter of that id.
    virtual int GetInt(ParamID id, TimeValue t = 0, int tabIndex = 0) = 0;
};

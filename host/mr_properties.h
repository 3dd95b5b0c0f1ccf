// A node's mental ray properties, for the renderers that read them.
#pragma once

#include "host/base_interface.h"

inline constexpr Interface_ID NODEMENTALRAYPROPERTIES_INTERFACE(0x1c763921, 0x4d542752);

class INodeMentalRayProperties : public BaseInterface {
  public:
    enum CastModeFG { kCastModeFG_ObjColor = 0, kCastModeFG_Black = 1, kCastModeFG_Invisible = 2 };

    virtual void MRSetCastModeFGIllum(CastModeFG mode) = 0;
    virtual void MRSetReceiveFGIllum(bool onOff) = 0;
    virtual void MRSetExcludeGlobalIllum(bool onOff) = 0;
    virtual void MRSetExcludeCaustics(bool onOff) = 0;
};

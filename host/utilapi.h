// Utility plug-ins: an object that opens its rollouts in the host's utility
// command panel while the user works with it.
#pragma once

#include "host/interface.h"

class IUtil {
  public:
    virtual ~IUtil() = default;
    // Leaves the utility (the host then calls EndEditParams).
    virtual void CloseUtility() = 0;
};

class UtilityObj {
  public:
    virtual ~UtilityObj() = default;
    virtual void BeginEditParams(Interface* ip, IUtil* iu) = 0;
    virtual void EndEditParams(Interface* ip, IUtil* iu) = 0;
    // The user changed the scene's named selection sets.
    virtual void SelectionSetChanged(Interface* /*ip*/, IUtil* /*iu*/) {}
    virtual void DeleteThis() = 0;
    virtual void SetStartupParam(const MCHAR* /*param*/) {}
};

inline constexpr SClass_ID UTILITY_CLASS_ID = 0x1020;

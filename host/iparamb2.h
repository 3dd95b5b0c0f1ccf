// Parameter blocks: the numbered, animatable values a plug-in class keeps
// (the shell material's choice of sub-material for viewports and renders),
// and their descriptors, whose rollouts the host opens as the class's panel.
#pragma once

#include "host/class_desc.h"
#include "host/windows.h"

#include <vector>

using ParamID = short;
using BlockID = short;
using MapID = short;
using StringResID = int;

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

// One rollout of an automatic panel.
class IParamMap2 {
  public:
    virtual ~IParamMap2() = default;
    virtual HWND GetHWnd() = 0;
    virtual MapID GetMapID() = 0;
};

// The plug-in's procedure behind an automatic rollout; it sees every
// message first and answers FALSE for those it leaves to the host.
class ParamMap2UserDlgProc {
  public:
    virtual ~ParamMap2UserDlgProc() = default;
    virtual INT_PTR DlgProc(TimeValue t, IParamMap2* map, HWND hWnd, UINT msg, WPARAM wParam,
                            LPARAM lParam) = 0;
    virtual void DeleteThis() = 0;
};

// Descriptor flags.
inline constexpr int P_AUTO_CONSTRUCT = 0x0002;
inline constexpr int P_AUTO_UI = 0x0004;
inline constexpr int P_MULTIMAP = 0x0100;

struct ParamRollout {
    MapID mapId = 0;
    int dialogTemplate = 0;
    StringResID title = 0;
    DWORD flagMask = 0;
    DWORD rolloutFlags = 0;
    ParamMap2UserDlgProc* proc = nullptr;
};

// Registers itself with its class descriptor, which opens its rollouts in
// the class's panel (ClassDesc2::BeginEditParams).
class ParamBlockDesc2 {
  public:
    ParamBlockDesc2(BlockID id, const MCHAR* internalName, StringResID localName, ClassDesc2* owner,
                    int flags, int refNo, std::vector<ParamRollout> rollouts)
        : ID(id), int_name(internalName), local_name(localName), cd(owner), flags(flags),
          ref_no(refNo), rollouts(std::move(rollouts)) {
        if (cd != nullptr) {
            cd->AddParamBlockDesc(this);
        }
    }
    ParamBlockDesc2(const ParamBlockDesc2&) = delete;
    ParamBlockDesc2& operator=(const ParamBlockDesc2&) = delete;
    // The descriptor defines no parameters.
    int Count() const { return 0; }

    BlockID ID;
    const MCHAR* int_name;
    StringResID local_name;
    ClassDesc2* cd;
    int flags;
    int ref_no;
    std::vector<ParamRollout> rollouts;
};

// A node's render-to-texture settings: the bake elements it renders, the
// map channel it bakes through, how many texels the bake spreads past chart
// borders, and whether baking is on. Reached with
// node->GetInterface(NODE_BAKE_PROPERTIES_INTERFACE).
#pragma once

#include "host/animatable.h"
#include "host/bake_element.h"
#include "host/base_interface.h"

inline constexpr Interface_ID NODE_BAKE_PROPERTIES_INTERFACE(0x3e5d0f38, 0x37e500ac);

class INodeBakeProperties : public BaseInterface {
  public:
    virtual BOOL GetBakeEnabled() = 0;
    virtual void SetBakeEnabled(BOOL on) = 0;
    virtual int GetBakeMapChannel() = 0;
    virtual void SetBakeMapChannel(int channel) = 0;
    virtual int GetNDilations() = 0;
    virtual void SetNDilations(int n) = 0;
    virtual int GetBakeElementCount() = 0;
    virtual MaxBakeElement* GetBakeElement(int i) = 0;
    // The node owns the element from here on.
    virtual BOOL AddBakeElement(MaxBakeElement* element) = 0;
    virtual void RemoveAllBakeElements() = 0;
    // Back to no elements, channel 1, two dilations, baking off.
    virtual void ResetBakeProps() = 0;
};

inline constexpr Interface_ID NODE_BAKE_PROJ_PROPERTIES_INTERFACE(0x59d919b5, 0x1ff52ef6);

// A node's projection bake: instead of its own surface, the node's bake
// elements show the surfaces of the projection modifier's source objects,
// found either by equal texture coordinates in the sub-object bake channel
// (UVW match) or by rays leaving the node's surface (ray trace). Reached with
// node->GetInterface(NODE_BAKE_PROJ_PROPERTIES_INTERFACE).
class INodeBakeProjProperties : public BaseInterface {
  public:
    enum ProjSpace { k_ProjSpace_Raytrace = 0, k_ProjSpace_UVW = 1 };

    virtual BOOL GetEnabled() = 0;
    virtual void SetEnabled(BOOL b) = 0;
    // The projection modifier that holds the source objects.
    virtual ReferenceTarget* GetProjMod() = 0;
    virtual void SetProjMod(ReferenceTarget* refTarg) = 0;
    virtual BOOL GetUseCage() = 0;
    virtual void SetUseCage(BOOL b) = 0;
    virtual BOOL GetWarnRayMiss() = 0;
    virtual void SetWarnRayMiss(BOOL b) = 0;
    virtual float GetRayOffset() = 0;
    virtual void SetRayOffset(float f) = 0;
    virtual int GetProjSpace() = 0;
    virtual void SetProjSpace(int projSpace) = 0;
    virtual int GetBakeChannel() = 0;
    virtual void SetBakeChannel(int channel) = 0;
};

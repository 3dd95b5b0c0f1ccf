// A node's render-to-texture settings: the bake elements it renders, the
// map channel it bakes through, how many texels the bake spreads past chart
// borders, and whether baking is on. Reached with
// node->GetInterface(NODE_BAKE_PROPERTIES_INTERFACE).
#pragma once

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

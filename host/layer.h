// Layers: named groups of nodes. Every node is on exactly one layer; the
// layer "0" always exists and takes the nodes of a deleted layer.
#pragma once

#include "host/max_types.h"

#include <string>

class INode;

class ILayer {
  public:
    virtual ~ILayer() = default;
    virtual const MCHAR* GetName() const = 0;
    // Moves the node here from whatever layer held it.
    virtual bool AddToLayer(INode* node) = 0;
};

class ILayerManager {
  public:
    virtual ~ILayerManager() = default;
    virtual int GetLayerCount() = 0;
    // nullptr when no layer has that name.
    virtual ILayer* GetLayer(const std::wstring& name) const = 0;
    // The new layer; nullptr when the name is taken.
    virtual ILayer* CreateLayer(const std::wstring& name) = 0;
    // False for the layer "0" and for unknown names.
    virtual bool DeleteLayer(const std::wstring& name) = 0;
};

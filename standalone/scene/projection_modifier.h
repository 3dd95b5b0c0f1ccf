// The host's projection modifier: it leaves the geometry alone and names
// the source objects whose surfaces a projection bake shows on the node
// below it.
#pragma once

#include "host/class_desc.h"
#include "host/object.h"

#include <vector>

inline constexpr Class_ID projectionModClassID(0x166c301c, 0x19f90c49);

class ProjectionModifier : public Modifier {
  public:
    Class_ID ClassID() override { return projectionModClassID; }
    ReferenceTarget* Clone(RemapDir&) override {
        auto* copy = new ProjectionModifier;
        copy->sources_ = sources_;
        copy->auto_wrap_tolerance_ = auto_wrap_tolerance_;
        return copy;
    }
    ChannelMask ChannelsChanged() override { return 0; }
    IOResult Save(ISave* s) override;
    IOResult Load(ILoad* l) override;
    void ModifyObject(TimeValue, ModContext&, ObjectState*, INode*) override {}

    // Sources are kept by handle: a deleted source is simply no longer found.
    void AddObjectNode(ULONG handle) {
        for (ULONG h : sources_) {
            if (h == handle) {
                return;
            }
        }
        sources_.push_back(handle);
    }
    const std::vector<ULONG>& SourceHandles() const { return sources_; }
    float AutoWrapTolerance() const { return auto_wrap_tolerance_; }
    void SetAutoWrapTolerance(float v) { auto_wrap_tolerance_ = v; }

  private:
    std::vector<ULONG> sources_;
    float auto_wrap_tolerance_ = 0.05f;
};

// The class scene files create projection modifiers through.
ClassDesc2* GetProjectionModifierDesc();

// The modifier that carries the UV layouts of unwrap groups on an object's
// stack and writes them into their map channels on every evaluation.
#pragma once

#include "host/class_desc.h"
#include "host/inode.h"
#include "unwrap/object_record.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

inline constexpr Class_ID VELLUMAR_MODIFIER_CLASS_ID(0x21413FD8, 0x0E1A69B1);

struct UnwrapUVSet {
    std::vector<Point3> vertices;
    std::uint32_t numVertices = 0;
    std::vector<std::uint32_t> faceIndices;
    std::uint32_t numFaceIndices = 0;
    std::int32_t mapChannel = -1;
    std::int32_t mapIndex = -1;
    std::int32_t mapCount = 0;
    std::uint64_t stamp = 0;
    std::uint64_t sourceKey = 0;
    std::string groupName = "unnamed";
};

class VellumarModifier : public Modifier {
  public:
    SClass_ID SuperClassID() override { return OSM_CLASS_ID; }
    Class_ID ClassID() override { return VELLUMAR_MODIFIER_CLASS_ID; }
    ChannelMask ChannelsUsed() override { return TOPO_CHANNEL | GEOM_CHANNEL | TEXMAP_CHANNEL; }
    ChannelMask ChannelsChanged() override { return TEXMAP_CHANNEL; }
    Class_ID InputType() override { return defObjectClassID; }
    Interval LocalValidity(TimeValue) override {
        return TestAFlag(A_MOD_BEING_EDITED) ? NEVER : FOREVER;
    }
    void ModifyObject(TimeValue t, ModContext& mc, ObjectState* os, INode* node) override;
    ReferenceTarget* Clone(RemapDir& remap) override;

    // Stores the result under the group key, first dropping the set that
    // writes the same channel. Returns true.
    bool AddUVSet(std::uint64_t groupKey, const std::string& groupName, const UnwrapResult& result);
    // Returns whether any set remains.
    bool RemoveUVSet(std::uint64_t groupKey);
    const UnwrapUVSet* FindUVSet(std::uint64_t groupKey) const;
    std::set<std::uint64_t> GetGroupKeys() const;
    // Returns the previous value.
    bool SetApplySuspended(bool suspend);
    bool ApplyFailed() const { return applyFailed_; }

  private:
    void ApplyToMesh(const UnwrapUVSet& set, Mesh& mesh) const;
    void ApplyToPolyMesh(const UnwrapUVSet& set, MNMesh& mesh) const;

    bool applyFailed_ = false;
    std::map<std::uint64_t, UnwrapUVSet> sets_;
    bool suspendApply_ = false;
};

// The node's VellumarModifier: derived objects from the node's object
// reference down, within each from the highest modifier index to 0.
VellumarModifier* FindVellumarModifier(INode* node);

// Strictly increasing within the process: the system time in 100-nanosecond
// units, read again until it differs from the last stamp issued.
std::uint64_t MakeUniqueStamp();

ClassDesc2* GetVellumarModifierDesc();

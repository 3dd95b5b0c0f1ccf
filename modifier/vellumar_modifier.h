// The modifier that carries the UV layouts of unwrap groups on an object's
// stack and writes them into their map channels on every evaluation.
#pragma once

#include "host/class_desc.h"
#include "host/inode.h"
#include "host/ioapi.h"
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

// Chunk ids and the header of the modifier's saved data.
inline constexpr USHORT kOldSetChunk = 0x0409;
inline constexpr USHORT kOldChannelChunk = 0x040A;
inline constexpr USHORT kOldMapIndexChunk = 0x040B;
inline constexpr USHORT kHeaderChunk = 0x0410;
inline constexpr USHORT kSetsChunk = 0x0411;
inline constexpr char kSignature[8] = {'F', 'e', 'r', 'u', 'l', 'a', 'n', 'e'};
inline constexpr std::uint32_t kFileVersion = 22200;
// Sets saved by versions before this one carry no source key and stamp.
inline constexpr std::uint32_t kFirstVersionWithStamps = 21300;

class VellumarModifier : public Modifier, public PostLoadCallback {
  public:
    VellumarModifier();
    ~VellumarModifier() override;
    VellumarModifier(const VellumarModifier&) = delete;
    VellumarModifier& operator=(const VellumarModifier&) = delete;

    SClass_ID SuperClassID() override { return OSM_CLASS_ID; }
    Class_ID ClassID() override { return VELLUMAR_MODIFIER_CLASS_ID; }
    ChannelMask ChannelsUsed() override { return TOPO_CHANNEL | GEOM_CHANNEL | TEXMAP_CHANNEL; }
    ChannelMask ChannelsChanged() override { return TEXMAP_CHANNEL; }
    Class_ID InputType() override { return defObjectClassID; }
    Interval LocalValidity(TimeValue) override {
        return TestAFlag(A_MOD_BEING_EDITED) ? NEVER : FOREVER;
    }
    void ModifyObject(TimeValue t, ModContext& mc, ObjectState* os, INode* node) override;
    // A copy whose sets join the group of an earlier copy of another member
    // of the same group (a different stamp), or else start a new group.
    ReferenceTarget* Clone(RemapDir& remap) override;
    IOResult Save(ISave* isave) override;
    // Never fails: a damaged stream keeps the sets read before the damage.
    IOResult Load(ILoad* iload) override;
    void NotifyPostCollapse(INode* node, Object* obj, IDerivedObject* derObj, int index) override;
    void proc(ILoad* iload) override; // post-load
    // The modifier's panel in the modify panel: the Info and About rollouts.
    void BeginEditParams(Interface* ip, ULONG flags, Animatable* prev) override;
    void EndEditParams(Interface* ip, ULONG flags, Animatable* next) override;

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

    const std::map<std::uint64_t, UnwrapUVSet>& Sets() const { return sets_; }

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

// "Chair" gives "Chair001", "Chair007" gives "Chair008", unless a group of
// the scene already has that name; then the number goes on up.
std::string MakeUniqueGroupName(const std::string& name);

// The modifier's class descriptor (the plug-in module holds it).
ClassDesc2* GetVellumarModifierDesc();

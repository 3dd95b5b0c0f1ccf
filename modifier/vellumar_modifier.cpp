#include "modifier/vellumar_modifier.h"

#include "host/interface.h"
#include "host/notify.h"
#include "host/text.h"
#include "host/windows.h"
#include "modifier/unwrap_groups.h"
#include "ui/modifier_panel.h"
#include "unwrap/proxy_exception.h"

#include <chrono>

namespace {

// Whether a deletion touched a node or modifier of ours; the list is rebuilt
// once the deletion is over.
bool group_list_stale = false;

void on_pre_modifier_deleted(void*, NotifyInfo* info) {
    const auto* event = info != nullptr ? static_cast<NotifyModAddDel*>(info->callParam) : nullptr;
    if (event != nullptr && event->mod != nullptr &&
        event->mod->ClassID() == VELLUMAR_MODIFIER_CLASS_ID) {
        group_list_stale = true;
    }
}

void on_pre_node_deleted(void*, NotifyInfo* info) {
    auto* node = info != nullptr ? static_cast<INode*>(info->callParam) : nullptr;
    if (node != nullptr && FindVellumarModifier(node) != nullptr) {
        group_list_stale = true;
    }
}

void on_deleted(void*, NotifyInfo*) {
    if (group_list_stale) {
        group_list_stale = false;
        RefreshUnwrapGroupList();
    }
}

} // namespace

VellumarModifier::VellumarModifier() {
    RegisterNotification(on_pre_modifier_deleted, this, NOTIFY_PRE_MODIFIER_DELETED);
    RegisterNotification(on_pre_node_deleted, this, NOTIFY_SCENE_PRE_DELETED_NODE);
    RegisterNotification(on_deleted, this, NOTIFY_POST_MODIFIER_DELETED);
    RegisterNotification(on_deleted, this, NOTIFY_SCENE_POST_DELETED_NODE);
}

VellumarModifier::~VellumarModifier() {
    UnRegisterNotification(on_pre_modifier_deleted, this, NOTIFY_PRE_MODIFIER_DELETED);
    UnRegisterNotification(on_pre_node_deleted, this, NOTIFY_SCENE_PRE_DELETED_NODE);
    UnRegisterNotification(on_deleted, this, NOTIFY_POST_MODIFIER_DELETED);
    UnRegisterNotification(on_deleted, this, NOTIFY_SCENE_POST_DELETED_NODE);
    if (TheInfoRolloutProc().modifier() == this) {
        TheInfoRolloutProc().SetModifier(nullptr);
    }
}

void VellumarModifier::NotifyPostCollapse(INode*, Object*, IDerivedObject*, int) {
    RefreshUnwrapGroupList();
}

void VellumarModifier::proc(ILoad*) {
    RefreshUnwrapGroupList();
}

void VellumarModifier::ModifyObject(TimeValue t, ModContext&, ObjectState* os, INode*) {
    if (os == nullptr || os->obj == nullptr || applyFailed_ ||
        !os->obj->CanConvertToType(defObjectClassID)) {
        return;
    }
    try {
        for (const auto& [key, set] : sets_) {
            if (set.vertices.empty() || set.faceIndices.empty()) {
                continue;
            }
            if (os->obj->ClassID() == triObjectClassID) {
                auto* tri = static_cast<TriObject*>(os->obj->ConvertToType(t, triObjectClassID));
                ApplyToMesh(set, tri->GetMesh());
            } else if (os->obj->ClassID() == polyObjectClassID) {
                ApplyToPolyMesh(set, static_cast<PolyObject*>(os->obj)->GetMesh());
            } else {
                auto* tri = static_cast<TriObject*>(os->obj->ConvertToType(t, triObjectClassID));
                if (tri == nullptr) {
                    continue;
                }
                ApplyToMesh(set, tri->GetMesh());
                os->obj = tri;
            }
        }
        NotifyDependents(FOREVER, PART_TEXMAP, REFMSG_CHANGE);
        applyFailed_ = false;
    } catch (const Proxy_Exception& e) {
        MessageBoxW(GetCOREInterface()->GetMAXHWnd(), Utf8ToWide(e.message()).c_str(),
                    L"Notification", MB_OK | MB_ICONINFORMATION);
        applyFailed_ = true;
    }
}

void VellumarModifier::ApplyToMesh(const UnwrapUVSet& set, Mesh& mesh) const {
    if (suspendApply_) {
        return;
    }
    mesh.setMapSupport(set.mapChannel);
    if (!mesh.mapSupport(set.mapChannel) ||
        set.numFaceIndices != 3 * static_cast<std::uint32_t>(mesh.getNumFaces()) ||
        set.faceIndices.size() < set.numFaceIndices || set.vertices.size() < set.numVertices) {
        return;
    }
    TVFace* tf = mesh.mapFaces(set.mapChannel);
    for (int f = 0; f < mesh.getNumFaces(); ++f) {
        const std::size_t i = 3 * static_cast<std::size_t>(f);
        tf[f].setTVerts(set.faceIndices[i], set.faceIndices[i + 1], set.faceIndices[i + 2]);
    }
    mesh.setNumMapVerts(set.mapChannel, static_cast<int>(set.numVertices));
    std::copy(set.vertices.begin(), set.vertices.begin() + set.numVertices,
              mesh.mapVerts(set.mapChannel));
}

void VellumarModifier::ApplyToPolyMesh(const UnwrapUVSet& set, MNMesh& mesh) const {
    std::size_t triangles = 0;
    for (const MNFace& face : mesh.f) {
        triangles += static_cast<std::size_t>(face.TriNum());
    }
    // Fewer stored indices than the faces' triangles need would read past
    // the set, so such a set is left alone too.
    // A channel the host does not have (a damaged file can say 2^31) is not
    // made.
    if (suspendApply_ || set.mapChannel < 0 || set.mapChannel >= MAX_MESHMAPS ||
        3 * triangles > set.numFaceIndices || 3 * triangles > set.faceIndices.size() ||
        set.vertices.size() < set.numVertices) {
        return;
    }
    if (mesh.MNum() <= set.mapChannel) {
        mesh.SetMapNum(set.mapChannel + 1);
    }
    MNMap& map = *mesh.M(set.mapChannel);
    map.f.clear();
    map.v.assign(set.vertices.begin(), set.vertices.begin() + set.numVertices);
    std::vector<int> tri;
    std::size_t running = 0;
    for (int ff = 0; ff < mesh.FNum(); ++ff) {
        const MNFace& face = *mesh.F(ff);
        const int d = face.deg();
        mesh.GetTriangles(ff, tri);
        MNMapFace mf;
        mf.tv.assign(static_cast<std::size_t>(d), -1);
        for (std::size_t j = 0; j + 2 < tri.size(); j += 3) {
            for (std::size_t k = 0; k < 3; ++k) {
                const int uv = static_cast<int>(set.faceIndices[3 * running + j + k]);
                const int vert = face.vtx[static_cast<std::size_t>(tri[j + k])];
                for (int p = 0; p < d; ++p) {
                    if (face.vtx[static_cast<std::size_t>(p)] == vert) {
                        mf.tv[static_cast<std::size_t>(p)] = uv;
                    }
                }
            }
        }
        running += tri.size() / 3;
        // A face without area (all its corners at one or two vertices) has no
        // triangle to take UVs from; it borrows a corner's neighbour so that
        // the channel keeps one map face per face, each corner in range.
        int last = set.numVertices > 0 ? 0 : -1;
        for (int t : mf.tv) {
            last = t >= 0 ? t : last;
        }
        for (int& t : mf.tv) {
            t = t >= 0 ? t : last;
            last = t;
        }
        map.f.push_back(std::move(mf));
    }
}

bool VellumarModifier::AddUVSet(std::uint64_t groupKey, const std::string& groupName,
                                const UnwrapResult& result) {
    UnwrapUVSet set;
    set.mapChannel = static_cast<std::int32_t>(result.target_channel);
    set.mapCount = static_cast<std::int32_t>(result.map_count);
    set.mapIndex = result.map_index;
    set.vertices.assign(
        result.record.uvs.begin(),
        result.record.uvs.begin() +
            std::min<std::size_t>(result.record.vertex_count, result.record.uvs.size()));
    set.numVertices = static_cast<std::uint32_t>(set.vertices.size());
    set.faceIndices.assign(
        result.record.indices.begin(),
        result.record.indices.begin() +
            std::min<std::size_t>(result.record.index_count, result.record.indices.size()));
    set.numFaceIndices = static_cast<std::uint32_t>(set.faceIndices.size());
    set.stamp = MakeUniqueStamp();
    set.sourceKey = 0;
    set.groupName = groupName;
    for (auto it = sets_.begin(); it != sets_.end(); ++it) {
        if (it->second.mapChannel == set.mapChannel) {
            sets_.erase(it);
            break;
        }
    }
    sets_[groupKey] = std::move(set);
    return true;
}

bool VellumarModifier::RemoveUVSet(std::uint64_t groupKey) {
    sets_.erase(groupKey);
    return !sets_.empty();
}

const UnwrapUVSet* VellumarModifier::FindUVSet(std::uint64_t groupKey) const {
    const auto it = sets_.find(groupKey);
    return it == sets_.end() ? nullptr : &it->second;
}

std::set<std::uint64_t> VellumarModifier::GetGroupKeys() const {
    std::set<std::uint64_t> keys;
    for (const auto& entry : sets_) {
        keys.insert(entry.first);
    }
    return keys;
}

bool VellumarModifier::SetApplySuspended(bool suspend) {
    const bool previous = suspendApply_;
    suspendApply_ = suspend;
    NotifyDependents(FOREVER, PART_TEXMAP, REFMSG_CHANGE);
    return previous;
}

std::uint64_t MakeUniqueStamp() {
    // File time: 100-nanosecond units since 1601-01-01.
    constexpr std::uint64_t kEpochOffset = 116444736000000000ull;
    static std::uint64_t last = 0;
    std::uint64_t now = 0;
    do {
        const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
        now = kEpochOffset +
              static_cast<std::uint64_t>(
                  std::chrono::duration_cast<std::chrono::nanoseconds>(since_epoch).count() / 100);
    } while (now == last);
    last = now;
    return now;
}

void VellumarModifier::BeginEditParams(Interface* ip, ULONG flags, Animatable* prev) {
    const TimeValue t = ip->GetTime();
    NotifyDependents(Interval(t, t), PART_TEXMAP, REFMSG_BEGIN_EDIT);
    NotifyDependents(Interval(t, t), PART_TEXMAP, REFMSG_MOD_DISPLAY_ON);
    SetAFlag(A_MOD_BEING_EDITED);
    TheInfoRolloutProc().SetModifier(this);
    GetVellumarModifierDesc()->BeginEditParams(ip, this, flags, prev);
}

void VellumarModifier::EndEditParams(Interface* ip, ULONG flags, Animatable* next) {
    GetVellumarModifierDesc()->EndEditParams(ip, this, flags, next);
    // The Info rollout is closed; it must not keep a modifier that may go.
    if (TheInfoRolloutProc().modifier() == this) {
        TheInfoRolloutProc().SetModifier(nullptr);
    }
    const TimeValue t = ip->GetTime();
    ClearAFlag(A_MOD_BEING_EDITED);
    NotifyDependents(Interval(t, t), PART_TEXMAP, REFMSG_END_EDIT);
    NotifyDependents(Interval(t, t), PART_TEXMAP, REFMSG_MOD_DISPLAY_OFF);
}

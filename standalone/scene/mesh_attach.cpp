#include "standalone/scene/mesh_attach.h"

#include "standalone/materials/multi_material.h"

#include <algorithm>
#include <map>

namespace {

MtlID mapped(const std::vector<MtlID>& ids, MtlID id) {
    return id < ids.size() ? ids[id] : id;
}

MtlID highest_id(const Mesh& m) {
    MtlID top = 0;
    for (const Face& f : m.faces) {
        top = std::max(top, f.matID);
    }
    return top;
}

} // namespace

void AppendMesh(Mesh& target, const Mesh& source, const Matrix3& toTarget,
                const std::vector<MtlID>& sourceIds) {
    const std::size_t nv = target.verts.size(), nf = target.faces.size();
    const int maps = std::max(target.getNumMaps(), source.getNumMaps());
    // Channels the source brings are started on the target before the
    // faces grow, so that the target's own faces have somewhere to point.
    for (int ch = 0; ch < maps; ++ch) {
        if (source.mapSupport(ch) && !target.mapSupport(ch)) {
            target.setMapSupport(ch, 1);
            target.Map(ch).tv.assign(1, UVVert(0, 0, 0));
            std::fill(target.Map(ch).tf.begin(), target.Map(ch).tf.end(), TVFace());
        }
    }
    for (const Point3& p : source.verts) {
        target.verts.push_back(toTarget.PointTransform(p));
    }
    target.setNumFaces(static_cast<int>(nf + source.faces.size()));
    for (std::size_t f = 0; f < source.faces.size(); ++f) {
        Face face = source.faces[f];
        for (DWORD& v : face.v) {
            v += static_cast<DWORD>(nv);
        }
        face.matID = mapped(sourceIds, face.matID);
        target.faces[nf + f] = face;
    }
    for (int ch = 0; ch < target.getNumMaps(); ++ch) {
        if (!target.mapSupport(ch)) {
            continue;
        }
        MeshMap& map = target.Map(ch);
        const auto base = static_cast<DWORD>(map.tv.size());
        if (source.mapSupport(ch)) {
            const MeshMap& from = source.Map(ch);
            map.tv.insert(map.tv.end(), from.tv.begin(), from.tv.end());
            for (std::size_t f = 0; f < source.faces.size(); ++f) {
                const TVFace& tf = from.tf[f];
                map.tf[nf + f].setTVerts(tf.t[0] + base, tf.t[1] + base, tf.t[2] + base);
            }
        } else {
            map.tv.emplace_back(0, 0, 0);
            for (std::size_t f = 0; f < source.faces.size(); ++f) {
                map.tf[nf + f].setTVerts(base, base, base);
            }
        }
    }
}

CombinedMaterial CombineMaterials(Mtl* targetMtl, const Mesh& target, Mtl* sourceMtl,
                                  const Mesh& source, bool condense) {
    CombinedMaterial out;
    out.targetIds.resize(std::size_t(highest_id(target)) + 1);
    out.sourceIds.resize(std::size_t(highest_id(source)) + 1);
    if (targetMtl == nullptr && sourceMtl == nullptr) {
        for (std::size_t i = 0; i < out.targetIds.size(); ++i) {
            out.targetIds[i] = static_cast<MtlID>(i);
        }
        for (std::size_t i = 0; i < out.sourceIds.size(); ++i) {
            out.sourceIds[i] = static_cast<MtlID>(i);
        }
        return out;
    }
    MultiMtl* multi = NewDefaultMultiMtl();
    std::vector<Mtl*> slots;
    std::map<Mtl*, MtlID> shared;
    auto slot_for = [&](Mtl* m) {
        if (condense) {
            const auto it = shared.find(m);
            if (it != shared.end()) {
                return it->second;
            }
        }
        const auto id = static_cast<MtlID>(slots.size());
        slots.push_back(m);
        shared.emplace(m, id);
        return id;
    };
    // Only ids that faces use take a slot; the others keep their number
    // pointing at the slot of id 0 so that no face is left without one.
    auto assign = [&](Mtl* mtl, const Mesh& mesh, std::vector<MtlID>& ids) {
        std::vector<char> used(ids.size(), 0);
        for (const Face& f : mesh.faces) {
            used[f.matID] = 1;
        }
        for (std::size_t id = 0; id < ids.size(); ++id) {
            if (used[id] != 0) {
                ids[id] = slot_for(SubMaterialForId(mtl, static_cast<MtlID>(id)));
            }
        }
        for (std::size_t id = 0; id < ids.size(); ++id) {
            if (used[id] == 0) {
                ids[id] = slots.empty() ? 0 : ids[0];
            }
        }
    };
    assign(targetMtl, target, out.targetIds);
    assign(sourceMtl, source, out.sourceIds);
    for (std::size_t i = 0; i < slots.size(); ++i) {
        multi->SetSubMtl(static_cast<int>(i), slots[i]);
    }
    out.material = multi;
    return out;
}

void RemapMaterialIds(Mesh& mesh, const std::vector<MtlID>& ids) {
    for (Face& f : mesh.faces) {
        f.matID = mapped(ids, f.matID);
    }
}

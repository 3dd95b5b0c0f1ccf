// Attaching one mesh object to another, as the host's mesh tools do: the
// source's faces, vertices and every map channel are copied into the
// target, and the two materials are combined into one multi/sub-object
// material whose ids tell the faces apart.
#pragma once

#include "host/mesh.h"
#include "host/mtl.h"

#include <vector>

// Appends source (its vertices carried by toTarget) to target. Channels
// only one side has are added to the other with every face on one vertex
// at (0, 0, 0). sourceIds: the material id each source face gets, indexed
// by the face's own id (ids past the end keep their value).
void AppendMesh(Mesh& target, const Mesh& source, const Matrix3& toTarget,
                const std::vector<MtlID>& sourceIds);

// How the faces' materials are combined: every (object, id) its own slot
// (MatToID), or faces showing the same material sharing one (condense).
struct CombinedMaterial {
    Mtl* material = nullptr;      // new, unreferenced; nullptr when neither side has one
    std::vector<MtlID> targetIds; // new id per old target id
    std::vector<MtlID> sourceIds; // new id per old source id
};
CombinedMaterial CombineMaterials(Mtl* targetMtl, const Mesh& target, Mtl* sourceMtl,
                                  const Mesh& source, bool condense);

// Rewrites the face ids of the mesh through ids (indexed by old id).
void RemapMaterialIds(Mesh& mesh, const std::vector<MtlID>& ids);

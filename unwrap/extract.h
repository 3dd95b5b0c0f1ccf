// Extraction of one object into its ObjectRecord: an indexed triangle list
// from the object's geometry or from one of its map channels, the adjacency
// between its triangles with seam and angle cuts, and its false edges (the
// edges inside polygons).
#pragma once

#include "host/mesh.h"
#include "settings/settings.h"
#include "unwrap/object_record.h"

#include <string>

// Fills `record` (constructed for its node, triangle_mesh_object set) from the
// render mesh. `tm` is the object-to-world transform (only rotation and scale
// are applied), `scale` the node's "VellumarScale". Reads mode, channels,
// cut angles and unwrapmode from `s`. Throws Proxy_Exception with the user's
// message when the object cannot be extracted, among others when a position
// (after the transform and scale), the transform or, in the UV modes, a UV
// of the source channel is not a finite number; the message names the object.
void extract(ObjectRecord& record, const Mesh& mesh, const Matrix3& tm, const std::string& name,
             float scale, const UnwrapSettings& s);

// Removes the neighbour relation across edges that are seams of the source
// channel or ridges and grooves steeper than the set angles. `adjacency` has
// three entries per face of `mesh`.
void cut_adjacency(const Mesh& mesh, const class MNMesh& poly, const UnwrapSettings& s,
                   std::vector<std::uint32_t>& adjacency);

// The neighbours across invisible edges (inside polygons), before and after
// merging neighbours that lie in one plane.
struct FalseEdges {
    std::vector<std::uint32_t> merged;
    std::vector<std::uint32_t> before_merge;
};
FalseEdges false_edges(const Mesh& mesh, const std::vector<std::uint32_t>& adjacency);

// An object's triangles as a bake sees them: world-space corners with their
// smoothed normals and the UVs of the bake channel, three entries per
// triangle. Triangles without a usable UV in the channel are left out.
#pragma once

#include "host/inode.h"
#include "host/mesh.h"

#include <vector>

struct BakeMesh {
    std::vector<Point3> position; // world space
    std::vector<Point3> normal;   // world space, unit length, smoothed by smoothing groups
    std::vector<Point2> uv;       // bake channel, 0..1 across the atlas
    std::vector<int> face;        // the host mesh face of each triangle
    std::vector<MtlID> matID;     // the material id of each triangle's face
    // Per shading channel asked for: its UVs per corner, empty when the mesh
    // has no such channel.
    std::vector<int> shadeChannel;
    std::vector<std::vector<Point2>> shadeUV;

    std::size_t TriangleCount() const { return uv.size() / 3; }

    // The surface point and the interpolated corner normal (not yet unit
    // length) at the weights w1, w2 of triangle tri's corners 1 and 2.
    Point3 PointAt(int tri, float w1, float w2) const { return blend(position, tri, w1, w2); }
    Point3 NormalAt(int tri, float w1, float w2) const { return blend(normal, tri, w1, w2); }
    // The triangle's own unit normal, from its corners' winding.
    Point3 FaceNormal(int tri) const {
        const std::size_t c = std::size_t(tri) * 3;
        return Normalize(CrossProd(position[c + 1] - position[c], position[c + 2] - position[c]));
    }
    // The unit shading normal there; the face's normal where the corner
    // normals cancel out.
    Point3 ShadingNormalAt(int tri, float w1, float w2) const {
        const Point3 n = Normalize(NormalAt(tri, w1, w2));
        return n.Length() == 0 ? FaceNormal(tri) : n;
    }

  private:
    static Point3 blend(const std::vector<Point3>& corner, int tri, float w1, float w2) {
        const std::size_t c = std::size_t(tri) * 3;
        return corner[c] * (1.0f - w1 - w2) + corner[c + 1] * w1 + corner[c + 2] * w2;
    }
};

// Corner normals as the host shades them, three per face, from the mesh's
// vertices placed at `positions`: a corner averages the area-weighted
// normals of the faces around its vertex that share a smoothing group with
// its own face; a face without groups is flat. Faces naming a missing
// vertex get zero normals.
std::vector<Point3> CornerNormals(const Mesh& m, const std::vector<Point3>& positions);

// The node's evaluated mesh at time t; empty when the node has no mesh or
// the channel holds no UVs. channel < 0: no bake channel, for a surface
// that rays find rather than texels (its UVs are all (0, 0)).
// shadeChannels: the map channels the material reads, carried along per
// corner.
BakeMesh ExtractBakeMesh(INode* node, TimeValue t, int channel,
                         const std::vector<int>& shadeChannels = {});

#include "standalone/render/bake_mesh.h"

#include "host/mesh.h"
#include "standalone/scene/node_ops.h"

#include <cmath>

namespace {

bool finite(const Point3& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

} // namespace

std::vector<Point3> CornerNormals(const Mesh& m, const std::vector<Point3>& world) {
    const std::size_t nf = m.faces.size();
    std::vector<Point3> face_n(nf);
    std::vector<std::vector<std::size_t>> around(world.size());
    for (std::size_t f = 0; f < nf; ++f) {
        const Face& face = m.faces[f];
        if (face.v[0] >= world.size() || face.v[1] >= world.size() || face.v[2] >= world.size()) {
            continue;
        }
        const Point3 &a = world[face.v[0]], &b = world[face.v[1]], &c = world[face.v[2]];
        face_n[f] = CrossProd(b - a, c - a); // length = twice the area: the weight
        for (int k = 0; k < 3; ++k) {
            around[face.v[k]].push_back(f);
        }
    }
    std::vector<Point3> out(nf * 3);
    for (std::size_t f = 0; f < nf; ++f) {
        const Face& face = m.faces[f];
        for (int k = 0; k < 3; ++k) {
            Point3 n = face_n[f];
            if (face.smGroup != 0 && face.v[k] < world.size()) {
                n = Point3();
                for (std::size_t g : around[face.v[k]]) {
                    if ((m.faces[g].smGroup & face.smGroup) != 0) {
                        n = n + face_n[g];
                    }
                }
            }
            out[f * 3 + k] = Normalize(n);
        }
    }
    return out;
}

namespace {

// The face's three corners in a shading channel; a channel the mesh lacks
// stays empty, a corner with a bad index reads (0, 0).
void append_shade_uvs(const Mesh& m, int channel, std::size_t f, std::vector<Point2>& out) {
    if (channel < 0 || channel >= m.getNumMaps() || !m.mapSupport(channel)) {
        return;
    }
    const UVVert* tv = m.mapVerts(channel);
    const TVFace* tf = m.mapFaces(channel);
    const auto ntv = static_cast<DWORD>(m.getNumMapVerts(channel));
    for (int k = 0; k < 3; ++k) {
        const DWORD i = tf[f].t[k];
        out.push_back(i < ntv && finite(tv[i]) ? Point2(tv[i].x, tv[i].y) : Point2(0, 0));
    }
}

} // namespace

BakeMesh ExtractBakeMesh(INode* node, TimeValue t, int channel,
                         const std::vector<int>& shadeChannels) {
    BakeMesh out;
    Mesh m;
    if (!EvaluatedMesh(node, t, m)) {
        return out;
    }
    const bool baked = channel >= 0;
    if (baked && (channel >= m.getNumMaps() || !m.mapSupport(channel))) {
        return out;
    }
    const Matrix3 tm = node->GetObjectTM(t);
    std::vector<Point3> world(m.verts.size());
    for (std::size_t v = 0; v < world.size(); ++v) {
        world[v] = tm.PointTransform(m.verts[v]);
    }
    const std::vector<Point3> normals = CornerNormals(m, world);
    out.shadeChannel = shadeChannels;
    out.shadeUV.resize(shadeChannels.size());
    const UVVert* tv = baked ? m.mapVerts(channel) : nullptr;
    const TVFace* tf = baked ? m.mapFaces(channel) : nullptr;
    const auto ntv = baked ? static_cast<DWORD>(m.getNumMapVerts(channel)) : DWORD(0);
    for (std::size_t f = 0; f < m.faces.size(); ++f) {
        const Face& face = m.faces[f];
        bool usable = true;
        for (int k = 0; k < 3; ++k) {
            usable = usable && face.v[k] < world.size() && finite(world[face.v[k]]) &&
                     (!baked || (tf[f].t[k] < ntv && finite(tv[tf[f].t[k]])));
        }
        if (!usable) {
            continue;
        }
        for (int k = 0; k < 3; ++k) {
            out.position.push_back(world[face.v[k]]);
            out.normal.push_back(normals[f * 3 + k]);
            const UVVert uv = baked ? tv[tf[f].t[k]] : UVVert(0, 0, 0);
            out.uv.emplace_back(uv.x, uv.y);
        }
        out.face.push_back(static_cast<int>(f));
        out.matID.push_back(face.matID);
        for (std::size_t s = 0; s < shadeChannels.size(); ++s) {
            append_shade_uvs(m, shadeChannels[s], f, out.shadeUV[s]);
        }
    }
    return out;
}

#include "unwrap/extract.h"

#include "engines/uvatlasProxy.h"
#include "host/mnmesh.h"
#include "unwrap/proxy_exception.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <string>

namespace vatlas = vellumar::atlas;

namespace {

constexpr float kDegreesPerRadian = 57.29578f;
constexpr float kNoLimit = 361.0f;
constexpr float kCoplanarDegrees = 0.1f;

bool finite(const Point3& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

bool geometry_mode(int mode) {
    return mode == Organic || mode == HardSurface || mode == Projection;
}

// For every face, the lowest face with the same three corners in the same
// order: the host triangle that an edge's face stands for.
std::vector<std::uint32_t> first_face_with_same_corners(const Mesh& mesh) {
    const std::size_t n = mesh.faces.size();
    std::vector<std::uint32_t> order(n);
    std::iota(order.begin(), order.end(), 0u);
    auto corners = [&](std::uint32_t f) {
        const Face& face = mesh.faces[f];
        return std::array<DWORD, 3>{face.v[0], face.v[1], face.v[2]};
    };
    std::stable_sort(order.begin(), order.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return corners(a) < corners(b); });
    std::vector<std::uint32_t> first(n);
    for (std::size_t i = 0; i < n; ++i) {
        const bool same = i > 0 && corners(order[i]) == corners(order[i - 1]);
        first[order[i]] = same ? first[order[i - 1]] : order[i];
    }
    return first;
}

Point3 face_normal(const MNMesh& poly, int f) {
    const MNFace& face = *poly.F(f);
    const Point3& a = poly.P(face.vtx[0]);
    return CrossProd(poly.P(face.vtx[1]) - a, poly.P(face.vtx[2]) - a);
}

void unlink(std::vector<std::uint32_t>& adjacency, std::uint32_t t1, std::uint32_t t2) {
    for (int k = 0; k < 3; ++k) {
        if (adjacency[3 * t1 + k] == t2) {
            adjacency[3 * t1 + k] = kNoNeighbour;
        }
        if (adjacency[3 * t2 + k] == t1) {
            adjacency[3 * t2 + k] = kNoNeighbour;
        }
    }
}

// The library mesh of an object: its geometry in object space, or one map
// channel laid flat (x, y = scaled u, v).
std::unique_ptr<vatlas::AtlasMesh> library_mesh(const Mesh& mesh, bool geometry, int ch,
                                                float scale) {
    const std::uint32_t faces = static_cast<std::uint32_t>(mesh.getNumFaces());
    const std::uint32_t verts =
        static_cast<std::uint32_t>(geometry ? mesh.getNumVerts() : mesh.getNumMapVerts(ch));
    std::unique_ptr<vatlas::AtlasMesh> lib;
    if (vatlas::failed(vatlas::create_mesh(faces, verts, &lib))) {
        throw Proxy_Exception(geometry ? "Failed to create d3dx mesh. Please check if your "
                                         "geometry is valid."
                                       : "Mesh data cannot be converted. It most likely "
                                         "contains invalid faces.",
                              kUvAtlasProxyUnit, __LINE__);
    }
    auto vb = lib->vertices();
    auto ib = lib->indices();
    for (std::uint32_t i = 0; i < verts; ++i) {
        if (geometry) {
            const Point3& p = mesh.verts[i];
            vb[i] = {p.x, p.y, p.z, 0.0f, 0.0f};
        } else {
            const UVVert& t = mesh.mapVerts(ch)[i];
            vb[i] = {scale * t.x, scale * t.y, 0.0f, scale * t.x, scale * t.y};
        }
    }
    for (std::uint32_t f = 0; f < faces; ++f) {
        for (int k = 0; k < 3; ++k) {
            ib[3 * f + k] = geometry ? mesh.faces[f].v[k] : mesh.mapFaces(ch)[f].t[k];
        }
    }
    return lib;
}

} // namespace

void cut_adjacency(const Mesh& mesh, const MNMesh& poly, const UnwrapSettings& s,
                   std::vector<std::uint32_t>& adjacency) {
    const float concave = s.use_concave ? s.angle_concave : kNoLimit;
    const float convex = s.use_convex ? s.angle_convex : kNoLimit;
    const bool angle_cuts = (convex >= 0 && convex <= 360) || (concave >= 0 && concave <= 360);
    const std::vector<std::uint32_t> host_face = first_face_with_same_corners(mesh);
    for (int ee = 0; ee < poly.ENum(); ++ee) {
        const MNEdge& edge = *poly.E(ee);
        if (edge.f1 < 0 || edge.f2 < 0) {
            continue;
        }
        const std::uint32_t t1 = host_face[static_cast<std::size_t>(edge.f1)];
        const std::uint32_t t2 = host_face[static_cast<std::size_t>(edge.f2)];
        bool cut = s.seams && poly.EdgeIsSeam(s.source_channel, ee);
        if (!cut && angle_cuts && !edge.GetFlag(MN_EDGE_INVIS)) {
            const Point3 n1 = face_normal(poly, edge.f1);
            const Point3 n2 = face_normal(poly, edge.f2);
            const Point3 c = CrossProd(n1, n2);
            const float angle = std::atan2(c.Length(), DotProd(n1, n2)) * kDegreesPerRadian;
            // With counter-clockwise faces, s is negative on a ridge.
            const float side = DotProd(c, poly.P(edge.v1) - poly.P(edge.v2));
            cut = (angle >= convex && side < 0) || (angle >= concave && side >= 0);
        }
        if (cut) {
            unlink(adjacency, t1, t2);
        }
    }
}

FalseEdges false_edges(const Mesh& mesh, const std::vector<std::uint32_t>& adjacency) {
    FalseEdges out;
    out.merged = adjacency;
    for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
        for (int k = 0; k < 3; ++k) {
            if (mesh.faces[f].getEdgeVis(k)) {
                out.merged[3 * f + static_cast<std::size_t>(k)] = kNoNeighbour;
            }
        }
    }
    out.before_merge = out.merged;
    // Neighbours in one plane join the polygon too, so that a flat region
    // made of several polygons is never split between charts.
    auto normal = [&](std::size_t f) {
        const Face& face = mesh.faces[f];
        const Point3& a = mesh.verts[face.v[0]];
        return Normalize(CrossProd(mesh.verts[face.v[1]] - a, mesh.verts[face.v[2]] - a));
    };
    for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
        for (std::size_t k = 0; k < 3; ++k) {
            const std::uint32_t g = adjacency[3 * f + k];
            if (g == kNoNeighbour || g >= mesh.faces.size() || g == f ||
                out.merged[3 * f + k] == g) {
                continue;
            }
            const float cosine = DotProd(normal(f), normal(g));
            const float angle = std::acos(std::clamp(cosine, -1.0f, 1.0f)) * kDegreesPerRadian;
            if (angle < kCoplanarDegrees) {
                out.merged[3 * f + k] = g;
            }
        }
    }
    return out;
}

void extract(ObjectRecord& record, const Mesh& mesh, const Matrix3& tm, const std::string& name,
             float scale, const UnwrapSettings& s) {
    const int mode = s.base_unwrap;
    const int ch = s.source_channel;
    const bool geometry = geometry_mode(mode);
    if (mode == UvCopy) {
        scale = 1.0f;
    }

    // E2: vertices. A NaN or infinite coordinate poisons every chart it
    // touches (stretch, bounds, the packer's scale) and comes out as NaN
    // UVs, so the run stops here with the object's name instead.
    if (geometry) {
        for (int row = 0; row < 4; ++row) {
            if (!finite(tm.GetRow(row))) {
                throw Proxy_Exception("The transform of object " + name +
                                          " is not a finite number (NaN or infinity). Reset "
                                          "its transform before unwrapping.",
                                      kUnwrapperUnit, __LINE__);
            }
        }
        record.vertex_count = static_cast<std::uint32_t>(mesh.getNumVerts());
        record.positions.resize(record.vertex_count);
        // Until the write-back every UV is zero: no list is kept for them.
        record.uvs.clear();
        for (std::uint32_t i = 0; i < record.vertex_count; ++i) {
            const Point3 p = tm.VectorTransform(mesh.verts[i]) * scale;
            if (!finite(p)) {
                throw Proxy_Exception(
                    "Object " + name + " has a vertex whose position is not a finite number " +
                        (finite(mesh.verts[i]) ? "once transformed and scaled (vertex "
                                               : "(NaN or infinity; vertex ") +
                        std::to_string(i) + "). Fix or delete it before unwrapping.",
                    kUnwrapperUnit, __LINE__);
            }
            record.positions[i] = {p.x, p.y, p.z, 0.0f, 0.0f};
        }
    } else {
        if (!mesh.mapSupport(ch)) {
            Proxy_Exception::raise_formatted(
                kUnwrapperUnit, __LINE__,
                "The selected target channel contains no UV data for object %s", name);
        }
        record.vertex_count = static_cast<std::uint32_t>(mesh.getNumMapVerts(ch));
        record.positions.resize(record.vertex_count);
        record.uvs.resize(record.vertex_count);
        for (std::uint32_t i = 0; i < record.vertex_count; ++i) {
            const UVVert& t = mesh.mapVerts(ch)[i];
            if (!finite(t)) {
                throw Proxy_Exception("Object " + name + " has a UV in channel " +
                                          std::to_string(ch) +
                                          " that is not a finite number (NaN or infinity; map "
                                          "vertex " +
                                          std::to_string(i) + "). Fix it before unwrapping.",
                                      kUnwrapperUnit, __LINE__);
            }
            record.positions[i] = {t.x, t.y, t.z, 0.0f, 0.0f};
            record.uvs[i] = t;
        }
    }

    // E3: indices, one triple per host face in face order.
    const std::uint32_t faces = static_cast<std::uint32_t>(mesh.getNumFaces());
    record.index_count = 3 * faces;
    record.indices.resize(record.index_count);
    for (std::uint32_t f = 0; f < faces; ++f) {
        for (int k = 0; k < 3; ++k) {
            record.indices[3 * f + k] = geometry ? mesh.faces[f].v[k] : mesh.mapFaces(ch)[f].t[k];
        }
    }
    // A corner that names a missing vertex would point into another object's
    // vertices once the objects are joined, so it stops the run here.
    for (std::uint32_t i : record.indices) {
        if (i >= record.vertex_count) {
            throw Proxy_Exception(geometry ? "Failed to create d3dx mesh. Please check if your "
                                             "geometry is valid."
                                           : "Mesh data cannot be converted. It most likely "
                                             "contains invalid faces.",
                                  kUvAtlasProxyUnit, __LINE__);
        }
    }
    record.adjacency.assign(record.index_count, kNoNeighbour);
    if (faces == 0 || record.vertex_count < 3) {
        return;
    }

    // E4, E5: the library mesh and its adjacency.
    AtlasMeshPtr lib = library_mesh(mesh, geometry, ch, scale);
    // Where more than two triangles meet on an edge, the two halves of a
    // polygon's diagonal are paired with each other, so a polygon is never
    // torn apart by a stray face lying along its diagonal.
    std::vector<std::uint8_t> inside_polygon(record.index_count);
    for (std::uint32_t f = 0; f < faces; ++f) {
        for (int k = 0; k < 3; ++k) {
            inside_polygon[3 * f + k] = mesh.faces[f].getEdgeVis(k) ? 0 : 1;
        }
    }
    if (vatlas::failed(
            vatlas::convert_point_reps_to_adjacency(*lib, {}, inside_polygon, record.adjacency))) {
        throw Proxy_Exception(geometry ? "ConvertPointRepsToAdjacency() failed."
                                       : "ConvertPointRepsToAdjacency failed",
                              kUvAtlasProxyUnit, __LINE__);
    }
    if (mode == UvPack) {
        // Each UV island gets vertices of its own, so the packer can move
        // islands that only touch at a corner apart.
        UvAtlasProxy::split_shared_vertices(
            lib, UvAtlasProxy::charts_from_adjacency(*lib, record.adjacency));
        record.vertex_count = lib->vertex_count();
        record.positions.assign(lib->vertices().begin(), lib->vertices().end());
        record.indices.assign(lib->indices().begin(), lib->indices().end());
        record.uvs.resize(record.vertex_count);
        for (std::uint32_t i = 0; i < record.vertex_count; ++i) {
            record.uvs[i] = Point3(record.positions[i].u, record.positions[i].v, 0.0f);
        }
    }

    // The library mesh has done its work; on meshes of millions of faces it
    // should not stay alive through what follows.
    lib.reset();
    const bool want_cuts = geometry && (s.seams || (s.use_concave && s.angle_concave <= 360) ||
                                        (s.use_convex && s.angle_convex <= 360));
    if (want_cuts) {
        MNMesh poly;
        poly.SetFromTri(mesh);
        cut_adjacency(mesh, poly, s, record.adjacency);
    }

    // E6: false edges.
    const bool want_false_edges =
        !(record.triangle_mesh_object && mode == Organic && s.unwrapmode == Triangles);
    if (want_false_edges) {
        FalseEdges fe = false_edges(mesh, record.adjacency);
        // Merging only adds neighbours, so when the merged edges are all
        // borders so are the others; an object of only triangles then
        // keeps neither list.
        if (std::any_of(fe.merged.begin(), fe.merged.end(),
                        [](std::uint32_t n) { return n != kNoNeighbour; })) {
            record.false_edges = std::move(fe.merged);
            record.false_edge_copy = std::move(fe.before_merge);
        }
    }
}

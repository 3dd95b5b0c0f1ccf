#include "apps/vellumar/object_figures.h"

#include "host/text.h"
#include "modifier/unwrap_groups.h"
#include "standalone/scene/node_ops.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>

namespace {

double length(const Point3& a, const Point3& b) {
    const double dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

double triangle_area(const Point3& a, const Point3& b, const Point3& c) {
    const double ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
    const double vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
    const double cx = uy * vz - uz * vy, cy = uz * vx - ux * vz, cz = ux * vy - uy * vx;
    return 0.5 * std::sqrt(cx * cx + cy * cy + cz * cz);
}

std::uint32_t find(std::vector<std::uint32_t>& parent, std::uint32_t i) {
    while (parent[i] != i) {
        parent[i] = parent[parent[i]];
        i = parent[i];
    }
    return i;
}

} // namespace

double SurfaceFigures::density() const {
    return area > 0.0 ? std::sqrt(texel_area / area) : 0.0;
}

void SurfaceFigures::add(const SurfaceFigures& other) {
    area += other.area;
    texel_area += other.texel_area;
    charts += other.charts;
    seam_length += other.seam_length;
}

SurfaceFigures MeasureSurface(const Mesh& mesh, const Matrix3& tm, int channel, int width,
                              int height) {
    SurfaceFigures f;
    const int faces = mesh.getNumFaces();
    if (channel < 0 || channel >= mesh.getNumMaps() || !mesh.mapSupport(channel) || faces == 0) {
        return f;
    }
    const int mapVerts = mesh.getNumMapVerts(channel);
    const UVVert* uv = mesh.mapVerts(channel);
    const TVFace* tf = mesh.mapFaces(channel);
    std::vector<Point3> world(static_cast<std::size_t>(mesh.getNumVerts()));
    for (int i = 0; i < mesh.getNumVerts(); ++i) {
        world[static_cast<std::size_t>(i)] = mesh.getVert(i) * tm;
    }
    std::vector<std::uint32_t> parent(static_cast<std::size_t>(mapVerts));
    std::iota(parent.begin(), parent.end(), 0u);
    std::vector<bool> used(static_cast<std::size_t>(mapVerts), false);
    // Per mesh edge (low, high vertex): the map vertices each face has there.
    std::map<std::pair<DWORD, DWORD>, std::vector<std::pair<DWORD, DWORD>>> edges;
    for (int i = 0; i < faces; ++i) {
        const Face& face = mesh.faces[static_cast<std::size_t>(i)];
        const TVFace& t = tf[i];
        bool valid = true;
        for (int k = 0; k < 3; ++k) {
            valid = valid && face.v[k] < world.size() && t.t[k] < static_cast<DWORD>(mapVerts);
        }
        if (!valid) {
            continue;
        }
        f.area += triangle_area(world[face.v[0]], world[face.v[1]], world[face.v[2]]);
        const UVVert &a = uv[t.t[0]], &b = uv[t.t[1]], &c = uv[t.t[2]];
        f.texel_area += 0.5 *
                        std::abs((double(b.x) - a.x) * (double(c.y) - a.y) -
                                 (double(c.x) - a.x) * (double(b.y) - a.y)) *
                        width * height;
        for (int k = 0; k < 3; ++k) {
            used[t.t[k]] = true;
            parent[find(parent, t.t[k])] = find(parent, t.t[(k + 1) % 3]);
            DWORD v0 = face.v[k], v1 = face.v[(k + 1) % 3];
            DWORD t0 = t.t[k], t1 = t.t[(k + 1) % 3];
            if (v0 > v1) {
                std::swap(v0, v1);
                std::swap(t0, t1);
            }
            edges[{v0, v1}].emplace_back(t0, t1);
        }
    }
    for (std::size_t i = 0; i < parent.size(); ++i) {
        if (used[i] && find(parent, static_cast<std::uint32_t>(i)) == i) {
            ++f.charts;
        }
    }
    for (const auto& [edge, sides] : edges) {
        const bool cut = std::any_of(sides.begin(), sides.end(),
                                     [&](const auto& s) { return s != sides.front(); });
        if (cut) {
            f.seam_length += length(world[edge.first], world[edge.second]);
        }
    }
    return f;
}

std::vector<ObjectFigures> GroupObjectFigures(std::uint64_t groupKey, int width, int height,
                                              TimeValue t) {
    std::vector<ObjectFigures> out;
    for (const ScannedNode& scanned : ScanNodes(groupKey)) {
        Mesh mesh;
        if (!EvaluatedMesh(scanned.node, t, mesh)) {
            continue;
        }
        out.push_back({WideToUtf8(scanned.node->GetName()), NodeMapIndex(scanned.node, groupKey),
                       MeasureSurface(mesh, scanned.node->GetObjectTM(t),
                                      NodeMapChannel(scanned.node, groupKey), width, height)});
    }
    return out;
}

// Flattening of one chart and the checks it must pass: the conformal map
// (conformal_map.h) of a disc, or the stitching of two flattened charts,
// judged by chart_check.h against the stretch limit, plus the extent rule
// that keeps charts from spanning the atlas.
#pragma once

#include "atlas/chart_check.h"
#include "atlas/chart_mesh.h"
#include "atlas/conformal_map.h"
#include "atlas/face_geometry.h"
#include "atlas/mesh.h"
#include "atlas/topology.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

namespace vellumar::atlas {

struct FlatChart {
    ChartMesh mesh;
    std::vector<double> uv; // 2 per chart vertex; UV area equals 3D area
    double stretch_squared = 1;
    // Linked face edges left open inside the chart (both sides, ascending):
    // where a merge joined two charts along part of their border only.
    std::vector<std::uint32_t> cuts;
};

struct SegmentOptions {
    float max_stretch = 0.16667f; // limit of stretch_measure (chart_check.h); >= 1: none
    bool quality = false;         // solve larger charts instead of splitting them blind
    // Split charts that would span most of the atlas (better packing, more
    // charts); off when the caller limits the chart count.
    bool limit_extent = true;
    // Let merges join two charts along part of their shared border and
    // leave the rest open inside the chart: far fewer charts on hard
    // surfaces (boxes unfold into crosses) but ragged shapes that pack
    // worse: for every merge only when the caller limits the chart count.
    bool partial_joins = false;
    // Merges whose union holds less than this share of the mesh's area
    // join partially even when partial_joins is off: small parts (the
    // boxes and brackets of CAD scenes) unfold into one net each, which
    // saves a gutter per chart where gutters cost the most room.
    double small_part_share = 0;
    // Waves of the split phase with fewer triangles than this run on the
    // caller's thread only (threads would cost more than they save); the
    // result is the same either way.
    std::size_t parallel_wave_faces = 20000;
    // Merges of at least this many triangles are tried on a second thread
    // while the merge before them is (smaller ones cost less than starting
    // a thread); the result is the same either way.
    std::size_t parallel_merge_faces = 4000;
    // Each separate part with area becomes at least one chart: more parts
    // than the atlas has room for charts fail before any flattening.
    std::size_t max_parts = std::numeric_limits<std::size_t>::max();
};

namespace flattening {

// Above this many triangles a chart whose normals spread this widely (the
// length of the area-weighted mean normal over the area; a hemisphere has
// 0.5) is split without trying to flatten it: it would fail anyway, and
// large solves are what costs time.
inline constexpr std::size_t kSpreadCheckFaces = 64;
inline constexpr double kMinNormalCoherence = 0.45;
// An elongated chart whose long side squared passes this share of the
// mesh's area would span most of the atlas side and cap the scale of every
// chart, so it is split even when it flattens well. Compact charts (long
// side squared within kCompact times their area) are never split for this.
inline constexpr double kMaxExtent = 0.6;
inline constexpr double kCompact = 1.5;
// Charts of more triangles than this are split without a solve (dense
// meshes: the merge pass stitches the halves back where they fit); it
// bounds the cost of sparse factorisations, which grows faster than n log n.
inline constexpr std::size_t kMaxSolveFaces = 40000;
// Height, relative to the square root of the mesh area, by which a corner
// of a triangle without area is lifted off the line of the other two; and
// at most this share of the square root of the chart's own area, since a
// chart far smaller than the mesh would be bent out of shape by the lift
// (its fans of slivers fold) long before float output needs it.
inline constexpr double kLiftHeight = 1e-5;
inline constexpr double kChartLift = 1e-3;
inline constexpr double kMaxLift = 10.0; // in lift heights

inline bool within_limit(double stretch_squared, float max_stretch) {
    return max_stretch >= 1.0f || stretch_measure(stretch_squared) <= max_stretch + 1e-6;
}

} // namespace flattening

// Holds the scratch memory of one thread's flattening; borrows the mesh,
// topology and geometry for its lifetime.
class Flattener {
  public:
    Flattener(const AtlasMesh& mesh, const Topology& topology, const FaceGeometry& geometry,
              const SegmentOptions& options)
        : mesh_(mesh), geometry_(geometry), options_(options), builder_(mesh, topology, geometry) {
        for (double a : geometry.area) {
            total_area_ += a;
        }
    }

    // Builds and flattens the chart; false when it is not a disc, folds or
    // stretches beyond the limit. out.mesh is built either way; with
    // mesh_built, out.mesh already holds these faces and cuts (a failed
    // stitch of them built it).
    bool flatten(std::span<const std::uint32_t> faces, FlatChart& out,
                 std::span<const std::uint32_t> cuts = {}, bool mesh_built = false) {
        if (!mesh_built) {
            builder_.build(faces, out.mesh, cuts);
        }
        out.cuts.assign(cuts.begin(), cuts.end());
        if (!out.mesh.is_disc()) {
            return false;
        }
        if (faces.size() > flattening::kSpreadCheckFaces &&
            normal_coherence(faces) < flattening::kMinNormalCoherence) {
            return false;
        }
        if (faces.size() > (options_.quality ? 4 : 1) * flattening::kMaxSolveFaces) {
            return false;
        }
        if (!map_.flatten(out.mesh, mesh_, geometry_, out.uv)) {
            return false;
        }
        return accept(out);
    }

    // The union of two flattened neighbours without a new solve: `first`
    // is turned and moved onto `second` along their shared border (least
    // squares rigid fit; both have the same texel density already), shared
    // vertices take the mean position, and the result must pass the same
    // checks as any flattened chart. Where the two maps already agree on
    // the border this costs O(size) instead of a sparse factorisation.
    bool stitch(std::span<const std::uint32_t> faces, const FlatChart& first,
                const FlatChart& second, FlatChart& out, std::span<const std::uint32_t> cuts) {
        builder_.build(faces, out.mesh, cuts);
        out.cuts.assign(cuts.begin(), cuts.end());
        if (!out.mesh.is_disc()) {
            return false;
        }
        const std::uint32_t nv = out.mesh.vertex_count();
        sums_.assign(6 * static_cast<std::size_t>(nv),
                     0.0); // per vertex: first x, y, n; second x, y, n
        for (std::size_t i = 0; i < faces.size(); ++i) {
            const std::uint32_t f = faces[i];
            const bool in_first =
                std::binary_search(first.mesh.faces.begin(), first.mesh.faces.end(), f);
            const FlatChart& src = in_first ? first : second;
            const std::size_t j = static_cast<std::size_t>(
                std::lower_bound(src.mesh.faces.begin(), src.mesh.faces.end(), f) -
                src.mesh.faces.begin());
            for (int k = 0; k < 3; ++k) {
                const std::uint32_t sv = src.mesh.corner_vertex[3 * j + k];
                double* acc =
                    &sums_[6 * static_cast<std::size_t>(out.mesh.corner_vertex[3 * i + k]) +
                           (in_first ? 0 : 3)];
                acc[0] += src.uv[2 * sv];
                acc[1] += src.uv[2 * sv + 1];
                acc[2] += 1;
            }
        }
        // Rigid fit of the first chart's shared vertices onto the second's.
        double ca[2] = {0, 0}, cb[2] = {0, 0};
        std::size_t shared = 0;
        for (std::uint32_t v = 0; v < nv; ++v) {
            const double* a = &sums_[6 * static_cast<std::size_t>(v)];
            if (a[2] > 0 && a[5] > 0) {
                ca[0] += a[0] / a[2];
                ca[1] += a[1] / a[2];
                cb[0] += a[3] / a[5];
                cb[1] += a[4] / a[5];
                ++shared;
            }
        }
        if (shared < 2) {
            return false;
        }
        for (int x = 0; x < 2; ++x) {
            ca[x] /= static_cast<double>(shared);
            cb[x] /= static_cast<double>(shared);
        }
        double dot = 0, crs = 0;
        for (std::uint32_t v = 0; v < nv; ++v) {
            const double* a = &sums_[6 * static_cast<std::size_t>(v)];
            if (a[2] > 0 && a[5] > 0) {
                const double ax = a[0] / a[2] - ca[0], ay = a[1] / a[2] - ca[1];
                const double bx = a[3] / a[5] - cb[0], by = a[4] / a[5] - cb[1];
                dot += ax * bx + ay * by;
                crs += ax * by - ay * bx;
            }
        }
        const double len = std::hypot(dot, crs);
        const double cs = len > 0 ? dot / len : 1.0, sn = len > 0 ? crs / len : 0.0;
        out.uv.assign(2 * static_cast<std::size_t>(nv), 0.0);
        for (std::uint32_t v = 0; v < nv; ++v) {
            const double* a = &sums_[6 * static_cast<std::size_t>(v)];
            double x = 0, y = 0, n = 0;
            if (a[2] > 0) {
                const double ax = a[0] / a[2] - ca[0], ay = a[1] / a[2] - ca[1];
                x += a[2] * (cs * ax - sn * ay + cb[0]);
                y += a[2] * (sn * ax + cs * ay + cb[1]);
                n += a[2];
            }
            if (a[5] > 0) {
                x += a[3];
                y += a[4];
                n += a[5];
            }
            out.uv[2 * v] = x / n;
            out.uv[2 * v + 1] = y / n;
        }
        return accept(out);
    }

    // The common end of every flattening: lift collapsed triangles, then keep
    // the chart only when it neither folds nor stretches past the limit (nor,
    // when asked, spreads too far across the atlas).
    bool accept(FlatChart& out) {
        lift_flat_triangles(out);
        const ChartCheck check = checker_.check(out.mesh, mesh_, geometry_, out.uv);
        if (check.folded ||
            !flattening::within_limit(check.stretch_squared, options_.max_stretch)) {
            return false;
        }
        finish(out, check);
        return !options_.limit_extent ||
               long_side_squared(out.uv) <= std::max(flattening::kMaxExtent * total_area_,
                                                     flattening::kCompact * out.mesh.area);
    }

    // For a chart that cannot be split further: the conformal map when it
    // works, else the projection onto the chart's mean plane.
    void flatten_anyway(std::span<const std::uint32_t> faces, FlatChart& out) {
        builder_.build(faces, out.mesh);
        if (map_.flatten(out.mesh, mesh_, geometry_, out.uv)) {
            lift_flat_triangles(out);
            const ChartCheck check = checker_.check(out.mesh, mesh_, geometry_, out.uv);
            if (!check.folded) {
                finish(out, check);
                return;
            }
        }
        double n[3] = {0, 0, 0};
        for (std::uint32_t f : faces) {
            for (int k = 0; k < 3; ++k) {
                n[k] += geometry_.area[f] * geometry_.normal[3 * f + k];
            }
        }
        double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (len <= 0) {
            n[0] = 0;
            n[1] = 0;
            n[2] = 1;
            len = 1;
        }
        for (double& x : n) {
            x /= len;
        }
        // Any unit vector orthogonal to n, then their cross product.
        double a[3] = {std::abs(n[0]) < 0.9 ? 1.0 : 0.0, std::abs(n[0]) < 0.9 ? 0.0 : 1.0, 0.0};
        const double d = a[0] * n[0] + a[1] * n[1] + a[2] * n[2];
        for (int k = 0; k < 3; ++k) {
            a[k] -= d * n[k];
        }
        const double la = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
        for (double& x : a) {
            x /= la;
        }
        const double b[3] = {n[1] * a[2] - n[2] * a[1], n[2] * a[0] - n[0] * a[2],
                             n[0] * a[1] - n[1] * a[0]};
        const auto verts = mesh_.vertices();
        out.uv.assign(2 * static_cast<std::size_t>(out.mesh.vertex_count()), 0.0);
        for (std::uint32_t v = 0; v < out.mesh.vertex_count(); ++v) {
            const AtlasVertex& p = verts[out.mesh.vertex_source[v]];
            out.uv[2 * v] = a[0] * p.x + a[1] * p.y + a[2] * p.z;
            out.uv[2 * v + 1] = b[0] * p.x + b[1] * p.y + b[2] * p.z;
        }
        lift_flat_triangles(out);
        finish(out, checker_.check(out.mesh, mesh_, geometry_, out.uv));
    }

    // Scales the UVs so that the chart's UV area equals its 3D area: equal
    // texel density for every chart once the packer applies one scale.
    static void finish(FlatChart& out, const ChartCheck& check) {
        double area3 = out.mesh.area;
        const double uv_area = std::abs(check.uv_area);
        if (uv_area > 0 && area3 > 0) {
            const double k = std::sqrt(area3 / uv_area);
            for (double& x : out.uv) {
                x *= k;
            }
        }
        out.stretch_squared = check.stretch_squared;
    }

  private:
    // A triangle without area, or a sliver, lies on (or next to) a line in
    // 3D and so in UV, where the float rounding of the output can turn it
    // over. Its corner opposite its longest edge is lifted to the positive
    // side until it stands at least a small height above that edge, enough
    // to survive float output. Triangles already below the edge by more
    // than a few such heights are real folds and are left to the checks,
    // which also catch the rare neighbour a lift would fold.
    void lift_flat_triangles(FlatChart& chart) const {
        const double h = std::min(flattening::kLiftHeight * std::sqrt(total_area_),
                                  flattening::kChartLift * std::sqrt(chart.mesh.area));
        for (int round = 0; round < 2; ++round) {
            for (std::size_t i = 0; i < chart.mesh.faces.size(); ++i) {
                const std::uint32_t* c = &chart.mesh.corner_vertex[3 * i];
                if (c[0] == c[1] || c[1] == c[2] || c[2] == c[0]) {
                    continue; // collapses exactly, whatever the rounding
                }
                double* p[3] = {&chart.uv[2 * c[0]], &chart.uv[2 * c[1]], &chart.uv[2 * c[2]]};
                int longest = 0;
                double best = -1;
                for (int k = 0; k < 3; ++k) {
                    const double dx = p[(k + 1) % 3][0] - p[k][0], dy = p[(k + 1) % 3][1] - p[k][1];
                    if (dx * dx + dy * dy > best) {
                        best = dx * dx + dy * dy;
                        longest = k;
                    }
                }
                const double* a = p[longest];
                const double* b = p[(longest + 1) % 3];
                double* o = p[(longest + 2) % 3];
                const double len = std::sqrt(best);
                if (len <= 0) {
                    p[1][0] += h; // three corners on one point: open a tiny triangle
                    p[2][1] += h;
                    continue;
                }
                // Unit normal of a -> b on the side where a, b, o turn left.
                const double nx = -(b[1] - a[1]) / len, ny = (b[0] - a[0]) / len;
                const double d = (o[0] - a[0]) * nx + (o[1] - a[1]) * ny;
                if (d < h && d > -flattening::kMaxLift * h) {
                    o[0] += (h - d) * nx;
                    o[1] += (h - d) * ny;
                }
            }
        }
    }

    // Long side of the smallest bounding rectangle of a flattened chart,
    // over sixteen directions: what the packer has to fit into the atlas.
    static double long_side_squared(const std::vector<double>& uv) {
        constexpr int kDirections = 16; // 8 rectangles, 11.25 degrees apart
        double extent[kDirections];
        for (int d = 0; d < kDirections; ++d) {
            const double a = d * 3.14159265358979323846 / kDirections;
            const double cx = std::cos(a), sy = std::sin(a);
            double lo = 1e300, hi = -1e300;
            for (std::size_t i = 0; i < uv.size(); i += 2) {
                const double p = uv[i] * cx + uv[i + 1] * sy;
                lo = std::min(lo, p);
                hi = std::max(hi, p);
            }
            extent[d] = hi - lo;
        }
        double best_area = 1e300, side = 0;
        for (int d = 0; d < kDirections / 2; ++d) {
            const double w = extent[d], h = extent[d + kDirections / 2];
            if (w * h < best_area) {
                best_area = w * h;
                side = std::max(w, h);
            }
        }
        return side * side;
    }

    double normal_coherence(std::span<const std::uint32_t> faces) const {
        double n[3] = {0, 0, 0}, area = 0;
        for (std::uint32_t f : faces) {
            for (int k = 0; k < 3; ++k) {
                n[k] += geometry_.area[f] * geometry_.normal[3 * f + k];
            }
            area += geometry_.area[f];
        }
        return area > 0 ? std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]) / area : 1.0;
    }

    const AtlasMesh& mesh_;
    const FaceGeometry& geometry_;
    SegmentOptions options_;
    double total_area_ = 0;
    std::vector<double> sums_;
    ChartBuilder builder_;
    ConformalMap map_;
    ChartChecker checker_;
};

} // namespace vellumar::atlas

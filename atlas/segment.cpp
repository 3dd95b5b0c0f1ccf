#include "atlas/segment.h"

#include "atlas/chart_check.h"
#include "atlas/chart_split.h"
#include "atlas/conformal_map.h"

#include <algorithm>
#include <cmath>

namespace vellumar::atlas {

namespace {

// Above this many triangles a chart whose normals spread this widely (the
// length of the area-weighted mean normal over the area; a hemisphere has
// 0.5) is split without trying to flatten it: it would fail anyway, and
// large solves are what costs time.
constexpr std::size_t kSpreadCheckFaces = 64;
constexpr double kMinNormalCoherence = 0.45;
// An elongated chart whose long side squared passes this share of the
// mesh's area would span most of the atlas side and cap the scale of every
// chart, so it is split even when it flattens well. Compact charts (long
// side squared within kCompact times their area) are never split for this.
constexpr double kMaxExtent = 0.6;
constexpr double kCompact = 1.5;
// Charts of more triangles than this are split without a solve (dense
// meshes: the merge pass stitches the halves back where they fit), and
// merges of more than kMaxMergeSolveFaces are tried by stitching only. Both
// bound the cost of sparse factorisations, which grows faster than n log n.
constexpr std::size_t kMaxSolveFaces = 40000;
constexpr std::size_t kMaxMergeSolveFaces = 20000;
// A merge may make the outline squared over area at most this much worse
// than that of the less compact of the two charts.
constexpr double kCompactGrowth = 1.3;
// Height, relative to the square root of the mesh area, by which a corner
// of a triangle without area is lifted off the line of the other two.
constexpr double kLiftHeight = 1e-5;
constexpr double kMaxLift = 10.0; // in lift heights

bool within_limit(double stretch_squared, float max_stretch) {
    return max_stretch >= 1.0f || stretch_measure(stretch_squared) <= max_stretch + 1e-6;
}

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
    // stretches beyond the limit. out.mesh is built either way.
    bool flatten(std::span<const std::uint32_t> faces, FlatChart& out) {
        builder_.build(faces, out.mesh);
        if (!out.mesh.is_disc()) {
            return false;
        }
        if (faces.size() > kSpreadCheckFaces && normal_coherence(faces) < kMinNormalCoherence) {
            return false;
        }
        if (faces.size() > (options_.quality ? 4 : 1) * kMaxSolveFaces) {
            return false;
        }
        if (!map_.flatten(out.mesh, mesh_, geometry_, out.uv)) {
            return false;
        }
        lift_flat_triangles(out);
        const ChartCheck check = checker_.check(out.mesh, mesh_, geometry_, out.uv);
        if (check.folded || !within_limit(check.stretch_squared, options_.max_stretch)) {
            return false;
        }
        finish(out, check);
        if (options_.limit_extent &&
            long_side_squared(out.uv) >
                std::max(kMaxExtent * total_area_, kCompact * out.mesh.area)) {
            return false;
        }
        return true;
    }

    // The union of two flattened neighbours without a new solve: `first`
    // is turned and moved onto `second` along their shared border (least
    // squares rigid fit; both have the same texel density already), shared
    // vertices take the mean position, and the result must pass the same
    // checks as any flattened chart. Where the two maps already agree on
    // the border this costs O(size) instead of a sparse factorisation.
    bool stitch(std::span<const std::uint32_t> faces, const FlatChart& first,
                const FlatChart& second, FlatChart& out) {
        builder_.build(faces, out.mesh);
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
        lift_flat_triangles(out);
        const ChartCheck check = checker_.check(out.mesh, mesh_, geometry_, out.uv);
        if (check.folded || !within_limit(check.stretch_squared, options_.max_stretch)) {
            return false;
        }
        finish(out, check);
        return !options_.limit_extent ||
               long_side_squared(out.uv) <=
                   std::max(kMaxExtent * total_area_, kCompact * out.mesh.area);
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

  private:
    // A triangle without area, or a sliver, lies on (or next to) a line in
    // 3D and so in UV, where the float rounding of the output can turn it
    // over. Its corner opposite its longest edge is lifted to the positive
    // side until it stands at least a small height above that edge, enough
    // to survive float output. Triangles already below the edge by more
    // than a few such heights are real folds and are left to the checks,
    // which also catch the rare neighbour a lift would fold.
    void lift_flat_triangles(FlatChart& chart) const {
        const double h = kLiftHeight * std::sqrt(total_area_);
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
                if (d < h && d > -kMaxLift * h) {
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

    const AtlasMesh& mesh_;
    const FaceGeometry& geometry_;
    SegmentOptions options_;
    double total_area_ = 0;
    std::vector<double> sums_;
    ChartBuilder builder_;
    ConformalMap map_;
    ChartChecker checker_;
};

// Connected parts of the link graph, each ascending, in order of their
// lowest triangle.
std::vector<std::vector<std::uint32_t>> linked_parts(const Topology& topology,
                                                     std::uint32_t faces) {
    std::vector<std::vector<std::uint32_t>> parts;
    std::vector<std::uint8_t> seen(faces, 0);
    std::vector<std::uint32_t> queue;
    for (std::uint32_t f = 0; f < faces; ++f) {
        if (seen[f]) {
            continue;
        }
        queue.assign(1, f);
        seen[f] = 1;
        for (std::size_t i = 0; i < queue.size(); ++i) {
            const std::uint32_t g = queue[i];
            for (int k = 0; k < 3; ++k) {
                const std::uint32_t t = topology.twin[3 * g + k];
                if (t != kNoNeighbour && !seen[t / 3]) {
                    seen[t / 3] = 1;
                    queue.push_back(t / 3);
                }
            }
        }
        std::sort(queue.begin(), queue.end());
        parts.push_back(queue);
    }
    return parts;
}

// Greedy merging of neighbouring charts, those sharing the longest border
// (relative to the smaller outline) first, whenever the union stays compact
// and still flattens within the limits.
class Merger {
  public:
    Merger(const AtlasMesh& mesh, const Topology& topology, Flattener& flattener,
           std::vector<FlatChart>& charts, bool quality)
        : mesh_(mesh), topology_(topology), flattener_(flattener), charts_(charts),
          merge_solve_limit_((quality ? 4 : 1) * kMaxMergeSolveFaces),
          chart_of_face_(mesh.face_count(), 0), alive_(charts.size(), 1),
          version_(charts.size(), 0) {
        for (std::uint32_t c = 0; c < charts_.size(); ++c) {
            for (std::uint32_t f : charts_[c].mesh.faces) {
                chart_of_face_[f] = c;
            }
        }
        perimeter_.resize(charts_.size());
        for (std::uint32_t c = 0; c < charts_.size(); ++c) {
            perimeter_[c] = perimeter(charts_[c].mesh);
        }
        for (std::uint32_t c = 0; c < charts_.size(); ++c) {
            push_neighbours(c);
        }
    }

    bool run(ProgressReporter& progress) {
        std::size_t attempts = 0;
        FlatChart merged;
        std::vector<std::uint32_t> faces;
        while (!queue_.empty()) {
            std::pop_heap(queue_.begin(), queue_.end());
            const Candidate item = queue_.back();
            queue_.pop_back();
            if (!alive_[item.a] || !alive_[item.b] || version_[item.a] != item.version_a ||
                version_[item.b] != item.version_b) {
                continue;
            }
            if (!progress.report(0.5f + 0.5f * static_cast<float>(attempts) /
                                            static_cast<float>(attempts + queue_.size()))) {
                return false;
            }
            ++attempts;
            const auto& fa = charts_[item.a].mesh.faces;
            const auto& fb = charts_[item.b].mesh.faces;
            faces.resize(fa.size() + fb.size());
            std::merge(fa.begin(), fa.end(), fb.begin(), fb.end(), faces.begin());
            // Stitching first: it is cheap and, where it works, keeps both
            // maps. Large unions are only ever stitched, which bounds the
            // cost of this pass on dense meshes.
            if (!stays_compact(item)) {
                continue;
            }
            if (!flattener_.stitch(faces, charts_[item.a], charts_[item.b], merged) &&
                (faces.size() > merge_solve_limit_ || !flattener_.flatten(faces, merged))) {
                continue;
            }
            for (std::uint32_t f : fb) {
                chart_of_face_[f] = item.a;
            }
            perimeter_[item.a] = perimeter_[item.a] + perimeter_[item.b] - 2 * item.shared;
            charts_[item.a] = std::move(merged);
            merged = FlatChart{};
            charts_[item.b] = FlatChart{};
            alive_[item.b] = 0;
            ++version_[item.a];
            push_neighbours(item.a);
        }
        std::size_t kept = 0;
        for (std::size_t c = 0; c < charts_.size(); ++c) {
            if (alive_[c]) {
                if (kept != c) {
                    charts_[kept] = std::move(charts_[c]);
                }
                ++kept;
            }
        }
        charts_.resize(kept);
        return true;
    }

  private:
    struct Candidate {
        double priority, shared;
        std::uint32_t a, b, version_a, version_b;
        // Max-heap order: highest priority, then longer shared borders.
        bool operator<(const Candidate& o) const {
            if (priority != o.priority) {
                return priority < o.priority;
            }
            if (shared != o.shared) {
                return shared < o.shared;
            }
            return a != o.a ? a > o.a : b > o.b;
        }
    };

    // Outline squared over area (isoperimetric ratio) must not grow much:
    // ragged charts waste gutter and pack poorly.
    bool stays_compact(const Candidate& item) const {
        const double pa = perimeter_[item.a], pb = perimeter_[item.b];
        const double aa = std::max(charts_[item.a].mesh.area, 1e-300);
        const double ab = std::max(charts_[item.b].mesh.area, 1e-300);
        const double pu = pa + pb - 2 * item.shared;
        return pu * pu / (aa + ab) <= kCompactGrowth * std::max(pa * pa / aa, pb * pb / ab);
    }

    double perimeter(const ChartMesh& chart) const {
        const auto indices = mesh_.indices();
        const auto verts = mesh_.vertices();
        double total = 0;
        for (std::size_t e = 0; e < chart.border.size(); ++e) {
            if (!chart.border[e]) {
                continue;
            }
            const std::uint32_t f = chart.faces[e / 3];
            const AtlasVertex& p = verts[indices[3 * f + e % 3]];
            const AtlasVertex& q = verts[indices[3 * f + (e + 1) % 3]];
            total += std::sqrt(double(p.x - q.x) * (p.x - q.x) + double(p.y - q.y) * (p.y - q.y) +
                               double(p.z - q.z) * (p.z - q.z));
        }
        return total;
    }

    void push_neighbours(std::uint32_t c) {
        const auto indices = mesh_.indices();
        const auto verts = mesh_.vertices();
        borders_.clear();
        for (std::uint32_t f : charts_[c].mesh.faces) {
            for (std::uint32_t k = 0; k < 3; ++k) {
                const std::uint32_t t = topology_.twin[3 * f + k];
                if (t == kNoNeighbour || chart_of_face_[t / 3] == c) {
                    continue;
                }
                const AtlasVertex& p = verts[indices[3 * f + k]];
                const AtlasVertex& q = verts[indices[3 * f + (k + 1) % 3]];
                const double len =
                    std::sqrt(double(p.x - q.x) * (p.x - q.x) + double(p.y - q.y) * (p.y - q.y) +
                              double(p.z - q.z) * (p.z - q.z));
                borders_.push_back({chart_of_face_[t / 3], len});
            }
        }
        std::sort(borders_.begin(), borders_.end());
        for (std::size_t i = 0; i < borders_.size();) {
            const std::uint32_t d = borders_[i].first;
            double shared = 0;
            for (; i < borders_.size() && borders_[i].first == d; ++i) {
                shared += borders_[i].second;
            }
            const std::uint32_t a = std::min(c, d), b = std::max(c, d);
            // Longest shared border relative to the smaller outline first:
            // such merges remove the most border per chart saved.
            const double priority =
                shared / std::max(std::min(perimeter_[a], perimeter_[b]), 1e-300);
            queue_.push_back({priority, shared, a, b, version_[a], version_[b]});
            std::push_heap(queue_.begin(), queue_.end());
        }
    }

    const AtlasMesh& mesh_;
    const Topology& topology_;
    Flattener& flattener_;
    std::vector<FlatChart>& charts_;
    std::size_t merge_solve_limit_;
    std::vector<std::uint32_t> chart_of_face_;
    std::vector<std::uint8_t> alive_;
    std::vector<std::uint32_t> version_;
    std::vector<double> perimeter_;
    std::vector<Candidate> queue_;
    std::vector<std::pair<std::uint32_t, double>> borders_;
};

} // namespace

Status flatten_charts(const AtlasMesh& mesh, const Topology& topology, const FaceGeometry& geometry,
                      const SegmentOptions& options, ProgressReporter& progress,
                      std::vector<FlatChart>& out) {
    out.clear();
    const std::uint32_t total = mesh.face_count();
    Flattener flattener(mesh, topology, geometry, options);
    ChartSplitter splitter(topology, geometry);
    std::vector<std::vector<std::uint32_t>> pending = linked_parts(topology, total);
    std::reverse(pending.begin(), pending.end());
    std::size_t done = 0;
    std::vector<std::uint32_t> first, second;
    FlatChart chart;
    // 1. Split until every chart flattens within the limits.
    while (!pending.empty()) {
        std::vector<std::uint32_t> faces = std::move(pending.back());
        pending.pop_back();
        if (!flattener.flatten(faces, chart)) {
            if (splitter.split(faces, first, second)) {
                pending.push_back(second);
                pending.push_back(first);
                continue;
            }
            flattener.flatten_anyway(faces, chart);
        }
        done += faces.size();
        out.push_back(std::move(chart));
        chart = FlatChart{};
        if (!progress.report(0.5f * static_cast<float>(done) / static_cast<float>(total))) {
            return Status::Failed;
        }
    }
    // 2. Undo the splits that went further than needed.
    Merger merger(mesh, topology, flattener, out, options.quality);
    return merger.run(progress) ? Status::Ok : Status::Failed;
}

} // namespace vellumar::atlas

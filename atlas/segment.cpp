#include "atlas/segment.h"

#include "atlas/chart_check.h"
#include "atlas/chart_split.h"
#include "atlas/conformal_map.h"

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstdio>

namespace vellumar::atlas {

namespace {

// Above this many triangles a chart whose normals spread this widely (the
// length of the area-weighted mean normal over the area; a hemisphere has
// 0.5) is split without trying to flatten it: it would fail anyway, and
// large solves are what costs time.
constexpr std::size_t kSpreadCheckFaces = 64;
constexpr double kMinNormalCoherence = 0.45;
// A chart whose extent squared passes this share of the mesh's area would
// span most of the atlas side and cap the scale of every other chart, so
// such charts are split even when they flatten well.
constexpr double kMaxExtent = 0.36;

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
            ++why[0]; wf[0]+=faces.size();
            return false;
        }
        if (faces.size() > kSpreadCheckFaces && normal_coherence(faces) < kMinNormalCoherence) {
            ++why[1]; wf[1]+=faces.size();
            return false;
        }
        if (!map_.flatten(out.mesh, mesh_, geometry_, out.uv)) {
            ++why[2]; wf[2]+=faces.size();
            return false;
        }
        const ChartCheck check = checker_.check(out.mesh, mesh_, geometry_, out.uv);
        if (check.folded || !within_limit(check.stretch_squared, options_.max_stretch)) {
            ++why[check.folded ? 3 : 4]; wf[check.folded ? 3 : 4]+=faces.size();
            if (!check.folded) { double m = stretch_measure(check.stretch_squared); int b = m < 0.2 ? 0 : m < 0.3 ? 1 : m < 0.5 ? 2 : 3; ++hist[b]; }
            return false;
        }
        ++why[5]; wf[5]+=faces.size();
        finish(out, check);
        if (options_.limit_extent && diameter_squared(out.uv) > kMaxExtent * total_area_) {
            return false;
        }
        return true;
    }

    // For a chart that cannot be split further: the conformal map when it
    // works, else the projection onto the chart's mean plane.
    void flatten_anyway(std::span<const std::uint32_t> faces, FlatChart& out) {
        builder_.build(faces, out.mesh);
        if (map_.flatten(out.mesh, mesh_, geometry_, out.uv)) {
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
        finish(out, checker_.check(out.mesh, mesh_, geometry_, out.uv));
    }

    size_t why[6] = {}, wf[6] = {}, hist[4] = {};
    void dump(const char* tag) { std::fprintf(stderr, "TRACE %s notdisc %zu/%zu coh %zu/%zu solve %zu/%zu fold %zu/%zu stretch %zu/%zu ok %zu/%zu hist %zu %zu %zu %zu\n", tag, why[0], wf[0], why[1], wf[1], why[2], wf[2], why[3], wf[3], why[4], wf[4], why[5], wf[5], hist[0], hist[1], hist[2], hist[3]); for (auto& x : why) x = 0; for (auto& x : wf) x = 0; for (auto& x : hist) x = 0;}
  private:
    // Longest extent of a flattened chart, measured over eight directions
    // (within 2 % of the true diameter).
    static double diameter_squared(const std::vector<double>& uv) {
        double best = 0;
        for (int d = 0; d < 8; ++d) {
            const double a = d * 3.14159265358979323846 / 8;
            const double cx = std::cos(a), sy = std::sin(a);
            double lo = 1e300, hi = -1e300;
            for (std::size_t i = 0; i < uv.size(); i += 2) {
                const double p = uv[i] * cx + uv[i + 1] * sy;
                lo = std::min(lo, p);
                hi = std::max(hi, p);
            }
            best = std::max(best, hi - lo);
        }
        return best * best;
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

// Greedy merging of neighbouring charts, smallest first: a chart is joined
// to the neighbour it shares the longest border with whenever the union
// still flattens within the limits.
class Merger {
  public:
    Merger(const AtlasMesh& mesh, const Topology& topology, Flattener& flattener,
           std::vector<FlatChart>& charts)
        : mesh_(mesh), topology_(topology), flattener_(flattener), charts_(charts),
          chart_of_face_(mesh.face_count(), 0), alive_(charts.size(), 1),
          version_(charts.size(), 0) {
        for (std::uint32_t c = 0; c < charts_.size(); ++c) {
            for (std::uint32_t f : charts_[c].mesh.faces) {
                chart_of_face_[f] = c;
            }
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
            ++attempts; ++attempts_; faces_ += charts_[item.a].mesh.faces.size() + charts_[item.b].mesh.faces.size();
            const auto& fa = charts_[item.a].mesh.faces;
            const auto& fb = charts_[item.b].mesh.faces;
            faces.resize(fa.size() + fb.size());
            std::merge(fa.begin(), fa.end(), fb.begin(), fb.end(), faces.begin());
            if (!flattener_.flatten(faces, merged)) {
                continue;
            }
            for (std::uint32_t f : fb) {
                chart_of_face_[f] = item.a;
            }
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

    std::size_t attempts_ = 0, faces_ = 0;
  private:
    struct Candidate {
        double smaller_area, shared;
        std::uint32_t a, b, version_a, version_b;
        // Max-heap order: smaller charts first, then longer shared borders.
        bool operator<(const Candidate& o) const {
            if (smaller_area != o.smaller_area) {
                return smaller_area > o.smaller_area;
            }
            if (shared != o.shared) {
                return shared < o.shared;
            }
            return a != o.a ? a > o.a : b > o.b;
        }
    };

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
                const double len = std::sqrt(double(p.x - q.x) * (p.x - q.x) +
                                             double(p.y - q.y) * (p.y - q.y) +
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
            queue_.push_back({std::min(charts_[a].mesh.area, charts_[b].mesh.area), shared, a, b,
                              version_[a], version_[b]});
            std::push_heap(queue_.begin(), queue_.end());
        }
    }

    const AtlasMesh& mesh_;
    const Topology& topology_;
    Flattener& flattener_;
    std::vector<FlatChart>& charts_;
    std::vector<std::uint32_t> chart_of_face_;
    std::vector<std::uint8_t> alive_;
    std::vector<std::uint32_t> version_;
    std::vector<Candidate> queue_;
    std::vector<std::pair<std::uint32_t, double>> borders_;
};

} // namespace

Status flatten_charts(const AtlasMesh& mesh, const Topology& topology,
                      const FaceGeometry& geometry, const SegmentOptions& options,
                      ProgressReporter& progress, std::vector<FlatChart>& out) {
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
    auto t0 = std::chrono::steady_clock::now();
    std::fprintf(stderr, "TRACE split charts %zu\n", out.size()); flattener.dump("split");
    Merger merger(mesh, topology, flattener, out);
    bool ok = merger.run(progress); flattener.dump("merge");
    std::fprintf(stderr, "TRACE merge %.3f attempts %zu faces %zu\n", std::chrono::duration<double>(std::chrono::steady_clock::now()-t0).count(), merger.attempts_, merger.faces_);
    return ok ? Status::Ok : Status::Failed;
}

} // namespace vellumar::atlas

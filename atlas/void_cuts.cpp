#include "atlas/void_cuts.h"

#include "atlas/chart_check.h"
#include "atlas/chart_mesh.h"
#include "atlas/convex_hull.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <utility>

namespace vellumar::atlas {

namespace {

// A chart is worth cutting when it fills less than this share of its hull
// and holds at least kMinShare of all the charts' area; the cut must save
// at least kMinGain of the hull and leave each half kMinPart of the chart.
// Loose on purpose: the packer has the last word on every set of cuts.
constexpr double kMaxFill = 0.9;
constexpr double kMinShare = 0.01;
constexpr double kMinGain = 0.05;
constexpr double kMinPart = 0.1;
constexpr int kDirections = 12;
constexpr int kOffsets = 15;

using Point = std::array<double, 2>;

class Cutter {
  public:
    Cutter(const AtlasMesh& mesh, const Topology& topology, const FaceGeometry& geometry,
           float max_stretch)
        : mesh_(mesh), topology_(topology), geometry_(geometry), max_stretch_(max_stretch),
          builder_(mesh, topology, geometry), side_(mesh.face_count(), kNone) {}

    double hull_of(const FlatChart& chart) {
        convex_hull(chart.uv.data(), chart.uv.size() / 2, order_, hull_);
        return polygon_area(chart.uv.data(), hull_);
    }

    // The best straight cut of `chart`, as its two halves; false when no
    // cut saves enough.
    bool cut(const FlatChart& chart, double hull, FlatChart& first, FlatChart& second) {
        const ChartMesh& cm = chart.mesh;
        const std::size_t n = cm.faces.size();
        // Each polygon goes to the side of its first triangle's centroid.
        centroid_.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            Point c = {0, 0};
            for (int k = 0; k < 3; ++k) {
                c[0] += chart.uv[2 * cm.corner_vertex[3 * i + k]] / 3;
                c[1] += chart.uv[2 * cm.corner_vertex[3 * i + k] + 1] / 3;
            }
            centroid_[i] = c;
        }
        on_border_.assign(cm.vertex_count(), 0);
        for (std::size_t e = 0; e < cm.border.size(); ++e) {
            if (cm.border[e]) {
                on_border_[cm.corner_vertex[e]] = 1;
                on_border_[cm.corner_vertex[e - e % 3 + (e + 1) % 3]] = 1;
            }
        }
        double best = (1.0 - kMinGain) * hull;
        bool found = false;
        for (int d = 0; d < kDirections; ++d) {
            const double angle = std::numbers::pi * d / kDirections;
            const double dx = std::cos(angle), dy = std::sin(angle);
            double lo = 1e300, hi = -1e300;
            for (const Point& c : centroid_) {
                lo = std::min(lo, c[0] * dx + c[1] * dy);
                hi = std::max(hi, c[0] * dx + c[1] * dy);
            }
            for (int o = 1; o <= kOffsets; ++o) {
                const double at = lo + (hi - lo) * o / (kOffsets + 1);
                if (!assign(chart, dx, dy, at)) {
                    continue;
                }
                mark_vertices(chart);
                const double h = half_hull(chart, 0) + half_hull(chart, 1);
                if (h < best && split_faces(chart) && checked(first_faces_, chart, first) &&
                    checked(second_faces_, chart, second)) {
                    best = h;
                    found = true;
                    kept_[0] = first;
                    kept_[1] = second;
                }
            }
        }
        if (found) {
            first = std::move(kept_[0]);
            second = std::move(kept_[1]);
        }
        for (std::uint32_t f : cm.faces) {
            side_[f] = kNone;
        }
        return found;
    }

  private:
    static constexpr std::uint8_t kNone = 255;

    // Sides by polygon; false when a half is too small.
    bool assign(const FlatChart& chart, double dx, double dy, double at) {
        const ChartMesh& cm = chart.mesh;
        double area[2] = {0, 0};
        for (std::size_t i = 0; i < cm.faces.size(); ++i) {
            const std::uint32_t f = cm.faces[i];
            const std::uint32_t first =
                topology_.unit_faces[topology_.unit_begin[topology_.unit_of_face[f]]];
            if (first != f) {
                continue;
            }
            const std::uint8_t s = centroid_[i][0] * dx + centroid_[i][1] * dy < at ? 0 : 1;
            const std::uint32_t u = topology_.unit_of_face[f];
            for (std::uint32_t j = topology_.unit_begin[u]; j < topology_.unit_begin[u + 1]; ++j) {
                side_[topology_.unit_faces[j]] = s;
                area[s] += geometry_.area[topology_.unit_faces[j]];
            }
        }
        const double total = area[0] + area[1];
        return area[0] >= kMinPart * total && area[1] >= kMinPart * total;
    }

    // A vertex all of whose triangles lie on one side is inside that half,
    // so only the chart's border vertices and those the cut runs through
    // can be corners of a half's hull: a few hundred points where a large
    // chart has tens of thousands of vertices, for every trial cut.
    void mark_vertices(const FlatChart& chart) {
        const ChartMesh& cm = chart.mesh;
        sides_of_vertex_.assign(cm.vertex_count(), 0);
        for (std::size_t i = 0; i < cm.faces.size(); ++i) {
            const std::uint8_t bit = static_cast<std::uint8_t>(1u << side_[cm.faces[i]]);
            for (int k = 0; k < 3; ++k) {
                sides_of_vertex_[cm.corner_vertex[3 * i + k]] |= bit;
            }
        }
    }

    double half_hull(const FlatChart& chart, std::uint8_t s) {
        points_.clear();
        const std::uint8_t bit = static_cast<std::uint8_t>(1u << s);
        for (std::size_t v = 0; v < sides_of_vertex_.size(); ++v) {
            if ((sides_of_vertex_[v] & bit) && (on_border_[v] || sides_of_vertex_[v] == 3)) {
                points_.push_back(chart.uv[2 * v]);
                points_.push_back(chart.uv[2 * v + 1]);
            }
        }
        convex_hull(points_.data(), points_.size() / 2, order_, hull_);
        return polygon_area(points_.data(), hull_);
    }

    // The faces of each side, when both are connected through the chart's
    // own links.
    bool split_faces(const FlatChart& chart) {
        first_faces_.clear();
        second_faces_.clear();
        for (std::uint32_t f : chart.mesh.faces) {
            (side_[f] == 0 ? first_faces_ : second_faces_).push_back(f);
        }
        return !first_faces_.empty() && !second_faces_.empty() && connected(first_faces_, 0) &&
               connected(second_faces_, 1);
    }

    bool connected(const std::vector<std::uint32_t>& faces, std::uint8_t s) {
        queue_.assign(1, faces.front());
        side_[faces.front()] = s + 2;
        for (std::size_t i = 0; i < queue_.size(); ++i) {
            for (int k = 0; k < 3; ++k) {
                const std::uint32_t t = topology_.twin[3 * queue_[i] + k];
                if (t != kNoNeighbour && side_[t / 3] == s) {
                    side_[t / 3] = s + 2;
                    queue_.push_back(t / 3);
                }
            }
        }
        for (std::uint32_t f : queue_) {
            side_[f] = s;
        }
        return queue_.size() == faces.size();
    }

    // The half with its UVs taken from the whole chart, rescaled to its
    // own 3D area like every chart; false past the stretch limit.
    bool checked(const std::vector<std::uint32_t>& faces, const FlatChart& whole, FlatChart& out) {
        builder_.build(faces, out.mesh);
        out.cuts.clear();
        out.uv.assign(2 * static_cast<std::size_t>(out.mesh.vertex_count()), 0.0);
        const ChartMesh& wm = whole.mesh;
        for (std::size_t i = 0; i < faces.size(); ++i) {
            const std::size_t j = static_cast<std::size_t>(
                std::lower_bound(wm.faces.begin(), wm.faces.end(), faces[i]) - wm.faces.begin());
            for (int k = 0; k < 3; ++k) {
                const std::uint32_t from = wm.corner_vertex[3 * j + k];
                const std::uint32_t to = out.mesh.corner_vertex[3 * i + k];
                out.uv[2 * to] = whole.uv[2 * from];
                out.uv[2 * to + 1] = whole.uv[2 * from + 1];
            }
        }
        const ChartCheck check = checker_.check(out.mesh, mesh_, geometry_, out.uv);
        if (check.folded || !flattening::within_limit(check.stretch_squared, max_stretch_) ||
            !(check.uv_area > 0) || !(out.mesh.area > 0)) {
            return false;
        }
        Flattener::finish(out, check);
        return true;
    }

    const AtlasMesh& mesh_;
    const Topology& topology_;
    const FaceGeometry& geometry_;
    float max_stretch_;
    ChartBuilder builder_;
    ChartChecker checker_;
    std::vector<std::uint8_t> side_; // per mesh face: 0, 1, or kNone outside the chart
    std::vector<Point> centroid_;
    std::vector<double> points_;
    std::vector<std::uint8_t> sides_of_vertex_, on_border_; // per chart vertex
    std::vector<std::uint32_t> order_, hull_;
    std::vector<std::uint32_t> first_faces_, second_faces_, queue_;
    FlatChart kept_[2];
};

} // namespace

std::vector<VoidCut> find_void_cuts(const AtlasMesh& mesh, const Topology& topology,
                                    const FaceGeometry& geometry, float max_stretch,
                                    std::size_t max_cuts, const std::vector<FlatChart>& charts) {
    Cutter cutter(mesh, topology, geometry, max_stretch);
    double total = 0;
    for (const FlatChart& c : charts) {
        total += c.mesh.area;
    }
    // Largest waste first.
    std::vector<std::pair<double, std::uint32_t>> waste;
    std::vector<double> hulls(charts.size(), 0);
    for (std::uint32_t c = 0; c < charts.size(); ++c) {
        const FlatChart& chart = charts[c];
        if (!chart.cuts.empty() || chart.mesh.area < kMinShare * total) {
            continue;
        }
        hulls[c] = cutter.hull_of(chart);
        if (chart.mesh.area < kMaxFill * hulls[c]) {
            waste.emplace_back(hulls[c] - chart.mesh.area, c);
        }
    }
    std::sort(waste.begin(), waste.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    std::vector<VoidCut> cuts;
    VoidCut cut;
    for (const auto& [w, c] : waste) {
        if (cuts.size() == max_cuts) {
            break;
        }
        if (cutter.cut(charts[c], hulls[c], cut.first, cut.second)) {
            cut.chart = c;
            cuts.push_back(std::move(cut));
            cut = VoidCut{};
        }
    }
    return cuts;
}

std::vector<FlatChart> with_cuts(const std::vector<FlatChart>& charts,
                                 std::span<const VoidCut> cuts) {
    std::vector<FlatChart> out = charts;
    for (const VoidCut& cut : cuts) {
        out[cut.chart] = cut.first;
        out.push_back(cut.second);
    }
    return out;
}

} // namespace vellumar::atlas

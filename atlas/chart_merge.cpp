#include "atlas/chart_merge.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numeric>
#include <system_error>
#include <thread>
#include <utility>

namespace vellumar::atlas {

namespace {

// Merges of more triangles than this are tried by stitching only, which
// bounds the cost of the merge pass on dense meshes.
constexpr std::size_t kMaxMergeSolveFaces = 20000;
// A merge may make the outline squared over area at most this much worse
// than that of the less compact of the two charts.
constexpr double kCompactGrowth = 1.3;
// Shared border edges meeting at a vertex at more than this angle (radians)
// belong to different straight runs of the border.
constexpr double kRunTurn = 0.5;

// Greedy merging of neighbouring charts, those sharing the longest border
// (relative to the smaller outline) first, whenever the union stays compact
// and still flattens within the limits.
class Merger {
  public:
    Merger(const AtlasMesh& mesh, const Topology& topology, Flattener& flattener, Flattener* spare,
           std::vector<FlatChart>& charts, const SegmentOptions& options)
        : mesh_(mesh), topology_(topology), flattener_(flattener), charts_(charts),
          merge_solve_limit_((options.quality ? 4 : 1) * kMaxMergeSolveFaces),
          partial_joins_(options.partial_joins), chart_of_face_(mesh.face_count(), 0),
          small_area_(options.small_part_share * total_area(charts)), alive_(charts.size(), 1),
          version_(charts.size(), 0), spare_(spare), guess_faces_(options.parallel_merge_faces) {
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
        Outcome outcome;
        while (!queue_.empty()) {
            const Candidate item = pop();
            if (!valid(item)) {
                continue;
            }
            if (!progress.report(0.5f + 0.5f * static_cast<float>(attempts) /
                                            static_cast<float>(attempts + queue_.size()))) {
                return false;
            }
            ++attempts;
            if (guessed_ && same(guess_, item)) {
                outcome = std::move(guessed_outcome_);
            } else {
                evaluate_beside_next(item, outcome);
            }
            guessed_ = guessed_ && !same(guess_, item);
            if (!outcome.ok) {
                continue;
            }
            for (std::uint32_t f : charts_[item.b].mesh.faces) {
                chart_of_face_[f] = item.a;
            }
            perimeter_[item.a] = perimeter_[item.a] + perimeter_[item.b] - 2 * outcome.joined;
            charts_[item.a] = std::move(outcome.merged);
            outcome.merged = FlatChart{};
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
    // What trying one merge gave: the merged chart when it passed.
    struct Outcome {
        bool ok = false;
        double joined = 0; // length of the border the union closes
        FlatChart merged;
    };

    // Scratch memory of one thread's merge attempts.
    struct Scratch {
        std::vector<std::uint32_t> faces, cuts, extra_cuts, shared, run_parent;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> ends; // (vertex, shared edge)
        std::vector<double> run_length;
    };

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

    Candidate pop() {
        std::pop_heap(queue_.begin(), queue_.end());
        const Candidate item = queue_.back();
        queue_.pop_back();
        return item;
    }

    // A candidate whose charts changed since it was queued is stale, for
    // good: versions only grow and charts only die.
    bool valid(const Candidate& item) const {
        return alive_[item.a] && alive_[item.b] && version_[item.a] == item.version_a &&
               version_[item.b] == item.version_b;
    }

    static bool same(const Candidate& x, const Candidate& y) {
        return x.a == y.a && x.b == y.b && x.version_a == y.version_a && x.version_b == y.version_b;
    }

    std::size_t faces_of(const Candidate& item) const {
        return charts_[item.a].mesh.faces.size() + charts_[item.b].mesh.faces.size();
    }

    // Tries `item` and, on the spare flattener's thread, the next valid
    // candidate of the queue when it is large. Trying a merge reads the two
    // charts only, and nothing changes until both are done, so the guess
    // holds whenever its candidate comes up unchanged: the same merges in
    // the same order as one thread would make.
    void evaluate_beside_next(const Candidate& item, Outcome& out) {
        while (!queue_.empty() && !valid(queue_.front())) {
            pop();
        }
        const bool guess =
            spare_ != nullptr && !queue_.empty() && faces_of(queue_.front()) >= guess_faces_;
        if (!guess) {
            evaluate(item, flattener_, scratch_, out);
            return;
        }
        guess_ = queue_.front();
        bool guessed = false;
        {
            std::jthread helper;
            try {
                helper = std::jthread([&] {
                    try {
                        evaluate(guess_, *spare_, spare_scratch_, guessed_outcome_);
                        guessed = true;
                    } catch (const std::bad_alloc&) {
                        // Only a guess: the candidate is tried again when it comes up.
                    }
                });
            } catch (const std::system_error&) {
                // No thread: no guess.
            }
            evaluate(item, flattener_, scratch_, out);
        }
        guessed_ = guessed;
    }

    void evaluate(const Candidate& item, Flattener& flattener, Scratch& s, Outcome& out) const {
        const auto& fa = charts_[item.a].mesh.faces;
        const auto& fb = charts_[item.b].mesh.faces;
        s.faces.resize(fa.size() + fb.size());
        std::merge(fa.begin(), fa.end(), fb.begin(), fb.end(), s.faces.begin());
        const auto& ca = charts_[item.a].cuts;
        const auto& cb = charts_[item.b].cuts;
        s.cuts.resize(ca.size() + cb.size());
        std::merge(ca.begin(), ca.end(), cb.begin(), cb.end(), s.cuts.begin());
        out.joined = item.shared;
        out.ok =
            stays_compact(item, out.joined) && join(item, flattener, s.faces, s.cuts, out.merged);
        const bool partial =
            partial_joins_ || charts_[item.a].mesh.area + charts_[item.b].mesh.area < small_area_;
        if (!out.ok && partial && open_all_but_longest_run(item.a, item.b, s, out.joined)) {
            const std::size_t old = s.cuts.size();
            s.cuts.insert(s.cuts.end(), s.extra_cuts.begin(), s.extra_cuts.end());
            std::inplace_merge(s.cuts.begin(), s.cuts.begin() + static_cast<std::ptrdiff_t>(old),
                               s.cuts.end());
            out.ok = stays_compact(item, out.joined) &&
                     join(item, flattener, s.faces, s.cuts, out.merged);
        }
    }

    // Stitching first: it is cheap and, where it works, keeps both maps.
    // Large unions are only ever stitched, which bounds the cost of this
    // pass on dense meshes. A failed stitch leaves the union's chart mesh
    // built for the solve.
    bool join(const Candidate& item, Flattener& flattener, std::span<const std::uint32_t> faces,
              std::span<const std::uint32_t> cuts, FlatChart& merged) const {
        return flattener.stitch(faces, charts_[item.a], charts_[item.b], merged, cuts) ||
               (faces.size() <= merge_solve_limit_ && flattener.flatten(faces, merged, cuts, true));
    }

    // Splits the border shared by charts a and b into straight runs (edges
    // meeting at a vertex at less than kRunTurn) and fills extra_cuts_ with
    // both sides of every shared edge outside the longest run; `joined`
    // becomes that run's length. False when the border is a single run.
    bool open_all_but_longest_run(std::uint32_t a, std::uint32_t b, Scratch& sc,
                                  double& joined) const {
        const auto indices = mesh_.indices();
        const auto verts = mesh_.vertices();
        sc.shared.clear();
        for (std::uint32_t f : charts_[b].mesh.faces) {
            for (std::uint32_t k = 0; k < 3; ++k) {
                const std::uint32_t s = 3 * f + k, t = topology_.twin[s];
                if (t != kNoNeighbour && chart_of_face_[t / 3] == a &&
                    !std::binary_search(sc.cuts.begin(), sc.cuts.end(), s)) {
                    sc.shared.push_back(s);
                }
            }
        }
        const std::size_t m = sc.shared.size();
        if (m < 2) {
            return false;
        }
        auto end_of = [&](std::uint32_t s, int e) { return indices[s / 3 * 3 + (s % 3 + e) % 3]; };
        auto direction = [&](std::uint32_t s, double* d) {
            const AtlasVertex& p = verts[end_of(s, 0)];
            const AtlasVertex& q = verts[end_of(s, 1)];
            d[0] = double(q.x) - p.x;
            d[1] = double(q.y) - p.y;
            d[2] = double(q.z) - p.z;
            return std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        };
        sc.run_parent.resize(m);
        std::iota(sc.run_parent.begin(), sc.run_parent.end(), 0u);
        auto find = [&](std::uint32_t x) {
            while (sc.run_parent[x] != x) {
                x = sc.run_parent[x] = sc.run_parent[sc.run_parent[x]];
            }
            return x;
        };
        sc.ends.clear();
        for (std::uint32_t i = 0; i < m; ++i) {
            sc.ends.push_back({end_of(sc.shared[i], 0), i});
            sc.ends.push_back({end_of(sc.shared[i], 1), i});
        }
        std::sort(sc.ends.begin(), sc.ends.end());
        const double cos_turn = std::cos(kRunTurn);
        for (std::size_t i = 0; i + 1 < sc.ends.size(); ++i) {
            for (std::size_t j = i + 1; j < sc.ends.size() && sc.ends[j].first == sc.ends[i].first;
                 ++j) {
                double d1[3], d2[3];
                const double l1 = direction(sc.shared[sc.ends[i].second], d1);
                const double l2 = direction(sc.shared[sc.ends[j].second], d2);
                const double c =
                    (d1[0] * d2[0] + d1[1] * d2[1] + d1[2] * d2[2]) / std::max(l1 * l2, 1e-300);
                if (std::abs(c) >= cos_turn) {
                    sc.run_parent[find(sc.ends[i].second)] = find(sc.ends[j].second);
                }
            }
        }
        sc.run_length.assign(m, 0.0);
        for (std::uint32_t i = 0; i < m; ++i) {
            double d[3];
            sc.run_length[find(i)] += direction(sc.shared[i], d);
        }
        std::uint32_t longest = find(0);
        for (std::uint32_t i = 0; i < m; ++i) {
            if (sc.run_length[find(i)] > sc.run_length[longest]) {
                longest = find(i);
            }
        }
        sc.extra_cuts.clear();
        for (std::uint32_t i = 0; i < m; ++i) {
            if (find(i) != longest) {
                sc.extra_cuts.push_back(sc.shared[i]);
                sc.extra_cuts.push_back(topology_.twin[sc.shared[i]]);
            }
        }
        if (sc.extra_cuts.empty()) {
            return false;
        }
        std::sort(sc.extra_cuts.begin(), sc.extra_cuts.end());
        joined = sc.run_length[longest];
        return true;
    }

    // Outline squared over area (isoperimetric ratio) must not grow much:
    // ragged charts waste gutter and pack poorly.
    bool stays_compact(const Candidate& item, double joined) const {
        const double pa = perimeter_[item.a], pb = perimeter_[item.b];
        const double aa = std::max(charts_[item.a].mesh.area, 1e-300);
        const double ab = std::max(charts_[item.b].mesh.area, 1e-300);
        const double pu = pa + pb - 2 * joined;
        return pu * pu / (aa + ab) <= kCompactGrowth * std::max(pa * pa / aa, pb * pb / ab);
    }

    static double total_area(const std::vector<FlatChart>& charts) {
        double total = 0;
        for (const FlatChart& c : charts) {
            total += c.mesh.area;
        }
        return total;
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
    bool partial_joins_;
    std::vector<std::uint32_t> chart_of_face_;
    double small_area_;
    std::vector<std::uint8_t> alive_;
    std::vector<std::uint32_t> version_;
    std::vector<double> perimeter_;
    std::vector<Candidate> queue_;
    Scratch scratch_;
    // A second flattener lets a large candidate be tried while the one
    // before it is; its outcome waits for the candidate to come up.
    Flattener* spare_;
    std::size_t guess_faces_;
    Scratch spare_scratch_;
    Candidate guess_{};
    bool guessed_ = false;
    Outcome guessed_outcome_;
    std::vector<std::pair<std::uint32_t, double>> borders_;
};

} // namespace

bool merge_charts(const AtlasMesh& mesh, const Topology& topology, Flattener& flattener,
                  Flattener* spare, const SegmentOptions& options, ProgressReporter& progress,
                  std::vector<FlatChart>& charts) {
    Merger merger(mesh, topology, flattener, spare, charts, options);
    return merger.run(progress);
}

} // namespace vellumar::atlas

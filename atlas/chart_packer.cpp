#include "atlas/chart_packer.h"

#include "atlas/chart_outline.h"
#include "atlas/convex_hull.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <mutex>
#include <new>
#include <numeric>
#include <stop_token>
#include <system_error>
#include <thread>
#include <unordered_map>

namespace vellumar::atlas {

namespace {

// Texels added around every triangle before rasterising. The output is
// stored as float and corrected in float by the caller, and texel samplers
// snap to 1/256 texel; both move an edge by far less than this.
constexpr double kRasterMargin = 0.02;
// Keeps the far edge of the layout strictly inside the aspect-fit limit.
constexpr double kEdgeMargin = 1e-3;
// Side in texels that charts smaller than a texel are grown to: short of a
// texel by more than the raster margin on both sides.
constexpr double kMinSide = 1.0 - 4 * kRasterMargin;

struct Run {
    std::int32_t x0, x1; // [x0, x1), relative to the placement
};

// The texels of one chart in one orientation as runs per row.
struct Mask {
    std::int32_t row0 = 0; // relative row of the first mask row
    std::vector<std::uint32_t> row_begin;
    std::vector<Run> runs;
    std::vector<std::int32_t> widest; // per row: longest run
    std::int32_t widest_row = 0;      // a row with the longest run
    // Rows in the order a placement test visits them: every eighth row
    // first, so that a collision anywhere in a tall chart shows up early.
    std::vector<std::int32_t> probe;
    // Equal masks have equal keys (FNV-1a over rows and runs); see Grid::find.
    std::uint64_t key = 0;
    std::int32_t rows() const {
        return row_begin.empty() ? 0 : static_cast<std::int32_t>(row_begin.size() - 1);
    }
};

struct Shape {
    Mask solid;   // texels the chart touches
    Mask dilated; // the same grown by the gutter radius
    double width = 0, height = 0;
};

struct Placement {
    std::uint8_t turns = 0;    // index into the chart's frames
    std::int32_t x = 0, y = 0; // in cells of the grid that placed it
    std::int32_t cell = 1;     // texels per cell side
};

// A chart in its own frame: turned to its smallest bounding rectangle
// (rotating calipers over the convex hull) and moved to the origin.
// One orientation of a prepared chart: the rotation and the corner of the
// rotated chart, so that its placed coordinates start at the origin.
// The rotation itself is turn(k): of the millions of charts a large set can
// have, each keeps only its corners and sizes.
struct Frame {
    double x0 = 0, y0 = 0, width = 0, height = 0;
};

constexpr int kOrientations = 8;
// Share of the total chart area from which a chart tries diagonal turns.
constexpr double kBigShare = 0.02;
// A failed attempt is retried in a new order only when at most this many
// charts, or this share of them, found no room.
constexpr double kRetryCharts = 64;
constexpr double kRetryShare = 0.01;
// From this many charts on, the texel-exact steps keep the coarse turns.
constexpr std::uint32_t kManyCharts = 256;
// First upward step of the texel-exact search on sets of many charts; each
// step that succeeds squares the next one.
constexpr double kGallop = 1.1;

struct Prepared {
    std::vector<double> xy; // 2 per chart vertex
    double width = 0, height = 0;
    double area = 0;
    double largest_triangle = 0; // a part every raster of the chart covers
    Frame frames[kOrientations];
    // Directed edges (pairs of indices into xy) that rasterise the chart
    // with a fill of their inside; empty when its triangles are cheaper.
    std::vector<std::uint32_t> outline;
};

// Charts of fewer triangles rasterise triangle by triangle.
constexpr std::uint32_t kOutlineTriangles = 16;

// Cosine and sine of orientation k. Quarter turns use exact unit vectors so
// that their frames are exact; the diagonal ones let blob-like charts nest
// against their neighbours.
const double* turn(int k) {
    static const double d = std::sqrt(0.5);
    static const double cs[kOrientations][2] = {{1, 0}, {0, 1},  {-1, 0},  {0, -1},
                                                {d, d}, {-d, d}, {-d, -d}, {d, -d}};
    return cs[k];
}

double cross(double ax, double ay, double bx, double by) {
    return ax * by - ay * bx;
}

Prepared prepare_chart(const ChartSet& set, std::uint32_t c, std::vector<std::uint32_t>& order,
                       std::vector<std::uint32_t>& hull) {
    Prepared p;
    const std::uint32_t v0 = set.vertex_begin[c], v1 = set.vertex_begin[c + 1];
    const std::size_t n = v1 - v0;
    const double* src = set.uv.data() + 2 * v0;
    p.xy.assign(src, src + 2 * n);
    for (std::uint32_t t = set.triangle_begin[c]; t < set.triangle_begin[c + 1]; ++t) {
        const std::uint32_t* tri = &set.triangles[3 * t];
        const double* a = &set.uv[2 * tri[0]];
        const double* b = &set.uv[2 * tri[1]];
        const double* d = &set.uv[2 * tri[2]];
        const double area =
            0.5 * std::abs(cross(b[0] - a[0], b[1] - a[1], d[0] - a[0], d[1] - a[1]));
        p.area += area;
        p.largest_triangle = std::max(p.largest_triangle, area);
    }
    if (n == 0) {
        return p;
    }
    const std::uint32_t triangles = set.triangle_begin[c + 1] - set.triangle_begin[c];
    if (triangles >= kOutlineTriangles && chart_outline(set, c, p.outline) &&
        p.outline.size() / 2 < triangles) {
        for (std::uint32_t& v : p.outline) {
            v -= v0;
        }
    } else {
        p.outline.clear();
        p.outline.shrink_to_fit();
    }
    convex_hull(p.xy.data(), n, order, hull);
    double best_area = std::numeric_limits<double>::infinity();
    double best_cos = 1, best_sin = 0;
    for (std::size_t i = 0; i < hull.size() && hull.size() > 1; ++i) {
        const std::uint32_t a = hull[i], b = hull[(i + 1) % hull.size()];
        double ex = p.xy[2 * b] - p.xy[2 * a], ey = p.xy[2 * b + 1] - p.xy[2 * a + 1];
        const double len = std::hypot(ex, ey);
        if (len <= 0) {
            continue;
        }
        ex /= len;
        ey /= len;
        double lo_x = 1e300, hi_x = -1e300, lo_y = 1e300, hi_y = -1e300;
        for (std::uint32_t h : hull) {
            const double x = p.xy[2 * h] * ex + p.xy[2 * h + 1] * ey;
            const double y = -p.xy[2 * h] * ey + p.xy[2 * h + 1] * ex;
            lo_x = std::min(lo_x, x);
            hi_x = std::max(hi_x, x);
            lo_y = std::min(lo_y, y);
            hi_y = std::max(hi_y, y);
        }
        const double area = (hi_x - lo_x) * (hi_y - lo_y);
        if (area < best_area - 1e-12 * std::abs(best_area)) {
            best_area = area;
            best_cos = ex;
            best_sin = ey;
        }
    }
    double lo_x = 1e300, hi_x = -1e300, lo_y = 1e300, hi_y = -1e300;
    for (std::size_t i = 0; i < n; ++i) {
        const double x = p.xy[2 * i] * best_cos + p.xy[2 * i + 1] * best_sin;
        const double y = -p.xy[2 * i] * best_sin + p.xy[2 * i + 1] * best_cos;
        p.xy[2 * i] = x;
        p.xy[2 * i + 1] = y;
        lo_x = std::min(lo_x, x);
        hi_x = std::max(hi_x, x);
        lo_y = std::min(lo_y, y);
        hi_y = std::max(hi_y, y);
    }
    // Lying down packs better into the rows the search fills first.
    const bool stand_up = (hi_y - lo_y) > (hi_x - lo_x);
    for (std::size_t i = 0; i < n; ++i) {
        const double x = p.xy[2 * i] - lo_x, y = p.xy[2 * i + 1] - lo_y;
        p.xy[2 * i] = stand_up ? (hi_y - lo_y) - y : x;
        p.xy[2 * i + 1] = stand_up ? x : y;
    }
    p.width = stand_up ? hi_y - lo_y : hi_x - lo_x;
    p.height = stand_up ? hi_x - lo_x : hi_y - lo_y;
    for (int k = 0; k < kOrientations; ++k) {
        Frame& f = p.frames[k];
        const double c = turn(k)[0], s = turn(k)[1];
        double x_lo = 1e300, x_hi = -1e300, y_lo = 1e300, y_hi = -1e300;
        for (std::size_t i = 0; i < n; ++i) {
            const double px = p.xy[2 * i], py = p.xy[2 * i + 1];
            const double x = c * px - s * py, y = s * px + c * py;
            x_lo = std::min(x_lo, x);
            x_hi = std::max(x_hi, x);
            y_lo = std::min(y_lo, y);
            y_hi = std::max(y_hi, y);
        }
        f.x0 = x_lo;
        f.y0 = y_lo;
        f.width = x_hi - x_lo;
        f.height = y_hi - y_lo;
    }
    return p;
}

// Position of a chart vertex after scaling by t and turning to orientation
// k, with the corner of the turned chart at the origin.
inline void place_point(const Prepared& p, std::size_t i, double t, int k, double& x, double& y) {
    const double px = p.xy[2 * i], py = p.xy[2 * i + 1];
    const Frame& f = p.frames[k];
    const double c = turn(k)[0], s = turn(k)[1];
    x = t * (c * px - s * py - f.x0);
    y = t * (s * px + c * py - f.y0);
}

// Scratch memory of one packing call, reused by every chart and scale.
// Triangles are unioned in a bitmap of 64 texels per word and the result
// kept as runs per row, so placement tests follow the chart's outline.
class Rasteriser {
  public:
    void build(const ChartSet& set, std::uint32_t c, const Prepared& p, double t, int turns,
               int radius, Shape& out) {
        out.width = t * p.frames[turns].width;
        out.height = t * p.frames[turns].height;
        const std::uint32_t v0 = set.vertex_begin[c];
        pts_.resize(2 * (set.vertex_begin[c + 1] - v0));
        for (std::size_t i = 0; i < pts_.size() / 2; ++i) {
            place_point(p, i, t, turns, pts_[2 * i], pts_[2 * i + 1]);
        }
        reset_bits();
        if (p.outline.empty()) {
            for (std::uint32_t tri = set.triangle_begin[c]; tri < set.triangle_begin[c + 1];
                 ++tri) {
                const std::uint32_t* ix = &set.triangles[3 * tri];
                raster_triangle(&pts_[2 * (ix[0] - v0)], &pts_[2 * (ix[1] - v0)],
                                &pts_[2 * (ix[2] - v0)]);
            }
        } else {
            // A texel the chart touches either touches its outline or lies
            // wholly inside it.
            for (std::size_t e = 0; e < p.outline.size(); e += 2) {
                const double* a = &pts_[2 * p.outline[e]];
                const double* b = &pts_[2 * p.outline[e + 1]];
                raster_triangle(a, b, b);
            }
            fill_inside(p.outline);
        }
        // A chart made of degenerate triangles only still claims its texels.
        for (std::size_t i = 0; i < pts_.size() / 2; ++i) {
            const int x = static_cast<int>(std::floor(pts_[2 * i]));
            mark(static_cast<int>(std::floor(pts_[2 * i + 1])), x, x + 1);
        }
        collect_runs(out.solid);
        const int rows = out.solid.rows();
        out.solid.probe.clear();
        for (int phase = 0; phase < 8; ++phase) {
            for (int r = phase; r < rows; r += 8) {
                out.solid.probe.push_back(r);
            }
        }
        out.solid.widest_row = static_cast<std::int32_t>(
            std::max_element(out.solid.widest.begin(), out.solid.widest.end()) -
            out.solid.widest.begin());
        out.solid.key = key_of(out.solid);
        dilate(out.solid, radius, out.dilated);
    }

  private:
    static void add(std::uint64_t& h, std::int64_t v) {
        h = (h ^ static_cast<std::uint64_t>(v)) * 1099511628211ull;
    }
    static std::uint64_t key_of(const Mask& m) {
        std::uint64_t h = 1469598103934665603ull;
        add(h, m.row0);
        for (std::uint32_t b : m.row_begin) {
            add(h, b);
        }
        for (const Run& r : m.runs) {
            add(h, r.x0);
            add(h, r.x1);
        }
        return h;
    }

    // The texels of the chart being rasterised, one bit each, 64 per word,
    // so that the union of the triangles' row spans costs a word per 64
    // texels instead of a sort of thousands of overlapping spans.
    void reset_bits() {
        if (pts_.empty()) {
            bits_rows_ = 0;
            return;
        }
        double x_lo = 1e300, x_hi = -1e300, y_lo = 1e300, y_hi = -1e300;
        for (std::size_t i = 0; i < pts_.size() / 2; ++i) {
            x_lo = std::min(x_lo, pts_[2 * i]);
            x_hi = std::max(x_hi, pts_[2 * i]);
            y_lo = std::min(y_lo, pts_[2 * i + 1]);
            y_hi = std::max(y_hi, pts_[2 * i + 1]);
        }
        // A texel of slack on every side absorbs the rounding of the edge
        // intersections, which may land an ulp outside the vertices' range.
        bits_x0_ = static_cast<int>(std::floor(x_lo - kRasterMargin)) - 1;
        bits_y0_ = static_cast<int>(std::floor(y_lo - kRasterMargin)) - 1;
        const int cols = static_cast<int>(std::floor(x_hi + kRasterMargin)) + 2 - bits_x0_;
        bits_rows_ = static_cast<int>(std::floor(y_hi + kRasterMargin)) + 2 - bits_y0_;
        // One spare bit past the last column ends every run inside the row.
        words_ = cols / 64 + 1;
        bits_.assign(static_cast<std::size_t>(bits_rows_) * words_, 0);
    }

    void mark(int row, int x0, int x1) {
        const int r = row - bits_y0_;
        const int a = std::max(x0 - bits_x0_, 0), b = std::min(x1 - bits_x0_, 64 * words_ - 1);
        if (r < 0 || r >= bits_rows_ || a >= b) {
            return;
        }
        std::uint64_t* w = &bits_[static_cast<std::size_t>(r) * words_];
        const int wa = a >> 6, wb = (b - 1) >> 6;
        const std::uint64_t head = ~std::uint64_t{0} << (a & 63);
        const std::uint64_t tail = ~std::uint64_t{0} >> (63 - ((b - 1) & 63));
        if (wa == wb) {
            w[wa] |= head & tail;
            return;
        }
        w[wa] |= head;
        for (int i = wa + 1; i < wb; ++i) {
            w[i] = ~std::uint64_t{0};
        }
        w[wb] |= tail;
    }

    // Maximal runs of set bits per row, from the first to the last row
    // that holds any.
    void collect_runs(Mask& out) {
        int first = -1, last = -1;
        for (int r = 0; r < bits_rows_; ++r) {
            const std::uint64_t* w = &bits_[static_cast<std::size_t>(r) * words_];
            if (std::any_of(w, w + words_, [](std::uint64_t v) { return v != 0; })) {
                first = first < 0 ? r : first;
                last = r;
            }
        }
        if (first < 0) {
            out = Mask{};
            out.row_begin.assign(1, 0);
            return;
        }
        out.row0 = first + bits_y0_;
        out.row_begin.assign(1, 0);
        out.runs.clear();
        out.widest.assign(static_cast<std::size_t>(last - first + 1), 0);
        for (int r = first; r <= last; ++r) {
            const std::uint64_t* w = &bits_[static_cast<std::size_t>(r) * words_];
            std::int32_t widest = 0;
            for (int x = 0;;) {
                int i = x >> 6;
                std::uint64_t v = w[i] & (~std::uint64_t{0} << (x & 63));
                while (v == 0 && ++i < words_) {
                    v = w[i];
                }
                if (v == 0) {
                    break;
                }
                const int x0 = i * 64 + std::countr_zero(v);
                // The last bit of a row is never set, so the run ends in it.
                int j = x0 >> 6;
                std::uint64_t u = ~w[j] & (~std::uint64_t{0} << (x0 & 63));
                while (u == 0) {
                    u = ~w[++j];
                }
                const int x1 = j * 64 + std::countr_zero(u);
                out.runs.push_back({x0 + bits_x0_, x1 + bits_x0_});
                widest = std::max(widest, x1 - x0);
                x = x1;
            }
            out.widest[r - first] = widest;
            out.row_begin.push_back(static_cast<std::uint32_t>(out.runs.size()));
        }
    }

    // Appends a run to a row whose runs start at `begin`, merging it with
    // the last one when they touch (runs arrive sorted by x0).
    static void append(std::vector<Run>& runs, std::uint32_t begin, Run r) {
        if (runs.size() > begin && runs.back().x1 >= r.x0) {
            runs.back().x1 = std::max(runs.back().x1, r.x1);
        } else {
            runs.push_back(r);
        }
    }

    // Row by row: the texels of a row that the triangle (widened by the
    // margin) touches are those whose column meets the triangle's extent
    // inside the row's band, which is exact for convex shapes and also
    // covers degenerate triangles (segments and points).
    void raster_triangle(const double* a, const double* b, const double* c) {
        const double m = kRasterMargin;
        const double* p[3] = {a, b, c};
        double slope[3]; // dx / dy per edge, 0 for horizontal edges (never crossed)
        for (int k = 0; k < 3; ++k) {
            const double dy = p[(k + 1) % 3][1] - p[k][1];
            slope[k] = dy != 0 ? (p[(k + 1) % 3][0] - p[k][0]) / dy : 0.0;
        }
        const double min_y = std::min({a[1], b[1], c[1]}), max_y = std::max({a[1], b[1], c[1]});
        const int y0 = static_cast<int>(std::floor(min_y - m));
        const int y1 = static_cast<int>(std::floor(max_y + m));
        for (int y = y0; y <= y1; ++y) {
            const double lo = y - m, hi = y + 1 + m;
            double x_min = 1e300, x_max = -1e300;
            // Selects instead of branches: which edges cross a row's band
            // follows no pattern the branch predictor could learn.
            for (int k = 0; k < 3; ++k) {
                const double* s = p[k];
                const double* e = p[(k + 1) % 3];
                const bool inside = s[1] >= lo && s[1] <= hi;
                x_min = inside ? std::min(x_min, s[0]) : x_min;
                x_max = inside ? std::max(x_max, s[0]) : x_max;
                const double x_lo = s[0] + (lo - s[1]) * slope[k];
                const double x_hi = s[0] + (hi - s[1]) * slope[k];
                const bool cross_lo = (s[1] - lo) * (e[1] - lo) < 0;
                const bool cross_hi = (s[1] - hi) * (e[1] - hi) < 0;
                x_min = cross_lo ? std::min(x_min, x_lo) : x_min;
                x_max = cross_lo ? std::max(x_max, x_lo) : x_max;
                x_min = cross_hi ? std::min(x_min, x_hi) : x_min;
                x_max = cross_hi ? std::max(x_max, x_hi) : x_max;
            }
            if (x_min <= x_max) {
                mark(y, static_cast<int>(std::floor(x_min - m)),
                     static_cast<int>(std::floor(x_max + m)) + 1);
            }
        }
    }

    // Texels whose centre the outline winds around (nonzero rule, on the
    // row through the centres). A centre near an outline edge may round
    // either way, but its texel touches the edge and is marked already.
    void fill_inside(const std::vector<std::uint32_t>& outline) {
        crossings_.clear();
        for (std::size_t e = 0; e < outline.size(); e += 2) {
            const double* a = &pts_[2 * outline[e]];
            const double* b = &pts_[2 * outline[e + 1]];
            if (a[1] == b[1]) {
                continue;
            }
            const int direction = b[1] > a[1] ? 1 : -1;
            const double lo = std::min(a[1], b[1]), hi = std::max(a[1], b[1]);
            const double slope = (b[0] - a[0]) / (b[1] - a[1]);
            // Rows whose centre line lies in [lo, hi): a vertex on the line
            // counts for one of its two edges only.
            for (int r = static_cast<int>(std::ceil(lo - 0.5)); r + 0.5 < hi; ++r) {
                crossings_.push_back({r, a[0] + (r + 0.5 - a[1]) * slope, direction});
            }
        }
        // By row (counting sort: every row lies in the bitmap), then by x
        // within a row, where there are a handful.
        row_start_.assign(static_cast<std::size_t>(bits_rows_) + 1, 0);
        for (const Crossing& c : crossings_) {
            ++row_start_[static_cast<std::size_t>(c.row - bits_y0_) + 1];
        }
        std::partial_sum(row_start_.begin(), row_start_.end(), row_start_.begin());
        sorted_.resize(crossings_.size());
        for (const Crossing& c : crossings_) {
            sorted_[row_start_[static_cast<std::size_t>(c.row - bits_y0_)]++] = c;
        }
        for (std::size_t i = 0; i < sorted_.size();) {
            const int row = sorted_[i].row;
            std::size_t end = i;
            while (end < sorted_.size() && sorted_[end].row == row) {
                ++end;
            }
            for (std::size_t j = i + 1; j < end; ++j) {
                for (std::size_t k = j; k > i && sorted_[k].x < sorted_[k - 1].x; --k) {
                    std::swap(sorted_[k], sorted_[k - 1]);
                }
            }
            int winding = 0;
            double start = 0;
            for (; i < end; ++i) {
                const int before = winding;
                winding += sorted_[i].direction;
                if (before == 0 && winding != 0) {
                    start = sorted_[i].x;
                } else if (before != 0 && winding == 0) {
                    mark(row, static_cast<int>(std::ceil(start - 0.5)),
                         static_cast<int>(std::ceil(sorted_[i].x - 0.5)));
                }
            }
        }
    }

    // Chebyshev dilation: runs widened by the radius, then each row the
    // union of the widened rows within the radius.
    void dilate(const Mask& solid, int radius, Mask& out) {
        if (radius <= 0) {
            out = solid;
            return;
        }
        const int rows = solid.rows();
        out.row0 = solid.row0 - radius;
        out.row_begin.assign(1, 0);
        out.runs.clear();
        out.widest.assign(rows + 2 * radius, 0);
        for (int j = 0; j < rows + 2 * radius; ++j) {
            gathered_.clear();
            for (int r = std::max(j - 2 * radius, 0); r <= std::min(j, rows - 1); ++r) {
                for (std::uint32_t k = solid.row_begin[r]; k < solid.row_begin[r + 1]; ++k) {
                    gathered_.push_back({solid.runs[k].x0 - radius, solid.runs[k].x1 + radius});
                }
            }
            std::sort(gathered_.begin(), gathered_.end(),
                      [](const Run& a, const Run& b) { return a.x0 < b.x0; });
            for (const Run& r : gathered_) {
                append(out.runs, out.row_begin.back(), r);
            }
            for (std::uint32_t k = out.row_begin.back(); k < out.runs.size(); ++k) {
                out.widest[j] = std::max(out.widest[j], out.runs[k].x1 - out.runs[k].x0);
            }
            out.row_begin.push_back(static_cast<std::uint32_t>(out.runs.size()));
        }
    }

    std::vector<double> pts_;
    std::vector<std::uint64_t> bits_;
    int bits_x0_ = 0, bits_y0_ = 0, bits_rows_ = 0, words_ = 1;
    std::vector<Run> gathered_;
    struct Crossing {
        int row;
        double x;
        int direction;
    };
    std::vector<Crossing> crossings_, sorted_;
    std::vector<std::size_t> row_start_;
};

// The claimed texels of the atlas: those of the placed charts grown by the
// gutter radius, so that a new chart only has to avoid them with its own
// texels (Chebyshev distance > radius to every placed texel). One bit per
// texel, rows of 64-bit words: a 1024 x 1024 grid is 128 KB and stays in
// the cache while the search probes it all over, and a failed test jumps
// past a whole claimed stretch, and on past every free stretch too short
// for the run, a word at a time.
class Grid {
  public:
    Grid(int w, int h)
        : w_(w), h_(h), words_((w + 63) / 64),
          bits_(static_cast<std::size_t>(h) * static_cast<std::size_t>(words_), 0),
          longest_free_(h, w), longest_at_(h, 0), others_(h, 0) {}
    Grid(const Grid&) = delete;
    Grid& operator=(const Grid&) = delete;

    // Only the rows an attempt claimed are reset: attempts that fail early
    // touch a small part of the grid, and the texel grid is large.
    void clear() {
        if (dirty_lo_ < dirty_hi_) {
            std::fill(bits_.begin() + static_cast<std::ptrdiff_t>(dirty_lo_) * words_,
                      bits_.begin() + static_cast<std::ptrdiff_t>(dirty_hi_) * words_, 0);
            std::fill(longest_free_.begin() + dirty_lo_, longest_free_.begin() + dirty_hi_, w_);
            std::fill(longest_at_.begin() + dirty_lo_, longest_at_.begin() + dirty_hi_, 0);
            std::fill(others_.begin() + dirty_lo_, others_.begin() + dirty_hi_, 0);
        }
        dirty_lo_ = h_;
        dirty_hi_ = 0;
        first_open_ = 0;
        resume_.clear();
    }

    // A cheap necessary test that skips most rows: every row of the chart's
    // own texels needs a free run as long as its longest one. Returns a
    // grid row that fails it, or h_ when none does. The row that failed
    // for the previous y is likely to fail again, so it goes first.
    int blocked_row(const Mask& solid, int y, int hint) const {
        const int rh = hint - y - solid.row0;
        if (hint >= 0 && rh >= 0 && rh < solid.rows() && longest_free_[hint] < solid.widest[rh]) {
            return hint;
        }
        const int gw = y + solid.row0 + solid.widest_row;
        if (gw >= 0 && gw < h_ && longest_free_[gw] < solid.widest[solid.widest_row]) {
            return gw;
        }
        // Rows that pass are the common case, so blocks of rows are tested
        // without a branch per row.
        const int base = y + solid.row0;
        const int r_lo = std::max(0, -base), r_hi = std::min(solid.rows(), h_ - base);
        const std::int32_t* free = longest_free_.data();
        const std::int32_t* need = solid.widest.data();
        int r = r_lo;
        for (; r + 8 <= r_hi; r += 8) {
            bool blocked = false;
            for (int j = 0; j < 8; ++j) {
                blocked |= free[base + r + j] < need[r + j];
            }
            if (blocked) {
                break;
            }
        }
        for (; r < r_hi; ++r) {
            if (free[base + r] < need[r]) {
                return base + r;
            }
        }
        return h_;
    }

    // First fit in row-major order of placements with x in [xlo, xhi],
    // y in [ylo, yhi]: the chart's texels must meet no claimed texel.
    //
    // Texels are only ever claimed between clear() calls, so a placement a
    // mask could not take once it can never take again. Many charts share a
    // mask (thousands of small triangles of one size), and each search for a
    // mask goes on where the last one for an equal mask stopped, instead of
    // walking again over every fragment of free space below: packing n equal
    // charts costs the area they fill, not n times it. A key collision only
    // skips places; the test of each placement stays exact.
    bool find(const Mask& m, int xlo, int xhi, int ylo, int yhi, int& out_x, int& out_y) {
        const int rows = m.rows();
        if (rows == 0) {
            out_x = xlo;
            out_y = ylo;
            return xlo <= xhi && ylo <= yhi;
        }
        auto [resume, fresh] = resume_.try_emplace(m.key, Resume{ylo, xlo, xlo, xhi});
        if (!fresh && (resume->second.xlo != xlo || resume->second.xhi != xhi)) {
            resume->second = Resume{ylo, xlo, xlo, xhi}; // another range: start over
        }
        Resume& from = resume->second;
        const bool found = find_from(m, xlo, xhi, std::max(ylo, from.y),
                                     from.y >= ylo ? from.x : xlo, yhi, out_x, out_y);
        if (found) {
            from.y = out_y;
            from.x = out_x;
        } else if (yhi >= from.y) {
            from.y = yhi + 1;
            from.x = xlo;
        }
        return found;
    }

  private:
    const std::uint64_t* row_bits(int gy) const {
        return &bits_[static_cast<std::size_t>(gy) * static_cast<std::size_t>(words_)];
    }

    // The first claimed column at or after i and before limit (<= w_), or
    // limit when none: the searches only ever ask whether a run is free.
    int next_claimed(const std::uint64_t* row, int i, int limit) const {
        if (i >= limit) {
            return limit;
        }
        int wi = i >> 6;
        const int last = (limit - 1) >> 6;
        std::uint64_t word = row[wi] & (~std::uint64_t{0} << (i & 63));
        while (word == 0) {
            if (++wi > last) {
                return limit;
            }
            word = row[wi];
        }
        return std::min(limit, (wi << 6) + std::countr_zero(word));
    }

    // The first free column at or after i (w_ when none).
    int next_free(const std::uint64_t* row, int i) const {
        if (i >= w_) {
            return w_;
        }
        int wi = i >> 6;
        std::uint64_t word = ~row[wi] & (~std::uint64_t{0} << (i & 63));
        while (word == 0) {
            if (++wi >= words_) {
                return w_;
            }
            word = ~row[wi];
        }
        return std::min(w_, (wi << 6) + std::countr_zero(word));
    }

    // The last claimed column at or before i (-1 when none).
    int previous_claimed(const std::uint64_t* row, int i) const {
        if (i < 0) {
            return -1;
        }
        int wi = i >> 6;
        std::uint64_t word = row[wi] & (~std::uint64_t{0} >> (63 - (i & 63)));
        while (word == 0) {
            if (--wi < 0) {
                return -1;
            }
            word = row[wi];
        }
        return (wi << 6) + 63 - std::countl_zero(word);
    }

    // find() from placement (x0, y0) on in row-major order.
    bool find_from(const Mask& m, int xlo, int xhi, int y0, int x0, int yhi, int& out_x,
                   int& out_y) {
        const int rows = m.rows();
        int hint = 0, hint_row = -1;
        // Rows below the first one with a free cell cannot take any texel.
        const int first_y = std::max(y0, first_open_ - (m.row0 + m.rows() - 1));
        for (int y = first_y; y <= yhi; ++y) {
            const int blocked = blocked_row(m, y, hint_row);
            if (blocked < h_) {
                // Moving up, the blocked grid row meets lower chart rows;
                // every y that puts one too wide for it there fails too.
                hint_row = blocked;
                int r = blocked - y - m.row0 - 1;
                while (r >= 0 && m.widest[r] > longest_free_[blocked]) {
                    --r;
                }
                y = blocked - m.row0 - r - 1;
                continue;
            }
            int x = y == y0 ? std::max(x0, xlo) : xlo;
            while (x <= xhi) {
                bool hit = false;
                for (int i = -1; i < rows && !hit; ++i) {
                    const int r = i < 0 ? hint : m.probe[i];
                    const int gy = y + m.row0 + r;
                    if (gy < 0 || gy >= h_) {
                        continue;
                    }
                    const std::uint64_t* row = row_bits(gy);
                    for (std::uint32_t k = m.row_begin[r]; k < m.row_begin[r + 1]; ++k) {
                        const int a = std::max(x + m.runs[k].x0, 0);
                        const int b = std::min(x + m.runs[k].x1, w_);
                        if (a >= b) {
                            continue;
                        }
                        const int claimed = next_claimed(row, a, b);
                        if (claimed < b) {
                            // Every start up to the end of that claimed
                            // stretch collides too, so skip it whole, and
                            // so does every start in a free stretch shorter
                            // than this run that ends before the row does.
                            const int len = m.runs[k].x1 - m.runs[k].x0;
                            int room = next_free(row, claimed);
                            while (room < w_) {
                                const int reach = std::min(w_, room + len);
                                const int end = next_claimed(row, room, reach);
                                if (end == reach) {
                                    break; // free for the whole run, or to the row's end
                                }
                                room = next_free(row, end);
                            }
                            x = room - m.runs[k].x0;
                            hint = r;
                            hit = true;
                            break;
                        }
                    }
                }
                if (!hit) {
                    out_x = x;
                    out_y = y;
                    return true;
                }
            }
        }
        return false;
    }

  public:
    void occupy(const Mask& m, int x, int y) {
        for (int r = 0; r < m.rows(); ++r) {
            const int gy = y + m.row0 + r;
            if (gy < 0 || gy >= h_ || m.row_begin[r] == m.row_begin[r + 1]) {
                continue;
            }
            dirty_lo_ = std::min(dirty_lo_, gy);
            dirty_hi_ = std::max(dirty_hi_, gy + 1);
            std::uint64_t* row =
                &bits_[static_cast<std::size_t>(gy) * static_cast<std::size_t>(words_)];
            for (std::uint32_t k = m.row_begin[r]; k < m.row_begin[r + 1]; ++k) {
                const int a = std::max(x + m.runs[k].x0, 0);
                const int b = std::min(x + m.runs[k].x1, w_);
                if (a >= b) {
                    continue;
                }
                const int at = longest_at_[gy], longest = longest_free_[gy];
                const bool hits_longest = longest > 0 && at < b && at + longest > a;
                // Where the free stretch that now ends at a begins.
                const int s = previous_claimed(row, a - 1) + 1;
                for (int i = a; i < b;) {
                    const int end = std::min(b, ((i >> 6) + 1) << 6);
                    const std::uint64_t ones = end - i == 64 ? ~std::uint64_t{0}
                                                             : ((std::uint64_t{1} << (end - i)) - 1)
                                                                   << (i & 63);
                    row[i >> 6] |= ones;
                    i = end;
                }
                if (hits_longest) {
                    shorten_longest(gy, row, s, a, b);
                }
            }
        }
        while (first_open_ < h_ && longest_free_[first_open_] == 0) {
            ++first_open_;
        }
    }

  private:
    // Every row keeps its longest free stretch (where it starts and how
    // long it is) and a bound on all its other stretches. Claiming a run
    // only shortens the stretches it meets, so the longest changes only
    // when the run meets it, and then its remains are the answer whenever
    // they still reach the bound; only otherwise is the row walked again.
    // Walking every row a chart lands on after each placement made packing
    // a hundred thousand charts quadratic in the stretches per row.
    void shorten_longest(int gy, const std::uint64_t* row, int s, int a, int b) {
        const int left = a - s;
        const int right = b < w_ && next_free(row, b) == b ? next_claimed(row, b, w_) - b : 0;
        const int remain = std::max(left, right);
        if (remain >= others_[gy]) {
            longest_free_[gy] = remain;
            longest_at_[gy] = left >= right ? s : b;
            others_[gy] = std::max(others_[gy], std::min(left, right));
            return;
        }
        int first = 0, first_at = 0, second = 0;
        for (int i = next_free(row, 0); i < w_;) {
            const int end = next_claimed(row, i, w_);
            const int len = end - i;
            if (len > first) {
                second = first;
                first = len;
                first_at = i;
            } else {
                second = std::max(second, len);
            }
            if (end >= w_) {
                break;
            }
            i = next_free(row, end);
        }
        longest_free_[gy] = first;
        longest_at_[gy] = first_at;
        others_[gy] = second;
    }

    int w_, h_, words_;
    std::vector<std::uint64_t> bits_; // row after row, bit i of word i / 64: column i claimed
    std::vector<std::int32_t> longest_free_;
    std::vector<std::int32_t> longest_at_; // where each row's longest free stretch starts
    std::vector<std::int32_t> others_;     // no other free stretch of the row is longer
    int first_open_ = 0;
    int dirty_lo_ = 0, dirty_hi_ = 0; // rows [lo, hi) that may differ from empty
    // Per mask key: the placement to search from, valid for one x range.
    struct Resume {
        int y, x, xlo, xhi;
    };
    std::unordered_map<std::uint64_t, Resume> resume_;
};

class Packer {
  public:
    Packer(const ChartSet& set, const PackLayout& layout) : set_(set), layout_(layout) {
        const double w = layout.width, h = layout.height;
        const double big = std::max(w, h), small = std::min(w, h);
        gutter_ = std::max(0.0, static_cast<double>(layout.gutter));
        scale_ = big * (1.0 - gutter_ / small);
        radius_ = static_cast<int>(std::ceil(gutter_));
        region_w_ = scale_ * std::min(w / h, 1.0);
        region_h_ = scale_ * std::min(h / w, 1.0);
    }

    bool usable() const { return scale_ > 1.0 && region_w_ >= 1.0 && region_h_ >= 1.0; }

    void prepare() {
        const std::uint32_t n = set_.chart_count();
        charts_.resize(n);
        std::vector<std::uint32_t> order, hull;
        for (std::uint32_t c = 0; c < n; ++c) {
            charts_[c] = prepare_chart(set_, c, order, hull);
        }
        double total = 0;
        for (const Prepared& p : charts_) {
            total += p.area;
        }
        // Diagonal turns pay off for the charts that shape the layout; for
        // the small ones they mostly cost time.
        big_area_ = kBigShare * total;
        set_order(0);
    }

    // Greedy packing is sensitive to the order of the charts; searches
    // start from a few classic ones: by area, by longest side, by shortest
    // side.
    void set_order(int heuristic) {
        order_.resize(charts_.size());
        std::iota(order_.begin(), order_.end(), 0u);
        auto key = [&](std::uint32_t c) {
            const Prepared& p = charts_[c];
            switch (heuristic) {
            case 0:
                return p.area;
            case 1:
                return std::max(p.width, p.height);
            default:
                return std::min(p.width, p.height);
            }
        };
        std::stable_sort(order_.begin(), order_.end(),
                         [&](std::uint32_t a, std::uint32_t b) { return key(a) > key(b); });
    }

    const std::vector<std::uint32_t>& order() const { return order_; }
    void set_order(const std::vector<std::uint32_t>& order) { order_ = order; }

    // Largest scale that could possibly fit: the area bound and the bound of
    // each chart's own extent.
    double upper_scale() const {
        double area = 0, bound = std::numeric_limits<double>::infinity();
        const double long_side = std::max(region_w_, region_h_);
        const double short_side = std::min(region_w_, region_h_);
        for (const Prepared& p : charts_) {
            area += p.area;
            const double a = std::max(p.width, p.height), b = std::min(p.width, p.height);
            if (a > 0) {
                bound = std::min(bound, long_side / a);
            }
            if (b > 0) {
                bound = std::min(bound, short_side / b);
            }
        }
        if (area > 0) {
            bound = std::min(bound, std::sqrt(region_w_ * region_h_ / area));
        }
        return bound;
    }

    // Where the search for a scale starts: below the area bound, and below
    // the scale at which the charts, each with a gutter's width around it,
    // would cover the whole layout. On scenes of thousands of small charts
    // the gutters take much of the room and the area bound is far too high.
    double first_guess(double upper) const {
        double area = 0, sides = 0;
        for (const Prepared& p : charts_) {
            area += p.area;
            sides += p.width + p.height;
        }
        const double r = radius_, room = region_w_ * region_h_;
        const double c = double(charts_.size()) * r * r - room;
        double guess = 0.87 * upper;
        if (area > 0 && c < 0) {
            const double b = r * sides;
            guess = std::min(guess, (-b + std::sqrt(b * b - 4 * area * c)) / (2 * area));
        }
        return guess;
    }

    double lower_scale() const {
        double extent = 0;
        for (const Prepared& p : charts_) {
            extent = std::max({extent, p.width, p.height});
        }
        return extent > 0 ? 0.25 / extent : 1.0;
    }

    // True when no layout can exist at any scale down to t on a grid of
    // `cell` texels. The charts' own texels stay more than `radius` cells
    // apart. Each chart covers at least one cell; when every vertex is on a
    // triangle, the raster margin makes it at least the two cells either
    // side of the vertex its frame puts at x = 0. So at most one chart fits
    // in each box of (radius + that width) x (radius + 1) cells, and the
    // charts grown by half the radius are disjoint, each at least that
    // many cells and its largest triangle. Folded charts make their summed
    // triangle area useless here. Both bounds grow with the scale, and a
    // cell of slack per side covers the raster reaching past the border.
    bool surely_too_big(double t, int cell) const {
        const int radius = (radius_ + cell - 1) / cell;
        const int half = radius / 2;
        const double grid_w = std::ceil(double(layout_.width) / cell) + 2;
        const double grid_h = std::ceil(double(layout_.height) / cell) + 2;
        std::vector<std::uint8_t> on_triangle(set_.uv.size() / 2, 0);
        for (std::uint32_t i : set_.triangles) {
            on_triangle[i] = 1;
        }
        const bool all_on_triangles =
            std::all_of(on_triangle.begin(), on_triangle.end(), [](std::uint8_t b) { return b; });
        const double width = all_on_triangles ? 2 : 1;
        const double k = t / cell;
        double charts = 0, need = 0;
        for (const Prepared& p : charts_) {
            // A chart without vertices claims nothing.
            if (!p.xy.empty()) {
                charts += 1;
                need += std::max(p.largest_triangle * k * k, (width + 2 * half) * (1 + 2 * half));
            }
        }
        const double boxes =
            std::ceil(grid_w / (radius + width)) * std::ceil(grid_h / (radius + 1));
        return charts > boxes || need > (grid_w + 2 * half) * (grid_h + 2 * half);
    }

    // Packs every chart at scale t (texels per chart unit) on a grid whose
    // cells are `cell` texels wide; fills placements_ on success. A coarse
    // grid is conservative: its cells cover every texel the chart touches
    // and its gutter radius rounds up, so its layouts hold on texels too.
    bool attempt(double t, Grid& grid, int cell) {
        grid.clear();
        placements_.assign(charts_.size(), Placement{});
        const double k = cell;
        const int radius = (radius_ + cell - 1) / cell;
        const int xlo = static_cast<int>(std::ceil(gutter_ / 2 / k));
        auto turn_count = [&](std::uint32_t c) {
            if (!fixed_turns_.empty()) {
                return 1;
            }
            // A chart within one cell looks the same in every turn.
            const bool tiny = std::max(charts_[c].width, charts_[c].height) * t / k < 1.0;
            return tiny ? 1 : (charts_[c].area >= big_area_ ? kOrientations : 4);
        };
        if (t != cached_t_ || cell != cached_cell_) {
            // Retries reuse the same scale; only a new scale needs new masks.
            // Slots only for the turns a chart tries: most charts of a large
            // set are small, and a slot costs a few hundred bytes.
            cached_t_ = t;
            cached_cell_ = cell;
            first_slot_.assign(charts_.size() + 1, 0);
            for (std::uint32_t c = 0; c < charts_.size(); ++c) {
                first_slot_[c + 1] = first_slot_[c] + static_cast<std::size_t>(turn_count(c));
            }
            // Kept, not made anew: every slot is rebuilt before use, and
            // reusing the masks' memory spares a sea of small allocations
            // on sets of a hundred thousand charts.
            shapes_.resize(first_slot_.back());
            built_.assign(first_slot_.back(), 0);
        }
        for (std::uint32_t c : order_) {
            bool found = false;
            int best_x = 0, best_y = 0, best_turns = 0;
            std::size_t best_slot = 0;
            double best_top = std::numeric_limits<double>::infinity();
            const int turns_to_try = turn_count(c);
            for (int tried = 0; tried < turns_to_try; ++tried) {
                const int turns = fixed_turns_.empty() ? tried : fixed_turns_[c];
                // The bounds follow from the frame alone, so a turn that
                // cannot fit or cannot win costs no rasterisation.
                const Frame& f = charts_[c].frames[turns];
                const double width = (t / k) * f.width, height = (t / k) * f.height;
                const int xhi = static_cast<int>(
                    std::floor((gutter_ / 2 + region_w_ - kEdgeMargin) / k - width));
                int yhi = static_cast<int>(
                    std::floor((gutter_ / 2 + region_h_ - kEdgeMargin) / k - height));
                if (found) {
                    // A later turn must sit lower to win.
                    yhi = std::min(yhi, static_cast<int>(std::floor(best_top - height)));
                }
                if (xhi < xlo || yhi < xlo) {
                    continue;
                }
                const std::size_t slot = first_slot_[c] + static_cast<std::size_t>(tried);
                Shape& s = shapes_[slot];
                if (!built_[slot]) {
                    rasteriser_.build(set_, c, charts_[c], t / k, turns, radius, s);
                    built_[slot] = 1;
                }
                int x = 0, y = 0;
                if (!grid.find(s.solid, xlo, xhi, xlo, yhi, x, y)) {
                    continue;
                }
                const double top = y + s.height;
                if (!found || top < best_top || (top == best_top && x < best_x)) {
                    found = true;
                    best_top = top;
                    best_x = x;
                    best_y = y;
                    best_turns = turns;
                    best_slot = slot;
                }
            }
            if (!found) {
                failed_ = c;
                unplaced_ = static_cast<std::size_t>(order_.end() -
                                                     std::find(order_.begin(), order_.end(), c));
                return false;
            }
            grid.occupy(shapes_[best_slot].dilated, best_x, best_y);
            placements_[c] = {static_cast<std::uint8_t>(best_turns), best_x, best_y, cell};
        }
        return true;
    }

    // A chart far smaller than a texel has too few float steps across it to
    // keep its triangles' shape and orientation. Any chart below a texel is
    // grown about its corner to nearly a texel: it stays inside the texels
    // its raster already claimed (the raster margin reaches into the texel
    // before the corner, and the chart starts on a texel border), so it
    // costs no room; only its texel density rises, which nobody sees inside
    // one texel.
    double growth(const Prepared& p, const Placement& pl, double t) const {
        const Frame& f = p.frames[pl.turns];
        const double w = t * f.width, h = t * f.height, side = std::max(w, h);
        if (!(side > 0) || side >= kMinSide) {
            return 1.0;
        }
        double grow = kMinSide / side;
        // Never past the far edge of the layout.
        const double room_x = gutter_ / 2 + region_w_ - kEdgeMargin - double(pl.cell) * pl.x;
        const double room_y = gutter_ / 2 + region_h_ - kEdgeMargin - double(pl.cell) * pl.y;
        if (w > 0) {
            grow = std::min(grow, room_x / w);
        }
        if (h > 0) {
            grow = std::min(grow, room_y / h);
        }
        return std::max(grow, 1.0);
    }

    void write(ChartSet& set, double t, const std::vector<Placement>& placements) const {
        const float w = static_cast<float>(layout_.width), h = static_cast<float>(layout_.height);
        // The same float limits the aspect fit compares against.
        const float limit_u = std::min(w / h, 1.0f), limit_v = std::min(h / w, 1.0f);
        for (std::uint32_t c = 0; c < charts_.size(); ++c) {
            const Prepared& p = charts_[c];
            const Placement& pl = placements[c];
            const std::uint32_t v0 = set.vertex_begin[c];
            const double grow = growth(p, pl, t);
            for (std::size_t i = 0; i < p.xy.size() / 2; ++i) {
                double x = 0, y = 0;
                place_point(p, i, t, pl.turns, x, y);
                const double u = (double(pl.cell) * pl.x + grow * x - gutter_ / 2) / scale_;
                const double v = (double(pl.cell) * pl.y + grow * y - gutter_ / 2) / scale_;
                set.uv[2 * (v0 + i)] = std::clamp(static_cast<double>(static_cast<float>(u)), 0.0,
                                                  static_cast<double>(limit_u));
                set.uv[2 * (v0 + i) + 1] = std::clamp(static_cast<double>(static_cast<float>(v)),
                                                      0.0, static_cast<double>(limit_v));
            }
        }
    }

    const std::vector<Placement>& placements() const { return placements_; }

    // From now on every chart tries only the turn it has in `placements`:
    // the texel-exact steps refine a layout whose turns the coarse search
    // chose, at a quarter of the searches.
    void fix_turns(const std::vector<Placement>& placements) {
        fixed_turns_.resize(placements.size());
        for (std::size_t c = 0; c < placements.size(); ++c) {
            fixed_turns_[c] = placements[c].turns;
        }
        cached_t_ = -1;
    }

    // Greedy placement fails on the chart that finds no room; moving that
    // chart to the front lets it claim space before the others fragment
    // it (the reordering of bottom-left packing heuristics). The order
    // persists, so later scales learn from earlier failures.
    bool attempt_with_retries(double t, Grid& grid, int cell, int retries) {
        for (int r = 0;; ++r) {
            if (attempt(t, grid, cell)) {
                return true;
            }
            // A new order rescues a near miss; when many charts found no
            // room the scale is hopeless, and on scenes of thousands of
            // charts each retry costs a whole pack.
            const double hopeless = std::max(kRetryCharts, kRetryShare * double(order_.size()));
            if (r == retries || double(unplaced_) > hopeless) {
                return false;
            }
            auto it = std::find(order_.begin(), order_.end(), failed_);
            std::rotate(order_.begin(), it, it + 1);
        }
    }

  private:
    const ChartSet& set_;
    PackLayout layout_;
    double gutter_ = 0, scale_ = 0, region_w_ = 0, region_h_ = 0;
    int radius_ = 0;
    double big_area_ = 0;
    std::vector<Prepared> charts_;
    std::vector<std::uint32_t> order_;
    std::vector<Placement> placements_;
    std::uint32_t failed_ = 0;
    std::size_t unplaced_ = 0;              // charts left when the last attempt failed
    std::vector<std::uint8_t> fixed_turns_; // per chart, once fix_turns() was called
    std::vector<Shape> shapes_;             // per chart and turn it tries, at cached_t_
    std::vector<std::uint8_t> built_;
    std::vector<std::size_t> first_slot_; // chart c: slots [first_slot_[c], first_slot_[c + 1])
    double cached_t_ = -1;
    int cached_cell_ = 0;
    Rasteriser rasteriser_;
};

} // namespace

std::size_t chart_capacity(const PackLayout& layout) {
    // The boxes of surely_too_big at texel cells, for charts a texel wide.
    const double box = std::ceil(double(layout.gutter)) + 1;
    return static_cast<std::size_t>(std::ceil((double(layout.width) + 2) / box) *
                                    std::ceil((double(layout.height) + 2) / box));
}

namespace {

// Texels per side of the cells the search starts on.
int coarse_cell(const PackLayout& layout) {
    return std::min(layout.width, layout.height) >= 256 ? 2 : 1;
}

// What one search of the scale found: the largest scale at which a layout
// fitted, and that layout.
struct Found {
    double scale = 0;
    std::vector<Placement> placements;
};

// The search for the largest scale at which the charts fit, starting from
// the order `heuristic` puts them in. report(share of the search) returns
// false on cancel. Status::Failed when nothing fits or on cancel.
template <class Report>
Status search_scale(Packer& packer, const PackLayout& layout, bool keep_turns, int heuristic,
                    const Report& report, Found& found) {
    const double hi_bound = packer.upper_scale();
    const double floor_scale = packer.lower_scale();
    const int cell = coarse_cell(layout);
    // On sets of many charts the coarse search stops at its first layout:
    // its answer lies well below the texel-exact one, so bisecting it
    // further would be time spent on the wrong question.
    const int coarse_steps = keep_turns ? 0 : (layout.quality ? 8 : 6);
    const int fine_steps = cell == 1 ? 0 : (keep_turns ? 7 : (layout.quality ? 5 : 3));
    const int retries = 6;
    const int budget = 30 + coarse_steps + fine_steps;
    int step = 0;
    double lo = 0, hi = hi_bound;
    std::vector<Placement> best;
    std::vector<std::uint32_t> best_order;
    {
        Grid grid((static_cast<int>(layout.width) + cell - 1) / cell,
                  (static_cast<int>(layout.height) + cell - 1) / cell);
        packer.set_order(heuristic);
        double t = packer.first_guess(hi_bound), step_down = 1.0;
        // Walk down from the area bound until a layout fits, then bisect.
        while (true) {
            if (!report(static_cast<float>(step++) / budget)) {
                return Status::Failed;
            }
            if (packer.attempt_with_retries(t, grid, cell, retries)) {
                lo = t;
                break;
            }
            hi = t;
            if (t < floor_scale) {
                return Status::Failed;
            }
            // Steps grow as failures repeat, so hopeless inputs fail fast.
            step_down *= 0.9;
            t *= step_down;
        }
        best = packer.placements();
        best_order = packer.order();
        for (int i = 0; i < coarse_steps && hi / lo > 1.002; ++i) {
            if (!report(static_cast<float>(step++) / budget)) {
                return Status::Failed;
            }
            t = std::sqrt(lo * hi);
            if (packer.attempt_with_retries(t, grid, cell, retries)) {
                lo = t;
                best = packer.placements();
                best_order = packer.order();
            } else {
                hi = t;
            }
        }
    }
    packer.set_order(best_order);
    if (fine_steps > 0) {
        // On sets of many charts the texel-exact steps keep the turns the
        // coarse search chose, which makes each step about four times
        // cheaper: more steps fit, and they find a finer scale.
        if (keep_turns) {
            packer.fix_turns(best);
        }
        Grid grid(static_cast<int>(layout.width), static_cast<int>(layout.height));
        // Texel cells lose up to a cell per side less than coarse ones.
        hi = lo * (layout.quality ? 1.12 : 1.03);
        // Many small charts lose far more on the coarse grid: each is
        // rounded up to whole cells and so is every gutter, which can put
        // the coarse answer a fifth or more below the texel-exact one. The
        // steps gallop upwards until a layout fails, then bisect.
        bool gallop = keep_turns;
        double stride = kGallop;
        for (int i = 0; i < fine_steps; ++i) {
            if (!report(static_cast<float>(step++) / budget)) {
                return Status::Failed;
            }
            const double t = gallop ? lo * stride : std::sqrt(lo * hi);
            stride *= stride;
            if (packer.attempt(t, grid, 1)) {
                lo = t;
                best = packer.placements();
            } else {
                hi = t;
                gallop = false;
            }
        }
    }
    found.scale = lo;
    found.placements = std::move(best);
    return Status::Ok;
}

} // namespace

Status pack_chart_set(ChartSet& charts, const PackLayout& layout, ProgressReporter& progress,
                      double* scale_out) {
    if (layout.width == 0 || layout.height == 0 || !(layout.gutter >= 0)) {
        return Status::InvalidCall;
    }
    if (charts.chart_count() == 0) {
        return Status::Ok;
    }
    Packer packer(charts, layout);
    if (!packer.usable()) {
        return Status::InvalidCall;
    }
    packer.prepare();

    const double hi_bound = packer.upper_scale();
    if (!std::isfinite(hi_bound)) {
        // Every chart is a single point: any scale is the same layout.
        Grid grid(static_cast<int>(layout.width), static_cast<int>(layout.height));
        if (!packer.attempt(1.0, grid, 1)) {
            return Status::Failed;
        }
        packer.write(charts, 1.0, packer.placements());
        if (scale_out != nullptr) {
            *scale_out = 1.0;
        }
        return Status::Ok;
    }
    {
        // The smallest scale the first walk down can reach before it gives
        // up; if nothing fits even there, every attempt would fail.
        const int cell = coarse_cell(layout);
        double t = hi_bound * 0.87, step_down = 1.0;
        while (!(t < packer.lower_scale())) {
            step_down *= 0.9;
            t *= step_down;
        }
        if (packer.surely_too_big(t, cell)) {
            return Status::Failed;
        }
    }

    // Greedy placement is chaotic in the order of the charts: on sets of
    // few charts, whose shapes decide the layout, a search from another
    // order often ends a few percent higher. The searches run side by side
    // on a second thread and the highest scale wins (the first search on
    // a tie), so the layout does not depend on which finishes first.
    const bool keep_turns = !layout.quality && charts.chart_count() >= kManyCharts;
    std::vector<int> heuristics{0};
    if (!keep_turns) {
        heuristics = layout.quality ? std::vector<int>{0, 1, 2} : std::vector<int>{0, 2};
    }
    std::vector<Packer> packers;
    packers.reserve(heuristics.size());
    packers.push_back(std::move(packer));
    while (packers.size() < heuristics.size()) {
        packers.push_back(packers.front());
    }
    std::vector<Found> found(heuristics.size());
    std::vector<Status> status(heuristics.size(), Status::Failed);
    {
        std::jthread helper;
        if (heuristics.size() > 1) {
            auto others = [&](std::stop_token stop) {
                try {
                    for (std::size_t i = 1; i < heuristics.size(); ++i) {
                        status[i] = search_scale(
                            packers[i], layout, keep_turns, heuristics[i],
                            [&](float) { return !stop.stop_requested(); }, found[i]);
                    }
                } catch (const std::bad_alloc&) {
                    // Lost only a second opinion: the first search decides.
                }
            };
            try {
                helper = std::jthread(others);
            } catch (const std::system_error&) {
                others(std::stop_token{}); // no thread: the same result, later
            }
        }
        status[0] = search_scale(
            packers[0], layout, keep_turns, heuristics[0],
            [&](float share) { return progress.report(share); }, found[0]);
        if (progress.cancelled()) {
            helper.request_stop();
            return Status::Failed;
        }
        if (helper.joinable()) {
            helper.join();
        }
    }
    std::size_t winner = heuristics.size();
    for (std::size_t i = 0; i < heuristics.size(); ++i) {
        if (succeeded(status[i]) &&
            (winner == heuristics.size() || found[i].scale > found[winner].scale)) {
            winner = i;
        }
    }
    if (winner == heuristics.size()) {
        return Status::Failed;
    }
    packers[winner].write(charts, found[winner].scale, found[winner].placements);
    if (scale_out != nullptr) {
        *scale_out = found[winner].scale;
    }
    progress.report(1.0f);
    return progress.cancelled() ? Status::Failed : Status::Ok;
}

namespace {

// Whether the charts of `source` fit a side x side atlas at scale t, from
// either of two orders; when they do, `out` gets the packed coordinates.
bool pack_at(const ChartSet& source, ChartSet& out, PackLayout layout, std::uint32_t side,
             double t) {
    layout.width = layout.height = side;
    Packer packer(source, layout);
    if (!packer.usable()) {
        return false;
    }
    packer.prepare();
    // Infinite for sets of points only, which fit any atlas with room.
    if (!(t <= packer.upper_scale() * (1 + 1e-9)) || packer.surely_too_big(t, 1)) {
        return false;
    }
    Grid grid(static_cast<int>(side), static_cast<int>(side));
    for (int heuristic : {0, 2}) {
        packer.set_order(heuristic);
        if (packer.attempt_with_retries(t, grid, 1, 6)) {
            packer.write(out, t, packer.placements());
            return true;
        }
    }
    return false;
}

} // namespace

Status pack_chart_set_at_density(ChartSet& charts, PackLayout& layout, const DensityFit& fit,
                                 ProgressReporter& progress) {
    const double g = std::max(0.0, static_cast<double>(layout.gutter));
    if (!(fit.density > 0) || !std::isfinite(fit.density) || !(double(fit.max_size) > 2 * g + 1)) {
        return Status::InvalidCall;
    }
    if (charts.chart_count() == 0) {
        layout.width = layout.height = 1;
        return Status::Ok;
    }
    // Every try packs from the charts' own shapes.
    const ChartSet source = charts;
    // The side below which the area or a chart's extent alone rules the
    // density out: the region of a side grows as side - g.
    std::uint32_t low = 1;
    {
        PackLayout widest = layout;
        widest.width = widest.height = fit.max_size;
        Packer probe(source, widest);
        probe.prepare();
        const double upper = probe.upper_scale();
        if (std::isfinite(upper)) {
            if (fit.density > upper * (1 + 1e-9)) {
                return Status::Failed;
            }
            const double side = g + fit.density * (double(fit.max_size) - g) / upper;
            low =
                static_cast<std::uint32_t>(std::clamp(std::floor(side), 1.0, double(fit.max_size)));
        }
    }
    std::vector<std::uint32_t> sides;
    if (fit.any_size) {
        sides = {fit.max_size};
    } else {
        for (std::uint64_t p = 1; p < fit.max_size; p *= 2) {
            if (p >= low) {
                sides.push_back(static_cast<std::uint32_t>(p));
            }
        }
        sides.push_back(fit.max_size);
    }
    // Powers of two in increasing order: the first that fits is the answer.
    // Any side: the largest first (nothing fits when it does not), then a
    // bisection between the lower bound and the smallest side that fitted.
    std::uint32_t fitted = 0;
    for (std::size_t i = 0; i < sides.size() && fitted == 0; ++i) {
        if (!progress.report(static_cast<float>(i) / static_cast<float>(sides.size() + 12))) {
            return Status::Failed;
        }
        if (pack_at(source, charts, layout, sides[i], fit.density)) {
            fitted = sides[i];
        }
    }
    if (fitted == 0) {
        return Status::Failed;
    }
    if (fit.any_size) {
        std::uint32_t lo = low > 0 ? low - 1 : 0; // fails (or is nothing)
        int step = 1;
        while (fitted - lo > 1) {
            if (!progress.report(std::min(0.99f, static_cast<float>(step++) / 14.0f))) {
                return Status::Failed;
            }
            const std::uint32_t mid = lo + (fitted - lo) / 2;
            if (mid > 2 * g + 1 && pack_at(source, charts, layout, mid, fit.density)) {
                fitted = mid;
            } else {
                lo = mid;
            }
        }
        // Only a side that fits writes the charts, so they hold the layout
        // of the side chosen.
    }
    layout.width = layout.height = fitted;
    progress.report(1.0f);
    return progress.cancelled() ? Status::Failed : Status::Ok;
}

} // namespace vellumar::atlas

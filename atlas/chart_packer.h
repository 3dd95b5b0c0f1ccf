// The packer behind pack_charts and create_atlas: places charts given as flat
// arrays into the atlas rectangle at one common scale, each chart turned as
// it fits best, with the gutter kept in the texels of the corrected atlas.
//
// Layout model. After the corrections (corrections.h) a coordinate u of the
// unit square lands on texel x = A u + g/2 in both directions, with
// A = M (1 - g/N), M = max(W, H), N = min(W, H), as long as no vertex has
// u > min(W/H, 1) or v > min(H/W, 1) (which would trigger the aspect fit).
// The packer therefore works directly on the W x H texel grid of the final
// image: charts are rasterised conservatively (every texel whose square they
// touch, widened by a rounding margin; large charts from their outline and
// a fill of its inside), dilated by ceil(g) texels in the
// Chebyshev sense, and placed at whole-texel offsets so that no texel of one
// chart has a texel of another within distance ceil(g). Placement is the
// raster packing of xatlas (texel masks, here as runs per row) with a
// bottom-left first fit in the spirit of the "Tetris" packing of Levy et al.
// 2002 ("Least Squares Conformal Maps for Automatic Texture Atlas
// Generation"): charts by decreasing area, each in the turn whose first fit
// (lowest, then leftmost free position) ends lowest, where every chart tries
// the four quarter turns and the charts that hold a large share of the area
// also the four diagonal ones; when only a few charts find no room, the
// first of them moves to the front and the pack is retried. A search on the
// common scale, starting below the scale at which the charts with a gutter
// around each would fill the layout, finds the tightest fit, first on cells
// of 2 x 2 texels, then on texels. Sets of fewer than 256 charts are also
// searched from a second order (shortest side first) on a second thread,
// and the higher scale wins.
#pragma once

#include "atlas/progress.h"
#include "atlas/status.h"

#include <cstdint>
#include <vector>

namespace vellumar::atlas {

// Chart c owns the vertices [vertex_begin[c], vertex_begin[c + 1]) of uv and
// the triangles [triangle_begin[c], triangle_begin[c + 1]) of triangles,
// whose entries index uv vertices of the same chart.
struct ChartSet {
    std::vector<double> uv;                    // 2 per vertex, any common scale
    std::vector<std::uint32_t> triangles;      // 3 per triangle
    std::vector<std::uint32_t> vertex_begin;   // chart count + 1 entries
    std::vector<std::uint32_t> triangle_begin; // chart count + 1 entries
    std::uint32_t chart_count() const {
        return vertex_begin.empty() ? 0 : static_cast<std::uint32_t>(vertex_begin.size() - 1);
    }
};

struct PackLayout {
    std::uint32_t width = 1024, height = 1024; // atlas pixels
    float gutter = 4.0f;                       // pixels between charts
    bool quality = false;                      // search more orders and scales
};

// The most charts an atlas of this layout can hold: each covers at least a
// texel and keeps the gutter from the next.
std::size_t chart_capacity(const PackLayout& layout);

// Rewrites charts.uv with the packed coordinates in [0, min(W/H,1)] x
// [0, min(H/W,1)]: every chart scaled by the same factor (charts smaller
// than a texel grown to nearly one), turned (no mirroring) and moved.
// Status::Failed when the charts do not fit at any scale or progress
// cancelled (charts.uv is then unspecified); Status::InvalidCall for a
// zero-sized atlas or a gutter that leaves no room.
// Cost: about (texels of the atlas) * log(scale range) plus the search.
// scale_out, when given, receives the common factor (texels per chart unit).
Status pack_chart_set(ChartSet& charts, const PackLayout& layout, ProgressReporter& progress,
                      double* scale_out = nullptr);

// A density chosen before the size: the atlas grows to hold the charts.
struct DensityFit {
    double density = 0;            // texels per chart unit, > 0
    std::uint32_t max_size = 4096; // the largest side to try
    bool any_size = false;         // any side; else powers of two (and max_size)
};

// Packs every chart at exactly fit.density texels per chart unit into the
// smallest square atlas the fit allows, with layout's gutter, and writes
// that side into layout.width and layout.height. Greedy packing is not
// strictly monotonic in the side, so "smallest" is the first side that fits
// in increasing order (bisected with any_size). Status::Failed when not even
// max_size x max_size holds them or on cancel; InvalidCall for a density
// that is no positive number or a max_size that leaves no room.
Status pack_chart_set_at_density(ChartSet& charts, PackLayout& layout, const DensityFit& fit,
                                 ProgressReporter& progress);

} // namespace vellumar::atlas

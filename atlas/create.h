// Atlas creation: cuts a mesh into charts, flattens them and packs them into
// one texture atlas.
//
// Pipeline (each stage in its own unit):
//   1. topology.h      which triangles may share a chart (adjacency cuts,
//                      false edges, winding), non-manifold check;
//   2. segment.h       charts that are discs, flatten without folds and stay
//                      within the stretch limit (conformal_map.h,
//                      chart_check.h, chart_split.h);
//   3. riders.h        charts of triangles without area only are dissolved
//                      into their neighbours;
//      chart_packer.h  one texel density for all charts, packed with the
//                      gutter planned for the corrections of corrections.h;
//   4. the output mesh with vertices split along chart borders.
#pragma once

#include "atlas/mesh.h"
#include "atlas/progress.h"
#include "atlas/status.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace vellumar::atlas {

struct AtlasOptions {
    // Largest number of charts the atlas may have; 0 = no limit.
    std::uint32_t max_charts = 0;
    // Largest stretch a chart may have, 0..1. The stretch of a chart is
    // 1 - 1 / L2^2, where L2 is the L2 stretch of Sander et al. 2001
    // ("Texture Mapping Progressive Meshes") of the chart scaled so that its
    // UV area equals its 3D area: 0 means isometric (only developable
    // pieces), 1 (or more) accepts anything. The default keeps L2 <= 1.095
    // per chart and so over the whole atlas.
    float max_stretch = 0.16667f;
    // Atlas size in pixels; neither may be 0.
    std::uint32_t width = 1024, height = 1024;
    // Empty pixels kept between charts after the corrections; >= 0.
    float gutter = 4.0f;
    // More effort (more chart turns tried while packing, finer scale
    // search); the guarantees are the same.
    bool quality = false;
    // When > 0: texels per unit of the mesh's positions. The atlas is then
    // square and as small as holds the charts at this density (powers of two
    // up to max_size, or any side with any_size); width and height are
    // ignored, and the void-cut alternatives, which only trade density, are
    // not tried.
    double texel_density = 0;
    std::uint32_t max_size = 4096;
    bool any_size = false;
};

struct AtlasResult {
    // The input triangles in the same order, with vertices split only where
    // charts meet (or where the input adjacency cuts). UVs lie in the unit
    // square; after apply_corrections(width, height, gutter) every two
    // charts are at least ceil(gutter) empty texels apart. The caller owns it.
    std::unique_ptr<AtlasMesh> mesh;
    // Per output vertex: the input vertex it was copied from.
    std::vector<std::uint32_t> vertex_remap;
    // Per triangle: its chart, numbered from 0 in order of each chart's
    // lowest triangle.
    std::vector<std::uint32_t> face_partition;
    // The largest chart stretch (as max_stretch measures it).
    float stretch_out = 0;
    // The number of charts; on Status::Failed for a chart limit, the number
    // of charts the mesh needs under the stretch limit.
    std::uint32_t charts_out = 0;
    // The atlas the layout is for: options.width x height, or the side the
    // texel density chose.
    std::uint32_t width = 0, height = 0;
    // Texels per unit of the mesh's positions the charts got.
    double texel_density_out = 0;
};

// Creates an atlas of `mesh`.
//
// adjacency: 3 * face_count entries, per face edge the neighbouring triangle
// or kNoNeighbour; charts never join across an edge without a neighbour.
// false_edges: empty or 3 * face_count entries; an entry other than
// kNoNeighbour marks an edge inside a polygon, which never becomes a chart
// border (the two triangles must also name each other in adjacency).
// Triangles without area are kept and get UVs inside a chart: those that no
// chart with area holds ride along with a neighbouring chart (each corner
// takes the UV of a vertex of it, or of one point of it) and count as part
// of it, so they cost neither a chart nor gutter.
// progress: called on the caller's thread about every `frequency` (0..1) of
// the work; a nonzero return cancels with Status::Failed. Borrowed for the call.
//
// Returns Status::InvalidMesh for an index out of range or an edge used by
// three or more triangles with area; Status::InvalidCall for a null result, wrong
// array sizes or a zero-sized atlas; Status::Failed when the chart limit
// cannot be met (charts_out holds the charts needed), the charts do not fit
// the atlas, or on cancel; Status::OutOfMemory. *result is only written on
// success, except charts_out. The same input always gives the same output
// (worker threads inside the call do not change the result).
// Cost: about O(n log n) in triangles plus the packing search.
Status create_atlas(const AtlasMesh& mesh, std::span<const std::uint32_t> adjacency,
                    std::span<const std::uint32_t> false_edges, const AtlasOptions& options,
                    const ProgressCallback& progress, float frequency, AtlasResult* result);

} // namespace vellumar::atlas

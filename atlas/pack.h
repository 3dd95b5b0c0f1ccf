// Packing of existing charts into one atlas.
#pragma once

#include "atlas/chart_packer.h"
#include "atlas/mesh.h"
#include "atlas/progress.h"
#include "atlas/status.h"

#include <cstdint>
#include <span>

namespace vellumar::atlas {

// Packs the charts of `mesh` into a width x height pixel atlas with `gutter`
// pixels between charts, rewriting u and v of every vertex a triangle uses
// (unused vertices keep theirs).
//
// chart_of_face holds one chart number per triangle (any numbering; charts
// need not be contiguous in triangle order). Every chart must already have
// vertices of its own. The UVs of the mesh give the charts' shapes at one
// common scale; the result keeps each chart congruent to its input up to one
// scale factor common to all charts and a rotation of that chart (never a
// mirror), so texel density stays equal across charts. The factor is the
// largest the search finds that fits. The one exception: a chart that would
// come out smaller than a texel is grown to nearly a texel inside the
// texels it claims, so that float UVs keep its shape.
//
// The layout is planned for the corrections of corrections.h: after
// apply_corrections(vertices, width, height, gutter) any two charts are at
// least ceil(gutter) empty texels apart (touching texels counted
// conservatively) and every UV lies in the unit square.
//
// partition_adjacency is the per-face-edge adjacency (3 * face_count entries)
// or empty; packing does not need it and only checks its size.
// progress is called on the caller's thread about every `frequency` of the
// work; a nonzero return cancels.
//
// Returns Status::InvalidMesh when an index is out of range, a vertex is
// used by two charts or a used UV is not finite; Status::InvalidCall for wrong buffer sizes, a
// zero-sized atlas or a gutter as wide as the atlas; Status::Failed when the charts do not fit
// (never an overlapping layout) or on cancel. The mesh is unchanged on failure. Cost: O(n log n) in
// triangles plus O(W H) per tried scale.
Status pack_charts(AtlasMesh& mesh, std::span<const std::uint32_t> partition_adjacency,
                   std::span<const std::uint32_t> chart_of_face, std::uint32_t width,
                   std::uint32_t height, float gutter, const ProgressCallback& progress,
                   float frequency);

// As pack_charts, with the UVs read as positions in scene units: every chart
// at fit.density texels per unit in the smallest square atlas the fit allows
// (see pack_chart_set_at_density); *side receives that atlas's side.
Status pack_charts_at_density(AtlasMesh& mesh, std::span<const std::uint32_t> partition_adjacency,
                              std::span<const std::uint32_t> chart_of_face, const DensityFit& fit,
                              float gutter, const ProgressCallback& progress, float frequency,
                              std::uint32_t* side);

} // namespace vellumar::atlas

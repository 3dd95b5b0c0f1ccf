// Chart creation: cuts the mesh into charts that flatten without folds and
// within the stretch limit, and flattens them.
//
// Top-down: each connected part of the linked mesh is tried whole; a chart
// that is not a disc, or whose conformal map (conformal_map.h) folds or
// stretches too much, is split in two (chart_split.h) and both halves are
// tried again. Afterwards neighbouring charts are merged greedily, longest
// shared border first, whenever the union stays compact and still flattens
// within the limits (first by stitching the two existing maps together, else
// by a new conformal map; optionally along part of the shared border only),
// which undoes the splits the recursion made too early. Elongated charts that would span most of
// the atlas are split too (they would cap the scale of every chart in the packer). In the spirit of
// the "flatten, check, split" loop of Levy et al. 2002 and the merge step of
// Sander et al. 2003.
//
// The split phase runs in waves on up to four worker threads; each chart's
// outcome depends on its triangles only and the results are put back in
// depth-first order, so the output does not depend on the thread count.
// Progress is reported on the caller's thread.
#pragma once

#include "atlas/chart_flattener.h"
#include "atlas/chart_mesh.h"
#include "atlas/face_geometry.h"
#include "atlas/mesh.h"
#include "atlas/progress.h"
#include "atlas/status.h"
#include "atlas/topology.h"

#include <cstddef>
#include <vector>

namespace vellumar::atlas {

// Charts in no particular order. Status::Failed when progress cancels or
// the mesh has more separate parts than options.max_parts.
Status flatten_charts(const AtlasMesh& mesh, const Topology& topology, const FaceGeometry& geometry,
                      const SegmentOptions& options, ProgressReporter& progress,
                      std::vector<FlatChart>& out);

} // namespace vellumar::atlas

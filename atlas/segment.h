// Chart creation: cuts the mesh into charts that flatten without folds and
// within the stretch limit, and flattens them.
//
// Top-down: each connected part of the linked mesh is tried whole; a chart
// that is not a disc, or whose conformal map (conformal_map.h) folds or
// stretches too much, is split in two (chart_split.h) and both halves are
// tried again. Afterwards neighbouring charts are merged greedily, longest
// shared border first, whenever the union stays compact and still flattens
// within the limits (first by stitching the two existing maps together, else
// by a new conformal map), which undoes the splits the recursion made too
// early. In the spirit of the "flatten, check, split" loop of Levy et al.
// 2002 and the merge step of Sander et al. 2003.
#pragma once

#include "atlas/chart_mesh.h"
#include "atlas/face_geometry.h"
#include "atlas/mesh.h"
#include "atlas/progress.h"
#include "atlas/status.h"
#include "atlas/topology.h"

#include <vector>

namespace vellumar::atlas {

struct FlatChart {
    ChartMesh mesh;
    std::vector<double> uv; // 2 per chart vertex; UV area equals 3D area
    double stretch_squared = 1;
};

struct SegmentOptions {
    float max_stretch = 0.16667f; // limit of stretch_measure (chart_check.h); >= 1: none
    bool quality = false;         // solve larger charts instead of splitting them blind
    // Split charts that would span most of the atlas (better packing, more
    // charts); off when the caller limits the chart count.
    bool limit_extent = true;
};

// Charts in no particular order. Status::Failed only when progress cancels.
Status flatten_charts(const AtlasMesh& mesh, const Topology& topology, const FaceGeometry& geometry,
                      const SegmentOptions& options, ProgressReporter& progress,
                      std::vector<FlatChart>& out);

} // namespace vellumar::atlas

// Greedy merging of neighbouring charts after the top-down split: charts
// sharing the longest border (relative to the smaller outline) first,
// whenever the union stays compact and still flattens within the limits.
// Follows the merge step of Sander, Wood, Gortler, Snyder and Hoppe 2003
// ("Multi-Chart Geometry Images").
#pragma once

#include "atlas/chart_flattener.h"
#include "atlas/mesh.h"
#include "atlas/progress.h"
#include "atlas/topology.h"

#include <vector>

namespace vellumar::atlas {

// Merges `charts` in place (the survivors keep their relative order).
// With a spare flattener, large merges are tried ahead on a second thread;
// the result is the same. Reports progress as the second half of its
// stage; false when cancelled.
bool merge_charts(const AtlasMesh& mesh, const Topology& topology, Flattener& flattener,
                  Flattener* spare, const SegmentOptions& options, ProgressReporter& progress,
                  std::vector<FlatChart>& charts);

} // namespace vellumar::atlas

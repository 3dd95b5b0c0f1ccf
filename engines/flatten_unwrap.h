// The hard-surface unwrap (also the projection unwrap): charts built from
// axis projections per polygon, packed, and welded back into an indexed mesh
// with a vertex remap, the same shape as an organic result.
#pragma once

#include "engines/projection_params.h"
#include "engines/uvatlasProxy.h"
#include "host/interface.h"

#include <span>
#include <vector>

// Unwraps `mesh` (a map's combined mesh). adjacency and false_edges (may be
// empty) are cut in place where projection classes change. `params` null:
// hard surface; else the projection its flag selects. Progress goes to the
// host's bar, the packer's to `progress`. Throws Proxy_Exception.
// Cost: O(n log n) in corners (the weld sorts the five-float keys).
void flatten_unwrap(UvAtlasProxy& proxy, const vellumar::atlas::AtlasMesh& mesh,
                    AtlasMeshPtr& result, std::vector<std::uint32_t>& vertex_remap,
                    const vellumar::atlas::ProgressCallback& progress,
                    std::span<std::uint32_t> adjacency, std::span<std::uint32_t> false_edges,
                    Interface* ip, ProjectionParams* params);

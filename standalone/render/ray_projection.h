// The rays of a ray-traced projection bake: every texel of the target's
// surface looks along the target's shading normal for the source surface
// it stands for. This is the high-to-low bake: a coarse target shows the
// detail of finer sources lying around its surface.
#pragma once

#include "standalone/render/bake_mesh.h"
#include "standalone/render/ray_scene.h"
#include "standalone/render/texel_raster.h"

#include <array>
#include <vector>

struct ProjectionHits {
    TexelCoverage found;     // the target's coverage less the texels whose ray found nothing
    std::vector<int> source; // per window texel: the source its ray found, -1 for none
    std::vector<RayHit> hit; // per window texel: where on that source's mesh
    // Image-wide indices of the target's texels whose ray found no source.
    std::vector<std::size_t> missed;
    // Per source, the window texels (x0, y0, x1, y1, inclusive) that hold
    // its hits; x1 < x0 for a source no ray found.
    std::vector<std::array<int, 4>> bounds;
};

// target, coverage and sources are borrowed for the call. rayOffset (world
// units, > 0): how far outside the target's surface the rays start, and so
// how far the sources may stand off it on either side.
ProjectionHits TraceProjection(const BakeMesh& target, const TexelCoverage& coverage,
                               const std::vector<BakeMesh>& sources, float rayOffset, int threads);

// The texels whose rays found `source`, as a coverage of that source's
// mesh over the smallest window of the image that holds them (w = 0 when
// there are none).
TexelCoverage SourceCoverage(const ProjectionHits& hits, int source);

// The elements of a projection target: its texels filled from the
// surfaces of its sources, found by equal coordinates or by rays.
#pragma once

#include "standalone/render/bake_elements.h"
#include "standalone/render/projection_bake.h"
#include "standalone/render/render_context.h"

// One element of a projection target at w x h, rendered band by band: the
// meshes are taken once, each band of rows is rasterized, traced and
// shaded on its own. margin: the padding rings the windows leave room for.
class ProjectionRender {
  public:
    // Throws RenderFailure when no source can be shown or the ray offset is
    // unusable.
    ProjectionRender(RenderContext& ctx, INode* target, const ProjectionSetup& setup,
                     const StandaloneBakeElement& e, int w, int h, int margin);
    // The image's rows `rows`, before padding, of which the band's own rows
    // are `own` (the rest is context for the padding). A ray-traced target
    // with warnRayMiss set warns once, with the band that ends the image,
    // about the texels whose ray found nothing.
    ProjectedImage Band(RowRange rows, RowRange own);

  private:
    ProjectedImage matched(RowRange rows);
    ProjectedImage traced(RowRange rows, RowRange own);

    RenderContext& ctx_;
    INode* target_;
    const ProjectionSetup& setup_;
    const StandaloneBakeElement& e_;
    int w_, h_, margin_;
    Matrix3 targetTM_;
    BakeMesh low_;                 // ray traced: the target's own surface
    std::vector<BakeMesh> meshes_; // the sources, as their surfaces or in the shared channel
    std::size_t missed_ = 0;
};

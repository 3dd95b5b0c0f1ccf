// The elements of a projection target: its texels filled from the
// surfaces of its sources, found by equal coordinates or by rays.
#pragma once

#include "standalone/render/bake_elements.h"
#include "standalone/render/projection_bake.h"
#include "standalone/render/render_context.h"

// The element's whole image of size w x h before padding; margin: the
// padding rings the windows leave room for. Throws RenderFailure when no
// source can be shown or the ray offset is unusable; a ray-traced target
// with warnRayMiss set warns once about texels whose ray found nothing.
ProjectedImage RenderProjected(RenderContext& ctx, INode* target, const ProjectionSetup& setup,
                               const StandaloneBakeElement& e, int w, int h, int margin);

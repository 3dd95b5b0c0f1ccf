// Ambient occlusion of an object's surface, texel by texel: the share of
// rays from the surface point that reach open space, mapped from the dark
// to the bright colour.
#pragma once

#include "standalone/render/bake_mesh.h"
#include "standalone/render/ray_scene.h"
#include "standalone/render/texel_raster.h"

#include <vector>

struct OcclusionSettings {
    int samples = 16;       // rays per texel, at least 1
    float spread = 0.8f;    // 0: along the normal only .. 1: the whole hemisphere
    float maxDistance = 0;  // world units a ray looks; 0: unlimited
    int seed = 0;           // varies the ray pattern
    Point3 bright{1, 1, 1}; // colour of a fully open point
    Point3 dark{0, 0, 0};   // colour of a fully occluded point
};

// RGBA per texel (alpha 1 where the object is, 0 elsewhere). `offset` lifts
// ray origins off the surface, in world units; threads share the work.
std::vector<float> BakeAmbientOcclusion(const BakeMesh& mesh, const TexelCoverage& coverage,
                                        const RayScene& rays, const OcclusionSettings& s,
                                        float offset, int threads);

// The material-driven bake outputs: what the surface looks like texel by
// texel (its colour, lit or not, its opacity, its height) and the shading
// normal its normal map gives. Lights are directional; shadows are traced.
#pragma once

#include "standalone/materials/surface_shader.h"
#include "standalone/render/bake_mesh.h"
#include "standalone/render/ray_scene.h"
#include "standalone/render/texel_raster.h"

#include <vector>

struct BakeLight {
    Point3 toLight{0, 0, 1}; // unit direction from the surface towards the light
    Point3 colour{1, 1, 1};
};

// The light a scene without lights is rendered with: a white key light from
// above, in front and to the left.
BakeLight DefaultBakeLight();

enum class SurfaceOutput { Diffuse, Complete, Alpha, Height, Shadows };

struct SurfaceBakeSettings {
    SurfaceOutput output = SurfaceOutput::Diffuse;
    bool lighting = false; // Diffuse: multiply by the light that arrives
    bool shadows = false;  // Diffuse with lighting, Complete: trace shadow rays
    Point3 ambient{0, 0, 0};
    bool invert = false; // Alpha: transparent becomes white
    float minHeight = -1, maxHeight = 1;
};

// Per triangle of a bake mesh, the shader of the material its face shows
// (a multi/sub-object material gives faces different ones); borrowed.
using TriangleShaders = std::vector<const SurfaceShader*>;

struct SurfaceBakeInputs {
    const BakeMesh* mesh = nullptr;
    const TexelCoverage* coverage = nullptr;
    const TriangleShaders* shaders = nullptr; // one per triangle of the mesh
    const RayScene* rays = nullptr;           // nullptr: nothing casts shadows
    std::vector<BakeLight> lights;
    float offset = 1e-4f; // shadow rays start this far off the surface
    int threads = 1;
};

// RGBA per texel, alpha 1 where the object is (Alpha: the opacity) and 0
// elsewhere.
std::vector<float> BakeSurface(const SurfaceBakeInputs& in, const SurfaceBakeSettings& s);

// The world-space shading normal of every covered texel, bent by the
// material's normal map where it has one (unit vectors; zero elsewhere).
std::vector<Point3> ShadingNormals(const BakeMesh& mesh, const TexelCoverage& coverage,
                                   const TriangleShaders& shaders, int threads);

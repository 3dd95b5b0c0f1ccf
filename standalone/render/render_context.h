// What one render-to-texture shares across its nodes and elements: the
// scene's surfaces for rays (built when the first element needs them), the
// lights, one shader per material and the warnings already given.
#pragma once

#include "host/max_types.h"
#include "standalone/materials/surface_shader.h"
#include "standalone/render/ray_scene.h"
#include "standalone/render/surface_bake.h"

#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

class Mtl;
class StandaloneCore;

// Why a render stopped, in the words the user reads.
class RenderFailure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class RenderContext {
  public:
    RenderContext(StandaloneCore& core, TimeValue t) : core_(core), t_(t) {}

    TimeValue Time() const { return t_; }
    // Every visible mesh node but projection targets, which hold copies of
    // other objects and would shadow them twice.
    const RayScene& Rays();
    // How far rays leave a surface: a small share of the scene's size,
    // enough to miss the surface they start from at any scale.
    float Offset();

    // Made once per material; the material's unreadable textures are warned about.
    const SurfaceShader& ShaderFor(Mtl* mtl);
    // The map channels that the faces of an object wearing mtl read, whatever their ids.
    std::vector<int> ShadeChannels(Mtl* mtl);
    // The shader of each triangle of the mesh of an object wearing mtl.
    TriangleShaders ShadersFor(Mtl* mtl, const BakeMesh& mesh);
    std::vector<BakeLight> Lights() const { return {DefaultBakeLight()}; }

    // A warning in the render's messages, given once however often it is said.
    void Warn(const std::string& text);

  private:
    StandaloneCore& core_;
    TimeValue t_;
    std::unique_ptr<RayScene> rays_;
    float offset_ = 1e-4f;
    std::map<Mtl*, std::unique_ptr<SurfaceShader>> shaders_;
    std::set<std::string> warned_;
};

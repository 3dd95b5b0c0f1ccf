// What a bake asks of an object's material at a point of its surface: the
// surface colour, opacity, self-illumination and the normal its normal map
// gives. Images are read once when the shader is made; shading is then
// read-only and safe from many threads.
#pragma once

#include "host/max_types.h"
#include "host/mesh.h"

#include <memory>
#include <string>
#include <vector>

class Mtl;

// The point's texture coordinates in the map channels the shader uses
// (SurfaceShader::Channels), filled in by the renderer.
struct ShadePoint {
    static constexpr int kMaxChannels = 8;
    int count = 0;
    int channel[kMaxChannels] = {};
    Point2 uv[kMaxChannels];

    // False when the mesh has no coordinates in that channel.
    bool UV(int ch, Point2& out) const {
        for (int i = 0; i < count; ++i)
            if (channel[i] == ch) {
                out = uv[i];
                return true;
            }
        return false;
    }
};

struct SurfaceSample {
    Point3 diffuse{0.5f, 0.5f, 0.5f}; // the colour, or the diffuse map as the image stores it
    float opacity = 1.0f;             // 0 .. 1
    Point3 selfIllum{0, 0, 0};
    float selfIllumAmount = 0.0f; // how far the diffuse colour stands in for the lighting, 0 .. 1
    float bump = 0.5f;            // the bump map's grey value; 0.5 without one
    bool hasNormalMap = false;    // a normal bump texture in the bump slot
    Point3 mapNormal{0, 0, 1};    // its tangent-space normal, unit length
    int normalChannel = 1;        // the channel whose tangent frame the map is in
};

// The material whose own values shade a face with material id `id`: a
// shell shows its render sub-material, a double-sided material its facing
// one, a multi/sub-object material the sub-material the id selects (id
// modulo their count), through any nesting of them. nullptr: the host's
// default grey.
Mtl* FaceMaterial(Mtl* mtl, MtlID id);
// Every material FaceMaterial can give for some id, each once, in slot order.
std::vector<Mtl*> FaceMaterials(Mtl* mtl);

class SurfaceShader {
  public:
    // mtl may be nullptr (the host's default grey material). It shades as
    // FaceMaterial (mtl, 0): as what it shows on a face of id 0. Every texture
    // that cannot be read is named once in `warnings`; the surface then
    // shades with the material's own colour.
    SurfaceShader(Mtl* mtl, std::vector<std::string>& warnings);
    ~SurfaceShader();
    SurfaceShader(const SurfaceShader&) = delete;
    SurfaceShader& operator=(const SurfaceShader&) = delete;

    // The map channels whose coordinates Shade reads, at most
    // ShadePoint::kMaxChannels.
    const std::vector<int>& Channels() const;
    SurfaceSample Shade(const ShadePoint& p) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

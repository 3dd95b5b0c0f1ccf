// glTF 2.0 binary files (.glb) of plain triangle meshes: positions, normals,
// tangents, texture coordinate sets and 32-bit indices, one node per mesh under one scene,
// with metallic-roughness materials whose images travel inside the file.
//
// Written by hand rather than through a general exporter: a generic
// exporter joins vertices it considers identical by its own rules (which
// ignore some texture-coordinate sets) and so corrupts atlases whose seams
// differ between sets; here every vertex given is written as given.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Triangles of a mesh that share a material; the mesh's vertices serve all
// of its primitives.
struct GlbPrimitive {
    std::vector<std::uint32_t> indices; // 3 per triangle, each < vertex count
    int material = -1;                  // index into the materials, or none
};

struct GlbMesh {
    std::string name; // UTF-8
    // Column-major 4 x 4 transform of the node (glTF's `matrix`).
    std::array<float, 16> matrix{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    std::vector<float> positions; // 3 per vertex
    std::vector<float> normals;   // 3 per vertex, unit length; or none
    std::vector<float> tangents;  // 4 per vertex: unit direction and handedness; or none
    // Set s becomes TEXCOORD_s; 2 per vertex each, in glTF's orientation
    // (v down from the top of the image).
    std::vector<std::vector<float>> texcoords;
    std::vector<GlbPrimitive> primitives;
};

// PNG or JPEG file bytes, stored as they are in the binary chunk.
struct GlbImage {
    std::string mime_type; // "image/png" or "image/jpeg"
    std::vector<std::uint8_t> bytes;
};

// Every image is one texture, sampled repeating and linearly filtered.
struct GlbTextureRef {
    int image = -1; // none when negative
    int set = 0;    // TEXCOORD_set of the meshes that use the material
};

struct GlbMaterial {
    std::string name;                            // UTF-8
    std::array<float, 4> base_color{1, 1, 1, 1}; // linear RGBA, each in 0..1
    GlbTextureRef base_color_texture, normal_texture;
};

// The whole file, or nothing when it would pass the format's 4 GiB.
// Preconditions: every mesh has at least one primitive and every primitive
// at least one triangle, its arrays agree in vertex count, its indices are
// in range and its numbers are
// finite (a non-finite number cannot be written in glTF's JSON); material
// and image indices are in range, and every mesh has the sets its
// material's textures read. A material whose base colour has alpha below 1
// is blended.
std::vector<std::uint8_t> glb_bytes(const std::vector<GlbMesh>& meshes,
                                    const std::vector<GlbMaterial>& materials = {},
                                    const std::vector<GlbImage>& images = {});

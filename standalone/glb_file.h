// glTF 2.0 binary files (.glb) of plain triangle meshes: positions, normals,
// tangents, texture coordinate sets and 32-bit indices, one node per mesh under one scene.
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
    std::vector<std::uint32_t> indices; // 3 per triangle, each < vertex count
};

// The whole file, or nothing when it would pass the format's 4 GiB.
// Preconditions: every mesh has at least one triangle, its
// arrays agree in vertex count, its indices are in range and its numbers are
// finite (a non-finite number cannot be written in glTF's JSON).
std::vector<std::uint8_t> glb_bytes(const std::vector<GlbMesh>& meshes);

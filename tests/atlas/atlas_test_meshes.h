// Small procedural meshes for the atlas tests, named after what they
// exercise.
#pragma once

#include "atlas/mesh.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace vellumar::atlas::testing {

struct Shape {
    std::vector<std::array<float, 3>> points;
    std::vector<std::uint32_t> indices;

    std::unique_ptr<AtlasMesh> mesh() const;
    // Adjacency from shared vertex indices.
    std::vector<std::uint32_t> adjacency() const;
};

Shape plane_grid(int n);                 // n x n quads in the unit square
Shape cube(int n);                       // closed, n x n quads per side
Shape open_cylinder(int around, int up); // a tube: not a disc
Shape sphere(int around, int up);        // closed, poles welded
Shape folded_sheet(int folds);           // paper folded back and forth
// A grid with a collinear (zero-area) triangle filling a T-junction and a
// separate triangle whose corners coincide.
Shape with_degenerate_triangles();
// Two triangles on one side of an edge and a third one sharing it.
Shape non_manifold_fin();

} // namespace vellumar::atlas::testing

// Planar UVs per triangle for the hard-surface and projection unwraps: every
// triangle gets one of six axis projections (box mapping), spread over each
// polygon through its false edges; the adjacency is then cut wherever the
// projection class changes, so charts end there.
#pragma once

#include "atlas/mesh.h"
#include "engines/projection_params.h"

#include <cstdint>
#include <span>
#include <vector>

// Projection classes; 0..5 are the axis projections, see the table in
// FlattenUVGenerator.cpp.
inline constexpr std::int32_t kUnclassified = -1;
inline constexpr std::int32_t kFilteredOut = 6;

class FlattenUVGenerator {
  public:
    // Borrows everything until the generator is destroyed. `vertices` are the
    // exploded corners (one per index; their u, v are written) and
    // `origins` the combined vertex each came from (empty: the vertices are
    // the combined ones); `false_edges` may be empty; `params` may be null
    // (hard surface).
    FlattenUVGenerator(std::span<const std::uint32_t> indices,
                       std::span<vellumar::atlas::AtlasVertex> vertices,
                       std::span<const std::uint32_t> origins, std::span<std::uint32_t> adjacency,
                       std::span<std::uint32_t> false_edges, std::int32_t face_count,
                       ProjectionParams* params);

    // Box mapping along the world axes. Throws Proxy_Exception when no
    // triangle can be classified.
    void run_hard_surface();
    // Keeps what the camera's view cone sees and what faces it, box-mapped
    // along the world axes.
    void run_perspective();
    // Keeps what faces the camera, box-mapped along the camera's axes.
    void run_orthographic();

    const std::vector<std::int32_t>& classes() const { return classes_; }

  private:
    Point3 corner(std::int32_t f, int k) const;
    Point3 normal(std::int32_t f) const;
    Point3 world_offset(std::int32_t f) const;
    void spread(std::int32_t f, std::int32_t cls);
    bool group_visible(std::int32_t f, const CameraFrame& frame, float cone_cosine);
    // Writes u, v from the classes; false when no corner got an axis class.
    template <class Map> bool map_corners(Map map);
    void cut();
    // Box mapping along the world axes, the check that something is left,
    // and the cut: the common end of the hard-surface and perspective runs.
    void map_world_axes_and_cut();

    std::int32_t face_count_;
    std::vector<std::int32_t> classes_;
    std::span<const std::uint32_t> indices_;
    std::span<std::uint32_t> adjacency_;
    std::span<std::uint32_t> false_edges_;
    std::span<vellumar::atlas::AtlasVertex> vertices_;
    std::span<const std::uint32_t> origins_;
    ProjectionParams* params_;
    std::vector<std::int32_t> stack_;
    std::vector<std::int32_t> group_;
    std::vector<std::uint32_t> group_mark_;
    std::uint32_t group_round_ = 0;
};

// The class of a normal along the world axes: 0 +X, 1 -X, 2 +Y, 3 -Y, 4 +Z,
// 5 -Z, the earlier class on a tie; kUnclassified for a zero normal.
std::int32_t axis_class(const Point3& n);

// Whether a triangle meets the single-sided infinite cone with the given
// apex, unit axis and cosine (>= 0): a corner inside, an edge crossing, or
// the axis ray through its interior.
bool triangle_meets_cone(const Point3 (&tri)[3], const Point3& apex, const Point3& axis,
                         float cosine);
bool point_in_cone(const Point3& p, const Point3& apex, const Point3& axis, float cosine);

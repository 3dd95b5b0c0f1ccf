// Surfaces for rays: triangles in world space (every mesh node's, or only
// the sources of a projection), built once per bake and then queried from
// many threads (shadows, ambient occlusion, projection rays). Embree does
// the tracing.
#pragma once

#include "host/max_types.h"

#include <memory>
#include <vector>

// Where a ray first meets a surface: the triangle's place in the list the
// scene was built from, and the point's barycentric weights of corners 1
// and 2 (corner 0 weighs 1 - b1 - b2).
struct RayHit {
    int triangle = -1;
    float b1 = 0, b2 = 0;
    float distance = 0; // along the ray, in units of its direction
};

class RayScene {
  public:
    // Three world-space corners per triangle; triangles of every object.
    explicit RayScene(const std::vector<Point3>& triangles);
    ~RayScene();
    RayScene(const RayScene&) = delete;
    RayScene& operator=(const RayScene&) = delete;

    // Whether anything lies on the ray from `origin` along unit `dir`
    // between distances tnear and tfar. Safe to call from many threads.
    bool Occluded(const Point3& origin, const Point3& dir, float tnear, float tfar) const;
    // The nearest surface on that ray, front or back face alike; false
    // (hit untouched) when there is none. Safe to call from many threads.
    bool Intersect(const Point3& origin, const Point3& dir, float tnear, float tfar,
                   RayHit& hit) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The scene's surfaces for rays: every mesh node's triangles in world space,
// built once per bake and then queried from many threads (shadows, ambient
// occlusion). Embree does the tracing.
#pragma once

#include "host/max_types.h"

#include <memory>
#include <vector>

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

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

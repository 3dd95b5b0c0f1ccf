// The projection parameters of one target map: which camera the unwrap
// looks through, how, and which node each combined vertex belongs to.
#pragma once

#include "host/inode.h"

#include <cstdint>
#include <map>

struct CameraFrame {
    Point3 position{0, 0, 0};
    Point3 direction{0, 0, -1};
    Point3 up{0, 1, 0};
};

class ProjectionParams {
  public:
    // camera_handle 0 or a handle that names no node: no camera.
    ProjectionParams(ULONG camera_handle, std::map<std::uint32_t, INode*> owner_map,
                     bool orthographic, float view_angle, float tolerance);

    // The camera node, looked up again by handle every time: a camera that
    // was deleted (or whose handle now names another node) is none.
    INode* camera();
    // The camera's frame at the host's current time (origin looking down -Z
    // without a camera): its translation, and -Z and +Y through its rotation
    // with scale and shear removed.
    CameraFrame frame();

    bool orthographic() const { return orthographic_; }
    float view_angle() const { return view_angle_; }
    float tolerance() const { return tolerance_; }
    const std::map<std::uint32_t, INode*>& owner_map() const { return owner_map_; }
    // The node owning combined vertex v: the entry with the largest key not
    // above v; nullptr when there is none.
    INode* owner_of(std::uint32_t vertex) const;

  private:
    ULONG handle_;
    INode* camera_;
    std::map<std::uint32_t, INode*> owner_map_;
    bool orthographic_;
    float view_angle_;
    float tolerance_;
};

#include "engines/projection_params.h"

#include "host/interface.h"

ProjectionParams::ProjectionParams(ULONG camera_handle, std::map<std::uint32_t, INode*> owner_map,
                                   bool orthographic, float view_angle, float tolerance)
    : handle_(camera_handle),
      camera_(camera_handle != 0 ? GetCOREInterface()->GetINodeByHandle(camera_handle) : nullptr),
      owner_map_(std::move(owner_map)), orthographic_(orthographic), view_angle_(view_angle),
      tolerance_(tolerance) {}

INode* ProjectionParams::camera() {
    if (camera_ != nullptr && GetCOREInterface()->GetINodeByHandle(handle_) != camera_) {
        camera_ = nullptr;
    }
    return camera_;
}

CameraFrame ProjectionParams::frame() {
    CameraFrame f;
    INode* cam = camera();
    if (cam == nullptr) {
        return f;
    }
    const Matrix3 tm = cam->GetObjectTM(GetCOREInterface()->GetTime());
    f.position = tm.GetTrans();
    // Gram-Schmidt on the axes: what is left is the pure rotation.
    const Point3 x = Normalize(tm.GetRow(0));
    Point3 y = tm.GetRow(1) - x * DotProd(x, tm.GetRow(1));
    y = Normalize(y);
    const Point3 z = Normalize(CrossProd(x, y));
    Matrix3 rotation;
    rotation.SetRow(0, x);
    rotation.SetRow(1, y);
    rotation.SetRow(2, z);
    f.direction = rotation.VectorTransform(Point3(0, 0, -1));
    f.up = rotation.VectorTransform(Point3(0, 1, 0));
    return f;
}

INode* ProjectionParams::owner_of(std::uint32_t vertex) const {
    auto it = owner_map_.upper_bound(vertex);
    if (it == owner_map_.begin()) {
        return nullptr;
    }
    return std::prev(it)->second;
}

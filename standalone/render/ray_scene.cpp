#include "standalone/render/ray_scene.h"

#include <embree3/rtcore.h>

#include <cmath>
#include <limits>
#include <stdexcept>

struct RayScene::Impl {
    RTCDevice device = nullptr;
    RTCScene scene = nullptr;
    std::vector<int> triangle; // per kept triangle: its place in the list given
};

RayScene::RayScene(const std::vector<Point3>& triangles) : impl_(std::make_unique<Impl>()) {
    impl_->device = rtcNewDevice(nullptr);
    if (impl_->device == nullptr) {
        throw std::runtime_error("the ray tracer could not start");
    }
    impl_->scene = rtcNewScene(impl_->device);
    // Triangles with a non-finite corner would only poison the hierarchy.
    std::vector<Point3> kept;
    kept.reserve(triangles.size());
    for (std::size_t t = 0; t + 2 < triangles.size(); t += 3) {
        bool ok = true;
        for (int k = 0; k < 3; ++k) {
            const Point3& p = triangles[t + k];
            ok = ok && std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
        }
        if (ok) {
            kept.insert(kept.end(), triangles.begin() + long(t), triangles.begin() + long(t) + 3);
            impl_->triangle.push_back(static_cast<int>(t / 3));
        }
    }
    const std::size_t count = kept.size() / 3;
    if (count > 0) {
        RTCGeometry geom = rtcNewGeometry(impl_->device, RTC_GEOMETRY_TYPE_TRIANGLE);
        auto* vb = static_cast<float*>(rtcSetNewGeometryBuffer(
            geom, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3, 3 * sizeof(float), kept.size()));
        auto* ib = static_cast<unsigned*>(rtcSetNewGeometryBuffer(
            geom, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3, 3 * sizeof(unsigned), count));
        for (std::size_t i = 0; i < kept.size(); ++i) {
            vb[i * 3 + 0] = kept[i].x;
            vb[i * 3 + 1] = kept[i].y;
            vb[i * 3 + 2] = kept[i].z;
            ib[i] = static_cast<unsigned>(i);
        }
        rtcCommitGeometry(geom);
        rtcAttachGeometry(impl_->scene, geom);
        rtcReleaseGeometry(geom);
    }
    rtcCommitScene(impl_->scene);
}

RayScene::~RayScene() {
    rtcReleaseScene(impl_->scene);
    rtcReleaseDevice(impl_->device);
}

namespace {

RTCRay make_ray(const Point3& o, const Point3& d, float tnear, float tfar) {
    RTCRay r{};
    r.org_x = o.x;
    r.org_y = o.y;
    r.org_z = o.z;
    r.dir_x = d.x;
    r.dir_y = d.y;
    r.dir_z = d.z;
    r.tnear = tnear;
    r.tfar = tfar;
    r.mask = std::numeric_limits<unsigned>::max();
    r.flags = 0;
    return r;
}

} // namespace

bool RayScene::Occluded(const Point3& origin, const Point3& dir, float tnear, float tfar) const {
    RTCIntersectContext context;
    rtcInitIntersectContext(&context);
    RTCRay ray = make_ray(origin, dir, tnear, tfar);
    rtcOccluded1(impl_->scene, &context, &ray);
    // A blocked ray comes back with tfar set to minus infinity.
    return ray.tfar < 0.0f;
}

bool RayScene::Intersect(const Point3& origin, const Point3& dir, float tnear, float tfar,
                         RayHit& hit) const {
    RTCIntersectContext context;
    rtcInitIntersectContext(&context);
    RTCRayHit rh{};
    rh.ray = make_ray(origin, dir, tnear, tfar);
    rh.hit.geomID = RTC_INVALID_GEOMETRY_ID;
    rh.hit.instID[0] = RTC_INVALID_GEOMETRY_ID;
    rtcIntersect1(impl_->scene, &context, &rh);
    if (rh.hit.geomID == RTC_INVALID_GEOMETRY_ID) {
        return false;
    }
    // Embree's u and v weigh the triangle's second and third corners.
    hit.triangle = impl_->triangle[rh.hit.primID];
    hit.b1 = rh.hit.u;
    hit.b2 = rh.hit.v;
    hit.distance = rh.ray.tfar;
    return true;
}

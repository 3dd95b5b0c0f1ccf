#include "engines/FlattenUVGenerator.h"

#include "host/interface.h"
#include "unwrap/proxy_exception.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr const char* kUnit = "FlattenUVGenerator";
constexpr const char* kNothingLeft =
    "The current projection settings have filtered out all surfaces, there is nothing left to "
    "unwrap.";
constexpr double kDegreesToRadians = 0.017453292519943295;
constexpr std::uint32_t kNone = vellumar::atlas::kNoNeighbour;

double dot(const Point3& a, const Point3& b) {
    return double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z;
}

// Planar UV of a point for an axis class; the three coordinates are the
// point along the projection's x, y and z axes.
void planar_uv(std::int32_t cls, double x, double y, double z, float& u, float& v) {
    switch (cls) {
    case 0:
        u = float(y), v = float(z);
        break;
    case 1:
        u = float(-y), v = float(z);
        break;
    case 2:
        u = float(x), v = float(-z);
        break;
    case 3:
        u = float(x), v = float(z);
        break;
    case 4:
        u = float(x), v = float(y);
        break;
    case 5:
        u = float(x), v = float(-y);
        break;
    default:
        u = 0, v = 0;
        break;
    }
}

} // namespace

std::int32_t axis_class(const Point3& n) {
    if (n.x == 0 && n.y == 0 && n.z == 0) {
        return kUnclassified;
    }
    std::int32_t cls = 0;
    float best = std::max(n.x, 0.0f);
    const float candidates[5] = {-n.x, n.y, -n.y, n.z, -n.z};
    for (int i = 0; i < 5; ++i) {
        if (candidates[i] > best) {
            cls = i + 1;
            best = candidates[i];
        }
    }
    return cls;
}

bool point_in_cone(const Point3& p, const Point3& apex, const Point3& axis, float cosine) {
    const Point3 w = p - apex;
    const double d = dot(w, axis);
    return d >= 0 && d * d - double(cosine) * cosine * dot(w, w) >= 0;
}

bool triangle_meets_cone(const Point3 (&tri)[3], const Point3& apex, const Point3& axis,
                         float cosine) {
    for (const Point3& p : tri) {
        if (point_in_cone(p, apex, axis, cosine)) {
            return true;
        }
    }
    const double c2 = double(cosine) * cosine;
    // An edge crosses the cone where f(t) = d(t)^2 - c^2 |P(t) - apex|^2 >= 0
    // with d(t) >= 0. Between consecutive roots of f and of d both keep
    // their signs, so testing the roots and the middles between them is exact.
    for (int k = 0; k < 3; ++k) {
        const Point3 w0 = tri[k] - apex;
        const Point3 e = tri[(k + 1) % 3] - tri[k];
        const double d0 = dot(w0, axis), de = dot(e, axis);
        const double a = de * de - c2 * dot(e, e);
        const double b = 2 * (d0 * de - c2 * dot(w0, e));
        const double c = d0 * d0 - c2 * dot(w0, w0);
        double ts[9] = {0.0, 1.0};
        int n = 2;
        auto add = [&](double t) {
            if (t > 0 && t < 1) {
                ts[n++] = t;
            }
        };
        if (a != 0) {
            const double disc = b * b - 4 * a * c;
            if (disc >= 0) {
                const double s = std::sqrt(disc);
                add((-b - s) / (2 * a));
                add((-b + s) / (2 * a));
            }
        } else if (b != 0) {
            add(-c / b);
        }
        if (de != 0) {
            add(-d0 / de);
        }
        for (int i = 1; i < n; ++i) { // at most five values
            for (int j = i; j > 0 && ts[j] < ts[j - 1]; --j) {
                std::swap(ts[j], ts[j - 1]);
            }
        }
        const int candidates = n;
        for (int i = 0; i + 1 < candidates; ++i) {
            ts[n++] = 0.5 * (ts[i] + ts[i + 1]);
        }
        for (int i = 0; i < n; ++i) {
            const double t = ts[i];
            const double d = d0 + t * de;
            if (d >= 0 && a * t * t + b * t + c >= 0) {
                return true;
            }
        }
    }
    // The axis ray through the interior (Moller-Trumbore).
    const Point3 e1 = tri[1] - tri[0], e2 = tri[2] - tri[0];
    const Point3 p = CrossProd(axis, e2);
    const double det = dot(e1, p);
    if (det == 0) {
        return false;
    }
    const Point3 s = apex - tri[0];
    const double u = dot(s, p) / det;
    const Point3 q = CrossProd(s, e1);
    const double v = dot(axis, q) / det;
    const double t = dot(e2, q) / det;
    return u >= 0 && v >= 0 && u + v <= 1 && t >= 0;
}

FlattenUVGenerator::FlattenUVGenerator(std::span<const std::uint32_t> indices,
                                       std::span<vellumar::atlas::AtlasVertex> vertices,
                                       std::span<const std::uint32_t> origins,
                                       std::span<std::uint32_t> adjacency,
                                       std::span<std::uint32_t> false_edges,
                                       std::int32_t face_count, ProjectionParams* params)
    : face_count_(face_count), classes_(static_cast<std::size_t>(face_count), kUnclassified),
      indices_(indices), adjacency_(adjacency), false_edges_(false_edges), vertices_(vertices),
      origins_(origins), params_(params) {}

Point3 FlattenUVGenerator::corner(std::int32_t f, int k) const {
    const auto& v =
        vertices_[indices_[3 * static_cast<std::size_t>(f) + static_cast<std::size_t>(k)]];
    return {v.x, v.y, v.z};
}

Point3 FlattenUVGenerator::normal(std::int32_t f) const {
    const Point3 p0 = corner(f, 0);
    return CrossProd(corner(f, 1) - p0, corner(f, 2) - p0);
}

void FlattenUVGenerator::spread(std::int32_t f, std::int32_t cls) {
    stack_.assign(1, f);
    while (!stack_.empty()) {
        const std::int32_t t = stack_.back();
        stack_.pop_back();
        classes_[static_cast<std::size_t>(t)] = cls;
        if (false_edges_.empty()) {
            continue;
        }
        for (std::size_t k = 0; k < 3; ++k) {
            const std::uint32_t n = false_edges_[3 * static_cast<std::size_t>(t) + k];
            if (n != kNone && n < static_cast<std::uint32_t>(face_count_) &&
                classes_[n] == kUnclassified) {
                stack_.push_back(static_cast<std::int32_t>(n));
            }
        }
    }
}

template <class Map> bool FlattenUVGenerator::map_corners(Map map) {
    bool any = false;
    for (std::int32_t f = 0; f < face_count_; ++f) {
        const std::int32_t cls = classes_[static_cast<std::size_t>(f)];
        any = any || (cls >= 0 && cls <= 5);
        for (int k = 0; k < 3; ++k) {
            auto& v =
                vertices_[indices_[3 * static_cast<std::size_t>(f) + static_cast<std::size_t>(k)]];
            map(cls, Point3(v.x, v.y, v.z), v.u, v.v);
        }
    }
    return any;
}

void FlattenUVGenerator::cut() {
    for (std::size_t f = 0; f < static_cast<std::size_t>(face_count_); ++f) {
        for (std::size_t k = 0; k < 3; ++k) {
            const std::uint32_t g = adjacency_[3 * f + k];
            if (g != kNone && g < static_cast<std::uint32_t>(face_count_) &&
                classes_[g] != classes_[f]) {
                adjacency_[3 * f + k] = kNone;
                if (!false_edges_.empty()) {
                    false_edges_[3 * f + k] = kNone;
                }
            }
        }
    }
}

void FlattenUVGenerator::map_world_axes_and_cut() {
    const bool any = map_corners([](std::int32_t cls, const Point3& p, float& u, float& v) {
        planar_uv(cls, p.x, p.y, p.z, u, v);
    });
    if (!any) {
        throw Proxy_Exception(kNothingLeft, kUnit, 91);
    }
    cut();
}

void FlattenUVGenerator::run_hard_surface() {
    for (std::int32_t f = 0; f < face_count_; ++f) {
        if (classes_[static_cast<std::size_t>(f)] != kUnclassified) {
            continue;
        }
        const std::int32_t cls = axis_class(normal(f));
        if (cls != kUnclassified) {
            spread(f, cls);
        }
    }
    map_world_axes_and_cut();
}

Point3 FlattenUVGenerator::world_offset(std::int32_t f) const {
    const std::uint32_t first = indices_[3 * static_cast<std::size_t>(f)];
    const std::uint32_t combined = first < origins_.size() ? origins_[first] : first;
    INode* owner = params_ != nullptr ? params_->owner_of(combined) : nullptr;
    return owner != nullptr ? owner->GetObjectTM(GetCOREInterface()->GetTime()).GetTrans()
                            : Point3(0, 0, 0);
}

bool FlattenUVGenerator::group_visible(std::int32_t f, const CameraFrame& frame,
                                       float cone_cosine) {
    // The group: f and what its false edges reach, breadth first.
    if (group_mark_.size() != static_cast<std::size_t>(face_count_)) {
        group_mark_.assign(static_cast<std::size_t>(face_count_), 0);
    }
    const std::uint32_t mark = ++group_round_;
    std::vector<std::int32_t>& group = group_;
    group.assign(1, f);
    group_mark_[static_cast<std::size_t>(f)] = mark;
    const Point3 offset = world_offset(f);
    const Point3 axis = Normalize(frame.direction);
    for (std::size_t head = 0; head < group.size(); ++head) {
        const std::int32_t t = group[head];
        const Point3 tri[3] = {corner(t, 0) + offset, corner(t, 1) + offset, corner(t, 2) + offset};
        if (cone_cosine >= 0) {
            if (triangle_meets_cone(tri, frame.position, axis, cone_cosine)) {
                return true;
            }
        } else {
            // Wider than a half space: only what lies wholly in the cone
            // behind the camera is out of view.
            const Point3 back = axis * -1.0f;
            if (!(point_in_cone(tri[0], frame.position, back, -cone_cosine) &&
                  point_in_cone(tri[1], frame.position, back, -cone_cosine) &&
                  point_in_cone(tri[2], frame.position, back, -cone_cosine))) {
                return true;
            }
        }
        if (false_edges_.empty()) {
            continue;
        }
        for (std::size_t k = 0; k < 3; ++k) {
            const std::uint32_t n = false_edges_[3 * static_cast<std::size_t>(t) + k];
            if (n < static_cast<std::uint32_t>(face_count_) && group_mark_[n] != mark) {
                group_mark_[n] = mark;
                group.push_back(static_cast<std::int32_t>(n));
            }
        }
    }
    return false;
}

void FlattenUVGenerator::run_perspective() {
    const CameraFrame frame = params_->frame();
    const auto cone_cosine =
        static_cast<float>(std::cos(double(params_->view_angle()) * kDegreesToRadians));
    const auto back_limit =
        static_cast<float>(std::cos((double(params_->tolerance()) - 90.0) * kDegreesToRadians));
    for (std::int32_t f = 0; f < face_count_; ++f) {
        if (classes_[static_cast<std::size_t>(f)] != kUnclassified) {
            continue;
        }
        const Point3 n = normal(f);
        if (!group_visible(f, frame, cone_cosine)) {
            spread(f, kFilteredOut);
            continue;
        }
        const Point3 centre =
            (corner(f, 0) + corner(f, 1) + corner(f, 2)) * (1.0f / 3.0f) + world_offset(f);
        const Point3 to_camera = Normalize(frame.position - centre);
        if (dot(to_camera, Normalize(n)) < -double(back_limit)) {
            spread(f, kFilteredOut);
            continue;
        }
        const std::int32_t cls = axis_class(n);
        if (cls != kUnclassified) {
            spread(f, cls);
        }
    }
    map_world_axes_and_cut();
}

void FlattenUVGenerator::run_orthographic() {
    const CameraFrame frame = params_->frame();
    const Point3 right = CrossProd(frame.direction, frame.up);
    const auto back_limit =
        static_cast<float>(std::cos((double(params_->tolerance()) - 90.0) * kDegreesToRadians));
    const Point3 axes[6] = {
        frame.direction, frame.direction * -1.0f, frame.up, frame.up * -1.0f, right, right * -1.0f};
    for (std::int32_t f = 0; f < face_count_; ++f) {
        if (classes_[static_cast<std::size_t>(f)] != kUnclassified) {
            continue;
        }
        const Point3 n = normal(f);
        const double length = n.Length();
        std::int32_t cls = kFilteredOut;
        if (length > 0) {
            const double k = dot(frame.direction, n) / (frame.direction.Length() * length);
            if (k < double(back_limit)) {
                double best = 0;
                for (int i = 0; i < 6; ++i) {
                    const double value = dot(axes[i], n) / (axes[i].Length() * length);
                    if (i == 0 || value > best) {
                        best = value;
                        cls = i;
                    }
                }
            }
        }
        spread(f, cls);
    }
    const bool any = map_corners([&](std::int32_t cls, const Point3& p, float& u, float& v) {
        planar_uv(cls, dot(p, frame.direction), dot(p, frame.up), dot(p, right), u, v);
    });
    if (!any) {
        throw Proxy_Exception(kNothingLeft, kUnit, 141);
    }
    cut();
}

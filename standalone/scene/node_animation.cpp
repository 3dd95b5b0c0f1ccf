#include "standalone/scene/node_animation.h"

#include "host/chunk_io.h"

#include <algorithm>
#include <cmath>

namespace {

Point3 lerp(const Point3& a, const Point3& b, float f) {
    return a + (b - a) * f;
}

Quat slerp(Quat a, const Quat& b, float f) {
    float d = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
    if (d < 0) {
        // q and -q are one rotation; the other sign takes the short way.
        a = {-a.x, -a.y, -a.z, -a.w};
        d = -d;
    }
    float ka = 1.0f - f, kb = f;
    if (d < 0.9995f) {
        const float angle = std::acos(std::min(d, 1.0f));
        const float s = std::sin(angle);
        ka = std::sin(ka * angle) / s;
        kb = std::sin(kb * angle) / s;
    }
    Quat q{ka * a.x + kb * b.x, ka * a.y + kb * b.y, ka * a.z + kb * b.z, ka * a.w + kb * b.w};
    const float n = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    return n > 0 ? Quat{q.x / n, q.y / n, q.z / n, q.w / n} : Quat{};
}

// The value at t; a key's own time gives exactly its value.
template <class V, class Mix>
V sample(const std::vector<AnimKey<V>>& keys, const V& rest, TimeValue t, Mix mix) {
    if (keys.empty()) {
        return rest;
    }
    if (t <= keys.front().t) {
        return keys.front().v;
    }
    if (t >= keys.back().t) {
        return keys.back().v;
    }
    const auto next = std::upper_bound(keys.begin(), keys.end(), t,
                                       [](TimeValue x, const AnimKey<V>& k) { return x < k.t; });
    const auto prev = next - 1;
    if (prev->t == t) {
        return prev->v;
    }
    const float f = float(double(t - prev->t) / double(next->t - prev->t));
    return mix(prev->v, next->v, f);
}

bool write_value(ISave* s, const Point3& p) {
    return write_f32(s, p.x) && write_f32(s, p.y) && write_f32(s, p.z);
}

bool write_value(ISave* s, const Quat& q) {
    return write_f32(s, q.x) && write_f32(s, q.y) && write_f32(s, q.z) && write_f32(s, q.w);
}

bool read_finite(ILoad* l, float& v) {
    return read_f32(l, v) && std::isfinite(v);
}

bool read_value(ILoad* l, Point3& p) {
    return read_finite(l, p.x) && read_finite(l, p.y) && read_finite(l, p.z);
}

bool read_value(ILoad* l, Quat& q) {
    return read_finite(l, q.x) && read_finite(l, q.y) && read_finite(l, q.z) && read_finite(l, q.w);
}

template <class V> constexpr std::uint64_t kValueBytes = sizeof(V) == sizeof(Quat) ? 16 : 12;

template <class V> bool write_keys(ISave* s, const std::vector<AnimKey<V>>& keys) {
    bool ok = write_u32(s, static_cast<std::uint32_t>(keys.size()));
    for (const auto& k : keys) {
        ok = ok && write_i32(s, k.t) && write_value(s, k.v);
    }
    return ok;
}

template <class V> bool read_keys(ILoad* l, std::vector<AnimKey<V>>& keys) {
    std::uint32_t count = 0;
    if (!read_u32(l, count) || !fits(l, count, 4 + kValueBytes<V>)) {
        return false;
    }
    keys.resize(count);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (!read_i32(l, keys[i].t) || !read_value(l, keys[i].v) ||
            (i > 0 && keys[i].t <= keys[i - 1].t)) {
            return false;
        }
    }
    return true;
}

} // namespace

Point3 TransformTrack::PositionAt(TimeValue t) const {
    return sample(position, rest_position, t, lerp);
}

Quat TransformTrack::RotationAt(TimeValue t) const {
    return sample(rotation, rest_rotation, t, slerp);
}

Point3 TransformTrack::ScaleAt(TimeValue t) const {
    return sample(scale, rest_scale, t, lerp);
}

Matrix3 RotationMatrix(const Quat& q) {
    // Rows are the images of the axes.
    Matrix3 m;
    m.SetRow(0, Point3(1 - 2 * (q.y * q.y + q.z * q.z), 2 * (q.x * q.y + q.w * q.z),
                       2 * (q.x * q.z - q.w * q.y)));
    m.SetRow(1, Point3(2 * (q.x * q.y - q.w * q.z), 1 - 2 * (q.x * q.x + q.z * q.z),
                       2 * (q.y * q.z + q.w * q.x)));
    m.SetRow(2, Point3(2 * (q.x * q.z + q.w * q.y), 2 * (q.y * q.z - q.w * q.x),
                       1 - 2 * (q.x * q.x + q.y * q.y)));
    return m;
}

Matrix3 TransformTrack::At(TimeValue t) const {
    Matrix3 m = RotationMatrix(RotationAt(t));
    const Point3 s = ScaleAt(t);
    for (int i = 0; i < 3; ++i) {
        m.SetRow(i, m.GetRow(i) * s[i]);
    }
    m.SetTrans(PositionAt(t));
    return m;
}

void NodeAnimation::Append(const Matrix3& local) {
    if (!links_.empty() && !links_.back().track) {
        links_.back().fixed = local * links_.back().fixed;
    } else {
        links_.push_back({local, nullptr});
    }
}

void NodeAnimation::Append(std::shared_ptr<const TransformTrack> track) {
    if (track) {
        links_.push_back({Matrix3(), std::move(track)});
    }
}

bool NodeAnimation::Animated() const {
    return std::any_of(links_.begin(), links_.end(), [](const Link& l) { return l.track; });
}

Matrix3 NodeAnimation::Evaluate(TimeValue t) const {
    Matrix3 m;
    for (auto it = links_.rbegin(); it != links_.rend(); ++it) {
        m = m * (it->track ? it->track->At(t) : it->fixed);
    }
    return m;
}

bool NodeAnimation::Save(ISave* s) const {
    bool ok = write_u32(s, static_cast<std::uint32_t>(links_.size()));
    for (const Link& link : links_) {
        const std::uint8_t kind = link.track ? 1 : 0;
        ok = ok && write_bytes(s, &kind, 1);
        if (!link.track) {
            for (int r = 0; r < 4; ++r) {
                ok = ok && write_value(s, link.fixed.GetRow(r));
            }
            continue;
        }
        const TransformTrack& k = *link.track;
        ok = ok && write_value(s, k.rest_position) && write_value(s, k.rest_rotation) &&
             write_value(s, k.rest_scale) && write_keys(s, k.position) &&
             write_keys(s, k.rotation) && write_keys(s, k.scale);
    }
    return ok;
}

bool NodeAnimation::Load(ILoad* l) {
    std::uint32_t count = 0;
    // A link takes at least 49 bytes: its kind and a matrix, or its kind,
    // rest values and three key counts.
    if (!read_u32(l, count) || !fits(l, count, 49)) {
        return false;
    }
    std::vector<Link> links(count);
    for (Link& link : links) {
        std::uint8_t kind = 0;
        if (!read_bytes(l, &kind, 1) || kind > 1) {
            return false;
        }
        if (kind == 0) {
            for (int r = 0; r < 4; ++r) {
                Point3 row;
                if (!read_value(l, row)) {
                    return false;
                }
                link.fixed.SetRow(r, row);
            }
            continue;
        }
        auto k = std::make_shared<TransformTrack>();
        if (!read_value(l, k->rest_position) || !read_value(l, k->rest_rotation) ||
            !read_value(l, k->rest_scale) || !read_keys(l, k->position) ||
            !read_keys(l, k->rotation) || !read_keys(l, k->scale)) {
            return false;
        }
        link.track = std::move(k);
    }
    links_ = std::move(links);
    return true;
}

#include "standalone/files/import_animation.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

Point3 point_of(const aiVector3D& v) {
    return {v.x, v.y, v.z};
}

// Rotation keys should be unit quaternions; ones that are clearly not are
// made so, and the ones that are keep their exact values.
Quat quat_of(const aiQuaternion& q) {
    const float n = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    if (std::abs(n - 1.0f) > 1e-3f && n > 0) {
        return {q.x / n, q.y / n, q.z / n, q.w / n};
    }
    return {q.x, q.y, q.z, q.w};
}

bool finite(const Point3& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

bool finite(const Quat& q) {
    return std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z) && std::isfinite(q.w);
}

// Keys in host ticks and in time order; keys that land on one tick keep the
// last, and keys with values that are no numbers are dropped.
template <class In, class V, class Convert>
std::vector<AnimKey<V>> keys_of(const In* in, unsigned count, double scale, Convert convert) {
    std::vector<AnimKey<V>> keys;
    for (unsigned i = 0; in != nullptr && i < count; ++i) {
        const double t = std::round(in[i].mTime * scale);
        const V v = convert(in[i].mValue);
        if (std::isfinite(t) && std::abs(t) < double(INT_MAX) && finite(v)) {
            keys.push_back({static_cast<TimeValue>(t), v});
        }
    }
    std::stable_sort(keys.begin(), keys.end(),
                     [](const AnimKey<V>& a, const AnimKey<V>& b) { return a.t < b.t; });
    std::vector<AnimKey<V>> unique;
    for (const auto& k : keys) {
        if (!unique.empty() && unique.back().t == k.t) {
            unique.back() = k;
        } else {
            unique.push_back(k);
        }
    }
    return unique;
}

} // namespace

ImportedAnimation::ImportedAnimation(const aiScene& scene) {
    if (scene.mNumAnimations == 0 || scene.mAnimations[0] == nullptr) {
        return;
    }
    const aiAnimation& anim = *scene.mAnimations[0];
    if (anim.mTicksPerSecond > 0 && std::isfinite(anim.mTicksPerSecond)) {
        ticks_per_second_ = anim.mTicksPerSecond;
    }
    for (unsigned i = 0; i < anim.mNumChannels; ++i) {
        if (const aiNodeAnim* channel = anim.mChannels[i]) {
            channels_.emplace(channel->mNodeName.C_Str(), channel);
        }
    }
}

std::shared_ptr<const TransformTrack> ImportedAnimation::TrackOf(const aiNode& node) {
    const auto it = channels_.find(node.mName.C_Str());
    if (it == channels_.end()) {
        return nullptr;
    }
    const aiNodeAnim& c = *it->second;
    const double scale = kTicksPerSecond / ticks_per_second_;
    auto track = std::make_shared<TransformTrack>();
    aiVector3D rest_scale, rest_position;
    aiQuaternion rest_rotation;
    node.mTransformation.Decompose(rest_scale, rest_rotation, rest_position);
    if (finite(point_of(rest_position)) && finite(quat_of(rest_rotation)) &&
        finite(point_of(rest_scale))) {
        track->rest_position = point_of(rest_position);
        track->rest_rotation = quat_of(rest_rotation);
        track->rest_scale = point_of(rest_scale);
    }
    track->position =
        keys_of<aiVectorKey, Point3>(c.mPositionKeys, c.mNumPositionKeys, scale, point_of);
    track->rotation = keys_of<aiQuatKey, Quat>(c.mRotationKeys, c.mNumRotationKeys, scale, quat_of);
    track->scale = keys_of<aiVectorKey, Point3>(c.mScalingKeys, c.mNumScalingKeys, scale, point_of);
    return track;
}

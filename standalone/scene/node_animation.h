// A node's transform over time. A node's place in the world is the product
// of its own transform and those of every node above it in the file it came
// from; any of them may be keyed. The chain keeps them from the top down,
// neighbouring fixed transforms multiplied into one.
//
// Keys are in host ticks (4800 a second, 160 a frame at 30 frames a
// second). Between keys, position and scale move linearly and rotation
// along the shortest arc (slerp); before the first key and after the last
// the nearest key holds.
#pragma once

#include "host/ioapi.h"
#include "host/max_types.h"

#include <memory>
#include <vector>

inline constexpr int kTicksPerSecond = 4800;

// A unit quaternion.
struct Quat {
    float x = 0, y = 0, z = 0, w = 1;
    bool operator==(const Quat&) const = default;
};

template <class V> struct AnimKey {
    TimeValue t = 0;
    V v;
    bool operator==(const AnimKey&) const = default;
};

// One node's keyed transform relative to its parent; a part without keys
// stays at its rest value.
struct TransformTrack {
    std::vector<AnimKey<Point3>> position;
    std::vector<AnimKey<Quat>> rotation;
    std::vector<AnimKey<Point3>> scale;
    Point3 rest_position;
    Quat rest_rotation;
    Point3 rest_scale{1, 1, 1};

    Point3 PositionAt(TimeValue t) const;
    Quat RotationAt(TimeValue t) const;
    Point3 ScaleAt(TimeValue t) const;
    // Scale, then rotation, then translation.
    Matrix3 At(TimeValue t) const;
    bool operator==(const TransformTrack&) const = default;
};

Matrix3 RotationMatrix(const Quat& q);

class NodeAnimation {
  public:
    struct Link {
        Matrix3 fixed;                               // when there is no track
        std::shared_ptr<const TransformTrack> track; // shared by the nodes below one keyed node
    };

    // The next transform down the chain.
    void Append(const Matrix3& local);
    void Append(std::shared_ptr<const TransformTrack> track);
    // Whether any link is keyed; a chain without keys is one fixed matrix.
    bool Animated() const;
    Matrix3 Evaluate(TimeValue t) const;
    const std::vector<Link>& Links() const { return links_; }

    // u32 link count; per link u8 kind (0: 12 x f32 matrix rows; 1: a
    // track: rest position 3 x f32, rest rotation 4 x f32 (x, y, z, w),
    // rest scale 3 x f32, then position, rotation and scale keys, each a u32
    // count and per key i32 time and the value's floats).
    bool Save(ISave* s) const;
    // False, leaving the animation as it was, on damaged data (short,
    // non-finite, or keys out of time order).
    bool Load(ILoad* l);

  private:
    std::vector<Link> links_;
};

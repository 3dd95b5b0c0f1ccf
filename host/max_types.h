// Plain value types of the host: ids, time, points and the 4x3 matrix.
#pragma once

#include <cmath>
#include <cstdint>

using DWORD = std::uint32_t;
using WORD = std::uint16_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using UINT = unsigned int;
using BOOL = int;
using MCHAR = wchar_t;
using SClass_ID = ULONG;
using TimeValue = int;
using HWND = void*;

inline constexpr TimeValue TIME_NegInfinity = -0x7FFFFFFF;
inline constexpr TimeValue TIME_PosInfinity = 0x7FFFFFFF;

class Interval {
  public:
    Interval() = default;
    Interval(TimeValue s, TimeValue e) : start_(s), end_(e) {}
    TimeValue Start() const { return start_; }
    TimeValue End() const { return end_; }

  private:
    TimeValue start_ = TIME_NegInfinity;
    TimeValue end_ = TIME_PosInfinity;
};
inline const Interval FOREVER(TIME_NegInfinity, TIME_PosInfinity);
inline const Interval NEVER(TIME_NegInfinity, TIME_NegInfinity);

class Class_ID {
  public:
    constexpr Class_ID() = default;
    constexpr Class_ID(ULONG a, ULONG b) : a_(a), b_(b) {}
    constexpr ULONG PartA() const { return a_; }
    constexpr ULONG PartB() const { return b_; }
    constexpr bool operator==(const Class_ID&) const = default;
    constexpr bool operator<(const Class_ID& o) const { return a_ != o.a_ ? a_ < o.a_ : b_ < o.b_; }

  private:
    ULONG a_ = 0xFFFFFFFF;
    ULONG b_ = 0xFFFFFFFF;
};

// Super-class identifiers the plug-in meets.
inline constexpr SClass_ID GEN_DERIVOB_CLASS_ID = 0x2;
inline constexpr SClass_ID GEOMOBJECT_CLASS_ID = 0x10;
inline constexpr SClass_ID CAMERA_CLASS_ID = 0x20;
inline constexpr SClass_ID LIGHT_CLASS_ID = 0x30;
inline constexpr SClass_ID HELPER_CLASS_ID = 0x60;
inline constexpr SClass_ID OSM_CLASS_ID = 0x810;
inline constexpr SClass_ID MATERIAL_CLASS_ID = 0xC00;

inline constexpr Class_ID triObjectClassID(0x0009, 0);
inline constexpr Class_ID defObjectClassID = triObjectClassID;
inline constexpr Class_ID polyObjectClassID(0x5d21369a, 0x4d1f2f73);
inline constexpr Class_ID derivObjClassID(0x00000001, 0);
inline constexpr Class_ID standardMaterialClassID(0x00000002, 0);

class Point2 {
  public:
    float x = 0, y = 0;
    Point2() = default;
    Point2(float x_, float y_) : x(x_), y(y_) {}
};

class Point3 {
  public:
    float x = 0, y = 0, z = 0;
    Point3() = default;
    Point3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
    Point3 operator+(const Point3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Point3 operator-(const Point3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Point3 operator*(float s) const { return {x * s, y * s, z * s}; }
    float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
    bool operator==(const Point3&) const = default;
    float Length() const { return std::sqrt(x * x + y * y + z * z); }
};

inline Point3 CrossProd(const Point3& a, const Point3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float DotProd(const Point3& a, const Point3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Point3 Normalize(const Point3& p) {
    const float l = p.Length();
    return l > 0 ? p * (1.0f / l) : Point3(0, 0, 0);
}

using UVVert = Point3;

// The host's affine transform: rows 0..2 are the images of the x, y and z
// axes, row 3 the translation; points are row vectors (p' = p * M).
class Matrix3 {
  public:
    Matrix3() { IdentityMatrix(); }
    explicit Matrix3(int /*identity*/) { IdentityMatrix(); }
    void IdentityMatrix() {
        rows_[0] = {1, 0, 0};
        rows_[1] = {0, 1, 0};
        rows_[2] = {0, 0, 1};
        rows_[3] = {0, 0, 0};
    }
    const Point3& GetRow(int i) const { return rows_[i]; }
    void SetRow(int i, const Point3& p) { rows_[i] = p; }
    Point3 GetTrans() const { return rows_[3]; }
    void SetTrans(const Point3& p) { rows_[3] = p; }
    Point3 PointTransform(const Point3& p) const { return VectorTransform(p) + rows_[3]; }
    Point3 VectorTransform(const Point3& p) const {
        return rows_[0] * p.x + rows_[1] * p.y + rows_[2] * p.z;
    }
    // this applied first, then m.
    Matrix3 operator*(const Matrix3& m) const {
        Matrix3 r;
        for (int i = 0; i < 3; ++i) {
            r.rows_[i] = m.VectorTransform(rows_[i]);
        }
        r.rows_[3] = m.PointTransform(rows_[3]);
        return r;
    }

  private:
    Point3 rows_[4];
};

inline Point3 operator*(const Point3& p, const Matrix3& m) {
    return m.PointTransform(p);
}
// The transform that undoes m; a singular m gives the identity.
inline Matrix3 Inverse(const Matrix3& m) {
    const Point3 a = m.GetRow(0), b = m.GetRow(1), c = m.GetRow(2);
    const Point3 bc = CrossProd(b, c), ca = CrossProd(c, a), ab = CrossProd(a, b);
    const float det = DotProd(a, bc);
    Matrix3 r;
    if (det == 0.0f || !std::isfinite(det)) {
        return r;
    }
    const float k = 1.0f / det;
    // The inverse of the 3x3 part is the transposed cofactor matrix over det.
    r.SetRow(0, Point3(bc.x, ca.x, ab.x) * k);
    r.SetRow(1, Point3(bc.y, ca.y, ab.y) * k);
    r.SetRow(2, Point3(bc.z, ca.z, ab.z) * k);
    r.SetTrans(r.VectorTransform(m.GetTrans()) * -1.0f);
    return r;
}

inline Point3 VectorTransform(const Matrix3& m, const Point3& p) {
    return m.VectorTransform(p);
}

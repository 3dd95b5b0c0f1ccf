// Bake elements: the kinds of image a render-to-texture produces for an
// object (complete map, diffuse, normals, ...), each a host class of super
// class BAKE_ELEMENT_CLASS_ID with parameters of its own.
//
// Parameters are addressed by index 0 .. GetNParams() - 1. Older elements
// expose flags only through the plain integer accessors; newer ones offer
// typed values through the MaxBakeElement8 interface and a background colour
// through MaxBakeElement10, both reached with GetInterface.
#pragma once

#include "host/animatable.h"
#include "host/base_interface.h"

#include <string>

inline constexpr SClass_ID BAKE_ELEMENT_CLASS_ID = 0x1151;

// The host's parameter type numbers; stored in presets, so they never change.
using ParamType2 = int;
inline constexpr ParamType2 TYPE_FLOAT = 0;
inline constexpr ParamType2 TYPE_INT = 1;
inline constexpr ParamType2 TYPE_BOOL = 4;
inline constexpr ParamType2 TYPE_STRING = 8;
inline constexpr ParamType2 TYPE_RGBA_BV = 0x2017; // a colour, held by value
inline constexpr ParamType2 TYPE_VOID = 255;

class AColor {
  public:
    float r = 0, g = 0, b = 0, a = 0;
    AColor() = default;
    AColor(float r_, float g_, float b_, float a_ = 1.0f) : r(r_), g(g_), b(b_), a(a_) {}
    bool operator==(const AColor&) const = default;
};

// One typed value. Only the member that `type` names is meaningful; a colour
// keeps red, green and blue in x, y and z of `p`.
struct FPValue {
    ParamType2 type = TYPE_VOID;
    float f = 0;
    int i = 0;
    Point3 p;
    std::wstring s;

    FPValue() = default;
    static FPValue Float(float v) {
        FPValue r;
        r.type = TYPE_FLOAT;
        r.f = v;
        return r;
    }
    static FPValue Int(int v) {
        FPValue r;
        r.type = TYPE_INT;
        r.i = v;
        return r;
    }
    static FPValue Bool(bool v) {
        FPValue r;
        r.type = TYPE_BOOL;
        r.i = v ? 1 : 0;
        return r;
    }
    static FPValue Colour(const Point3& c) {
        FPValue r;
        r.type = TYPE_RGBA_BV;
        r.p = c;
        return r;
    }
    static FPValue String(std::wstring v) {
        FPValue r;
        r.type = TYPE_STRING;
        r.s = std::move(v);
        return r;
    }
};

inline constexpr Interface_ID MAXBAKEELEMENT8_INTERFACE(0x5d2f7ac1, 0x37c472b0);
inline constexpr Interface_ID MAXBAKEELEMENT10_INTERFACE(0x2b46ef7c, 0x66c57c43);

class MaxBakeElement : public ReferenceTarget {
  public:
    SClass_ID SuperClassID() override { return BAKE_ELEMENT_CLASS_ID; }
    // The element's extra interfaces, or nullptr when it has none of that id.
    virtual BaseInterface* GetInterface(Interface_ID /*id*/) { return nullptr; }

    virtual void SetEnabled(BOOL on) = 0;
    virtual BOOL IsEnabled() = 0;
    virtual void SetElementName(const MCHAR* name) = 0;
    virtual const MCHAR* ElementName() = 0;
    virtual void SetFileName(const MCHAR* name) = 0;
    virtual const MCHAR* FileName() = 0;
    // The full path the render writes the element's image to; its extension
    // chooses the image format.
    virtual void SetFileType(const MCHAR* path) = 0;
    virtual const MCHAR* FileType() = 0;
    virtual void SetOutputSz(int w, int h) = 0;
    virtual void GetOutputSz(int& w, int& h) = 0;

    virtual int GetNParams() = 0;
    virtual const MCHAR* GetParamName(int i) = 0;
    // The plain integer value of parameter i; -1 when it is not one of the
    // element's integer parameters.
    virtual int GetParamValue(int i) = 0;
    virtual void SetParamValue(int i, int value) = 0;
};

// Typed parameter values. A minimum or maximum of TYPE_VOID means the
// parameter has no limit on that side.
class MaxBakeElement8 : public BaseInterface {
  public:
    virtual FPValue GetParamFPValue(int i) = 0;
    virtual void SetParamFPValue(int i, const FPValue& value) = 0;
    virtual FPValue GetParamFPValueMin(int i) = 0;
    virtual FPValue GetParamFPValueMax(int i) = 0;
};

class MaxBakeElement10 : public MaxBakeElement8 {
  public:
    virtual AColor GetBackgroundColor() = 0;
    virtual void SetBackgroundColor(const AColor& colour) = 0;
};

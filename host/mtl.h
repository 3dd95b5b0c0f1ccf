// Materials and texture maps: what a node's surface is made of. A material
// holds colours and sub-texmaps in named slots; texture maps may hold
// sub-texmaps of their own. Both are reference-counted: a material may be
// shared by many nodes, a map by many materials.
#pragma once

#include "host/animatable.h"

#include <string>

inline constexpr SClass_ID TEXMAP_CLASS_ID = 0xC10;

inline constexpr Class_ID bitmapTexClassID(0x240, 0);
inline constexpr Class_ID doubleSidedClassID(0x210, 0);
// The shell material: sub-material 0 is what the object wore before a bake,
// 1 the baked material; parameter block 0 chooses which one viewports
// (parameter 0) and renders (parameter 1) show.
inline constexpr Class_ID bakeShellClassID(0x255, 0);
inline constexpr Class_ID normalBumpClassID(0x243E22C6, 0x63F6A014);
inline constexpr Class_ID multiMtlClassID(0x200, 0);

// The standard material's map slots, in the host's order.
inline constexpr int ID_AM = 0;  // ambient colour
inline constexpr int ID_DI = 1;  // diffuse colour
inline constexpr int ID_SP = 2;  // specular colour
inline constexpr int ID_SS = 3;  // specular level
inline constexpr int ID_SH = 4;  // glossiness
inline constexpr int ID_SI = 5;  // self-illumination
inline constexpr int ID_OP = 6;  // opacity
inline constexpr int ID_FI = 7;  // filter colour
inline constexpr int ID_BU = 8;  // bump
inline constexpr int ID_RL = 9;  // reflection
inline constexpr int ID_RR = 10; // refraction
inline constexpr int ID_DP = 11; // displacement
inline constexpr int STD_NUM_MAPS = 12;

class Color {
  public:
    float r = 0, g = 0, b = 0;
    Color() = default;
    Color(float r_, float g_, float b_) : r(r_), g(g_), b(b_) {}
    bool operator==(const Color&) const = default;
};

// Material flag: the material's maps are shown in viewports.
inline constexpr ULONG MTL_TEX_DISPLAY_ENABLED = 1u << 17;

class Texmap;

// What materials and maps have in common: a name and sub-texmap slots. A
// slot holds a reference to its map; setting a slot drops the map it held.
class MtlBase : public ReferenceTarget {
  public:
    const std::wstring& GetName() const { return name_; }
    void SetName(const std::wstring& name) { name_ = name; }

    virtual int NumSubTexmaps() { return 0; }
    virtual Texmap* GetSubTexmap(int /*i*/) { return nullptr; }
    virtual void SetSubTexmap(int /*i*/, Texmap* /*m*/) {}
    virtual std::wstring GetSubTexmapSlotName(int /*i*/) { return L""; }

    void SetMtlFlag(ULONG mask, BOOL val = 1) {
        flags_ = val != 0 ? flags_ | mask : flags_ & ~mask;
    }
    int TestMtlFlag(ULONG mask) const { return (flags_ & mask) != 0 ? 1 : 0; }
    ULONG GetMtlFlags() const { return flags_; }

  private:
    std::wstring name_;
    ULONG flags_ = 0;
};

class Texmap : public MtlBase {
  public:
    SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
    // The map channel whose coordinates place the map on the surface.
    virtual int GetMapChannel() { return 1; }
};

// A map that shows one image file.
class BitmapTex : public Texmap {
  public:
    virtual void SetMapName(const MCHAR* name) = 0;
    virtual const MCHAR* GetMapName() = 0;
    virtual void SetMapChannel(int channel) = 0;
};

class Mtl : public MtlBase {
  public:
    SClass_ID SuperClassID() override { return MATERIAL_CLASS_ID; }
    virtual Color GetDiffuse(int mtlNum = 0, BOOL backFace = 0) = 0;
    virtual void SetDiffuse(Color c, TimeValue t) = 0;

    // Materials made of other materials (shells, double-sided materials). A
    // slot holds a reference to its material; setting it drops the old one.
    virtual int NumSubMtls() { return 0; }
    virtual Mtl* GetSubMtl(int /*i*/) { return nullptr; }
    virtual void SetSubMtl(int /*i*/, Mtl* /*m*/) {}
    virtual std::wstring GetSubMtlSlotName(int /*i*/) { return L""; }
};

// The multi/sub-object material: face i is shaded by sub-material
// (material id of the face) modulo the number of sub-materials.
class MultiMtl : public Mtl {
  public:
    virtual void SetNumSubMtls(int n) = 0;
};

// The host's standard material.
class StdMat : public Mtl {
  public:
    // 0 (clear) .. 1 (opaque).
    virtual float GetOpacity(TimeValue t) = 0;
    virtual void SetOpacity(float v, TimeValue t) = 0;
    virtual Color GetSelfIllumColor(TimeValue t) = 0;
    virtual void SetSelfIllumColor(Color c, TimeValue t) = 0;
    // How far the surface lights itself with its own diffuse colour, 0 .. 1.
    virtual float GetSelfIllum(TimeValue t) = 0;
    virtual void SetSelfIllum(float v, TimeValue t) = 0;
};

// New objects of the host's classes, with nothing referring to them yet.
StdMat* NewDefaultStdMat();
BitmapTex* NewDefaultBitmapTex();
MultiMtl* NewDefaultMultiMtl();

#include "standalone/render/bake_elements.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

FPValue none() {
    return FPValue{};
}

BakeParamDef flag(const MCHAR* name, bool value) {
    return {name, FPValue::Bool(value), none(), none()};
}

BakeParamDef legacy_flag(const MCHAR* name, bool value) {
    return {name, FPValue::Bool(value), none(), none(), true};
}

// Why each class has the parameters it has: every one of them changes what
// the renderer writes, and between them they cover each way a host element
// can expose a value (legacy integer, typed with and without limits, a type
// the plug-in cannot carry, a background colour).
const std::vector<BakeElementClassDef>& class_defs() {
    static const std::vector<BakeElementClassDef> defs = {
        // Kept first and private, as hosts list a class of their own there:
        // the plug-in never offers the entry at index 0. It has no typed
        // interface, so its bias is invisible to the plug-in.
        {L"ShadowsMap",
         Class_ID(0x6FB7F0E5, 0),
         false,
         false,
         false,
         {{L"Shadow Bias", FPValue::Float(0.001f), none(), none()}}},
        // The lit surface: the scene's lights (a default light when it has
        // none) on the material's diffuse colour, plus self-illumination.
        {L"CompleteMap",
         Class_ID(0x4C1E6D2E, 0),
         true,
         true,
         true,
         {flag(L"Shadows", true),
          {L"Ambient", FPValue::Colour(Point3(0.05f, 0.05f, 0.05f)), none(), none()}}},
        {L"DiffuseMap",
         Class_ID(0x4C1E6D2F, 0),
         true,
         true,
         true,
         {flag(L"Lighting", false), flag(L"Shadows", false)}},
        // Normal Space: 0 tangent, 1 object, 2 world. Flip Green writes the
        // green channel pointing down (the convention of some engines).
        {L"NormalsMap",
         Class_ID(0x4C1E6D30, 0),
         true,
         true,
         true,
         {flag(L"Output into Normal Bump", false),
          {L"Normal Space", FPValue::Int(0), FPValue::Int(0), FPValue::Int(2)},
          flag(L"Flip Green", false)}},
        // Alpha comes from the material's map slot named by Source Slot (a
        // text, which no preset carries); Invert is an older flag, kept
        // behind the plain integer accessors.
        {L"AlphaMap",
         Class_ID(0x4C1E6D31, 0),
         true,
         true,
         true,
         {legacy_flag(L"Invert", false),
          {L"Source Slot", FPValue::String(L"Opacity"), none(), none()}}},
        // Heights between Min Height (black) and Max Height (white) in world
        // units along the surface normal. The maximum's lower limit is an
        // integer, a quirk of the class: it counts as having no range.
        {L"HeightMap",
         Class_ID(0x4C1E6D32, 0),
         true,
         true,
         true,
         {{L"Min Height", FPValue::Float(-1.0f), FPValue::Float(-1e6f), FPValue::Float(1e6f)},
          {L"Max Height", FPValue::Float(1.0f), FPValue::Int(-1000000), FPValue::Float(1e6f)}}},
        // Samples rays per texel over a cone of Spread (0 a line, 1 the
        // hemisphere) up to Max Distance (0: unlimited); Seed varies the
        // pattern; Bright and Dark are the open and occluded colours.
        {L"AmbientOcclusion",
         Class_ID(0x4C1E6D33, 0),
         true,
         true,
         true,
         {{L"Samples", FPValue::Int(16), FPValue::Int(1), FPValue::Int(1024)},
          {L"Spread", FPValue::Float(0.8f), FPValue::Float(0.0f), FPValue::Float(1.0f)},
          {L"Max Distance", FPValue::Float(0.0f), FPValue::Float(0.0f), FPValue::Float(1e9f)},
          {L"Seed", FPValue::Int(0), none(), none()},
          {L"Bright", FPValue::Colour(Point3(1, 1, 1)), none(), none()},
          {L"Dark", FPValue::Colour(Point3(0, 0, 0)), none(), none()}}},
    };
    return defs;
}

class BakeElementDesc : public ClassDesc2 {
  public:
    explicit BakeElementDesc(const BakeElementClassDef& def) : def_(def) {}
    int IsPublic() override { return def_.isPublic ? 1 : 0; }
    void* Create(BOOL) override { return new StandaloneBakeElement(def_); }
    const MCHAR* ClassName() override { return def_.className; }
    SClass_ID SuperClassID() override { return BAKE_ELEMENT_CLASS_ID; }
    Class_ID ClassID() override { return def_.classID; }
    const MCHAR* Category() override { return L""; }
    const MCHAR* InternalName() override { return def_.className; }

  private:
    const BakeElementClassDef& def_;
};

// A value of another type than the parameter's is refused, as the host's
// parameter blocks do; limits clamp, and a NaN never gets in.
bool accept(const BakeParamDef& def, const FPValue& value, FPValue& out) {
    const ParamType2 type = def.value.type;
    if (value.type != type) {
        return false;
    }
    FPValue v = value;
    if (type == TYPE_FLOAT) {
        if (std::isnan(v.f)) {
            return false;
        }
        if (def.min.type == TYPE_FLOAT) {
            v.f = std::max(v.f, def.min.f);
        }
        if (def.max.type == TYPE_FLOAT) {
            v.f = std::min(v.f, def.max.f);
        }
    } else if (type == TYPE_INT) {
        if (def.min.type == TYPE_INT) {
            v.i = std::max(v.i, def.min.i);
        }
        if (def.max.type == TYPE_INT) {
            v.i = std::min(v.i, def.max.i);
        }
    } else if (type == TYPE_BOOL) {
        v.i = v.i != 0 ? 1 : 0;
    } else if (type == TYPE_RGBA_BV) {
        if (std::isnan(v.p.x) || std::isnan(v.p.y) || std::isnan(v.p.z)) {
            return false;
        }
    }
    out = v;
    return true;
}

} // namespace

StandaloneBakeElement::StandaloneBakeElement(const BakeElementClassDef& def)
    : def_(def), element_name_(def.className) {
    for (const BakeParamDef& p : def_.params) {
        values_.push_back(p.value);
    }
}

ReferenceTarget* StandaloneBakeElement::Clone(RemapDir&) {
    return new StandaloneBakeElement(*this);
}

BaseInterface* StandaloneBakeElement::GetInterface(Interface_ID id) {
    if (id == MAXBAKEELEMENT8_INTERFACE && def_.typedValues) {
        return static_cast<MaxBakeElement8*>(this);
    }
    if (id == MAXBAKEELEMENT10_INTERFACE && def_.hasBackground) {
        return static_cast<MaxBakeElement10*>(this);
    }
    return nullptr;
}

void StandaloneBakeElement::SetOutputSz(int w, int h) {
    width_ = w;
    height_ = h;
}

void StandaloneBakeElement::GetOutputSz(int& w, int& h) {
    w = width_;
    h = height_;
}

const MCHAR* StandaloneBakeElement::GetParamName(int i) {
    return valid(i) ? def_.params[static_cast<std::size_t>(i)].name : nullptr;
}

int StandaloneBakeElement::GetParamValue(int i) {
    if (!valid(i) || !def_.params[static_cast<std::size_t>(i)].legacy) {
        return -1;
    }
    return values_[static_cast<std::size_t>(i)].i;
}

void StandaloneBakeElement::SetParamValue(int i, int value) {
    if (valid(i) && def_.params[static_cast<std::size_t>(i)].legacy) {
        values_[static_cast<std::size_t>(i)].i = value != 0 ? 1 : 0;
    }
}

FPValue StandaloneBakeElement::GetParamFPValue(int i) {
    return valid(i) ? values_[static_cast<std::size_t>(i)] : FPValue{};
}

void StandaloneBakeElement::SetParamFPValue(int i, const FPValue& value) {
    if (valid(i)) {
        const std::size_t k = static_cast<std::size_t>(i);
        accept(def_.params[k], value, values_[k]);
    }
}

FPValue StandaloneBakeElement::GetParamFPValueMin(int i) {
    return valid(i) ? def_.params[static_cast<std::size_t>(i)].min : FPValue{};
}

FPValue StandaloneBakeElement::GetParamFPValueMax(int i) {
    return valid(i) ? def_.params[static_cast<std::size_t>(i)].max : FPValue{};
}

FPValue StandaloneBakeElement::Value(const std::wstring& name) const {
    for (std::size_t k = 0; k < values_.size(); ++k) {
        if (name == def_.params[k].name) {
            return values_[k];
        }
    }
    return FPValue{};
}

const std::vector<ClassDesc*>& BakeElementClassDescs() {
    static const std::vector<std::unique_ptr<BakeElementDesc>> owned = [] {
        std::vector<std::unique_ptr<BakeElementDesc>> v;
        for (const BakeElementClassDef& def : class_defs()) {
            v.push_back(std::make_unique<BakeElementDesc>(def));
        }
        return v;
    }();
    static const std::vector<ClassDesc*> descs = [] {
        std::vector<ClassDesc*> v;
        for (const auto& d : owned) {
            v.push_back(d.get());
        }
        return v;
    }();
    return descs;
}

// The host's bake element classes: what a render-to-texture can produce for
// an object. Each class is a table of typed parameters with defaults and
// limits; the renderer reads an element's values by parameter name.
#pragma once

#include "host/bake_element.h"
#include "host/class_desc.h"

#include <string>
#include <vector>

struct BakeParamDef {
    const MCHAR* name;
    FPValue value; // the default; its type is the parameter's type
    FPValue min;   // TYPE_VOID: no lower limit
    FPValue max;   // TYPE_VOID: no upper limit
    // Older elements keep some flags behind the plain integer accessors only.
    bool legacy = false;
};

struct BakeElementClassDef {
    const MCHAR* className;
    Class_ID classID;
    bool isPublic;
    bool typedValues;   // offers MaxBakeElement8
    bool hasBackground; // offers MaxBakeElement10
    std::vector<BakeParamDef> params;
};

// One live element of a class: its output (file, type, size, enabled) and
// its current parameter values.
class StandaloneBakeElement : public MaxBakeElement, public MaxBakeElement10 {
  public:
    explicit StandaloneBakeElement(const BakeElementClassDef& def);

    const BakeElementClassDef& definition() const { return def_; }
    // The current value of the parameter of that name, or a TYPE_VOID value
    // when the class has none. The renderer reads its settings through this.
    FPValue Value(const std::wstring& name) const;
    AColor Background() const { return background_; }

    // Animatable / ReferenceTarget.
    Class_ID ClassID() override { return def_.classID; }
    ReferenceTarget* Clone(RemapDir& remap) override;

    // MaxBakeElement.
    BaseInterface* GetInterface(Interface_ID id) override;
    void SetEnabled(BOOL on) override { enabled_ = on != 0; }
    BOOL IsEnabled() override { return enabled_ ? 1 : 0; }
    void SetElementName(const MCHAR* name) override { element_name_ = name ? name : L""; }
    const MCHAR* ElementName() override { return element_name_.c_str(); }
    void SetFileName(const MCHAR* name) override { file_name_ = name ? name : L""; }
    const MCHAR* FileName() override { return file_name_.c_str(); }
    void SetFileType(const MCHAR* path) override { file_type_ = path ? path : L""; }
    const MCHAR* FileType() override { return file_type_.c_str(); }
    void SetOutputSz(int w, int h) override;
    void GetOutputSz(int& w, int& h) override;
    int GetNParams() override { return static_cast<int>(values_.size()); }
    const MCHAR* GetParamName(int i) override;
    int GetParamValue(int i) override;
    void SetParamValue(int i, int value) override;

    // MaxBakeElement8 / MaxBakeElement10.
    FPValue GetParamFPValue(int i) override;
    void SetParamFPValue(int i, const FPValue& value) override;
    FPValue GetParamFPValueMin(int i) override;
    FPValue GetParamFPValueMax(int i) override;
    AColor GetBackgroundColor() override { return background_; }
    void SetBackgroundColor(const AColor& colour) override { background_ = colour; }

  private:
    bool valid(int i) const { return i >= 0 && i < static_cast<int>(values_.size()); }

    const BakeElementClassDef& def_;
    std::vector<FPValue> values_;
    bool enabled_ = true;
    std::wstring element_name_;
    std::wstring file_name_;
    std::wstring file_type_;
    int width_ = 256, height_ = 256;
    AColor background_{0, 0, 0, 0};
};

// The class descriptors of every bake element class, in the order of the
// host's class directory. They live as long as the process.
const std::vector<ClassDesc*>& BakeElementClassDescs();

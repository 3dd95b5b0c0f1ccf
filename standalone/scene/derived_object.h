// Derived objects of the standalone host: an object reference plus a stack
// of modifiers, evaluated on demand.
#pragma once

#include "host/object.h"

#include <vector>

class DerivedObject : public IDerivedObject {
  public:
    explicit DerivedObject(Object* obj);
    ~DerivedObject() override;

    int NumModifiers() override { return static_cast<int>(stack_.size()); }
    Modifier* GetModifier(int index) override;
    ModContext* GetModContext(int index) override;
    void AddModifier(Modifier* mod, ModContext* mc = nullptr, int before = 0) override;
    void DeleteModifier(int index = 0) override;
    Object* GetObjRef() override { return objref_; }
    void ReferenceObject(Object* obj) override;
    Object* FindBaseObject() override;
    int CanConvertToType(Class_ID obtype) override;
    Object* ConvertToType(TimeValue t, Class_ID obtype) override;
    // Runs the pipeline: a copy of the evaluated object beneath, then every
    // modifier from the bottom (highest index) to the top (index 0). The
    // result stays owned by this derived object until the next evaluation.
    ObjectState Eval(TimeValue t) override;
    ReferenceTarget* Clone(RemapDir& remap) override;

  private:
    struct Entry {
        Modifier* mod;
        ModContext mc;
    };
    void SetResult(Object* obj);

    Object* objref_ = nullptr;
    std::vector<Entry> stack_;
    Object* result_ = nullptr;
};

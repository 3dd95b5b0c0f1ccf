#include "standalone/scene/derived_object.h"

#include <algorithm>

DerivedObject::DerivedObject(Object* obj) {
    ReferenceObject(obj);
}

DerivedObject::~DerivedObject() {
    SetResult(nullptr);
    for (Entry& e : stack_) {
        e.mod->DecRef();
    }
    if (objref_ != nullptr) {
        objref_->DecRef();
    }
}

Modifier* DerivedObject::GetModifier(int index) {
    return index >= 0 && index < NumModifiers() ? stack_[static_cast<std::size_t>(index)].mod
                                                : nullptr;
}

ModContext* DerivedObject::GetModContext(int index) {
    return index >= 0 && index < NumModifiers() ? &stack_[static_cast<std::size_t>(index)].mc
                                                : nullptr;
}

void DerivedObject::AddModifier(Modifier* mod, ModContext* mc, int before) {
    if (mod == nullptr) {
        return;
    }
    mod->IncRef();
    before = std::clamp(before, 0, NumModifiers());
    stack_.insert(stack_.begin() + before, Entry{mod, mc != nullptr ? *mc : ModContext{}});
}

void DerivedObject::DeleteModifier(int index) {
    if (index < 0 || index >= NumModifiers()) {
        return;
    }
    Modifier* mod = stack_[static_cast<std::size_t>(index)].mod;
    stack_.erase(stack_.begin() + index);
    mod->DecRef();
}

void DerivedObject::ReferenceObject(Object* obj) {
    if (obj != nullptr) {
        obj->IncRef();
    }
    if (objref_ != nullptr) {
        objref_->DecRef();
    }
    objref_ = obj;
}

Object* DerivedObject::FindBaseObject() {
    return objref_ != nullptr ? objref_->FindBaseObject() : nullptr;
}

int DerivedObject::CanConvertToType(Class_ID obtype) {
    return objref_ != nullptr && objref_->CanConvertToType(obtype);
}

Object* DerivedObject::ConvertToType(TimeValue t, Class_ID obtype) {
    Object* evaluated = Eval(t).obj;
    if (evaluated == nullptr) {
        return nullptr;
    }
    Object* converted = evaluated->ConvertToType(t, obtype);
    if (converted == evaluated) {
        // The caller owns what it gets; hand out a copy of the cached result.
        struct NoRemap : RemapDir {
        } remap;
        return static_cast<Object*>(evaluated->Clone(remap));
    }
    return converted;
}

void DerivedObject::SetResult(Object* obj) {
    if (obj != nullptr) {
        obj->IncRef();
    }
    if (result_ != nullptr) {
        result_->DecRef();
    }
    result_ = obj;
}

ObjectState DerivedObject::Eval(TimeValue t) {
    if (objref_ == nullptr) {
        return ObjectState();
    }
    Object* below = objref_->Eval(t).obj;
    if (stack_.empty() || below == nullptr) {
        return ObjectState(below);
    }
    struct NoRemap : RemapDir {
    } remap;
    ObjectState os(static_cast<Object*>(below->Clone(remap)));
    SetResult(os.obj);
    for (auto it = stack_.rbegin(); it != stack_.rend(); ++it) {
        it->mod->ModifyObject(t, it->mc, &os, nullptr);
        if (os.obj != result_) {
            SetResult(os.obj);
        }
    }
    return os;
}

ReferenceTarget* DerivedObject::Clone(RemapDir& remap) {
    auto* copy = new DerivedObject(objref_ != nullptr ? static_cast<Object*>(objref_->Clone(remap))
                                                      : nullptr);
    for (auto it = stack_.rbegin(); it != stack_.rend(); ++it) {
        copy->AddModifier(static_cast<Modifier*>(it->mod->Clone(remap)), &it->mc, 0);
    }
    return copy;
}

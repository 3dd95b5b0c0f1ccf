// The base of every scene entity: identity (super class and class id),
// deletion, and the reference counting that keeps an object alive while a
// node, a derived object or a pipeline still points at it.
#pragma once

#include "host/ioapi.h"
#include "host/max_types.h"

#include <vector>

class IParamBlock2;
class Interface;

using PartID = DWORD;
using RefMessage = int;
inline constexpr PartID PART_TEXMAP = 1u << 2;
inline constexpr RefMessage REFMSG_CHANGE = 1;
inline constexpr RefMessage REFMSG_BEGIN_EDIT = 0x00000090;
inline constexpr RefMessage REFMSG_END_EDIT = 0x00000091;
inline constexpr RefMessage REFMSG_MOD_DISPLAY_ON = 0x00000098;
inline constexpr RefMessage REFMSG_MOD_DISPLAY_OFF = 0x00000099;

class RemapDir {
  public:
    virtual ~RemapDir() = default;
};

class Animatable {
  public:
    virtual ~Animatable() = default;
    virtual SClass_ID SuperClassID() = 0;
    virtual Class_ID ClassID() = 0;
    virtual void DeleteThis() { delete this; }
    virtual bool IsSubClassOf(Class_ID classID) { return classID == ClassID(); }
    virtual int NumParamBlocks() { return 0; }
    virtual IParamBlock2* GetParamBlock(int /*i*/) { return nullptr; }
    // The object's panel opens in the command panel (prev: the object whose
    // panel was open before) and closes again (next: the one that follows).
    virtual void BeginEditParams(Interface* /*ip*/, ULONG /*flags*/, Animatable* /*prev*/) {}
    virtual void EndEditParams(Interface* /*ip*/, ULONG /*flags*/, Animatable* /*next*/) {}

    // Animatable flags: bit 0x40 marks an object whose parameters are being
    // edited in the command panel.
    void SetAFlag(DWORD mask) { aflag_ |= mask; }
    void ClearAFlag(DWORD mask) { aflag_ &= ~mask; }
    bool TestAFlag(DWORD mask) const { return (aflag_ & mask) != 0; }

  private:
    DWORD aflag_ = 0;
};

inline constexpr DWORD A_MOD_BEING_EDITED = 0x40;

class ReferenceTarget : public Animatable {
  public:
    ReferenceTarget() = default;
    // A copy is a new object: nothing refers to it yet.
    ReferenceTarget(const ReferenceTarget& other) : Animatable(other) {}
    ReferenceTarget& operator=(const ReferenceTarget& other) {
        Animatable::operator=(other);
        return *this;
    }

    // Dependents (nodes, derived objects) call these as they take and drop
    // the object; the last drop deletes it.
    void IncRef() { ++refs_; }
    void DecRef() {
        if (--refs_ <= 0) {
            MaybeAutoDelete();
        }
    }
    int RefCount() const { return refs_; }
    void MaybeAutoDelete() {
        if (refs_ > 0) {
            return;
        }
        // Deleting an object drops its references, which may delete more. A
        // chain of them (shells inside shells) is deleted one after another
        // here, not one inside another's destructor, however long it is.
        thread_local std::vector<ReferenceTarget*>* pending = nullptr;
        if (pending != nullptr) {
            pending->push_back(this);
            return;
        }
        std::vector<ReferenceTarget*> queue{this};
        pending = &queue;
        while (!queue.empty()) {
            ReferenceTarget* next = queue.back();
            queue.pop_back();
            next->DeleteThis();
        }
        pending = nullptr;
    }
    virtual ReferenceTarget* Clone(RemapDir& remap) = 0;
    // The object's own data inside its chunk of the scene file.
    virtual IOResult Save(ISave* /*isave*/) { return IO_OK; }
    virtual IOResult Load(ILoad* /*iload*/) { return IO_OK; }
    // The host re-evaluates the pipeline on demand, so a change needs no
    // bookkeeping beyond this hook.
    virtual void NotifyDependents(Interval /*changeInt*/, PartID /*partID*/,
                                  RefMessage /*message*/) {}

  private:
    int refs_ = 0;
};

// Points `slot` at `target`: the new reference is taken before the old one
// is dropped, so setting a slot to what it holds never deletes it.
template <class T> void ReplaceReference(T*& slot, T* target) {
    if (target != nullptr) {
        target->IncRef();
    }
    if (slot != nullptr) {
        slot->DecRef();
    }
    slot = target;
}

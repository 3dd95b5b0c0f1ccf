// Class descriptors: how the host learns a plug-in's classes and creates
// their instances.
#pragma once

#include "host/max_types.h"
#include "host/windows.h"

#include <vector>

class ClassDesc {
  public:
    virtual ~ClassDesc() = default;
    virtual int IsPublic() = 0;
    virtual void* Create(BOOL loading = 0) = 0;
    virtual const MCHAR* ClassName() = 0;
    virtual SClass_ID SuperClassID() = 0;
    virtual Class_ID ClassID() = 0;
    virtual const MCHAR* Category() = 0;
};

class Animatable;
class Interface;
class ParamBlockDesc2;

class ClassDesc2 : public ClassDesc {
  public:
    virtual const MCHAR* InternalName() = 0;
    // The module whose resources the class's rollouts come from.
    virtual HINSTANCE HInstance() { return nullptr; }

    int NumParamBlockDescs() const { return static_cast<int>(pbDescs_.size()); }
    ParamBlockDesc2* GetParamBlockDesc(int i) {
        return i >= 0 && i < NumParamBlockDescs() ? pbDescs_[static_cast<std::size_t>(i)] : nullptr;
    }
    void AddParamBlockDesc(ParamBlockDesc2* pbd) { pbDescs_.push_back(pbd); }
    // Open and close the rollouts of the class's automatic parameter-block
    // panels for obj; the host provides them.
    void BeginEditParams(Interface* ip, Animatable* obj, ULONG flags, Animatable* prev);
    void EndEditParams(Interface* ip, Animatable* obj, ULONG flags, Animatable* next);

  private:
    std::vector<ParamBlockDesc2*> pbDescs_;
};

class ClassEntry {
  public:
    virtual ~ClassEntry() = default;
    virtual const MCHAR* ClassName() = 0;
    virtual Class_ID ClassID() = 0;
    virtual SClass_ID SuperClassID() = 0;
    // The class's descriptor; nullptr for a class the host knows only by name.
    virtual ClassDesc* CD() = 0;
};

// Which classes a list counts: the ones offered to users, the private ones
// the host keeps for itself, or both.
inline constexpr int ACC_PUBLIC = 1;
inline constexpr int ACC_PRIVATE = 2;
inline constexpr int ACC_ALL = ACC_PUBLIC | ACC_PRIVATE;

// The classes of one super class, in the host's directory order.
class SubClassList {
  public:
    int Count(int accType) const {
        int n = 0;
        for (const Item& item : items_) {
            n += (accType & (item.isPublic ? ACC_PUBLIC : ACC_PRIVATE)) != 0 ? 1 : 0;
        }
        return n;
    }
    // Entry i of all classes, public and private alike.
    ClassEntry& operator[](int i) { return *items_[static_cast<std::size_t>(i)].entry; }
    void Add(ClassEntry* entry, bool isPublic) { items_.push_back({entry, isPublic}); }
    void Clear() { items_.clear(); }

  private:
    struct Item {
        ClassEntry* entry;
        bool isPublic;
    };
    std::vector<Item> items_;
};

class ClassDirectory {
  public:
    virtual ~ClassDirectory() = default;
    // nullptr when no class of that identity is known.
    virtual ClassEntry* FindClassEntry(SClass_ID superClassID, Class_ID classID) = 0;
    // Every class of the super class; nullptr when there are none.
    virtual SubClassList* GetClassList(SClass_ID superClassID) = 0;
};

// Class descriptors: how the host learns a plug-in's classes and creates
// their instances.
#pragma once

#include "host/max_types.h"

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

class ClassDesc2 : public ClassDesc {
  public:
    virtual const MCHAR* InternalName() = 0;
};

class ClassEntry {
  public:
    virtual ~ClassEntry() = default;
    virtual const MCHAR* ClassName() = 0;
    virtual Class_ID ClassID() = 0;
    virtual SClass_ID SuperClassID() = 0;
};

class ClassDirectory {
  public:
    virtual ~ClassDirectory() = default;
    // nullptr when no class of that identity is known.
    virtual ClassEntry* FindClassEntry(SClass_ID superClassID, Class_ID classID) = 0;
};

// Scene objects and the modifier pipeline: objects that may convert to the
// triangle-mesh class, the triangle-mesh and polygon-mesh objects themselves,
// derived objects with their modifier stacks, and the view through which an
// object hands out its render mesh.
#pragma once

#include "host/animatable.h"
#include "host/mesh.h"
#include "host/mnmesh.h"

class INode;
class IDerivedObject;
class Object;

class ObjectState {
  public:
    ObjectState() = default;
    explicit ObjectState(Object* o) : obj(o) {}
    Object* obj = nullptr;
};

// A viewing transform; objects may tailor their render mesh to it.
class View {
  public:
    virtual ~View() = default;
    virtual Point2 ViewToScreen(Point3 p) = 0;
    virtual int CheckForRenderAbort() = 0;
    virtual int GetViewID() = 0;
    Matrix3 worldToView;
    float screenW = 640.0f, screenH = 480.0f;
};

class BaseObject : public ReferenceTarget {};

class Object : public BaseObject {
  public:
    virtual int CanConvertToType(Class_ID /*obtype*/) { return 0; }
    // The object itself when it is of that class already, else a new object
    // the caller owns; nullptr when it cannot convert.
    virtual Object* ConvertToType(TimeValue /*t*/, Class_ID /*obtype*/) { return nullptr; }
    virtual ObjectState Eval(TimeValue /*t*/) { return ObjectState(this); }
    // The object beneath every modifier of the pipeline that starts here.
    virtual Object* FindBaseObject() { return this; }
};

class GeomObject : public Object {
  public:
    SClass_ID SuperClassID() override { return GEOMOBJECT_CLASS_ID; }
    // The mesh to render; needDelete tells the caller to delete it.
    virtual Mesh* GetRenderMesh(TimeValue t, INode* inode, View& view, BOOL& needDelete) = 0;
};

class TriObject : public GeomObject {
  public:
    Mesh mesh;
    Mesh& GetMesh() { return mesh; }
    Class_ID ClassID() override { return triObjectClassID; }
    int CanConvertToType(Class_ID obtype) override { return obtype == triObjectClassID; }
    Object* ConvertToType(TimeValue, Class_ID obtype) override {
        return obtype == triObjectClassID ? this : nullptr;
    }
    Mesh* GetRenderMesh(TimeValue, INode*, View&, BOOL& needDelete) override {
        needDelete = 0;
        return &mesh;
    }
    ReferenceTarget* Clone(RemapDir&) override {
        auto* copy = new TriObject;
        copy->mesh = mesh;
        return copy;
    }
};

class PolyObject : public GeomObject {
  public:
    MNMesh mm;
    MNMesh& GetMesh() { return mm; }
    Class_ID ClassID() override { return polyObjectClassID; }
    int CanConvertToType(Class_ID obtype) override {
        return obtype == triObjectClassID || obtype == polyObjectClassID;
    }
    Object* ConvertToType(TimeValue, Class_ID obtype) override {
        if (obtype == polyObjectClassID) {
            return this;
        }
        if (obtype != triObjectClassID) {
            return nullptr;
        }
        auto* tri = new TriObject;
        mm.OutToTri(tri->mesh);
        return tri;
    }
    Mesh* GetRenderMesh(TimeValue, INode*, View&, BOOL& needDelete) override {
        auto* m = new Mesh;
        mm.OutToTri(*m);
        needDelete = 1;
        return m;
    }
    ReferenceTarget* Clone(RemapDir&) override {
        auto* copy = new PolyObject;
        copy->mm = mm;
        return copy;
    }
};

class Box3 {
  public:
    Point3 pmin, pmax;
};
class LocalModData {
  public:
    virtual ~LocalModData() = default;
};

class ModContext {
  public:
    ModContext() = default;
    ModContext(Matrix3* tm_, Box3* box_, LocalModData* data)
        : tm(tm_), box(box_), localData(data) {}
    Matrix3* tm = nullptr;
    Box3* box = nullptr;
    LocalModData* localData = nullptr;
};

using ChannelMask = DWORD;
inline constexpr ChannelMask TOPO_CHANNEL = 1u << 0;
inline constexpr ChannelMask GEOM_CHANNEL = 1u << 1;
inline constexpr ChannelMask TEXMAP_CHANNEL = 1u << 2;

class Modifier : public BaseObject {
  public:
    SClass_ID SuperClassID() override { return OSM_CLASS_ID; }
    virtual ChannelMask ChannelsUsed() { return GEOM_CHANNEL | TOPO_CHANNEL; }
    virtual ChannelMask ChannelsChanged() { return GEOM_CHANNEL; }
    virtual Class_ID InputType() { return defObjectClassID; }
    virtual Interval LocalValidity(TimeValue) { return FOREVER; }
    // os->obj is the pipeline's object so far; a modifier changes it in place
    // or replaces it (the host owns both).
    virtual void ModifyObject(TimeValue t, ModContext& mc, ObjectState* os, INode* node) = 0;
    virtual void NotifyPostCollapse(INode* /*node*/, Object* /*obj*/, IDerivedObject* /*derObj*/,
                                    int /*index*/) {}
};

// An object with a modifier stack. Modifier index 0 is the top of the stack
// (applied last); the derived object's object reference is what it modifies.
class IDerivedObject : public Object {
  public:
    SClass_ID SuperClassID() override { return GEN_DERIVOB_CLASS_ID; }
    Class_ID ClassID() override { return derivObjClassID; }
    virtual int NumModifiers() = 0;
    virtual Modifier* GetModifier(int index) = 0;
    virtual ModContext* GetModContext(int index) = 0;
    // Inserts mod before index `before` (0: on top); the derived object keeps
    // its own copy of mc.
    virtual void AddModifier(Modifier* mod, ModContext* mc = nullptr, int before = 0) = 0;
    virtual void DeleteModifier(int index = 0) = 0;
    virtual Object* GetObjRef() = 0;
    virtual void ReferenceObject(Object* obj) = 0;
};

// A scene node: name, handle, transform, user properties, material and the
// object reference that starts its pipeline.
#pragma once

#include "host/base_interface.h"
#include "host/object.h"

class Mtl;

// Pivot modes of the transform operations: none moves the object with its
// pivot.
inline constexpr int PIV_NONE = 0;

class INode {
  public:
    virtual ~INode() = default;
    virtual const MCHAR* GetName() = 0;
    virtual ULONG GetHandle() = 0;
    virtual Object* GetObjectRef() = 0;
    // The node takes a reference to obj and drops the one it held.
    virtual void SetObjectRef(Object* obj) = 0;
    virtual Matrix3 GetObjectTM(TimeValue t, Interval* valid = nullptr) = 0;
    // Evaluates the whole pipeline; the state stays valid until the next
    // evaluation of this node or a change of its pipeline.
    virtual const ObjectState& EvalWorldState(TimeValue t, BOOL evalHidden = 1) = 0;
    // False when the node has no such property or it is not a number.
    virtual bool GetUserPropFloat(const MCHAR* key, float& value) = 0;
    virtual int IsHidden() = 0;
    virtual int NumberOfChildren() = 0;
    virtual INode* GetChildNode(int i) = 0;
    virtual bool IsRootNode() = 0;
    // The node's material; nullptr shows the host's default grey. The node
    // takes a reference to mtl and drops the one it held.
    virtual Mtl* GetMtl() { return nullptr; }
    virtual void SetMtl(Mtl* /*mtl*/) {}
    // Scales the node by val about the axes of tmAxis (about its own pivot
    // when localOrigin); children follow when affectKids.
    virtual void Scale(TimeValue t, const Matrix3& tmAxis, const Point3& val, BOOL localOrigin = 0,
                       BOOL affectKids = 1, int pivMode = PIV_NONE, BOOL ignoreLocks = 0) = 0;
    // Render switches: seen by the camera (primary), by reflections, shadows
    // and other secondary rays, casting and receiving shadows.
    virtual BOOL GetPrimaryVisibility() = 0;
    virtual void SetPrimaryVisibility(BOOL onOff) = 0;
    virtual BOOL GetSecondaryVisibility() = 0;
    virtual void SetSecondaryVisibility(BOOL onOff) = 0;
    virtual BOOL CastShadows() = 0;
    virtual void SetCastShadows(BOOL onOff) = 0;
    virtual BOOL RcvShadows() = 0;
    virtual void SetRcvShadows(BOOL onOff) = 0;
    // 0 (invisible) .. 1 (fully visible) to the renderer.
    virtual float GetVisibility(TimeValue t, Interval* valid = nullptr) = 0;
    virtual void SetVisibility(TimeValue t, float vis) = 0;
    // The node's extra interfaces (its bake properties), or nullptr.
    virtual BaseInterface* GetInterface(Interface_ID /*id*/) { return nullptr; }
};

// Scene objects that are not geometry: cameras, lights and helpers. None of
// them converts to a triangle mesh.
#pragma once

#include "host/object.h"

class CameraObject : public Object {
  public:
    float fov = 0.785398f; // horizontal field of view, radians
    bool orthographic = false;
    SClass_ID SuperClassID() override { return CAMERA_CLASS_ID; }
    Class_ID ClassID() override { return Class_ID(0x1001, 0); }
    ReferenceTarget* Clone(RemapDir&) override { return new CameraObject(*this); }
};

class LightObject : public Object {
  public:
    SClass_ID SuperClassID() override { return LIGHT_CLASS_ID; }
    Class_ID ClassID() override { return Class_ID(0x1011, 0); }
    ReferenceTarget* Clone(RemapDir&) override { return new LightObject(*this); }
};

class HelperObject : public Object {
  public:
    SClass_ID SuperClassID() override { return HELPER_CLASS_ID; }
    Class_ID ClassID() override { return Class_ID(0x2001, 0); }
    ReferenceTarget* Clone(RemapDir&) override { return new HelperObject(*this); }
};

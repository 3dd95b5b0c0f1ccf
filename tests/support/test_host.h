// A standalone host for tests: a fresh scene with the plug-in module
// loaded, the settings at their defaults, and small meshes to build
// scenes from.
#pragma once

#include "host/text.h"
#include "modifier/vellumar_modifier.h"
#include "plugin/module.h"
#include "settings/settings.h"
#include "standalone/core.h"
#include "standalone/scene/node_ops.h"
#include "unwrap/proxy_exception.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

class HostTest : public ::testing::Test {
  protected:
    HostTest() {
        core.LoadPlugin(VellumarPluginModule());
        core.SetOutputFolder(::testing::TempDir());
        settings().reset();
        // The record's first use reads the default preset and may report
        // that it is missing; tests start with no messages.
        core.ClearMessages();
    }
    ~HostTest() override { settings().reset(); }

    SceneNode* add_node(const std::wstring& name, Object* obj) {
        return core.scene().CreateNode(name, obj);
    }
    void select(std::vector<INode*> nodes) { core.SetSelection(std::move(nodes)); }
    // Pixel (x, y) of an image file as 16-bit channels; zero when it cannot
    // be read.
    BMM_Color_64 pixel(const std::string& path, int x, int y) {
        BitmapInfo info;
        info.SetName(Utf8ToWide(path).c_str());
        Bitmap* bm = core.Load(&info);
        BMM_Color_64 p{};
        if (bm != nullptr) {
            bm->GetPixels(x, y, 1, &p);
            bm->DeleteThis();
        }
        return p;
    }
    std::vector<std::string> message_texts() const {
        std::vector<std::string> out;
        for (const auto& m : core.messages()) {
            out.push_back(WideToUtf8(m.text));
        }
        return out;
    }

    StandaloneCore core;
};

// The node's evaluated object as triangles (polygon objects triangulated).
inline Mesh evaluated_mesh(INode* node) {
    Mesh m;
    EvaluatedMesh(node, 0, m);
    return m;
}

// The message of the Proxy_Exception that fn throws, or "" when none.
template <class Fn> std::string message_of(Fn fn) {
    try {
        fn();
    } catch (const Proxy_Exception& e) {
        return e.message();
    }
    return "";
}

// An axis-aligned box from (0,0,0) to (sx,sy,sz): 8 corners, six quads
// wound counter-clockwise seen from outside.
struct BoxQuads {
    std::vector<Point3> corners;
    std::vector<std::array<int, 4>> quads;
};
BoxQuads box_quads(float sx = 1, float sy = 1, float sz = 1);

// The box as a polygon-mesh object with six quads.
PolyObject* box_poly_object(float sx = 1, float sy = 1, float sz = 1);

// The box as a triangle-mesh object: each quad split on its 0-2 diagonal,
// the diagonal invisible when `hide_diagonals`.
TriObject* box_tri_object(bool hide_diagonals, float sx = 1, float sy = 1, float sz = 1);

// Gives every face of the triangle mesh its own three map vertices of the
// channel (so every edge is a seam there), with u, v from x, y.
void give_split_uvs(Mesh& mesh, int channel);

// A grid of nx x ny quads in the z = 0 plane, split into triangles with all
// edges visible, with channel 1 holding shared UVs (u, v = x, y).
TriObject* grid_tri_object(int nx, int ny, float size = 1.0f);

#include "support/test_host.h"

BoxQuads box_quads(float sx, float sy, float sz) {
    BoxQuads b;
    for (int i = 0; i < 8; ++i) {
        b.corners.emplace_back((i & 1) ? sx : 0.0f, (i & 2) ? sy : 0.0f, (i & 4) ? sz : 0.0f);
    }
    b.quads = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    return b;
}

PolyObject* box_poly_object(float sx, float sy, float sz) {
    const BoxQuads b = box_quads(sx, sy, sz);
    auto* obj = new PolyObject;
    MNMesh& mm = obj->mm;
    for (const Point3& p : b.corners) {
        mm.v.push_back(MNVert{p});
    }
    for (const auto& q : b.quads) {
        MNFace f;
        f.vtx.assign(q.begin(), q.end());
        f.visedg.assign(4, true);
        mm.f.push_back(f);
    }
    mm.FillInMesh();
    return obj;
}

TriObject* box_tri_object(bool hide_diagonals, float sx, float sy, float sz) {
    const BoxQuads b = box_quads(sx, sy, sz);
    auto* obj = new TriObject;
    Mesh& m = obj->mesh;
    m.verts = b.corners;
    for (const auto& q : b.quads) {
        Face a, c;
        a.setVerts(static_cast<DWORD>(q[0]), static_cast<DWORD>(q[1]), static_cast<DWORD>(q[2]));
        c.setVerts(static_cast<DWORD>(q[0]), static_cast<DWORD>(q[2]), static_cast<DWORD>(q[3]));
        a.setEdgeVisFlags(1, 1, !hide_diagonals);
        c.setEdgeVisFlags(!hide_diagonals, 1, 1);
        m.faces.push_back(a);
        m.faces.push_back(c);
    }
    return obj;
}

void give_split_uvs(Mesh& mesh, int channel) {
    mesh.setMapSupport(channel);
    MeshMap& map = mesh.Map(channel);
    map.tv.clear();
    for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
        for (int k = 0; k < 3; ++k) {
            const Point3& p = mesh.verts[mesh.faces[f].v[k]];
            map.tv.emplace_back(p.x, p.y, 0.0f);
        }
        const auto base = static_cast<DWORD>(3 * f);
        map.tf[f].setTVerts(base, base + 1, base + 2);
    }
}

TriObject* grid_tri_object(int nx, int ny, float size) {
    auto* obj = new TriObject;
    Mesh& m = obj->mesh;
    for (int y = 0; y <= ny; ++y) {
        for (int x = 0; x <= nx; ++x) {
            m.verts.emplace_back(size * static_cast<float>(x) / static_cast<float>(nx),
                                 size * static_cast<float>(y) / static_cast<float>(ny), 0.0f);
        }
    }
    auto at = [&](int x, int y) { return static_cast<DWORD>(y * (nx + 1) + x); };
    for (int y = 0; y < ny; ++y) {
        for (int x = 0; x < nx; ++x) {
            Face a, b;
            a.setVerts(at(x, y), at(x + 1, y), at(x + 1, y + 1));
            b.setVerts(at(x, y), at(x + 1, y + 1), at(x, y + 1));
            m.faces.push_back(a);
            m.faces.push_back(b);
        }
    }
    m.setMapSupport(1);
    m.Map(1).tv = m.verts;
    for (std::size_t f = 0; f < m.faces.size(); ++f) {
        m.Map(1).tf[f].setTVerts(m.faces[f].v[0], m.faces[f].v[1], m.faces[f].v[2]);
    }
    return obj;
}

#include "host/mnmesh.h"

#include <gtest/gtest.h>

#include <set>

namespace {

MNMesh polygon(const std::vector<Point3>& pts) {
    MNMesh mm;
    for (const Point3& p : pts) {
        mm.v.push_back(MNVert{p});
    }
    MNFace f;
    for (int i = 0; i < static_cast<int>(pts.size()); ++i) {
        f.vtx.push_back(i);
    }
    f.visedg.assign(pts.size(), true);
    mm.f.push_back(f);
    mm.FillInMesh();
    return mm;
}

double signed_area_z(const Mesh& m, const Face& f) {
    const Point3 a = m.verts[f.v[0]], b = m.verts[f.v[1]], c = m.verts[f.v[2]];
    return 0.5 * ((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x));
}

} // namespace

TEST(MNMeshTriangulation, ConcavePolygonGivesTrianglesInsideTheOutlineWithInvisibleDiagonals) {
    // An L shape starting at a corner that does not see the whole polygon:
    // a fan from it would leave the outline.
    MNMesh mm = polygon({{2, 1, 0}, {1, 1, 0}, {1, 2, 0}, {0, 2, 0}, {0, 0, 0}, {2, 0, 0}});
    Mesh out;
    mm.OutToTri(out);
    ASSERT_EQ(out.getNumFaces(), 4);
    double area = 0;
    int visible = 0;
    for (const Face& f : out.faces) {
        EXPECT_GT(signed_area_z(out, f), 0.0) << "every triangle keeps the polygon's winding";
        area += signed_area_z(out, f);
        for (int k = 0; k < 3; ++k) {
            visible += f.getEdgeVis(k) ? 1 : 0;
        }
    }
    EXPECT_DOUBLE_EQ(area, 3.0);
    EXPECT_EQ(visible, 6) << "exactly the six sides of the polygon stay visible";
}

TEST(MNMeshTriangulation, MapChannelsFollowTheTriangleCorners) {
    MNMesh mm = polygon({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
    mm.SetMapNum(2);
    MNMap& map = *mm.M(1);
    map.v = {{0, 0, 0}, {0.5f, 0, 0}, {0.5f, 0.5f, 0}, {0, 0.5f, 0}};
    map.f.resize(1);
    map.f[0].tv = {0, 1, 2, 3};
    Mesh out;
    mm.OutToTri(out);
    ASSERT_TRUE(out.mapSupport(1));
    for (int f = 0; f < out.getNumFaces(); ++f) {
        for (int k = 0; k < 3; ++k) {
            const Point3 p = out.verts[out.faces[f].v[k]];
            const UVVert t = out.mapVerts(1)[out.mapFaces(1)[f].t[k]];
            EXPECT_FLOAT_EQ(t.x, p.x * 0.5f);
            EXPECT_FLOAT_EQ(t.y, p.y * 0.5f);
        }
    }
    EXPECT_FALSE(out.mapSupport(0));
}

TEST(MNMeshEdges, NeighboursShareOneEdgeAndAThirdFaceGetsItsOwn) {
    Mesh m;
    m.verts = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {0, 0, 1}};
    m.setNumFaces(3);
    m.faces[0].setVerts(0, 1, 2);
    m.faces[1].setVerts(1, 3, 2);
    m.faces[2].setVerts(2, 1, 4); // a third face on edge 1-2
    MNMesh mm;
    mm.SetFromTri(m);
    int shared = 0, border_on_12 = 0;
    for (const MNEdge& e : mm.e) {
        const std::set<int> ends = {e.v1, e.v2};
        if (ends == std::set<int>{1, 2}) {
            (e.f2 >= 0 ? shared : border_on_12)++;
            if (e.f2 >= 0) {
                EXPECT_EQ(e.f1, 0);
                EXPECT_EQ(e.f2, 1);
                EXPECT_EQ(e.v1, 1) << "the first face runs from v1 to v2";
            }
        }
    }
    EXPECT_EQ(shared, 1);
    EXPECT_EQ(border_on_12, 1);
}

TEST(MNMeshEdges, SeamTestComparesMapVerticesAtBothEnds) {
    Mesh m;
    m.verts = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
    m.setNumFaces(2);
    m.faces[0].setVerts(0, 1, 2);
    m.faces[1].setVerts(1, 3, 2);
    m.setMapSupport(1);
    m.Map(1).tv.resize(5);
    m.Map(1).tf[0].setTVerts(0, 1, 2);
    m.Map(1).tf[1].setTVerts(1, 3, 2);
    m.setMapSupport(2);
    m.Map(2).tv.resize(5);
    m.Map(2).tf[0].setTVerts(0, 1, 2);
    m.Map(2).tf[1].setTVerts(1, 3, 4); // corner at vertex 2 split
    MNMesh mm;
    mm.SetFromTri(m);
    int inner = -1;
    for (int i = 0; i < mm.ENum(); ++i) {
        if (mm.E(i)->f2 >= 0) {
            inner = i;
        }
    }
    ASSERT_GE(inner, 0);
    EXPECT_FALSE(mm.EdgeIsSeam(1, inner));
    EXPECT_TRUE(mm.EdgeIsSeam(2, inner));
    EXPECT_FALSE(mm.EdgeIsSeam(7, inner)) << "a channel the mesh lacks has no seams";
}

TEST(MNMeshEdges, FacesNamingMissingVerticesGetNoEdges) {
    Mesh m;
    m.verts = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    m.setNumFaces(2);
    m.faces[0].setVerts(0, 1, 2);
    m.faces[1].setVerts(0, 2, 99);
    MNMesh mm;
    mm.SetFromTri(m);
    EXPECT_EQ(mm.ENum(), 3);
    Mesh out;
    mm.OutToTri(out); // must not read vertex 99
    EXPECT_EQ(out.getNumFaces(), 2);
}

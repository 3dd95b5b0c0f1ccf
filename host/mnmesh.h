// The host's poly-mesh form: faces of any degree, an explicit edge list with
// the faces on each side, and map channels whose faces run parallel to the
// mesh faces. Polygon objects keep their geometry in it; the unwrap reads the
// edges of a triangle mesh through it.
#pragma once

#include "host/max_types.h"
#include "host/mesh.h"

#include <vector>

// MNEdge::flags bit of an edge that lies inside a polygon of the source mesh.
inline constexpr DWORD MN_EDGE_INVIS = 1u << 8;

class MNVert {
  public:
    Point3 p;
};

class MNEdge {
  public:
    int v1 = -1, v2 = -1; // f1 runs along the edge from v1 to v2
    int f1 = -1, f2 = -1; // f2 is -1 on a border
    DWORD flags = 0;
    int OtherFace(int ff) const { return ff == f1 ? f2 : f1; }
    bool GetFlag(DWORD fl) const { return (flags & fl) != 0; }
};

class MNFace {
  public:
    std::vector<int> vtx;     // corners, counter-clockwise seen from outside
    std::vector<int> edg;     // edg[k] joins vtx[k] and vtx[k + 1]; filled by FillInMesh
    std::vector<bool> visedg; // visibility of edge k
    DWORD smGroup = 0;        // smoothing-group bits, passed on to every triangle of the face
    int deg() const { return static_cast<int>(vtx.size()); }
    // Triangles of the face's triangulation. A corner at the same vertex as
    // the next one (a pole quad whose two pole corners were welded) adds no
    // triangle: such a face is the smaller polygon it really is, and one
    // with fewer than three distinct corners in a row has none.
    int TriNum() const;
};

class MNMapFace {
  public:
    std::vector<int> tv; // one map vertex per corner of the mesh face
};

class MNMap {
  public:
    std::vector<UVVert> v;
    std::vector<MNMapFace> f;
};

class MNMesh {
  public:
    std::vector<MNVert> v;
    std::vector<MNEdge> e;
    std::vector<MNFace> f;

    int VNum() const { return static_cast<int>(v.size()); }
    int ENum() const { return static_cast<int>(e.size()); }
    int FNum() const { return static_cast<int>(f.size()); }
    Point3& P(int i) { return v[static_cast<std::size_t>(i)].p; }
    const Point3& P(int i) const { return v[static_cast<std::size_t>(i)].p; }
    MNEdge* E(int i) { return &e[static_cast<std::size_t>(i)]; }
    const MNEdge* E(int i) const { return &e[static_cast<std::size_t>(i)]; }
    MNFace* F(int i) { return &f[static_cast<std::size_t>(i)]; }
    const MNFace* F(int i) const { return &f[static_cast<std::size_t>(i)]; }

    int MNum() const { return static_cast<int>(maps_.size()); }
    void SetMapNum(int n) { maps_.resize(static_cast<std::size_t>(n)); }
    // A map channel is supported when it has one map face per mesh face and
    // every map face has one map vertex per corner, all in range.
    bool MapSupported(int mp) const;
    MNMap* M(int mp) { return &maps_[static_cast<std::size_t>(mp)]; }
    const MNMap* M(int mp) const { return &maps_[static_cast<std::size_t>(mp)]; }

    // One face per triangle of the mesh (same order and corners), vertices
    // and map channels copied; edges filled in. Corners that name missing
    // vertices are kept; FillInMesh leaves such faces without edges.
    void SetFromTri(const Mesh& from);
    // Builds the edge list from the faces. An edge is shared by the first
    // two faces that run along it (preferring opposite directions); a third
    // face gets an edge of its own. Faces with a missing vertex get no edges.
    void FillInMesh();
    // Triangulates every face (GetTriangles) into `out`; edges inside a
    // polygon are invisible, map channels follow the same corners.
    void OutToTri(Mesh& out) const;
    // Corner triples (indices into face ff's corners) of the face's
    // triangulation, TriNum() of them: a fan for convex faces, ear clipping
    // otherwise. Of corners in a row at one vertex only the last is used.
    void GetTriangles(int ff, std::vector<int>& tri) const;
    // True when the two faces of edge ee use different map vertices of
    // channel mp at either end of the edge.
    bool EdgeIsSeam(int mp, int ee) const;

  private:
    std::vector<MNMap> maps_;
    int CornerOf(int ff, int vert) const;
};

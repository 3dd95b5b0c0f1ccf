// The host's triangle mesh: vertices, faces with edge-visibility flags, and up
// to MAX_MESHMAPS map channels whose faces run parallel to the mesh faces.
#pragma once

#include "host/max_types.h"

#include <vector>

inline constexpr int MAX_MESHMAPS = 100;

// Which sub-material of a multi/sub-object material shades a face.
using MtlID = unsigned short;

// Edge-visibility bits of Face::flags: bit k is the edge from corner k to
// corner (k + 1) mod 3. An invisible edge lies inside a polygon.
inline constexpr DWORD EDGE_A = 1;
inline constexpr DWORD EDGE_B = 2;
inline constexpr DWORD EDGE_C = 4;
inline constexpr DWORD EDGE_ALL = 7;

class Face {
  public:
    DWORD v[3] = {0, 0, 0};
    DWORD smGroup = 0;
    DWORD flags = EDGE_ALL;
    MtlID matID = 0;

    void setVerts(DWORD a, DWORD b, DWORD c) {
        v[0] = a;
        v[1] = b;
        v[2] = c;
    }
    void setEdgeVisFlags(int va, int vb, int vc) {
        flags = (flags & ~EDGE_ALL) | (va ? EDGE_A : 0) | (vb ? EDGE_B : 0) | (vc ? EDGE_C : 0);
    }
    BOOL getEdgeVis(int k) const { return (flags & (1u << k)) != 0; }
    MtlID getMatID() const { return matID; }
    void setMatID(MtlID id) { matID = id; }
};

class TVFace {
  public:
    DWORD t[3] = {0, 0, 0};
    void setTVerts(DWORD a, DWORD b, DWORD c) {
        t[0] = a;
        t[1] = b;
        t[2] = c;
    }
};

class MeshMap {
  public:
    bool used = false;
    std::vector<UVVert> tv;
    std::vector<TVFace> tf;
};

class Mesh {
  public:
    std::vector<Point3> verts;
    std::vector<Face> faces;

    int getNumVerts() const { return static_cast<int>(verts.size()); }
    int getNumFaces() const { return static_cast<int>(faces.size()); }
    void setNumVerts(int n) { verts.resize(static_cast<std::size_t>(n)); }
    // Resizes the faces and, with them, the faces of every map channel.
    void setNumFaces(int n);
    Point3& getVert(int i) { return verts[static_cast<std::size_t>(i)]; }
    const Point3& getVert(int i) const { return verts[static_cast<std::size_t>(i)]; }

    int getNumMaps() const { return static_cast<int>(maps_.size()); }
    void setNumMaps(int n) { maps_.resize(static_cast<std::size_t>(n)); }
    // A channel is supported when it is switched on and has one map face per
    // mesh face; anything else would let readers run past its arrays.
    BOOL mapSupport(int mp) const;
    void setMapSupport(int mp, BOOL support = 1);
    int getNumMapVerts(int mp) const;
    void setNumMapVerts(int mp, int n);
    UVVert* mapVerts(int mp);
    const UVVert* mapVerts(int mp) const;
    TVFace* mapFaces(int mp);
    const TVFace* mapFaces(int mp) const;
    MeshMap& Map(int mp) { return maps_[static_cast<std::size_t>(mp)]; }
    const MeshMap& Map(int mp) const { return maps_[static_cast<std::size_t>(mp)]; }

  private:
    std::vector<MeshMap> maps_;
};

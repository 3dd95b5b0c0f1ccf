#include "host/mnmesh.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

bool MNMesh::MapSupported(int mp) const {
    if (mp < 0 || mp >= MNum()) {
        return false;
    }
    const MNMap& m = *M(mp);
    if (m.f.size() != f.size()) {
        return false;
    }
    const int nv = static_cast<int>(m.v.size());
    for (std::size_t i = 0; i < f.size(); ++i) {
        if (m.f[i].tv.size() != f[i].vtx.size()) {
            return false;
        }
        for (int t : m.f[i].tv) {
            if (t < 0 || t >= nv) {
                return false;
            }
        }
    }
    return true;
}

void MNMesh::SetFromTri(const Mesh& from) {
    v.assign(from.verts.size(), MNVert{});
    for (std::size_t i = 0; i < from.verts.size(); ++i) {
        v[i].p = from.verts[i];
    }
    f.assign(from.faces.size(), MNFace{});
    for (std::size_t i = 0; i < from.faces.size(); ++i) {
        const Face& face = from.faces[i];
        f[i].vtx = {static_cast<int>(face.v[0]), static_cast<int>(face.v[1]),
                    static_cast<int>(face.v[2])};
        f[i].visedg = {face.getEdgeVis(0) != 0, face.getEdgeVis(1) != 0, face.getEdgeVis(2) != 0};
        f[i].smGroup = face.smGroup;
    }
    maps_.assign(static_cast<std::size_t>(from.getNumMaps()), MNMap{});
    for (int mp = 0; mp < from.getNumMaps(); ++mp) {
        if (!from.mapSupport(mp)) {
            continue;
        }
        MNMap& m = maps_[static_cast<std::size_t>(mp)];
        const MeshMap& src = from.Map(mp);
        m.v = src.tv;
        m.f.resize(src.tf.size());
        for (std::size_t i = 0; i < src.tf.size(); ++i) {
            m.f[i].tv = {static_cast<int>(src.tf[i].t[0]), static_cast<int>(src.tf[i].t[1]),
                         static_cast<int>(src.tf[i].t[2])};
        }
    }
    FillInMesh();
}

void MNMesh::FillInMesh() {
    e.clear();
    // Every side of every face, in the order the faces name them, grouped
    // by vertex pair with one sort: a hash map of candidate lists per pair
    // cost over a hundred bytes and several allocations per edge.
    struct Side {
        std::uint64_t key;
        std::uint32_t order; // position in face order
        int face, corner;
    };
    std::vector<Side> sides;
    const int nv = VNum();
    for (int ff = 0; ff < FNum(); ++ff) {
        MNFace& face = f[static_cast<std::size_t>(ff)];
        const int d = face.deg();
        face.edg.assign(static_cast<std::size_t>(d), -1);
        if (face.visedg.size() != static_cast<std::size_t>(d)) {
            face.visedg.assign(static_cast<std::size_t>(d), true);
        }
        if (std::any_of(face.vtx.begin(), face.vtx.end(),
                        [nv](int x) { return x < 0 || x >= nv; })) {
            continue;
        }
        for (int k = 0; k < d; ++k) {
            const int a = face.vtx[static_cast<std::size_t>(k)];
            const int b = face.vtx[static_cast<std::size_t>((k + 1) % d)];
            if (a != b) {
                const std::uint64_t key = (static_cast<std::uint64_t>(std::min(a, b)) << 32) |
                                          static_cast<std::uint32_t>(std::max(a, b));
                sides.push_back({key, static_cast<std::uint32_t>(sides.size()), ff, k});
            }
        }
    }
    std::sort(sides.begin(), sides.end(), [](const Side& x, const Side& y) {
        return x.key != y.key ? x.key < y.key : x.order < y.order;
    });
    // Per pair, in face order: a side joins the first edge with a free
    // side run the other way (a flipped neighbour's only when none is
    // left), else it opens a new edge. Edges are numbered by the side that
    // opened them, as a walk over the faces would number them.
    std::vector<std::uint32_t> opener(sides.size()); // side -> index of its edge's opening side
    std::vector<std::uint8_t> opens(sides.size(), 0);
    struct Open {
        std::uint32_t side; // sorted index of the opening side
        int f1, v1;
        bool closed;
    };
    std::vector<Open> group;
    for (std::size_t i = 0; i < sides.size();) {
        std::size_t j = i;
        group.clear();
        for (; j < sides.size() && sides[j].key == sides[i].key; ++j) {
            const Side& sd = sides[j];
            const MNFace& face = f[static_cast<std::size_t>(sd.face)];
            const int b = face.vtx[static_cast<std::size_t>((sd.corner + 1) % face.deg())];
            Open* chosen = nullptr;
            for (int pass = 0; pass < 2 && chosen == nullptr; ++pass) {
                for (Open& o : group) {
                    if (!o.closed && o.f1 != sd.face && (pass == 1 || o.v1 == b)) {
                        chosen = &o;
                        break;
                    }
                }
            }
            if (chosen != nullptr) {
                chosen->closed = true;
                opener[j] = chosen->side;
            } else {
                const int a = face.vtx[static_cast<std::size_t>(sd.corner)];
                group.push_back({static_cast<std::uint32_t>(j), sd.face, a, false});
                opener[j] = static_cast<std::uint32_t>(j);
                opens[sides[j].order] = 1;
            }
        }
        i = j;
    }
    // Edge numbers in face order of the opening sides.
    std::vector<int> edge_of_order(sides.size(), -1);
    int count = 0;
    for (std::size_t o = 0; o < sides.size(); ++o) {
        if (opens[o]) {
            edge_of_order[o] = count++;
        }
    }
    e.assign(static_cast<std::size_t>(count), MNEdge{});
    for (std::size_t j = 0; j < sides.size(); ++j) {
        const Side& sd = sides[j];
        MNFace& face = f[static_cast<std::size_t>(sd.face)];
        const int id = edge_of_order[sides[opener[j]].order];
        MNEdge& edge = e[static_cast<std::size_t>(id)];
        const bool visible = face.visedg[static_cast<std::size_t>(sd.corner)];
        if (opener[j] == j) {
            edge.v1 = face.vtx[static_cast<std::size_t>(sd.corner)];
            edge.v2 = face.vtx[static_cast<std::size_t>((sd.corner + 1) % face.deg())];
            edge.f1 = sd.face;
            if (!visible) {
                edge.flags |= MN_EDGE_INVIS;
            }
        }
        face.edg[static_cast<std::size_t>(sd.corner)] = id;
    }
    // The closing side's visibility: visible if either side is.
    for (std::size_t j = 0; j < sides.size(); ++j) {
        if (opener[j] == j) {
            continue;
        }
        const Side& sd = sides[j];
        MNEdge& edge = e[static_cast<std::size_t>(edge_of_order[sides[opener[j]].order])];
        edge.f2 = sd.face;
        if (f[static_cast<std::size_t>(sd.face)].visedg[static_cast<std::size_t>(sd.corner)]) {
            edge.flags &= ~MN_EDGE_INVIS;
        }
    }
}

namespace {

// Twice the signed area of triangle (a, b, c) in the plane.
double Cross2(const double* a, const double* b, const double* c) {
    return (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]);
}

bool InsideTriangle(const double* p, const double* a, const double* b, const double* c) {
    return Cross2(a, b, p) >= 0 && Cross2(b, c, p) >= 0 && Cross2(c, a, p) >= 0;
}

// The corners that start a side of non-zero length: a corner at the same
// vertex as the next one only repeats it.
void distinct_corners(const std::vector<int>& vtx, std::vector<int>& out) {
    out.clear();
    const std::size_t d = vtx.size();
    for (std::size_t k = 0; k < d; ++k) {
        if (vtx[k] != vtx[(k + 1) % d]) {
            out.push_back(static_cast<int>(k));
        }
    }
}

// Corner triples of the polygon through the vertices `vtx` of `mesh`.
void triangulate(const MNMesh& mesh, const std::vector<int>& vtx, std::vector<int>& tri) {
    tri.clear();
    const int d = static_cast<int>(vtx.size());
    if (d < 3) {
        return;
    }
    auto fan = [&] {
        tri.clear();
        for (int k = 1; k + 1 < d; ++k) {
            tri.insert(tri.end(), {0, k, k + 1});
        }
    };
    const int nv = mesh.VNum();
    if (d == 3 || std::any_of(vtx.begin(), vtx.end(), [nv](int x) { return x < 0 || x >= nv; })) {
        fan();
        return;
    }
    // Project onto the plane of the Newell normal and clip ears; a face that
    // is convex, degenerate or too twisted to clip falls back to a fan.
    double n[3] = {0, 0, 0};
    for (int k = 0; k < d; ++k) {
        const Point3& a = mesh.P(vtx[static_cast<std::size_t>(k)]);
        const Point3& b = mesh.P(vtx[static_cast<std::size_t>((k + 1) % d)]);
        n[0] += (double(a.y) - b.y) * (double(a.z) + b.z);
        n[1] += (double(a.z) - b.z) * (double(a.x) + b.x);
        n[2] += (double(a.x) - b.x) * (double(a.y) + b.y);
    }
    int axis = 0;
    for (int i = 1; i < 3; ++i) {
        if (std::fabs(n[i]) > std::fabs(n[axis])) {
            axis = i;
        }
    }
    if (n[axis] == 0 || !std::isfinite(n[axis])) {
        fan();
        return;
    }
    const int ax = (axis + 1) % 3, ay = (axis + 2) % 3;
    const double sign = n[axis] > 0 ? 1.0 : -1.0;
    std::vector<double> q(static_cast<std::size_t>(2 * d));
    for (int k = 0; k < d; ++k) {
        const Point3& p = mesh.P(vtx[static_cast<std::size_t>(k)]);
        q[static_cast<std::size_t>(2 * k)] = p[ax];
        q[static_cast<std::size_t>(2 * k + 1)] = p[ay] * sign;
    }
    auto pt = [&](int k) { return &q[static_cast<std::size_t>(2 * k)]; };
    bool convex = true;
    for (int k = 0; k < d && convex; ++k) {
        convex = Cross2(pt(k), pt((k + 1) % d), pt((k + 2) % d)) > 0;
    }
    if (convex) {
        fan();
        return;
    }
    std::vector<int> ring(static_cast<std::size_t>(d));
    for (int k = 0; k < d; ++k) {
        ring[static_cast<std::size_t>(k)] = k;
    }
    while (ring.size() > 3) {
        const std::size_t m = ring.size();
        bool clipped = false;
        for (std::size_t i = 0; i < m && !clipped; ++i) {
            const int a = ring[(i + m - 1) % m], b = ring[i], c = ring[(i + 1) % m];
            if (Cross2(pt(a), pt(b), pt(c)) <= 0) {
                continue;
            }
            bool empty = true;
            for (std::size_t j = 0; j < m && empty; ++j) {
                const int x = ring[j];
                if (x != a && x != b && x != c && InsideTriangle(pt(x), pt(a), pt(b), pt(c))) {
                    empty = false;
                }
            }
            if (empty) {
                tri.insert(tri.end(), {a, b, c});
                ring.erase(ring.begin() + static_cast<std::ptrdiff_t>(i));
                clipped = true;
            }
        }
        if (!clipped) {
            fan();
            return;
        }
    }
    tri.insert(tri.end(), {ring[0], ring[1], ring[2]});
}

} // namespace

int MNFace::TriNum() const {
    const std::size_t d = vtx.size();
    int distinct = 0;
    for (std::size_t k = 0; k < d; ++k) {
        distinct += vtx[k] != vtx[(k + 1) % d] ? 1 : 0;
    }
    return distinct >= 3 ? distinct - 2 : 0;
}

void MNMesh::GetTriangles(int ff, std::vector<int>& tri) const {
    const MNFace& face = f[static_cast<std::size_t>(ff)];
    // The polygon without its repeated corners; the triangles name the
    // corners of the whole face.
    std::vector<int> corner, vtx;
    distinct_corners(face.vtx, corner);
    for (int k : corner) {
        vtx.push_back(face.vtx[static_cast<std::size_t>(k)]);
    }
    triangulate(*this, vtx, tri);
    for (int& k : tri) {
        k = corner[static_cast<std::size_t>(k)];
    }
}

void MNMesh::OutToTri(Mesh& out) const {
    out = Mesh();
    out.setNumVerts(VNum());
    for (int i = 0; i < VNum(); ++i) {
        out.verts[static_cast<std::size_t>(i)] = P(i);
    }
    std::vector<int> supported;
    for (int mp = 0; mp < MNum(); ++mp) {
        if (MapSupported(mp)) {
            supported.push_back(mp);
        }
    }
    std::vector<int> tri;
    std::vector<std::vector<int>> corners(static_cast<std::size_t>(FNum()));
    std::size_t total = 0;
    for (int ff = 0; ff < FNum(); ++ff) {
        GetTriangles(ff, corners[static_cast<std::size_t>(ff)]);
        total += corners[static_cast<std::size_t>(ff)].size() / 3;
    }
    out.setNumFaces(static_cast<int>(total));
    for (int mp : supported) {
        out.setMapSupport(mp);
        out.Map(mp).tv = M(mp)->v;
    }
    std::size_t t = 0;
    for (int ff = 0; ff < FNum(); ++ff) {
        const MNFace& face = f[static_cast<std::size_t>(ff)];
        const int d = face.deg();
        const auto& c = corners[static_cast<std::size_t>(ff)];
        for (std::size_t i = 0; i < c.size(); i += 3, ++t) {
            Face& tf = out.faces[t];
            tf.smGroup = face.smGroup;
            int vis[3];
            for (int k = 0; k < 3; ++k) {
                const int c0 = c[i + static_cast<std::size_t>(k)];
                const int c1 = c[i + static_cast<std::size_t>((k + 1) % 3)];
                tf.v[k] = static_cast<DWORD>(face.vtx[static_cast<std::size_t>(c0)]);
                // Only a side of the polygon itself can be visible; corners
                // skipped between c0 and c1 repeat c1's vertex.
                bool outline = true;
                for (int j = (c0 + 1) % d; j != c1 && outline; j = (j + 1) % d) {
                    outline = face.vtx[static_cast<std::size_t>(j)] ==
                              face.vtx[static_cast<std::size_t>(c1)];
                }
                vis[k] = outline && (face.visedg.size() != static_cast<std::size_t>(d) ||
                                     face.visedg[static_cast<std::size_t>(c0)]);
            }
            tf.setEdgeVisFlags(vis[0], vis[1], vis[2]);
            for (int mp : supported) {
                const MNMapFace& mf = M(mp)->f[static_cast<std::size_t>(ff)];
                out.Map(mp).tf[t].setTVerts(
                    static_cast<DWORD>(mf.tv[static_cast<std::size_t>(c[i])]),
                    static_cast<DWORD>(mf.tv[static_cast<std::size_t>(c[i + 1])]),
                    static_cast<DWORD>(mf.tv[static_cast<std::size_t>(c[i + 2])]));
            }
        }
    }
}

int MNMesh::CornerOf(int ff, int vert) const {
    const MNFace& face = f[static_cast<std::size_t>(ff)];
    for (int k = 0; k < face.deg(); ++k) {
        if (face.vtx[static_cast<std::size_t>(k)] == vert) {
            return k;
        }
    }
    return -1;
}

bool MNMesh::EdgeIsSeam(int mp, int ee) const {
    if (ee < 0 || ee >= ENum() || mp < 0 || mp >= MNum()) {
        return false;
    }
    const MNEdge& edge = e[static_cast<std::size_t>(ee)];
    if (edge.f1 < 0 || edge.f2 < 0) {
        return false;
    }
    const MNMap& m = *M(mp);
    if (m.f.size() != f.size()) {
        return false;
    }
    for (int end : {edge.v1, edge.v2}) {
        const int k1 = CornerOf(edge.f1, end), k2 = CornerOf(edge.f2, end);
        const auto& t1 = m.f[static_cast<std::size_t>(edge.f1)].tv;
        const auto& t2 = m.f[static_cast<std::size_t>(edge.f2)].tv;
        if (k1 < 0 || k2 < 0 || static_cast<std::size_t>(k1) >= t1.size() ||
            static_cast<std::size_t>(k2) >= t2.size()) {
            return false;
        }
        if (t1[static_cast<std::size_t>(k1)] != t2[static_cast<std::size_t>(k2)]) {
            return true;
        }
    }
    return false;
}

#include "atlas/conformal_map.h"

#include <Eigen/SparseCholesky>

#include <cmath>

namespace vellumar::atlas {

namespace {

// Weight of the uniform smoothing beside the cotangent weights (which are
// dimensionless and of order one): small enough not to bend the map, large
// enough to make vertices touched only by flat triangles determined.
constexpr double kSmoothing = 1e-7;

// A lone triangle's conformal map is the triangle itself: laid out from
// its side lengths it is exact, and needs no solve (meshes of many loose
// triangles would otherwise pay a factorisation per triangle).
template <class Pos>
void lay_flat_triangle(const ChartMesh& chart, std::uint32_t p0, std::uint32_t p1, double dist,
                       const Pos& pos, std::vector<double>& uv) {
    const std::uint32_t w = 3 - p0 - p1;
    double along = 0, cross2 = 0, d[3], e[3];
    for (int a = 0; a < 3; ++a) {
        d[a] = pos(p1, a) - pos(p0, a);
        e[a] = pos(w, a) - pos(p0, a);
        along += d[a] * e[a];
    }
    for (int a = 0; a < 3; ++a) {
        const double c = d[(a + 1) % 3] * e[(a + 2) % 3] - d[(a + 2) % 3] * e[(a + 1) % 3];
        cross2 += c * c;
    }
    uv[2 * p0] = 0.0;
    uv[2 * p0 + 1] = 0.0;
    uv[2 * p1] = dist;
    uv[2 * p1 + 1] = 0.0;
    uv[2 * w] = along / dist;
    uv[2 * w + 1] = std::sqrt(cross2) / dist;
    // Counter-clockwise in the triangle's own corner order.
    const std::uint32_t* c = chart.corner_vertex.data();
    const double orient = (uv[2 * c[1]] - uv[2 * c[0]]) * (uv[2 * c[2] + 1] - uv[2 * c[0] + 1]) -
                          (uv[2 * c[1] + 1] - uv[2 * c[0] + 1]) * (uv[2 * c[2]] - uv[2 * c[0]]);
    if (orient < 0) {
        uv[2 * w + 1] = -uv[2 * w + 1];
    }
}

} // namespace

bool ConformalMap::flatten(const ChartMesh& chart, const AtlasMesh& mesh,
                           const FaceGeometry& geometry, std::vector<double>& uv) {
    const std::uint32_t nv = chart.vertex_count();
    const auto verts = mesh.vertices();
    auto pos = [&](std::uint32_t local, int axis) {
        const AtlasVertex& p = verts[chart.vertex_source[local]];
        return axis == 0 ? double(p.x) : (axis == 1 ? double(p.y) : double(p.z));
    };
    uv.assign(2 * static_cast<std::size_t>(nv), 0.0);

    // Pins: the two extremes along the longest side of the bounding box.
    double lo[3] = {1e300, 1e300, 1e300}, hi[3] = {-1e300, -1e300, -1e300};
    for (std::uint32_t v = 0; v < nv; ++v) {
        for (int a = 0; a < 3; ++a) {
            lo[a] = std::min(lo[a], pos(v, a));
            hi[a] = std::max(hi[a], pos(v, a));
        }
    }
    int axis = 0;
    for (int a = 1; a < 3; ++a) {
        if (hi[a] - lo[a] > hi[axis] - lo[axis]) {
            axis = a;
        }
    }
    std::uint32_t p0 = 0, p1 = 0;
    for (std::uint32_t v = 0; v < nv; ++v) {
        if (pos(v, axis) < pos(p0, axis)) {
            p0 = v;
        }
        if (pos(v, axis) > pos(p1, axis)) {
            p1 = v;
        }
    }
    double dist = 0;
    for (int a = 0; a < 3; ++a) {
        dist += (pos(p1, a) - pos(p0, a)) * (pos(p1, a) - pos(p0, a));
    }
    dist = std::sqrt(dist);
    if (p0 == p1 || dist <= 0) {
        return true; // a chart without extent maps to one point
    }

    if (chart.faces.size() == 1 && nv == 3 && geometry.area[chart.faces[0]] > geometry.area_floor) {
        lay_flat_triangle(chart, p0, p1, dist, pos, uv);
        return true;
    }

    free_index_.assign(nv, 0);
    std::uint32_t nfree = 0;
    for (std::uint32_t v = 0; v < nv; ++v) {
        free_index_[v] = (v == p0 || v == p1) ? kNoNeighbour : nfree++;
    }
    // z = u + i v. The energy is z^H H z with the Hermitian H = L + i K, L
    // the cotangent Laplacian (Dirichlet part) and K the antisymmetric
    // matrix of the signed area, which halves the unknowns of the real form.
    const Complex pinned[2] = {Complex(0.0, 0.0), Complex(dist, 0.0)};
    auto pin_of = [&](std::uint32_t v) { return v == p0 ? 0 : 1; };
    triplets_.clear();
    Eigen::VectorXcd rhs = Eigen::VectorXcd::Zero(static_cast<Eigen::Index>(nfree));
    auto add = [&](std::uint32_t a, std::uint32_t b, Complex h) {
        const std::uint32_t fa = free_index_[a], fb = free_index_[b];
        if (fa == kNoNeighbour) {
            return;
        }
        if (fb == kNoNeighbour) {
            rhs[fa] -= h * pinned[pin_of(b)];
        } else {
            triplets_.emplace_back(fa, fb, h);
        }
    };
    for (std::size_t i = 0; i < chart.faces.size(); ++i) {
        const std::uint32_t f = chart.faces[i];
        const std::uint32_t c[3] = {chart.corner_vertex[3 * i], chart.corner_vertex[3 * i + 1],
                                    chart.corner_vertex[3 * i + 2]};
        const bool has_area = geometry.area[f] > geometry.area_floor;
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t a = c[(k + 1) % 3], b = c[(k + 2) % 3], o = c[k];
            if (a == b) {
                continue;
            }
            double w = kSmoothing;
            if (has_area) {
                double e1[3], e2[3];
                for (int x = 0; x < 3; ++x) {
                    e1[x] = pos(a, x) - pos(o, x);
                    e2[x] = pos(b, x) - pos(o, x);
                }
                const double dot = e1[0] * e2[0] + e1[1] * e2[1] + e1[2] * e2[2];
                // Half the cotangent of the angle at o.
                w += 0.5 * dot / (2.0 * geometry.area[f]);
            }
            add(a, a, w);
            add(b, b, w);
            // Minus the signed area (u_a v_b - u_b v_a) / 2 of the edge
            // a -> b: K_ab = 1/2, K_ba = -1/2.
            const double k_ab = has_area ? 0.5 : 0.0;
            add(a, b, Complex(-w, k_ab));
            add(b, a, Complex(-w, -k_ab));
        }
    }
    if (nfree > 0) {
        Eigen::SparseMatrix<Complex> h(nfree, nfree);
        h.setFromTriplets(triplets_.begin(), triplets_.end());
        Eigen::SimplicialLDLT<Eigen::SparseMatrix<Complex>> solver(h);
        if (solver.info() != Eigen::Success) {
            return false;
        }
        const Eigen::VectorXcd z = solver.solve(rhs);
        if (solver.info() != Eigen::Success || !z.allFinite()) {
            return false;
        }
        for (std::uint32_t v = 0; v < nv; ++v) {
            if (free_index_[v] != kNoNeighbour) {
                uv[2 * v] = z[free_index_[v]].real();
                uv[2 * v + 1] = z[free_index_[v]].imag();
            }
        }
    }
    uv[2 * p0] = 0.0;
    uv[2 * p1] = dist;
    return true;
}

} // namespace vellumar::atlas

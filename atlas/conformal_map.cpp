#include "atlas/conformal_map.h"

#include <Eigen/SparseCholesky>

#include <cmath>

namespace vellumar::atlas {

namespace {

// Weight of the uniform smoothing beside the cotangent weights (which are
// dimensionless and of order one): small enough not to bend the map, large
// enough to make vertices touched only by flat triangles determined.
constexpr double kSmoothing = 1e-7;

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

    free_index_.assign(nv, 0);
    std::uint32_t nfree = 0;
    for (std::uint32_t v = 0; v < nv; ++v) {
        free_index_[v] = (v == p0 || v == p1) ? kNoNeighbour : nfree++;
    }
    const double pinned_u[2] = {0.0, dist};
    auto pin_of = [&](std::uint32_t v) { return v == p0 ? 0 : 1; };

    // Unknowns: u of the free vertices, then their v.
    triplets_.clear();
    Eigen::VectorXd rhs = Eigen::VectorXd::Zero(2 * static_cast<Eigen::Index>(nfree));
    // Adds q * x_a * x_b (both orderings) to the quadratic form 1/2 x^T Q x,
    // where x_a is coordinate ca (0 = u, 1 = v) of vertex a.
    auto add = [&](std::uint32_t a, int ca, std::uint32_t b, int cb, double q) {
        const std::uint32_t fa = free_index_[a], fb = free_index_[b];
        const Eigen::Index ia = fa == kNoNeighbour ? -1 : fa + ca * static_cast<Eigen::Index>(nfree);
        const Eigen::Index ib = fb == kNoNeighbour ? -1 : fb + cb * static_cast<Eigen::Index>(nfree);
        if (ia >= 0 && ib >= 0) {
            triplets_.emplace_back(ia, ib, q);
        } else if (ia >= 0) {
            // Pinned v coordinates are zero; only pinned u reaches the rhs.
            if (cb == 0) {
                rhs[ia] -= q * pinned_u[pin_of(b)];
            }
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
                w += 0.5 * dot / (2.0 * geometry.area[f]);
            }
            // Dirichlet term w (x_a - x_b)^2 / 2 for u and for v.
            for (int cc = 0; cc < 2; ++cc) {
                add(a, cc, a, cc, w);
                add(b, cc, b, cc, w);
                add(a, cc, b, cc, -w);
                add(b, cc, a, cc, -w);
            }
            if (has_area) {
                // Minus the signed area: -(u_a v_b - u_b v_a) / 2 for the
                // edge a -> b of the triangle, split over both orderings.
                add(a, 0, b, 1, -0.5);
                add(b, 1, a, 0, -0.5);
                add(b, 0, a, 1, 0.5);
                add(a, 1, b, 0, 0.5);
            }
        }
    }
    if (nfree > 0) {
        Eigen::SparseMatrix<double> q(2 * nfree, 2 * nfree);
        q.setFromTriplets(triplets_.begin(), triplets_.end());
        Eigen::SimplicialLDLT<Eigen::SparseMatrix<double>> solver(q);
        if (solver.info() != Eigen::Success) {
            return false;
        }
        const Eigen::VectorXd x = solver.solve(rhs);
        if (solver.info() != Eigen::Success || !x.allFinite()) {
            return false;
        }
        for (std::uint32_t v = 0; v < nv; ++v) {
            if (free_index_[v] != kNoNeighbour) {
                uv[2 * v] = x[free_index_[v]];
                uv[2 * v + 1] = x[free_index_[v] + nfree];
            }
        }
    }
    uv[2 * p0] = pinned_u[0];
    uv[2 * p1] = pinned_u[1];
    return true;
}

} // namespace vellumar::atlas

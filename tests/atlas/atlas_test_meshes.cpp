#include "atlas_test_meshes.h"

#include <cmath>
#include <functional>
#include <map>
#include <numbers>

namespace vellumar::atlas::testing {

std::unique_ptr<AtlasMesh> Shape::mesh() const {
    std::unique_ptr<AtlasMesh> m;
    create_mesh(static_cast<std::uint32_t>(indices.size() / 3),
                static_cast<std::uint32_t>(points.size()), &m);
    auto v = m->vertices();
    for (std::size_t i = 0; i < points.size(); ++i) {
        v[i] = {points[i][0], points[i][1], points[i][2], 0, 0};
    }
    std::copy(indices.begin(), indices.end(), m->indices().begin());
    return m;
}

std::vector<std::uint32_t> Shape::adjacency() const {
    std::vector<std::uint32_t> adj(indices.size());
    convert_point_reps_to_adjacency(*mesh(), {}, adj);
    return adj;
}

namespace {

using Surface = std::function<std::array<float, 3>(double, double)>;

// A parametric patch, welded by exact position so that closed shapes close.
Shape patch(int nu, int nv, const Surface& at, Shape shape = {}) {
    std::map<std::array<float, 3>, std::uint32_t> ids;
    for (auto& p : shape.points) {
        ids.emplace(p, static_cast<std::uint32_t>(&p - shape.points.data()));
    }
    auto id = [&](int i, int j) {
        const auto p = at(double(i) / nu, double(j) / nv);
        auto [it, fresh] = ids.try_emplace(p, static_cast<std::uint32_t>(shape.points.size()));
        if (fresh) {
            shape.points.push_back(p);
        }
        return it->second;
    };
    for (int j = 0; j < nv; ++j) {
        for (int i = 0; i < nu; ++i) {
            const std::uint32_t a = id(i, j), b = id(i + 1, j), c = id(i + 1, j + 1),
                                d = id(i, j + 1);
            for (auto [x, y, z] : {std::array{a, b, c}, std::array{a, c, d}}) {
                if (x != y && y != z && z != x) {
                    shape.indices.insert(shape.indices.end(), {x, y, z});
                }
            }
        }
    }
    return shape;
}

} // namespace

Shape plane_grid(int n) {
    return patch(n, n, [](double u, double v) {
        return std::array<float, 3>{float(u), float(v), 0.0f};
    });
}

Shape cube(int n) {
    Shape s;
    for (int axis = 0; axis < 3; ++axis) {
        for (int side = 0; side < 2; ++side) {
            s = patch(
                n, n,
                [&](double u, double v) {
                    std::array<float, 3> p{};
                    p[axis] = float(side);
                    p[(axis + 1) % 3] = float(side ? u : v);
                    p[(axis + 2) % 3] = float(side ? v : u);
                    return p;
                },
                std::move(s));
        }
    }
    return s;
}

Shape open_cylinder(int around, int up) {
    return patch(around, up, [](double u, double v) {
        const double a = 2 * std::numbers::pi * u;
        return std::array<float, 3>{float(std::cos(a)), float(std::sin(a)), float(2 * v)};
    });
}

Shape sphere(int around, int up) {
    return patch(around, up, [](double u, double v) {
        if (v == 0 || v == 1) {
            return std::array<float, 3>{0.0f, 0.0f, v == 0 ? -1.0f : 1.0f};
        }
        const double a = 2 * std::numbers::pi * u, b = std::numbers::pi * v;
        return std::array<float, 3>{float(std::sin(b) * std::cos(a)),
                                    float(std::sin(b) * std::sin(a)), float(-std::cos(b))};
    });
}

Shape folded_sheet(int folds) {
    // Each fold turns the sheet by nearly 180 degrees, so no single flat
    // chart can hold two neighbouring panels.
    return patch(4 * folds, 4, [folds](double u, double v) {
        const double x = u * folds;
        const double panel = std::floor(x);
        const double t = x - panel;
        const double z = (static_cast<int>(panel) % 2 == 0) ? t : 1 - t;
        return std::array<float, 3>{float(0.05 * x), float(v), float(z)};
    });
}

Shape with_degenerate_triangles() {
    Shape s = plane_grid(3);
    // Square a b c d beside the grid, split at m, the middle of its
    // diagonal a-c: (a, c, m) has no area but closes the T-junction.
    const std::uint32_t base = static_cast<std::uint32_t>(s.points.size());
    s.points.insert(s.points.end(), {{2.0f, 0.0f, 0.0f},
                                     {3.0f, 0.0f, 0.0f},
                                     {3.0f, 1.0f, 0.0f},
                                     {2.0f, 1.0f, 0.0f},
                                     {2.5f, 0.5f, 0.0f}});
    const std::uint32_t a = base, b = base + 1, c = base + 2, d = base + 3, m = base + 4;
    s.indices.insert(s.indices.end(), {a, b, c, a, c, m, m, c, d, a, m, d});
    // A triangle whose three corners coincide, on its own.
    const std::uint32_t e = static_cast<std::uint32_t>(s.points.size());
    s.points.insert(s.points.end(), {{5.0f, 5.0f, 0.0f}, {5.0f, 5.0f, 0.0f}, {5.0f, 5.0f, 0.0f}});
    s.indices.insert(s.indices.end(), {e, e + 1, e + 2});
    return s;
}

Shape non_manifold_fin() {
    Shape s;
    s.points = {{0, 0, 0}, {1, 0, 0}, {0.5f, 1, 0}, {0.5f, -1, 0}, {0.5f, 0, 1}};
    s.indices = {0, 1, 2, 1, 0, 3, 0, 1, 4};
    return s;
}

} // namespace vellumar::atlas::testing

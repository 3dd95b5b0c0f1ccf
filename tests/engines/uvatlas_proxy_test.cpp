#include "atlas/mesh.h"
#include "engines/uvatlasProxy.h"
#include "support/test_host.h"
#include "unwrap/proxy_exception.h"

#include "../atlas/atlas_test_meshes.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vatlas = vellumar::atlas;
namespace shapes = vellumar::atlas::testing;

namespace {

AtlasMeshPtr mesh_of(std::uint32_t vertices, std::vector<std::uint32_t> indices) {
    AtlasMeshPtr m;
    vatlas::create_mesh(static_cast<std::uint32_t>(indices.size() / 3), vertices, &m);
    std::copy(indices.begin(), indices.end(), m->indices().begin());
    return m;
}

UvAtlasProxy proxy(std::uint32_t charts = 0, float stretch = 0.16667f, std::uint32_t w = 1024,
                   std::uint32_t h = 1024, int gutter = 4) {
    UvAtlasProxy p;
    p.init(nullptr, charts, stretch, w, h, gutter, false);
    return p;
}

struct Atlas {
    AtlasMeshPtr mesh;
    std::vector<std::uint32_t> remap;
};

Atlas organic(UvAtlasProxy& p, const shapes::Shape& shape,
              std::vector<std::uint32_t> false_edges = {}, bool triangles_only = true) {
    Atlas a;
    auto mesh = shape.mesh();
    const auto adjacency = shape.adjacency();
    const auto copy = false_edges;
    p.create_atlas(*mesh, a.mesh, a.remap, {}, adjacency, false_edges, copy, triangles_only);
    return a;
}

} // namespace

TEST(UvAtlasProxy, QualityChoosesTheLibrarysEffortOption) {
    UvAtlasProxy p;
    p.init(nullptr, 0, 0.1f, 512, 256, 3, false);
    EXPECT_EQ(p.options(), 1u);
    EXPECT_FLOAT_EQ(p.gutter(), 3.0f);
    p.init(nullptr, 0, 0.1f, 512, 256, 3, true);
    EXPECT_EQ(p.options(), 2u);
}

TEST(UvAtlasProxy, ChartsAreAdjacencyComponentsNumberedFromOneByLowestTriangle) {
    // Two triangles over a shared edge, named neighbours or not.
    auto mesh = mesh_of(4, {0, 1, 2, 2, 1, 3});
    const std::uint32_t none = vatlas::kNoNeighbour;
    EXPECT_EQ(UvAtlasProxy::charts_from_adjacency(
                  *mesh, std::vector<std::uint32_t>{none, 1, none, 0, none, none}),
              (std::vector<std::uint32_t>{1, 1}));
    EXPECT_EQ(UvAtlasProxy::charts_from_adjacency(*mesh, std::vector<std::uint32_t>(6, none)),
              (std::vector<std::uint32_t>{1, 2}));
}

TEST(UvAtlasProxy, AVertexSharedByThreeChartsEndsAsThreeVerticesWithCopiesAtTheEnd) {
    auto mesh = mesh_of(7, {0, 1, 2, 0, 3, 4, 0, 5, 6});
    mesh->vertices()[0] = {9, 8, 7, 0.5f, 0.25f};
    UvAtlasProxy::split_shared_vertices(mesh, std::vector<std::uint32_t>{1, 2, 3});
    ASSERT_EQ(mesh->vertex_count(), 9u);
    const auto idx = mesh->indices();
    EXPECT_EQ(idx[0], 0u) << "the first chart keeps the vertex";
    EXPECT_EQ(idx[3], 7u);
    EXPECT_EQ(idx[6], 8u);
    EXPECT_EQ(mesh->vertices()[8].x, 9.0f);
    EXPECT_EQ(mesh->vertices()[8].v, 0.25f);
    EXPECT_EQ(idx[4], 3u) << "vertices of one chart stay as they were";
}

TEST(UvAtlasProxy, PackingTooManyChartsFailsWithTheSpaceMessage) {
    // 1,000 separate unit triangles into 16 x 16 with a gutter of 4.
    std::vector<std::uint32_t> idx;
    for (std::uint32_t i = 0; i < 3000; ++i) {
        idx.push_back(i);
    }
    auto mesh = mesh_of(3000, idx);
    for (std::uint32_t t = 0; t < 1000; ++t) {
        mesh->vertices()[3 * t + 1].u = 1;
        mesh->vertices()[3 * t + 2].v = 1;
    }
    std::vector<std::uint32_t> charts(1000);
    for (std::uint32_t t = 0; t < 1000; ++t) {
        charts[t] = t + 1;
    }
    UvAtlasProxy p = proxy(0, 0.16667f, 16, 16, 4);
    EXPECT_EQ(message_of([&] { p.pack(mesh, {}, {}, charts, false); }),
              "Packing was not possible due to an encountered error. Most likely the settings for "
              "width, height and padding do not provide enough space to place all UV charts");
}

TEST(UvAtlasProxy, GutterBorderLeavesHalfTheGutterAroundANonSquareAtlas) {
    auto mesh = mesh_of(2, {});
    mesh->vertices()[0].u = 0;
    mesh->vertices()[1].u = 1;
    const UvAtlasProxy p = proxy(0, 0.1f, 1024, 512, 4);
    EXPECT_TRUE(p.gutter_border(mesh.get()));
    EXPECT_FLOAT_EQ(mesh->vertices()[0].u, 4.0f / 2048);
    EXPECT_FLOAT_EQ(mesh->vertices()[1].u, 1 - 4.0f / 512 + 4.0f / 2048);
    EXPECT_FALSE(p.aspect_fit(nullptr));
    EXPECT_FALSE(p.gutter_border(nullptr));
    EXPECT_FALSE(p.aspect_stretch(nullptr));
}

TEST(UvAtlasProxy, AtlasFailuresCarryTheirOwnMessages) {
    UvAtlasProxy limited = proxy(1);
    const std::string few = message_of([&] { organic(limited, shapes::cube(2)); });
    ASSERT_EQ(few.rfind("Minimum number of charts is ", 0), 0u) << few;
    EXPECT_GT(std::stoi(few.substr(28)), 1);

    // Stretch 0 alone always succeeds here (single triangles are flat); an
    // atlas with no room for the charts cannot.
    UvAtlasProxy cramped = proxy(0, 0.0f, 4, 4, 2);
    EXPECT_EQ(message_of([&] { organic(cramped, shapes::sphere(16, 8)); }),
              "Unwrapping not possible. Try increasing the allowed stretch or the texture size.");

    UvAtlasProxy any = proxy();
    EXPECT_EQ(message_of([&] { organic(any, shapes::non_manifold_fin()); }), "Non-manifold mesh!");
}

TEST(UvAtlasProxy, OrganicAtlasKeepsFalseEdgesInsideChartsAndTheTrianglesInOrder) {
    const shapes::Shape grid = shapes::plane_grid(4);
    // Every quad's two triangles joined by a false edge.
    const auto adjacency = grid.adjacency();
    std::vector<std::uint32_t> false_edges(adjacency.size(), vatlas::kNoNeighbour);
    for (std::size_t f = 0; f + 1 < grid.indices.size() / 3; f += 2) {
        for (std::size_t k = 0; k < 3; ++k) {
            if (adjacency[3 * f + k] == f + 1) {
                false_edges[3 * f + k] = static_cast<std::uint32_t>(f + 1);
            }
            if (adjacency[3 * (f + 1) + k] == f) {
                false_edges[3 * (f + 1) + k] = static_cast<std::uint32_t>(f);
            }
        }
    }
    UvAtlasProxy p = proxy();
    const Atlas a = organic(p, grid, false_edges, false);
    ASSERT_EQ(a.mesh->face_count(), grid.indices.size() / 3);
    for (std::size_t i = 0; i < grid.indices.size(); ++i) {
        EXPECT_EQ(a.remap[a.mesh->indices()[i]], grid.indices[i]) << "corner " << i;
    }
    for (const auto& v : a.mesh->vertices()) {
        EXPECT_GE(v.u, 0.0f);
        EXPECT_LE(v.u, 1.0f);
        EXPECT_GE(v.v, 0.0f);
        EXPECT_LE(v.v, 1.0f);
    }
    EXPECT_GE(p.charts_out(), 1u);
    // The two halves of every quad share their diagonal's UV vertices.
    const auto out = a.mesh->indices();
    for (std::size_t f = 0; f + 1 < grid.indices.size() / 3; f += 2) {
        int shared = 0;
        for (std::size_t i = 0; i < 3; ++i) {
            for (std::size_t j = 0; j < 3; ++j) {
                shared += out[3 * f + i] == out[3 * (f + 1) + j] ? 1 : 0;
            }
        }
        EXPECT_EQ(shared, 2) << "quad " << f / 2;
    }
}

TEST(RepairFalseEdgePolygons, DissolvesRingsAndKeepsDiscs) {
    // A square ring around a hole, made of 8 triangles joined by false
    // edges all the way round, and beside it a quad (a disc).
    //   outer 0..3, inner 4..7, quad 8..11
    const std::vector<std::uint32_t> idx = {0, 1, 5, 0, 5, 4, 1, 2, 6, 1, 6, 5,  2, 3,  7,
                                            2, 7, 6, 3, 0, 4, 3, 4, 7, 8, 9, 10, 8, 10, 11};
    auto mesh = mesh_of(12, idx);
    std::vector<std::uint32_t> adjacency(idx.size());
    vatlas::convert_point_reps_to_adjacency(*mesh, {}, adjacency);
    std::vector<std::uint32_t> false_edges = adjacency; // every shared edge is inside a polygon
    repair_false_edge_polygons(idx, false_edges);
    for (std::size_t i = 0; i < 24; ++i) {
        EXPECT_EQ(false_edges[i], vatlas::kNoNeighbour) << "the ring falls apart";
    }
    EXPECT_EQ(std::count(false_edges.begin() + 24, false_edges.end(), 9u), 1);
    EXPECT_EQ(std::count(false_edges.begin() + 24, false_edges.end(), 8u), 1);
}

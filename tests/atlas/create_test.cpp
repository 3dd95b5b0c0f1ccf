#include "atlas/create.h"

#include "atlas_checks.h"
#include "atlas_test_meshes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <numbers>
#include <string>

using namespace vellumar::atlas;
using namespace vellumar::atlas::testing;

namespace {

AtlasOptions small_atlas(float gutter = 3.0f) {
    AtlasOptions o;
    o.width = 256;
    o.height = 256;
    o.gutter = gutter;
    return o;
}

struct Outcome {
    Status status;
    AtlasResult result;
};

Outcome atlas_of(const Shape& shape, const AtlasOptions& options,
                 std::span<const std::uint32_t> false_edges = {}) {
    Outcome run;
    const auto mesh = shape.mesh();
    const auto adjacency = shape.adjacency();
    run.status = create_atlas(*mesh, adjacency, false_edges, options, nullptr, 0.1f, &run.result);
    return run;
}

// Index of the corner pair (f, k) of the triangle across each face edge
// that names the same two vertices.
std::map<std::pair<std::uint32_t, std::uint32_t>, std::vector<std::uint32_t>>
slots_by_edge(const Shape& s) {
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::vector<std::uint32_t>> edges;
    for (std::uint32_t slot = 0; slot < s.indices.size(); ++slot) {
        const std::uint32_t a = s.indices[slot], b = s.indices[slot / 3 * 3 + (slot + 1) % 3];
        edges[std::minmax(a, b)].push_back(slot);
    }
    return edges;
}

// Output vertex at the input vertex `v` of triangle f.
std::uint32_t output_vertex(const Shape& s, const AtlasResult& r, std::uint32_t f,
                            std::uint32_t v) {
    for (int k = 0; k < 3; ++k) {
        if (s.indices[3 * f + k] == v) {
            return r.mesh->indices()[3 * f + k];
        }
    }
    return kNoNeighbour;
}

struct NamedShape {
    std::string name;
    Shape shape;
};

class CreateAtlasOnShape : public ::testing::TestWithParam<int> {
  public:
    static NamedShape shape(int i) {
        switch (i) {
        case 0:
            return {"plane_grid", plane_grid(8)};
        case 1:
            return {"cube", cube(3)};
        case 2:
            return {"open_cylinder", open_cylinder(24, 6)};
        case 3:
            return {"sphere", sphere(24, 12)};
        case 4:
            return {"folded_sheet", folded_sheet(5)};
        default:
            return {"with_degenerate_triangles", with_degenerate_triangles()};
        }
    }
};

} // namespace

TEST_P(CreateAtlasOnShape, GivesAFaithfulValidAtlasWithinTheStretchLimit) {
    const NamedShape named = shape(GetParam());
    SCOPED_TRACE(named.name);
    const AtlasOptions options = small_atlas();
    Outcome run = atlas_of(named.shape, options);
    ASSERT_EQ(run.status, Status::Ok);
    const auto input = named.shape.mesh();
    expect_faithful_output(*input, run.result);
    expect_valid_layout(*run.result.mesh, run.result.face_partition, options.width, options.height,
                        options.gutter);
    const double limit = 1.0 / (1.0 - options.max_stretch);
    EXPECT_LE(max_chart_stretch_squared(*run.result.mesh, run.result.face_partition), limit * 1.01);
    EXPECT_LE(run.result.stretch_out, options.max_stretch + 1e-5f);
}

INSTANTIATE_TEST_SUITE_P(Shapes, CreateAtlasOnShape, ::testing::Range(0, 6), [](const auto& info) {
    return CreateAtlasOnShape::shape(info.param).name;
});

TEST(CreateAtlas, CutsClosedAndBentShapesButKeepsAFlatSheetWhole) {
    EXPECT_EQ(atlas_of(plane_grid(6), small_atlas()).result.charts_out, 1u);
    EXPECT_GE(atlas_of(sphere(16, 8), small_atlas()).result.charts_out, 2u);
    // A sheet folded four times back on itself cannot lie flat in one piece.
    EXPECT_GE(atlas_of(folded_sheet(4), small_atlas()).result.charts_out, 2u);
}

// A flat U lies flat in one piece, but alone in the atlas it leaves its
// bay empty: cut in two, its halves pack into more of the square.
TEST(CreateAtlas, CutsAChartWhoseBayWouldStayEmpty) {
    const Shape grid = plane_grid(16);
    Shape u = grid;
    u.indices.clear();
    for (std::size_t t = 0; t < grid.indices.size(); t += 3) {
        float cx = 0, cy = 0;
        for (int k = 0; k < 3; ++k) {
            cx += grid.points[grid.indices[t + k]][0] / 3;
            cy += grid.points[grid.indices[t + k]][1] / 3;
        }
        if (cx < 0.2f || cx > 0.8f || cy < 0.2f) {
            u.indices.insert(u.indices.end(), grid.indices.begin() + t,
                             grid.indices.begin() + t + 3);
        }
    }
    const AtlasOptions options = small_atlas();
    Outcome run = atlas_of(u, options);
    ASSERT_EQ(run.status, Status::Ok);
    EXPECT_GE(run.result.charts_out, 2u);
    expect_faithful_output(*u.mesh(), run.result);
    expect_valid_layout(*run.result.mesh, run.result.face_partition, options.width, options.height,
                        options.gutter);
    double covered = 0;
    for (std::uint32_t f = 0; f < run.result.mesh->face_count(); ++f) {
        covered += uv_area(*run.result.mesh, f);
    }
    // In one piece the U covers at most its share of the square it spans.
    EXPECT_GT(covered, double(u.indices.size()) / double(grid.indices.size()));

    // A cancel while the cut charts are packed still stops the run.
    int at_end = 0;
    const ProgressCallback cancel_late = [&](float f) { return f >= 1.0f && ++at_end > 1 ? 1 : 0; };
    AtlasResult cancelled;
    EXPECT_EQ(create_atlas(*u.mesh(), u.adjacency(), {}, options, cancel_late, 0.0f, &cancelled),
              Status::Failed);
    EXPECT_GT(at_end, 1);
}

TEST(CreateAtlas, KeepsGutterInANonSquareAtlas) {
    for (auto [w, h] : {std::pair{256u, 128u}, std::pair{96u, 256u}}) {
        AtlasOptions options = small_atlas(4.0f);
        options.width = w;
        options.height = h;
        Outcome run = atlas_of(cube(2), options);
        ASSERT_EQ(run.status, Status::Ok);
        expect_valid_layout(*run.result.mesh, run.result.face_partition, w, h, options.gutter);
    }
}

TEST(CreateAtlas, NeverCutsAlongFalseEdges) {
    // Mark each quad's diagonal of a cylinder (a tube must be cut somewhere)
    // as a false edge: every quad must stay in one chart, welded.
    const Shape s = open_cylinder(16, 4);
    const auto adjacency = s.adjacency();
    std::vector<std::uint32_t> false_edges(s.indices.size(), kNoNeighbour);
    // patch() emits (a, b, c), (a, c, d) per quad: edge 2 of the first and
    // edge 0 of the second are the diagonal.
    for (std::uint32_t q = 0; q < s.indices.size() / 6; ++q) {
        false_edges[6 * q + 2] = 2 * q + 1;
        false_edges[6 * q + 3] = 2 * q;
    }
    Outcome run = atlas_of(s, small_atlas(), false_edges);
    ASSERT_EQ(run.status, Status::Ok);
    for (std::uint32_t q = 0; q < s.indices.size() / 6; ++q) {
        ASSERT_EQ(adjacency[6 * q + 2], 2 * q + 1);
        EXPECT_EQ(run.result.face_partition[2 * q], run.result.face_partition[2 * q + 1]);
        const std::uint32_t a = s.indices[6 * q], c = s.indices[6 * q + 2];
        EXPECT_EQ(output_vertex(s, run.result, 2 * q, a),
                  output_vertex(s, run.result, 2 * q + 1, a));
        EXPECT_EQ(output_vertex(s, run.result, 2 * q, c),
                  output_vertex(s, run.result, 2 * q + 1, c));
    }
}

TEST(CreateAtlas, NeverJoinsAcrossAnEdgeTheAdjacencyCuts) {
    // Cut a flat grid along its middle column line; the two halves would
    // happily flatten as one chart, so only the cut can separate them.
    const Shape s = plane_grid(6);
    auto adjacency = s.adjacency();
    std::vector<std::uint32_t> cut_slots;
    for (const auto& [edge, slots] : slots_by_edge(s)) {
        const auto& p = s.points;
        if (slots.size() == 2 && p[edge.first][0] == 0.5f && p[edge.second][0] == 0.5f) {
            for (std::uint32_t slot : slots) {
                adjacency[slot] = kNoNeighbour;
                cut_slots.push_back(slot);
            }
        }
    }
    ASSERT_EQ(cut_slots.size(), 12u);
    const auto mesh = s.mesh();
    AtlasResult result;
    ASSERT_EQ(create_atlas(*mesh, adjacency, {}, small_atlas(), nullptr, 0.1f, &result),
              Status::Ok);
    expect_valid_layout(*result.mesh, result.face_partition, 256, 256, 3.0f);
    for (const auto& [edge, slots] : slots_by_edge(s)) {
        if (std::find(cut_slots.begin(), cut_slots.end(), slots[0]) == cut_slots.end()) {
            continue;
        }
        const std::uint32_t f = slots[0] / 3, g = slots[1] / 3;
        const bool same_a =
            output_vertex(s, result, f, edge.first) == output_vertex(s, result, g, edge.first);
        const bool same_b =
            output_vertex(s, result, f, edge.second) == output_vertex(s, result, g, edge.second);
        EXPECT_FALSE(same_a && same_b) << "joined across the cut between " << f << " and " << g;
    }
}

TEST(CreateAtlas, ReportsTheChartsNeededWhenTheLimitIsTooLow) {
    // A cube beside a separate sheet needs at least two charts; the count
    // reported on failure must be one the limit then accepts.
    Shape s = cube(2);
    const Shape sheet = plane_grid(2);
    const auto base = static_cast<std::uint32_t>(s.points.size());
    for (auto p : sheet.points) {
        p[2] += 3.0f;
        s.points.push_back(p);
    }
    for (std::uint32_t i : sheet.indices) {
        s.indices.push_back(base + i);
    }
    AtlasOptions limited = small_atlas();
    limited.max_charts = 1;
    Outcome failed_run = atlas_of(s, limited);
    EXPECT_EQ(failed_run.status, Status::Failed);
    EXPECT_EQ(failed_run.result.mesh, nullptr);
    const std::uint32_t needed = failed_run.result.charts_out;
    ASSERT_GE(needed, 2u);

    limited.max_charts = needed;
    Outcome ok_run = atlas_of(s, limited);
    ASSERT_EQ(ok_run.status, Status::Ok);
    EXPECT_LE(ok_run.result.charts_out, needed);
    expect_faithful_output(*s.mesh(), ok_run.result);
    expect_valid_layout(*ok_run.result.mesh, ok_run.result.face_partition, 256, 256,
                        limited.gutter);
}

TEST(CreateAtlas, UnfoldsEachSmallBoxOfAManyPartSceneIntoOneNet) {
    // Twenty small cubes beside a large sheet, as CAD scenes hold brackets
    // and bolts beside walls: a chart per cube side would cost a gutter
    // each, so every cube unfolds into one net without a chart limit.
    Shape s = plane_grid(4);
    for (auto& p : s.points) {
        p = {p[0] * 40.0f, p[1] * 40.0f, 0.0f};
    }
    const Shape box = cube(1);
    for (int i = 0; i < 20; ++i) {
        const std::uint32_t base = static_cast<std::uint32_t>(s.points.size());
        for (const auto& p : box.points) {
            s.points.push_back({p[0] + 2.0f * float(i), p[1], p[2] + 5.0f});
        }
        for (std::uint32_t v : box.indices) {
            s.indices.push_back(base + v);
        }
    }
    const AtlasOptions options = small_atlas();
    Outcome run = atlas_of(s, options);
    ASSERT_EQ(run.status, Status::Ok);
    EXPECT_EQ(run.result.charts_out, 21u);
    expect_faithful_output(*s.mesh(), run.result);
    expect_valid_layout(*run.result.mesh, run.result.face_partition, 256, 256, options.gutter);
}

TEST(CreateAtlas, UnfoldsAClosedBoxIntoFewerChartsWhenTheCountIsLimited) {
    // Joining along part of a border leaves cuts inside a chart: a cube can
    // then unfold into a cross instead of several strips, with the same
    // guarantees.
    const Shape s = cube(3);
    const std::uint32_t free_count = atlas_of(s, small_atlas()).result.charts_out;
    AtlasOptions limited = small_atlas();
    limited.max_charts = 64;
    Outcome run = atlas_of(s, limited);
    ASSERT_EQ(run.status, Status::Ok);
    EXPECT_LT(run.result.charts_out, free_count);
    expect_faithful_output(*s.mesh(), run.result);
    expect_valid_layout(*run.result.mesh, run.result.face_partition, 256, 256, limited.gutter);
    const double limit = 1.0 / (1.0 - limited.max_stretch);
    EXPECT_LE(max_chart_stretch_squared(*run.result.mesh, run.result.face_partition), limit * 1.01);
}

TEST(CreateAtlas, RejectsNonManifoldEdgesAndIndicesOutOfRange) {
    EXPECT_EQ(atlas_of(non_manifold_fin(), small_atlas()).status, Status::InvalidMesh);

    const Shape s = plane_grid(2);
    const auto mesh = s.mesh();
    const auto adjacency = s.adjacency();
    mesh->indices()[4] = mesh->vertex_count();
    AtlasResult result;
    EXPECT_EQ(create_atlas(*mesh, adjacency, {}, small_atlas(), nullptr, 0.1f, &result),
              Status::InvalidMesh);
    EXPECT_EQ(create_atlas(*mesh, std::span(adjacency).first(3), {}, small_atlas(), nullptr, 0.1f,
                           &result),
              Status::InvalidCall);
}

TEST(CreateAtlas, GivesTrianglesWithoutAreaUVsInsideTheirChart) {
    const Shape s = with_degenerate_triangles();
    Outcome run = atlas_of(s, small_atlas());
    ASSERT_EQ(run.status, Status::Ok);
    const AtlasMesh& out = *run.result.mesh;
    // The collinear triangle (a, c, m), fourth from the end: its UV corners
    // must lie on the UV segment a-c, as its corners do in 3D.
    const std::uint32_t f = static_cast<std::uint32_t>(s.indices.size() / 3) - 4;
    const auto ix = out.indices();
    const AtlasVertex& a = out.vertices()[ix[3 * f]];
    const AtlasVertex& c = out.vertices()[ix[3 * f + 1]];
    const AtlasVertex& m = out.vertices()[ix[3 * f + 2]];
    EXPECT_NEAR(m.u, 0.5f * (a.u + c.u), 1e-3f);
    EXPECT_NEAR(m.v, 0.5f * (a.v + c.v), 1e-3f);
}

// CAD exports put triangles with two corners on one vertex along the edges
// of real ones: they must neither make the edge non-manifold nor cost a
// chart, and the layout of the surface must not change at all.
TEST(CreateAtlas, LetsTrianglesWithoutAreaRideAlongWithoutChangingTheLayout) {
    const Shape clean = sphere(16, 8);
    Shape shipped = clean;
    shipped.indices.clear();
    std::vector<std::uint32_t> clean_face_of;
    for (std::uint32_t f = 0; f < clean.indices.size() / 3; ++f) {
        const std::uint32_t* c = &clean.indices[3 * f];
        shipped.indices.insert(shipped.indices.end(), c, c + 3);
        clean_face_of.push_back(f);
        if (f % 5 == 0) {
            shipped.indices.insert(shipped.indices.end(), {c[f % 2], c[0], c[1]});
            clean_face_of.push_back(kNoNeighbour);
        }
    }
    // And one on its own, far from everything.
    const std::uint32_t e = static_cast<std::uint32_t>(shipped.points.size());
    shipped.points.insert(shipped.points.end(), {{9, 9, 9}, {9, 9, 10}});
    shipped.indices.insert(shipped.indices.end(), {e, e, e + 1});
    clean_face_of.push_back(kNoNeighbour);

    const AtlasOptions options = small_atlas();
    Outcome before = atlas_of(clean, options), after = atlas_of(shipped, options);
    ASSERT_EQ(before.status, Status::Ok);
    ASSERT_EQ(after.status, Status::Ok);
    EXPECT_EQ(after.result.charts_out, before.result.charts_out);
    expect_faithful_output(*shipped.mesh(), after.result);
    expect_valid_layout(*after.result.mesh, after.result.face_partition, options.width,
                        options.height, options.gutter);
    const auto uv = [](const AtlasResult& r, std::uint32_t f, int k) {
        const AtlasVertex& p = r.mesh->vertices()[r.mesh->indices()[3 * f + k]];
        return std::pair{p.u, p.v};
    };
    for (std::uint32_t f = 0; f < clean_face_of.size(); ++f) {
        for (int k = 0; k < 3 && clean_face_of[f] != kNoNeighbour; ++k) {
            ASSERT_EQ(uv(after.result, f, k), uv(before.result, clean_face_of[f], k));
        }
    }
}

// A round cap far smaller than a texel, written as one polygon fanned from a
// corner of its outline (as CAD exports write railing profiles): its
// slivers must come out unflipped though the polygon cannot be split.
TEST(CreateAtlas, GivesAPolygonFarSmallerThanATexelAnUnflippedLayout) {
    for (const float radius : {1e-3f, 1e-5f}) {
        SCOPED_TRACE(radius);
        Shape s = plane_grid(4);
        const std::uint32_t base = static_cast<std::uint32_t>(s.points.size());
        const int n = 100;
        for (int i = 0; i < n; ++i) {
            const double a = 2 * std::numbers::pi * i / n;
            s.points.push_back({radius * float(std::cos(a)), radius * float(std::sin(a)), 0.5f});
        }
        std::vector<std::uint32_t> false_edges(s.indices.size(), kNoNeighbour);
        const std::uint32_t first = static_cast<std::uint32_t>(s.indices.size() / 3);
        for (std::uint32_t i = 1; i + 1 < n; ++i) {
            s.indices.insert(s.indices.end(), {base, base + i, base + i + 1});
            // Edges 0 -> i and i + 1 -> 0 lie inside the polygon.
            const std::uint32_t f = first + i - 1;
            false_edges.insert(false_edges.end(), {i > 1 ? f - 1 : kNoNeighbour, kNoNeighbour,
                                                   i + 2 < n ? f + 1 : kNoNeighbour});
        }
        const AtlasOptions options = small_atlas();
        Outcome run = atlas_of(s, options, false_edges);
        ASSERT_EQ(run.status, Status::Ok);
        expect_faithful_output(*s.mesh(), run.result);
        expect_valid_layout(*run.result.mesh, run.result.face_partition, options.width,
                            options.height, options.gutter);
    }
}

TEST(CreateAtlas, GivesTheSameOutputForTheSameInput) {
    const Shape s = sphere(20, 10);
    Outcome first = atlas_of(s, small_atlas());
    Outcome second = atlas_of(s, small_atlas());
    ASSERT_EQ(first.status, Status::Ok);
    ASSERT_EQ(second.status, Status::Ok);
    ASSERT_EQ(first.result.mesh->vertex_count(), second.result.mesh->vertex_count());
    EXPECT_EQ(first.result.vertex_remap, second.result.vertex_remap);
    EXPECT_EQ(first.result.face_partition, second.result.face_partition);
    const auto a = first.result.mesh->vertices();
    const auto b = second.result.mesh->vertices();
    EXPECT_EQ(0, std::memcmp(a.data(), b.data(), a.size_bytes()));
    EXPECT_TRUE(std::equal(first.result.mesh->indices().begin(), first.result.mesh->indices().end(),
                           second.result.mesh->indices().begin()));
}

TEST(CreateAtlas, ReportsProgressInOrderAndStopsWhenCancelled) {
    const Shape s = sphere(16, 8);
    const auto mesh = s.mesh();
    const auto adjacency = s.adjacency();
    std::vector<float> seen;
    ProgressCallback record = [&](float f) {
        seen.push_back(f);
        return 0;
    };
    AtlasResult result;
    ASSERT_EQ(create_atlas(*mesh, adjacency, {}, small_atlas(), record, 0.1f, &result), Status::Ok);
    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_FLOAT_EQ(seen.back(), 1.0f);

    int calls = 0;
    ProgressCallback cancel = [&](float) { return ++calls >= 2 ? 1 : 0; };
    AtlasResult cancelled;
    EXPECT_EQ(create_atlas(*mesh, adjacency, {}, small_atlas(), cancel, 0.1f, &cancelled),
              Status::Failed);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(cancelled.mesh, nullptr);
}

TEST(CreateAtlas, FailsWhenTheChartsCannotFitTheAtlas) {
    AtlasOptions tiny = small_atlas(4.0f);
    tiny.width = 16;
    tiny.height = 16;
    // Many separate triangles: each needs its own texels plus the gutter.
    Shape s;
    for (std::uint32_t i = 0; i < 200; ++i) {
        const float x = float(i) * 2;
        s.points.insert(s.points.end(), {{x, 0, 0}, {x + 1, 0, 0}, {x, 1, 0}});
        s.indices.insert(s.indices.end(), {3 * i, 3 * i + 1, 3 * i + 2});
    }
    // So many that no layout could hold them: the run gives up before it
    // flattens anything, whatever the size of the mesh.
    float furthest = 0;
    ProgressCallback watch = [&](float f) {
        furthest = std::max(furthest, f);
        return 0;
    };
    const auto mesh = s.mesh();
    const auto adjacency = s.adjacency();
    AtlasResult result;
    EXPECT_EQ(create_atlas(*mesh, adjacency, {}, tiny, watch, 0.0f, &result), Status::Failed);
    EXPECT_LE(furthest, 0.05f);
    // Where they could fit, the same triangles pack.
    tiny.gutter = 0;
    tiny.width = tiny.height = 64;
    EXPECT_EQ(atlas_of(s, tiny).status, Status::Ok);
}

TEST(CreateAtlas, KeepsTheSameGuaranteesInQualityMode) {
    for (const Shape& s : {cube(3), sphere(20, 10), folded_sheet(4)}) {
        AtlasOptions options = small_atlas();
        options.quality = true;
        Outcome run = atlas_of(s, options);
        ASSERT_EQ(run.status, Status::Ok);
        expect_faithful_output(*s.mesh(), run.result);
        expect_valid_layout(*run.result.mesh, run.result.face_partition, options.width,
                            options.height, options.gutter);
    }
}

TEST(CreateAtlas, JoinsAcrossSplitVerticesWhenPointRepresentativesSaySo) {
    // A flat quad whose diagonal uses different copies of its two vertices
    // (a seam of some other channel): point representatives join them.
    Shape s;
    s.points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    s.indices = {0, 1, 2, 3, 4, 5};
    const auto mesh = s.mesh();
    std::vector<std::uint32_t> reps = {0, 1, 2, 0, 2, 5};
    std::vector<std::uint32_t> adjacency(6);
    ASSERT_EQ(convert_point_reps_to_adjacency(*mesh, reps, adjacency), Status::Ok);
    AtlasResult result;
    ASSERT_EQ(create_atlas(*mesh, adjacency, {}, small_atlas(), nullptr, 0.1f, &result),
              Status::Ok);
    expect_faithful_output(*mesh, result);
    EXPECT_EQ(result.charts_out, 1u);
    // Each input copy keeps an output vertex of its own, at the same UV.
    const auto v = result.mesh->vertices();
    const auto ix = result.mesh->indices();
    EXPECT_NE(ix[0], ix[3]);
    EXPECT_EQ(v[ix[0]].u, v[ix[3]].u);
    EXPECT_EQ(v[ix[0]].v, v[ix[3]].v);
    EXPECT_EQ(v[ix[2]].u, v[ix[4]].u);
    EXPECT_EQ(v[ix[2]].v, v[ix[4]].v);
}

TEST(CreateAtlas, NeverJoinsNeighboursWoundTheOtherWay) {
    // The second triangle runs the shared edge 0-2 in the same direction as
    // the first: joined, one of them would have to flip in UV.
    Shape s;
    s.points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    s.indices = {0, 1, 2, 0, 2, 3};
    std::swap(s.indices[4], s.indices[5]);
    Outcome run = atlas_of(s, small_atlas());
    ASSERT_EQ(run.status, Status::Ok);
    EXPECT_EQ(run.result.charts_out, 2u);
    expect_faithful_output(*s.mesh(), run.result);
}

#include "atlas/mesh.h"

#include <gtest/gtest.h>

using namespace vellumar::atlas;

namespace {

std::unique_ptr<AtlasMesh> mesh_of(std::uint32_t vertex_count,
                                   std::initializer_list<std::uint32_t> indices) {
    std::unique_ptr<AtlasMesh> mesh;
    EXPECT_EQ(create_mesh(static_cast<std::uint32_t>(indices.size() / 3), vertex_count, &mesh),
              Status::Ok);
    std::copy(indices.begin(), indices.end(), mesh->indices().begin());
    return mesh;
}

} // namespace

TEST(CreateMesh, RejectsMeshesWithoutVertices) {
    std::unique_ptr<AtlasMesh> mesh;
    EXPECT_EQ(create_mesh(1, 0, &mesh), Status::InvalidCall);
    EXPECT_EQ(mesh, nullptr);
    ASSERT_EQ(create_mesh(0, 3, &mesh), Status::Ok);
    EXPECT_EQ(mesh->face_count(), 0u);
}

TEST(ConvertPointRepsToAdjacency, PairsTrianglesSharingAnEdgeInEitherDirection) {
    // Quad 0-1-2-3 split on 0-2; a third triangle shares 2-3 with the same
    // winding as the second one (inconsistent orientation still counts).
    auto mesh = mesh_of(5, {0, 1, 2, 0, 2, 3, 2, 3, 4});
    std::vector<std::uint32_t> adj(9);
    ASSERT_EQ(convert_point_reps_to_adjacency(*mesh, {}, adj), Status::Ok);
    const std::vector<std::uint32_t> expected = {
        kNoNeighbour, kNoNeighbour, 1, 0, 2, kNoNeighbour, 1, kNoNeighbour, kNoNeighbour};
    EXPECT_EQ(adj, expected);
}

TEST(ConvertPointRepsToAdjacency, PairsTwoTrianglesOfANonManifoldEdgePreferringOppositeWinding) {
    auto mesh = mesh_of(5, {0, 1, 2, 1, 0, 3, 0, 1, 4});
    std::vector<std::uint32_t> adj(9);
    ASSERT_EQ(convert_point_reps_to_adjacency(*mesh, {}, adj), Status::Ok);
    EXPECT_EQ(adj[0], 1u);
    EXPECT_EQ(adj[3], 0u);
    EXPECT_EQ(adj[6], kNoNeighbour);

    // A surface doubled on itself: both copies keep their own neighbours.
    auto doubled = mesh_of(6, {0, 1, 2, 1, 0, 3, 0, 1, 4, 1, 0, 5});
    std::vector<std::uint32_t> adj4(12);
    ASSERT_EQ(convert_point_reps_to_adjacency(*doubled, {}, adj4), Status::Ok);
    EXPECT_EQ(adj4[0], 1u);
    EXPECT_EQ(adj4[3], 0u);
    EXPECT_EQ(adj4[6], 3u);
    EXPECT_EQ(adj4[9], 2u);
}

TEST(ConvertPointRepsToAdjacency, EdgeKindsPairAPolygonsDiagonalBeforeAnyStrayFace) {
    // A quad's halves (triangles 0 and 2, diagonal 0-2 marked as inner) with
    // a stray triangle between them lying along the diagonal.
    auto mesh = mesh_of(5, {2, 0, 1, 0, 2, 4, 0, 2, 3});
    const std::vector<std::uint8_t> kinds = {1, 0, 0, 0, 0, 0, 1, 0, 0};
    std::vector<std::uint32_t> adj(9);
    ASSERT_EQ(convert_point_reps_to_adjacency(*mesh, {}, kinds, adj), Status::Ok);
    EXPECT_EQ(adj[0], 2u);
    EXPECT_EQ(adj[6], 0u);
    EXPECT_EQ(adj[3], kNoNeighbour);
    ASSERT_EQ(convert_point_reps_to_adjacency(*mesh, {}, adj), Status::Ok);
    EXPECT_EQ(adj[0], 1u) << "without kinds the nearer stray face takes the diagonal";
}

TEST(ConvertPointRepsToAdjacency, UsesRepresentativesToJoinSplitVertices) {
    // Two triangles whose shared edge uses different vertex copies.
    auto mesh = mesh_of(6, {0, 1, 2, 3, 4, 5});
    std::vector<std::uint32_t> reps = {0, 1, 2, 2, 1, 5};
    std::vector<std::uint32_t> adj(6);
    ASSERT_EQ(convert_point_reps_to_adjacency(*mesh, reps, adj), Status::Ok);
    EXPECT_EQ(adj[1], 1u);
    EXPECT_EQ(adj[3], 0u);
}

TEST(ConvertPointRepsToAdjacency, RejectsIndicesOutOfRangeAndDegenerateEdgesHaveNoNeighbour) {
    auto bad = mesh_of(3, {0, 1, 7});
    std::vector<std::uint32_t> adj(3);
    EXPECT_EQ(convert_point_reps_to_adjacency(*bad, {}, adj), Status::InvalidMesh);

    // The folded triangle names edge 0-1 twice; its half that runs opposite
    // to triangle 1 becomes the neighbour, the other half has none.
    auto folded = mesh_of(3, {0, 0, 1, 0, 1, 2});
    std::vector<std::uint32_t> adj2(6);
    ASSERT_EQ(convert_point_reps_to_adjacency(*folded, {}, adj2), Status::Ok);
    EXPECT_EQ(adj2[0], kNoNeighbour);
    EXPECT_EQ(adj2[1], kNoNeighbour);
    EXPECT_EQ(adj2[2], 1u);
    EXPECT_EQ(adj2[3], 0u);
}

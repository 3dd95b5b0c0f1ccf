#include "standalone/scene/non_mesh_objects.h"
#include "support/test_host.h"
#include "unwrap/distribute.h"
#include "unwrap/proxy_exception.h"

TEST(DistributeFixed, BalancesLargestFirstAndPrefersTheLaterOfEqualWeights) {
    std::vector<UnwrapResult> results(4);
    const std::vector<float> weights = {5, 4, 3, 3};
    const auto a = distribute_fixed(results, weights, 2);
    EXPECT_EQ(a, (std::vector<std::int32_t>{0, 1, 0, 1}));
    EXPECT_EQ(results[3].map_index, 1);
    EXPECT_EQ(results[2].map_index, 0);
}

TEST(DistributeFixed, MoreMapsThanObjectsGivesEachObjectItsOwnMapAndZeroAreasShareMapZero) {
    std::vector<UnwrapResult> results(2);
    EXPECT_EQ(distribute_fixed(results, std::vector<float>{1, 2}, 3),
              (std::vector<std::int32_t>{1, 0}));
    EXPECT_EQ(distribute_fixed(results, std::vector<float>{0, 0}, 2),
              (std::vector<std::int32_t>{0, 0}));
    EXPECT_TRUE(distribute_fixed(results, std::vector<float>{}, 2).empty());
}

TEST_F(HostTest, SetsGiveOneMapEachAndAnObjectInTwoChosenSetsStopsTheRun) {
    SceneNode* a = add_node(L"a", box_tri_object(true));
    SceneNode* b = add_node(L"b", box_tri_object(true));
    SceneNode* light = add_node(L"light", new LightObject);
    core.scene().AddNamedSelSet(L"A", {a, light});
    core.scene().AddNamedSelSet(L"B", {b});
    core.scene().AddNamedSelSet(L"AB", {a, b});

    std::vector<std::wstring> chosen = {L"B", L"gone", L"A", L"lights"};
    core.scene().AddNamedSelSet(L"lights", {light});
    clean_chosen_sets(chosen, true, 0);
    EXPECT_EQ(chosen, (std::vector<std::wstring>{L"B", L"A"}))
        << "vanished sets and sets without a mesh member are dropped";
    EXPECT_EQ(nodes_of_chosen_sets(chosen, 0), (std::vector<INode*>{b, a}));

    std::vector<UnwrapResult> results(2);
    const auto assignment = distribute_by_sets(results, {{b, 0}, {a, 1}}, chosen, 0);
    EXPECT_EQ(assignment, (std::vector<std::int32_t>{0, 1}));
    EXPECT_EQ(results[1].map_index, 1);

    std::vector<std::wstring> overlapping = {L"A", L"AB"};
    std::vector<UnwrapResult> three(3); // the node list held `a` twice
    try {
        distribute_by_sets(three, {{a, 0}, {b, 2}}, overlapping, 0);
        FAIL();
    } catch (const Proxy_Exception& e) {
        EXPECT_EQ(e.message().rfind("Cannot assign objects in selection sets. At least one "
                                    "object was found in multiple selected sets.",
                                    0),
                  0u);
    }
}

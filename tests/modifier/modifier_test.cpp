#include "modifier/info_text.h"
#include "modifier/unwrap_groups.h"
#include "modifier/vellumar_modifier.h"
#include "standalone/scene/node_ops.h"
#include "support/test_host.h"

namespace {

// A result whose set holds `vertices` UV vertices and the given face indices.
UnwrapResult result_of(int channel, std::uint32_t vertices, std::vector<std::uint32_t> indices,
                       int map_index = 0, int map_count = 1) {
    UnwrapResult r;
    r.target_channel = static_cast<std::uint32_t>(channel);
    r.map_index = map_index;
    r.map_count = static_cast<std::uint32_t>(map_count);
    r.record.vertex_count = vertices;
    for (std::uint32_t i = 0; i < vertices; ++i) {
        r.record.uvs.emplace_back(static_cast<float>(i), 0.5f, 0.0f);
    }
    r.record.index_count = static_cast<std::uint32_t>(indices.size());
    r.record.indices = std::move(indices);
    return r;
}

std::vector<std::uint32_t> cube_indices() {
    std::vector<std::uint32_t> idx;
    for (std::uint32_t f = 0; f < 12; ++f) {
        idx.insert(idx.end(), {(3 * f) % 8, (3 * f + 1) % 8, (3 * f + 2) % 8});
    }
    return idx;
}

class ModifierTest : public HostTest {
  protected:
    // A box node carrying a fresh VellumarModifier on its stack.
    SceneNode* box_with_modifier(const std::wstring& name, Object* obj = nullptr) {
        SceneNode* node = add_node(name, obj != nullptr ? obj : box_tri_object(true));
        auto* mod = static_cast<VellumarModifier*>(
            core.CreateInstance(OSM_CLASS_ID, VELLUMAR_MODIFIER_CLASS_ID));
        IDerivedObject* derived = CreateDerivedObject(node->GetObjectRef());
        derived->AddModifier(mod);
        node->SetObjectRef(derived);
        return node;
    }
    static VellumarModifier* mod_of(INode* node) { return FindVellumarModifier(node); }
    static const UnwrapUVSet& only_set(INode* node) {
        const auto keys = mod_of(node)->GetGroupKeys();
        EXPECT_EQ(keys.size(), 1u);
        return *mod_of(node)->FindUVSet(*keys.begin());
    }
};

int refreshes = 0;
void count_refresh() {
    ++refreshes;
}

} // namespace

TEST_F(ModifierTest, AddingASetOnAChannelInUseReplacesTheOlderSetOnlyThere) {
    VellumarModifier mod;
    mod.AddUVSet(10, "a", result_of(3, 8, cube_indices()));
    mod.AddUVSet(20, "b", result_of(4, 8, cube_indices()));
    EXPECT_EQ(mod.GetGroupKeys(), (std::set<std::uint64_t>{10, 20}));
    mod.AddUVSet(30, "c", result_of(3, 8, cube_indices()));
    EXPECT_EQ(mod.GetGroupKeys(), (std::set<std::uint64_t>{20, 30}));
    EXPECT_EQ(mod.FindUVSet(30)->sourceKey, 0u);
    EXPECT_TRUE(mod.RemoveUVSet(20));
    EXPECT_FALSE(mod.RemoveUVSet(30));
    EXPECT_FALSE(mod.RemoveUVSet(30)) << "removing an absent key changes nothing";
}

TEST_F(ModifierTest, EvaluationWritesEachSetIntoItsChannelUnlessTheFacesChanged) {
    SceneNode* node = box_with_modifier(L"box");
    mod_of(node)->AddUVSet(1, "g", result_of(2, 8, cube_indices()));
    const Mesh& out = static_cast<TriObject*>(node->EvalWorldState(0).obj)->mesh;
    ASSERT_TRUE(out.mapSupport(2));
    EXPECT_EQ(out.getNumMapVerts(2), 8);
    EXPECT_EQ(out.mapFaces(2)[11].t[2], (3u * 11 + 2) % 8);
    EXPECT_FLOAT_EQ(out.mapVerts(2)[5].x, 5.0f);

    // The object beneath lost a face since: channel 2 is switched on but
    // gets nothing from the set.
    auto* base = static_cast<TriObject*>(node->GetObjectRef()->FindBaseObject());
    base->mesh.setNumFaces(11);
    const Mesh& changed = static_cast<TriObject*>(node->EvalWorldState(0).obj)->mesh;
    EXPECT_TRUE(changed.mapSupport(2));
    EXPECT_EQ(changed.getNumMapVerts(2), 0);

    // Suspended: nothing is written at all.
    base->mesh.setNumFaces(12);
    mod_of(node)->SetApplySuspended(true);
    EXPECT_FALSE(static_cast<TriObject*>(node->EvalWorldState(0).obj)->mesh.mapSupport(2));
}

TEST_F(ModifierTest, PolygonsWithRepeatedCornersTakeOneUvPerVertexAndKeepTheChannelWhole) {
    // A quad whose last corner repeats the first vertex is a triangle, so
    // the set holds one triangle for it; a face at a single vertex (no
    // area, no triangle) still gets map corners in range.
    auto* poly = new PolyObject;
    for (const Point3& p : {Point3(0, 0, 0), Point3(1, 0, 0), Point3(1, 1, 0)}) {
        poly->mm.v.push_back(MNVert{p});
    }
    MNFace quad;
    quad.vtx = {0, 1, 2, 0};
    quad.visedg.assign(4, true);
    poly->mm.f.push_back(quad);
    MNFace point;
    point.vtx = {2, 2, 2};
    point.visedg.assign(3, true);
    poly->mm.f.push_back(point);
    poly->mm.FillInMesh();
    SceneNode* node = box_with_modifier(L"poly", poly);
    mod_of(node)->AddUVSet(1, "g", result_of(1, 3, {2, 0, 1}));
    const auto* out = static_cast<PolyObject*>(node->EvalWorldState(0).obj);
    ASSERT_TRUE(out->mm.MapSupported(1));
    EXPECT_EQ(out->mm.M(1)->f[0].tv, (std::vector<int>{2, 0, 1, 2}))
        << "both corners on vertex 0 get its one UV";
    EXPECT_EQ(out->mm.M(1)->f[1].tv.size(), 3u);

    // Fewer indices than the triangles need: left alone.
    mod_of(node)->AddUVSet(2, "h", result_of(2, 3, {0, 1}));
    const auto* again = static_cast<PolyObject*>(node->EvalWorldState(0).obj);
    EXPECT_FALSE(again->mm.MNum() > 2 && !again->mm.M(2)->f.empty());
}

TEST_F(ModifierTest, AModifierWithoutSetsLeavesTheObjectAsItWas) {
    SceneNode* node = box_with_modifier(L"box");
    const Mesh& out = static_cast<TriObject*>(node->EvalWorldState(0).obj)->mesh;
    EXPECT_EQ(out.getNumFaces(), 12);
    EXPECT_FALSE(out.mapSupport(1));
}

TEST_F(ModifierTest, InfoTextListsEverySetInKeyOrder) {
    VellumarModifier mod;
    EXPECT_EQ(InfoText(mod), "");
    mod.AddUVSet(7, "Tables", result_of(3, 4, {0, 1, 2}, 1, 2));
    mod.AddUVSet(5, "Chairs", result_of(2, 1200, {0, 1, 2}, 0, 3));
    EXPECT_EQ(InfoText(mod), "Chairs\r\nmap channel: 2\r\n1200 vertices in map 1/3\r\n\r\n"
                             "Tables\r\nmap channel: 3\r\n4 vertices in map 2/2\r\n\r\n");
}

TEST_F(ModifierTest, CopiesOfAGroupsMembersJoinOneNewGroupButACopiedSetNeverJoinsItsOwnCopy) {
    SceneNode* a = box_with_modifier(L"a");
    SceneNode* b = box_with_modifier(L"b");
    mod_of(a)->AddUVSet(100, "Chair", result_of(1, 8, cube_indices()));
    mod_of(b)->AddUVSet(100, "Chair", result_of(1, 8, cube_indices()));

    SceneNode* a1 = CloneNode(core.scene(), a, L"a1");
    const UnwrapUVSet& a1_set = only_set(a1);
    const std::uint64_t a1_key = *mod_of(a1)->GetGroupKeys().begin();
    EXPECT_NE(a1_key, 100u);
    EXPECT_EQ(a1_set.groupName, "Chair001");
    EXPECT_EQ(a1_set.sourceKey, 100u);
    EXPECT_EQ(a1_set.stamp, only_set(a).stamp);

    SceneNode* b1 = CloneNode(core.scene(), b, L"b1");
    EXPECT_EQ(*mod_of(b1)->GetGroupKeys().begin(), a1_key) << "b's copy joins a's copy";
    EXPECT_EQ(only_set(b1).groupName, "Chair001");

    SceneNode* a2 = CloneNode(core.scene(), a, L"a2");
    const std::uint64_t a2_key = *mod_of(a2)->GetGroupKeys().begin();
    EXPECT_NE(a2_key, a1_key) << "a second copy of a starts a group of its own";
    EXPECT_NE(a2_key, 100u);
    EXPECT_EQ(only_set(a2).groupName, "Chair002");
    EXPECT_EQ(CollectUnwrapGroups().size(), 3u);
}

TEST_F(ModifierTest, UniqueGroupNamesCountOnFromTheTrailingNumber) {
    SceneNode* node = box_with_modifier(L"n");
    mod_of(node)->AddUVSet(1, "Chair008", result_of(1, 8, cube_indices()));
    EXPECT_EQ(MakeUniqueGroupName("Chair"), "Chair001");
    EXPECT_EQ(MakeUniqueGroupName("Chair007"), "Chair009") << "Chair008 is taken";
    EXPECT_EQ(MakeUniqueGroupName(""), "001");
    EXPECT_EQ(MakeUniqueGroupName("Group999"), "Group1000");
    EXPECT_EQ(MakeUniqueGroupName("Big99999999999999999999999"), "Big001")
        << "a number too long to read counts as none";
}

TEST_F(ModifierTest, GroupQueriesTellNodesWithoutModifierFromNodesWithoutTheGroup) {
    SceneNode* plain = add_node(L"plain", box_tri_object(true));
    SceneNode* other = box_with_modifier(L"other");
    SceneNode* member = box_with_modifier(L"member");
    mod_of(other)->AddUVSet(5, "x", result_of(3, 8, cube_indices()));
    mod_of(member)->AddUVSet(9, "y", result_of(4, 8, cube_indices(), 2, 3));
    EXPECT_EQ(NodeMapChannel(plain, 9), 1);
    EXPECT_EQ(NodeMapCount(plain, 9), 1);
    EXPECT_EQ(NodeMapChannel(other, 9), 0);
    EXPECT_EQ(NodeMapCount(other, 9), 0);
    EXPECT_EQ(NodeMapIndex(other, 9), 0);
    EXPECT_EQ(NodeMapChannel(member, 9), 4);
    EXPECT_EQ(NodeMapIndex(member, 9), 2);
    EXPECT_EQ(NodeMapCount(member, 9), 3);
    ASSERT_EQ(ScanNodes(9).size(), 1u);
    EXPECT_EQ(ScanNodes(9)[0].node, member);
    EXPECT_EQ(ScanNodes().size(), 2u);
}

TEST_F(ModifierTest, RemovingAGroupDeletesModifiersLeftEmptyAndDeletionsRefreshTheGroupList) {
    refreshes = 0;
    SetUnwrapGroupListRefresh(count_refresh);
    SceneNode* a = box_with_modifier(L"a");
    SceneNode* b = box_with_modifier(L"b");
    mod_of(a)->AddUVSet(1, "one", result_of(1, 8, cube_indices()));
    mod_of(b)->AddUVSet(1, "one", result_of(1, 8, cube_indices()));
    mod_of(b)->AddUVSet(2, "two", result_of(2, 8, cube_indices()));

    EXPECT_EQ(RemoveUnwrapGroup(1), 2);
    EXPECT_EQ(mod_of(a), nullptr) << "a's modifier held nothing else";
    EXPECT_EQ(a->GetObjectRef()->ClassID(), triObjectClassID) << "the empty stack went too";
    ASSERT_NE(mod_of(b), nullptr);
    EXPECT_EQ(mod_of(b)->GetGroupKeys(), (std::set<std::uint64_t>{2}));
    EXPECT_GE(refreshes, 1);

    refreshes = 0;
    core.DeleteNode(b);
    EXPECT_EQ(refreshes, 1) << "deleting a node with our modifier refreshes once";
    SceneNode* c = add_node(L"c", box_tri_object(true));
    core.DeleteNode(c);
    EXPECT_EQ(refreshes, 1) << "other nodes do not";

    SceneNode* d = box_with_modifier(L"d");
    mod_of(d)->AddUVSet(3, "three", result_of(1, 8, cube_indices()));
    CollapseStack(d, 0);
    EXPECT_EQ(refreshes, 2);
    EXPECT_EQ(FindVellumarModifier(d), nullptr);
    EXPECT_TRUE(static_cast<TriObject*>(d->GetObjectRef())->mesh.mapSupport(1))
        << "the collapsed object keeps the UVs the modifier wrote";
    SetUnwrapGroupListRefresh(nullptr);
}

TEST_F(ModifierTest, GroupScansReachNodesFarDownADeepHierarchyInChildOrder) {
    // Each node the only child of the one before: deeper than the stack
    // holds frames of a recursive walk.
    constexpr int kDepth = 300000;
    SceneNode* root = static_cast<SceneNode*>(core.GetRootNode());
    SceneNode* parent = nullptr;
    for (int i = 0; i < kDepth; ++i) {
        SceneNode* node = core.scene().CreateNode(L"n", nullptr);
        if (parent != nullptr) {
            root->DetachChild(node);
            parent->AttachChild(node);
        }
        parent = node;
    }
    SceneNode* deepest = box_with_modifier(L"deepest");
    root->DetachChild(deepest);
    parent->AttachChild(deepest);
    SceneNode* sibling = box_with_modifier(L"sibling");
    mod_of(deepest)->AddUVSet(7, "deep", result_of(1, 8, cube_indices()));
    mod_of(sibling)->AddUVSet(7, "deep", result_of(1, 8, cube_indices()));
    const std::vector<ScannedNode> members = ScanNodes(7);
    ASSERT_EQ(members.size(), 2u);
    EXPECT_EQ(members[0].node, deepest) << "the chain comes before the root's later children";
    EXPECT_EQ(members[1].node, sibling);
    EXPECT_EQ(CollectUnwrapGroups().size(), 1u);
}

#include "bake/bake_run.h"
#include "bake/baked_materials.h"
#include "bake_test_scene.h"
#include "host/iparamb2.h"
#include "modifier/unwrap_groups.h"
#include "standalone/materials/bitmap_texture.h"
#include "standalone/materials/double_sided.h"
#include "standalone/materials/shell_material.h"
#include "standalone/materials/standard_material.h"
#include "standalone/render/bake_elements.h"
#include "support/temp_folder.h"
#include "support/test_host.h"
#include "test_renderer.h"
#include "unwrap/unwrapper.h"

#include <boost/filesystem.hpp>

namespace {

namespace fs = boost::filesystem;

StandardMaterial* named_material(const std::wstring& name) {
    auto* mtl = new StandardMaterial;
    mtl->SetName(name);
    return mtl;
}

std::wstring map_name(Mtl* mtl, int slot) {
    auto* bitmap = dynamic_cast<BitmapTex*>(mtl != nullptr ? mtl->GetSubTexmap(slot) : nullptr);
    return bitmap != nullptr ? bitmap->GetMapName() : L"";
}

int filled_slots(Mtl* mtl) {
    int n = 0;
    for (int i = 0; i < mtl->NumSubTexmaps(); ++i) {
        n += mtl->GetSubTexmap(i) != nullptr ? 1 : 0;
    }
    return n;
}

int shell_index(Mtl* shell, int which) {
    return shell->GetParamBlock(0)->GetInt(static_cast<ParamID>(which));
}

class BakedMaterialsTest : public HostTest {
  protected:
    BakedMaterialsTest() : renderer(core) {
        settings().outpath = fs::path(folder.file("x")).parent_path().string();
        settings().base_unwrap = UvCopy;
        settings().source_channel = 1;
        settings().channel = 2;
        settings().create_shell = false;
    }
    ~BakedMaterialsTest() override { settings().elements.clear(); }

    BakeElementEntry& add_entry(const std::string& file, const std::string& slot,
                                const std::string& cls = "DiffuseMap") {
        BakeElementEntry e = OutputEntry(cls, file, 16, 8);
        e.slot = slot;
        settings().elements.push_back(e);
        return settings().elements.back();
    }
    std::uint64_t unwrap(const std::string& group, int count, int maps = 1) {
        return UnwrapBoxes(core, nodes, group, count, maps);
    }
    std::string host_path(const std::string& name) const {
        return settings().outpath + "\\" + name;
    }
    std::vector<std::string> notifications() const { return Notifications(core); }

    TempFolder folder;
    TestRenderer renderer;
    std::vector<SceneNode*> nodes;
};

} // namespace

TEST_F(BakedMaterialsTest, TwoEntriesInTwoSlotsFillOneMaterialThatEveryObjectOfTheMapWears) {
    add_entry("Diffuse.png", "Diffuse Color");
    add_entry("Normals.png", "Bump", "NormalsMap").parameters.clear();
    add_entry("Unused.png", "NONE");
    const std::uint64_t key = unwrap("Props", 2);
    nodes[0]->SetMtl(named_material(L"Wood"));
    ASSERT_TRUE(Bake(key)) << settings().last_message;

    Mtl* baked = nodes[0]->GetMtl();
    ASSERT_NE(baked, nullptr);
    EXPECT_EQ(nodes[1]->GetMtl(), baked);
    EXPECT_EQ(baked->ClassID(), standardMaterialClassID);
    EXPECT_EQ(baked->GetName(), L"VL_Wood");
    EXPECT_EQ(filled_slots(baked), 2) << "the entry without a slot gives no texture";
    EXPECT_EQ(map_name(baked, ID_DI), Utf8ToWide(host_path("Props_Diffuse.png")));
    EXPECT_EQ(map_name(baked, ID_BU), Utf8ToWide(host_path("Props_Normals.png")));
    EXPECT_EQ(baked->GetSubTexmap(ID_DI)->GetName(), L"Props_Diffuse");
    EXPECT_EQ(baked->GetSubTexmap(ID_DI)->GetMapChannel(), 2) << "the group's channel";
    EXPECT_TRUE(baked->TestMtlFlag(MTL_TEX_DISPLAY_ENABLED));
    EXPECT_EQ(static_cast<StdMat*>(baked)->GetSelfIllum(0), 0.0f);
    EXPECT_TRUE(notifications().empty());
}

TEST_F(BakedMaterialsTest, TwoMapsGetTwoMaterialsNamedAfterTheFirstObjectOfEachMap) {
    add_entry("Diffuse.png", "Diffuse Color");
    settings().add_self_illumination = true;
    const std::uint64_t key = unwrap("Props", 4, 2);
    for (SceneNode* n : nodes) {
        n->SetMtl(named_material(L"M" + std::wstring(n->GetName())));
    }
    std::vector<SceneNode*> first(2, nullptr);
    for (SceneNode* n : nodes) {
        const int k = NodeMapIndex(n, key);
        ASSERT_TRUE(k == 0 || k == 1);
        if (first[k] == nullptr) {
            first[k] = n;
        }
    }
    ASSERT_NE(first[1], nullptr);
    const std::wstring names[2] = {L"VL_M" + std::wstring(first[0]->GetName()),
                                   L"VL_M" + std::wstring(first[1]->GetName())};
    ASSERT_TRUE(Bake(key));

    Mtl* of_map[2] = {first[0]->GetMtl(), first[1]->GetMtl()};
    ASSERT_NE(of_map[0], of_map[1]);
    for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(of_map[k]->GetName(), names[k]);
        EXPECT_EQ(map_name(of_map[k], ID_DI),
                  Utf8ToWide(host_path("Props_Diffuse_" + std::to_string(k) + ".png")));
        EXPECT_EQ(static_cast<StdMat*>(of_map[k])->GetSelfIllum(0), 1.0f);
    }
    for (SceneNode* n : nodes) {
        EXPECT_EQ(n->GetMtl(), of_map[NodeMapIndex(n, key)]) << WideToUtf8(n->GetName());
    }
}

TEST_F(BakedMaterialsTest, FrameRangesWriteImageFileListsByteForByte) {
    add_entry("Diffuse.png", "Diffuse Color");
    const std::uint64_t key = unwrap("Props", 1);
    settings().bakerange = true;
    settings().bakerangefrom = 0;
    settings().bakerangeto = 10;
    ASSERT_TRUE(Bake(key));
    const std::string eleven =
        "Props_Diffuse_0000.png\nProps_Diffuse_0001.png\nProps_Diffuse_0002.png\n"
        "Props_Diffuse_0003.png\nProps_Diffuse_0004.png\nProps_Diffuse_0005.png\n"
        "Props_Diffuse_0006.png\nProps_Diffuse_0007.png\nProps_Diffuse_0008.png\n"
        "Props_Diffuse_0009.png\nProps_Diffuse_0010.png\n";
    EXPECT_EQ(read_text(folder.file("Props_Diffuse.ifl")), eleven);
    EXPECT_EQ(map_name(nodes[0]->GetMtl(), ID_DI), Utf8ToWide(host_path("Props_Diffuse.ifl")));
    EXPECT_EQ(nodes[0]->GetMtl()->GetSubTexmap(ID_DI)->GetName(), L"Props_Diffuse");

    ASSERT_TRUE(Bake(key));
    EXPECT_EQ(read_text(folder.file("Props_Diffuse.ifl")), eleven)
        << "baking the range again gives the same list, not a longer one";

    // A range that starts later holds its first image until it starts.
    settings().bakerangefrom = 5;
    settings().bakerangeto = 7;
    settings().add_group_name_to_textures = false;
    ASSERT_TRUE(Bake(key));
    EXPECT_EQ(read_text(folder.file("Diffuse.ifl")),
              "Diffuse_0005.png 6\nDiffuse_0006.png\nDiffuse_0007.png\n");
    EXPECT_EQ(ImageListLine("C:\\out\\Diffuse_1.png", 5), "Diffuse_1_0005.png 6");
    EXPECT_EQ(ImageListLine("Diffuse", 6), "Diffuse_0006");
}

TEST_F(BakedMaterialsTest, AShellWrapsTheOriginalAndAnObjectWearingAShellGetsANewShellAroundIt) {
    add_entry("Diffuse.png", "Diffuse Color");
    settings().create_shell = true;
    const std::uint64_t key = unwrap("Props", 2);
    StandardMaterial* wood = named_material(L"Wood");
    nodes[0]->SetMtl(wood);
    const int redraws = core.redraws();
    ASSERT_TRUE(Bake(key));
    EXPECT_GE(core.redraws() - redraws, 3);

    Mtl* shell = nodes[0]->GetMtl();
    ASSERT_TRUE(IsShell(shell));
    EXPECT_EQ(shell->GetName(), L"VL_Wood");
    EXPECT_EQ(shell->GetSubMtl(0), wood);
    Mtl* baked = shell->GetSubMtl(1);
    ASSERT_NE(baked, nullptr);
    EXPECT_EQ(baked->GetName(), L"VL_Wood");
    EXPECT_EQ(map_name(baked, ID_DI), Utf8ToWide(host_path("Props_Diffuse.png")));
    EXPECT_EQ(shell_index(shell, kShellViewport), 1);
    EXPECT_EQ(shell_index(shell, kShellRender), 1);
    // Each object its own shell around the map's one baked material; an
    // object with no material keeps "nothing" as its original.
    Mtl* bare = nodes[1]->GetMtl();
    ASSERT_TRUE(IsShell(bare));
    EXPECT_NE(bare, shell);
    EXPECT_EQ(bare->GetSubMtl(0), nullptr);
    EXPECT_EQ(bare->GetSubMtl(1), baked);

    ASSERT_TRUE(Bake(key));
    Mtl* outer = nodes[0]->GetMtl();
    ASSERT_TRUE(IsShell(outer));
    EXPECT_EQ(outer->GetSubMtl(0), shell) << "the old shell becomes the original";
    EXPECT_EQ(shell->GetSubMtl(0), wood);
    ASSERT_NE(outer->GetSubMtl(1), baked) << "a new baked material";
    EXPECT_EQ(outer->GetSubMtl(1)->GetName(), L"VL_VL_Wood");
    EXPECT_EQ(nodes[1]->GetMtl()->GetSubMtl(0), bare);
}

TEST_F(BakedMaterialsTest, OverwriteReplacesTheMaterialAndAMissingSlotLeavesTheMaterialBare) {
    add_entry("Diffuse.png", "Glow");
    const std::uint64_t key = unwrap("Props", 2);
    nodes[1]->SetMtl(named_material(L"Stone"));
    ASSERT_TRUE(Bake(key));
    Mtl* baked = nodes[0]->GetMtl();
    ASSERT_NE(baked, nullptr);
    EXPECT_FALSE(IsShell(baked));
    EXPECT_EQ(nodes[1]->GetMtl(), baked) << "the Stone material is gone";
    EXPECT_EQ(baked->GetName(), L"VL_Material") << "the first object had no material";
    EXPECT_EQ(filled_slots(baked), 0);
    EXPECT_FALSE(baked->TestMtlFlag(MTL_TEX_DISPLAY_ENABLED));
    EXPECT_TRUE(notifications().empty());
}

TEST_F(BakedMaterialsTest, AMissingTargetClassFallsBackToStandardAndSaysSoOncePerBake) {
    add_entry("Diffuse.png", "Diffuse Color");
    for (BakeParam& p : add_entry("Normals.png", "Bump", "NormalsMap").parameters) {
        if (p.name == "Output into Normal Bump") {
            p.flagValue = 1;
        }
    }
    settings().target_material = "Velvet";
    settings().bakerange = true;
    settings().bakerangefrom = 1;
    settings().bakerangeto = 3;
    const std::uint64_t key = unwrap("Props", 1);
    ASSERT_TRUE(Bake(key));
    EXPECT_EQ(notifications(),
              (std::vector<std::string>{"Material class Velvet not found. The baked textures go "
                                        "into Standard materials instead."}));
    ASSERT_NE(nodes[0]->GetMtl(), nullptr);
    EXPECT_EQ(nodes[0]->GetMtl()->ClassID(), standardMaterialClassID);
    Texmap* bump = nodes[0]->GetMtl()->GetSubTexmap(ID_BU);
    ASSERT_NE(bump, nullptr);
    EXPECT_EQ(bump->ClassID(), normalBumpClassID);
    EXPECT_EQ(dynamic_cast<BitmapTex*>(bump->GetSubTexmap(0))->GetMapName(),
              Utf8ToWide(host_path("Props_Normals.ifl")));

    // Without a slot nothing needs a material class.
    core.ClearMessages();
    nodes[0]->SetMtl(nullptr);
    ResetSlots();
    ASSERT_TRUE(Bake(key));
    EXPECT_TRUE(notifications().empty());
    EXPECT_EQ(nodes[0]->GetMtl(), nullptr);
}

TEST_F(BakedMaterialsTest, AFailedBakeLeavesEveryMaterialAsItWas) {
    add_entry("Diffuse.png", "Diffuse Color");
    settings().create_shell = true;
    const std::uint64_t key = unwrap("Props", 1);
    StandardMaterial* wood = named_material(L"Wood");
    nodes[0]->SetMtl(wood);
    settings().bakerange = true;
    settings().bakerangefrom = 0;
    settings().bakerangeto = 2;
    renderer.failOnCall = 2;
    MaterialAssigner assigner;
    EXPECT_FALSE(Bake(key, assigner));
    EXPECT_EQ(nodes[0]->GetMtl(), wood);
    EXPECT_TRUE(assigner.ObjectMaterials().empty());

    // Frames gathered by hand and then left: the next bake starts afresh.
    renderer.failOnCall = 0;
    assigner.AssignBakedMaterials(GroupObjects(key), key, 1, settings().elements,
                                  FindMaterialClass("Standard"), 0, "Stale");
    ASSERT_EQ(assigner.ObjectMaterials().size(), 1u);
    ASSERT_TRUE(Bake(key, assigner));
    ASSERT_TRUE(IsShell(nodes[0]->GetMtl()));
    EXPECT_EQ(nodes[0]->GetMtl()->GetSubMtl(0), wood);
    EXPECT_EQ(map_name(nodes[0]->GetMtl()->GetSubMtl(1), ID_DI),
              Utf8ToWide(host_path("Props_Diffuse.ifl")));
}

TEST_F(BakedMaterialsTest, ShellIndicesAndClearingShellsKeepBakedOrSource) {
    add_entry("Diffuse.png", "Diffuse Color");
    settings().create_shell = true;
    const std::uint64_t key = unwrap("Props", 3);
    StandardMaterial* wood = named_material(L"Wood");
    nodes[0]->SetMtl(wood);
    ASSERT_TRUE(Bake(key));
    Mtl* shells[3] = {nodes[0]->GetMtl(), nodes[1]->GetMtl(), nodes[2]->GetMtl()};
    Mtl* baked = shells[0]->GetSubMtl(1);
    SceneNode* plain = add_node(L"plain", box_tri_object(true));
    Mtl* stone = named_material(L"Stone");
    plain->SetMtl(stone);

    const std::vector<INode*> all{nodes[0], nodes[1], plain};
    int redraws = core.redraws();
    EXPECT_EQ(SetShellIndex(all, kShellViewport, 0), 2);
    EXPECT_EQ(core.redraws() - redraws, 1);
    EXPECT_EQ(shell_index(shells[0], kShellViewport), 0);
    EXPECT_EQ(shell_index(shells[0], kShellRender), 1);
    EXPECT_EQ(SetShellIndex(all, kShellRender, 0), 2);
    EXPECT_EQ(shell_index(shells[1], kShellRender), 0);
    EXPECT_EQ(shell_index(shells[2], kShellRender), 1) << "not among the objects";
    redraws = core.redraws();
    EXPECT_EQ(SetShellIndex(all, 2, 1), 0);
    EXPECT_EQ(SetShellIndex(all, kShellRender, 2), 0);
    EXPECT_EQ(shell_index(shells[1], kShellRender), 0);
    EXPECT_EQ(core.redraws(), redraws) << "refused outright";

    select({nodes[0], plain});
    EXPECT_EQ(ClearShells(false), 1);
    EXPECT_EQ(nodes[0]->GetMtl(), wood);
    EXPECT_EQ(plain->GetMtl(), stone);
    EXPECT_EQ(nodes[1]->GetMtl(), shells[1]) << "not selected";
    select({nodes[1], nodes[2]});
    EXPECT_EQ(ClearShells(true), 2);
    EXPECT_EQ(nodes[1]->GetMtl(), baked);
    EXPECT_EQ(nodes[2]->GetMtl(), baked);
    EXPECT_EQ(ClearShells(true), 0) << "nothing left to clear";
}

TEST_F(BakedMaterialsTest, SlotsAreFilledAndNamedThroughSubMaterialsDepthFirst) {
    auto* sides = new DoubleSidedMaterial;
    sides->IncRef();
    StandardMaterial* front = named_material(L"front");
    StandardMaterial* back = named_material(L"back");
    sides->SetSubMtl(0, front);
    sides->SetSubMtl(1, back);
    auto* taken = new BitmapTexture;
    back->SetSubTexmap(ID_DI, taken);

    auto* texture = new BitmapTexture;
    texture->IncRef();
    PutTextureInSlot(sides, texture, "Diffuse Color");
    EXPECT_EQ(front->GetSubTexmap(ID_DI), texture);
    EXPECT_EQ(back->GetSubTexmap(ID_DI), taken) << "an occupied slot stays";
    EXPECT_TRUE(front->TestMtlFlag(MTL_TEX_DISPLAY_ENABLED));
    EXPECT_TRUE(back->TestMtlFlag(MTL_TEX_DISPLAY_ENABLED));
    EXPECT_FALSE(sides->TestMtlFlag(MTL_TEX_DISPLAY_ENABLED)) << "it has no such slot";

    const std::vector<std::string> names = CollectSlotNames(sides);
    ASSERT_EQ(names.size(), 24u);
    EXPECT_EQ(names[0], "Ambient Color");
    EXPECT_EQ(names[11], "Displacement");
    EXPECT_EQ(names[13], "Diffuse Color") << "the back's names follow, duplicates kept";
    EXPECT_TRUE(CollectSlotNames(nullptr).empty());
    texture->DecRef();
    sides->DecRef();
}

TEST_F(BakedMaterialsTest, TheFirstTwoMaterialClassesAreNeverTargets) {
    const std::vector<ClassDesc*> offered = TargetMaterialClasses();
    ASSERT_EQ(offered.size(), 2u);
    EXPECT_EQ(offered[0]->ClassID(), standardMaterialClassID);
    EXPECT_EQ(offered[1]->ClassID(), doubleSidedClassID);
    EXPECT_EQ(FindMaterialClass("Standard"), offered[0]);
    EXPECT_EQ(FindMaterialClass("Shell Material"), nullptr);
    EXPECT_EQ(FindMaterialClass("Multimaterial"), nullptr);
    EXPECT_EQ(FindMaterialClass("standard"), nullptr);

    add_entry("Diffuse.png", "Bump");
    std::vector<std::string> slots{"kept"};
    EXPECT_FALSE(TargetMaterialChanged(offered[0], slots)) << "already the target";
    EXPECT_EQ(slots, (std::vector<std::string>{"kept"}));
    EXPECT_EQ(settings().elements[0].slot, "Bump");
    settings().target_material = "Velvet";
    EXPECT_TRUE(TargetMaterialChanged(offered[0], slots));
    EXPECT_EQ(settings().target_material, "Standard");
    ASSERT_EQ(slots.size(), 12u);
    EXPECT_EQ(slots[1], "Diffuse Color");
    EXPECT_EQ(settings().elements[0].slot, "NONE");
}

#include "bake/bake_run.h"
#include "bake/merge_object_images.h"
#include "bake/output_names.h"
#include "bake/pass_mode.h"
#include "bake/produced_files.h"
#include "bake/render_selection.h"
#include "bake_test_scene.h"
#include "modifier/unwrap_groups.h"
#include "netrender/net_render.h"
#include "standalone/network/job_queue.h"
#include "support/temp_folder.h"
#include "support/test_host.h"
#include "test_renderer.h"
#include "unwrap/unwrapper.h"

#include "standalone/render/bake_elements.h"

#include <boost/filesystem.hpp>

#include <memory>

namespace {

namespace fs = boost::filesystem;

class NamedRenderer : public Renderer {
  public:
    explicit NamedRenderer(std::wstring name) : name_(std::move(name)) {}
    Class_ID ClassID() override { return Class_ID(0x1234, 0x5678); }
    ReferenceTarget* Clone(RemapDir&) override { return new NamedRenderer(name_); }
    void GetClassName(std::wstring& name) override { name = name_; }

  private:
    std::wstring name_;
};

class BakeRunTest : public HostTest {
  protected:
    BakeRunTest() : renderer(core) {
        settings().outpath = fs::path(folder.file("x")).parent_path().string();
        settings().base_unwrap = UvCopy;
        settings().source_channel = 1;
        settings().channel = 1;
        settings().delete_temp_files = true;
        // These cases are about the separate passes; caddies have their own.
        settings().bakemode = Separate;
        add_entry("Diffuse.png");
    }
    ~BakeRunTest() override {
        settings().elements.clear();
        settings().delete_temp_files = true;
    }

    void add_entry(const std::string& file) {
        settings().elements.push_back(OutputEntry("DiffuseMap", file, 16, 8));
    }
    // Boxes of growing size (so area balancing gives each its own map),
    // unwrapped as one group; returns the group key.
    std::uint64_t unwrap(const std::string& group, int count, int maps = 1) {
        return UnwrapBoxes(core, nodes, group, count, maps);
    }
    void per_object() { core.SetCurrentRenderer(&other); }
    std::string out(const std::string& name) const { return folder.file(name); }
    std::vector<std::string> notifications() const { return Notifications(core); }
    int bake_elements(INode* node) {
        auto* props =
            static_cast<INodeBakeProperties*>(node->GetInterface(NODE_BAKE_PROPERTIES_INTERFACE));
        return props->GetBakeElementCount() + (props->GetBakeEnabled() != 0 ? 100 : 0);
    }

    TempFolder folder;
    TestRenderer renderer;
    NamedRenderer other{L"Other Renderer"};
    std::vector<SceneNode*> nodes;
};

} // namespace

TEST_F(BakeRunTest, PropsPerObjectWritesPartsMergesThemAndDeletesTheParts) {
    const std::uint64_t key = unwrap("Props", 2);
    per_object();
    core.SetTime(7 * 160 + 20, 0);
    select({nodes[1]});
    ASSERT_TRUE(Bake(key)) << (notifications().empty() ? "" : notifications()[0]);

    ASSERT_EQ(renderer.calls.size(), 2u);
    EXPECT_EQ(renderer.calls[0].selected, (std::vector<std::string>{"obj0"}));
    EXPECT_EQ(renderer.calls[1].selected, (std::vector<std::string>{"obj1"}));
    EXPECT_EQ(renderer.calls[0].frame, 7);
    EXPECT_EQ(renderer.calls[0].time, 7 * 160);
    EXPECT_EQ(renderer.calls[0].elementNames,
              (std::vector<std::string>{settings().outpath + "\\Props_Diffuse_0.png"}));
    EXPECT_EQ(renderer.calls[1].written,
              (std::vector<std::string>{settings().outpath + "\\Props_Diffuse_1.png"}));

    const std::string merged = out("Props_Diffuse.png");
    ASSERT_TRUE(fs::exists(merged));
    EXPECT_FALSE(fs::exists(out("Props_Diffuse_0.png")));
    EXPECT_FALSE(fs::exists(out("Props_Diffuse_1.png")));
    for (SceneNode* n : nodes) {
        const PixelRect r = TestRenderer::RectOf(n, 16, 8);
        EXPECT_EQ(pixel(merged, r.x0, r.y0), TestRenderer::ColourOf(n));
        EXPECT_EQ(bake_elements(n), 0) << "no elements and baking off after the pass";
    }
    EXPECT_EQ(pixel(merged, 0, 7), BMM_Color_64{}) << "outside every island";

    ASSERT_EQ(ProducedFiles().size(), 2u);
    EXPECT_EQ(ProducedFiles()[1].nodeName, "obj1");
    EXPECT_EQ(ProducedFiles()[1].fileName, "Props_Diffuse.png");
    EXPECT_EQ(ProducedFiles()[1].elementName, "DiffuseMap");
    EXPECT_EQ(ProducedFiles()[1].mapIndex, -1);

    EXPECT_EQ(core.GetTime(), 7 * 160 + 20);
    ASSERT_EQ(core.GetSelNodeCount(), 1);
    EXPECT_EQ(core.GetSelNode(0), nodes[1]);
    EXPECT_TRUE(notifications().empty());
}

TEST_F(BakeRunTest, WithoutDeletingTempFilesThePartsStay) {
    settings().delete_temp_files = false;
    const std::uint64_t key = unwrap("Props", 2);
    per_object();
    ASSERT_TRUE(Bake(key));
    EXPECT_TRUE(fs::exists(out("Props_Diffuse.png")));
    EXPECT_TRUE(fs::exists(out("Props_Diffuse_0.png")));
    EXPECT_TRUE(fs::exists(out("Props_Diffuse_1.png")));
}

TEST_F(BakeRunTest, ScanlineBakesAllObjectsOfAMapInOneRender) {
    const std::uint64_t key = unwrap("Props", 2);
    ASSERT_TRUE(Bake(key));
    ASSERT_EQ(renderer.calls.size(), 1u);
    EXPECT_EQ(renderer.calls[0].selected, (std::vector<std::string>{"obj0", "obj1"}));
    EXPECT_TRUE(fs::exists(out("Props_Diffuse.png")));
}

// With no manager answering and the question answered with Cancel, the job
// still goes to the host's submission; when that finds no farm either, the
// host says so and the bake fails instead of waiting for a job that never
// went in. Nothing is described and nothing is rendered here.
TEST_F(BakeRunTest, NetworkBakeFailsWhenTheHostRefusesTheSubmission) {
    const std::uint64_t key = unwrap("Props", 2);
    per_object();
    UnwrapSettings& s = settings();
    s.netrender = true;
    s.netpath = out("farm");
    s.port = 1; // nothing listens there
    farmConfig().kind = FarmKind::Local;
    farmConfig().startLocal = false;
    farmConfig().localPort = 1;
    EXPECT_FALSE(Bake(key));
    ReleaseNetRender();
    EXPECT_TRUE(renderer.calls.empty()) << "nothing rendered here";
    std::vector<std::wstring> captions;
    for (const auto& m : core.messages()) {
        captions.push_back(m.caption);
    }
    EXPECT_EQ(captions,
              (std::vector<std::wstring>{L"Netrender manager not found.", L"Network render",
                                         L"Vellumar [network render]", L"Notification"}));
    EXPECT_EQ(WideToUtf8(core.messages()[0].text),
              "Couldn't connect to the specified netrender manager: localhost at port: 1.\nDo you "
              "want Vellumar to automatically connect to the first available manager in your "
              "network?\n(If you continue without hooking up with a manager, Vellumar will not be "
              "able to finalize network jobs.)\n[Error Code: 1]");
    EXPECT_EQ(WideToUtf8(core.messages()[2].text), "Network render submission failed");
    EXPECT_NE(settings().last_message.find("could not execute the render job"), std::string::npos)
        << settings().last_message;
    ASSERT_TRUE(s.job_name.empty()) << "a finished bake forgets its job";
    for (const auto& job : fs::recursive_directory_iterator(out("farm"))) {
        EXPECT_NE(job.path().filename(), "job.desc") << "a job that never went in is described";
    }
    EXPECT_FALSE(fs::exists(out("Props_Diffuse.png")));
    farmConfig() = FarmConfig{};
}

TEST_F(BakeRunTest, FrameRangesNameFramesOnlyWhenMoreThanOneIsBaked) {
    const std::uint64_t key = unwrap("Props", 1);
    settings().bakerange = true;
    settings().bakerangefrom = 3;
    settings().bakerangeto = 3;
    ASSERT_TRUE(Bake(key));
    EXPECT_TRUE(fs::exists(out("Props_Diffuse.png")));
    EXPECT_EQ(renderer.calls.back().time, 3 * 160);

    settings().bakerangefrom = 0;
    settings().bakerangeto = 10;
    ASSERT_TRUE(Bake(key));
    ASSERT_EQ(renderer.calls.size(), 12u);
    for (int f = 0; f <= 10; ++f) {
        EXPECT_EQ(renderer.calls[1 + f].frame, f);
        EXPECT_TRUE(fs::exists(out("Props_Diffuse_" + FrameText(f) + ".png"))) << f;
    }
    EXPECT_FALSE(fs::exists(out("Props_Diffuse_0011.png")));
}

TEST_F(BakeRunTest, NumberedUnnamedGroupsGetNoPrefixAndMapsGetTheirIndex) {
    const std::uint64_t key = unwrap("unnamed3", 2, 2);
    ASSERT_TRUE(Bake(key));
    EXPECT_EQ(renderer.calls.size(), 2u) << "one render per map";
    EXPECT_TRUE(fs::exists(out("Diffuse_0.png")));
    EXPECT_TRUE(fs::exists(out("Diffuse_1.png")));
    EXPECT_FALSE(fs::exists(out("Diffuse.png")));
    ASSERT_EQ(ProducedFiles().size(), 2u);
    EXPECT_EQ(ProducedFiles()[0].fileName, "Diffuse.png");
    EXPECT_GE(ProducedFiles()[0].mapIndex, 0);
}

TEST_F(BakeRunTest, AMapWhoseFirstObjectWasDeletedIsStillBaked) {
    const std::uint64_t key = unwrap("Props", 2, 2);
    INode* gone = nullptr;
    for (SceneNode* n : nodes) {
        if (NodeMapIndex(n, key) == 0) {
            gone = n;
        }
    }
    ASSERT_NE(gone, nullptr);
    core.DeleteNode(static_cast<SceneNode*>(gone));
    ASSERT_TRUE(Bake(key));
    EXPECT_EQ(renderer.calls.size(), 1u);
    EXPECT_TRUE(fs::exists(out("Props_Diffuse_1.png")));
}

TEST_F(BakeRunTest, AFailedRenderInTheSecondOfThreeMapsRestoresTheSceneAndReportsOnce) {
    const std::uint64_t key = unwrap("Props", 3, 3);
    core.SetTime(480, 0);
    select({nodes[2], nodes[0]});
    core.FreezeSelection();
    renderer.failOnCall = 2;
    EXPECT_FALSE(Bake(key));

    EXPECT_EQ(renderer.calls.size(), 2u) << "the third map is not rendered";
    EXPECT_FALSE(renderer.calls[0].selectionFrozen) << "the lock is off while rendering";
    for (SceneNode* n : nodes) {
        EXPECT_EQ(bake_elements(n), 0);
        EXPECT_EQ(core.scene().NodeByHandle(n->GetHandle()), n);
    }
    EXPECT_EQ(core.GetTime(), 480);
    ASSERT_EQ(core.GetSelNodeCount(), 2);
    EXPECT_EQ(core.GetSelNode(0), nodes[2]);
    EXPECT_EQ(core.GetSelNode(1), nodes[0]);
    EXPECT_TRUE(core.SelectionFrozen());
    EXPECT_EQ(notifications(), (std::vector<std::string>{"Vellumar failed to bake objects: " +
                                                         RenderFailedText(PerMap)}));
    EXPECT_EQ(RenderFailedText(PerObject),
              "Selected renderer could not execute the render job (mode_m).\nPlease check your "
              "renderer and bake element settings.\nAn error message from the renderer might have "
              "been added to the MAXScript console. Check there for additional information.");
    EXPECT_FALSE(fs::exists(out("Props_Diffuse_0.png"))) << "no merge after a failure";
}

TEST_F(BakeRunTest, NoChosenElementsIsReportedAndNothingRenders) {
    const std::uint64_t key = unwrap("Props", 1);
    settings().elements.clear();
    EXPECT_FALSE(Bake(key));
    EXPECT_EQ(notifications(),
              (std::vector<std::string>{"No bake elements are selected for baking."}));
    EXPECT_TRUE(renderer.calls.empty());
}

TEST_F(BakeRunTest, TheRenderScriptIsExact) {
    EXPECT_EQ(RenderScript(512, 256, -3),
              "bm = bitmap 512 256 \n render rendertype:#bakeSelected frame:-3 to:bm vfb:true \n "
              "close bm");
}

TEST_F(BakeRunTest, AnUnloadableMergeBaseIsReportedAndKept) {
    const std::string part = out("Props_Diffuse_0.png");
    write_text(part, "not an image");
    INode* node = add_node(L"n", box_tri_object(true));
    EXPECT_FALSE(MergeObjectImages("Props", {node}, 1, 0));
    EXPECT_EQ(
        notifications(),
        (std::vector<std::string>{"Vellumar Netrender: Failed to open image " + settings().outpath +
                                  "\\Props_Diffuse_0.png" + ". Merge operation failed."}));
    EXPECT_TRUE(fs::exists(part));
    EXPECT_FALSE(fs::exists(out("Props_Diffuse.png")));
}

#include "apps/vellumar/scene_io.h"
#include "standalone/files/scene_file.h"
#include "support/temp_folder.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

// A scene file that loads with losses (here bake settings no bake could
// have made) is never saved over itself: that would keep only what could be
// read. Another file takes it.
TEST(SceneIo, ASceneThatLoadedWithLossesIsNotSavedOverItself) {
    TempFolder dir;
    const std::string path = dir.file("damaged.vlscene");
    {
        StandaloneCore core(false);
        SceneNode* node = core.scene().CreateNode(L"box", box_tri_object(false));
        node->BakeProperties().SetBakeEnabled(1);
        node->BakeProperties().SetNDilations(2147483647);
        const std::vector<std::uint8_t> bytes = scene_bytes(core);
        write_text(path, std::string(bytes.begin(), bytes.end()));
    }
    const std::string before = read_text(path);
    StandaloneCore core(false);
    register_plugin_classes(core);
    std::vector<INode*> nodes;
    ASSERT_TRUE(open_scene(core, path, nodes));
    StagedOutputs outputs;
    EXPECT_FALSE(stage_save(core, path, outputs));
    EXPECT_TRUE(stage_save(core, dir.file("kept.vlscene"), outputs));
    EXPECT_TRUE(outputs.commit());
    EXPECT_EQ(read_text(path), before);
    EXPECT_FALSE(read_text(dir.file("kept.vlscene")).empty());
}

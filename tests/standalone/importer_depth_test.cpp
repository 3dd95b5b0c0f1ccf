#include "standalone/files/importer.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

// A glTF whose node i is the only child of node i - 1, each moving its
// children by 0.001 along x, with one triangle at the deepest node.
std::string chain_gltf(int depth) {
    std::string nodes;
    for (int i = 0; i < depth; ++i) {
        nodes += "{\"translation\":[0.001,0,0]";
        nodes += i + 1 < depth ? ",\"children\":[" + std::to_string(i + 1) + "]}," : ",\"mesh\":0}";
    }
    // Three float positions (36 bytes) and three byte indices, in base64.
    const std::string buffer = "data:application/octet-stream;base64,"
                               "AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAAAAECAA==";
    return "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,\"scenes\":[{\"nodes\":[0]}],"
           "\"nodes\":[" +
           nodes +
           "],"
           "\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0},\"indices\":1}]}],"
           "\"accessors\":[{\"bufferView\":0,\"componentType\":5126,\"count\":3,\"type\":\"VEC3\","
           "\"min\":[0,0,0],\"max\":[1,1,0]},"
           "{\"bufferView\":1,\"componentType\":5121,\"count\":3,\"type\":\"SCALAR\"}],"
           "\"bufferViews\":[{\"buffer\":0,\"byteLength\":36},"
           "{\"buffer\":0,\"byteOffset\":36,\"byteLength\":3}],"
           "\"buffers\":[{\"byteLength\":40,\"uri\":\"" +
           buffer + "\"}]}";
}

} // namespace

// Such a file (400 KB) once overflowed the stack inside the importer.
TEST(ImporterDepth, AHierarchyTwentyThousandLevelsDeepImportsWithItsTransformsComposed) {
    const std::string path = ::testing::TempDir() + "/deep_chain.gltf";
    std::ofstream(path) << chain_gltf(20000);
    Scene scene;
    const ImportResult r = import_scene(path, scene);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.mesh_nodes.size(), 1u);
    EXPECT_NEAR(r.mesh_nodes[0]->GetObjectTM(0).GetTrans().x, 20.0f, 0.01f);
    std::remove(path.c_str());
}

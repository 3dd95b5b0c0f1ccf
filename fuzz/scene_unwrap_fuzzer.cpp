// Feeds arbitrary bytes to the scene loader and then does what a user does
// with a scene: unwrap every mesh into channel 2 and export the result to
// glTF and OBJ. Damaged meshes must be refused or dropped somewhere on the
// way; nothing may crash, and what the exporters write must be consistent.
#include "modifier/vellumar_modifier.h"
#include "settings/settings.h"
#include "standalone/core.h"
#include "standalone/files/exporter.h"
#include "standalone/files/scene_file.h"
#include "unwrap/unwrapper.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <cstddef>
#include <cstdint>

namespace {

// The input's length picks the mode, so the corpus stays plain scene files.
constexpr UnwrapMode kModes[] = {Organic, HardSurface, UvPack, UvCopy, Projection};

// What the exporter wrote must read back whole in an independent reader
// with its own consistency checks (indices in range, arrays of one length).
void check_glb(const ExportResult& glb) {
    if (glb.meshes == 0) {
        return; // a scene without meshes is valid glTF that Assimp declines
    }
    Assimp::Importer importer;
    const aiScene* s = importer.ReadFileFromMemory(glb.bytes.data(), glb.bytes.size(),
                                                   aiProcess_ValidateDataStructure, "glb");
    if (s == nullptr || s->mNumMeshes != static_cast<unsigned>(glb.meshes)) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    StandaloneCore core;
    core.RegisterClass(GetVellumarModifierDesc());
    core.SetHoldDisplayedImages(true);
    if (!load_scene_bytes(core, data, size).ok) {
        return 0;
    }
    std::vector<INode*> nodes, meshes;
    for (const auto& node : core.scene().Nodes()) {
        nodes.push_back(node.get());
        Object* obj = node->EvalWorldState(0).obj;
        if (obj != nullptr && obj->CanConvertToType(triObjectClassID)) {
            meshes.push_back(node.get());
        }
    }
    UnwrapSettings& s = settings();
    s.reset();
    s.base_unwrap = kModes[size % 5];
    s.source_channel = 1;
    s.channel = 2;
    s.width = 64;
    s.height = 64;
    s.gutter = 1;
    s.preview = true;
    core.SetSelection(meshes);
    Unwrapper unwrapper;
    unwrapper.run("fuzz");

    const ExportResult glb = export_glb(nodes, 0);
    if (glb.ok) {
        check_glb(glb);
    }
    export_obj(nodes, 0, 2);
    return 0;
}

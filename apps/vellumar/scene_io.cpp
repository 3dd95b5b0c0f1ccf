#include "apps/vellumar/scene_io.h"

#include "host/text.h"
#include "modifier/vellumar_modifier.h"
#include "standalone/exporter.h"
#include "standalone/importer.h"
#include "standalone/scene_file.h"

#include <cstdio>

namespace {

bool ends_with(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

void register_plugin_classes(StandaloneCore& core) {
    core.RegisterClass(GetVellumarModifierDesc());
}

bool open_scene(StandaloneCore& core, const std::string& path, std::vector<INode*>& mesh_nodes) {
    if (ends_with(path, kSceneExtension)) {
        const SceneFileResult r = load_scene_file(core, path);
        if (!r.ok) {
            std::fprintf(stderr, "vellumar: %s\n", r.error.c_str());
            return false;
        }
        for (const std::string& w : r.warnings) {
            std::fprintf(stderr, "vellumar: warning: %s: %s\n", path.c_str(), w.c_str());
        }
        for (const auto& node : core.scene().Nodes()) {
            Object* obj = node->EvalWorldState(core.GetTime()).obj;
            if (obj != nullptr && obj->CanConvertToType(triObjectClassID)) {
                mesh_nodes.push_back(node.get());
            }
        }
        return true;
    }
    const ImportResult r = import_scene(path, core.scene());
    if (!r.ok) {
        std::fprintf(stderr, "vellumar: %s\n", r.error.c_str());
        return false;
    }
    mesh_nodes.assign(r.mesh_nodes.begin(), r.mesh_nodes.end());
    return true;
}

bool save_scene(StandaloneCore& core, const std::string& path) {
    if (!ends_with(path, kSceneExtension)) {
        std::fprintf(stderr, "vellumar: a saved scene is a %s file: '%s'\n", kSceneExtension,
                     path.c_str());
        return false;
    }
    const SceneFileResult r = save_scene_file(core, path);
    if (!r.ok) {
        std::fprintf(stderr, "vellumar: %s\n", r.error.c_str());
    }
    return r.ok;
}

bool export_scene(StandaloneCore& core, const std::string& path, int channel) {
    std::vector<INode*> nodes;
    for (const auto& node : core.scene().Nodes()) {
        nodes.push_back(node.get());
    }
    const ExportResult r = ends_with(path, ".obj")
                               ? export_obj(nodes, core.GetTime(), channel, path)
                               : export_glb(nodes, core.GetTime(), path);
    if (!r.ok) {
        std::fprintf(stderr, "vellumar: %s\n", r.error.c_str());
    }
    return r.ok;
}

void print_messages(const StandaloneCore& core) {
    for (const MessageRecord& m : core.messages()) {
        std::printf("%s: %s\n", WideToUtf8(m.caption).c_str(), WideToUtf8(m.text).c_str());
    }
}

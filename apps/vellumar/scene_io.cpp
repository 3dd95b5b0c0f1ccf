#include "apps/vellumar/scene_io.h"

#include "host/text.h"
#include "plugin/module.h"
#include "standalone/files/exporter.h"
#include "standalone/files/importer.h"
#include "standalone/files/scene_file.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <malloc.h>

namespace fs = std::filesystem;

namespace {

bool ends_with(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string channel_list(const std::vector<int>& channels) {
    std::string out;
    for (std::size_t i = 0; i < channels.size(); ++i) {
        out += (i == 0 ? "" : ", ") + std::to_string(channels[i]);
    }
    return out;
}

// The scene file this process loaded with losses: saving over it would keep
// only what could be read.
std::string& lossy_scene() {
    static std::string path;
    return path;
}

} // namespace

void register_plugin_classes(StandaloneCore& core) {
    std::string why;
    if (!core.LoadPlugin(VellumarPluginModule(), &why)) {
        std::fprintf(stderr, "vellumar: the plug-in did not load: %s\n", why.c_str());
    }
}

bool open_and_select(StandaloneCore& core, const std::string& scene,
                     const std::vector<std::string>& names, UpAxis up) {
    std::vector<INode*> selection;
    if (!open_scene(core, scene, selection, up)) {
        return false;
    }
    // The importer's own copy of the scene is gone now; its pages go back
    // to the system rather than stay counted against the run that follows.
    malloc_trim(0);
    if (!names.empty()) {
        selection.clear();
        if (!find_named_nodes(core, names, scene, selection)) {
            return false;
        }
    }
    core.SetSelection(std::move(selection));
    return true;
}

void add_up_option(CLI::App* cmd, UpAxis& up) {
    cmd->add_option("--up", up,
                    "Which axis is up in an OBJ, 3DS, PLY, ... scene: y (the default) or z; "
                    "glTF, Collada and FBX files say it themselves")
        ->transform(CLI::CheckedTransformer(
            std::map<std::string, UpAxis>{{"y", UpAxis::Y}, {"z", UpAxis::Z}}));
}

bool open_scene(StandaloneCore& core, const std::string& path, std::vector<INode*>& mesh_nodes,
                UpAxis up) {
    if (ends_with(path, kSceneExtension)) {
        const SceneFileResult r = load_scene_file(core, path);
        if (!r.ok) {
            std::fprintf(stderr, "vellumar: %s\n", r.error.c_str());
            return false;
        }
        for (const std::string& w : r.warnings) {
            std::fprintf(stderr, "vellumar: warning: %s: %s\n", path.c_str(), w.c_str());
        }
        if (!r.warnings.empty()) {
            lossy_scene() = path;
        }
        for (const auto& node : core.scene().Nodes()) {
            Object* obj = node->EvalWorldState(core.GetTime()).obj;
            if (obj != nullptr && obj->CanConvertToType(triObjectClassID)) {
                mesh_nodes.push_back(node.get());
            }
        }
        return true;
    }
    const ImportResult r = import_scene(path, core.scene(), up);
    if (!r.ok) {
        std::fprintf(stderr, "vellumar: %s\n", r.error.c_str());
        return false;
    }
    mesh_nodes.assign(r.mesh_nodes.begin(), r.mesh_nodes.end());
    return true;
}

bool StagedOutputs::stage(const std::string& path, std::span<const std::uint8_t> bytes) {
    files_.push_back(std::make_unique<OutputFile>(path));
    files_.back()->write(bytes);
    const std::string error = files_.back()->finish();
    if (!error.empty()) {
        std::fprintf(stderr, "vellumar: %s\n", error.c_str());
        return false;
    }
    return true;
}

bool StagedOutputs::commit() {
    bool ok = true;
    for (const auto& file : files_) {
        const std::string error = file->commit();
        if (!error.empty()) {
            std::fprintf(stderr, "vellumar: %s\n", error.c_str());
            ok = false;
        }
    }
    files_.clear();
    return ok;
}

bool stage_save(StandaloneCore& core, const std::string& path, StagedOutputs& outputs) {
    if (!ends_with(path, kSceneExtension)) {
        std::fprintf(stderr, "vellumar: a saved scene is a %s file: '%s'\n", kSceneExtension,
                     path.c_str());
        return false;
    }
    if (!lossy_scene().empty() && same_file(path, lossy_scene())) {
        std::fprintf(stderr,
                     "vellumar: '%s' loaded with losses (see the warnings above) and is not saved "
                     "over itself, which would keep only what could be read; give --save with "
                     "another file\n",
                     path.c_str());
        return false;
    }
    const std::vector<std::uint8_t> bytes = scene_bytes(core);
    if (bytes.empty()) {
        std::fprintf(stderr, "vellumar: Cannot save scene '%s': a chunk grew too large\n",
                     path.c_str());
        return false;
    }
    return outputs.stage(path, bytes);
}

bool is_obj_path(const std::string& path) {
    return ends_with(path, ".obj");
}

bool stage_export(StandaloneCore& core, const std::string& path, int channel, int required_channel,
                  StagedOutputs& outputs) {
    std::vector<INode*> nodes;
    for (const auto& node : core.scene().Nodes()) {
        nodes.push_back(node.get());
    }
    const ExportResult r = is_obj_path(path) ? export_obj(nodes, core.GetTime(), channel)
                                             : export_glb(nodes, core.GetTime(), channel);
    if (!r.ok) {
        std::fprintf(stderr, "vellumar: Cannot export '%s': %s\n", path.c_str(), r.error.c_str());
        return false;
    }
    for (const std::string& warning : r.warnings) {
        std::fprintf(stderr, "vellumar: warning: %s\n", warning.c_str());
    }
    if (!r.lost_channels.empty()) {
        const bool target_lost = std::find(r.lost_channels.begin(), r.lost_channels.end(),
                                           required_channel) != r.lost_channels.end();
        std::fprintf(stderr,
                     "vellumar: %s'%s' cannot hold map channel%s %s: glTF export holds channels 1 "
                     "to %d (TEXCOORD_0 to TEXCOORD_%d)\n",
                     target_lost ? "" : "warning: ", path.c_str(),
                     r.lost_channels.size() == 1 ? "" : "s", channel_list(r.lost_channels).c_str(),
                     kGlbMaxChannel, kGlbMaxChannel - 1);
        if (target_lost) {
            return false;
        }
    }
    return outputs.stage(path, r.bytes);
}

bool same_file(const std::string& a, const std::string& b) {
    std::error_code ec, eca, ecb;
    if (fs::equivalent(a, b, ec)) {
        return true;
    }
    const fs::path ca = fs::weakly_canonical(a, eca);
    const fs::path cb = fs::weakly_canonical(b, ecb);
    return !eca && !ecb && ca == cb;
}

void print_messages(const StandaloneCore& core) {
    for (const MessageRecord& m : core.messages()) {
        std::printf("%s: %s\n", WideToUtf8(m.caption).c_str(), WideToUtf8(m.text).c_str());
    }
}

bool find_named_nodes(StandaloneCore& core, const std::vector<std::string>& names,
                      const std::string& scene, std::vector<INode*>& nodes) {
    for (const std::string& name : names) {
        SceneNode* node = core.scene().NodeByName(Utf8ToWide(name));
        if (node == nullptr) {
            std::fprintf(stderr, "vellumar: no node named '%s' in '%s'\n", name.c_str(),
                         scene.c_str());
            return false;
        }
        // A node named twice is still one node.
        if (std::find(nodes.begin(), nodes.end(), node) == nodes.end()) {
            nodes.push_back(node);
        }
    }
    return true;
}

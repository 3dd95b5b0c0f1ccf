// The bake on a textured scene: its objects unwrapped into one organic
// 1024 x 1024 atlas in channel 2, then each element baked alone (diffuse,
// normals, complete, ambient occlusion at 16 samples) in a single pass
// (one caddy per map) and separately (one image per object, merged), with
// seconds and texels per second. Run with the objects as given and again with every
// object copied, so that the cost per object shows.
// Usage: vellumar_bake_bench OUT_DIR COPIES MODEL...
#include "bake/bake_element.h"
#include "bake/bake_run.h"
#include "host/text.h"
#include "modifier/unwrap_groups.h"
#include "modifier/vellumar_modifier.h"
#include "settings/settings.h"
#include "standalone/core.h"
#include "standalone/files/importer.h"
#include "standalone/scene/node_ops.h"
#include "unwrap/unwrapper.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

ClassDesc* element_class(const std::wstring& name) {
    for (ClassDesc* c : AvailableElementClasses()) {
        if (name == c->ClassName()) {
            return c;
        }
    }
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s OUT_DIR COPIES MODEL...\n", argv[0]);
        return 2;
    }
    const std::string out = argv[1];
    const int copies = std::max(1, std::atoi(argv[2]));
    StandaloneCore core;
    core.RegisterClass(GetVellumarModifierDesc());
    std::vector<INode*> nodes;
    for (int i = 3; i < argc; ++i) {
        const ImportResult r = import_scene(argv[i], core.scene());
        if (!r.ok) {
            std::fprintf(stderr, "%s\n", r.error.c_str());
            return 2;
        }
        nodes.insert(nodes.end(), r.mesh_nodes.begin(), r.mesh_nodes.end());
    }
    // Copies stand beside the originals, so that they shadow nothing new.
    const std::size_t originals = nodes.size();
    for (int c = 1; c < copies; ++c) {
        for (std::size_t i = 0; i < originals; ++i) {
            auto* node = static_cast<SceneNode*>(nodes[i]);
            SceneNode* copy = CloneNode(core.scene(), node, node->GetName() + std::to_wstring(c));
            Matrix3 tm = node->GetObjectTM(0);
            tm.SetTrans(tm.GetTrans() + Point3(1000.0f * float(c), 0, 0));
            copy->SetObjectTM(tm);
            nodes.push_back(copy);
        }
    }
    core.SetSelection(nodes);
    UnwrapSettings& s = settings();
    s.base_unwrap = Organic;
    s.channel = 2;
    s.width = s.height = 1024;
    s.gutter = 4;
    s.padding = 4;
    s.outpath = out;
    Unwrapper unwrapper;
    if (!unwrapper.run("bench")) {
        std::fprintf(stderr, "unwrap failed: %s\n", s.last_message.c_str());
        return 1;
    }
    const std::uint64_t key = CollectUnwrapGroups().begin()->first;
    std::printf("%zu objects, coverage %.3f, atlas 1024 x 1024\n", nodes.size(),
                unwrapper.coverage());
    std::printf("%-18s %-12s %8s %14s\n", "element", "mode", "seconds", "texels/s");
    for (const wchar_t* name : {L"DiffuseMap", L"NormalsMap", L"CompleteMap", L"AmbientOcclusion"})
        for (const int mode : {int(SinglePass), int(Separate)}) {
            s.bakemode = mode;
            ClassDesc* cls = element_class(name);
            if (cls == nullptr) {
                return 1;
            }
            s.elements = {CreateEntry(cls)};
            for (BakeParam& p : s.elements[0].parameters) {
                if (p.name == "Samples") {
                    p.intValue = 16;
                }
            }
            const auto start = std::chrono::steady_clock::now();
            const bool ok = Bake(key);
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            std::printf("%-18s %-12s %8.3f %14.0f%s\n", WideToUtf8(name).c_str(),
                        mode == SinglePass ? "single pass" : "separate", seconds,
                        1024.0 * 1024.0 / seconds, ok ? "" : "  FAILED");
        }
    for (const MessageRecord& m : core.messages()) {
        std::printf("message: %s\n", WideToUtf8(m.text).c_str());
    }
    return 0;
}

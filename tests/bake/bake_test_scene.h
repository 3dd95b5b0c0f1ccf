// What the bake tests start from: element classes by name, and boxes
// unwrapped as one group.
#pragma once

#include "support/test_host.h"
#include "unwrap/unwrapper.h"

#include "standalone/render/bake_elements.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// The host's bake element class of that name (DiffuseMap, NormalsMap, ...).
inline ClassDesc* ElementClass(const std::string& name) {
    for (ClassDesc* desc : BakeElementClassDescs()) {
        if (WideToUtf8(desc->ClassName()) == name) {
            return desc;
        }
    }
    throw std::runtime_error("no element class " + name);
}

// An element of class `cls` writing `file` in the output folder.
inline BakeElementEntry OutputEntry(const std::string& cls, const std::string& file, int width,
                                    int height) {
    BakeElementEntry e = CreateEntry(ElementClass(cls));
    e.file.SetName(Utf8ToWide(settings().outpath + "\\" + file).c_str());
    e.width = width;
    e.height = height;
    return e;
}

// The texts of the notifications reported so far.
inline std::vector<std::string> Notifications(const StandaloneCore& core) {
    std::vector<std::string> out;
    for (const auto& m : core.messages()) {
        if (m.caption == L"Notification") {
            out.push_back(WideToUtf8(m.text));
        }
    }
    return out;
}

// `count` boxes of growing size (so area balancing gives each its own map)
// added to the scene and to `nodes`, unwrapped as one group over `maps`
// atlases; returns the group key. The selection and messages are left empty.
inline std::uint64_t UnwrapBoxes(StandaloneCore& core, std::vector<SceneNode*>& nodes,
                                 const std::string& group, int count, int maps) {
    for (int i = 0; i < count; ++i) {
        TriObject* obj = box_tri_object(true, 1.0f + i, 1.0f + i, 1.0f + i);
        give_split_uvs(obj->mesh, 1);
        nodes.push_back(core.scene().CreateNode(L"obj" + std::to_wstring(i), obj));
    }
    core.SetSelection(std::vector<INode*>(nodes.begin(), nodes.end()));
    settings().mapcount = maps;
    Unwrapper unwrapper;
    EXPECT_TRUE(unwrapper.run(group));
    core.SetSelection({});
    core.ClearMessages();
    return *FindVellumarModifier(nodes[0])->GetGroupKeys().begin();
}

#include "bake/prepare_objects.h"

#include "bake/output_names.h"
#include "bake/produced_files.h"
#include "netrender/job_folder.h"

#include "host/bake_properties.h"
#include "host/interface.h"
#include "host/text.h"
#include "modifier/unwrap_groups.h"
#include "settings/settings.h"

namespace {

INodeBakeProperties* bake_properties(INode* node) {
    return static_cast<INodeBakeProperties*>(node->GetInterface(NODE_BAKE_PROPERTIES_INTERFACE));
}

} // namespace

std::string BakeOutputFolder(int mapCount, int mapIndex) {
    const UnwrapSettings& s = settings();
    return s.netrender ? JobFolder(mapCount, mapIndex) + "\\" : s.outpath + "\\";
}

void PrepareObjects(const std::vector<INode*>& objects, std::uint64_t groupKey, PassMode mode,
                    int mapCount, int channel, int frame, const std::string& groupName,
                    const std::vector<int>& caddyMaps) {
    const UnwrapSettings& s = settings();
    Interface* ip = GetCOREInterface();
    std::vector<ProducedFile>& produced = ProducedFiles();
    produced.clear();
    for (INode* node : objects) {
        if (INodeBakeProperties* props = bake_properties(node)) {
            props->ResetBakeProps();
        }
    }
    for (std::size_t objectIndex = 0; objectIndex < objects.size(); ++objectIndex) {
        INode* node = objects[objectIndex];
        INodeBakeProperties* props = bake_properties(node);
        if (props == nullptr) {
            continue;
        }
        const int ownMap = mode != Caddy                    ? NodeMapIndex(node, groupKey)
                           : objectIndex < caddyMaps.size() ? caddyMaps[objectIndex]
                                                            : static_cast<int>(objectIndex);
        for (const BakeElementEntry& entry : s.elements) {
            if (entry.elementClass == nullptr) {
                continue;
            }
            auto* element = static_cast<MaxBakeElement*>(
                ip->CreateInstance(BAKE_ELEMENT_CLASS_ID, entry.elementClass->ClassID()));
            if (element == nullptr) {
                continue;
            }
            props->AddBakeElement(element);
            // Each element takes the values of the entry it was made from: an
            // entry whose element could not be made must not shift the others.
            ApplyParameters(entry, *element);
            const std::string prefixed = EntryOutputName(entry, groupName);
            std::string name = MapFrameOutputName(prefixed, mapCount, ownMap, frame);
            if (mode != Caddy) {
                name = InsertBeforeExtension(name, "_" + std::to_string(objectIndex));
            }
            element->SetFileName(Utf8ToWide(name).c_str());
            element->SetFileType(
                Utf8ToWide(BakeOutputFolder(mapCount, ownMap) + FileNamePart(name)).c_str());
            element->SetOutputSz(entry.width, entry.height);
            produced.push_back({WideToUtf8(node->GetName()), FileNamePart(prefixed),
                                WideToUtf8(entry.elementClass->ClassName()),
                                mapCount > 1 ? ownMap : -1});
        }
    }
    for (INode* node : objects) {
        if (INodeBakeProperties* props = bake_properties(node)) {
            props->SetBakeMapChannel(channel);
            props->SetNDilations(s.padding);
            props->SetBakeEnabled(1);
        }
    }
}

void ClearBake(const std::vector<INode*>& objects) {
    for (INode* node : objects) {
        if (INodeBakeProperties* props = bake_properties(node)) {
            props->SetBakeEnabled(0);
            props->ResetBakeProps();
        }
    }
    settings().job_name.clear();
}

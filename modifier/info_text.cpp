#include "modifier/info_text.h"

#include "modifier/vellumar_modifier.h"

std::string InfoText(const VellumarModifier& mod) {
    std::string text;
    for (std::uint64_t key : mod.GetGroupKeys()) {
        const UnwrapUVSet* set = mod.FindUVSet(key);
        if (set == nullptr) {
            continue;
        }
        text += set->groupName + "\r\n" + "map channel: " + std::to_string(set->mapChannel) +
                "\r\n" + std::to_string(set->numVertices) + " vertices in map " +
                std::to_string(std::int64_t{set->mapIndex} + 1) + "/" +
                std::to_string(set->mapCount) + "\r\n" + "\r\n";
    }
    return text;
}

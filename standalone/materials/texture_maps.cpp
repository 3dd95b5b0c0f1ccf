#include "standalone/materials/texture_maps.h"

#include "host/inode.h"
#include "host/mtl.h"
#include "standalone/materials/bitmap_texture.h"

#include <unordered_set>

std::vector<BitmapTexture*> BitmapTexturesBelow(INode* root) {
    std::vector<BitmapTexture*> found;
    std::unordered_set<MtlBase*> seen;
    std::vector<MtlBase*> open;
    std::vector<INode*> nodes{root};
    // Both walks keep their own stacks: a scene file may nest materials far
    // deeper than the call stack reaches.
    while (!nodes.empty()) {
        INode* node = nodes.back();
        nodes.pop_back();
        if (node == nullptr) {
            continue;
        }
        open.push_back(node->GetMtl());
        for (int i = 0; i < node->NumberOfChildren(); ++i) {
            nodes.push_back(node->GetChildNode(i));
        }
    }
    while (!open.empty()) {
        MtlBase* item = open.back();
        open.pop_back();
        if (item == nullptr || !seen.insert(item).second) {
            continue;
        }
        if (auto* bitmap = dynamic_cast<BitmapTexture*>(item)) {
            found.push_back(bitmap);
        }
        if (auto* mtl = dynamic_cast<Mtl*>(item)) {
            for (int i = 0; i < mtl->NumSubMtls(); ++i) {
                open.push_back(mtl->GetSubMtl(i));
            }
        }
        for (int i = 0; i < item->NumSubTexmaps(); ++i) {
            open.push_back(item->GetSubTexmap(i));
        }
    }
    return found;
}

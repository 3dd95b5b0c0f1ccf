#include "bake/bake_selection.h"

#include "bake/caddy.h"

#include "host/interface.h"
#include "host/text.h"
#include "settings/settings.h"

void BakeSelection::SelectOne(INode* node) {
    Select({node});
}

void BakeSelection::SelectList(const std::vector<INode*>& nodes) {
    Select(nodes);
}

bool BakeSelection::SelectCaddy(int mapIndex) {
    Select({});
    // The newest node of the name: an older one is a user's object that
    // happens to carry it.
    const std::wstring name = Utf8ToWide(CaddyName(mapIndex));
    INode* caddy = nullptr;
    INode* root = GetCOREInterface()->GetRootNode();
    for (int i = 0; root != nullptr && i < root->NumberOfChildren(); ++i) {
        INode* node = root->GetChildNode(i);
        if (node != nullptr && name == node->GetName()) {
            caddy = node;
        }
    }
    if (caddy == nullptr) {
        report(
            "vellumar caddy: selection mismatch.\nVellumar needs to fall back to alternate merge "
            "mode. This is slower and might cause issues with specific bake tasks like large "
            "scale hdr baking.",
            0);
        return false;
    }
    GetCOREInterface()->SelectNode(caddy, 1);
    return true;
}

void BakeSelection::Select(const std::vector<INode*>& nodes) {
    Interface* ip = GetCOREInterface();
    if (!recorded_) {
        saved_.clear();
        for (int i = 0; i < ip->GetSelNodeCount(); ++i) {
            saved_.push_back(ip->GetSelNode(i));
        }
        frozen_ = ip->SelectionFrozen() != 0;
        recorded_ = true;
    }
    ip->ThawSelection();
    ip->ClearNodeSelection(0);
    bool first = true;
    for (INode* node : nodes) {
        ip->SelectNode(node, first ? 1 : 0);
        first = false;
    }
}

void BakeSelection::Restore() {
    if (!recorded_) {
        return;
    }
    Interface* ip = GetCOREInterface();
    ip->ThawSelection();
    ip->ClearNodeSelection(0);
    for (INode* node : saved_) {
        ip->SelectNode(node, 0);
    }
    if (frozen_) {
        ip->FreezeSelection();
    }
    recorded_ = false;
    saved_.clear();
}

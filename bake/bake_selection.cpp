#include "bake/bake_selection.h"

#include "host/interface.h"

void BakeSelection::SelectOne(INode* node) {
    Select({node});
}

void BakeSelection::SelectList(const std::vector<INode*>& nodes) {
    Select(nodes);
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

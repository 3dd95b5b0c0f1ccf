#include "modifier/unwrap_groups.h"

#include "host/interface.h"
#include "modifier/vellumar_modifier.h"

namespace {

void (*group_list_refresh)() = nullptr;

// Depth first from the root, in child order. A loop rather than recursion:
// a host's hierarchy can be deeper than the stack.
void collect_nodes(INode* root, std::vector<INode*>& out) {
    std::vector<INode*> pending = {root};
    while (!pending.empty()) {
        INode* node = pending.back();
        pending.pop_back();
        if (node == nullptr) {
            continue;
        }
        if (!node->IsRootNode()) {
            out.push_back(node);
        }
        for (int i = node->NumberOfChildren(); i-- > 0;) {
            pending.push_back(node->GetChildNode(i));
        }
    }
}

// The node's modifiers in search order: derived objects from the node's
// reference down, each from its highest modifier index to 0.
template <class Visit> void visit_modifiers(INode* node, Visit visit) {
    Object* obj = node->GetObjectRef();
    while (obj != nullptr && obj->SuperClassID() == GEN_DERIVOB_CLASS_ID) {
        auto* derived = static_cast<IDerivedObject*>(obj);
        for (int i = derived->NumModifiers() - 1; i >= 0; --i) {
            Modifier* mod = derived->GetModifier(i);
            if (mod != nullptr && mod->ClassID() == VELLUMAR_MODIFIER_CLASS_ID &&
                visit(static_cast<VellumarModifier*>(mod))) {
                return;
            }
        }
        obj = derived->GetObjRef();
    }
}

std::vector<ScannedNode> scan(const std::uint64_t* key) {
    std::vector<INode*> nodes;
    collect_nodes(GetCOREInterface()->GetRootNode(), nodes);
    std::vector<ScannedNode> out;
    for (INode* node : nodes) {
        visit_modifiers(node, [&](VellumarModifier* mod) {
            if (key == nullptr || mod->FindUVSet(*key) != nullptr) {
                out.push_back({node, mod});
                return true;
            }
            return false;
        });
    }
    return out;
}

} // namespace

VellumarModifier* FindVellumarModifier(INode* node) {
    VellumarModifier* found = nullptr;
    if (node != nullptr) {
        visit_modifiers(node, [&](VellumarModifier* mod) {
            found = mod;
            return true;
        });
    }
    return found;
}

std::vector<ScannedNode> ScanNodes() {
    return scan(nullptr);
}
std::vector<ScannedNode> ScanNodes(std::uint64_t groupKey) {
    return scan(&groupKey);
}

std::int32_t NodeMapChannel(INode* node, std::uint64_t groupKey) {
    const VellumarModifier* mod = FindVellumarModifier(node);
    if (mod == nullptr) {
        return 1;
    }
    const UnwrapUVSet* set = mod->FindUVSet(groupKey);
    return set != nullptr ? set->mapChannel : 0;
}

std::int32_t NodeMapIndex(INode* node, std::uint64_t groupKey) {
    const VellumarModifier* mod = FindVellumarModifier(node);
    const UnwrapUVSet* set = mod != nullptr ? mod->FindUVSet(groupKey) : nullptr;
    return set != nullptr ? set->mapIndex : 0;
}

std::int32_t NodeMapCount(INode* node, std::uint64_t groupKey) {
    const VellumarModifier* mod = FindVellumarModifier(node);
    if (mod == nullptr) {
        return 1;
    }
    const UnwrapUVSet* set = mod->FindUVSet(groupKey);
    return set != nullptr ? set->mapCount : 0;
}

std::map<std::uint64_t, std::string> CollectUnwrapGroups() {
    std::map<std::uint64_t, std::string> groups;
    for (const ScannedNode& s : ScanNodes()) {
        for (const auto& [key, set] : s.modifier->Sets()) {
            groups[key] = set.groupName;
        }
    }
    return groups;
}

int RemoveUnwrapGroup(std::uint64_t groupKey) {
    const std::vector<ScannedNode> holders = ScanNodes(groupKey);
    for (const ScannedNode& s : holders) {
        if (!s.modifier->RemoveUVSet(groupKey)) {
            GetCOREInterface()->DeleteModifier(*s.node, *s.modifier);
        }
    }
    RefreshUnwrapGroupList();
    return static_cast<int>(holders.size());
}

void SetUnwrapGroupListRefresh(void (*refresh)()) {
    group_list_refresh = refresh;
}

void RefreshUnwrapGroupList() {
    if (group_list_refresh != nullptr) {
        group_list_refresh();
    }
}

#include "unwrap/distribute.h"

#include "unwrap/proxy_exception.h"

#include <algorithm>
#include <numeric>

std::vector<std::int32_t> distribute_fixed(std::span<UnwrapResult> results,
                                           std::span<const float> weights, int map_count) {
    std::vector<std::int32_t> assignment(weights.size(), -1);
    if (weights.empty() || map_count < 1) {
        return assignment;
    }
    std::vector<float> loads(static_cast<std::size_t>(map_count), 0.0f);
    std::vector<std::size_t> order(weights.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return weights[a] != weights[b] ? weights[a] > weights[b] : a > b;
    });
    for (std::size_t object : order) {
        const auto lightest = std::min_element(loads.begin(), loads.end());
        *lightest += weights[object];
        const auto map = static_cast<std::int32_t>(lightest - loads.begin());
        assignment[object] = map;
        if (object < results.size()) {
            results[object].map_index = map;
        }
    }
    return assignment;
}

namespace {

int find_set(const std::wstring& name) {
    INamedSelectionSetManager& sets = GetCOREInterface()->GetNamedSelectionSetManager();
    for (int i = 0; i < sets.GetNumNamedSelSets(); ++i) {
        const MCHAR* set_name = sets.GetNamedSelSetName(i);
        if (set_name != nullptr && name == set_name) {
            return i;
        }
    }
    return -1;
}

} // namespace

std::vector<INode*> usable_set_members(int set_index, TimeValue t) {
    INamedSelectionSetManager& sets = GetCOREInterface()->GetNamedSelectionSetManager();
    std::vector<INode*> members;
    for (int i = 0; i < sets.GetNamedSelSetItemCount(set_index); ++i) {
        INode* node = sets.GetNamedSelSetItem(set_index, i);
        if (node == nullptr) {
            continue;
        }
        Object* obj = node->EvalWorldState(t, 1).obj;
        if (obj != nullptr && obj->CanConvertToType(triObjectClassID)) {
            members.push_back(node);
        }
    }
    return members;
}

void clean_chosen_sets(std::vector<std::wstring>& chosen_sets, bool remove_empty, TimeValue t) {
    for (std::size_t i = chosen_sets.size(); i-- > 0;) {
        const int set = find_set(chosen_sets[i]);
        if (set < 0 || (remove_empty && usable_set_members(set, t).empty())) {
            chosen_sets.erase(chosen_sets.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

std::vector<INode*> nodes_of_chosen_sets(const std::vector<std::wstring>& chosen_sets,
                                         TimeValue t) {
    std::vector<INode*> nodes;
    for (const std::wstring& name : chosen_sets) {
        const int set = find_set(name);
        if (set >= 0) {
            const auto members = usable_set_members(set, t);
            nodes.insert(nodes.end(), members.begin(), members.end());
        }
    }
    return nodes;
}

std::vector<std::int32_t> distribute_by_sets(std::span<UnwrapResult> results,
                                             std::map<INode*, std::size_t> node_index,
                                             const std::vector<std::wstring>& chosen_sets,
                                             TimeValue t) {
    std::vector<std::int32_t> assignment(results.size(), -1);
    std::size_t assigned = 0;
    for (std::size_t g = 0; g < chosen_sets.size(); ++g) {
        const int set = find_set(chosen_sets[g]);
        if (set < 0) {
            continue;
        }
        for (INode* member : usable_set_members(set, t)) {
            const auto it = node_index.find(member);
            if (it == node_index.end()) {
                continue;
            }
            const std::size_t record = it->second;
            if (record < assignment.size()) {
                assignment[record] = static_cast<std::int32_t>(g);
                results[record].map_index = static_cast<std::int32_t>(g);
            }
            ++assigned;
            node_index.erase(it);
        }
    }
    if (assigned != results.size()) {
        throw Proxy_Exception(
            "Cannot assign objects in selection sets. At least one object was found in multiple "
            "selected sets. Since an object can't have multiple different unwraps in the same UV "
            "channel this would result in a defective texture with overlapping objects.",
            kUnwrapperUnit, __LINE__);
    }
    return assignment;
}

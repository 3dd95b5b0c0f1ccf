// Copying a modifier copies its objects' membership: a copied set joins the
// group of a copy, already in the scene, of another member of its group, so
// that copying a whole group one object at a time yields one new group.
#include "modifier/unwrap_groups.h"
#include "modifier/vellumar_modifier.h"

#include <charconv>
#include <set>

std::string MakeUniqueGroupName(const std::string& name) {
    std::size_t digits_start = name.size();
    while (digits_start > 0 && name[digits_start - 1] >= '0' && name[digits_start - 1] <= '9') {
        --digits_start;
    }
    const std::string base = name.substr(0, digits_start);
    std::uint64_t n = 0;
    const char* first = name.data() + digits_start;
    const char* last = name.data() + name.size();
    if (first == last || std::from_chars(first, last, n).ec != std::errc()) {
        n = 0;
    }
    std::set<std::string> taken;
    for (const auto& entry : CollectUnwrapGroups()) {
        taken.insert(entry.second);
    }
    std::string candidate;
    do {
        ++n;
        std::string number = std::to_string(n);
        if (number.size() < 3) {
            number.insert(0, 3 - number.size(), '0');
        }
        candidate = base + number;
    } while (taken.count(candidate) != 0);
    return candidate;
}

ReferenceTarget* VellumarModifier::Clone(RemapDir&) {
    auto* copy = new VellumarModifier;
    const std::vector<ScannedNode> scene = ScanNodes();
    for (const auto& [key, set] : sets_) {
        std::string name = MakeUniqueGroupName(set.groupName);
        // Copies of this group's members already in the scene: one of the
        // same set (same stamp) means this set was copied before, and its
        // copy's group is not the one to join.
        std::set<std::uint64_t> excluded;
        std::map<std::uint64_t, const UnwrapUVSet*> candidates;
        for (const ScannedNode& s : scene) {
            for (const auto& [other_key, other] : s.modifier->Sets()) {
                if (other.sourceKey != key) {
                    continue;
                }
                if (other.stamp == set.stamp) {
                    excluded.insert(other_key);
                } else {
                    candidates.emplace(other_key, &other);
                }
            }
        }
        std::uint64_t new_key = 0;
        for (const auto& [candidate_key, candidate] : candidates) {
            if (excluded.count(candidate_key) == 0) {
                new_key = candidate_key;
                name = candidate->groupName;
                break;
            }
        }
        if (new_key == 0) {
            new_key = MakeUniqueStamp();
        }
        UnwrapUVSet clone = set;
        clone.groupName = name;
        clone.sourceKey = key;
        copy->sets_[new_key] = std::move(clone);
    }
    RefreshUnwrapGroupList();
    return copy;
}

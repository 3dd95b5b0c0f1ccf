// Which target map (atlas) each object of a run goes to: balanced by surface
// area over a fixed number of maps, or one map per chosen selection set.
#pragma once

#include "host/interface.h"
#include "unwrap/object_record.h"

#include <map>
#include <span>
#include <string>
#include <vector>

// Greedy balancing, largest first: objects by descending weight (equal
// weights: the later object first) each go to the least loaded map (lowest
// index on ties). Writes the map index into results[i] and returns it per
// object.
std::vector<std::int32_t> distribute_fixed(std::span<UnwrapResult> results,
                                           std::span<const float> weights, int map_count);

// Drops chosen sets that no longer exist and, when asked, those without a
// usable member; walks from the last entry to the first.
void clean_chosen_sets(std::vector<std::wstring>& chosen_sets, bool remove_empty, TimeValue t);

// Members of a named set whose evaluated object can become a triangle mesh.
std::vector<INode*> usable_set_members(int set_index, TimeValue t);

// The members of every chosen set, set after set.
std::vector<INode*> nodes_of_chosen_sets(const std::vector<std::wstring>& chosen_sets, TimeValue t);

// One map per chosen set, in list order; a node already assigned through an
// earlier set is ignored. Throws Proxy_Exception when not every result got a
// map (a node in several sets, or a node that was skipped).
std::vector<std::int32_t> distribute_by_sets(std::span<UnwrapResult> results,
                                             std::map<INode*, std::size_t> node_index,
                                             const std::vector<std::wstring>& chosen_sets,
                                             TimeValue t);

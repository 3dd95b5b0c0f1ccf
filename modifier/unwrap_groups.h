// Scene-wide questions about unwrap groups, answered from the modifiers on
// the nodes' stacks.
#pragma once

#include "host/inode.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class VellumarModifier;

struct ScannedNode {
    INode* node;
    VellumarModifier* modifier;
};

// Every scene node with a VellumarModifier. Without a key: the first one
// found on the node's stack; with a key: the first one holding that key.
std::vector<ScannedNode> ScanNodes();
std::vector<ScannedNode> ScanNodes(std::uint64_t groupKey);

// Per node and group: 1 / 0 / the set's channel (no modifier / no such set /
// set), and likewise 0 / 0 / map index and 1 / 0 / map count.
std::int32_t NodeMapChannel(INode* node, std::uint64_t groupKey);
std::int32_t NodeMapIndex(INode* node, std::uint64_t groupKey);
std::int32_t NodeMapCount(INode* node, std::uint64_t groupKey);

// Every group of the scene: key -> name (the last node visited wins).
std::map<std::uint64_t, std::string> CollectUnwrapGroups();

// Removes the group from every modifier holding it; a modifier left with no
// set is deleted from its node. Returns the number of nodes that held it.
int RemoveUnwrapGroup(std::uint64_t groupKey);

// The utility panel's unwrap group list is rebuilt through this hook; the
// panel installs it while it exists.
void SetUnwrapGroupListRefresh(void (*refresh)());
void RefreshUnwrapGroupList();

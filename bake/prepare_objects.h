// Giving the objects of a bake pass their live host bake elements, and
// taking them away again.
#pragma once

#include "bake/pass_mode.h"

#include "host/inode.h"

#include <cstdint>
#include <string>
#include <vector>

// The folder the host renders a map into, with its closing backslash: the
// baked map path, or the network job folder of the map.
std::string BakeOutputFolder(int mapCount, int mapIndex);

// Resets every object's bake properties and gives it one element per chosen
// entry (with the entry's parameters, output size and a name telling map,
// frame and object), its bake channel, its padding, and switches its baking
// on. Refills the produced-file list. An object's map index is its own in
// the group `groupKey`; caddy k bakes map caddyMaps[k] (k when not given).
void PrepareObjects(const std::vector<INode*>& objects, std::uint64_t groupKey, PassMode mode,
                    int mapCount, int channel, int frame, const std::string& groupName,
                    const std::vector<int>& caddyMaps = {});

// Baking off and no elements on every object; the network job name goes too.
void ClearBake(const std::vector<INode*>& objects);

// What a scene file keeps of a node's render-to-texture settings (its bake
// elements with every parameter, bake channel, padding, projection), so
// that a render server can bake a saved scene exactly as it was set up.
#pragma once

#include "host/ioapi.h"

#include <string>
#include <vector>

class SceneNode;
class StandaloneCore;

inline constexpr unsigned short kNodeBakeChunk = 0x5615;

bool WriteNodeBake(ISave* s, SceneNode* node);
// Reads the chunk's content onto the node, whose object and modifiers are
// already loaded. What cannot be restored is named in warnings.
void ReadNodeBake(ILoad* in, StandaloneCore& core, SceneNode* node,
                  std::vector<std::string>& warnings);

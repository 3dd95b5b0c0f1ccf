// The bitmap maps a scene's materials use, found once each however deep
// the materials nest or however often they are shared.
#pragma once

#include <vector>

class INode;
class BitmapTexture;

// Every bitmap map of the materials of the node and all nodes below it.
std::vector<BitmapTexture*> BitmapTexturesBelow(INode* root);

// The host's render-to-texture: the `render rendertype:#bakeSelected` of
// scripts. Every selected node with baking switched on gets each of its
// enabled bake elements rendered over its surface in its bake channel, at
// the element's own output size, padded by the node's dilations, and
// written to the element's output path.
#pragma once

#include "standalone/script/script_value.h"

#include <cstddef>
#include <string>

class StandaloneCore;

// Renders the selection at `frame`. Returns "" or why the render failed;
// images written before a failure stay.
std::string RenderBakeSelected(StandaloneCore& core, int frame);

// How many texels of an image are rendered at once (about 4 million unless
// set): a larger image is rendered in bands of rows of that size, so memory
// follows the band, not the atlas. The images are the same either way.
void SetBakeBandTexels(std::size_t texels);

// The script function `render` of this host, bound to the core.
ScriptValue RenderScriptFunction(StandaloneCore& core, const ScriptArgs& args);

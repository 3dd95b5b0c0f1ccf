// The host's render-to-texture: the `render rendertype:#bakeSelected` of
// scripts. Every selected node with baking switched on gets each of its
// enabled bake elements rendered over its surface in its bake channel, at
// the element's own output size, padded by the node's dilations, and
// written to the element's output path.
#pragma once

#include "standalone/script/script_value.h"

#include <string>

class StandaloneCore;

// Renders the selection at `frame`. Returns "" or why the render failed;
// images written before a failure stay.
std::string RenderBakeSelected(StandaloneCore& core, int frame);

// The script function `render` of this host, bound to the core.
ScriptValue RenderScriptFunction(StandaloneCore& core, const ScriptArgs& args);

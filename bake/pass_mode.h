// How one frame of a bake is rendered: all objects of a map together, each
// object alone (its images merged afterwards), or one combined caddy object
// per map.
#pragma once

#include "bake/renderer_kind.h"

#include <string>

enum PassMode : int { PerMap = 0, PerObject = 1, Caddy = 2 };

// The tag messages name the mode by: "mode_s", "mode_m", "mode_c".
const char* PassModeTag(PassMode mode);

// The mode a renderer bakes in without caddies: scanline and mental ray bake
// a whole map in one render, the others one object at a time.
PassMode SeparatePassMode(RendererKind kind);

// What a bake reports when the renderer could not render in that mode.
std::string RenderFailedText(PassMode mode);

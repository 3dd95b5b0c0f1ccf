// Has the host render what is selected, through the script text the host
// runs for render-to-texture.
#pragma once

#include <string>

// The render script: a W x H bitmap receives the render window's image.
std::string RenderScript(int width, int height, int frame);

// Renders the selected objects' bake elements at `frame`; false when the
// host's script reports a failure. Network bakes are refused with a message
// until network submission exists.
bool RenderSelection(int mapCount, int mapIndex, int frame);

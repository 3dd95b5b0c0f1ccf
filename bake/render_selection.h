// Has the host render what is selected, through the script text the host
// runs for render-to-texture.
#pragma once

#include <string>

// The render script: a W x H bitmap receives the render window's image.
std::string RenderScript(int width, int height, int frame);

// Renders the selected objects' bake elements at `frame`; false when the
// host's script reports a failure. With network rendering on, the selection
// goes to the render farm as one job instead.
bool RenderSelection(int mapCount, int mapIndex, int frame, const std::string& groupName);

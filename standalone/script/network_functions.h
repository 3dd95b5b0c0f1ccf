// The script side of network rendering on this host: the scene file's
// custom properties (fileProperties), the frame buffer switch
// (rendShowVFB), message boxes, the current selection, and NetworkRTT,
// which hands the selection's render-to-texture to the render farm.
#pragma once

class StandaloneCore;

void InstallNetworkFunctions(StandaloneCore& core);

// A renderer for bake tests, installed as the script function "render": for
// every selected node with baking on, each enabled element's image is
// written to the element's full output path, filled with the node's colour
// inside the node's rectangle and transparent elsewhere.
#pragma once

#include "standalone/core.h"

#include <string>
#include <vector>

struct RenderCall {
    int frame = 0;
    TimeValue time = 0;
    bool selectionFrozen = false;
    std::vector<std::string> selected;     // node names, in selection order
    std::vector<std::string> written;      // full output paths
    std::vector<std::string> elementNames; // element file names
};

struct PixelRect {
    int x0, y0, x1, y1; // x1, y1 exclusive
    bool contains(int x, int y) const { return x >= x0 && x < x1 && y >= y0 && y < y1; }
};

class TestRenderer {
  public:
    explicit TestRenderer(StandaloneCore& core);

    // Colour and rectangle of a node in a w x h image: a quarter-wide column
    // chosen by the node's handle, upper half of the image.
    static BMM_Color_64 ColourOf(INode* node);
    static PixelRect RectOf(INode* node, int w, int h);

    int failOnCall = 0; // the call (1-based) that fails; 0: none
    std::vector<RenderCall> calls;

  private:
    void Render(int frame);
    StandaloneCore& core_;
};

#include "bake/render_selection.h"

#include "netrender/net_render.h"

#include "host/script.h"
#include "host/text.h"
#include "settings/settings.h"

std::string RenderScript(int width, int height, int frame) {
    return "bm = bitmap " + std::to_string(width) + " " + std::to_string(height) +
           " \n render rendertype:#bakeSelected frame:" + std::to_string(frame) +
           " to:bm vfb:true \n close bm";
}

bool RenderSelection(int mapCount, int mapIndex, int frame, const std::string& groupName) {
    const UnwrapSettings& s = settings();
    if (s.netrender) {
        return netRender().SubmitNetworkBake(s.elements, mapCount, mapIndex, frame, groupName);
    }
    // Each element renders at its own output size; the script's bitmap only
    // receives the render window, so the first entry's size serves.
    const int width = s.elements.empty() ? 1 : s.elements.front().width;
    const int height = s.elements.empty() ? 1 : s.elements.front().height;
    const std::wstring script = Utf8ToWide(RenderScript(width, height, frame));
    return ExecuteMAXScriptScript(script.c_str(), 0) != 0;
}

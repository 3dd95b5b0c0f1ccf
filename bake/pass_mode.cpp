#include "bake/pass_mode.h"

const char* PassModeTag(PassMode mode) {
    switch (mode) {
    case PerMap:
        return "mode_s";
    case PerObject:
        return "mode_m";
    case Caddy:
        return "mode_c";
    }
    return "mode_s";
}

PassMode SeparatePassMode(RendererKind kind) {
    return kind == Scanline || kind == MentalRay ? PerMap : PerObject;
}

std::string RenderFailedText(PassMode mode) {
    return std::string("Selected renderer could not execute the render job (") + PassModeTag(mode) +
           ").\nPlease check your renderer and bake element settings.\nAn error message from the "
           "renderer might have been added to the MAXScript console. Check there for additional "
           "information.";
}

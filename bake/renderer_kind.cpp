#include "bake/renderer_kind.h"

#include "host/interface.h"
#include "host/text.h"

namespace {

bool contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

// V-Ray 1.50 SP4a was the first release whose bake the plug-in can drive as
// the newer ones. The version is the text behind the name's last blank,
// "major.minor.rest"; anything that does not split that way counts as old.
bool vray_is_new(const std::string& name) {
    const std::size_t blank = name.rfind(' ');
    if (blank == std::string::npos) {
        return false;
    }
    const std::string version = name.substr(blank + 1);
    const std::size_t p1 = version.find('.');
    if (p1 == std::string::npos) {
        return false;
    }
    const std::size_t p2 = version.find('.', p1 + 1);
    if (p2 == std::string::npos) {
        return false;
    }
    auto number = [](const std::string& s, int& out) {
        if (s.empty() || s.size() > 6) {
            return false;
        }
        out = 0;
        for (char c : s) {
            if (c < '0' || c > '9') {
                return false;
            }
            out = out * 10 + (c - '0');
        }
        return true;
    };
    int major = 0, minor = 0;
    if (!number(version.substr(0, p1), major) ||
        !number(version.substr(p1 + 1, p2 - p1 - 1), minor)) {
        return false;
    }
    const std::string rest = version.substr(p2 + 1);
    if (major > 1) {
        return true;
    }
    if (major < 1 || minor < 50) {
        return false;
    }
    if (minor > 50) {
        return true;
    }
    if (rest.size() < 3 || rest.compare(0, 2, "SP") != 0) {
        return false;
    }
    const char pack = rest[2];
    return pack > '4' || (pack == '4' && rest.size() > 3);
}

} // namespace

RendererKind RendererKindOf(const std::string& n, Class_ID id) {
    const ULONG a = id.PartA();
    if (id == Class_ID(1, 0)) {
        return Scanline;
    }
    if (a == 0x58F67D6C || contains(n, "mental ray")) {
        return MentalRay;
    }
    if (a == 0x0CF12AB7 || contains(n, "finalRender")) {
        return FinalRender;
    }
    if (a == 0x73BAB286 || contains(n, "V-Ray")) {
        return vray_is_new(n) ? VRay : VRayOld;
    }
    if (a == 0x05B120FC || contains(n, "Brazil")) {
        return Brazil;
    }
    if (a == 5 || contains(n, "VUE File")) {
        return VueFile;
    }
    if (a == 0x62A85DCC || contains(n, "Corona")) {
        return Corona;
    }
    return Other;
}

RendererKind CurrentRendererKind() {
    Interface* ip = GetCOREInterface();
    Renderer* renderer = ip != nullptr ? ip->GetCurrentRenderer() : nullptr;
    if (renderer == nullptr) {
        return Other;
    }
    std::wstring name;
    renderer->GetClassName(name);
    return RendererKindOf(WideToUtf8(name), renderer->ClassID());
}

#include "settings/settings.h"

#include "host/interface.h"
#include "host/text.h"
#include "host/windows.h"

#include <mutex>

namespace {

// Both defaults come from the host; without one (a tool that never started
// it) they fall back to the host's usual answers.
std::string host_image_folder() {
    Interface* ip = GetCOREInterface();
    const MCHAR* dir = ip != nullptr ? ip->GetDir(APP_IMAGE_DIR) : nullptr;
    return WideToUtf8(dir != nullptr ? dir : L"") + "\\";
}

std::string standard_material_name() {
    Interface* ip = GetCOREInterface();
    ClassEntry* entry =
        ip != nullptr
            ? ip->GetClassDirectory().FindClassEntry(MATERIAL_CLASS_ID, standardMaterialClassID)
            : nullptr;
    return entry != nullptr ? WideToUtf8(entry->ClassName()) : std::string("Standard");
}

} // namespace

void UnwrapSettings::reset() {
    channel = 1;
    charts = 0;
    stretch = 0.15f;
    width = 1024;
    height = 1024;
    gutter = 4;
    quality = false;
    preview = true;
    seams = false;
    source_channel = 1;
    unwrapmode = Polygons;
    padding = 2;
    keepshell = true;
    outpath = host_image_folder();
    bakerange = false;
    bakerangefrom = 0;
    bakerangeto = 100;
    netrender = false;
    netpath = "\\\\server\\";
    manager = "localhost";
    port = 3234;
    ratio = 1.0f;
    aspectlock = true;
    angle_concave = 90.0f;
    use_concave = false;
    angle_convex = 90.0f;
    use_convex = false;
    mapcount = 1;
    mapmode = FixedNumber;
    bakemode = SinglePass;
    base_unwrap = Organic;
    create_shell = true;
    target_material = standard_material_name();
    add_self_illumination = false;
    projection_camera = 0;
    projection_tolerance = 0.0f;
    projection_angle = 45.0f;
    projection_orthographic = false;
    add_group_name_to_textures = true;
}

UnwrapSettings& settings() {
    // Created on first use, after the host is up: the defaults ask the host
    // for its image folder and its standard material. The instance must
    // exist before the default preset is read, since the load reports
    // through it and creates bake entries that ask it for the outpath.
    static UnwrapSettings instance{};
    static bool created = false;
    if (!created) {
        created = true;
        instance.reset();
        instance.load_startup_options();
        instance.load("");
    }
    return instance;
}

void report(const std::string& text, int level) {
    // The record is made before the lock is taken: making it reports a
    // missing default preset through here, which must not wait on itself.
    UnwrapSettings& s = settings();
    // Network jobs report from the manager's thread as well.
    static std::recursive_mutex reporting;
    std::lock_guard lock(reporting);
    s.last_message = text;
    if (level == 0 || level == 2) {
        Interface* ip = GetCOREInterface();
        MessageBoxW(ip != nullptr ? ip->GetMAXHWnd() : nullptr, Utf8ToWide(text).c_str(),
                    L"Notification", MB_OK);
    }
}

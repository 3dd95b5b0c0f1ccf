#include "apps/vellumar/preset_commands.h"

#include "apps/vellumar/element_text.h"
#include "apps/vellumar/scene_io.h"
#include "host/text.h"
#include "settings/preset_values.h"

#include <cstdio>

namespace {

// What the record's creation had to say (a missing default preset) goes to
// stderr, so that the listing on stdout stays clean.
void print_notes(const StandaloneCore& core) {
    for (const MessageRecord& m : core.messages()) {
        std::fprintf(stderr, "%s: %s\n", WideToUtf8(m.caption).c_str(), WideToUtf8(m.text).c_str());
    }
}

void print_parameter(const BakeParam& p, const char* indent) {
    const std::string range = ParamRangeText(p);
    std::printf("%s%s: %s = %s%s\n", indent, p.name.c_str(), ParamTypeText(p).c_str(),
                ParamValueText(p).c_str(), range.empty() ? "" : (" (" + range + ")").c_str());
}

void print_settings(const UnwrapSettings& s) {
    auto line = [](const char* key, const std::string& value) {
        std::printf("%-28s %s\n", key, value.c_str());
    };
    auto num = [](long long v) { return std::to_string(v); };
    line("channel", num(s.channel));
    line("charts", num(s.charts));
    line("stretch", FloatText(s.stretch));
    line("width", num(s.width));
    line("height", num(s.height));
    line("gutter", num(s.gutter));
    line("quality", FlagText(s.quality));
    line("preview", FlagText(s.preview));
    line("seams", FlagText(s.seams));
    line("source_channel", num(s.source_channel));
    line("unwrapmode", num(s.unwrapmode));
    line("padding", num(s.padding));
    line("keepshell", FlagText(s.keepshell));
    line("outpath", s.outpath);
    line("bakerange", FlagText(s.bakerange));
    line("bakerangefrom", num(s.bakerangefrom));
    line("bakerangeto", num(s.bakerangeto));
    line("netrender", FlagText(s.netrender));
    line("netpath", s.netpath);
    line("manager", s.manager);
    line("port", num(s.port));
    line("ratio", FloatText(s.ratio));
    line("aspectlock", FlagText(s.aspectlock));
    line("angle_concave", FloatText(s.angle_concave));
    line("use_concave", FlagText(s.use_concave));
    line("angle_convex", FloatText(s.angle_convex));
    line("use_convex", FlagText(s.use_convex));
    line("mapcount", num(s.mapcount));
    line("mapmode", num(s.mapmode));
    line("bakemode", num(s.bakemode));
    line("base_unwrap", num(s.base_unwrap));
    line("create_shell", FlagText(s.create_shell));
    line("target_material", s.target_material);
    line("add_self_illumination", FlagText(s.add_self_illumination));
    line("projection_camera", num(s.projection_camera));
    line("projection_tolerance", FloatText(s.projection_tolerance));
    line("projection_angle", FloatText(s.projection_angle));
    line("projection_orthographic", FlagText(s.projection_orthographic));
    line("add_group_name_to_textures", FlagText(s.add_group_name_to_textures));
    std::printf("elements: %zu\n", s.elements.size());
    for (std::size_t k = 0; k < s.elements.size(); ++k) {
        const BakeElementEntry& e = s.elements[k];
        std::printf("  %zu. %s %dx%d slot %s file %s (type %d) background %s %s %s\n", k + 1,
                    WideToUtf8(e.elementClass->ClassName()).c_str(), e.width, e.height,
                    e.slot.c_str(), WideToUtf8(e.file.Name()).c_str(), e.file.Type(),
                    FloatText(e.background[0]).c_str(), FloatText(e.background[1]).c_str(),
                    FloatText(e.background[2]).c_str());
        for (const BakeParam& p : e.parameters) {
            print_parameter(p, "     ");
        }
    }
}

} // namespace

int run_preset_save(const SettingOptions& options, const std::string& file) {
    StandaloneCore core;
    register_plugin_classes(core);
    UnwrapSettings& s = settings();
    print_notes(core);
    core.ClearMessages();
    if (!options.apply(s)) {
        return 2;
    }
    if (!s.save(file)) {
        std::fprintf(stderr, "vellumar: %s\n", s.last_message.c_str());
        return 2;
    }
    std::printf("saved %s (%zu elements)\n", (file.empty() ? DefaultPresetPath() : file).c_str(),
                s.elements.size());
    return 0;
}

int run_preset_show(const std::string& file) {
    StandaloneCore core;
    register_plugin_classes(core);
    UnwrapSettings& s = settings();
    print_notes(core);
    core.ClearMessages();
    // As "Load Settings" does: what the file does not hold is the default.
    s.reset();
    if (!s.load(file)) {
        std::fprintf(stderr, "vellumar: %s\n", s.last_message.c_str());
        return 2;
    }
    print_notes(core);
    print_settings(s);
    return 0;
}

int run_elements_command() {
    StandaloneCore core;
    register_plugin_classes(core);
    settings();
    core.ClearMessages();
    for (ClassDesc* desc : AvailableElementClasses()) {
        const BakeElementEntry e = CreateEntry(desc);
        std::printf("%s\n", WideToUtf8(desc->ClassName()).c_str());
        for (const BakeParam& p : e.parameters) {
            print_parameter(p, "  ");
        }
    }
    print_notes(core);
    return 0;
}

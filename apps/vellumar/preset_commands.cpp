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
    for (const auto& [key, value] : PresetValueTexts(s)) {
        std::printf("%-28s %s\n", key.c_str(), value.c_str());
    }
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

// The tool's host with the record created; what the creation had to say is
// printed and forgotten.
UnwrapSettings& start_host(StandaloneCore& core) {
    register_plugin_classes(core);
    UnwrapSettings& s = settings();
    print_notes(core);
    core.ClearMessages();
    return s;
}

} // namespace

int run_preset_save(const SettingOptions& options, const std::string& file) {
    StandaloneCore core;
    UnwrapSettings& s = start_host(core);
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
    UnwrapSettings& s = start_host(core);
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
    start_host(core);
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

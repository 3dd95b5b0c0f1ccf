#include "apps/vellumar/setting_options.h"

#include "apps/vellumar/element_text.h"
#include "settings/preset_values.h"

#include <cmath>
#include <cstdio>
#include <map>

namespace {

const std::map<std::string, int> kModes = {{"organic", Organic},
                                           {"hard-surface", HardSurface},
                                           {"pack", UvPack},
                                           {"copy", UvCopy},
                                           {"projection", Projection}};
const std::map<std::string, int> kBakeModes = {{"separate", Separate}, {"single-pass", SinglePass}};

// Options refuse NaN on their own: a range check lets it through.
template <class T> CLI::Validator finite_range(T lo, T hi) {
    return CLI::Validator(
        [lo, hi](std::string& text) -> std::string {
            const std::optional<float> v = ParseFloat(text);
            if (!v || *v < lo || *v > hi) {
                return "Value " + text + " not a finite number in range [" + FloatText(lo) + " - " +
                       FloatText(hi) + "]";
            }
            return "";
        },
        "FLOAT in [" + FloatText(lo) + " - " + FloatText(hi) + "]");
}

// "FROM:TO", "FROM-TO" or a single frame; a minus right at the start or
// after the separator is a sign ("-5--1").
bool parse_frames(const std::string& text, int& from, int& to) {
    std::size_t colon = text.find(':');
    if (colon == std::string::npos && text.size() > 1) {
        colon = text.find('-', 1);
    }
    const auto a = ParseInt(text.substr(0, colon));
    const auto b = colon == std::string::npos ? a : ParseInt(text.substr(colon + 1));
    if (!a || !b || *a < -99999 || *a > 99999 || *b < -99999 || *b > 99999) {
        return false;
    }
    from = *a;
    to = std::max(*a, *b); // the last frame is never below the first
    return true;
}

struct Check {
    const char* key;
    double value, lo, hi;
};

// A preset may hold values no panel control would let through; the run
// refuses them instead of unwrapping into a nonsense atlas.
bool check_ranges(const UnwrapSettings& s) {
    const Check checks[] = {
        {"channel", double(s.channel), 1, 99},
        {"source_channel", double(s.source_channel), 1, 99},
        {"width", double(s.width), 1, 16384},
        {"height", double(s.height), 1, 16384},
        {"gutter", double(s.gutter), 0, 256},
        {"charts", double(s.charts), 0, 2147483647.0},
        {"stretch", double(s.stretch), 0, 1},
        {"mapcount", double(s.mapcount), 1, 999},
        {"base_unwrap", double(s.base_unwrap), 0, 4},
        {"unwrapmode", double(s.unwrapmode), 0, 1},
        {"mapmode", double(s.mapmode), 0, 1},
        {"bakemode", double(s.bakemode), 0, 1},
        {"padding", double(s.padding), 0, 999},
        {"projection_angle", double(s.projection_angle), 0, 180},
        {"projection_tolerance", double(s.projection_tolerance), -90, 90},
        {"angle_concave", double(s.angle_concave), 0, 180},
        {"angle_convex", double(s.angle_convex), 0, 180},
        // Beyond these a frame's time in ticks no longer fits its integer.
        {"bakerangefrom", double(s.bakerangefrom), -99999, 99999},
        {"bakerangeto", double(s.bakerangeto), -99999, 99999},
        {"port", double(s.port), 1, 65535},
    };
    for (const Check& c : checks) {
        if (!(c.value >= c.lo && c.value <= c.hi)) {
            std::fprintf(stderr, "vellumar: setting %s = %g is outside %g..%g\n", c.key, c.value,
                         c.lo, c.hi);
            return false;
        }
    }
    return true;
}

} // namespace

template <class T>
CLI::Option* SettingOptions::bind(CLI::App* cmd, const std::string& flags, T& value,
                                  const std::string& help,
                                  std::function<void(UnwrapSettings&)> store) {
    CLI::Option* opt = cmd->add_option(flags, value, help)->capture_default_str();
    setters_.emplace_back(opt, std::move(store));
    return opt;
}

void SettingOptions::bind_flag(CLI::App* cmd, const std::string& flags, bool& value,
                               const std::string& help,
                               std::function<void(UnwrapSettings&)> store) {
    setters_.emplace_back(cmd->add_flag(flags, value, help), std::move(store));
}

void SettingOptions::add_preset_option(CLI::App* cmd) {
    cmd->add_option("--preset", preset_,
                    "Start from this preset (.vl); options given here override its values");
}

void SettingOptions::add_unwrap_options(CLI::App* cmd) {
    bind(cmd, "--mode", mode_, "Unwrap mode", [this](UnwrapSettings& s) {
        s.base_unwrap = kModes.at(mode_);
    })->check(CLI::IsMember({"organic", "hard-surface", "pack", "copy", "projection"}));
    bind(cmd, "--source-channel", source_channel_,
         "Map channel whose UVs are copied or packed, or whose seams --seams keeps",
         [this](UnwrapSettings& s) { s.source_channel = source_channel_; })
        ->check(CLI::Range(1, 99));
    bind(cmd, "--channel", channel_, "Target map channel", [this](UnwrapSettings& s) {
        s.channel = channel_;
    })->check(CLI::Range(1, 99));
    bind(cmd, "--map-count", map_count_,
         "Number of atlases; objects are balanced over them by surface area",
         [this](UnwrapSettings& s) { s.mapcount = map_count_; })
        ->check(CLI::Range(1, 999));
    bind(cmd, "--width", width_, "Atlas width in pixels", [this](UnwrapSettings& s) {
        s.width = width_;
    })->check(CLI::Range(1, 16384));
    bind(cmd, "--height", height_, "Atlas height in pixels", [this](UnwrapSettings& s) {
        s.height = height_;
    })->check(CLI::Range(1, 16384));
    bind(cmd, "--gutter", gutter_, "Empty pixels between charts", [this](UnwrapSettings& s) {
        s.gutter = gutter_;
    })->check(CLI::Range(0, 256));
    bind(cmd, "--stretch", stretch_,
         "Largest stretch a chart may have: 0 isometric .. 1 anything goes",
         [this](UnwrapSettings& s) { s.stretch = stretch_; })
        ->check(finite_range(0.0f, 1.0f));
    bind(cmd, "--charts", charts_, "Largest number of charts per atlas (0: no limit)",
         [this](UnwrapSettings& s) { s.charts = charts_; })
        ->check(CLI::NonNegativeNumber);
    bind_flag(cmd, "--quality,!--no-quality", quality_, "More effort in the organic atlas",
              [this](UnwrapSettings& s) { s.quality = quality_; });
    bind_flag(cmd, "--triangles,!--polygons", triangles_,
              "Let chart borders cross polygons (default: they follow polygon outlines)",
              [this](UnwrapSettings& s) { s.unwrapmode = triangles_ ? Triangles : Polygons; });
    bind_flag(cmd, "--seams,!--no-seams", seams_, "Keep the seams of the source channel",
              [this](UnwrapSettings& s) { s.seams = seams_; });
    bind_flag(cmd, "--orthographic,!--perspective", orthographic_,
              "Projection mode: ignore perspective",
              [this](UnwrapSettings& s) { s.projection_orthographic = orthographic_; });
    bind(cmd, "--view-angle", view_angle_, "Projection mode: view angle in degrees",
         [this](UnwrapSettings& s) { s.projection_angle = view_angle_; })
        ->check(finite_range(0.0f, 180.0f));
    bind(cmd, "--tolerance", tolerance_,
         "Projection mode: degrees of back-facing tolerance (negative: stricter)",
         [this](UnwrapSettings& s) { s.projection_tolerance = tolerance_; })
        ->check(finite_range(-90.0f, 90.0f));
}

void SettingOptions::add_bake_options(CLI::App* cmd) {
    cmd->add_option("--element", elements_,
                    "Bake element CLASS[:NAME=VALUE,...] (repeatable; replaces the preset's "
                    "elements; `vellumar elements` lists classes and parameters)");
    cmd->add_option("--element-size", element_sizes_,
                    "Output size WxH (or W) of the elements given: once for all, or once each; "
                    "without --element, once for every element of the preset");
    cmd->add_option("--slot", slots_,
                    "Material slot of the elements given (NONE: none): once for all, or once each");
    // An empty folder would put the images at the file system's root.
    out_option_ = cmd->add_option("--out", out_, "Folder of the baked images")
                      ->check(CLI::Validator(
                          [](const std::string& folder) {
                              return folder.empty() ? std::string("the folder must not be empty")
                                                    : std::string();
                          },
                          "FOLDER"));
    bind(cmd, "--padding", padding_, "Pixels baked beyond the chart borders",
         [this](UnwrapSettings& s) { s.padding = padding_; })
        ->check(CLI::Range(0, 999));
    bind(cmd, "--bake-mode", bake_mode_, "All objects of a map at once, or each alone",
         [this](UnwrapSettings& s) { s.bakemode = kBakeModes.at(bake_mode_); })
        ->check(CLI::IsMember({"separate", "single-pass"}));
    bind(cmd, "--target-material", target_material_, "Material class of the baked materials",
         [this](UnwrapSettings& s) { s.target_material = target_material_; });
    bind_flag(cmd, "--overwrite,!--shell", overwrite_,
              "Baked materials replace the old ones instead of a shell keeping both",
              [this](UnwrapSettings& s) { s.create_shell = !overwrite_; });
    bind_flag(cmd, "--keep-source,!--keep-baked", keep_source_, "Shells show the source material",
              [this](UnwrapSettings& s) { s.keepshell = !keep_source_; });
    bind_flag(cmd, "--self-illumination,!--no-self-illumination", self_illumination_,
              "Baked materials are self-illuminating",
              [this](UnwrapSettings& s) { s.add_self_illumination = self_illumination_; });
    bind_flag(cmd, "--no-group-prefix,!--group-prefix", no_group_prefix_,
              "Leave the group name out of baked image names",
              [this](UnwrapSettings& s) { s.add_group_name_to_textures = !no_group_prefix_; });
    bind(cmd, "--frames", frames_, "Bake the frame range FROM:TO or FROM-TO (or one frame)",
         [this](UnwrapSettings& s) {
             int from = 0, to = 0;
             parse_frames(frames_, from, to);
             s.bakerange = true;
             s.bakerangefrom = from;
             s.bakerangeto = to;
         })
        ->check(CLI::Validator(
            [](std::string& text) -> std::string {
                int from = 0, to = 0;
                return parse_frames(text, from, to) ? "" : "not a frame range FROM:TO: " + text;
            },
            "FROM:TO"));
    bind_flag(cmd, "--netrender,!--local", netrender_, "Bake as jobs on the network render manager",
              [this](UnwrapSettings& s) { s.netrender = netrender_; });
    bind(cmd, "--manager", manager_, "Network render manager host",
         [this](UnwrapSettings& s) { s.manager = manager_; });
    bind(cmd, "--port", port_, "Network render manager port", [this](UnwrapSettings& s) {
        s.port = port_;
    })->check(CLI::Range(1, 65535));
    bind(cmd, "--netpath", netpath_, "Shared folder the render servers write into",
         [this](UnwrapSettings& s) { s.netpath = netpath_; });
}

bool SettingOptions::apply_elements(UnwrapSettings& s) const {
    const std::size_t n = elements_.size();
    auto fits = [n](std::size_t given) { return given <= 1 || given == n; };
    if (!fits(element_sizes_.size()) || !fits(slots_.size()) || (n == 0 && !slots_.empty())) {
        std::fprintf(stderr, "vellumar: give --element-size and --slot once for all elements or "
                             "once per --element\n");
        return false;
    }
    // The folder comes first: new entries name their files inside it.
    if (out_option_ != nullptr && out_option_->count() > 0) {
        s.outpath = out_;
        RebaseFiles();
    }
    if (n == 0) {
        // One size for the preset's own elements.
        if (!element_sizes_.empty()) {
            int width = 0, height = 0;
            if (!ParseElementSize(element_sizes_[0], width, height)) {
                std::fprintf(stderr, "vellumar: --element-size %s: not WxH within 1..16384\n",
                             element_sizes_[0].c_str());
                return false;
            }
            for (BakeElementEntry& entry : s.elements) {
                entry.width = width;
                entry.height = height;
            }
        }
        return true;
    }
    std::vector<BakeElementEntry> chosen;
    for (std::size_t k = 0; k < n; ++k) {
        BakeElementEntry entry;
        std::string error;
        if (!ParseElementChoice(elements_[k], entry, error)) {
            std::fprintf(stderr, "vellumar: --element %s: %s\n", elements_[k].c_str(),
                         error.c_str());
            return false;
        }
        if (!element_sizes_.empty()) {
            const std::string& size = element_sizes_[element_sizes_.size() == 1 ? 0 : k];
            if (!ParseElementSize(size, entry.width, entry.height)) {
                std::fprintf(stderr, "vellumar: --element-size %s: not WxH within 1..16384\n",
                             size.c_str());
                return false;
            }
        }
        if (!slots_.empty()) {
            const std::string& slot = slots_[slots_.size() == 1 ? 0 : k];
            entry.slot = slot.empty() ? "NONE" : slot;
        }
        chosen.push_back(std::move(entry));
    }
    s.elements = std::move(chosen);
    return true;
}

bool SettingOptions::apply(UnwrapSettings& s) const {
    if (!preset_.empty()) {
        s.reset();
        if (!s.load(preset_)) {
            std::fprintf(stderr, "vellumar: %s\n", s.last_message.c_str());
            return false;
        }
    }
    // A preset's value that could not be taken is refused as a value out of
    // range would be, instead of running with whatever the field held.
    for (const std::string& value : s.unreadable_values) {
        std::fprintf(stderr, "vellumar: the preset's setting %s is not a valid value\n",
                     value.c_str());
    }
    if (!s.unreadable_values.empty()) {
        return false;
    }
    for (const auto& [opt, store] : setters_) {
        if (opt->count() > 0) {
            store(s);
        }
    }
    return apply_elements(s) && check_ranges(s);
}

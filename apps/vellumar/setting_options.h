// The command-line options that stand for fields of the settings record.
// A run starts from the record (its defaults and the default preset), then
// loads --preset when given (reset first, as "Load Settings" does), then
// applies only the options the user typed, so that a preset's values stand
// unless the command line says otherwise.
#pragma once

#include "settings/settings.h"

#include <CLI/CLI.hpp>

#include <functional>
#include <string>
#include <vector>

class SettingOptions {
  public:
    SettingOptions() = default;
    SettingOptions(const SettingOptions&) = delete; // options point into this object
    SettingOptions& operator=(const SettingOptions&) = delete;

    void add_preset_option(CLI::App* cmd);
    void add_unwrap_options(CLI::App* cmd);
    void add_bake_options(CLI::App* cmd);

    // Preset, then the typed options, then a check that every value is one
    // the tool can run with. On failure prints why and returns false.
    bool apply(UnwrapSettings& s) const;

  private:
    template <class T>
    CLI::Option* bind(CLI::App* cmd, const std::string& flags, T& value, const std::string& help,
                      std::function<void(UnwrapSettings&)> store);
    // A flag and its opposite ("--quality,!--no-quality"): either one, when
    // typed, stores its value.
    void bind_flag(CLI::App* cmd, const std::string& flags, bool& value, const std::string& help,
                   std::function<void(UnwrapSettings&)> store);
    bool apply_elements(UnwrapSettings& s) const;

    std::vector<std::pair<CLI::Option*, std::function<void(UnwrapSettings&)>>> setters_;
    CLI::Option* out_option_ = nullptr;

    std::string preset_;
    // Unwrap.
    std::string mode_ = "organic";
    int channel_ = 1, source_channel_ = 1, map_count_ = 1;
    int width_ = 1024, height_ = 1024, gutter_ = 4, charts_ = 0;
    float stretch_ = 0.15f;
    bool quality_ = false, triangles_ = false, seams_ = false, orthographic_ = false;
    float view_angle_ = 45.0f, tolerance_ = 0.0f;
    // Bake.
    std::vector<std::string> elements_, element_sizes_, slots_;
    std::string out_;
    int padding_ = 2;
    std::string bake_mode_ = "single-pass";
    std::string target_material_;
    bool overwrite_ = false, keep_source_ = false, self_illumination_ = false;
    bool no_group_prefix_ = false;
    std::string frames_;
    bool netrender_ = false;
    std::string manager_ = "localhost", netpath_;
    int port_ = 3234;
};

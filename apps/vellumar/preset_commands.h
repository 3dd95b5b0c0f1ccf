// `vellumar preset save|show` and `vellumar elements`: presets and bake
// elements without a scene.
#pragma once

#include "apps/vellumar/setting_options.h"

#include <string>

// Saves the record (defaults, default preset, --preset, options) to `file`,
// or to the default preset when `file` is empty. 0 saved, 2 not.
int run_preset_save(const SettingOptions& options, const std::string& file);

// Prints every value a preset holds, its elements and their parameters.
// 0 shown, 2 the file could not be read.
int run_preset_show(const std::string& file);

// Prints the offered bake element classes with their parameters.
int run_elements_command();

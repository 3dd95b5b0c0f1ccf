// The one record of everything the user can set, and the report operation
// through which the plug-in tells the user something.
//
// Field names are the keys of the preset files; numeric values of the
// enumerations are stored in presets and never change.
#pragma once

#include "bake/bake_element.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

enum UnwrapMode : int { Organic = 0, HardSurface = 1, UvPack = 2, UvCopy = 3, Projection = 4 };
enum UnwrapAs : int { Triangles = 0, Polygons = 1 };
enum MapMode : int { FixedNumber = 0, SelectionSets = 1 };
enum BakeMode : int { Separate = 0, SinglePass = 1 };

struct UnwrapSettings {
    int channel;
    int charts;
    float stretch;
    int width;
    int height;
    int gutter;
    bool quality;
    bool preview;
    bool seams;
    int source_channel;
    int unwrapmode; // UnwrapAs
    int padding;
    bool keepshell;
    std::string outpath;
    bool bakerange;
    int bakerangefrom;
    int bakerangeto;
    bool netrender;
    std::string netpath;
    std::string manager;
    int port;
    float ratio;
    bool aspectlock;
    float angle_concave;
    bool use_concave;
    float angle_convex;
    bool use_convex;
    int mapcount;
    int mapmode;     // MapMode
    int bakemode;    // BakeMode
    int base_unwrap; // UnwrapMode
    bool create_shell;
    std::string target_material;
    bool add_self_illumination;
    std::uint32_t projection_camera;
    float projection_tolerance;
    float projection_angle;
    bool projection_orthographic;
    bool add_group_name_to_textures;

    // Start-up options, read once from the default preset; never saved.
    bool bake_debug = false;
    bool delete_temp_files = true;
    // Run-time texts; never saved.
    std::string last_message;
    std::string job_name;
    // What the last load found in its file but could not take, one text per
    // value ("width = 'wide'"): a text that is no value of its field's kind,
    // or a value outside its range. The field keeps what it had.
    std::vector<std::string> unreadable_values;

    // The chosen bake elements, in list order.
    std::vector<BakeElementEntry> elements;

    // Sets every user setting (channel .. add_group_name_to_textures) to its
    // default; the start-up options, run-time texts and elements stay.
    void reset();

    // Preset files (".vl", XML). An empty path means the default preset.
    // Both report what went wrong and return false; a failed load changes
    // nothing, a failed save leaves the file that was there before.
    bool save(const std::string& path);
    bool load(const std::string& path);
    // The two start-up options, from the default preset only.
    void load_startup_options();
};

// Every saved setting but the bake elements, in file order: its key (without
// "settings.") and its value spelled as a preset spells it.
std::vector<std::pair<std::string, std::string>> PresetValueTexts(const UnwrapSettings& s);

// Where the default preset lives: $VELLUMAR_DEFAULT_PRESET when set, else
// "VellumarDefault.vl" in the folder Tavik of the user's configuration folder
// (created when missing), else the bare file name.
std::string DefaultPresetPath();

// The process-wide record, created with its defaults on the first call.
UnwrapSettings& settings();

// Stores text as the last message; levels 0 and 2 also show it in a modal
// "Notification" box over the host's main window.
void report(const std::string& text, int level);

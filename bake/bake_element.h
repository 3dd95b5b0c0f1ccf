// The plug-in's own copy of every bake element the user chose: which host
// element class, its output image, the material slot it feeds and its
// parameters. Entries outlive scenes, travel in presets and are turned into
// live host elements when a bake starts.
#pragma once

#include "host/bake_element.h"
#include "host/bitmap.h"
#include "host/class_desc.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

// The host's parameter type numbers, unchanged: presets store them.
enum BakeParamType : int { Float = 0, Int = 1, Flag = 4, Colour = 8215, Unknown = 255 };

struct BakeParam {
    std::string name = "unknown";
    int type = Unknown; // BakeParamType, or any other host type number (unsupported)
    int flagValue = 0;
    int intValue = 0;
    float floatValue = 0.0f;
    float colourValue[3] = {0, 0, 0};
    bool hasRange = false;
    int intMin = std::numeric_limits<int>::min();
    int intMax = std::numeric_limits<int>::max();
    float floatMin = std::numeric_limits<float>::lowest();
    float floatMax = std::numeric_limits<float>::max();
    // Read and written through the host's plain integer accessors; always a flag.
    bool legacy = false;
};

struct BakeElementEntry {
    int width = 0;
    int height = 0;
    BitmapInfo file; // full output path and the host's image type number
    std::vector<BakeParam> parameters;
    ClassDesc* elementClass = nullptr; // not owned; super class BAKE_ELEMENT_CLASS_ID
    std::string slot = "NONE";         // material map slot; "NONE": assigned nowhere
    float background[4] = {0, 0, 0, 0};
};

// The image type of new entries: the host's 64-bit PNG.
inline constexpr int kDefaultBakeImageType = 7;

// A new entry of the class with its default parameters, output file
// outpath + "\" + class name + ".png" and the atlas size of the settings.
// Throws std::invalid_argument("Class is not a bake element") for a class of
// another super class.
BakeElementEntry CreateEntry(ClassDesc* elementClass);

// Refills the entry's parameters (and background) from a fresh host element
// of its class; reports and leaves the list empty when the host cannot make one.
void ReadParameters(BakeElementEntry& entry);

// Writes the entry's values into a live host element, matching parameters by name.
void ApplyParameters(const BakeElementEntry& entry, MaxBakeElement& element);

// The element classes users may choose: the host's bake element classes but
// the first; worked out once.
const std::vector<ClassDesc*>& AvailableElementClasses();

// Moves every entry's output file into the settings' outpath, keeping its name.
void RebaseFiles();

// Sets the slot of every entry of the settings to "NONE".
void ResetSlots();

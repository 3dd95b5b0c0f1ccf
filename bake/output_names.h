// Names of baked images. A bake writes one image per element, map, frame and
// (when objects are baked alone) object; the parts of a name are suffixes
// put in front of the extension: Props_Diffuse_1_0010_3.png is group Props,
// element file Diffuse.png, map 1, frame 10, object 3.
#pragma once

#include "bake/bake_element.h"

#include <string>

// `text` in front of the last point of the last path component; appended
// when that component has no point.
std::string InsertBeforeExtension(const std::string& name, const std::string& text);

// A frame as at least four places, zero-padded in front, the sign counting
// as a place: 7 is "0007", -5 is "00-5".
std::string FrameText(int frame);

// The entry's output path, with "groupName_" in front of its file name when
// the settings ask for group names and the group is a named one (the names
// "unnamed", "unnamed1", "unnamed07" get no prefix).
std::string EntryOutputName(const BakeElementEntry& entry, const std::string& groupName);

// The last path component, whichever separator the path uses.
std::string FileNamePart(const std::string& path);

// Whether the bake settings ask for a range of more than one frame, whose
// images then carry the frame in their names.
bool BakesFrameRange();

// The name with "_" + map index inserted when the group has several maps,
// then "_" + the frame (FrameText) when a range of frames is baked.
std::string MapFrameOutputName(const std::string& name, int mapCount, int mapIndex, int frame);

// The Bake command: renders the chosen bake elements for every object of an
// unwrap group into image files through the host's render-to-texture, frame
// by frame, merges the per-object images into one image per map and puts
// the images into the objects' materials.
#pragma once

#include "bake/baked_materials.h"
#include "host/class_desc.h"
#include "host/inode.h"

#include <cstdint>
#include <string>
#include <vector>

// Bakes the group at the current frame, or at every frame of the settings'
// range; the first failed frame ends the range. False (and reported) when
// no elements are chosen or a frame fails; nothing happens for group key 0.
// Once every frame went through, the objects receive the baked materials
// the assigner gathered; a failed bake leaves every material as it was.
bool Bake(std::uint64_t groupKey, MaterialAssigner& assigner);
// The same with an assigner of its own.
bool Bake(std::uint64_t groupKey);

// One frame: the group's objects get their elements, are rendered per map
// or per object, lose their elements again and have their images merged
// and gathered into the assigner's materials (of `materialClass`; none when
// nullptr). The host's time and selection are as before in both outcomes.
// False with no message when no object carries the group.
bool BakeFrame(std::uint64_t groupKey, ClassDesc* materialClass, int frame,
               MaterialAssigner& assigner);

// The scene's objects carrying the group's UV set, in scene order.
std::vector<INode*> GroupObjects(std::uint64_t groupKey);

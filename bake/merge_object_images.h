// After a bake that rendered each object into its own image, one image per
// element and map holds every object's islands.
#pragma once

#include "host/inode.h"

#include <string>
#include <vector>

// For every entry and map: lays the object images (name + "_" + object
// index) over each other and writes the result under the name without the
// object index. With delete_temp_files the object images go once the result
// is written. False after a part or a result that could not be read or
// written (reported).
bool MergeObjectImages(const std::string& groupName, const std::vector<INode*>& objects,
                       int mapCount, int frame);

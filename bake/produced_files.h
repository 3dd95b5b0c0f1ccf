// The images a bake pass makes, one per object and bake element, in the
// order they were set up; a network job describes its merge from them.
#pragma once

#include <string>
#include <vector>

struct ProducedFile {
    std::string nodeName;    // the baked object (for caddies: the caddy)
    std::string fileName;    // entry file name with group prefix, no folder or suffixes
    std::string elementName; // class name of the element
    int mapIndex = -1;       // -1 when the group has a single map
};

// The list of the current pass; the next pass empties it.
std::vector<ProducedFile>& ProducedFiles();

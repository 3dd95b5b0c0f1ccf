// Opening and writing scenes for the tool's commands: our own scene files
// (".vlscene") through the scene file, everything else through the importer.
#pragma once

#include "standalone/core.h"

#include <string>
#include <vector>

// Makes a host core with the plug-in's classes registered.
void register_plugin_classes(StandaloneCore& core);

// Loads the scene into the core and returns its mesh nodes (nodes whose
// object can become a triangle mesh), in scene order. On failure prints the
// error and returns false.
bool open_scene(StandaloneCore& core, const std::string& path, std::vector<INode*>& mesh_nodes);

// Saves (".vlscene") or exports (".glb", or ".obj" with `channel` as its
// texture coordinates) the scene; prints errors.
bool save_scene(StandaloneCore& core, const std::string& path);
bool export_scene(StandaloneCore& core, const std::string& path, int channel = 1);

// Prints the message boxes the run showed.
void print_messages(const StandaloneCore& core);

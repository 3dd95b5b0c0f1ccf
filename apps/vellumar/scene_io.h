// Opening and writing scenes for the tool's commands: our own scene files
// (".vlscene") through the scene file, everything else through the importer.
// Every file a command writes is staged beside its target and moved over it
// only when all of the command's outputs are complete.
#pragma once

#include "standalone/core.h"
#include "standalone/files/importer.h"
#include "standalone/files/output_file.h"

#include <CLI/CLI.hpp>

#include <memory>
#include <span>
#include <string>
#include <vector>

// Loads the plug-in module into the core, as the host does at start-up.
void register_plugin_classes(StandaloneCore& core);

// Loads the scene into the core and returns its mesh nodes (nodes whose
// object can become a triangle mesh), in scene order. On failure prints the
// error and returns false.
// `up` says which way is up in a file whose format does not say it.
bool open_scene(StandaloneCore& core, const std::string& path, std::vector<INode*>& mesh_nodes,
                UpAxis up = UpAxis::FromFile);
// Adds --up to a command that imports scene files.
void add_up_option(CLI::App* cmd, UpAxis& up);

// The outputs of one command. Each is written in full to a temporary file
// beside its target first; commit() then moves them all over their targets,
// so a command that fails before commit() leaves every target as it was.
class StagedOutputs {
  public:
    // Writes the bytes beside `path`. On failure prints the error and
    // returns false.
    bool stage(const std::string& path, std::span<const std::uint8_t> bytes);
    // Moves every staged file over its target; prints each failure. False
    // when any failed.
    bool commit();

  private:
    std::vector<std::unique_ptr<OutputFile>> files_;
};

// The scene as a ".vlscene", staged. Prints errors. A scene file that
// loaded with losses is never saved over itself.
bool stage_save(StandaloneCore& core, const std::string& path, StagedOutputs& outputs);
// The evaluated scene as ".obj" (`channel` as its texture coordinates) or
// ".glb" (every other name), staged. Names the channels a .glb cannot hold;
// fails when `required_channel` (0: none) is one of them. Prints errors.
bool stage_export(StandaloneCore& core, const std::string& path, int channel, int required_channel,
                  StagedOutputs& outputs);
bool is_obj_path(const std::string& path);

// Whether two paths name the same file (existing or not), links followed.
bool same_file(const std::string& a, const std::string& b);

// Loads the scene and selects its mesh nodes, or only the named ones. On
// failure prints why and returns false.
bool open_and_select(StandaloneCore& core, const std::string& scene,
                     const std::vector<std::string>& names, UpAxis up);

// Appends the nodes of those names to `nodes`, each once. On a name the
// scene lacks prints it and returns false.
bool find_named_nodes(StandaloneCore& core, const std::vector<std::string>& names,
                      const std::string& scene, std::vector<INode*>& nodes);

// Prints the message boxes the run showed.
void print_messages(const StandaloneCore& core);

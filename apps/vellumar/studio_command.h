// `vellumar studio`: the panel and the scene in a browser page served on
// loopback, until the page quits or Ctrl+C.
#pragma once

#include "apps/vellumar/setting_options.h"
#include "standalone/files/importer.h"

#include <string>

struct StudioCommand {
    std::string scene; // empty: an empty scene
    int port = 0;      // 0: a free port
    bool no_open = false;
    std::string root; // the folder the page's file browser shows (default: the current one)
    const SettingOptions* options = nullptr;
    UpAxis up = UpAxis::FromFile;
};

// 0 the page quit; 1 ended by Ctrl+C with changes nobody saved (they are
// not written anywhere); 2 the scene, the root or the port could not be had.
int run_studio_command(const StudioCommand& cmd);

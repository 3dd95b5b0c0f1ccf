// The panel as the page draws it: every rollout and modal dialog with its
// controls and their state, as JSON.
#pragma once

#include "standalone/ui/toolkit.h"

#include <string>

// {"seq":N,"rollouts":[...],"modals":[...],"pickMode":bool,"selector":{...}|null}
std::string PanelStateJson(const Toolkit& ui);

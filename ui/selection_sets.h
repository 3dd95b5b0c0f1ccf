// Selection sets and the panel: the "Pick selection sets" dialog that
// chooses the sets a Selection Sets unwrap maps, and Create Selection Sets,
// which makes one named set per unwrap group (or per map of it).
#pragma once

#include "host/windows.h"

class VellumarUtility;

// Runs the modal dialog over the host's main window; IDOK or IDCANCEL.
INT_PTR PickSelectionSets(VellumarUtility& u);

// One set "vl_" + group name per group, or per map ("_1", "_2", ...) of a
// group of several maps unless `single`; existing sets of those names get
// the nodes instead of a second set. Returns the number of sets written.
int CreateSelectionSets(bool single);

// "Choose Bake Elements" and its "Add" dialog: the list of bake elements
// kept in the settings, each element's output file, map slot, background,
// size and own parameters.
#pragma once

#include "host/windows.h"

class VellumarUtility;

// Runs the dialog over the host's main window until the user closes it.
INT_PTR ChooseBakeElements(VellumarUtility& u);

// The list view's columns and an element's row texts.
inline constexpr int kElementColumns = 4;

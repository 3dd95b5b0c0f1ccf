// The panel's tooltips: one tooltip window for the whole panel, created on
// the first request, with a tool per control.
#pragma once

#include "host/windows.h"

#include <initializer_list>

// Gives each control of the rollout the text ("\n" breaks the line).
void AddTooltip(HWND rollout, std::initializer_list<int> ids, const char* text);

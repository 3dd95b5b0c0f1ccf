// What every rollout of the utility panel does with its messages, and what
// each rollout adds: its initialiser, its commands and how it answers
// spinners.
#pragma once

#include "host/windows.h"

class VellumarUtility;

struct RolloutBehaviour {
    void (*init)(VellumarUtility& u, HWND rollout) = nullptr;
    // After the settings were synchronised from the controls.
    void (*command)(VellumarUtility& u, HWND rollout, int id, WORD code) = nullptr;
    // A spinner's value changed (dragging: the user still holds it).
    void (*spinner_change)(VellumarUtility& u, HWND rollout, int id, bool dragging) = nullptr;
    // Synchronise on every change of a spinner, not only on its release.
    bool sync_on_change = false;
    // Hand mouse messages to the host's rollout handler.
    bool pass_mouse = true;
};

INT_PTR RolloutFrame(const RolloutBehaviour& behaviour, HWND rollout, UINT msg, WPARAM wParam,
                     LPARAM lParam);

// The utility object stored with the rollout at initialisation.
VellumarUtility* UtilityOf(HWND rollout);

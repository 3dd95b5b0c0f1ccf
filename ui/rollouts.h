// The dialog procedures of the utility panel's seven rollouts.
#pragma once

#include "host/windows.h"

INT_PTR UnwrapParametersProc(HWND rollout, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR AdvancedUnwrapProc(HWND rollout, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR BakingProc(HWND rollout, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR ShellsProc(HWND rollout, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR OptionsProc(HWND rollout, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR AboutProc(HWND rollout, UINT msg, WPARAM wParam, LPARAM lParam);
// Posted to the Network Rendering rollout when a job's state changed: the
// status is read on the user-interface thread.
inline constexpr UINT WM_NET_STATUS = WM_USER + 0x200;
INT_PTR NetworkRenderingProc(HWND rollout, UINT msg, WPARAM wParam, LPARAM lParam);

// The mode button of each unwrap mode, in mode order.
inline constexpr int kModeButtons[5] = {1089, 1090, 1152, 1153, 1154};

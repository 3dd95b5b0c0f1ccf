// A plug-in module as the host loads it: its resources (the module handle)
// and its entry points.
#pragma once

#include "host/class_desc.h"
#include "host/windows.h"

inline constexpr ULONG DLL_PROCESS_DETACH = 0;
inline constexpr ULONG DLL_PROCESS_ATTACH = 1;
inline constexpr ULONG DLL_THREAD_ATTACH = 2;
inline constexpr ULONG DLL_THREAD_DETACH = 3;

struct PluginModule {
    HINSTANCE handle = nullptr;
    BOOL (*DllMain)(HINSTANCE module, ULONG reason, void* reserved) = nullptr;
    const MCHAR* (*LibDescription)() = nullptr;
    int (*LibNumberClasses)() = nullptr;
    ClassDesc* (*LibClassDesc)(int i) = nullptr;
    ULONG (*LibVersion)() = nullptr;
    int (*LibInitialize)() = nullptr;
    int (*LibShutdown)() = nullptr;
};

// The host stops telling the module about threads that start and end.
BOOL DisableThreadLibraryCalls(HINSTANCE module);

// The plug-in module: its entry points as the host calls them, its class
// descriptors and the handle that names its resources.
#pragma once

#include "host/class_desc.h"
#include "host/plugin_module.h"

// Kept from the module's attach; nullptr before.
HINSTANCE ModuleHandle();
// The module as the host loads it.
const PluginModule& VellumarPluginModule();

inline constexpr Class_ID VELLUMAR_UTILITY_CLASS_ID(0x36307E8C, 0x25244845);
ClassDesc2* GetVellumarUtilityDesc();

// Entry points.
BOOL VellumarDllMain(HINSTANCE module, ULONG reason, void* reserved);
const MCHAR* LibDescription();
int LibNumberClasses();
ClassDesc* LibClassDesc(int i);
ULONG LibVersion();
int LibInitialize();
int LibShutdown();

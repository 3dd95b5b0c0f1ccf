#include "plugin/module.h"

#include "host/iparamb2.h"
#include "host/utilapi.h"
#include "modifier/vellumar_modifier.h"
#include "plugin/resources.h"
#include "plugin/version.h"
#include "ui/modifier_panel.h"
#include "ui/vellumar_utility.h"

#include <cwchar>

namespace {

HINSTANCE module_handle = nullptr;

// Loads string `id` into a buffer of 512 characters; no text without the
// module's resources.
const MCHAR* load_string(UINT id, wchar_t (&buffer)[512]) {
    if (module_handle == nullptr || LoadStringW(module_handle, id, buffer, 512) == 0) {
        return L"";
    }
    return buffer;
}

// What both of the module's classes answer alike.
class VellumarClassDesc : public ClassDesc2 {
  public:
    const MCHAR* Category() override {
        static wchar_t buffer[512];
        return load_string(IDS_CATEGORY, buffer);
    }
    const MCHAR* InternalName() override { return ClassName(); }
    HINSTANCE HInstance() override { return module_handle; }
};

class UtilityClassDesc : public VellumarClassDesc {
  public:
    int IsPublic() override { return 1; }
    void* Create(BOOL) override;
    const MCHAR* ClassName() override;
    SClass_ID SuperClassID() override { return UTILITY_CLASS_ID; }
    Class_ID ClassID() override { return VELLUMAR_UTILITY_CLASS_ID; }
};

class ModifierClassDesc : public VellumarClassDesc {
  public:
    int IsPublic() override { return 0; }
    void* Create(BOOL) override { return new VellumarModifier; }
    const MCHAR* ClassName() override;
    SClass_ID SuperClassID() override { return OSM_CLASS_ID; }
    Class_ID ClassID() override { return VELLUMAR_MODIFIER_CLASS_ID; }
};

// The module's static objects, in the order they come to life.
UtilityClassDesc utility_desc;
VellumarUtility the_utility;
const std::wstring utility_class_name = UtilityClassName();
InfoRolloutProc info_proc;
ModifierAboutProc about_proc;
const std::wstring modifier_class_name = ModifierClassName();
ModifierClassDesc modifier_desc;
ParamBlockDesc2 modifier_params(
    0, L"params", 0, &modifier_desc, P_AUTO_CONSTRUCT | P_AUTO_UI | P_MULTIMAP, 0,
    {{0, IDD_INFO, static_cast<StringResID>(IDS_INFO), 0, 0, &info_proc},
     {1, IDD_MODIFIER_ABOUT, static_cast<StringResID>(IDS_ABOUT), 0, 0, &about_proc}});

void* UtilityClassDesc::Create(BOOL) {
    return &the_utility;
}
const MCHAR* UtilityClassDesc::ClassName() {
    return utility_class_name.c_str();
}
const MCHAR* ModifierClassDesc::ClassName() {
    return modifier_class_name.c_str();
}

const ModuleResources& resources() {
    static const ModuleResources r{L"vellumar.dlu", VellumarStrings(), VellumarDialogTemplates(),
                                   VellumarBitmaps()};
    return r;
}

} // namespace

HINSTANCE ModuleHandle() {
    return module_handle;
}

ClassDesc2* GetVellumarUtilityDesc() {
    return &utility_desc;
}
ClassDesc2* GetVellumarModifierDesc() {
    return &modifier_desc;
}
VellumarUtility& TheVellumarUtility() {
    return the_utility;
}
InfoRolloutProc& TheInfoRolloutProc() {
    return info_proc;
}
ModifierAboutProc& TheModifierAboutProc() {
    return about_proc;
}

BOOL VellumarDllMain(HINSTANCE module, ULONG reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) {
        module_handle = module;
        DisableThreadLibraryCalls(module);
    }
    return 1;
}

const MCHAR* LibDescription() {
    static wchar_t buffer[255];
    const std::wstring text = LibraryDescription().substr(0, 100) + L" (" +
                              VersionText().substr(0, 50) + L") (" +
                              LibraryTagline().substr(0, 50) + L")";
    std::swprintf(buffer, 255, L"%ls", text.c_str());
    return buffer;
}

int LibNumberClasses() {
    return 2;
}

ClassDesc* LibClassDesc(int i) {
    switch (i) {
    case 0:
        return &utility_desc;
    case 1:
        return &modifier_desc;
    default:
        return nullptr;
    }
}

ULONG LibVersion() {
    return 0x3A982800;
}

int LibInitialize() {
    return 1;
}

int LibShutdown() {
    return 1;
}

const PluginModule& VellumarPluginModule() {
    static const PluginModule module{&resources(),     VellumarDllMain, LibDescription,
                                     LibNumberClasses, LibClassDesc,    LibVersion,
                                     LibInitialize,    LibShutdown};
    return module;
}

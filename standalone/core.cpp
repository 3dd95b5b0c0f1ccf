#include "standalone/core.h"

#include "host/bake_element.h"
#include "host/script.h"
#include "host/text.h"
#include "host/windows.h"
#include "standalone/materials/material_classes.h"
#include "standalone/render/bake_elements.h"
#include "standalone/render/render_to_texture.h"
#include "standalone/scene/derived_object.h"
#include "standalone/scene/node_ops.h"
#include "standalone/scene/projection_modifier.h"
#include "standalone/script/network_functions.h"
#include "standalone/script/scene_functions.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <malloc.h>

namespace {

Interface* current_core = nullptr;

// The plug-in interface this host offers (host release 15000's).
constexpr ULONG kHostInterfaceNumber = 40;

class DescEntry : public ClassEntry {
  public:
    explicit DescEntry(ClassDesc* desc) : desc_(desc) {}
    const MCHAR* ClassName() override { return desc_->ClassName(); }
    Class_ID ClassID() override { return desc_->ClassID(); }
    SClass_ID SuperClassID() override { return desc_->SuperClassID(); }
    ClassDesc* CD() override { return desc_; }

  private:
    ClassDesc* desc_;
};

// The host's default renderer: the one production renders use unless a
// scene picks another.
class ScanlineRenderer : public Renderer {
  public:
    Class_ID ClassID() override { return scanlineRendererClassID; }
    ReferenceTarget* Clone(RemapDir&) override { return new ScanlineRenderer; }
    void GetClassName(std::wstring& name) override { name = L"Default Scanline Renderer"; }
};

// A script's value as the host hands it to its caller; values without a
// typed counterpart stay void.
FPValue ToFPValue(const ScriptValue& value) {
    if (const bool* b = std::get_if<bool>(&value.v)) {
        return FPValue::Bool(*b);
    }
    if (const int* i = std::get_if<int>(&value.v)) {
        return FPValue::Int(*i);
    }
    if (const float* f = std::get_if<float>(&value.v)) {
        return FPValue::Float(*f);
    }
    if (const std::string* s = std::get_if<std::string>(&value.v)) {
        return FPValue::String(Utf8ToWide(*s));
    }
    return FPValue();
}

} // namespace

Interface* GetCOREInterface() {
    return current_core;
}

BOOL ExecuteMAXScriptScript(const MCHAR* s, BOOL quietErrors, FPValue* fpv) {
    auto* core = static_cast<StandaloneCore*>(current_core);
    if (core == nullptr || s == nullptr) {
        return 0;
    }
    ScriptValue last;
    if (core->scripts().Execute(WideToUtf8(s), &last)) {
        if (fpv != nullptr) {
            *fpv = ToFPValue(last);
        }
        return 1;
    }
    if (quietErrors == 0) {
        MessageBoxW(core, Utf8ToWide("-- " + core->scripts().Error()).c_str(), L"MAXScript", MB_OK);
    }
    return 0;
}

int MessageBoxW(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    // A box without owner still belongs to the running host.
    // Owned by the main window or by one of the panel's windows, a box
    // belongs to the running host.
    (void)owner;
    auto* core = static_cast<StandaloneCore*>(current_core);
    if (core != nullptr) {
        core->AddMessage({caption != nullptr ? caption : L"", text != nullptr ? text : L""});
    }
    if ((type & 0xF) == MB_OKCANCEL) {
        return core != nullptr ? core->QuestionAnswer() : IDCANCEL;
    }
    return IDOK;
}

void StandaloneCore::AddMessage(MessageRecord m) {
    std::lock_guard lock(messages_mutex_);
    if (listener_) {
        listener_(m);
    }
    messages_.push_back(std::move(m));
}

StandaloneCore::StandaloneCore(bool draw_progress)
    : scene_(std::make_unique<Scene>()), default_renderer_(std::make_unique<ScanlineRenderer>()),
      renderer_(default_renderer_.get()), progress_(draw_progress), previous_(current_core) {
    for (ClassDesc* desc : MaterialClassDescs()) {
        RegisterClass(desc);
    }
    for (ClassDesc* desc : BakeElementClassDescs()) {
        RegisterClass(desc);
    }
    RegisterClass(GetProjectionModifierDesc());
    // Bakes allocate and free image-sized buffers object after object. Kept
    // in the heap rather than handed back to the kernel each time, their
    // pages are not faulted in afresh for every object.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    scripts_.SetGlobal("render", ScriptFunction([this](const ScriptArgs& args) {
                           return RenderScriptFunction(*this, args);
                       }));
    InstallSceneFunctions(*this);
    InstallNetworkFunctions(*this);
    ui_ = std::make_unique<Toolkit>(*this);
    current_core = this;
}

StandaloneCore::~StandaloneCore() {
    // Panels close while the host they talk to is whole.
    ui_->EditObject(nullptr);
    ui_->CloseUtility();
    ui_->ClearPickMode();
    ui_.reset();
    for (auto it = modules_.rbegin(); it != modules_.rend(); ++it) {
        if (it->LibShutdown != nullptr) {
            it->LibShutdown();
        }
        if (it->DllMain != nullptr) {
            it->DllMain(it->handle, DLL_PROCESS_DETACH, nullptr);
        }
    }
    selection_.clear();
    scene_.reset();
    current_core = previous_;
}

bool StandaloneCore::LoadPlugin(const PluginModule& module, std::string* why) {
    auto refuse = [&](const std::string& text) {
        if (why != nullptr) {
            *why = text;
        }
        return false;
    };
    if (module.DllMain == nullptr || module.LibNumberClasses == nullptr ||
        module.LibClassDesc == nullptr || module.LibVersion == nullptr) {
        return refuse("the module lacks an entry point");
    }
    if (module.DllMain(module.handle, DLL_PROCESS_ATTACH, nullptr) == 0) {
        return refuse("the module refused to attach");
    }
    // The high word is the host release the module was built for; the
    // interface number in the low word's upper byte must match ours.
    if (((module.LibVersion() >> 8) & 0xFF) != kHostInterfaceNumber) {
        module.DllMain(module.handle, DLL_PROCESS_DETACH, nullptr);
        return refuse("the module was built for another host interface");
    }
    if (module.LibInitialize != nullptr && module.LibInitialize() == 0) {
        module.DllMain(module.handle, DLL_PROCESS_DETACH, nullptr);
        return refuse("the module failed to initialise");
    }
    modules_.push_back(module);
    for (int i = 0; i < module.LibNumberClasses(); ++i) {
        if (ClassDesc* desc = module.LibClassDesc(i)) {
            RegisterClass(desc);
        }
    }
    return true;
}

HWND StandaloneCore::AddRollupPage(HINSTANCE module, int dialogTemplate, DLGPROC proc,
                                   const MCHAR* title, LPARAM param, DWORD, int category) {
    if (proc == nullptr) {
        return nullptr;
    }
    return ui_->AddRollup(module, dialogTemplate, proc, title != nullptr ? title : L"", param,
                          category);
}

// The toolkit goes first when the host closes; calls that come after it
// find nothing to do.
void StandaloneCore::DeleteRollupPage(HWND rollup) {
    if (ui_) {
        ui_->DeleteRollup(rollup);
    }
}

void StandaloneCore::RollupMouseMessage(HWND, UINT, WPARAM, LPARAM) {
    if (ui_) {
        ui_->CountRollupMouse();
    }
}

HFONT StandaloneCore::GetAppHFont() {
    return ui_ ? ui_->app_font() : nullptr;
}

void StandaloneCore::SetPickMode(PickModeCallback* pc) {
    if (ui_) {
        ui_->SetPickMode(pc);
    }
}

void StandaloneCore::ClearPickMode() {
    if (ui_) {
        ui_->ClearPickMode();
    }
}

void StandaloneCore::SetCurFilePath(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    file_name_ = Utf8ToWide(slash == std::string::npos ? path : path.substr(slash + 1));
}

INode* StandaloneCore::GetSelNode(int i) {
    return i >= 0 && i < GetSelNodeCount() ? selection_[static_cast<std::size_t>(i)] : nullptr;
}

void* StandaloneCore::CreateInstance(SClass_ID superID, Class_ID classID) {
    for (ClassDesc* desc : classes_) {
        if (desc->SuperClassID() == superID && desc->ClassID() == classID) {
            return desc->Create(0);
        }
    }
    return nullptr;
}

void StandaloneCore::SetTime(TimeValue t, BOOL redraw) {
    time_ = t;
    if (redraw != 0) {
        RedrawViews(t);
    }
}

void StandaloneCore::SetSelection(std::vector<INode*> nodes) {
    selection_ = std::move(nodes);
    if (ui_) {
        ui_->SelectionChanged();
    }
}

void StandaloneCore::ClearNodeSelection(BOOL) {
    if (!selection_frozen_) {
        selection_.clear();
        if (ui_) {
            ui_->SelectionChanged();
        }
    }
}

void StandaloneCore::SelectNode(INode* node, int clearSel) {
    if (selection_frozen_ || node == nullptr) {
        return;
    }
    if (clearSel != 0) {
        selection_.clear();
    }
    if (std::find(selection_.begin(), selection_.end(), node) == selection_.end()) {
        selection_.push_back(node);
    }
    if (ui_) {
        ui_->SelectionChanged();
    }
}

Bitmap* StandaloneCore::Create(BitmapInfo* bi) {
    // Beyond 2^28 pixels a template is no longer an image anyone can open.
    constexpr long long kMaxPixels = 1ll << 28;
    if (bi == nullptr || bi->Width() <= 0 || bi->Height() <= 0 ||
        static_cast<long long>(bi->Width()) * bi->Height() > kMaxPixels) {
        return nullptr;
    }
    const bool hdr = bi->Type() == BMM_FLOAT_RGBA_32;
    return bitmaps_.Add(std::make_unique<MemoryBitmap>(bi->Width(), bi->Height(), hdr, &displayed_,
                                                       &display_, &bitmaps_));
}

Bitmap* StandaloneCore::Load(BitmapInfo* bi, BMMRES* status) {
    auto answer = [status](BMMRES r) {
        if (status != nullptr) {
            *status = r;
        }
    };
    if (bi == nullptr) {
        answer(BMMRES_INTERNALERROR);
        return nullptr;
    }
    const std::string path = host_file_path(bi->Name());
    std::string error;
    std::unique_ptr<MemoryBitmap> loaded =
        MemoryBitmap::FromFile(path, &displayed_, &display_, &bitmaps_, error);
    if (!loaded) {
        std::error_code ec;
        answer(std::filesystem::exists(path, ec) ? BMMRES_INVALIDFORMAT : BMMRES_FILENOTFOUND);
        return nullptr;
    }
    bi->SetWidth(loaded->Width());
    bi->SetHeight(loaded->Height());
    bi->SetType(loaded->IsHighDynamicRange() != 0 ? BMM_FLOAT_RGBA_32 : BMM_TRUE_64);
    answer(BMMRES_SUCCESS);
    return bitmaps_.Add(std::move(loaded));
}

const MCHAR* StandaloneCore::GetDir(int which) {
    return which == APP_IMAGE_DIR ? image_dir_.c_str() : L"";
}

BOOL StandaloneCore::SelectFileOutput(BitmapInfo* bi, HWND, const MCHAR* title) {
    if (bi == nullptr) {
        return 0;
    }
    const Toolkit::SelectorAnswer a = ui_->TakeAnswer(title != nullptr ? title : L"", "image");
    if (a.cancel || a.path.empty()) {
        return 0;
    }
    // The selector lists only the types the host writes, and saves only
    // into a folder that is there.
    const std::filesystem::path path(a.path);
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::error_code ec;
    const bool known = ext == ".png" || ext == ".exr" || ext == ".tga" || ext == ".bmp" ||
                       ext == ".jpg" || ext == ".jpeg";
    if (!known ||
        (path.has_parent_path() && !std::filesystem::is_directory(path.parent_path(), ec))) {
        return 0;
    }
    bi->SetName(a.path.c_str());
    bi->SetType(ext == ".exr" ? BMM_FLOAT_RGBA_32 : BMM_TRUE_64);
    return 1;
}

BOOL StandaloneCore::ProgressStart(const MCHAR* title, BOOL, LPTHREAD_START_ROUTINE fn,
                                   LPVOID arg) {
    cancel_ = false;
    progress_.Start(title != nullptr ? title : L"");
    if (progress_listener_) {
        progress_listener_(progress_);
    }
    if (fn != nullptr) {
        fn(arg);
    }
    return 1;
}

void StandaloneCore::ProgressUpdate(int pct, BOOL showPct, const MCHAR* title) {
    const std::wstring text = title != nullptr ? title : L"";
    progress_.Update(pct, showPct != 0, title != nullptr ? &text : nullptr);
    if (progress_listener_) {
        progress_listener_(progress_);
    }
}

void StandaloneCore::ProgressEnd() {
    progress_.End();
    if (progress_listener_) {
        progress_listener_(progress_);
    }
}

IDerivedObject* StandaloneCore::CreateDerivedObject(Object* obj) {
    return new DerivedObject(obj);
}

ClassEntry* StandaloneCore::EntryFor(ClassDesc* desc) {
    for (auto& e : entries_) {
        if (e->CD() == desc) {
            return e.get();
        }
    }
    entries_.push_back(std::make_unique<DescEntry>(desc));
    return entries_.back().get();
}

ClassEntry* StandaloneCore::FindClassEntry(SClass_ID superClassID, Class_ID classID) {
    for (auto& e : entries_) {
        if (e->SuperClassID() == superClassID && e->ClassID() == classID) {
            return e.get();
        }
    }
    for (ClassDesc* desc : classes_) {
        if (desc->SuperClassID() == superClassID && desc->ClassID() == classID) {
            return EntryFor(desc);
        }
    }
    return nullptr;
}

SubClassList* StandaloneCore::GetClassList(SClass_ID superClassID) {
    // Rebuilt in place on every call, so that a list handed out earlier
    // stays valid and sees classes registered since.
    std::unique_ptr<SubClassList>& list = class_lists_[superClassID];
    if (!list) {
        list = std::make_unique<SubClassList>();
    }
    list->Clear();
    for (ClassDesc* desc : classes_) {
        if (desc->SuperClassID() == superClassID) {
            list->Add(EntryFor(desc), desc->IsPublic() != 0);
        }
    }
    return list->Count(ACC_ALL) > 0 ? list.get() : nullptr;
}

int StandaloneCore::DeleteModifier(INode& node, Modifier& mod) {
    // A modifier whose panel is open closes it before it goes.
    if (ui_ && ui_->edited_object() == &mod) {
        ui_->EditObject(nullptr);
    }
    return DeleteModifierFromNode(node, mod);
}

INode* StandaloneCore::GetINodeByName(const MCHAR* name) {
    return name != nullptr ? scene_->NodeByName(name) : nullptr;
}

void StandaloneCore::DeleteNode(INode* node, BOOL redraw, BOOL) {
    if (node == nullptr || !scene_->Owns(node)) {
        return;
    }
    DeleteNode(static_cast<SceneNode*>(node));
    if (redraw != 0) {
        RedrawViews(time_);
    }
}

void StandaloneCore::DeleteNode(SceneNode* node) {
    std::erase(selection_, static_cast<INode*>(node));
    scene_->DeleteNode(node);
}

#include "standalone/core.h"

#include "host/script.h"
#include "host/text.h"
#include "host/windows.h"
#include "standalone/derived_object.h"
#include "standalone/materials/material_classes.h"
#include "standalone/node_ops.h"
#include "standalone/render/bake_elements.h"

#include <algorithm>

namespace {

Interface* current_core = nullptr;

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

} // namespace

Interface* GetCOREInterface() {
    return current_core;
}

BOOL ExecuteMAXScriptScript(const MCHAR* s, BOOL quietErrors, FPValue*) {
    auto* core = static_cast<StandaloneCore*>(current_core);
    if (core == nullptr || s == nullptr) {
        return 0;
    }
    if (core->scripts().Execute(WideToUtf8(s))) {
        return 1;
    }
    if (quietErrors == 0) {
        MessageBoxW(core, Utf8ToWide("-- " + core->scripts().Error()).c_str(), L"MAXScript", MB_OK);
    }
    return 0;
}

int MessageBoxW(HWND owner, const wchar_t* text, const wchar_t* caption, UINT) {
    if (auto* core = static_cast<StandaloneCore*>(owner)) {
        core->AddMessage({caption != nullptr ? caption : L"", text != nullptr ? text : L""});
    }
    return IDOK;
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
    current_core = this;
}

StandaloneCore::~StandaloneCore() {
    selection_.clear();
    scene_.reset();
    current_core = previous_;
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

Bitmap* StandaloneCore::Create(BitmapInfo* bi) {
    // Beyond 2^28 pixels a template is no longer an image anyone can open.
    constexpr long long kMaxPixels = 1ll << 28;
    if (bi == nullptr || bi->Width() <= 0 || bi->Height() <= 0 ||
        static_cast<long long>(bi->Width()) * bi->Height() > kMaxPixels) {
        return nullptr;
    }
    windows_.push_back(
        std::make_unique<MemoryBitmap>(bi->Width(), bi->Height(), &displayed_, &display_));
    return windows_.back().get();
}

const MCHAR* StandaloneCore::GetDir(int which) {
    return which == APP_IMAGE_DIR ? image_dir_.c_str() : L"";
}

BOOL StandaloneCore::ProgressStart(const MCHAR* title, BOOL, LPTHREAD_START_ROUTINE fn,
                                   LPVOID arg) {
    progress_.Start(title != nullptr ? title : L"");
    if (fn != nullptr) {
        fn(arg);
    }
    return 1;
}

void StandaloneCore::ProgressUpdate(int pct, BOOL showPct, const MCHAR* title) {
    const std::wstring text = title != nullptr ? title : L"";
    progress_.Update(pct, showPct != 0, title != nullptr ? &text : nullptr);
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
    return DeleteModifierFromNode(node, mod);
}

void StandaloneCore::DeleteNode(SceneNode* node) {
    std::erase(selection_, static_cast<INode*>(node));
    scene_->DeleteNode(node);
}

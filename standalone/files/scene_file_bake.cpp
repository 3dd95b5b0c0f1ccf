#include "standalone/files/scene_file_bake.h"

#include "host/bake_properties.h"
#include "host/chunk_io.h"
#include "host/text.h"
#include "standalone/core.h"

namespace {

bool write_text(ISave* s, const std::wstring& text) {
    const std::string utf8 = WideToUtf8(text);
    return write_u64(s, utf8.size()) && write_bytes(s, utf8.data(), utf8.size());
}

bool read_text(ILoad* in, std::wstring& text) {
    std::uint64_t length = 0;
    std::string utf8;
    if (!read_u64(in, length) || !read_string(in, length, utf8)) {
        return false;
    }
    text = Utf8ToWide(utf8);
    return true;
}

bool write_u8(ISave* s, bool v) {
    const std::uint8_t b = v ? 1 : 0;
    return write_bytes(s, &b, 1);
}

bool read_u8(ILoad* in, bool& v) {
    std::uint8_t b = 0;
    const bool ok = read_bytes(in, &b, 1);
    v = b != 0;
    return ok;
}

// The node's modifiers, top first, as the derived object holds them.
std::vector<Modifier*> modifiers_of(SceneNode* node) {
    std::vector<Modifier*> mods;
    Object* obj = node->GetObjectRef();
    if (obj != nullptr && obj->SuperClassID() == GEN_DERIVOB_CLASS_ID) {
        auto* derived = static_cast<IDerivedObject*>(obj);
        for (int i = 0; i < derived->NumModifiers(); ++i) {
            mods.push_back(derived->GetModifier(i));
        }
    }
    return mods;
}

bool write_element(ISave* s, MaxBakeElement* e) {
    int w = 0, h = 0;
    e->GetOutputSz(w, h);
    bool ok = write_u32(s, e->ClassID().PartA()) && write_u32(s, e->ClassID().PartB()) &&
              write_u8(s, e->IsEnabled() != 0) && write_text(s, e->ElementName()) &&
              write_text(s, e->FileName()) && write_text(s, e->FileType()) && write_i32(s, w) &&
              write_i32(s, h);
    auto* typed = static_cast<MaxBakeElement10*>(e->GetInterface(MAXBAKEELEMENT10_INTERFACE));
    const int count = typed != nullptr ? e->GetNParams() : 0;
    ok = ok && write_i32(s, count);
    for (int i = 0; ok && i < count; ++i) {
        const FPValue v = typed->GetParamFPValue(i);
        ok = write_i32(s, v.type) && write_f32(s, v.f) && write_i32(s, v.i) &&
             write_f32(s, v.p.x) && write_f32(s, v.p.y) && write_f32(s, v.p.z) &&
             write_text(s, v.s);
    }
    if (typed != nullptr) {
        const AColor bg = typed->GetBackgroundColor();
        ok = ok && write_u8(s, true) && write_f32(s, bg.r) && write_f32(s, bg.g) &&
             write_f32(s, bg.b) && write_f32(s, bg.a);
    } else {
        ok = ok && write_u8(s, false);
    }
    return ok;
}

bool read_element(ILoad* in, StandaloneCore& core, INodeBakeProperties& props) {
    std::uint32_t a = 0, b = 0;
    bool enabled = false;
    std::wstring elementName, fileName, fileType;
    std::int32_t w = 0, h = 0, count = 0;
    if (!read_u32(in, a) || !read_u32(in, b) || !read_u8(in, enabled) ||
        !read_text(in, elementName) || !read_text(in, fileName) || !read_text(in, fileType) ||
        !read_i32(in, w) || !read_i32(in, h) || !read_i32(in, count) || count < 0 ||
        !fits(in, static_cast<std::uint64_t>(count), 28)) {
        return false;
    }
    auto* e =
        static_cast<MaxBakeElement*>(core.CreateInstance(BAKE_ELEMENT_CLASS_ID, Class_ID(a, b)));
    auto* typed = e != nullptr
                      ? static_cast<MaxBakeElement10*>(e->GetInterface(MAXBAKEELEMENT10_INTERFACE))
                      : nullptr;
    bool ok = true;
    for (std::int32_t i = 0; ok && i < count; ++i) {
        FPValue v;
        ok = read_i32(in, v.type) && read_f32(in, v.f) && read_i32(in, v.i) &&
             read_f32(in, v.p.x) && read_f32(in, v.p.y) && read_f32(in, v.p.z) &&
             read_text(in, v.s);
        if (ok && typed != nullptr && i < e->GetNParams()) {
            typed->SetParamFPValue(i, v);
        }
    }
    bool hasBackground = false;
    AColor bg;
    ok = ok && read_u8(in, hasBackground) &&
         (!hasBackground ||
          (read_f32(in, bg.r) && read_f32(in, bg.g) && read_f32(in, bg.b) && read_f32(in, bg.a)));
    if (e == nullptr) {
        return false;
    }
    if (!ok) {
        e->DeleteThis();
        return false;
    }
    e->SetEnabled(enabled ? 1 : 0);
    e->SetElementName(elementName.c_str());
    e->SetFileName(fileName.c_str());
    e->SetFileType(fileType.c_str());
    e->SetOutputSz(w, h);
    if (typed != nullptr && hasBackground) {
        typed->SetBackgroundColor(bg);
    }
    props.AddBakeElement(e);
    return true;
}

} // namespace

bool WriteNodeBake(ISave* s, SceneNode* node) {
    NodeBakeProperties& props = node->BakeProperties();
    NodeBakeProjProperties& proj = node->BakeProjProperties();
    const std::vector<Modifier*> mods = modifiers_of(node);
    int modIndex = -1;
    for (std::size_t i = 0; i < mods.size(); ++i) {
        if (mods[i] == proj.GetProjMod()) {
            modIndex = static_cast<int>(i);
        }
    }
    const bool unset = props.GetBakeElementCount() == 0 && props.GetBakeEnabled() == 0 &&
                       proj.GetEnabled() == 0 && modIndex < 0;
    if (unset) {
        return true; // most nodes: nothing to keep
    }
    s->BeginChunk(kNodeBakeChunk);
    bool ok = write_u8(s, props.GetBakeEnabled() != 0) && write_i32(s, props.GetBakeMapChannel()) &&
              write_i32(s, props.GetNDilations()) && write_i32(s, props.GetBakeElementCount());
    for (int i = 0; ok && i < props.GetBakeElementCount(); ++i) {
        ok = write_element(s, props.GetBakeElement(i));
    }
    ok = ok && write_u8(s, proj.GetEnabled() != 0) && write_i32(s, proj.GetProjSpace()) &&
         write_f32(s, proj.GetRayOffset()) && write_u8(s, proj.GetWarnRayMiss() != 0) &&
         write_u8(s, proj.GetUseCage() != 0) && write_i32(s, proj.GetBakeChannel()) &&
         write_i32(s, modIndex);
    s->EndChunk();
    return ok;
}

void ReadNodeBake(ILoad* in, StandaloneCore& core, SceneNode* node,
                  std::vector<std::string>& warnings) {
    const std::string name = WideToUtf8(node->GetName());
    NodeBakeProperties& props = node->BakeProperties();
    bool enabled = false;
    std::int32_t channel = 1, dilations = 2, count = 0;
    // A render server pads by the dilation count; no bake pads by more
    // than the widest map.
    if (!read_u8(in, enabled) || !read_i32(in, channel) || !read_i32(in, dilations) ||
        !read_i32(in, count) || count < 0 || dilations < 0 || dilations > 16384) {
        warnings.push_back("object '" + name + "': its bake settings are damaged");
        return;
    }
    props.RemoveAllBakeElements();
    props.SetBakeEnabled(enabled ? 1 : 0);
    props.SetBakeMapChannel(channel);
    props.SetNDilations(dilations);
    for (std::int32_t i = 0; i < count; ++i) {
        if (!read_element(in, core, props)) {
            warnings.push_back("object '" + name + "': a bake element is damaged or unknown");
            return;
        }
    }
    NodeBakeProjProperties& proj = node->BakeProjProperties();
    bool projEnabled = false, warn = false, cage = false;
    std::int32_t space = 0, projChannel = 1, modIndex = -1;
    float offset = 0;
    if (!read_u8(in, projEnabled) || !read_i32(in, space) || !read_f32(in, offset) ||
        !read_u8(in, warn) || !read_u8(in, cage) || !read_i32(in, projChannel) ||
        !read_i32(in, modIndex)) {
        warnings.push_back("object '" + name + "': its projection settings are damaged");
        return;
    }
    proj.SetEnabled(projEnabled ? 1 : 0);
    proj.SetProjSpace(space);
    proj.SetRayOffset(offset);
    proj.SetWarnRayMiss(warn ? 1 : 0);
    proj.SetUseCage(cage ? 1 : 0);
    proj.SetBakeChannel(projChannel);
    const std::vector<Modifier*> mods = modifiers_of(node);
    if (modIndex >= 0 && static_cast<std::size_t>(modIndex) < mods.size()) {
        proj.SetProjMod(mods[static_cast<std::size_t>(modIndex)]);
    } else if (modIndex >= 0) {
        warnings.push_back("object '" + name + "': its projection modifier is missing");
    }
}

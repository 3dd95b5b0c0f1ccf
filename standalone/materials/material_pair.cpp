#include "standalone/materials/material_pair.h"

MaterialPair::~MaterialPair() {
    SetSubMtl(0, nullptr);
    SetSubMtl(1, nullptr);
}

Mtl* MaterialPair::GetSubMtl(int i) {
    return i == 0 || i == 1 ? subs_[static_cast<std::size_t>(i)] : nullptr;
}

void MaterialPair::SetSubMtl(int i, Mtl* m) {
    if (i != 0 && i != 1) {
        return;
    }
    Mtl*& slot = subs_[static_cast<std::size_t>(i)];
    ReplaceReference(slot, m);
}

std::wstring MaterialPair::GetSubMtlSlotName(int i) {
    return i == 0 || i == 1 ? names_[static_cast<std::size_t>(i)] : L"";
}

void MaterialPair::CopyInto(MaterialPair& copy) {
    copy.SetName(GetName());
    copy.SetMtlFlag(GetMtlFlags());
    copy.SetSubMtl(0, subs_[0]);
    copy.SetSubMtl(1, subs_[1]);
}

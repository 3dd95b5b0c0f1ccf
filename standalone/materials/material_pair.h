// The common part of the materials made of two others (the shell material,
// the double-sided material): two named sub-material slots that hold
// references.
#pragma once

#include "host/mtl.h"

#include <array>
#include <string>

class MaterialPair : public Mtl {
  public:
    MaterialPair(const wchar_t* first, const wchar_t* second) : names_{first, second} {}
    ~MaterialPair() override;
    MaterialPair(const MaterialPair&) = delete;
    MaterialPair& operator=(const MaterialPair&) = delete;

    int NumSubMtls() override { return 2; }
    Mtl* GetSubMtl(int i) override;
    void SetSubMtl(int i, Mtl* m) override;
    std::wstring GetSubMtlSlotName(int i) override;

  protected:
    // The name and both sub-materials, shared, go to the copy.
    void CopyInto(MaterialPair& copy);

  private:
    std::array<const wchar_t*, 2> names_;
    std::array<Mtl*, 2> subs_{};
};

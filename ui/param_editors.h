// The editors of a bake element's own parameters in the Choose Bake
// Elements dialog: one per parameter, by type, with the control id
// kParamEditorBase + the parameter's index.
#pragma once

#include "bake/bake_element.h"
#include "host/windows.h"

#include <vector>

inline constexpr int kParamEditorBase = 10000;
// The edit beside a spinner editor.
inline constexpr int kParamEditBase = 20000;

class ParamEditors {
  public:
    // Builds the editors of the entry's parameters in the dialog, in place
    // of those shown before. A parameter of a type without an editor is
    // reported and gets none.
    void Create(HWND dialog, const BakeElementEntry& entry);
    void Destroy();
    // Reads every editor back into its parameter.
    void Read(HWND dialog, BakeElementEntry& entry) const;
    static bool IsEditor(int id) {
        return id >= kParamEditorBase && id < kParamEditorBase + kMaxEditors;
    }

  private:
    static constexpr int kMaxEditors = 10000;
    std::vector<HWND> windows_;
};

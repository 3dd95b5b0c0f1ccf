// The automatic panels of parameter-block descriptors: the rollouts of each
// descriptor's maps, opened and closed by the class descriptor for the
// object being edited, each driving the plug-in's map procedure.
#include "host/iparamb2.h"
#include "standalone/ui/toolkit.h"

#include <memory>

namespace {

class ParamMap : public IParamMap2 {
  public:
    explicit ParamMap(MapID id) : id_(id) {}
    HWND GetHWnd() override { return hwnd_; }
    MapID GetMapID() override { return id_; }
    void SetHWnd(HWND h) { hwnd_ = h; }

  private:
    MapID id_;
    HWND hwnd_ = nullptr;
};

} // namespace

void ClassDesc2::BeginEditParams(Interface* ip, Animatable* /*obj*/, ULONG /*flags*/,
                                 Animatable* /*prev*/) {
    Toolkit* tk = Toolkit::Current();
    if (tk == nullptr || ip == nullptr) {
        return;
    }
    for (ParamBlockDesc2* pbd : pbDescs_) {
        if ((pbd->flags & P_AUTO_UI) == 0) {
            continue;
        }
        for (const ParamRollout& r : pbd->rollouts) {
            auto map = std::make_shared<ParamMap>(r.mapId);
            ParamMap2UserDlgProc* proc = r.proc;
            DialogHandler handler = [ip, map, proc](HWND h, UINT msg, WPARAM w,
                                                    LPARAM l) -> INT_PTR {
                map->SetHWnd(h);
                return proc != nullptr ? proc->DlgProc(ip->GetTime(), map.get(), h, msg, w, l) : 0;
            };
            wchar_t title[256];
            LoadStringW(HInstance(), static_cast<UINT>(r.title), title, 256);
            HWND h = tk->AddRollup(HInstance(), r.dialogTemplate, std::move(handler), title, 0,
                                   ROLLUP_CAT_STANDARD);
            if (h != nullptr) {
                tk->ParamMapRollouts(this).push_back(h);
            }
        }
    }
}

void ClassDesc2::EndEditParams(Interface* /*ip*/, Animatable* /*obj*/, ULONG /*flags*/,
                               Animatable* /*next*/) {
    Toolkit* tk = Toolkit::Current();
    if (tk == nullptr) {
        return;
    }
    std::vector<HWND> open;
    open.swap(tk->ParamMapRollouts(this));
    for (HWND h : open) {
        tk->DeleteRollup(h);
    }
}

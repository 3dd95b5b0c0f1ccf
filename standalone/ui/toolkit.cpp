#include "standalone/ui/toolkit.h"

#include <algorithm>
#include <atomic>

namespace {

// Threads other than the user interface's read it to post messages.
std::atomic<Toolkit*> current_toolkit = nullptr;

// The font handle the host hands out; headless, it only has to be stable.
int app_font_tag = 0;

// Window and image list handles: numbers counted up for the whole process
// (and aligned, as the window system's are), never addresses that a later
// window could take over.
void* next_handle() {
    static std::uintptr_t counter = 0x10000;
    counter += 0x10;
    return reinterpret_cast<void*>(counter);
}

} // namespace

Toolkit::Toolkit(Interface& host)
    : host_(host), app_font_(&app_font_tag), previous_(current_toolkit) {
    current_toolkit = this;
}

Toolkit::~Toolkit() {
    EditObject(nullptr);
    CloseUtility();
    ClearPickMode();
    while (!windows_.empty()) {
        // Top-level windows first: destroying one takes its controls along.
        auto it = std::find_if(windows_.begin(), windows_.end(),
                               [](const auto& e) { return e.second->parent == nullptr; });
        Destroy(it != windows_.end() ? it->first : windows_.begin()->first);
    }
    current_toolkit = previous_;
}

Toolkit* Toolkit::Current() {
    return current_toolkit;
}

Window* Toolkit::Find(HWND handle) const {
    auto it = windows_.find(handle);
    return it != windows_.end() ? it->second.get() : nullptr;
}

Window* Toolkit::CreateDialogWindow(HINSTANCE module, int templateId, Window* owner,
                                    DialogHandler handler, bool modal) {
    const DialogTemplate* t = module != nullptr ? module->FindDialog(templateId) : nullptr;
    if (t == nullptr) {
        return nullptr;
    }
    auto dialog = std::make_unique<Window>();
    Window* d = dialog.get();
    d->role = WindowRole::Dialog;
    d->parent = owner; // an owner, not a container: the dialog is no child of it
    d->template_id = templateId;
    d->text = t->caption;
    d->width = t->width;
    d->height = t->height;
    d->handler = std::move(handler);
    d->module = module;
    d->modal = modal;
    d->hwnd = next_handle();
    windows_[d->handle()] = std::move(dialog);
    for (const ControlTemplate& c : t->controls) {
        auto control = std::make_unique<Window>();
        Window* w = control.get();
        w->parent = d;
        w->id = c.id;
        w->kind = c.kind;
        w->text = c.text;
        w->style = c.style;
        w->x = c.x;
        w->y = c.y;
        w->width = c.width;
        w->height = c.height;
        w->image = c.image;
        w->enabled = (c.style & WS_DISABLED) == 0;
        w->hwnd = next_handle();
        d->children.push_back(w);
        windows_[w->handle()] = std::move(control);
        Touch(*w);
    }
    Touch(*d);
    return d;
}

Window* Toolkit::CreateChild(Window& parent, const std::wstring& className, int id,
                             const std::wstring& text, DWORD style, int x, int y, int width,
                             int height) {
    ControlKind kind = ControlKind::Static;
    if (className == WC_BUTTONW) {
        kind = (style & 0xF) == BS_AUTOCHECKBOX ? ControlKind::CheckBox : ControlKind::PushButton;
    } else if (className == CUSTEDITWINDOWCLASS) {
        kind = ControlKind::CustEdit;
    } else if (className == SPINNERWINDOWCLASS) {
        kind = ControlKind::Spinner;
    } else if (className == COLORSWATCHWINDOWCLASS) {
        kind = ControlKind::ColorSwatch;
    } else if (className != WC_STATICW) {
        return nullptr;
    }
    auto control = std::make_unique<Window>();
    Window* w = control.get();
    w->parent = &parent;
    w->id = id;
    w->kind = kind;
    w->text = text;
    w->style = style;
    w->x = x;
    w->y = y;
    w->width = width;
    w->height = height;
    w->enabled = (style & WS_DISABLED) == 0;
    w->font = parent.font;
    w->hwnd = next_handle();
    parent.children.push_back(w);
    windows_[w->handle()] = std::move(control);
    Touch(*w);
    Touch(parent);
    return w;
}

void Toolkit::Post(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    std::lock_guard lock(posted_mutex_);
    posted_.push_back({window, msg, wParam, lParam});
}

int Toolkit::DispatchPosted() {
    int delivered = 0;
    for (;;) {
        Posted m;
        {
            std::lock_guard lock(posted_mutex_);
            if (posted_.empty()) {
                return delivered;
            }
            m = posted_.front();
            posted_.pop_front();
        }
        if (Find(m.window) != nullptr) {
            Send(m.window, m.msg, m.wParam, m.lParam);
            ++delivered;
        }
    }
}

Window* Toolkit::CreatePopup(const std::wstring& className, DWORD style, Window* owner) {
    auto popup = std::make_unique<Window>();
    Window* w = popup.get();
    w->role = className == TOOLTIPS_CLASSW ? WindowRole::Tooltip : WindowRole::Control;
    w->parent = owner;
    w->text = className;
    w->style = style;
    w->hwnd = next_handle();
    windows_[w->handle()] = std::move(popup);
    Touch(*w);
    return w;
}

void Toolkit::Destroy(HWND handle) {
    Window* w = Find(handle);
    if (w == nullptr || w->destroying) {
        return;
    }
    w->destroying = true;
    if (w->role == WindowRole::Dialog && w->handler) {
        const DialogHandler handler = w->handler;
        handler(handle, WM_DESTROY, 0, 0);
        w = Find(handle); // the procedure may have destroyed it itself
        if (w == nullptr) {
            return;
        }
    }
    std::erase_if(rollouts_, [&](const Rollout& r) { return r.window == handle; });
    std::erase(modals_, w);
    // Windows owned but not contained (the tooltip, dialogs it opened)
    // outlive it, as owned windows are only hidden with their owner; they
    // forget the owner.
    for (auto& [h, other] : windows_) {
        if (other->parent == w &&
            std::find(w->children.begin(), w->children.end(), other.get()) == w->children.end()) {
            other->parent = nullptr;
        }
    }
    if (w->parent != nullptr && std::find(w->parent->children.begin(), w->parent->children.end(),
                                          w) != w->parent->children.end()) {
        std::erase(w->parent->children, w);
    }
    Forget(w);
    ++sequence_;
}

void Toolkit::Forget(Window* w) {
    for (Window* child : std::vector<Window*>(w->children)) {
        Forget(child);
    }
    windows_.erase(w->handle());
}

void Toolkit::Touch(Window& w) {
    w.version = ++sequence_;
    if (listener_) {
        listener_(w);
    }
}

LRESULT Toolkit::Send(HWND handle, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = Find(handle);
    if (w == nullptr) {
        return 0;
    }
    switch (w->role) {
    case WindowRole::Dialog: {
        // A copy: the procedure may destroy its own window, and with it the
        // handler it runs in.
        const DialogHandler handler = w->handler;
        return handler ? handler(handle, msg, wParam, lParam) : 0;
    }
    case WindowRole::Tooltip:
        if (msg == TTM_ADDTOOLW && lParam != 0) {
            const auto* info = reinterpret_cast<const TOOLINFOW*>(lParam);
            Window* tool = (info->uFlags & TTF_IDISHWND) != 0
                               ? Find(reinterpret_cast<HWND>(info->uId))
                               : nullptr;
            if (tool == nullptr) {
                return 0;
            }
            tool->tooltip = info->lpszText != nullptr ? info->lpszText : L"";
            Touch(*tool);
            return 1;
        }
        if (msg == TTM_SETMAXTIPWIDTH) {
            const LRESULT previous = w->width;
            w->width = static_cast<int>(lParam);
            return previous;
        }
        return 0;
    case WindowRole::Control:
        return ControlMessage(*w, msg, wParam, lParam);
    }
    return 0;
}

HWND Toolkit::AddRollup(HINSTANCE module, int templateId, DialogHandler handler,
                        const std::wstring& title, LPARAM param, int category) {
    Window* d = CreateDialogWindow(module, templateId, nullptr, std::move(handler), false);
    if (d == nullptr) {
        return nullptr;
    }
    const HWND handle = d->handle();
    rollouts_.push_back({handle, title, category, true});
    Send(handle, WM_INITDIALOG, 0, param);
    return handle;
}

void Toolkit::DeleteRollup(HWND rollout) {
    if (std::any_of(rollouts_.begin(), rollouts_.end(),
                    [&](const Rollout& r) { return r.window == rollout; })) {
        Destroy(rollout);
    }
}

void Toolkit::SetRolloutOpen(HWND rollout, bool open) {
    for (Rollout& r : rollouts_) {
        if (r.window == rollout && r.open != open) {
            r.open = open;
            Touch(*Find(rollout));
        }
    }
}

bool Toolkit::OpenUtility(ClassDesc* desc) {
    if (desc == nullptr || desc->SuperClassID() != UTILITY_CLASS_ID) {
        return false;
    }
    EditObject(nullptr);
    CloseUtility();
    auto* utility = static_cast<UtilityObj*>(desc->Create(0));
    if (utility == nullptr) {
        return false;
    }
    utility_ = utility;
    utility->BeginEditParams(&host_, this);
    return true;
}

void Toolkit::CloseUtility() {
    UtilityObj* utility = utility_;
    if (utility == nullptr) {
        return;
    }
    utility_ = nullptr;
    utility->EndEditParams(&host_, this);
    utility->DeleteThis();
}

void Toolkit::EditObject(Animatable* obj) {
    if (edited_ == obj) {
        return;
    }
    Animatable* previous = edited_;
    if (previous != nullptr) {
        edited_ = nullptr;
        previous->EndEditParams(&host_, 0, obj);
    }
    if (obj != nullptr) {
        CloseUtility();
        edited_ = obj;
        obj->BeginEditParams(&host_, 0, previous);
    }
}

INT_PTR Toolkit::RunModal(HINSTANCE module, int templateId, HWND owner, DialogHandler handler,
                          LPARAM param) {
    Window* d = CreateDialogWindow(module, templateId, Find(owner), std::move(handler), true);
    if (d == nullptr) {
        return -1;
    }
    const HWND handle = d->handle();
    modals_.push_back(d);
    Send(handle, WM_INITDIALOG, 0, param);
    auto running = [&] {
        const Window* w = Find(handle);
        return w != nullptr && !w->ended;
    };
    while (running()) {
        if (DispatchPosted() > 0) {
            continue;
        }
        if (modal_pump_ && modal_pump_()) {
            continue;
        }
        // Nobody is left to answer: close the dialog as its close box
        // would, and if it ignores that, as Cancel would.
        Send(handle, WM_CLOSE, 0, 0);
        if (running()) {
            Send(handle, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        }
        if (running()) {
            EndModal(handle, IDCANCEL);
        }
    }
    const Window* w = Find(handle);
    const INT_PTR result = w != nullptr ? w->end_result : IDCANCEL;
    Destroy(handle);
    return result;
}

BOOL Toolkit::EndModal(HWND dialog, INT_PTR result) {
    Window* w = Find(dialog);
    if (w == nullptr || !w->modal) {
        return 0;
    }
    w->ended = true;
    w->end_result = result;
    return 1;
}

void Toolkit::SetPickMode(PickModeCallback* pc) {
    ClearPickMode();
    pick_mode_ = pc;
    if (pc != nullptr) {
        pc->EnterMode(&host_);
    }
}

void Toolkit::ClearPickMode() {
    PickModeCallback* pc = pick_mode_;
    if (pc == nullptr) {
        return;
    }
    pick_mode_ = nullptr;
    pc->ExitMode(&host_);
}

Toolkit::SelectorAnswer Toolkit::TakeAnswer(const std::wstring& title, const char* kind) {
    selector_titles_.push_back(title);
    if (answers_.empty() && modal_pump_) {
        pending_selector_ = PendingSelector{title, kind};
        ++sequence_; // a front end shows the selector
        modal_pump_();
        pending_selector_.reset();
        ++sequence_;
    }
    if (answers_.empty()) {
        return {true, {}};
    }
    SelectorAnswer a = std::move(answers_.front());
    answers_.pop_front();
    return a;
}

HIMAGELIST Toolkit::CreateImageList(int cx, int cy) {
    if (cx <= 0 || cy <= 0) {
        return nullptr;
    }
    image_lists_.push_back(std::make_unique<ImageList>());
    image_lists_.back()->handle = next_handle();
    image_lists_.back()->cx = cx;
    image_lists_.back()->cy = cy;
    return image_lists_.back()->handle;
}

Toolkit::ImageList* Toolkit::FindImageList(HIMAGELIST list) {
    for (const auto& l : image_lists_) {
        if (l->handle == list) {
            return l.get();
        }
    }
    return nullptr;
}

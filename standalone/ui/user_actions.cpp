// A user's actions on controls, entering through the messages the window
// system would send for them: a click is a command, a drag of a spinner
// its change and release messages, typing the edit's notifications.
#include "standalone/ui/toolkit.h"

#include "host/custcont.h"
#include "host/text.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <sstream>

namespace {

std::string describe(const Window& w) {
    return std::string(ControlKindName(w.kind)) + " " + std::to_string(w.id);
}

bool checkable(const Window& w) {
    return w.kind == ControlKind::CheckBox || w.kind == ControlKind::RadioButton ||
           (w.kind == ControlKind::CustButton && w.check_type);
}

// A number filling the whole text (blanks around it allowed).
bool parse_number(const std::wstring& text, double& value) {
    const wchar_t* begin = text.c_str();
    wchar_t* end = nullptr;
    errno = 0;
    const double v = std::wcstod(begin, &end);
    if (end == begin || errno != 0 || !std::isfinite(v)) {
        return false;
    }
    while (*end != L'\0' && std::iswspace(static_cast<wint_t>(*end))) {
        ++end;
    }
    if (*end != L'\0') {
        return false;
    }
    value = v;
    return true;
}

// "#RRGGBB", as a colour picker's hexadecimal field shows it.
bool parse_colour(const std::string& text, COLORREF& colour) {
    if (text.size() != 7 || text[0] != '#' ||
        text.find_first_not_of("0123456789abcdefABCDEF", 1) != std::string::npos) {
        return false;
    }
    const unsigned long v = std::stoul(text.substr(1), nullptr, 16);
    colour = RGB(static_cast<int>(v >> 16), static_cast<int>((v >> 8) & 0xFF),
                 static_cast<int>(v & 0xFF));
    return true;
}

std::string number_text(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

// The viewport of one click: the node under the cursor, if any.
class ClickView : public ViewExp {
  public:
    explicit ClickView(INode* hit) : hit_(hit) {}
    INode* GetClosestHit() override { return hit_; }
    int HitCount() override { return hit_ != nullptr ? 1 : 0; }

  private:
    INode* hit_;
};

} // namespace

std::wstring SpinnerText(const SpinnerState& s) {
    if (!s.is_float) {
        return std::to_wstring(static_cast<long long>(std::llround(s.value)));
    }
    wchar_t buf[64];
    std::swprintf(buf, 64, L"%.3f", s.value);
    std::wstring text = buf;
    while (text.size() > 1 && text.back() == L'0' && text[text.size() - 2] != L'.') {
        text.pop_back();
    }
    return text;
}

bool Toolkit::Usable(const Window& w) const {
    if (!w.enabled) {
        return false;
    }
    // A modal dialog keeps the user away from every other window.
    const Window* modal = TopModal();
    return modal == nullptr || w.parent == modal;
}

void Toolkit::Command(Window& control, WORD code) {
    if (control.parent != nullptr) {
        Send(control.parent->handle(), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(control.id), code),
             reinterpret_cast<LPARAM>(control.handle()));
    }
}

void Toolkit::ShowSpinnerValue(Window& spinner) {
    if (Window* edit = Find(spinner.spinner.edit)) {
        edit->text = SpinnerText(spinner.spinner);
        Touch(*edit);
    }
}

HWND Toolkit::FindControl(int id) const {
    auto in = [id](const Window* dialog) -> HWND {
        for (Window* c : dialog->children) {
            if (c->id == id) {
                return c->handle();
            }
        }
        return nullptr;
    };
    if (const Window* modal = TopModal()) {
        return in(modal);
    }
    for (const Rollout& r : rollouts_) {
        if (const Window* d = Find(r.window)) {
            if (HWND h = in(d)) {
                return h;
            }
        }
    }
    return nullptr;
}

ActionResult Toolkit::Click(HWND control) {
    Window* w = Find(control);
    if (w == nullptr || w->role != WindowRole::Control) {
        return ActionResult::failed("no such control");
    }
    if (!Usable(*w)) {
        return ActionResult::ignored(describe(*w) + " is disabled");
    }
    switch (w->kind) {
    case ControlKind::PushButton:
        break;
    case ControlKind::CheckBox:
        w->checked = !w->checked;
        Touch(*w);
        break;
    case ControlKind::RadioButton: {
        // The group runs from the nearest WS_GROUP control before it up to
        // the next one.
        std::vector<Window*>& row = w->parent->children;
        std::size_t at = 0;
        while (row[at] != w) {
            ++at;
        }
        std::size_t first = at;
        while (first > 0 && (row[first]->style & WS_GROUP) == 0) {
            --first;
        }
        for (std::size_t i = first; i < row.size(); ++i) {
            if (i > first && (row[i]->style & WS_GROUP) != 0) {
                break;
            }
            if (row[i]->kind == ControlKind::RadioButton && row[i]->checked != (row[i] == w)) {
                row[i]->checked = row[i] == w;
                Touch(*row[i]);
            }
        }
        break;
    }
    case ControlKind::CustButton:
        if (w->check_type) {
            w->checked = !w->checked;
            Touch(*w);
        }
        break;
    case ControlKind::Picture:
        if ((w->style & SS_NOTIFY) == 0) {
            return ActionResult::ignored(describe(*w) + " does not answer clicks");
        }
        break;
    default:
        return ActionResult::failed(describe(*w) + " cannot be clicked");
    }
    Command(*w, BN_CLICKED);
    return ActionResult::done();
}

ActionResult Toolkit::SetChecked(HWND control, bool checked) {
    Window* w = Find(control);
    if (w == nullptr || !checkable(*w)) {
        return ActionResult::failed(w == nullptr ? "no such control"
                                                 : describe(*w) + " has no check");
    }
    if (w->checked == checked) {
        return ActionResult::done();
    }
    if (!checked && w->kind == ControlKind::RadioButton) {
        return ActionResult::failed(describe(*w) +
                                    " is unchecked by checking another button of its group");
    }
    return Click(control);
}

ActionResult Toolkit::SetColour(HWND control, COLORREF colour) {
    Window* w = Find(control);
    if (w == nullptr || w->kind != ControlKind::ColorSwatch) {
        return ActionResult::failed(w == nullptr ? "no such control"
                                                 : describe(*w) + " is no colour swatch");
    }
    if (!Usable(*w)) {
        return ActionResult::ignored(describe(*w) + " is disabled");
    }
    // The swatch's colour picker tells the dialog on every change.
    w->color = colour;
    Touch(*w);
    Send(w->parent->handle(), CC_COLOR_CHANGE, MAKEWPARAM(static_cast<WORD>(w->id), 0), 0);
    return ActionResult::done();
}

ActionResult Toolkit::Spin(HWND control, double value) {
    Window* w = Find(control);
    if (w != nullptr && w->kind != ControlKind::Spinner && w->parent != nullptr) {
        // An edit stands for the spinner linked to it.
        for (Window* c : w->parent->children) {
            if (c->kind == ControlKind::Spinner && c->spinner.edit == control) {
                w = c;
                break;
            }
        }
    }
    if (w == nullptr || w->kind != ControlKind::Spinner) {
        return ActionResult::failed(w == nullptr ? "no such control"
                                                 : describe(*w) + " is no spinner");
    }
    if (!Usable(*w)) {
        return ActionResult::ignored(describe(*w) + " is disabled");
    }
    SpinnerState& s = w->spinner;
    double v = std::clamp(value, s.min, s.max);
    if (!s.is_float) {
        v = std::round(v);
    }
    ActionResult result;
    if (v != value) {
        result.message = describe(*w) + ": " + number_text(value) + " is outside " +
                         number_text(s.min) + ".." + number_text(s.max) + "; it holds " +
                         number_text(v);
    }
    s.value = v;
    Touch(*w);
    ShowSpinnerValue(*w);
    const HWND dialog = w->parent->handle();
    const auto id = static_cast<WORD>(w->id);
    const auto self = reinterpret_cast<LPARAM>(control);
    Send(dialog, CC_SPINNER_BUTTONDOWN, MAKEWPARAM(id, 0), self);
    Send(dialog, CC_SPINNER_CHANGE, MAKEWPARAM(id, 1), self);
    Send(dialog, CC_SPINNER_BUTTONUP, MAKEWPARAM(id, 1), self);
    return result;
}

ActionResult Toolkit::CommitSpinnerEdit(Window& spinner, const std::wstring& text) {
    double v = 0;
    if (!parse_number(text, v)) {
        ShowSpinnerValue(spinner);
        return ActionResult::ignored(describe(spinner) + ": '" + WideToUtf8(text) +
                                     "' is no number; the spinner keeps its value");
    }
    SpinnerState& s = spinner.spinner;
    v = std::clamp(v, s.min, s.max);
    if (!s.is_float) {
        v = std::round(v);
    }
    s.value = v;
    Touch(spinner);
    ShowSpinnerValue(spinner);
    Send(spinner.parent->handle(), CC_SPINNER_CHANGE, MAKEWPARAM(static_cast<WORD>(spinner.id), 0),
         reinterpret_cast<LPARAM>(spinner.handle()));
    return ActionResult::done();
}

ActionResult Toolkit::Type(HWND control, const std::wstring& text) {
    Window* w = Find(control);
    if (w == nullptr || (w->kind != ControlKind::Edit && w->kind != ControlKind::CustEdit)) {
        return ActionResult::failed(w == nullptr ? "no such control"
                                                 : describe(*w) + " is no edit");
    }
    if (!Usable(*w)) {
        return ActionResult::ignored(describe(*w) + " is disabled");
    }
    if (w->read_only()) {
        return ActionResult::ignored(describe(*w) + " is read-only");
    }
    if ((w->style & ES_NUMBER) != 0 &&
        std::any_of(text.begin(), text.end(), [](wchar_t c) { return c < L'0' || c > L'9'; })) {
        return ActionResult::ignored(describe(*w) + " takes digits only");
    }
    // By handle: the notifications below may destroy windows.
    HWND spinner = nullptr;
    for (Window* c : w->parent->children) {
        if (c->kind == ControlKind::Spinner && c->spinner.edit == control) {
            spinner = c->handle();
        }
    }
    Command(*w, EN_SETFOCUS);
    ActionResult result;
    if ((w = Find(control)) != nullptr) {
        w->text = text;
        Touch(*w);
        Command(*w, EN_CHANGE);
    }
    if (Window* s = Find(spinner)) {
        result = CommitSpinnerEdit(*s, text);
    }
    if ((w = Find(control)) != nullptr) {
        Command(*w, EN_KILLFOCUS);
    }
    return result;
}

ActionResult Toolkit::Select(HWND control, const std::vector<int>& items) {
    Window* w = Find(control);
    if (w == nullptr || (w->kind != ControlKind::DropDownList && w->kind != ControlKind::ListBox &&
                         w->kind != ControlKind::ListView)) {
        return ActionResult::failed(w == nullptr ? "no such control"
                                                 : describe(*w) + " has no items to select");
    }
    if (!Usable(*w)) {
        return ActionResult::ignored(describe(*w) + " is disabled");
    }
    for (int i : items) {
        if (i < 0 || static_cast<std::size_t>(i) >= w->items.size()) {
            return ActionResult::failed(describe(*w) + " has no item " + std::to_string(i) +
                                        " (it has " + std::to_string(w->items.size()) + ")");
        }
    }
    if (w->kind == ControlKind::DropDownList) {
        if (items.size() != 1) {
            return ActionResult::failed(describe(*w) + " selects one item");
        }
        w->cursel = items[0];
        Touch(*w);
        Command(*w, CBN_SELCHANGE);
        return ActionResult::done();
    }
    if (w->kind == ControlKind::ListView) {
        return SelectRows(*w, items);
    }
    if (items.size() > 1 && (w->style & LBS_EXTENDEDSEL) == 0) {
        return ActionResult::failed(describe(*w) + " selects one item");
    }
    for (std::size_t i = 0; i < w->items.size(); ++i) {
        w->items[i].selected =
            std::find(items.begin(), items.end(), static_cast<int>(i)) != items.end();
    }
    Touch(*w);
    Command(*w, LBN_SELCHANGE);
    return ActionResult::done();
}

ActionResult Toolkit::SelectRows(Window& w, const std::vector<int>& rows) {
    if (rows.size() > 1 && (w.style & LVS_SINGLESEL) != 0) {
        return ActionResult::failed(describe(w) + " selects one row");
    }
    // Each row whose state changes says so, then the click on the last row
    // chosen; by handle, as a dialog may close on any of them.
    const HWND self = w.handle();
    const HWND dialog = w.parent->handle();
    const int id = w.id;
    std::vector<std::pair<int, bool>> changes;
    for (std::size_t i = 0; i < w.items.size(); ++i) {
        const bool want = std::find(rows.begin(), rows.end(), static_cast<int>(i)) != rows.end();
        if (w.items[i].selected != want) {
            w.items[i].selected = want;
            changes.emplace_back(static_cast<int>(i), want);
        }
    }
    Touch(w);
    auto notify = [&](int code, int row, UINT now, UINT before) {
        NMLISTVIEW nm;
        nm.hdr = {self, static_cast<UINT_PTR>(id), code};
        nm.iItem = row;
        nm.uNewState = now;
        nm.uOldState = before;
        Send(dialog, WM_NOTIFY, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&nm));
    };
    for (const auto& [row, selected] : changes) {
        notify(LVN_ITEMCHANGED, row, selected ? LVIS_SELECTED : 0, selected ? 0 : LVIS_SELECTED);
    }
    notify(NM_CLICK, rows.empty() ? -1 : rows.back(), 0, 0);
    return ActionResult::done();
}

ActionResult Toolkit::PickInViewport(INode* node) {
    PickModeCallback* pc = pick_mode_;
    if (pc == nullptr) {
        return ActionResult::failed("no pick mode is running");
    }
    if (TopModal() != nullptr) {
        return ActionResult::ignored("a modal dialog is open");
    }
    ClickView view(node);
    if (pc->HitTest(&host_, nullptr, &view, IPoint2{}, 0) == 0) {
        return ActionResult::ignored(node == nullptr ? "nothing there to pick; picking goes on"
                                                     : "that node cannot be picked");
    }
    if (pc->Pick(&host_, &view) != 0 && pick_mode_ == pc) {
        ClearPickMode();
    }
    return ActionResult::done();
}

ActionResult Toolkit::RightClickViewport() {
    PickModeCallback* pc = pick_mode_;
    if (pc == nullptr) {
        return ActionResult::failed("no pick mode is running");
    }
    ClickView view(nullptr);
    if (pc->RightClick(&host_, &view) != 0 && pick_mode_ == pc) {
        ClearPickMode();
    }
    return ActionResult::done();
}

ActionResult Toolkit::Perform(const std::string& line) {
    std::istringstream in(line);
    std::string verb;
    long long id = 0;
    in >> verb;
    if (verb == "pick") {
        std::string name;
        std::getline(in >> std::ws, name);
        INode* node = name.empty() ? nullptr : host_.GetINodeByName(Utf8ToWide(name).c_str());
        if (!name.empty() && node == nullptr) {
            return ActionResult::failed("no node named '" + name + "'");
        }
        return PickInViewport(node);
    }
    if (verb == "close") {
        Window* top = TopModal();
        if (top == nullptr) {
            return ActionResult::failed("'close': no dialog is open");
        }
        Send(top->handle(), WM_CLOSE, 0, 0);
        return ActionResult::done();
    }
    if (verb == "rightclick") {
        return RightClickViewport();
    }
    if (verb == "answer") {
        std::string kind, path;
        in >> kind;
        std::getline(in >> std::ws, path);
        if (kind == "cancel" && path.empty()) {
            QueueAnswer({true, {}});
        } else if ((kind == "file" || kind == "folder") && !path.empty()) {
            QueueAnswer({false, Utf8ToWide(path)});
        } else {
            return ActionResult::failed("'" + line +
                                        "': answer file PATH, answer folder PATH or answer cancel");
        }
        return ActionResult::done();
    }
    if (!(in >> id) || id < -1 || id > 0xFFFF) {
        return ActionResult::failed("'" + line + "': the action needs a control id");
    }
    std::string rest;
    std::getline(in >> std::ws, rest);
    if (verb == "fold" || verb == "unfold") {
        for (const Rollout& r : rollouts_) {
            if (Find(r.window)->template_id == id) {
                SetRolloutOpen(r.window, verb == "unfold");
                return ActionResult::done();
            }
        }
        return ActionResult::failed("no rollout " + std::to_string(id) + " in the panel");
    }
    const HWND control = FindControl(static_cast<int>(id));
    if (control == nullptr) {
        return ActionResult::failed(
            "no control " + std::to_string(id) +
            (TopModal() != nullptr ? " in the open dialog" : " in the open panel"));
    }
    if (verb == "click" || verb == "open") {
        return Click(control);
    }
    if (verb == "check" || verb == "uncheck") {
        return SetChecked(control, verb == "check");
    }
    if (verb == "type") {
        return Type(control, Utf8ToWide(rest));
    }
    if (verb == "set" && Find(control)->kind == ControlKind::ColorSwatch) {
        COLORREF colour = 0;
        if (!parse_colour(rest, colour)) {
            return ActionResult::failed("'" + line + "': '" + rest + "' is no colour (#RRGGBB)");
        }
        return SetColour(control, colour);
    }
    if (verb == "set") {
        double v = 0;
        if (!parse_number(Utf8ToWide(rest), v)) {
            return ActionResult::failed("'" + line + "': '" + rest + "' is no number");
        }
        return Spin(control, v);
    }
    if (verb == "select") {
        std::vector<int> items;
        std::istringstream list(rest);
        std::string item;
        while (std::getline(list, item, ',')) {
            double v = 0;
            if (!parse_number(Utf8ToWide(item), v) || v != std::floor(v) || v < 0 || v > 1e9) {
                return ActionResult::failed("'" + line + "': '" + item + "' is no item index");
            }
            items.push_back(static_cast<int>(v));
        }
        return Select(control, items);
    }
    return ActionResult::failed("'" + line + "': unknown action '" + verb + "'");
}

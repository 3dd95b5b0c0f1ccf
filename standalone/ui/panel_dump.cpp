// The text picture of the panel: every rollout and modal dialog with its
// controls and their state, one control per line.
#include "host/text.h"
#include "standalone/ui/toolkit.h"

#include <cstdio>

namespace {

std::string quoted(const std::wstring& text) {
    std::string out = "\"";
    for (char c : WideToUtf8(text)) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string number(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.9g", v);
    return buf;
}

std::string control_line(const Window& w) {
    std::string line = "  " + (w.id == -1 ? std::string("-") : std::to_string(w.id)) + " " +
                       ControlKindName(w.kind);
    switch (w.kind) {
    case ControlKind::Spinner:
        line += std::string(w.spinner.is_float ? " float " : " int ") + number(w.spinner.value) +
                " [" + number(w.spinner.min) + ".." + number(w.spinner.max) + "]";
        break;
    case ControlKind::DropDownList:
    case ControlKind::ListBox:
    case ControlKind::ListView: {
        line += " [";
        for (std::size_t i = 0; i < w.items.size(); ++i) {
            const bool selected = w.kind == ControlKind::DropDownList
                                      ? static_cast<int>(i) == w.cursel
                                      : w.items[i].selected;
            line +=
                (i == 0 ? "" : ", ") + std::string(selected ? "*" : "") + quoted(w.items[i].text);
            if (w.kind == ControlKind::ListView && i < w.subitems.size()) {
                for (const std::wstring& cell : w.subitems[i]) {
                    line += " | " + quoted(cell);
                }
            }
        }
        line += "]";
        break;
    }
    case ControlKind::ColorSwatch: {
        char buf[16];
        std::snprintf(buf, sizeof buf, " #%02X%02X%02X", w.color & 0xFF, (w.color >> 8) & 0xFF,
                      (w.color >> 16) & 0xFF);
        line += buf;
        break;
    }
    default:
        if (!w.text.empty() || w.kind == ControlKind::Edit || w.kind == ControlKind::CustEdit) {
            line += " " + quoted(w.text);
        }
        break;
    }
    if (w.kind == ControlKind::CheckBox || w.kind == ControlKind::RadioButton ||
        (w.kind == ControlKind::CustButton && w.check_type)) {
        line += w.checked ? " checked" : " unchecked";
    }
    if (w.read_only()) {
        line += " read-only";
    }
    if (!w.enabled) {
        line += " disabled";
    }
    return line + "\n";
}

void dialog_lines(const Window& d, std::string& out) {
    for (const Window* c : d.children) {
        out += control_line(*c);
    }
}

} // namespace

std::string Toolkit::Dump() const {
    std::string out;
    for (const Rollout& r : rollouts_) {
        const Window* d = Find(r.window);
        out += "rollout " + std::to_string(d->template_id) + " " + quoted(r.title) +
               (r.open ? "" : " folded") + "\n";
        dialog_lines(*d, out);
    }
    for (const Window* d : modals_) {
        out += "dialog " + std::to_string(d->template_id) + " " + quoted(d->text) + "\n";
        dialog_lines(*d, out);
    }
    return out;
}

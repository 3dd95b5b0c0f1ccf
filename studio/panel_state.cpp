#include "studio/panel_state.h"

#include "host/text.h"
#include "standalone/files/json_text.h"

#include <cstdio>

namespace {

std::string q(const std::wstring& text) {
    return JsonQuoted(WideToUtf8(text));
}

std::string num(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.9g", v);
    return buf;
}

std::string colour(COLORREF c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "\"#%02X%02X%02X\"", c & 0xFF, (c >> 8) & 0xFF,
                  (c >> 16) & 0xFF);
    return buf;
}

// The image a custom button shows now: its bitmap and where in it.
std::string button_image(const Toolkit& ui, const Window& w) {
    auto* list = const_cast<Toolkit&>(ui).FindImageList(w.images.list);
    if (list == nullptr) {
        return "null";
    }
    int index = w.enabled ? (w.checked ? w.images.in_enabled : w.images.out_enabled)
                          : (w.checked ? w.images.in_disabled : w.images.out_disabled);
    if (index < 0 || index >= static_cast<int>(list->images.size())) {
        return "null";
    }
    const Toolkit::ImageList::Image& image = list->images[static_cast<std::size_t>(index)];
    return "{\"bitmap\":" + std::to_string(image.bitmap) + ",\"x\":" + std::to_string(image.x) +
           ",\"w\":" + std::to_string(list->cx) + ",\"h\":" + std::to_string(list->cy) + "}";
}

std::string control_json(const Toolkit& ui, const Window& w) {
    std::string j = "{\"id\":" + std::to_string(w.id) + ",\"kind\":\"" + ControlKindName(w.kind) +
                    "\",\"text\":" + q(w.text) + ",\"x\":" + std::to_string(w.x) +
                    ",\"y\":" + std::to_string(w.y) + ",\"w\":" + std::to_string(w.width) +
                    ",\"h\":" + std::to_string(w.height) +
                    ",\"enabled\":" + (w.enabled ? "true" : "false") +
                    ",\"checked\":" + (w.checked ? "true" : "false") +
                    ",\"readOnly\":" + (w.read_only() ? "true" : "false") +
                    ",\"style\":" + std::to_string(w.style);
    if (!w.tooltip.empty()) {
        j += ",\"tooltip\":" + q(w.tooltip);
    }
    switch (w.kind) {
    case ControlKind::Spinner:
        j += ",\"value\":" + num(w.spinner.value) + ",\"min\":" + num(w.spinner.min) +
             ",\"max\":" + num(w.spinner.max) +
             ",\"float\":" + (w.spinner.is_float ? "true" : "false") +
             ",\"scale\":" + num(w.spinner.scale);
        break;
    case ControlKind::DropDownList:
    case ControlKind::ListBox:
    case ControlKind::ListView: {
        j += ",\"cursel\":" + std::to_string(w.cursel) + ",\"items\":[";
        for (std::size_t i = 0; i < w.items.size(); ++i) {
            j += (i == 0 ? "{" : ",{") + std::string("\"text\":") + q(w.items[i].text) +
                 ",\"sel\":" + (w.items[i].selected ? "true" : "false");
            if (i < w.subitems.size() && !w.subitems[i].empty()) {
                j += ",\"cells\":[";
                for (std::size_t c = 0; c < w.subitems[i].size(); ++c) {
                    j += (c == 0 ? "" : ",") + q(w.subitems[i][c]);
                }
                j += "]";
            }
            j += "}";
        }
        j += "],\"columns\":[";
        for (std::size_t c = 0; c < w.columns.size(); ++c) {
            j += (c == 0 ? "" : ",") + q(w.columns[c]);
        }
        j += "]";
        break;
    }
    case ControlKind::ColorSwatch:
        j += ",\"color\":" + colour(w.color);
        break;
    case ControlKind::Picture:
        j += ",\"image\":" + std::to_string(w.image);
        break;
    case ControlKind::CustButton:
        j += ",\"checkType\":" + std::string(w.check_type ? "true" : "false") +
             ",\"buttonImage\":" + button_image(ui, w);
        break;
    default:
        break;
    }
    return j + "}";
}

std::string dialog_json(const Toolkit& ui, const Window& d, const std::wstring& title, bool open) {
    std::string j = "{\"handle\":" + std::to_string(reinterpret_cast<std::uintptr_t>(d.handle())) +
                    ",\"template\":" + std::to_string(d.template_id) + ",\"title\":" + q(title) +
                    ",\"open\":" + (open ? "true" : "false") + ",\"w\":" + std::to_string(d.width) +
                    ",\"h\":" + std::to_string(d.height) + ",\"controls\":[";
    bool first = true;
    for (const Window* c : d.children) {
        j += (first ? "" : ",") + control_json(ui, *c);
        first = false;
    }
    return j + "]}";
}

} // namespace

std::string PanelStateJson(const Toolkit& ui) {
    std::string j = "{\"seq\":" + std::to_string(ui.sequence()) + ",\"rollouts\":[";
    bool first = true;
    for (const Rollout& r : ui.rollouts()) {
        if (const Window* w = ui.Find(r.window)) {
            j += (first ? "" : ",") + dialog_json(ui, *w, r.title, r.open);
            first = false;
        }
    }
    j += "],\"modals\":[";
    first = true;
    for (const Window* m : ui.modals()) {
        j += (first ? "" : ",") + dialog_json(ui, *m, m->text, true);
        first = false;
    }
    j += "],\"pickMode\":" + std::string(ui.pick_mode() != nullptr ? "true" : "false");
    if (const auto& s = ui.pending_selector()) {
        j += ",\"selector\":{\"title\":" + q(s->title) + ",\"kind\":\"" + s->kind + "\"}";
    } else {
        j += ",\"selector\":null";
    }
    return j + "}";
}

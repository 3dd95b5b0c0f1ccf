// What each kind of control does with the messages sent to it: buttons
// keep their check, drop-down lists and list boxes their items.
#include "standalone/ui/toolkit.h"

#include <algorithm>
#include <cwchar>

namespace {

bool in_range(const Window& w, WPARAM index) {
    return index < w.items.size();
}

LRESULT copy_text(const std::wstring& text, LPARAM buffer) {
    if (buffer == 0) {
        return -1;
    }
    // The caller sized the buffer with the matching length message.
    std::wmemcpy(reinterpret_cast<wchar_t*>(buffer), text.c_str(), text.size() + 1);
    return static_cast<LRESULT>(text.size());
}

const wchar_t* text_of(LPARAM lParam) {
    return lParam != 0 ? reinterpret_cast<const wchar_t*>(lParam) : L"";
}

LRESULT combo_message(Toolkit& tk, Window& w, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case CB_ADDSTRING:
        w.items.push_back({text_of(lParam)});
        tk.Touch(w);
        return static_cast<LRESULT>(w.items.size() - 1);
    case CB_RESETCONTENT:
        w.items.clear();
        w.cursel = -1;
        tk.Touch(w);
        return 0;
    case CB_SETCURSEL:
        // An index out of range clears the selection and answers CB_ERR.
        w.cursel = in_range(w, wParam) ? static_cast<int>(wParam) : -1;
        tk.Touch(w);
        return w.cursel >= 0 ? w.cursel : CB_ERR;
    case CB_GETCURSEL:
        return w.cursel >= 0 ? w.cursel : CB_ERR;
    case CB_GETCOUNT:
        return static_cast<LRESULT>(w.items.size());
    case CB_SETITEMDATA:
        if (!in_range(w, wParam)) {
            return CB_ERR;
        }
        w.items[wParam].data = lParam;
        return 0;
    case CB_GETITEMDATA:
        return in_range(w, wParam) ? w.items[wParam].data : CB_ERR;
    case CB_GETLBTEXTLEN:
        return in_range(w, wParam) ? static_cast<LRESULT>(w.items[wParam].text.size()) : CB_ERR;
    case CB_GETLBTEXT:
        return in_range(w, wParam) ? copy_text(w.items[wParam].text, lParam) : CB_ERR;
    default:
        return 0;
    }
}

LRESULT list_message(Toolkit& tk, Window& w, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case LB_ADDSTRING: {
        ListEntry entry{text_of(lParam)};
        auto at = w.items.end();
        if ((w.style & LBS_SORT) != 0) {
            at = std::upper_bound(
                w.items.begin(), w.items.end(), entry,
                [](const ListEntry& a, const ListEntry& b) { return a.text < b.text; });
        }
        const auto index = at - w.items.begin();
        w.items.insert(at, std::move(entry));
        tk.Touch(w);
        return index;
    }
    case LB_RESETCONTENT:
        w.items.clear();
        tk.Touch(w);
        return 0;
    case LB_SETSEL: {
        // lParam -1 means every item.
        const bool select = wParam != 0;
        if (lParam == -1) {
            for (ListEntry& e : w.items) {
                e.selected = select;
            }
        } else if (lParam >= 0 && static_cast<std::size_t>(lParam) < w.items.size()) {
            w.items[static_cast<std::size_t>(lParam)].selected = select;
        } else {
            return LB_ERR;
        }
        tk.Touch(w);
        return 0;
    }
    case LB_GETSEL:
        return in_range(w, wParam) ? (w.items[wParam].selected ? 1 : 0) : LB_ERR;
    case LB_GETCOUNT:
        return static_cast<LRESULT>(w.items.size());
    case LB_GETTEXTLEN:
        return in_range(w, wParam) ? static_cast<LRESULT>(w.items[wParam].text.size()) : LB_ERR;
    case LB_GETTEXT:
        return in_range(w, wParam) ? copy_text(w.items[wParam].text, lParam) : LB_ERR;
    default:
        return 0;
    }
}

// A list view's row text of column `sub` (0: the row itself).
std::wstring* row_text(Window& w, std::size_t row, int sub) {
    if (row >= w.items.size() || row >= w.subitems.size() || sub < 0) {
        return nullptr;
    }
    if (sub == 0) {
        return &w.items[row].text;
    }
    std::vector<std::wstring>& rest = w.subitems[row];
    if (rest.size() < static_cast<std::size_t>(sub)) {
        rest.resize(static_cast<std::size_t>(sub));
    }
    return &rest[static_cast<std::size_t>(sub - 1)];
}

LRESULT list_view_message(Toolkit& tk, Window& w, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case LVM_INSERTCOLUMNW: {
        const auto* col = reinterpret_cast<const LVCOLUMNW*>(lParam);
        if (col == nullptr) {
            return -1;
        }
        const std::size_t at = std::min(static_cast<std::size_t>(wParam), w.columns.size());
        w.columns.insert(w.columns.begin() + static_cast<std::ptrdiff_t>(at),
                         col->pszText != nullptr ? col->pszText : L"");
        tk.Touch(w);
        return static_cast<LRESULT>(at);
    }
    case LVM_INSERTITEMW: {
        const auto* item = reinterpret_cast<const LVITEMW*>(lParam);
        if (item == nullptr) {
            return -1;
        }
        const std::size_t at =
            std::min(static_cast<std::size_t>(std::max(item->iItem, 0)), w.items.size());
        w.items.insert(w.items.begin() + static_cast<std::ptrdiff_t>(at),
                       ListEntry{item->pszText != nullptr ? item->pszText : L"", item->lParam});
        w.subitems.insert(w.subitems.begin() + static_cast<std::ptrdiff_t>(at),
                          std::vector<std::wstring>());
        tk.Touch(w);
        return static_cast<LRESULT>(at);
    }
    case LVM_SETITEMTEXTW: {
        const auto* item = reinterpret_cast<const LVITEMW*>(lParam);
        std::wstring* text = item != nullptr ? row_text(w, wParam, item->iSubItem) : nullptr;
        if (text == nullptr) {
            return 0;
        }
        *text = item->pszText != nullptr ? item->pszText : L"";
        tk.Touch(w);
        return 1;
    }
    case LVM_GETITEMTEXTW: {
        auto* item = reinterpret_cast<LVITEMW*>(lParam);
        const std::wstring* text = item != nullptr ? row_text(w, wParam, item->iSubItem) : nullptr;
        return text != nullptr ? CopyBounded(*text, item->pszText, item->cchTextMax) : 0;
    }
    case LVM_DELETEITEM:
        if (!in_range(w, wParam)) {
            return 0;
        }
        w.items.erase(w.items.begin() + static_cast<std::ptrdiff_t>(wParam));
        w.subitems.erase(w.subitems.begin() + static_cast<std::ptrdiff_t>(wParam));
        tk.Touch(w);
        return 1;
    case LVM_DELETEALLITEMS:
        w.items.clear();
        w.subitems.clear();
        tk.Touch(w);
        return 1;
    case LVM_GETITEMCOUNT:
        return static_cast<LRESULT>(w.items.size());
    case LVM_GETNEXTITEM: {
        // From after `start` (-1: from the first row).
        const auto start = static_cast<LRESULT>(static_cast<std::intptr_t>(wParam));
        for (std::size_t i = static_cast<std::size_t>(std::max<LRESULT>(start + 1, 0));
             i < w.items.size(); ++i) {
            if ((lParam & LVNI_SELECTED) == 0 || w.items[i].selected) {
                return static_cast<LRESULT>(i);
            }
        }
        return -1;
    }
    case LVM_SETITEMSTATE: {
        const auto* item = reinterpret_cast<const LVITEMW*>(lParam);
        if (item == nullptr || (item->stateMask & LVIS_SELECTED) == 0) {
            return item != nullptr ? 1 : 0;
        }
        const bool select = (item->state & LVIS_SELECTED) != 0;
        const auto row = static_cast<std::intptr_t>(wParam);
        if (row == -1) {
            for (ListEntry& e : w.items) {
                e.selected = select;
            }
        } else if (in_range(w, wParam)) {
            w.items[wParam].selected = select;
        } else {
            return 0;
        }
        tk.Touch(w);
        return 1;
    }
    case LVM_GETITEMSTATE:
        return in_range(w, wParam) && w.items[wParam].selected ? (lParam & LVIS_SELECTED) : 0;
    case LVM_SETEXTENDEDLISTVIEWSTYLE: {
        const DWORD previous = w.ex_style;
        const auto mask = static_cast<DWORD>(wParam != 0 ? wParam : ~0u);
        w.ex_style = (w.ex_style & ~mask) | (static_cast<DWORD>(lParam) & mask);
        return previous;
    }
    default:
        return 0;
    }
}

} // namespace

LRESULT Toolkit::ControlMessage(Window& w, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SETFONT) {
        w.font = reinterpret_cast<HFONT>(wParam);
        return 0;
    }
    switch (w.kind) {
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
    case ControlKind::CustButton:
        if (msg == BM_SETCHECK) {
            const bool checked = wParam == BST_CHECKED;
            if (w.checked != checked) {
                w.checked = checked;
                Touch(w);
            }
            return 0;
        }
        if (msg == BM_GETCHECK) {
            return w.checked ? BST_CHECKED : BST_UNCHECKED;
        }
        return 0;
    case ControlKind::DropDownList:
        return combo_message(*this, w, msg, wParam, lParam);
    case ControlKind::ListBox:
        return list_message(*this, w, msg, wParam, lParam);
    case ControlKind::ListView:
        return list_view_message(*this, w, msg, wParam, lParam);
    default:
        return 0;
    }
}

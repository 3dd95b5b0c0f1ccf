#include "ui/selection_sets.h"

#include "host/interface.h"
#include "host/text.h"
#include "modifier/unwrap_groups.h"
#include "plugin/module.h"
#include "plugin/resources.h"
#include "ui/controls.h"
#include "ui/vellumar_utility.h"

#include <algorithm>
#include <map>
#include <set>

namespace {

constexpr int IDC_SET_LIST = 1074;
constexpr int IDC_SETS_ALL = 1075;
constexpr int IDC_SETS_NONE = 1076;
constexpr int IDC_SETS_INVERT = 1077;
// At most this many names are taken from one use of the dialog.
constexpr std::size_t kMaxPickedSets = 250;

std::wstring item_text(HWND list, int i) {
    // Sized by the item's own length: a long set name is read whole.
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    if (length < 0) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

void open(HWND dialog, VellumarUtility& u) {
    UseAppFont(dialog);
    const HWND list = GetDlgItem(dialog, IDC_SET_LIST);
    INamedSelectionSetManager& sets = GetCOREInterface()->GetNamedSelectionSetManager();
    const std::vector<std::wstring>& picked = u.unwrapper().chosen_sets;
    for (int i = 0; i < sets.GetNumNamedSelSets(); ++i) {
        const MCHAR* name = sets.GetNamedSelSetName(i);
        if (name == nullptr) {
            continue;
        }
        const LRESULT at = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        if (std::find(picked.begin(), picked.end(), name) != picked.end()) {
            SendMessageW(list, LB_SETSEL, 1, at);
        }
    }
    POINT cursor;
    GetCursorPos(&cursor);
    SetWindowPos(dialog, nullptr, std::max(0, static_cast<int>(cursor.x) - 300),
                 std::max(0, static_cast<int>(cursor.y) - 300), 0, 0, SWP_NOSIZE);
}

void take_selection(HWND dialog, VellumarUtility& u) {
    const HWND list = GetDlgItem(dialog, IDC_SET_LIST);
    std::vector<std::wstring>& picked = u.unwrapper().chosen_sets;
    picked.clear();
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count && picked.size() < kMaxPickedSets; ++i) {
        if (SendMessageW(list, LB_GETSEL, static_cast<WPARAM>(i), 0) > 0) {
            picked.push_back(item_text(list, i));
        }
    }
    u.UpdateCommandStates();
}

INT_PTR dialog_proc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, GWLP_USERDATA, lParam);
        open(dialog, *reinterpret_cast<VellumarUtility*>(lParam));
        return 1;
    }
    auto* u = reinterpret_cast<VellumarUtility*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
    if (u == nullptr) {
        return 0;
    }
    if (msg == WM_CLOSE) {
        EndDialog(dialog, IDCANCEL);
        return 1;
    }
    if (msg != WM_COMMAND) {
        return 0;
    }
    const HWND list = GetDlgItem(dialog, IDC_SET_LIST);
    switch (LOWORD(wParam)) {
    case IDC_SETS_ALL:
        SendMessageW(list, LB_SETSEL, 1, -1);
        return 1;
    case IDC_SETS_NONE:
        SendMessageW(list, LB_SETSEL, 0, -1);
        return 1;
    case IDC_SETS_INVERT: {
        const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            const bool selected = SendMessageW(list, LB_GETSEL, static_cast<WPARAM>(i), 0) > 0;
            SendMessageW(list, LB_SETSEL, selected ? 0 : 1, i);
        }
        return 1;
    }
    case IDOK:
        take_selection(dialog, *u);
        EndDialog(dialog, IDOK);
        return 1;
    case IDCANCEL:
        EndDialog(dialog, IDCANCEL);
        return 1;
    default:
        return 0;
    }
}

} // namespace

INT_PTR PickSelectionSets(VellumarUtility& u) {
    return DialogBoxParamW(ModuleHandle(), IDD_PICK_SELECTION_SETS,
                           GetCOREInterface()->GetMAXHWnd(), dialog_proc,
                           reinterpret_cast<LPARAM>(&u));
}

int CreateSelectionSets(bool single) {
    // Set name -> its nodes, in the order the groups come by key.
    std::vector<std::pair<std::wstring, std::vector<INode*>>> sets;
    auto add = [&](const std::wstring& name, INode* node) {
        auto it =
            std::find_if(sets.begin(), sets.end(), [&](const auto& s) { return s.first == name; });
        if (it == sets.end()) {
            sets.emplace_back(name, std::vector<INode*>{});
            it = sets.end() - 1;
        }
        if (std::find(it->second.begin(), it->second.end(), node) == it->second.end()) {
            it->second.push_back(node);
        }
    };
    const std::map<std::uint64_t, std::string> groups = CollectUnwrapGroups();
    std::set<std::string> done;
    for (const auto& [key, name] : groups) {
        if (!done.insert(name).second) {
            continue; // the first group (by key) of each name stands for it
        }
        for (const ScannedNode& s : ScanNodes(key)) {
            std::string set = "vl_" + name;
            if (!single && NodeMapCount(s.node, key) >= 2) {
                set += "_" + std::to_string(std::int64_t{NodeMapIndex(s.node, key)} + 1);
            }
            add(Utf8ToWide(set), s.node);
        }
    }
    INamedSelectionSetManager& manager = GetCOREInterface()->GetNamedSelectionSetManager();
    for (const auto& [name, nodes] : sets) {
        if (manager.ReplaceNamedSelSet(nodes, name.c_str()) == 0) {
            manager.AddNewNamedSelSet(nodes, name.c_str());
        }
    }
    return static_cast<int>(sets.size());
}

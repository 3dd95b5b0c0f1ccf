#include "ui/bake_elements_dialog.h"

#include "host/custcont.h"
#include "host/interface.h"
#include "host/text.h"
#include "plugin/control_ids.h"
#include "plugin/module.h"
#include "plugin/resources.h"
#include "settings/settings.h"
#include "ui/controls.h"
#include "ui/param_editors.h"
#include "ui/size_controls.h"
#include "ui/vellumar_utility.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// The dialog is modal: one runs at a time.
struct ElementsDialog {
    VellumarUtility* u = nullptr;
    int edited = -1;
    // Set while the controls are filled from an element, so that their
    // notifications do not write back.
    bool loading = false;
    ParamEditors editors;
};
ElementsDialog state;

std::vector<BakeElementEntry>& elements() {
    return settings().elements;
}

BakeElementEntry* edited_entry() {
    if (state.edited < 0 || state.edited >= static_cast<int>(elements().size())) {
        return nullptr;
    }
    return &elements()[static_cast<std::size_t>(state.edited)];
}

// The last component of a host path, whichever separator it uses.
std::wstring file_part(const std::wstring& path) {
    const auto cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

std::array<std::wstring, kElementColumns> row_texts(const BakeElementEntry& e) {
    return {e.elementClass != nullptr ? std::wstring(e.elementClass->ClassName()) : L"?",
            file_part(e.file.Name()), std::to_wstring(e.width) + L" x " + std::to_wstring(e.height),
            Utf8ToWide(e.slot)};
}

void set_row(HWND list, int row, const BakeElementEntry& e, bool insert) {
    auto texts = row_texts(e);
    for (int column = 0; column < kElementColumns; ++column) {
        LVITEMW item;
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.iSubItem = column;
        item.pszText = texts[static_cast<std::size_t>(column)].data();
        SendMessageW(list, column == 0 && insert ? LVM_INSERTITEMW : LVM_SETITEMTEXTW,
                     static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    }
}

void add_columns(HWND list, std::initializer_list<const wchar_t*> names) {
    int index = 0;
    for (const wchar_t* name : names) {
        std::wstring text = name;
        LVCOLUMNW column;
        column.mask = LVIF_TEXT;
        column.cx = index == 0 ? 140 : 88;
        column.pszText = text.data();
        SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index++),
                     reinterpret_cast<LPARAM>(&column));
    }
}

constexpr int kElementFields[] = {
    IDC_ELEMENT_FILE,       IDC_ELEMENT_FILE_BROWSE, IDC_ELEMENT_SLOT,
    IDC_ELEMENT_BACKGROUND, IDC_ELEMENT_WIDTH_SPIN,  IDC_ELEMENT_HEIGHT_SPIN,
    IDC_ELEMENT_RATIO_SPIN, IDC_ELEMENT_LOCK,        IDC_ELEMENT_REMOVE};

void enable_fields(HWND dialog, bool on) {
    for (int id : kElementFields) {
        EnableControl(dialog, id, on);
    }
    if (on) {
        // The ratio is free only while the lock is open.
        LockChanged(dialog, kElementSizes);
    }
}

// A click on a row: that element is edited from now on.
void load_element(HWND dialog, int row) {
    if (row < 0 || row >= static_cast<int>(elements().size())) {
        return;
    }
    state.edited = row;
    const BakeElementEntry& e = elements()[static_cast<std::size_t>(row)];
    state.loading = true;
    SetDlgItemTextW(dialog, IDC_ELEMENT_FILE, e.file.Name());
    const HWND slots = GetDlgItem(dialog, IDC_ELEMENT_SLOT);
    const LRESULT count = SendMessageW(slots, CB_GETCOUNT, 0, 0);
    WPARAM chosen = 0;
    for (LRESULT i = 0; i < count; ++i) {
        if (WideToUtf8(ComboText(slots, i)) == e.slot) {
            chosen = static_cast<WPARAM>(i);
            break;
        }
    }
    SendMessageW(slots, CB_SETCURSEL, chosen, 0);
    ShowColour(dialog, IDC_ELEMENT_BACKGROUND, e.background);
    // The lock keeps the proportion of the element shown.
    ShowSizeSettings(dialog, e.width, e.height, SizeRatio(e.width, e.height),
                     IsButtonChecked(dialog, IDC_ELEMENT_LOCK), kElementSizes);
    state.editors.Create(dialog, e);
    enable_fields(dialog, true);
    state.loading = false;
}

// The controls and the parameter editors, read into the edited element.
void read_back(HWND dialog, bool updateRow) {
    BakeElementEntry* e = edited_entry();
    if (e == nullptr || state.loading) {
        return;
    }
    e->file.SetName(ControlText(dialog, IDC_ELEMENT_FILE, 1024).c_str());
    const LRESULT slot = SendDlgItemMessageW(dialog, IDC_ELEMENT_SLOT, CB_GETCURSEL, 0, 0);
    if (slot != CB_ERR) {
        const std::wstring text = ComboText(GetDlgItem(dialog, IDC_ELEMENT_SLOT), slot);
        e->slot = text.empty() ? "NONE" : WideToUtf8(text);
    }
    ReadColour(dialog, IDC_ELEMENT_BACKGROUND, e->background);
    ReadSpinner(dialog, IDC_ELEMENT_WIDTH_SPIN, e->width);
    ReadSpinner(dialog, IDC_ELEMENT_HEIGHT_SPIN, e->height);
    state.editors.Read(dialog, *e);
    if (updateRow) {
        set_row(GetDlgItem(dialog, IDC_ELEMENT_LIST), state.edited, *e, false);
    }
}

void choose_file(HWND dialog) {
    BakeElementEntry* e = edited_entry();
    if (e == nullptr) {
        return;
    }
    BitmapInfo bi = e->file;
    const std::wstring outpath = Utf8ToWide(settings().outpath);
    bi.SetName((outpath + L"\\" + file_part(e->file.Name())).c_str());
    if (GetCOREInterface()->GetBitmapManager().SelectFileOutput(
            &bi, dialog, L"Select File Name and Type") == 0) {
        return;
    }
    // The selector waited for the user: take the element afresh.
    e = edited_entry();
    if (e == nullptr) {
        return;
    }
    e->file.SetName(bi.Name());
    e->file.SetType(bi.Type());
    state.loading = true;
    SetDlgItemTextW(dialog, IDC_ELEMENT_FILE, e->file.Name());
    state.loading = false;
    set_row(GetDlgItem(dialog, IDC_ELEMENT_LIST), state.edited, *e, false);
}

void remove_element(HWND dialog) {
    if (edited_entry() == nullptr) {
        return;
    }
    state.editors.Destroy();
    enable_fields(dialog, false);
    elements().erase(elements().begin() + state.edited);
    SendDlgItemMessageW(dialog, IDC_ELEMENT_LIST, LVM_DELETEITEM, static_cast<WPARAM>(state.edited),
                        0);
    state.edited = -1;
}

void open_dialog(HWND dialog) {
    state.edited = -1;
    state.loading = true;
    UseAppFont(dialog);
    const HWND list = GetDlgItem(dialog, IDC_ELEMENT_LIST);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    add_columns(list, {L"Element", L"File name", L"Size", L"Map slot"});
    for (std::size_t i = 0; i < elements().size(); ++i) {
        set_row(list, static_cast<int>(i), elements()[i], true);
    }
    const UnwrapSettings& s = settings();
    SetupSizeControls(dialog, kElementSizes);
    ShowSizeSettings(dialog, s.width, s.height, s.ratio, s.aspectlock, kElementSizes);
    const HWND slots = GetDlgItem(dialog, IDC_ELEMENT_SLOT);
    SendMessageW(slots, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"NONE"));
    for (const std::string& name : state.u->slot_names()) {
        const std::wstring text = Utf8ToWide(name);
        SendMessageW(slots, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    enable_fields(dialog, false);
    state.loading = false;
}

INT_PTR add_proc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);

INT_PTR elements_proc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INITDIALOG:
        state = ElementsDialog{};
        state.u = reinterpret_cast<VellumarUtility*>(lParam);
        open_dialog(dialog);
        return 1;
    case WM_CLOSE:
        EndDialog(dialog, IDCANCEL);
        return 1;
    case WM_DESTROY:
        state.editors.Destroy();
        state.edited = -1;
        return 0;
    case WM_NOTIFY: {
        const auto* nm = reinterpret_cast<const NMLISTVIEW*>(lParam);
        if (nm != nullptr && nm->hdr.idFrom == IDC_ELEMENT_LIST && nm->hdr.code == NM_CLICK) {
            load_element(dialog, nm->iItem);
        }
        return 0;
    }
    case CC_SPINNER_CHANGE: {
        const int id = LOWORD(wParam);
        if (!state.loading && edited_entry() != nullptr) {
            state.loading = true; // the partner size follows without writing back twice
            CoupleSizes(dialog, id, kElementSizes);
            state.loading = false;
            read_back(dialog, true);
        }
        return 1;
    }
    case CC_COLOR_CHANGE:
        read_back(dialog, false);
        return 1;
    case WM_COMMAND:
        break;
    default:
        return 0;
    }
    const int id = LOWORD(wParam);
    const WORD code = HIWORD(wParam);
    switch (id) {
    case IDC_ELEMENT_FILE:
        if (code == EN_CHANGE) {
            read_back(dialog, true);
        }
        return 1;
    case IDC_ELEMENT_SLOT:
        if (code == CBN_SELCHANGE) {
            read_back(dialog, true);
        }
        return 1;
    case IDC_ELEMENT_FILE_BROWSE:
        choose_file(dialog);
        return 1;
    case IDC_ELEMENT_LOCK:
        LockChanged(dialog, kElementSizes);
        return 1;
    case IDC_ELEMENT_ADD:
        DialogBoxParamW(ModuleHandle(), IDD_ADD_ELEMENTS, dialog, add_proc,
                        reinterpret_cast<LPARAM>(dialog));
        return 1;
    case IDC_ELEMENT_REMOVE:
        remove_element(dialog);
        return 1;
    case IDC_ELEMENTS_CLOSE:
    case IDCANCEL:
        EndDialog(dialog, IDOK);
        return 1;
    default:
        if (ParamEditors::IsEditor(id)) {
            read_back(dialog, false); // a check box editor
        }
        return 0;
    }
}

// The Add dialog: its parameter is the Choose Bake Elements dialog.
INT_PTR add_proc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, GWLP_USERDATA, lParam);
        UseAppFont(dialog);
        const HWND list = GetDlgItem(dialog, IDC_CLASS_LIST);
        SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT,
                     LVS_EX_FULLROWSELECT);
        add_columns(list, {L"Element"});
        const std::vector<ClassDesc*>& classes = AvailableElementClasses();
        for (std::size_t i = 0; i < classes.size(); ++i) {
            std::wstring name = classes[i]->ClassName();
            LVITEMW item;
            item.mask = LVIF_TEXT;
            item.iItem = static_cast<int>(i);
            item.pszText = name.data();
            SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        }
        return 1;
    }
    if (msg == WM_CLOSE) {
        EndDialog(dialog, IDCANCEL);
        return 1;
    }
    if (msg != WM_COMMAND) {
        return 0;
    }
    const auto owner = reinterpret_cast<HWND>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
    switch (LOWORD(wParam)) {
    case IDC_CLASS_ADD: {
        const HWND list = GetDlgItem(dialog, IDC_CLASS_LIST);
        const std::vector<ClassDesc*>& classes = AvailableElementClasses();
        const HWND rows = GetDlgItem(owner, IDC_ELEMENT_LIST);
        for (LRESULT row =
                 SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
             row >= 0 && row < static_cast<LRESULT>(classes.size());
             row = SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED)) {
            elements().push_back(CreateEntry(classes[static_cast<std::size_t>(row)]));
            set_row(rows, static_cast<int>(elements().size()) - 1, elements().back(), true);
        }
        EndDialog(dialog, IDOK);
        return 1;
    }
    case IDC_CLASS_CANCEL:
    case IDCANCEL:
        EndDialog(dialog, IDCANCEL);
        return 1;
    default:
        return 0;
    }
}

} // namespace

INT_PTR ChooseBakeElements(VellumarUtility& u) {
    return DialogBoxParamW(ModuleHandle(), IDD_CHOOSE_BAKE_ELEMENTS,
                           GetCOREInterface()->GetMAXHWnd(), elements_proc,
                           reinterpret_cast<LPARAM>(&u));
}

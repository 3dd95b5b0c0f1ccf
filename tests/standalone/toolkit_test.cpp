// The headless toolkit on its own: controls built from a template, the
// window system's answers to messages, user actions and modal dialogs.
#include "host/custcont.h"
#include "host/text.h"
#include "standalone/core.h"

#include <gtest/gtest.h>

namespace {

using K = ControlKind;

ModuleResources test_module() {
    ModuleResources m;
    DialogTemplate d{1, L"Test", 200, 200, {}};
    d.controls = {
        {10, K::RadioButton, L"A", 0, 0, 50, 16, WS_GROUP},
        {11, K::RadioButton, L"B", 0, 20, 50, 16},
        {12, K::RadioButton, L"C", 0, 40, 50, 16},
        {13, K::RadioButton, L"D", 0, 60, 50, 16, WS_GROUP},
        {20, K::DropDownList, L"", 0, 80, 50, 100},
        {21, K::ListBox, L"", 0, 100, 50, 50, LBS_SORT | LBS_EXTENDEDSEL},
        {30, K::Edit, L"", 0, 160, 50, 16, ES_NUMBER},
        {31, K::CustEdit, L"", 60, 160, 40, 16},
        {32, K::Spinner, L"", 100, 160, 10, 16},
        {40, K::PushButton, L"OK", 0, 180, 50, 16},
        {41, K::Picture, L"", 60, 180, 20, 16},
        {50, K::ListView, L"", 0, 200, 100, 60},
    };
    m.dialogs.push_back(d);
    return m;
}

// Records what the dialog procedure heard.
std::vector<std::pair<UINT, int>>* heard = nullptr;

INT_PTR record(HWND dialog, UINT msg, WPARAM w, LPARAM l) {
    if (heard != nullptr && (msg == WM_COMMAND || msg == CC_SPINNER_CHANGE ||
                             msg == CC_SPINNER_BUTTONUP || msg == WM_CLOSE)) {
        heard->push_back({msg, LOWORD(w)});
    }
    if (heard != nullptr && msg == WM_NOTIFY) {
        const auto* nm = reinterpret_cast<const NMLISTVIEW*>(l);
        heard->push_back({static_cast<UINT>(nm->hdr.code), nm->iItem});
    }
    if (msg == WM_COMMAND && LOWORD(w) == 40) {
        EndDialog(dialog, 7);
    }
    return 1;
}

class ToolkitTest : public ::testing::Test {
  protected:
    ToolkitTest() {
        heard = &messages;
        dialog = tk().AddRollup(&module, 1, record, L"Test", 0, ROLLUP_CAT_STANDARD);
    }
    ~ToolkitTest() override { heard = nullptr; }
    Toolkit& tk() { return core.ui(); }
    Window& w(int id) { return *tk().Find(GetDlgItem(dialog, id)); }

    StandaloneCore core;
    ModuleResources module = test_module();
    std::vector<std::pair<UINT, int>> messages;
    HWND dialog = nullptr;
};

TEST_F(ToolkitTest, RadioButtonsCheckOneOfTheirGroup) {
    tk().Perform("click 13");
    tk().Perform("click 11");
    tk().Perform("click 12");
    EXPECT_FALSE(w(10).checked);
    EXPECT_FALSE(w(11).checked);
    EXPECT_TRUE(w(12).checked);
    EXPECT_TRUE(w(13).checked); // a group of its own
    EXPECT_EQ(messages.back(), (std::pair<UINT, int>{WM_COMMAND, 12}));
}

TEST_F(ToolkitTest, ListsAnswerAsTheWindowSystemDoes) {
    const HWND combo = GetDlgItem(dialog, 20);
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"one"));
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"two"));
    EXPECT_EQ(SendMessageW(combo, CB_SETITEMDATA, 1, 42), 0);
    EXPECT_EQ(SendMessageW(combo, CB_GETITEMDATA, 1, 0), 42);
    EXPECT_EQ(SendMessageW(combo, CB_GETITEMDATA, 2, 0), CB_ERR);
    EXPECT_EQ(SendMessageW(combo, CB_SETCURSEL, 1, 0), 1);
    EXPECT_EQ(SendMessageW(combo, CB_SETCURSEL, 5, 0), CB_ERR);
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);

    const HWND list = GetDlgItem(dialog, 21);
    for (const wchar_t* name : {L"pear", L"apple", L"fig"}) {
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    wchar_t text[16];
    SendMessageW(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(std::wstring(text), L"apple");
    SendMessageW(list, LB_SETSEL, 1, -1);
    EXPECT_EQ(SendMessageW(list, LB_GETSEL, 2, 0), 1);
    EXPECT_EQ(tk().Perform("select 21 0,2").kind, ActionResult::Done);
    EXPECT_EQ(SendMessageW(list, LB_GETSEL, 1, 0), 0);
    EXPECT_EQ(tk().Perform("select 21 3").kind, ActionResult::Failed);
    EXPECT_EQ(tk().Perform("select 20 0,1").kind, ActionResult::Failed);
}

TEST_F(ToolkitTest, GoneWindowsAndShortBuffersAreSafe) {
    wchar_t text[4];
    SetWindowTextW(GetDlgItem(dialog, 31), L"abcdef");
    EXPECT_EQ(GetWindowTextW(GetDlgItem(dialog, 31), text, 4), 3);
    EXPECT_EQ(std::wstring(text), L"abc");
    EXPECT_EQ(GetDlgItem(dialog, 99), nullptr);
    const HWND button = GetDlgItem(dialog, 40);
    tk().DeleteRollup(dialog);
    EXPECT_EQ(IsWindow(button), 0);
    EXPECT_EQ(SendMessageW(button, BM_GETCHECK, 0, 0), 0);
    EXPECT_EQ(EnableWindow(button, 0), 0);
    EXPECT_EQ(GetWindowTextW(button, text, 4), 0);
    EXPECT_EQ(tk().Click(button).kind, ActionResult::Failed);
    EXPECT_EQ(GetISpinner(button), nullptr);
}

TEST_F(ToolkitTest, TypedTextReachesTheSpinnerOrIsRefused) {
    ISpinnerControl* s = SetupIntSpinner(dialog, 32, 31, 0, 10, 3);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(tk().Perform("type 31 7.6").kind, ActionResult::Done);
    EXPECT_EQ(s->GetIVal(), 8);
    EXPECT_EQ(w(31).text, L"8");
    EXPECT_EQ(messages.back(), (std::pair<UINT, int>{WM_COMMAND, 31})); // losing the focus
    EXPECT_EQ(tk().Perform("type 31 lots").kind, ActionResult::Ignored);
    EXPECT_EQ(w(31).text, L"8");
    EXPECT_EQ(tk().Perform("set 31 -4").kind, ActionResult::Done); // the edit stands for it
    EXPECT_EQ(s->GetIVal(), 0);
    EXPECT_EQ(messages.back(), (std::pair<UINT, int>{CC_SPINNER_BUTTONUP, 32}));
    s->Disable();
    EXPECT_FALSE(w(31).enabled);
    EXPECT_EQ(tk().Perform("type 31 5").kind, ActionResult::Ignored);
    ReleaseISpinner(s);
    EXPECT_EQ(tk().Perform("type 30 12x").kind, ActionResult::Ignored);
    EXPECT_EQ(tk().Perform("type 30 12").kind, ActionResult::Done);
    EXPECT_EQ(tk().Perform("click 41").kind, ActionResult::Ignored); // no SS_NOTIFY
}

TEST_F(ToolkitTest, ChangesRaiseVersionsForAFrontEnd) {
    std::vector<int> changed;
    tk().SetChangeListener([&](const Window& win) { changed.push_back(win.id); });
    const std::uint64_t before = w(40).version;
    SetWindowTextW(GetDlgItem(dialog, 40), L"OK"); // the same text: no change
    EXPECT_EQ(w(40).version, before);
    EnableWindow(GetDlgItem(dialog, 40), 0);
    EXPECT_GT(w(40).version, before);
    EXPECT_EQ(tk().Perform("click 40").kind, ActionResult::Ignored);
    EXPECT_EQ(changed, std::vector<int>{40});
    tk().SetChangeListener(nullptr);
}

TEST_F(ToolkitTest, ModalDialogsRunUntilEndedAndBlockTheRest) {
    // Nobody answers: the dialog is closed as Cancel.
    EXPECT_EQ(DialogBoxParamW(&module, 1, nullptr, record, 0), IDCANCEL);
    EXPECT_EQ(messages.back(), (std::pair<UINT, int>{WM_COMMAND, IDCANCEL}));
    EXPECT_EQ(DialogBoxParamW(&module, 99, nullptr, record, 0), -1);

    std::vector<ActionResult> results;
    int step = 0;
    tk().SetModalPump([&] {
        // The rollout behind the dialog takes no action; the dialog does.
        results.push_back(tk().Click(GetDlgItem(dialog, 40)));
        results.push_back(tk().Perform(step++ == 0 ? "click 10" : "click 40"));
        return true;
    });
    EXPECT_EQ(DialogBoxParamW(&module, 1, nullptr, record, 0), 7);
    tk().SetModalPump(nullptr);
    ASSERT_EQ(results.size(), 4u);
    EXPECT_EQ(results[0].kind, ActionResult::Ignored);
    EXPECT_EQ(results[1].kind, ActionResult::Done);
    EXPECT_EQ(results[3].kind, ActionResult::Done);
    EXPECT_EQ(tk().TopModal(), nullptr);
    EXPECT_FALSE(w(10).checked); // the dialog's own button was clicked
}

TEST_F(ToolkitTest, ListViewRowsColumnsAndClicks) {
    const HWND list = GetDlgItem(dialog, 50);
    wchar_t element[] = L"Element";
    LVCOLUMNW col;
    col.pszText = element;
    EXPECT_EQ(SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&col)), 0);
    for (const wchar_t* name : {L"Diffuse", L"Normals", L"Occlusion"}) {
        LVITEMW item;
        item.iItem = 99; // past the end: appended
        item.pszText = const_cast<wchar_t*>(name);
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    wchar_t size[] = L"512x512";
    LVITEMW sub;
    sub.iSubItem = 2;
    sub.pszText = size;
    EXPECT_EQ(SendMessageW(list, LVM_SETITEMTEXTW, 1, reinterpret_cast<LPARAM>(&sub)), 1);
    EXPECT_EQ(SendMessageW(list, LVM_SETITEMTEXTW, 3, reinterpret_cast<LPARAM>(&sub)), 0);
    wchar_t text[5];
    LVITEMW get;
    get.iSubItem = 2;
    get.pszText = text;
    get.cchTextMax = 5;
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMTEXTW, 1, reinterpret_cast<LPARAM>(&get)), 4);
    EXPECT_EQ(std::wstring(text), L"512x");

    messages.clear();
    EXPECT_EQ(tk().Perform("select 50 0,2").kind, ActionResult::Done);
    EXPECT_EQ(messages, (std::vector<std::pair<UINT, int>>{{static_cast<UINT>(LVN_ITEMCHANGED), 0},
                                                           {static_cast<UINT>(LVN_ITEMCHANGED), 2},
                                                           {static_cast<UINT>(NM_CLICK), 2}}));
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 0);
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, 0, LVNI_SELECTED), 2);
    EXPECT_EQ(SendMessageW(list, LVM_DELETEITEM, 0, 0), 1);
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 1);
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 2);
    EXPECT_EQ(tk().Perform("select 50 2").kind, ActionResult::Failed);
}

TEST_F(ToolkitTest, HandlesOfGoneWindowsNameNoLaterOne) {
    const HWND old_dialog = dialog;
    const HWND old_button = GetDlgItem(dialog, 40);
    tk().DeleteRollup(dialog);
    for (int i = 0; i < 20; ++i) {
        dialog = tk().AddRollup(&module, 1, record, L"Again", 0, ROLLUP_CAT_STANDARD);
        EXPECT_NE(dialog, old_dialog);
        EXPECT_EQ(IsWindow(old_button), 0);
        tk().DeleteRollup(dialog);
    }
}

TEST_F(ToolkitTest, APickModeHearsEveryClickUntilItEnds) {
    struct Picker : PickModeCallback {
        std::vector<std::string> calls;
        BOOL HitTest(IObjParam*, HWND, ViewExp* v, IPoint2, int) override {
            calls.push_back("hit");
            return v->HitCount();
        }
        BOOL Pick(IObjParam*, ViewExp* v) override {
            calls.push_back("pick " + WideToUtf8(v->GetClosestHit()->GetName()));
            return 1;
        }
        void EnterMode(IObjParam*) override { calls.push_back("enter"); }
        void ExitMode(IObjParam*) override { calls.push_back("exit"); }
    } picker;
    core.scene().CreateNode(L"Cam", nullptr);
    core.SetPickMode(&picker);
    EXPECT_EQ(tk().Perform("pick").kind, ActionResult::Ignored);
    EXPECT_EQ(tk().Perform("rightclick").kind, ActionResult::Done); // ignored by this mode
    EXPECT_EQ(tk().Perform("pick Cam").kind, ActionResult::Done);
    EXPECT_EQ(picker.calls, (std::vector<std::string>{"enter", "hit", "hit", "pick Cam", "exit"}));
    EXPECT_EQ(tk().pick_mode(), nullptr);
}

} // namespace

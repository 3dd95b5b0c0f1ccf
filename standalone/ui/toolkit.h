// The host's user-interface toolkit, headless: windows and controls built
// from a module's dialog templates and addressed by id, the window
// messages between them and the plug-in's dialog procedures, the command
// panel's rollouts, modal dialogs, tooltips and pick modes. Every change of
// a control's state raises its version and reaches the listener, so that a
// front end can mirror the toolkit; a user's actions enter through the same
// message path the window system would take.
#pragma once

#include "host/interface.h"
#include "host/utilapi.h"
#include "standalone/ui/window.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct Rollout {
    HWND window = nullptr;
    std::wstring title;
    int category = ROLLUP_CAT_STANDARD;
    bool open = true; // unfolded
};

// What became of a user's action.
struct ActionResult {
    enum Kind {
        Done,
        Ignored, // the control is disabled or read-only: nothing happens, as on screen
        Failed,  // no such control, or the action does not fit it
    };
    Kind kind = Done;
    std::string message;

    static ActionResult done() { return {}; }
    static ActionResult ignored(std::string why) { return {Ignored, std::move(why)}; }
    static ActionResult failed(std::string why) { return {Failed, std::move(why)}; }
};

class Toolkit : public IUtil {
  public:
    explicit Toolkit(Interface& host);
    ~Toolkit() override;
    Toolkit(const Toolkit&) = delete;
    Toolkit& operator=(const Toolkit&) = delete;

    // The toolkit of the running host, which the window-system calls use.
    static Toolkit* Current();

    Interface& host() { return host_; }

    // --- windows
    // nullptr for a handle that names no live window.
    Window* Find(HWND handle) const;
    // A dialog and its controls from the module's template; nullptr when
    // the module has no such template.
    Window* CreateDialogWindow(HINSTANCE module, int templateId, Window* owner,
                               DialogHandler handler, bool modal);
    Window* CreatePopup(const std::wstring& className, DWORD style, Window* owner);
    // A control that a dialog makes at run time (CreateWindowExW with a
    // parent); nullptr for a class the toolkit does not know.
    Window* CreateChild(Window& parent, const std::wstring& className, int id,
                        const std::wstring& text, DWORD style, int x, int y, int width, int height);
    // Posted messages: any thread may post; the user-interface thread
    // delivers them in order with DispatchPosted, which returns how many
    // reached a window. Running modal dialogs deliver them too.
    void Post(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
    int DispatchPosted();
    // Sends WM_DESTROY to a dialog, then forgets it and everything inside.
    void Destroy(HWND handle);
    LRESULT Send(HWND handle, UINT msg, WPARAM wParam, LPARAM lParam);
    // Marks a window changed for the front end.
    void Touch(Window& w);
    // Every change raises this; a window's version is the sequence number
    // of its last change.
    std::uint64_t sequence() const { return sequence_; }
    void SetChangeListener(std::function<void(const Window&)> listener) {
        listener_ = std::move(listener);
    }

    // --- the command panel
    HWND AddRollup(HINSTANCE module, int templateId, DialogHandler handler,
                   const std::wstring& title, LPARAM param, int category);
    void DeleteRollup(HWND rollout);
    const std::vector<Rollout>& rollouts() const { return rollouts_; }
    void SetRolloutOpen(HWND rollout, bool open);
    // Opens the utility of that class in the command panel (closing the one
    // open before); false when the class is no utility.
    bool OpenUtility(ClassDesc* desc);
    void CloseUtility() override;
    UtilityObj* utility() const { return utility_; }
    // The host's selection changed: the open utility hears of it.
    void SelectionChanged() {
        if (utility_ != nullptr) {
            utility_->SelectionSetChanged(&host_, this);
        }
    }
    // Opens the panel of an object of the modifier stack (closing the one
    // open before); nullptr closes it.
    void EditObject(Animatable* obj);
    Animatable* edited_object() const { return edited_; }

    // Rollouts that a class descriptor opened for an object's panel.
    std::vector<HWND>& ParamMapRollouts(ClassDesc2* desc) { return param_maps_[desc]; }

    // --- modal dialogs
    // Runs the dialog until its procedure ends it. While it runs, the pump
    // is asked for the user's next action; a pump with nothing left (or
    // none at all) closes the dialog as the user would (WM_CLOSE, then
    // IDCANCEL), so that a dialog never waits forever.
    INT_PTR RunModal(HINSTANCE module, int templateId, HWND owner, DialogHandler handler,
                     LPARAM param);
    BOOL EndModal(HWND dialog, INT_PTR result);
    void SetModalPump(std::function<bool()> pump) { modal_pump_ = std::move(pump); }
    // The innermost modal dialog running, or nullptr.
    Window* TopModal() const { return modals_.empty() ? nullptr : modals_.back(); }
    // Every modal dialog running, the outermost first.
    const std::vector<Window*>& modals() const { return modals_; }

    // --- a user's actions, by control id: in the innermost modal dialog
    // when one runs, else in the rollouts from the top.
    HWND FindControl(int id) const;
    ActionResult Click(HWND control);
    // Check boxes, radio buttons and check buttons: clicks only when the
    // state differs.
    ActionResult SetChecked(HWND control, bool checked);
    // A spinner (or its edit): dragged to the value and released, clamped to
    // its range.
    ActionResult Spin(HWND control, double value);
    // Typed into an edit and confirmed with Enter; a spinner's edit passes
    // a number on to its spinner, and text that is no number leaves both as
    // they were.
    ActionResult Type(HWND control, const std::wstring& text);
    // A colour chosen in a swatch's colour picker.
    ActionResult SetColour(HWND control, COLORREF colour);
    // Drop-down lists: the item; list boxes: the selected items.
    ActionResult Select(HWND control, const std::vector<int>& items);
    // A click in a viewport while a pick mode runs, on the node or (nullptr)
    // on empty space; a right click.
    ActionResult PickInViewport(INode* node);
    ActionResult RightClickViewport();
    // The text form of a line of the panel script: "click ID" (or "open ID"), "check ID",
    // "uncheck ID", "set ID VALUE" (a swatch: "set ID #RRGGBB"), "type ID TEXT", "select ID
    // I[,J...]", "fold ID" / "unfold ID" (a rollout by its template id), "pick NODE"
    // ("pick" alone: empty space), "rightclick", "answer file PATH",
    // "answer folder PATH", "answer cancel" (for the next file or folder
    // selector), "close" (the innermost modal dialog's close box).
    ActionResult Perform(const std::string& line);

    // Every rollout and modal dialog with its controls and their state.
    std::string Dump() const;

    // --- the rest of the host's user interface
    HFONT app_font() const { return app_font_; }
    bool accelerators_enabled() const { return accelerators_; }
    void SetAccelerators(bool on) { accelerators_ = on; }
    POINT cursor() const { return cursor_; }
    void SetCursor(POINT p) { cursor_ = p; }
    void SetPickMode(PickModeCallback* pc);
    void ClearPickMode();
    PickModeCallback* pick_mode() const { return pick_mode_; }
    // Mouse messages handed to the rollup; counted, since a headless panel
    // has nothing to scroll.
    int rollup_mouse_messages() const { return rollup_mouse_; }
    void CountRollupMouse() { ++rollup_mouse_; }

    // The answers of the host's file and folder selectors, which take the
    // oldest one; when none is waiting they ask the modal pump for the
    // user's next action (an "answer" line), and without one they are
    // cancelled.
    struct SelectorAnswer {
        bool cancel = false;
        std::wstring path;
    };
    void QueueAnswer(SelectorAnswer a) { answers_.push_back(std::move(a)); }
    // The answer for a selector titled so (recorded for a front end); kind:
    // "open", "save", "folder" or "image" (the bitmap output selector).
    SelectorAnswer TakeAnswer(const std::wstring& title, const char* kind = "open");
    // The selector waiting for the user's answer, while it waits.
    struct PendingSelector {
        std::wstring title;
        std::string kind;
    };
    const std::optional<PendingSelector>& pending_selector() const { return pending_selector_; }
    const std::vector<std::wstring>& selector_titles() const { return selector_titles_; }

    // The host's own dialogs that scripts opened ("Render Setup"), oldest
    // first; the headless host only records them.
    const std::vector<std::wstring>& host_dialogs() const { return host_dialogs_; }
    void ShowHostDialog(std::wstring name) { host_dialogs_.push_back(std::move(name)); }

    // Documents and addresses the plug-in asked the desktop to open, oldest
    // first; the headless host only records them.
    const std::vector<std::wstring>& opened() const { return opened_; }
    void RecordOpened(std::wstring what) { opened_.push_back(std::move(what)); }

    // Image lists: per image, the bitmap it comes from and its left edge.
    struct ImageList {
        HIMAGELIST handle = nullptr;
        int cx = 0, cy = 0;
        struct Image {
            int bitmap = 0;
            int x = 0;
            int mask = 0;
        };
        std::vector<Image> images;
    };
    HIMAGELIST CreateImageList(int cx, int cy);
    ImageList* FindImageList(HIMAGELIST list);

  private:
    LRESULT ControlMessage(Window& w, UINT msg, WPARAM wParam, LPARAM lParam);
    void Command(Window& control, WORD code);
    void ShowSpinnerValue(Window& spinner);
    ActionResult CommitSpinnerEdit(Window& spinner, const std::wstring& text);
    ActionResult SelectRows(Window& list, const std::vector<int>& rows);
    bool Usable(const Window& w) const;
    void Forget(Window* w);

    Interface& host_;
    std::map<HWND, std::unique_ptr<Window>> windows_;
    std::vector<Rollout> rollouts_;
    std::vector<Window*> modals_;
    std::map<ClassDesc2*, std::vector<HWND>> param_maps_;
    std::vector<std::unique_ptr<ImageList>> image_lists_;
    std::vector<std::wstring> opened_;
    std::vector<std::wstring> host_dialogs_;
    std::deque<SelectorAnswer> answers_;
    std::vector<std::wstring> selector_titles_;
    std::optional<PendingSelector> pending_selector_;
    std::function<void(const Window&)> listener_;
    std::function<bool()> modal_pump_;
    struct Posted {
        HWND window = nullptr;
        UINT msg = 0;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
    };
    std::mutex posted_mutex_;
    std::deque<Posted> posted_;
    UtilityObj* utility_ = nullptr;
    Animatable* edited_ = nullptr;
    PickModeCallback* pick_mode_ = nullptr;
    std::uint64_t sequence_ = 0;
    HFONT app_font_;
    bool accelerators_ = true;
    POINT cursor_{};
    int rollup_mouse_ = 0;
    Toolkit* previous_ = nullptr;
};

// Copies at most max - 1 characters of the text and a terminating zero into
// the buffer, as the window system's text calls do; the count copied.
int CopyBounded(const std::wstring& text, wchar_t* buffer, int max);

// How a spinner shows its value: integers plainly, floats with at most
// three decimals and at least one ("0.167", "90.0").
std::wstring SpinnerText(const SpinnerState& s);

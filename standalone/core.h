// The standalone host core: one scene, the current selection and time, the
// class directory with the plug-in's registered classes, progress and
// message boxes. Creating a core makes it the process's host interface.
#pragma once

#include "host/interface.h"
#include "host/plugin_module.h"
#include "standalone/files/bitmaps.h"
#include "standalone/scene/progress.h"
#include "standalone/scene/scene.h"
#include "standalone/script/script_runner.h"
#include "standalone/ui/toolkit.h"

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct MessageRecord {
    std::wstring caption;
    std::wstring text;
};

class StandaloneCore : public Interface, public ClassDirectory, public BitmapManager {
  public:
    // draw_progress: draw the progress bar on stderr.
    explicit StandaloneCore(bool draw_progress = false);
    ~StandaloneCore() override;
    StandaloneCore(const StandaloneCore&) = delete;
    StandaloneCore& operator=(const StandaloneCore&) = delete;

    Scene& scene() { return *scene_; }
    void SetSelection(std::vector<INode*> nodes);
    void RegisterClass(ClassDesc* desc) { classes_.push_back(desc); }
    // Loads a plug-in module as the host does at start-up: attach, version,
    // initialisation, then its classes into the class directory. False (and
    // why) when the module refuses or was built for another host version.
    bool LoadPlugin(const PluginModule& module, std::string* why = nullptr);
    // The user-interface toolkit: rollouts, dialogs and controls.
    Toolkit& ui() { return *ui_; }
    // The renderer production renders use (not owned); nullptr restores the
    // host's default scanline renderer.
    void SetCurrentRenderer(Renderer* renderer) {
        renderer_ = renderer != nullptr ? renderer : default_renderer_.get();
    }
    // Where rendered images go (the image folder of GetDir).
    void SetImageDir(std::wstring dir) { image_dir_ = std::move(dir); }

    // Message boxes shown so far, oldest first.
    const std::vector<MessageRecord>& messages() const { return messages_; }
    void ClearMessages() { messages_.clear(); }
    // Safe from any thread: the network manager reports from its own.
    void AddMessage(MessageRecord m);
    // Called with every message as it is added (under the message lock).
    void SetMessageListener(std::function<void(const MessageRecord&)> listener) {
        // Messages arrive from other threads too (network jobs).
        std::lock_guard lock(messages_mutex_);
        listener_ = std::move(listener);
    }
    // What questions (OK / Cancel boxes) are answered with; there is nobody
    // to ask on this host.
    int QuestionAnswer() const { return question_answer_; }
    void SetQuestionAnswer(int answer) { question_answer_ = answer; }
    const ProgressBar& progress() const { return progress_; }
    int redraws() const { return redraws_; }

    // Interface.
    TimeValue GetTime() override { return time_; }
    void SetTime(TimeValue t, BOOL redraw = 1) override;
    int GetTicksPerFrame() override { return 160; }
    int GetSelNodeCount() override { return static_cast<int>(selection_.size()); }
    INode* GetSelNode(int i) override;
    void ClearNodeSelection(BOOL redraw = 1) override;
    void SelectNode(INode* node, int clearSel = 1) override;
    BOOL SelectionFrozen() override { return selection_frozen_ ? 1 : 0; }
    void FreezeSelection() override { selection_frozen_ = true; }
    void ThawSelection() override { selection_frozen_ = false; }
    INode* GetINodeByHandle(ULONG handle) override { return scene_->NodeByHandle(handle); }
    INode* GetINodeByName(const MCHAR* name) override;
    void DeleteNode(INode* node, BOOL redraw = 1, BOOL overrideSlaves = 0) override;
    ILayerManager* GetLayerManager() override { return scene_.get(); }
    void* CreateInstance(SClass_ID superID, Class_ID classID) override;
    ClassDirectory& GetClassDirectory() override { return *this; }
    HWND GetMAXHWnd() override { return this; }
    const MCHAR* GetDir(int which) override;
    BOOL SelectFileOutput(BitmapInfo* bi, HWND owner, const MCHAR* title) override;
    const MCHAR* GetCurFileName() override { return file_name_.c_str(); }
    // The scene was read from or saved to this path.
    void SetCurFilePath(const std::string& path);
    BOOL ProgressStart(const MCHAR* title, BOOL dispBar, LPTHREAD_START_ROUTINE fn,
                       LPVOID arg) override;
    void ProgressUpdate(int pct, BOOL showPct = 1, const MCHAR* title = nullptr) override;
    void ProgressEnd() override;
    BOOL GetCancel() override { return cancel_ ? 1 : 0; }
    void SetCancel(BOOL cancel) override { cancel_ = cancel != 0; }
    // Told of every start, change and end of the progress bar.
    void SetProgressListener(std::function<void(const ProgressBar&)> listener) {
        progress_listener_ = std::move(listener);
    }
    void RedrawViews(TimeValue) override { ++redraws_; }
    INamedSelectionSetManager& GetNamedSelectionSetManager() override { return *scene_; }
    IDerivedObject* CreateDerivedObject(Object* obj) override;
    INode* GetRootNode() override { return scene_->Root(); }
    BitmapManager& GetBitmapManager() override { return *this; }

    // BitmapManager: bitmaps in memory, 16 bits per channel or floats (for
    // BMM_FLOAT_RGBA_32 and EXR files); a display window writes its image
    // into the output folder (or to the path set for the next window), or
    // only encodes it when images are held (the tool writes them once it
    // knows the run went through).
    Bitmap* Create(BitmapInfo* bi) override;
    Bitmap* Load(BitmapInfo* bi, BMMRES* status = nullptr) override;
    // Bitmaps handed out and not deleted yet, window images included.
    std::size_t live_bitmaps() const { return bitmaps_.size(); }
    void SetOutputFolder(std::string folder) { display_.folder = std::move(folder); }
    void SetNextDisplayPath(std::string path) { display_.next_path = std::move(path); }
    void SetHoldDisplayedImages(bool hold) { display_.hold = hold; }
    const std::vector<DisplayedImage>& displayed() const { return displayed_; }
    int DeleteModifier(INode& node, Modifier& mod) override;
    Renderer* GetCurrentRenderer() override { return renderer_; }
    HWND AddRollupPage(HINSTANCE module, int dialogTemplate, DLGPROC proc, const MCHAR* title,
                       LPARAM param = 0, DWORD flags = 0,
                       int category = ROLLUP_CAT_STANDARD) override;
    void DeleteRollupPage(HWND rollup) override;
    void RollupMouseMessage(HWND, UINT, WPARAM, LPARAM) override;
    HFONT GetAppHFont() override;
    void SetPickMode(PickModeCallback* pc) override;
    void ClearPickMode() override;

    // The script environment: its globals live as long as the core.
    ScriptRunner& scripts() { return scripts_; }

    // Deletes the node from the scene and the selection.
    void DeleteNode(SceneNode* node);

    // ClassDirectory.
    ClassEntry* FindClassEntry(SClass_ID superClassID, Class_ID classID) override;
    SubClassList* GetClassList(SClass_ID superClassID) override;

  private:
    ClassEntry* EntryFor(ClassDesc* desc);

    std::unique_ptr<Scene> scene_;
    std::unique_ptr<Renderer> default_renderer_;
    std::wstring file_name_;
    std::mutex messages_mutex_;
    std::function<void(const MessageRecord&)> listener_;
    std::function<void(const ProgressBar&)> progress_listener_;
    std::atomic<bool> cancel_{false};
    int question_answer_ = 2; // IDCANCEL
    Renderer* renderer_;
    std::map<SClass_ID, std::unique_ptr<SubClassList>> class_lists_;
    std::vector<INode*> selection_;
    TimeValue time_ = 0;
    std::vector<ClassDesc*> classes_;
    std::vector<std::unique_ptr<ClassEntry>> entries_;
    std::vector<MessageRecord> messages_;
    ProgressBar progress_;
    int redraws_ = 0;
    std::wstring image_dir_ = L"images";
    DisplayTarget display_;
    std::vector<DisplayedImage> displayed_;
    BitmapStore bitmaps_;
    bool selection_frozen_ = false;
    ScriptRunner scripts_;
    std::vector<PluginModule> modules_;
    // Last: the panel goes before the scene it shows.
    std::unique_ptr<Toolkit> ui_;
    Interface* previous_ = nullptr;
};

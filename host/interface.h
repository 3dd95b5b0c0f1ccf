// The host's core interface: time, selection, nodes by handle, instance
// creation, progress, redraw, named selection sets and folders.
#pragma once

#include "host/bitmap.h"
#include "host/class_desc.h"
#include "host/inode.h"
#include "host/layer.h"
#include "host/pick_mode.h"
#include "host/renderer.h"

using LPVOID = void*;
using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID);

inline constexpr int APP_IMAGE_DIR = 25; // where rendered images go by default
inline constexpr int ROLLUP_CAT_STANDARD = 4000;

class INamedSelectionSetManager {
  public:
    virtual ~INamedSelectionSetManager() = default;
    virtual int GetNumNamedSelSets() = 0;
    virtual const MCHAR* GetNamedSelSetName(int setNum) = 0;
    virtual int GetNamedSelSetItemCount(int setNum) = 0;
    virtual INode* GetNamedSelSetItem(int setNum, int i) = 0;
    // A new set of that name; FALSE when one exists already.
    virtual BOOL AddNewNamedSelSet(const std::vector<INode*>& nodes, const MCHAR* name) = 0;
    // The nodes of the existing set of that name; FALSE when there is none.
    virtual BOOL ReplaceNamedSelSet(const std::vector<INode*>& nodes, const MCHAR* name) = 0;
};

// The named selection sets by name (interface ID (0x042A42B3, 0x01CF1CC5)).
inline constexpr Interface_ID NAMED_SEL_SET_MANAGER_INTERFACE(0x042A42B3, 0x01CF1CC5);

class Interface {
  public:
    virtual ~Interface() = default;
    virtual TimeValue GetTime() = 0;
    virtual void SetTime(TimeValue t, BOOL redraw = 1) = 0;
    virtual int GetTicksPerFrame() = 0;
    virtual int GetSelNodeCount() = 0;
    virtual INode* GetSelNode(int i) = 0;
    // While the selection is frozen (locked), it does not change.
    virtual void ClearNodeSelection(BOOL redraw = 1) = 0;
    // clearSel: the node replaces the selection instead of joining it.
    virtual void SelectNode(INode* node, int clearSel = 1) = 0;
    virtual BOOL SelectionFrozen() = 0;
    virtual void FreezeSelection() = 0;
    virtual void ThawSelection() = 0;
    virtual INode* GetINodeByHandle(ULONG handle) = 0;
    // The first node of that name, or nullptr.
    virtual INode* GetINodeByName(const MCHAR* name) = 0;
    // Removes the node from the scene (it is gone after the call).
    virtual void DeleteNode(INode* node, BOOL redraw = 1, BOOL overrideSlaves = 0) = 0;
    virtual ILayerManager* GetLayerManager() = 0;
    // A new instance of a registered class, or nullptr.
    virtual void* CreateInstance(SClass_ID superID, Class_ID classID) = 0;
    virtual ClassDirectory& GetClassDirectory() = 0;
    virtual HWND GetMAXHWnd() = 0;
    virtual const MCHAR* GetDir(int which) = 0;
    // The file name (no folder) of the open scene; empty for a new scene.
    virtual const MCHAR* GetCurFileName() = 0;
    virtual BOOL ProgressStart(const MCHAR* title, BOOL dispBar, LPTHREAD_START_ROUTINE fn,
                               LPVOID arg) = 0;
    virtual void ProgressUpdate(int pct, BOOL showPct = 1, const MCHAR* title = nullptr) = 0;
    virtual void ProgressEnd() = 0;
    // The user asked the long operation under the progress bar to stop;
    // any thread may ask. ProgressStart clears it.
    virtual BOOL GetCancel() = 0;
    virtual void SetCancel(BOOL cancel) = 0;
    virtual void RedrawViews(TimeValue t) = 0;
    virtual INamedSelectionSetManager& GetNamedSelectionSetManager() = 0;
    virtual IDerivedObject* CreateDerivedObject(Object* obj) = 0;
    virtual BitmapManager& GetBitmapManager() = 0;
    // The scene's root; every node is found below it.
    virtual INode* GetRootNode() = 0;
    // Removes mod from the node's stack (with the modifier-deleted
    // notifications); 0 when the node holds no such modifier.
    virtual int DeleteModifier(INode& node, Modifier& mod) = 0;
    // The renderer that production renders use; nullptr when none is set.
    virtual Renderer* GetCurrentRenderer() = 0;

    // The rollouts of the command panel: a page built from the module's
    // dialog template, its procedure called with param at initialisation.
    virtual HWND AddRollupPage(HINSTANCE module, int dialogTemplate, DLGPROC proc,
                               const MCHAR* title, LPARAM param = 0, DWORD flags = 0,
                               int category = ROLLUP_CAT_STANDARD) = 0;
    virtual void DeleteRollupPage(HWND rollup) = 0;
    // Mouse messages of a rollout, for the panel's own scrolling by drag.
    virtual void RollupMouseMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // The font the host draws its panels with.
    virtual HFONT GetAppHFont() = 0;
    // Starts a pick mode (ending the one running); ClearPickMode ends it.
    virtual void SetPickMode(PickModeCallback* pc) = 0;
    virtual void ClearPickMode() = 0;
};

// Provided by the host application.
Interface* GetCOREInterface();

inline IDerivedObject* CreateDerivedObject(Object* obj) {
    return GetCOREInterface()->CreateDerivedObject(obj);
}

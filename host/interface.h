// The host's core interface: time, selection, nodes by handle, instance
// creation, progress, redraw, named selection sets and folders.
#pragma once

#include "host/bitmap.h"
#include "host/class_desc.h"
#include "host/inode.h"
#include "host/layer.h"
#include "host/renderer.h"

using LPVOID = void*;
using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID);

inline constexpr int APP_IMAGE_DIR = 25; // where rendered images go by default

class INamedSelectionSetManager {
  public:
    virtual ~INamedSelectionSetManager() = default;
    virtual int GetNumNamedSelSets() = 0;
    virtual const MCHAR* GetNamedSelSetName(int setNum) = 0;
    virtual int GetNamedSelSetItemCount(int setNum) = 0;
    virtual INode* GetNamedSelSetItem(int setNum, int i) = 0;
};

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
};

// Provided by the host application.
Interface* GetCOREInterface();

inline IDerivedObject* CreateDerivedObject(Object* obj) {
    return GetCOREInterface()->CreateDerivedObject(obj);
}

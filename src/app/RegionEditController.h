#pragma once
// RegionEditController: the window's part of the region editing commands: "Duplicate" (browse
// mode: the selected regions; edit mode: a new region from the wave viewer's range), "Clone
// Dry", "Clone Wet", "Delete" and the region graph menu's "Create New Region From Range". The
// commands themselves are the core's (RegionEditing); this controller picks their targets
// (the browser's selection or the viewer's region) and brings the views up to date afterwards.
//
// Threading: main thread only.

#include <functional>
#include <memory>
#include <vector>

#include "app/AreaController.h"

class BrowserController;
class CRegion;
class CWaveViewer;
class RegionEditing;

class RegionEditController : public AreaController {
public:
    RegionEditController(CCore& core, BrowserController& browser, CWaveViewer& viewer);
    ~RegionEditController() override;

    void RegisterCommands(CommandTable& commands) override;
    void CoreStarted() override;
    void ModeChanged(int mode) override { m_mode = mode; }
    void CoreStopping() override;

    // The clones stop the main timer while they render (false stops it, true starts it again).
    void SetMainTimerHook(std::function<void(bool on)> hook) { m_mainTimer = std::move(hook); }
    // The wave viewer's region was deleted and the viewer cleared (RemoveRegion): the edit
    // area redraws it, and leaves edit mode if it wants to.
    void SetViewerClearedHook(std::function<void()> hook) { m_viewerCleared = std::move(hook); }
    // After a command changed regions the viewer shows (a new region, a delete).
    void SetChangedHook(std::function<void()> hook) { m_changed = std::move(hook); }

    // The commands, as their menu items run them.
    CRegion* CreateFromRange();
    std::vector<CRegion*> DuplicateSelection();
    void DeleteSelection();
    void DeleteRegions(const std::vector<CRegion*>& regions);
    std::vector<CRegion*> CloneSelection(bool wet);

    RegionEditing* Editing() const { return m_editing.get(); }

private:
    std::vector<CRegion*> Selection() const;
    void SelectOnly(const std::vector<CRegion*>& sources, const std::vector<CRegion*>& made);

    BrowserController& m_browser;
    CWaveViewer& m_viewer;
    std::unique_ptr<RegionEditing> m_editing;
    std::function<void(bool)> m_mainTimer;
    std::function<void()> m_viewerCleared;
    std::function<void()> m_changed;
    int m_mode = 0;
};

#pragma once
// BrowserController: the region browser (grid, list or length bars of the shown folder or
// search result, with the bar below it that chooses the kind and the grid's columns) and the
// VTape strip at the bottom. It fills the browser when the region tree's selection changes,
// keeps the two tapes' selections in step, moves regions between them by dragging, plays
// auditions (the right button held over thumbnails: the region under the pointer plays whole,
// the browser's with play origin 0, the VTape's with 1), applies a clicked region's DSP snap,
// takes the window's browse-mode keys and wheel, and binds the "VTape" menu and the VTape's
// context menu.
//
// Threading: main thread only.

#include <QImage>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/AreaController.h"
#include "library/CFolderOps.h"
#include "views/CScrollbar.h"
#include "views/CTape.h"
#include "views/CWorkList.h"
#include "views/TapeView.h"

class CommandTable;
class PanelBox;
class QComboBox;
class QMenu;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class TapeBox;
struct WindowAreas;

class BrowserController : public AreaController {
public:
    BrowserController(CCore& core, const WindowAreas& areas, QTreeWidget* regionTree);
    ~BrowserController() override;

    void RegisterCommands(CommandTable& commands) override;
    void CoreStarted() override;
    void ModeChanged(int mode) override;
    void CoreStopping() override;

    // Fills the browser with what the folder node shows, in region-list order.
    void ShowFolder(int32_t id);
    // Fills the browser with these regions (a search result), in the order given.
    void ShowRegions(const std::vector<CRegion*>& regions);
    // Makes the region the browser's current one (selected when the browser shows it) and brings
    // the VTape's selection in line.
    void MakeCurrent(CRegion* region);
    // Called after every redraw, so the region's details can follow the current region.
    void SetRedrawHook(std::function<void()> hook) { m_redrawHook = std::move(hook); }
    // The browser's bar: kind 2 grid, 3 list, 4 selection bars.
    void SetBrowserKind(int kind);
    void Redraw();
    // A region new to the library (an import's root region): the browser shows the selected
    // folder again and, when the region is in it, makes it the current, selected item in view;
    // the VTape takes the browser's selection.
    void ShowNewRegion(CRegion* region);
    // Deselects everything in the browser, and so on the VTape (the start of an import loop).
    void ClearSelection();
    // The browse-mode "Select All" and "Invert Selection": the browser's selection (its current
    // item cleared), then the VTape takes it.
    void SelectAllRegions();
    void InvertSelection();
    // Opens a region in the wave viewer and switches to edit mode (a double click on a region,
    // "View Item (Region Graph)"); false when it did not (the transport busy).
    using OpenHook = std::function<bool(CRegion*)>;
    void SetOpenHook(OpenHook hook) { m_openHook = std::move(hook); }
    // An audition started playing a region while the window is in edit mode: the region graph
    // shows it (without stopping the audition).
    void SetAuditionHook(std::function<void(CRegion*)> hook) { m_auditionHook = std::move(hook); }
    // The close corner of a browser item deletes regions from the library (the current one, or
    // with Ctrl every selected one) with the delete command's questions.
    void SetDeleteHook(std::function<void(const std::vector<CRegion*>&)> hook) { m_deleteHook = std::move(hook); }

    // The window-wide keys of browse mode (and the VTape's with Alt held, tapeKeys). True when
    // the key was one of them.
    bool WindowKey(int key, Qt::KeyboardModifiers mods, bool tapeKeys);
    // Wheel notches (positive: turned away from the user): the browser scrolls one step per
    // notch in browse mode while the transport is stopped; forward scrolls back.
    void Wheel(int notches);

    // The file loop of the import (ImportController::ImportFiles), which the VTape's menu runs
    // with its own file choice; the regions it makes land on the VTape.
    using ImportRunner = std::function<void(const std::vector<std::string>& paths, bool link)>;
    void SetImportRunner(ImportRunner run) { m_importRunner = std::move(run); }
    // The import made a region (the import's "put it on the tape" hook).
    void ImportedRegion(CRegion& region);
    // The region being auditioned (null when none).
    CRegion* Auditioned() const { return m_browser.GetAuditioned(); }

    // --- For the region editing commands (RegionEditController) ---
    // The browser's selection was changed from outside: the VTape takes it and both repaint.
    void BrowserSelectionChanged() { BrowserChanged(); }
    // A region is about to be destroyed: it leaves the browser, the VTape and the work list.
    void ForgetRegion(const CRegion* region);
    // A region made from a range: its folder's node is selected, the browser's selection is
    // cleared and the region becomes the browser's selected, current region in view.
    void ShowCreatedRegion(CRegion* region);
    // --- end of the region editing block ---

    CTape& Browser() { return m_browser; }
    CTape& VTape() { return m_vtape; }
    CWorkList& WorkList() { return m_workList; }
    PanelBox* BarBox() const { return m_barBox; }

private:
    void LayoutBrowser(int width, int height);
    void LayoutVTape(int width, int height);
    void BrowserPress(int x, int y, int button, Qt::KeyboardModifiers mods);
    void VTapePress(int x, int y, int button, Qt::KeyboardModifiers mods);
    void BrowserDrop(int x, int y, const QString& source);
    void VTapeDrop(int x, int y, const QString& source);
    bool BrowserKey(int key, Qt::KeyboardModifiers mods);
    bool VTapeKey(int key, Qt::KeyboardModifiers mods);
    void ComposeBar(int width, int height);
    bool BarPress(int x, int y);
    void VTapeChanged();
    // The length box's choice: 0 fixed cells, 1..4 a tape of 74, 90, 120 or 180 minutes.
    void SetVTapeLength(int index); // the browser takes the VTape's selection; both repaint
    void BrowserChanged();          // the VTape takes the browser's selection; both repaint
    // A left click made a region current: its snap goes into the stack.
    void ClickedRegion(CRegion* hit);
    bool StopPlaying();
    void StartAudition(CTape& tape, int x, int y, int origin);
    void AuditionAt(int x, int y);
    void EndAudition();
    void CompareHold(bool on);
    void ImportToVTape(bool link);
    void LocateInBrowser(CRegion* r);
    int TransportState() const;

    CTape m_browser{CTape::Grid};
    CTape m_vtape{CTape::Strip};
    CWorkList m_workList;
    TapeView m_browserView{false};
    TapeView m_vtapeView{true};
    CScrollbar m_columnSlider;
    QImage m_barImage;
    TapeBox* m_browserBox = nullptr;
    TapeBox* m_vtapeBox = nullptr;
    QComboBox* m_vtapeLength = nullptr;   // "Normal" or a tape length in minutes
    QPushButton* m_vtapeExport = nullptr; // "Export" beside the VTape: the VTape menu's export
    PanelBox* m_barBox = nullptr;
    QTreeWidget* m_regionTree = nullptr;
    QMenu* m_vtapeMenu = nullptr;
    // The region popup of a right press on a browser item's label: a copy of the "Edit" menu.
    QMenu* m_regionMenu = nullptr;
    std::function<void(const std::vector<CRegion*>&)> m_deleteHook;
    CommandTable* m_commands = nullptr;
    int m_mode = 0;
    bool m_dragPending = false;
    std::function<void()> m_redrawHook;
    // The tape an audition runs on (null when none) and its play origin.
    CTape* m_auditionTape = nullptr;
    int m_auditionOrigin = 0;
    ImportRunner m_importRunner;
    OpenHook m_openHook;
    std::function<void(CRegion*)> m_auditionHook;
    bool m_importingToVTape = false;
    std::string m_cloneFolder, m_openFolder;
};

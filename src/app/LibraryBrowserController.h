#pragma once
// LibraryBrowserController: the region tree (the fixed folders "User" and "System" with "Lost",
// "Found", "Today" and "Yesterday", and the user's folders) with its folder panel: "New",
// "Delete", "Rename" (also by editing a node's label), "Icon", folders and regions dragged
// onto folders, and the Found folder's scan of the VDisk, which brings unclaimed audio files
// back through the import. Which regions a node shows is the region browser's business
// (BrowserController::ShowFolder, called when the tree's selection changes).
//
// Threading: main thread only.

#include <QObject>
#include <cstdint>
#include <functional>

#include "app/AreaController.h"
#include "library/CFolderOps.h"

class BrowserController;
class CImporter;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class RegionTree;
struct WindowAreas;

class LibraryBrowserController : public AreaController {
public:
    LibraryBrowserController(CCore& core, const WindowAreas& areas);
    ~LibraryBrowserController() override;

    void CoreStarted() override;
    void CoreStopping() override;

    // The region browser, which shows folders and whose selected regions can be dropped on the
    // tree; and how a stray file of the VDisk comes back (the import's link in place, full path).
    void SetBrowser(BrowserController* browser) { m_browser = browser; }
    // The importer that brings back the files of the Found scan.
    void SetFoundImporter(std::function<CImporter*()> importer) { m_importer = std::move(importer); }

    QTreeWidget* RegionTree() const;
    // Selects a folder's node and makes it the region list's selected folder.
    void SelectFolder(int32_t folderId);

    // The folder panel's buttons.
    void NewFolder();
    void DeleteFolder();
    void RenameFolder();
    void CycleIcon();
    // A folder node dropped on a node; false (nothing changed) when the move is refused.
    bool DropFolder(int32_t folderId, int32_t targetId);
    // The browser's selected regions dropped on a node; false when refused.
    bool DropRegions(int32_t targetId);
    // The Found folder's scan: stray files deleted, the others brought back. How many came back.
    int ScanFound();

private:
    void BuildRegionTree();
    void PrepareRegionFolders();
    QTreeWidgetItem* FindNode(int32_t id) const;
    QTreeWidgetItem* NodeFor(const CRegion& folder) const;
    void NodeRenamed(QTreeWidgetItem* item);
    void ShowNodeIcon(QTreeWidgetItem* item, int icon);
    int32_t SelectedId() const;

    ::RegionTree* m_regionTree = nullptr;
    QPushButton* m_new = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_rename = nullptr;
    QPushButton* m_icon = nullptr;
    BrowserController* m_browser = nullptr;
    std::function<CImporter*()> m_importer;
    CFolderIconCycle m_iconCycle;
    QObject m_context;    // owner of the tree's connections, so they end with this controller
    bool m_quiet = false; // nodes being changed by the program, not by an edit
    bool m_scanning = false;
};

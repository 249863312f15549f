#pragma once
// LibraryBrowserController: the region tree (the fixed folders "User" and "System" with "Lost",
// "Found", "Today" and "Yesterday", and the user's folders) and, later, the region browser that
// shows a folder's regions.
//
// Threading: main thread only.

#include <cstdint>

#include "app/AreaController.h"

class QTreeWidget;
class QTreeWidgetItem;
struct WindowAreas;

class LibraryBrowserController : public AreaController {
public:
    LibraryBrowserController(CCore& core, const WindowAreas& areas);

    void CoreStarted() override;
    QTreeWidget* RegionTree() const { return m_regionTree; }
    // Selects a folder's node and makes it the region list's selected folder.
    void SelectFolder(int32_t folderId);

private:
    void BuildRegionTree();
    void PrepareRegionFolders();
    QTreeWidgetItem* FindNode(int32_t id) const;

    QTreeWidget* m_regionTree = nullptr;
};

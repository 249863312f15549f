#pragma once
// LibraryBrowserController: the region tree (the fixed folders "User" and "System" with "Lost",
// "Found", "Today" and "Yesterday", and the user's folders) and, later, the region browser that
// shows a folder's regions.
//
// Threading: main thread only.

#include "app/AreaController.h"

class QTreeWidget;
struct WindowAreas;

class LibraryBrowserController : public AreaController {
public:
    LibraryBrowserController(CCore& core, const WindowAreas& areas);

    void CoreStarted() override;
    QTreeWidget* RegionTree() const { return m_regionTree; }

private:
    void BuildRegionTree();
    void PrepareRegionFolders();

    QTreeWidget* m_regionTree = nullptr;
};

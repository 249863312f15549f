#include "app/LibraryBrowserController.h"

#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>
#include <vector>

#include "app/FolderIcons.h"
#include "app/WindowAreas.h"
#include "common/FolderId.h"
#include "core/CCore.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"

LibraryBrowserController::LibraryBrowserController(CCore& core, const WindowAreas& areas) : AreaController(core) {
    m_regionTree = new QTreeWidget;
    m_regionTree->setObjectName("RegionTree");
    m_regionTree->setHeaderHidden(true);
    areas.left->addWidget(m_regionTree, 2);
}

void LibraryBrowserController::CoreStarted() {
    BuildRegionTree();
    PrepareRegionFolders();
}

void LibraryBrowserController::BuildRegionTree() {
    m_regionTree->clear();
    QTreeWidgetItem* user = FolderIcons::MakeNode("User", FolderId::User, 0, 1);
    QTreeWidgetItem* system = FolderIcons::MakeNode("System", FolderId::System, 0, 1);
    system->addChild(FolderIcons::MakeNode("Lost", FolderId::Lost, 12, 13));
    system->addChild(FolderIcons::MakeNode("Found", FolderId::Found, 14, 15));
    system->addChild(FolderIcons::MakeNode("Today", FolderId::Today, 16, 17));
    system->addChild(FolderIcons::MakeNode("Yesterday", FolderId::Yesterday, 16, 17));
    m_regionTree->addTopLevelItem(user);
    m_regionTree->addTopLevelItem(system);
    system->setExpanded(true);
}

QTreeWidgetItem* LibraryBrowserController::FindNode(int32_t id) const {
    for (QTreeWidgetItemIterator it(m_regionTree); *it; ++it)
        if ((*it)->data(0, Qt::UserRole).toInt() == id) return *it;
    return nullptr;
}

void LibraryBrowserController::SelectFolder(int32_t folderId) {
    if (QTreeWidgetItem* node = FindNode(folderId)) m_regionTree->setCurrentItem(node);
    m_core.RegionList()->SetSelectedFolder(folderId);
}

void LibraryBrowserController::PrepareRegionFolders() {
    CRegionList& regions = *m_core.RegionList();
    // Folders are added in passes so that a parent always has its node before its children.
    std::vector<CRegion*> waiting;
    regions.ForEach([&](CRegion* r) {
        if (r->IsFolder()) waiting.push_back(r);
    });
    auto findNode = [this](int id) { return FindNode(id); };
    auto nodeFor = [](CRegion* f) {
        const int icon = f->GetFolderIcon();
        return FolderIcons::MakeNode(QString::fromStdString(f->GetName()), f->GetId(), icon, icon + 1);
    };
    while (!waiting.empty()) {
        std::vector<CRegion*> next;
        for (CRegion* f : waiting) {
            if (f->GetParentId() == 0) {
                m_regionTree->addTopLevelItem(nodeFor(f));
            } else if (QTreeWidgetItem* parent = findNode(f->GetParentId())) {
                parent->addChild(nodeFor(f));
            } else {
                next.push_back(f);
            }
        }
        if (next.size() == waiting.size()) {
            // Folders whose parent is gone (a damaged library) would otherwise be waited for
            // forever; they are shown at the top so their regions stay reachable.
            for (CRegion* f : next) m_regionTree->addTopLevelItem(nodeFor(f));
            break;
        }
        waiting.swap(next);
    }
    // The first node, "User", is selected and shown.
    if (QTreeWidgetItem* first = m_regionTree->topLevelItem(0)) m_regionTree->setCurrentItem(first);
    regions.SetSelectedFolder(FolderId::User);
}

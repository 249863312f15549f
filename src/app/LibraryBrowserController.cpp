#include "app/LibraryBrowserController.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>
#include <filesystem>
#include <vector>

#include "app/BrowserController.h"
#include "app/FolderIcons.h"
#include "app/RegionTree.h"
#include "app/WindowAreas.h"
#include "audiofile/ImportPipeline.h"
#include "common/FolderId.h"
#include "core/CCore.h"
#include "core/FoundScan.h"
#include "engine/CTransport.h"
#include "library/CDatabase.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "library/CVDisk.h"

namespace {
bool IsUserFolder(int32_t id) { return id > 1000; }
} // namespace

LibraryBrowserController::LibraryBrowserController(CCore& core, const WindowAreas& areas) : AreaController(core) {
    m_regionTree = new ::RegionTree;
    m_regionTree->setObjectName("RegionTree");
    m_regionTree->setHeaderHidden(true);
    // Labels are edited by "Rename" or a slow second click; only user folders allow it (their
    // nodes carry the editable flag).
    m_regionTree->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    areas.left->addWidget(m_regionTree, 2);

    auto* panel = new QWidget;
    panel->setObjectName("FolderPanel");
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    auto button = [&](const char* caption, const char* name) {
        auto* b = new QPushButton(caption);
        b->setObjectName(name);
        b->setFocusPolicy(Qt::NoFocus);
        row->addWidget(b);
        return b;
    };
    m_new = button("New", "FolderNew");
    m_delete = button("Delete", "FolderDelete");
    m_rename = button("Rename", "FolderRename");
    m_icon = button("Icon", "FolderIcon");
    areas.left->addWidget(panel);

    QObject::connect(m_new, &QPushButton::clicked, &m_context, [this] { NewFolder(); });
    QObject::connect(m_delete, &QPushButton::clicked, &m_context, [this] { DeleteFolder(); });
    QObject::connect(m_rename, &QPushButton::clicked, &m_context, [this] { RenameFolder(); });
    QObject::connect(m_icon, &QPushButton::clicked, &m_context, [this] { CycleIcon(); });

    ::RegionTree::Handlers h;
    h.dropFolder = [this](int folderId, int targetId) { return DropFolder(folderId, targetId); };
    h.dropRegions = [this](int targetId) { return DropRegions(targetId); };
    m_regionTree->SetHandlers(std::move(h));
}

LibraryBrowserController::~LibraryBrowserController() = default;

QTreeWidget* LibraryBrowserController::RegionTree() const { return m_regionTree; }

void LibraryBrowserController::CoreStarted() {
    BuildRegionTree();
    PrepareRegionFolders();
    QObject::connect(m_regionTree, &QTreeWidget::itemChanged, &m_context, [this](QTreeWidgetItem* item, int) {
        if (!m_quiet) NodeRenamed(item);
    });
    // The scan runs once the browser has shown the Found regions (it is told of the selection
    // directly; this call waits for the event loop), and only if "Found" is still selected.
    QObject::connect(
        m_regionTree, &QTreeWidget::currentItemChanged, &m_context,
        [this](QTreeWidgetItem* item, QTreeWidgetItem*) {
            if (::RegionTree::FolderIdOf(item) == FolderId::Found) ScanFound();
        },
        Qt::QueuedConnection);
}

void LibraryBrowserController::CoreStopping() { QObject::disconnect(m_regionTree, nullptr, &m_context, nullptr); }

void LibraryBrowserController::BuildRegionTree() {
    m_quiet = true;
    m_regionTree->clear();
    QTreeWidgetItem* user = FolderIcons::MakeNode("User", FolderId::User, 0, 1);
    QTreeWidgetItem* system = FolderIcons::MakeNode("System", FolderId::System, 0, 1);
    system->addChild(FolderIcons::MakeNode("Lost", FolderId::Lost, 12, 13));
    system->addChild(FolderIcons::MakeNode("Found", FolderId::Found, 14, 15));
    system->addChild(FolderIcons::MakeNode("Today", FolderId::Today, 16, 17));
    system->addChild(FolderIcons::MakeNode("Yesterday", FolderId::Yesterday, 16, 17));
    // The fixed nodes neither move nor take a new label.
    for (QTreeWidgetItem* fixed : {user, system}) fixed->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    for (int i = 0; i < system->childCount(); ++i) system->child(i)->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    m_regionTree->addTopLevelItem(user);
    m_regionTree->addTopLevelItem(system);
    system->setExpanded(true);
    user->setExpanded(true);
    m_quiet = false;
}

QTreeWidgetItem* LibraryBrowserController::FindNode(int32_t id) const {
    for (QTreeWidgetItemIterator it(m_regionTree); *it; ++it)
        if ((*it)->data(0, Qt::UserRole).toInt() == id) return *it;
    return nullptr;
}

QTreeWidgetItem* LibraryBrowserController::NodeFor(const CRegion& folder) const {
    const int icon = folder.GetFolderIcon();
    QTreeWidgetItem* node = FolderIcons::MakeNode(QString::fromStdString(folder.GetName()), folder.GetId(), icon,
                                                  icon + 1);
    node->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDragEnabled);
    return node;
}

int32_t LibraryBrowserController::SelectedId() const { return ::RegionTree::FolderIdOf(m_regionTree->currentItem()); }

void LibraryBrowserController::SelectFolder(int32_t folderId) {
    if (QTreeWidgetItem* node = FindNode(folderId)) m_regionTree->setCurrentItem(node);
    m_core.RegionList()->SetSelectedFolder(folderId);
}

void LibraryBrowserController::PrepareRegionFolders() {
    CRegionList& regions = *m_core.RegionList();
    m_quiet = true;
    // Folders are added in passes so that a parent always has its node before its children.
    std::vector<CRegion*> waiting;
    regions.ForEach([&](CRegion* r) {
        if (r->IsFolder()) waiting.push_back(r);
    });
    while (!waiting.empty()) {
        std::vector<CRegion*> next;
        for (CRegion* f : waiting) {
            if (f->GetParentId() == 0) {
                m_regionTree->addTopLevelItem(NodeFor(*f));
            } else if (QTreeWidgetItem* parent = FindNode(f->GetParentId())) {
                parent->addChild(NodeFor(*f));
            } else {
                next.push_back(f);
            }
        }
        if (next.size() == waiting.size()) {
            // Folders whose parent is gone (a damaged library) would otherwise be waited for
            // forever; they are shown at the top so their regions stay reachable.
            for (CRegion* f : next) m_regionTree->addTopLevelItem(NodeFor(*f));
            break;
        }
        waiting.swap(next);
    }
    m_quiet = false;
    // The first node, "User", is selected and shown.
    if (QTreeWidgetItem* first = m_regionTree->topLevelItem(0)) m_regionTree->setCurrentItem(first);
    regions.SetSelectedFolder(FolderId::User);
}

void LibraryBrowserController::NewFolder() {
    CRegionList* list = m_core.RegionList();
    QTreeWidgetItem* parent = m_regionTree->currentItem();
    if (!list || !parent) return;
    CRegion* folder = CFolderOps::NewFolder(*list, SelectedId());
    if (!folder) return; // under "System" and its folders nothing happens
    m_quiet = true;
    QTreeWidgetItem* node = NodeFor(*folder);
    parent->addChild(node);
    parent->setExpanded(true);
    m_quiet = false;
    m_regionTree->setCurrentItem(node);
}

void LibraryBrowserController::DeleteFolder() {
    CRegionList* list = m_core.RegionList();
    QTreeWidgetItem* node = m_regionTree->currentItem();
    if (!list || !node) return;
    const CTransport* transport = m_core.Transport();
    int32_t parentId = 0;
    if (!CFolderOps::DeleteFolder(*list, SelectedId(), !transport || transport->IsStopped(), m_core.Ui(), parentId))
        return;
    // The parent is selected (and shown) before the node goes, so the tree never passes
    // through a neighbour of the deleted node.
    QTreeWidgetItem* parent = FindNode(parentId);
    if (!parent) parent = m_regionTree->topLevelItem(0);
    m_regionTree->setCurrentItem(parent);
    list->SetSelectedFolder(::RegionTree::FolderIdOf(parent));
    delete node;
}

void LibraryBrowserController::RenameFolder() {
    QTreeWidgetItem* node = m_regionTree->currentItem();
    if (node && IsUserFolder(SelectedId())) m_regionTree->editItem(node);
}

void LibraryBrowserController::NodeRenamed(QTreeWidgetItem* item) {
    CRegionList* list = m_core.RegionList();
    const int32_t id = ::RegionTree::FolderIdOf(item);
    if (!list || !IsUserFolder(id)) return;
    CRegion* folder = list->FolderById(id);
    if (!folder) return;
    const std::string name = item->text(0).toStdString();
    if (name != folder->GetName()) CFolderOps::RenameFolder(*list, id, name);
    // The label shows the name as kept: a long one is cut to the field.
    const QString kept = QString::fromStdString(folder->GetName());
    if (item->text(0) != kept) {
        m_quiet = true;
        item->setText(0, kept);
        m_quiet = false;
    }
}

void LibraryBrowserController::ShowNodeIcon(QTreeWidgetItem* item, int icon) {
    m_quiet = true;
    item->setData(0, Qt::UserRole + 1, icon);
    item->setData(0, Qt::UserRole + 2, icon + 1);
    item->setIcon(0, FolderIcons::Icon(icon, icon + 1));
    m_quiet = false;
}

void LibraryBrowserController::CycleIcon() {
    CRegionList* list = m_core.RegionList();
    if (!list) return;
    // The cycle moves on at every press, whatever is selected.
    const int32_t id = SelectedId();
    if (!m_iconCycle.Apply(*list, id)) return;
    if (QTreeWidgetItem* node = m_regionTree->currentItem()) ShowNodeIcon(node, list->FolderById(id)->GetFolderIcon());
}

bool LibraryBrowserController::DropFolder(int32_t folderId, int32_t targetId) {
    CRegionList* list = m_core.RegionList();
    if (!list || !CFolderOps::MoveFolder(*list, folderId, targetId)) return false;
    QTreeWidgetItem* node = FindNode(folderId);
    QTreeWidgetItem* target = FindNode(targetId);
    if (!node || !target) return true;
    QTreeWidgetItem* current = m_regionTree->currentItem();
    m_quiet = true;
    if (QTreeWidgetItem* from = node->parent()) from->removeChild(node);
    else m_regionTree->takeTopLevelItem(m_regionTree->indexOfTopLevelItem(node));
    target->addChild(node);
    target->setExpanded(true);
    m_quiet = false;
    if (current) m_regionTree->setCurrentItem(current);
    return true;
}

bool LibraryBrowserController::DropRegions(int32_t targetId) {
    CRegionList* list = m_core.RegionList();
    if (!list || !m_browser) return false;
    std::vector<CRegion*> regions;
    for (int k = 0; CRegion* r = m_browser->Browser().SelectedAt(k); ++k) regions.push_back(r);
    if (regions.empty() || !CFolderOps::MoveRegions(*list, regions, targetId)) return false;
    // What plays may have moved away from what is shown: playback ends, and the folder shown
    // before the drop is shown again without the regions that left it.
    if (CTransport* transport = m_core.Transport(); transport && !transport->IsStopped()) transport->Stop();
    m_browser->ShowFolder(list->GetSelectedFolder());
    return true;
}

int LibraryBrowserController::ScanFound() {
    CImporter* importer = m_importer ? m_importer() : nullptr;
    if (!importer || m_scanning) return 0;
    // The scan does nothing while an import or a recording writes into the VDisk: their files
    // have no sample yet. It runs again at the next selection of "Found".
    m_scanning = true;
    const FoundScanResult scan = RunFoundScan(m_core, *importer);
    m_scanning = false;
    if (scan.recovered > 0 && m_browser && SelectedId() == FolderId::Found) m_browser->ShowFolder(FolderId::Found);
    return scan.recovered;
}

#include "app/RegionTree.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

#include "app/TapeBox.h"

RegionTree::RegionTree(QWidget* parent) : QTreeWidget(parent) {
    setDragEnabled(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
}

QMimeData* RegionTree::FolderMime(int folderId) {
    auto* mime = new QMimeData;
    mime->setData(kFolderMimeType, QByteArray::number(folderId));
    return mime;
}

int RegionTree::FolderIdOf(const QTreeWidgetItem* item) { return item ? item->data(0, Qt::UserRole).toInt() : 0; }

void RegionTree::startDrag(Qt::DropActions) {
    // Only user folders move; the fixed nodes stay where they are.
    const int id = FolderIdOf(currentItem());
    if (id <= 1000) return;
    auto* drag = new QDrag(this);
    drag->setMimeData(FolderMime(id));
    drag->exec(Qt::MoveAction);
}

bool RegionTree::Wanted(const QMimeData* mime) {
    if (!mime) return false;
    if (mime->hasFormat(kFolderMimeType)) return true;
    return mime->hasFormat(TapeBox::kMimeType) && QString::fromUtf8(mime->data(TapeBox::kMimeType)) == "browser";
}

void RegionTree::dragEnterEvent(QDragEnterEvent* e) {
    if (Wanted(e->mimeData())) e->acceptProposedAction();
    else e->ignore();
}

void RegionTree::dragMoveEvent(QDragMoveEvent* e) {
    // Whether the drop would be refused is known only when it happens; the pointer shows that a
    // node is under it.
    if (Wanted(e->mimeData()) && itemAt(e->position().toPoint())) e->acceptProposedAction();
    else e->ignore();
}

void RegionTree::dropEvent(QDropEvent* e) {
    const QMimeData* mime = e->mimeData();
    QTreeWidgetItem* target = itemAt(e->position().toPoint());
    if (!Wanted(mime) || !target) {
        e->ignore();
        return;
    }
    const int targetId = FolderIdOf(target);
    bool done = false;
    if (mime->hasFormat(kFolderMimeType)) {
        bool ok = false;
        const int folderId = mime->data(kFolderMimeType).toInt(&ok);
        if (ok && m_h.dropFolder) done = m_h.dropFolder(folderId, targetId);
    } else if (m_h.dropRegions) {
        done = m_h.dropRegions(targetId);
    }
    // The tree's own handling would move the node a second way; the controller has done it.
    if (done) e->acceptProposedAction();
    else e->ignore();
}

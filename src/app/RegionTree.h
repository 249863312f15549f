#pragma once
// RegionTree: the tree of folders. A plain tree view except for dragging: a user folder's node
// can be dragged onto another node, and regions dragged from the region browser can be dropped
// on a node. What a drop does (and whether it is refused) is its controller's decision.
//
// Threading: main thread only.

#include <QTreeWidget>
#include <functional>

class QMimeData;

class RegionTree : public QTreeWidget {
public:
    static constexpr const char* kFolderMimeType = "application/x-sonquil-folder";

    struct Handlers {
        // A folder node dropped on the node of targetId; true when it moved.
        std::function<bool(int folderId, int targetId)> dropFolder;
        // The browser's selected regions dropped on the node of targetId; true when they moved.
        std::function<bool(int targetId)> dropRegions;
    };

    explicit RegionTree(QWidget* parent = nullptr);
    void SetHandlers(Handlers h) { m_h = std::move(h); }

    // What a dragged folder node carries: its id.
    static QMimeData* FolderMime(int folderId);
    static int FolderIdOf(const QTreeWidgetItem* item);

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    // Which drags the tree takes at all: folders of its own and regions from the browser.
    static bool Wanted(const QMimeData* mime);

    Handlers m_h;
};

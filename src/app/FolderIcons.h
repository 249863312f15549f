#pragma once
// The icons of the region tree, drawn rather than shipped: folders in the user's colours,
// the lost and found folders and the day folders. Indices follow the tree's image list:
// even = closed, odd = selected (open).

#include <QIcon>
#include <QImage>
#include <QString>

class QTreeWidgetItem;

namespace FolderIcons {
QImage Image(int index);
// An icon showing image `icon` normally and `selectedIcon` when selected.
QIcon Icon(int icon, int selectedIcon);
// A tree node with its id and both icon indices kept in the item (roles UserRole to UserRole + 2).
QTreeWidgetItem* MakeNode(const QString& caption, int id, int icon, int selectedIcon);
} // namespace FolderIcons

#include "app/FolderIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QStringList>
#include <QTreeWidgetItem>

namespace FolderIcons {

namespace {
QColor BaseColour(int index) {
    switch (index / 2) {
    case 0: return QColor(0xE8, 0xC0, 0x50); // plain folder
    case 1: return QColor(0xD0, 0x50, 0x50);
    case 2: return QColor(0x50, 0xA0, 0x50);
    case 3: return QColor(0x50, 0x70, 0xD0);
    case 4: return QColor(0xA0, 0x60, 0xC0);
    case 5: return QColor(0x90, 0x90, 0x90);
    case 6: return QColor(0xC0, 0x40, 0x30);  // lost
    case 7: return QColor(0x40, 0xA0, 0x60);  // found
    default: return QColor(0x60, 0x80, 0xC0); // days
    }
}
} // namespace

QImage Image(int index) {
    QImage img(16, 16, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QColor c = BaseColour(index);
    bool open = index % 2 == 1;
    if (index >= 16) {
        // A calendar leaf for the day folders.
        p.setPen(c.darker(150));
        p.setBrush(Qt::white);
        p.drawRect(2, 3, 11, 11);
        p.fillRect(2, 3, 12, 3, c);
        p.setPen(c.darker(150));
        for (int y = 8; y < 14; y += 3)
            for (int x = 4; x < 13; x += 3) p.drawPoint(x, y);
        if (open) p.fillRect(QRect(4, 8, 2, 2), c);
        return img;
    }
    p.setPen(c.darker(160));
    p.setBrush(c);
    QPainterPath tab;
    tab.addRect(1, 3, 6, 3);
    p.drawPath(tab);
    if (open) {
        p.setBrush(c.lighter(120));
        QPolygonF front({QPointF(1, 6), QPointF(15, 6), QPointF(13, 14), QPointF(1, 14)});
        p.drawPolygon(front);
    } else {
        p.drawRect(1, 5, 14, 9);
    }
    if (index == 12 || index == 13) { // lost: a cross
        p.setPen(QPen(Qt::white, 1.5));
        p.drawLine(6, 8, 10, 12);
        p.drawLine(10, 8, 6, 12);
    } else if (index == 14 || index == 15) { // found: a tick
        p.setPen(QPen(Qt::white, 1.5));
        p.drawLine(5, 10, 7, 12);
        p.drawLine(7, 12, 11, 7);
    }
    return img;
}

QIcon Icon(int icon, int selectedIcon) {
    QIcon i;
    i.addPixmap(QPixmap::fromImage(Image(icon)), QIcon::Normal, QIcon::Off);
    i.addPixmap(QPixmap::fromImage(Image(selectedIcon)), QIcon::Selected, QIcon::Off);
    return i;
}

QTreeWidgetItem* MakeNode(const QString& caption, int id, int icon, int selectedIcon) {
    auto* item = new QTreeWidgetItem(QStringList{caption});
    item->setData(0, Qt::UserRole, id);
    item->setData(0, Qt::UserRole + 1, icon);
    item->setData(0, Qt::UserRole + 2, selectedIcon);
    item->setIcon(0, Icon(icon, selectedIcon));
    return item;
}

} // namespace FolderIcons

#include "app/MarkersSection.h"

#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPolygonF>
#include <QTimer>

#include "app/CommandTable.h"
#include "library/CMarker.h"
#include "library/CRegion.h"
#include "views/CWaveViewer.h"

namespace {
// The three marker pictures: 0 "Lamp", 1 "Down Arrow", 2 "Pin".
QIcon MarkerIcon(int icon) {
    static QIcon icons[3];
    if (icon < 0 || icon > 2) icon = 0;
    if (!icons[icon].isNull()) return icons[icon];
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1));
    if (icon == 0) {
        p.setBrush(QColor(0xFF, 0xD8, 0x30));
        p.drawEllipse(QRectF(3.5, 1.5, 9, 9));
        p.setBrush(QColor(0x90, 0x90, 0x90));
        p.drawRect(QRectF(5.5, 10.5, 5, 4));
    } else if (icon == 1) {
        p.setBrush(QColor(0x30, 0x70, 0xE0));
        p.drawPolygon(QPolygonF({QPointF(5.5, 1.5), QPointF(10.5, 1.5), QPointF(10.5, 8), QPointF(14, 8),
                                 QPointF(8, 14.5), QPointF(2, 8), QPointF(5.5, 8)}));
    } else {
        p.setBrush(QColor(0xE0, 0x40, 0x30));
        p.drawEllipse(QRectF(4.5, 1.5, 7, 7));
        p.drawLine(QPointF(8, 8.5), QPointF(8, 15));
    }
    icons[icon] = QIcon(pm);
    return icons[icon];
}

} // namespace

MarkersSection::MarkersSection(CCore& core, CWaveViewer& viewer) : AreaController(core), m_viewer(viewer) {
    m_list = new QListWidget;
    m_list->setObjectName("MarkerList");
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { RowClicked(m_list->row(item)); });
    connect(m_list, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) { Renamed(item); });
    connect(m_list, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (m_menu) m_menu->popup(m_list->viewport()->mapToGlobal(at));
    });
}

MarkersSection::~MarkersSection() = default;

void MarkersSection::RegisterCommands(CommandTable& commands) {
    m_commands = &commands;
    commands.Bind("markers.delete", [this](bool) { DeleteSelected(); });
    commands.Bind("markers.lamp", [this](bool) { SetSelectedIcon(0); });
    commands.Bind("markers.downArrow", [this](bool) { SetSelectedIcon(1); });
    commands.Bind("markers.pin", [this](bool) { SetSelectedIcon(2); });
    commands.Bind("markers.moveToCursor", [this](bool) { MoveSelectedToCursor(); });
    m_menu = new QMenu(m_list);
    m_menu->setObjectName("MarkerListMenu");
    commands.FillMenu("@Markers", m_menu);
}

void MarkersSection::Tick(const EngineSnapshot&) {
    if (m_mode == kModeEdit) Refresh();
}

void MarkersSection::ModeChanged(int mode) {
    m_mode = mode;
    Refresh(true);
}

void MarkersSection::CoreStopping() {
    m_shown = nullptr;
    m_shownId = 0;
    m_entries.clear();
    m_filling = true;
    m_list->clear();
    m_filling = false;
}

std::vector<MarkersSection::Entry> MarkersSection::CurrentEntries() const {
    std::vector<Entry> entries;
    CRegion* r = m_viewer.CurrentRegion();
    if (!r) return entries;
    const CMarkersList& markers = r->Markers();
    for (int i = 0; i < markers.Count(); ++i)
        if (const CMarker* m = markers.At(i)) entries.push_back({m->GetPosition(), m->GetText(), m->GetIcon()});
    return entries;
}

void MarkersSection::Refresh(bool force) {
    CRegion* r = m_viewer.CurrentRegion();
    std::vector<Entry> entries = CurrentEntries();
    const int32_t id = r ? r->GetId() : 0;
    if (!force && r == m_shown && id == m_shownId && entries == m_entries) return;
    // The selection stays on the same row where there still is one.
    const int selected = (r == m_shown && id == m_shownId) ? m_list->currentRow() : -1;
    m_shown = r;
    m_shownId = id;
    m_entries = std::move(entries);
    m_filling = true;
    m_list->clear();
    for (const Entry& e : m_entries) {
        auto* item = new QListWidgetItem(MarkerIcon(e.icon), QString::fromStdString(e.text));
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        item->setData(Qt::UserRole, e.icon);
        m_list->addItem(item);
    }
    if (selected >= 0 && selected < m_list->count()) m_list->setCurrentRow(selected);
    m_filling = false;
}

CMarker* MarkersSection::SelectedMarker() const {
    CRegion* r = m_viewer.CurrentRegion();
    if (!r || r != m_shown) return nullptr;
    const int row = m_list->currentRow();
    if (row < 0 || !m_list->currentItem() || !m_list->currentItem()->isSelected()) return nullptr;
    return r->Markers().At(row);
}

void MarkersSection::Changed() {
    if (m_viewer.CurrentRegion()) m_viewer.RedrawLast();
    Refresh();
}

void MarkersSection::DeleteSelected() {
    CMarker* m = SelectedMarker();
    if (!m) return;
    m_viewer.CurrentRegion()->DeleteMarker(m);
    Changed();
}

void MarkersSection::SetSelectedIcon(int icon) {
    CMarker* m = SelectedMarker();
    if (!m || icon < 0 || icon > 2) return;
    m->SetIcon(icon);
    Changed();
}

void MarkersSection::MoveSelectedToCursor() {
    CMarker* m = SelectedMarker();
    if (!m) return;
    const int32_t cursor = m_viewer.Cursor();
    m_viewer.CurrentRegion()->MoveMarker(m, cursor);
    // The row follows its marker to the new place in the order.
    const int row = m_viewer.CurrentRegion()->Markers().IndexOf(m);
    // The view scrolls to the marker's new place when it lies outside.
    m_viewer.CursorTo(cursor);
    Changed();
    if (row >= 0 && row < m_list->count()) m_list->setCurrentRow(row);
}

void MarkersSection::RowClicked(int row) {
    CRegion* r = m_viewer.CurrentRegion();
    if (!r || r != m_shown) return;
    CMarker* m = r->Markers().At(row);
    if (!m) return;
    // The viewer redraws itself, scrolled to the marker when it lay outside.
    m_viewer.CursorTo(m->GetPosition());
}

void MarkersSection::Renamed(QListWidgetItem* item) {
    if (m_filling || !item) return;
    CRegion* r = m_viewer.CurrentRegion();
    if (!r || r != m_shown) return;
    CMarker* m = r->Markers().At(m_list->row(item));
    if (!m) return;
    // The marker keeps at most 127 characters; the row then shows what it kept.
    const std::string text = item->text().toStdString();
    m->SetText(text);
    // The row that is telling of its change must not be replaced under it: the list follows
    // once the edit is over.
    QTimer::singleShot(0, this, [this] { Changed(); });
}

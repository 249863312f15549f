#include "app/RangesSection.h"

#include <QApplication>
#include <QDrag>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>

#include "app/CommandTable.h"
#include "app/DragTypes.h"
#include "library/CRegion.h"
#include "views/CWaveViewer.h"

namespace {
// The history list, which starts a drag of a range line (never of "none").
class RangeList : public QListWidget {
public:
    RangeList() {
        setObjectName("RangeHistory");
        setSelectionMode(QAbstractItemView::SingleSelection);
        setDragEnabled(true);
        setDragDropMode(QAbstractItemView::DragOnly);
    }

protected:
    void startDrag(Qt::DropActions) override {
        const int line = currentRow();
        if (line < 1) return;
        auto* drag = new QDrag(this);
        drag->setMimeData(RangesSection::MimeFor(line));
        drag->exec(Qt::CopyAction);
    }
};
} // namespace

RangesSection::RangesSection(CCore& core, CWaveViewer& viewer) : AreaController(core), m_viewer(viewer) {
    m_list = new RangeList;
    connect(m_list, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { SelectLine(m_list->row(item)); });
}

RangesSection::~RangesSection() = default;

QMimeData* RangesSection::MimeFor(int line) {
    auto* mime = new QMimeData;
    mime->setData(kRangeMime, QByteArray::number(line));
    return mime;
}

int RangesSection::LineFrom(const QMimeData* mime) {
    if (!mime || !mime->hasFormat(kRangeMime)) return 0;
    bool ok = false;
    const int line = mime->data(kRangeMime).toInt(&ok);
    return ok && line > 0 ? line : 0;
}

void RangesSection::Tick(const EngineSnapshot&) {
    if (m_mode == kModeEdit) Refresh();
}

void RangesSection::ModeChanged(int mode) {
    m_mode = mode;
    Refresh(true);
}

void RangesSection::CoreStopping() {
    m_shown = nullptr;
    m_shownId = 0;
    m_lines.clear();
    m_list->clear();
}

std::vector<std::string> RangesSection::CurrentLines() const {
    CRegion* r = m_viewer.CurrentRegion();
    return r ? r->HistoryLines() : std::vector<std::string>{};
}

void RangesSection::Refresh(bool force) {
    CRegion* r = m_viewer.CurrentRegion();
    std::vector<std::string> lines = CurrentLines();
    const int32_t id = r ? r->GetId() : 0;
    if (!force && r == m_shown && id == m_shownId && lines == m_lines) return;
    m_shown = r;
    m_shownId = id;
    m_lines = std::move(lines);
    m_list->clear();
    for (const std::string& line : m_lines) m_list->addItem(QString::fromStdString(line));
}

bool RangesSection::SelectLine(int n) {
    CRegion* r = m_viewer.CurrentRegion();
    if (!r || n < 0 || n > r->GetHistoryCount()) return false;
    if (!r->SelectHistory(n)) return false;
    const bool on = r->HasRange();
    const int32_t start = r->GetRangeStart(), end = r->GetRangeEnd();
    if (on != m_viewer.RangeActive() || (on && (start != m_viewer.RangeStart() || end != m_viewer.RangeEnd()))) {
        m_viewer.SetRange(on, start, end);
        m_viewer.RedrawLast();
    }
    return true;
}

#include "app/RegionDetailsController.h"

#include <QHeaderView>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/BrowserController.h"
#include "app/CommandTable.h"
#include "app/DragTypes.h"
#include "app/RangesSection.h"
#include "app/RegionIcons.h"
#include "app/WindowAreas.h"
#include "core/CCore.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"

RegionDetailsController::RegionDetailsController(CCore& core, const WindowAreas&) : AreaController(core) {
    m_info = new QTreeWidget;
    m_info->setObjectName("RegionInfo");
    m_info->setColumnCount(2);
    m_info->setHeaderHidden(true);
    m_info->setRootIsDecorated(false);
    m_info->setSelectionMode(QAbstractItemView::NoSelection);
    m_info->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);

    m_sameSample = new QListWidget;
    m_sameSample->setObjectName("SameSampleRegions");
    m_sameSample->viewport()->setAcceptDrops(true);
    m_sameSample->viewport()->installEventFilter(&m_context);

    m_notesPanel = new QWidget;
    auto* notesLayout = new QVBoxLayout(m_notesPanel);
    notesLayout->setContentsMargins(0, 0, 0, 0);
    m_notes = new QPlainTextEdit;
    m_notes->setObjectName("RegionNotes");
    m_notes->setToolTip(kNotesHint);
    m_save = new QPushButton("Save");
    m_save->setObjectName("NotesSave");
    notesLayout->addWidget(m_notes, 1);
    notesLayout->addWidget(m_save);
    // The side sections place the three parts (SideSections).

    QObject::connect(m_save, &QPushButton::clicked, &m_context, [this] { SaveNotes(); });
    // The list is filled again when the current region changes, so the click is served once
    // the list has finished with it.
    QObject::connect(m_sameSample, &QListWidget::itemClicked, &m_context, [this](QListWidgetItem* item) {
        const int row = m_sameSample->row(item);
        QTimer::singleShot(0, &m_context, [this, row] { SameSampleClicked(row); });
    });
}

RegionDetailsController::~RegionDetailsController() = default;

void RegionDetailsController::SetBrowser(BrowserController* browser) {
    m_browser = browser;
    if (m_browser) m_browser->SetRedrawHook([this] { FollowBrowser(); });
}


void RegionDetailsController::CoreStopping() {
    if (m_browser) m_browser->SetRedrawHook({});
    m_shown = nullptr;
    m_shownId = 0;
    m_infoRows.clear();
}

void RegionDetailsController::Tick(const EngineSnapshot&) {
    // First the browser's current region, so that the one shown is never one that has gone.
    FollowBrowser();
    if (!m_shown) return;
    std::vector<std::pair<std::string, std::string>> rows = InfoRows(*m_shown);
    if (rows != m_infoRows) FillInfo(std::move(rows));
}

void RegionDetailsController::FillInfo(std::vector<std::pair<std::string, std::string>> rows) {
    m_info->clear();
    for (const auto& [label, value] : rows)
        m_info->addTopLevelItem(new QTreeWidgetItem({QString::fromStdString(label), QString::fromStdString(value)}));
    m_infoRows = std::move(rows);
}

std::vector<std::pair<std::string, std::string>> RegionDetailsController::InfoRows(const CRegion& region) const {
    std::vector<std::pair<std::string, std::string>> rows = region.InfoList();
    if (m_extraRows)
        for (auto& row : m_extraRows(region)) rows.push_back(std::move(row));
    return rows;
}

void RegionDetailsController::FollowBrowser() {
    CRegion* current = m_browser ? m_browser->Browser().GetCurrent() : nullptr;
    // The id as well as the address: a region made where a deleted one lay is a new region.
    if (current == m_shown && (!current || current->GetId() == m_shownId)) return;
    Show(current);
}

void RegionDetailsController::Show(CRegion* region) {
    m_shown = region;
    m_shownId = region ? region->GetId() : 0;
    m_info->clear();
    m_infoRows.clear();
    m_sameSample->clear();
    m_notes->setPlainText(region ? QString::fromStdString(region->GetNotes()) : QString());
    CRegionList* list = m_core.RegionList();
    if (!region || !list) return;
    FillInfo(InfoRows(*region));
    QListWidgetItem* currentRow = nullptr;
    list->ForEach([&](CRegion* r) {
        if (r->IsFolder() || !CRegionList::SameSample(r, region)) return;
        const int icon = RegionIcons::IndexFor(*r);
        auto* row = new QListWidgetItem(RegionIcons::Icon(icon), QString::fromStdString(r->GetName()));
        row->setData(Qt::UserRole, icon);
        m_sameSample->addItem(row);
        if (r == region) currentRow = row;
    });
    if (currentRow) {
        m_sameSample->setCurrentItem(currentRow);
        m_sameSample->scrollToItem(currentRow);
    }
}

void RegionDetailsController::SaveNotes() {
    if (!m_shown) return;
    m_shown->SetNotes(m_notes->toPlainText().toStdString());
    // The box shows what was kept, which is at most 255 bytes.
    const QString kept = QString::fromStdString(m_shown->GetNotes());
    if (m_notes->toPlainText() != kept) m_notes->setPlainText(kept);
}

void RegionDetailsController::SameSampleClicked(int row) {
    CRegionList* list = m_core.RegionList();
    if (!list || !m_shown || !m_browser) return;
    CRegion* r = list->NthOfSameSample(m_shown, row);
    if (!r || r == m_shown) return;
    m_browser->MakeCurrent(r);
}

bool RegionDetailsController::RangeDragEvent(QEvent* event) {
    const auto type = event->type();
    if (type == QEvent::DragEnter || type == QEvent::DragMove) {
        auto* e = static_cast<QDragMoveEvent*>(event);
        if (!e->mimeData()->hasFormat(kRangeMime)) return false;
        e->acceptProposedAction();
        return true;
    }
    if (type == QEvent::Drop) {
        auto* e = static_cast<QDropEvent*>(event);
        const int line = RangesSection::LineFrom(e->mimeData());
        if (line <= 0) return false;
        e->acceptProposedAction();
        if (m_rangeDrop) {
            // After the drag has ended: the new region refills this list.
            auto hook = m_rangeDrop;
            QTimer::singleShot(0, &m_context, [hook, line] { hook(line); });
        }
        return true;
    }
    return false;
}

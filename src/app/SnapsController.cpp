#include "app/SnapsController.h"

#include <cmath>

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/CommandTable.h"
#include "app/DSPController.h"
#include "app/DragTypes.h"
#include "app/PanelBox.h"
#include "app/WindowAreas.h"
#include "core/CCore.h"
#include "core/SnapCommands.h"
#include "library/CDSPPreset.h"
#include "library/CDSPSnap.h"
#include "library/CPresetList.h"
#include "library/CRegion.h"
#include "views/CWaveViewer.h"

namespace {

// The snap list's images: 0 plain, 1 current, 2 favourite, 3 both.
QIcon SnapImage(int image) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0x60, 0x60, 0x70));
    p.setBrush(QColor(0xD0, 0xD0, 0xD8));
    p.drawRect(3, 3, 9, 9);
    if (image & CDSPSnapList::ImageCurrent) {
        // A green play triangle: the snap the region plays with in edit mode.
        QPainterPath t;
        t.moveTo(3, 2);
        t.lineTo(13, 7.5);
        t.lineTo(3, 13);
        t.closeSubpath();
        p.setPen(QColor(0x10, 0x60, 0x10));
        p.setBrush(QColor(0x30, 0xC0, 0x30));
        p.drawPath(t);
    }
    if (image & CDSPSnapList::ImageFavourite) {
        // A yellow star at the top right: the snap the region plays with in browse mode.
        QPainterPath star;
        const double cx = 11, cy = 5, ro = 5, ri = 2.2;
        for (int k = 0; k < 10; ++k) {
            const double a = -M_PI / 2 + k * M_PI / 5;
            const double r = k % 2 ? ri : ro;
            const QPointF pt(cx + r * std::cos(a), cy + r * std::sin(a));
            if (k == 0) star.moveTo(pt);
            else star.lineTo(pt);
        }
        star.closeSubpath();
        p.setPen(QColor(0x80, 0x60, 0x00));
        p.setBrush(QColor(0xFF, 0xD0, 0x20));
        p.drawPath(star);
    }
    return QIcon(pm);
}

constexpr int kPresetIdRole = Qt::UserRole;

} // namespace

SnapsController::SnapsController(CCore& core, const WindowAreas& areas, CWaveViewer& viewer, DSPController& dsp)
    : AreaController(core), m_viewer(viewer), m_dsp(dsp) {
    // The snap list: the content of the "Edit DSP Snaps" side section, which gives it its title.
    m_snapPanel = new QFrame;
    m_snapPanel->setObjectName("SnapsPanel");
    auto* v = new QVBoxLayout(m_snapPanel);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(2);
    m_snapList = new QListWidget;
    m_snapList->setObjectName("SnapList");
    m_snapList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_snapList->installEventFilter(this);
    v->addWidget(m_snapList, 1);
    auto* grid = new QGridLayout;
    grid->setSpacing(2);
    const char* captions[ButtonCount] = {"New", "Favorite", "Delete", "Copy", "Cut", "Paste", "Rename"};
    for (int i = 0; i < ButtonCount; ++i) {
        auto* b = new QPushButton(captions[i]);
        b->setObjectName(QString("Snap") + captions[i]);
        b->setFocusPolicy(Qt::NoFocus);
        grid->addWidget(b, i / 4, i % 4);
        m_buttons.push_back(b);
    }
    v->addLayout(grid);

    connect(m_buttons[New], &QPushButton::clicked, this, [this] { TakeSnap(); });
    connect(m_buttons[Favorite], &QPushButton::clicked, this, [this] { FavoriteSnap(); });
    connect(m_buttons[Delete], &QPushButton::clicked, this, [this] { DeleteSnap(); });
    connect(m_buttons[Copy], &QPushButton::clicked, this, [this] { CopySnap(); });
    connect(m_buttons[Cut], &QPushButton::clicked, this, [this] { CutSnap(); });
    connect(m_buttons[Paste], &QPushButton::clicked, this, [this] { PasteSnap(); });
    connect(m_buttons[Rename], &QPushButton::clicked, this, [this] { RenameSnap(); });
    connect(m_snapList, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        if (!m_filling) PickSnap(m_snapList->row(item));
    });
    connect(m_snapList, &QListWidget::currentRowChanged, this, [this](int) { UpdateButtons(); });
    connect(m_snapList, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (m_filling) return;
        CRegion* r = Region();
        if (r && m_snaps) m_snaps->Rename(*r, m_snapList->row(item), item->text().toStdString());
        Refresh();
    });

    // The preset list, under the preset tree.
    m_presetList = new QListWidget;
    m_presetList->setObjectName("PresetList");
    m_presetList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_presetList->setAcceptDrops(true);
    m_presetList->viewport()->setAcceptDrops(true);
    m_presetList->viewport()->installEventFilter(this);
    areas.left->addWidget(m_presetList, 1);
    connect(m_presetList, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { ApplyPresetRow(m_presetList->row(item)); });
    connect(m_presetList, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (m_filling || !m_snaps || !m_core.PresetList()) return;
        CDSPPreset* p = m_core.PresetList()->FindById(item->data(kPresetIdRole).toInt());
        if (p) m_snaps->RenamePreset(p, item->text().toStdString());
        RefreshPresets();
    });
}

SnapsController::~SnapsController() = default;

void SnapsController::RegisterCommands(CommandTable& commands) {
    m_commands = &commands;
    commands.Bind("dsp.takeSnap", [this](bool) { TakeSnap(); });
    commands.Bind("graph.takeSnap", [this](bool) { TakeSnap(); });
    commands.Bind("dsp.copySnap", [this](bool) { CopySnap(); });
    commands.Bind("dsp.cutSnap", [this](bool) { CutSnap(); });
    commands.Bind("dsp.pasteSnap", [this](bool) { PasteSnap(); });
    commands.Bind("dsp.deleteSnap", [this](bool) { DeleteSnap(); });
    commands.Bind("dsp.makePresetStack", [this](bool) { MakePreset(PresetNode::Stacks); });
    commands.Bind("dsp.makePresetEQ", [this](bool) { MakePreset(PresetNode::EQ); });
    commands.Bind("dsp.makePresetImager", [this](bool) { MakePreset(PresetNode::Imager); });
    commands.Bind("dsp.makePresetCompressor", [this](bool) { MakePreset(PresetNode::Compressor); });
    commands.Bind("dsp.deletePreset", [this](bool) { DeletePreset(); });
    auto flat = [this](int folder) {
        if (m_snaps) m_snaps->ApplyFlat(folder);
    };
    commands.Bind("dsp.flatStack", [flat](bool) { flat(PresetNode::StacksFactory); });
    commands.Bind("dsp.flatEQ", [flat](bool) { flat(PresetNode::EQFactory); });
    commands.Bind("dsp.flatImager", [flat](bool) { flat(PresetNode::ImagerFactory); });
    commands.Bind("dsp.flatCompressor", [flat](bool) { flat(PresetNode::CompressorFactory); });
    commands.Bind("presetTree.make", [this](bool) {
        if (!m_presetTree || !m_presetTree->currentItem()) return;
        const int node = m_presetTree->currentItem()->data(0, Qt::UserRole).toInt();
        if (PresetNode::IsUserFolder(node)) MakePreset(node);
    });
    commands.Bind("presetTree.rename", [this](bool) { RenamePreset(); });
    commands.Bind("presetTree.delete", [this](bool) { DeletePreset(); });
}

void SnapsController::CoreStarted() {
    m_snaps = std::make_unique<SnapCommands>(m_core);
    m_presetTree = m_dsp.PresetTree();
    if (m_presetTree) {
        m_presetTree->setAcceptDrops(true);
        m_presetTree->viewport()->setAcceptDrops(true);
        m_presetTree->viewport()->installEventFilter(this);
        m_presetTree->setContextMenuPolicy(Qt::CustomContextMenu);
        m_treeMenu = new QMenu(m_presetTree);
        if (m_commands) m_commands->FillMenu("@PresetTree", m_treeMenu);
        connect(m_presetTree, &QTreeWidget::customContextMenuRequested, this,
                [this](const QPoint& at) { m_treeMenu->popup(m_presetTree->viewport()->mapToGlobal(at)); });
        connect(m_presetTree, &QTreeWidget::currentItemChanged, this, [this] { TreeSelectionChanged(); });
        SelectTreeNode(m_core.PresetList() ? m_core.PresetList()->GetCurrentFolder() : PresetNode::StacksFactory);
    }
    // A press on either DSP panel that no control takes drags the panel.
    if (PanelBox* box = m_dsp.DSPPanelBox()) box->SetUnclaimedPress([this, box] { StartPanelDrag(box); });
    if (PanelBox* box = m_dsp.ControlAmpBox()) box->SetUnclaimedPress([this, box] { StartPanelDrag(box); });
    TreeSelectionChanged();
    Refresh();
}

void SnapsController::CoreStopping() {
    if (PanelBox* box = m_dsp.DSPPanelBox()) box->SetUnclaimedPress({});
    if (PanelBox* box = m_dsp.ControlAmpBox()) box->SetUnclaimedPress({});
    m_shownRegion = nullptr;
    m_snaps.reset();
}

void SnapsController::ModeChanged(int mode) {
    m_mode = mode;
    // The side section column shows and hides the snap list with the mode.
    // The "DSP" menu belongs to edit mode as a whole, not only its items.
    if (QWidget* window = m_snapPanel->window())
        if (auto* menu = window->findChild<QMenu*>("menu:DSP")) menu->menuAction()->setVisible(mode == kModeEdit);
    Refresh();
}

void SnapsController::Tick(const EngineSnapshot&) {
    // The viewer may have moved to another region (or lost its own) since the list was filled.
    CRegion* r = Region();
    if (r != m_shownRegion || (r && r->Snaps().Count() != m_shownCount)) Refresh();
}

CRegion* SnapsController::Region() const { return m_snaps ? m_viewer.CurrentRegion() : nullptr; }

int SnapsController::SelectedSnap() const { return m_snapList->currentRow(); }

void SnapsController::Refresh() {
    CRegion* r = Region();
    const bool sameRegion = r == m_shownRegion;
    const std::vector<CDSPSnapList::Row> rows = r ? r->Snaps().Show() : std::vector<CDSPSnapList::Row>{};
    m_filling = true;
    if (sameRegion && static_cast<int>(rows.size()) == m_snapList->count()) {
        // The same snaps: captions and images in place, so a click or an edit in progress is
        // not pulled from under the list.
        for (int i = 0; i < m_snapList->count(); ++i) {
            QListWidgetItem* item = m_snapList->item(i);
            const QString caption = QString::fromStdString(rows[static_cast<size_t>(i)].caption);
            if (item->text() != caption) item->setText(caption);
            item->setIcon(SnapImage(rows[static_cast<size_t>(i)].image));
        }
    } else {
        const int keep = sameRegion ? m_snapList->currentRow() : -1;
        m_snapList->clear();
        int row = 0;
        for (const CDSPSnapList::Row& line : rows) {
            auto* item = new QListWidgetItem(SnapImage(line.image), QString::fromStdString(line.caption));
            // The first snap ("Flat") can never be renamed.
            if (row > 0) item->setFlags(item->flags() | Qt::ItemIsEditable);
            m_snapList->addItem(item);
            ++row;
        }
        if (r) {
            const int count = m_snapList->count();
            m_snapList->setCurrentRow(keep >= 0 && keep < count ? keep : r->Snaps().GetCurrent());
        }
    }
    m_shownRegion = r;
    m_shownCount = r ? r->Snaps().Count() : -1;
    m_filling = false;
    UpdateButtons();
}

void SnapsController::UpdateButtons() {
    CRegion* r = Region();
    const int n = SelectedSnap();
    const bool valid = r && n >= 0 && n < r->Snaps().Count();
    m_buttons[New]->setEnabled(r != nullptr);
    m_buttons[Favorite]->setEnabled(r != nullptr);
    m_buttons[Delete]->setEnabled(SnapCommands::CanCutOrDelete(r, n));
    m_buttons[Cut]->setEnabled(SnapCommands::CanCutOrDelete(r, n));
    m_buttons[Copy]->setEnabled(valid);
    m_buttons[Paste]->setEnabled(r && m_snaps && m_snaps->HasClipboard());
    m_buttons[Rename]->setEnabled(valid && n > 0);
}

void SnapsController::TakeSnap() {
    CRegion* r = Region();
    if (!r) return;
    m_snaps->TakeSnap(*r, m_mode == kModeEdit);
    Refresh();
    m_snapList->setCurrentRow(r->Snaps().GetCurrent());
}

void SnapsController::FavoriteSnap() {
    if (CRegion* r = Region()) m_snaps->Favorite(*r);
    Refresh();
}

void SnapsController::DeleteSnap() {
    CRegion* r = Region();
    if (!r || !m_snaps->Delete(*r, SelectedSnap())) return;
    m_snapList->setCurrentRow(-1);
    Refresh();
}

void SnapsController::CopySnap() {
    if (CRegion* r = Region()) m_snaps->Copy(*r, SelectedSnap());
    UpdateButtons();
}

void SnapsController::CutSnap() {
    CRegion* r = Region();
    if (!r || !m_snaps->Cut(*r, SelectedSnap())) return;
    m_snapList->setCurrentRow(-1);
    Refresh();
}

void SnapsController::PasteSnap() {
    CRegion* r = Region();
    if (!r || !m_snaps->Paste(*r)) return;
    Refresh();
    m_snapList->setCurrentRow(r->Snaps().GetCurrent());
}

void SnapsController::RenameSnap() {
    const int n = SelectedSnap();
    QListWidgetItem* item = m_snapList->item(n);
    if (!item || n <= 0) return;
    m_snapList->editItem(item);
}

void SnapsController::PickSnap(int row) {
    CRegion* r = Region();
    if (!r || !m_snaps->Pick(*r, row, m_mode == kModeEdit)) return;
    Refresh();
}

bool SnapsController::SnapListKey(int key, Qt::KeyboardModifiers mods) {
    // While a name is being edited the keys belong to the editor.
    if (QApplication::focusWidget() != m_snapList) return false;
    const bool ctrl = mods & Qt::ControlModifier;
    if (key == Qt::Key_Delete && !ctrl) {
        DeleteSnap();
        return true;
    }
    if (!ctrl) return false;
    switch (key) {
    case Qt::Key_X: CutSnap(); return true;
    case Qt::Key_C: CopySnap(); return true;
    case Qt::Key_V: PasteSnap(); return true;
    default: return false;
    }
}

// --- Presets ---

void SnapsController::SelectTreeNode(int node) {
    if (!m_presetTree) return;
    for (QTreeWidgetItemIterator it(m_presetTree); *it; ++it) {
        if ((*it)->data(0, Qt::UserRole).toInt() == node) {
            m_presetTree->setCurrentItem(*it);
            return;
        }
    }
}

void SnapsController::TreeSelectionChanged() {
    CPresetList* list = m_core.PresetList();
    if (!list || !m_presetTree || !m_presetTree->currentItem()) return;
    const int node = m_presetTree->currentItem()->data(0, Qt::UserRole).toInt();
    list->SetCurrentFolder(node);
    const bool user = PresetNode::IsUserFolder(node);
    if (m_commands) {
        m_commands->SetAvailable("presetTree.make", user);
        m_commands->SetAvailable("presetTree.rename", user);
        m_commands->SetAvailable("presetTree.delete", user);
    }
    RefreshPresets();
}

void SnapsController::RefreshPresets() {
    CPresetList* list = m_core.PresetList();
    m_filling = true;
    m_presetList->clear();
    if (list) {
        const bool user = PresetNode::IsUserFolder(list->GetCurrentFolder());
        for (CDSPPreset* p : list->InFolder(list->GetCurrentFolder())) {
            auto* item = new QListWidgetItem(QString::fromStdString(p->GetName()));
            item->setData(kPresetIdRole, p->GetId());
            // Factory presets are read-only.
            if (user && !p->IsFactory()) item->setFlags(item->flags() | Qt::ItemIsEditable);
            m_presetList->addItem(item);
        }
    }
    m_filling = false;
}

CDSPPreset* SnapsController::MakePreset(int node) {
    if (!m_snaps) return nullptr;
    CDSPPreset* p = m_snaps->MakePreset(node);
    if (!p) return nullptr;
    // The tree selects the new folder, which lists it.
    SelectTreeNode(p->GetFolder());
    TreeSelectionChanged();
    for (int i = 0; i < m_presetList->count(); ++i)
        if (m_presetList->item(i)->data(kPresetIdRole).toInt() == p->GetId()) m_presetList->setCurrentRow(i);
    return p;
}

bool SnapsController::PresetSelectedForEdit(CDSPPreset*& preset) const {
    CPresetList* list = m_core.PresetList();
    QListWidgetItem* item = m_presetList->currentItem();
    if (!list || !item || !m_snaps) return false;
    preset = list->FindById(item->data(kPresetIdRole).toInt());
    return m_snaps->PresetEditable(preset);
}

void SnapsController::RenamePreset() {
    CDSPPreset* p = nullptr;
    if (PresetSelectedForEdit(p)) m_presetList->editItem(m_presetList->currentItem());
}

void SnapsController::DeletePreset() {
    CDSPPreset* p = nullptr;
    if (PresetSelectedForEdit(p) && m_snaps->DeletePreset(p)) RefreshPresets();
}

void SnapsController::ApplyPresetRow(int row) {
    CPresetList* list = m_core.PresetList();
    QListWidgetItem* item = m_presetList->item(row);
    if (!list || !item) return;
    if (const CDSPPreset* p = list->FindById(item->data(kPresetIdRole).toInt())) m_core.ApplyPreset(*p);
}

void SnapsController::PanelDropped(int node) {
    CPresetList* list = m_core.PresetList();
    if (!list) return;
    MakePreset(node < 0 ? list->GetCurrentFolder() : node);
}

void SnapsController::StartPanelDrag(QWidget* source) {
    auto* drag = new QDrag(source);
    auto* mime = new QMimeData;
    mime->setData(kDSPPanelMime, source->objectName().toUtf8());
    drag->setMimeData(mime);
    drag->exec(Qt::CopyAction);
}

bool SnapsController::eventFilter(QObject* watched, QEvent* e) {
    if (watched == m_snapList && e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        return SnapListKey(k->key(), k->modifiers());
    }
    const bool tree = m_presetTree && watched == m_presetTree->viewport();
    const bool list = m_presetList && watched == m_presetList->viewport();
    if (!tree && !list) return QObject::eventFilter(watched, e);
    switch (e->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* d = static_cast<QDropEvent*>(e);
        if (!d->mimeData()->hasFormat(kDSPPanelMime)) return false;
        // On the tree only a node takes the panel.
        if (tree && !m_presetTree->itemAt(d->position().toPoint())) d->ignore();
        else d->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* d = static_cast<QDropEvent*>(e);
        if (!d->mimeData()->hasFormat(kDSPPanelMime)) return false;
        int node = -1;
        if (tree) {
            QTreeWidgetItem* item = m_presetTree->itemAt(d->position().toPoint());
            if (!item) return true;
            node = item->data(0, Qt::UserRole).toInt();
        }
        d->acceptProposedAction();
        PanelDropped(node);
        return true;
    }
    default: return QObject::eventFilter(watched, e);
    }
}

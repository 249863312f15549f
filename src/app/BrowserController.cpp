#include "app/BrowserController.h"

#include <QAction>
#include <QBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QComboBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <QTimer>
#include <QVariant>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <cstdlib>

#include "app/CommandTable.h"
#include "app/PanelBox.h"
#include "audiofile/ImportPipeline.h"
#include "app/TRenameForm.h"
#include "app/TapeBox.h"
#include "app/WindowAreas.h"
#include "common/Clock.h"
#include "common/FolderId.h"
#include "common/TransportState.h"
#include "common/UiPort.h"
#include "core/CCore.h"
#include "core/EngineSnapshot.h"
#include "dsp/CDSPStack.h"
#include "engine/CTransport.h"
#include "library/CDatabase.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "library/CSample.h"
#include "library/CVDisk.h"

namespace {
constexpr int kVTapePanelHeight = 83;
constexpr int kBarHeight = 32;
// The bar's kind buttons: left edges of grid, list and selection bars; 24 px wide.
constexpr int kButtonLeft[3] = {10, 42, 74};
} // namespace

BrowserController::BrowserController(CCore& core, const WindowAreas& areas, QTreeWidget* regionTree)
    : AreaController(core), m_regionTree(regionTree) {
    m_vtape.SetBackground(0x112233);
    m_columnSlider.Configure(CScrollbar::Horizontal, 1, 8);
    m_columnSlider.SetPosition(4);

    TapeBox::Handlers b;
    b.compose = [this](int w, int h) { LayoutBrowser(w, h); };
    b.image = [this]() -> const QImage& { return m_browserView.Image(); };
    b.press = [this](int x, int y, int button, Qt::KeyboardModifiers mods) { BrowserPress(x, y, button, mods); };
    b.move = [this](int x, int y, Qt::MouseButtons buttons) {
        if (m_auditionTape == &m_browser && (buttons & Qt::RightButton)) {
            AuditionAt(x, y);
        } else if (m_browser.ScrollbarDragging()) {
            if (m_browser.DragScrollbar(x, y)) Redraw();
        } else if (m_dragPending && (buttons & Qt::LeftButton)) {
            m_dragPending = false;
            m_browserBox->StartDrag("browser");
        }
    };
    b.release = [this](int, int, int button) {
        if (button == 2) EndAudition();
        if (button == 3) CompareHold(false);
        m_dragPending = false;
        m_browser.Release();
    };
    b.doubleClick = [this](int x, int y) {
        // A double click on a thumbnail opens the region in the region graph and puts it onto
        // the VTape; while the transport records, monitors or renders nothing happens.
        CRegion* r = m_browser.RegionAtPoint(x, y);
        if (!r) return;
        const int state = TransportState();
        if (state == kTransportRecording || state == kTransportMonitoring || state == kTransportRendering) return;
        int code = 0;
        m_browser.Press(x, y, CTape::LeftButton, false, false, code);
        if (code != CTape::HitThumbnail) return;
        m_vtape.Add(r);
        BrowserChanged();
        if (m_openHook) m_openHook(r);
    };
    // Keys and the wheel reach the browser through the window (WindowKeys), which sees them
    // before any paint box does.
    b.drop = [this](int x, int y, const QString& source) { BrowserDrop(x, y, source); };
    m_browserBox = new TapeBox(b);
    m_browserBox->setObjectName("RegionBrowser");
    m_browserBox->setToolTip("");

    PanelBox::Handlers bar;
    bar.compose = [this](int w, int h) { ComposeBar(w, h); };
    bar.image = [this]() -> const QImage& { return m_barImage; };
    bar.leftDown = [this](bool, bool, int x, int y) { return BarPress(x, y); };
    bar.move = [this](int x, int y, bool) {
        if (m_columnSlider.Drag(x, y)) {
            m_browser.SetColumns(8 - m_columnSlider.GetPosition());
            Redraw();
        }
    };
    bar.up = [this] { m_columnSlider.Release(); };
    m_barBox = new PanelBox(bar);
    m_barBox->setObjectName("BrowserBar");
    m_barBox->setFixedHeight(kBarHeight);

    TapeBox::Handlers v;
    v.compose = [this](int w, int h) { LayoutVTape(w, h); };
    v.image = [this]() -> const QImage& { return m_vtapeView.Image(); };
    v.press = [this](int x, int y, int button, Qt::KeyboardModifiers mods) { VTapePress(x, y, button, mods); };
    v.move = [this](int x, int y, Qt::MouseButtons buttons) {
        if (m_auditionTape == &m_vtape && (buttons & Qt::RightButton)) {
            AuditionAt(x, y);
        } else if (m_vtape.ScrollbarDragging()) {
            if (m_vtape.DragScrollbar(x, y)) Redraw();
        } else if (m_dragPending && (buttons & Qt::LeftButton)) {
            m_dragPending = false;
            m_vtapeBox->StartDrag("vtape");
        }
    };
    v.release = [this](int, int, int button) {
        if (button == 2) EndAudition();
        if (button == 3) CompareHold(false);
        m_dragPending = false;
        m_vtape.Release();
    };
    v.doubleClick = [this](int x, int y) {
        // On a thumbnail or a label: the anchor's region opens in the region graph (in edit mode
        // the graph just shows it).
        int code = 0;
        m_vtape.Press(x, y, CTape::LeftButton, false, false, code);
        if (code != CTape::HitThumbnail && code != CTape::HitLabel && code != CTape::HitSecondLabel) return;
        CRegion* r = m_vtape.GetAnchor();
        VTapeChanged();
        if (r && m_openHook) m_openHook(r);
    };
    v.drop = [this](int x, int y, const QString& source) { VTapeDrop(x, y, source); };
    m_vtapeBox = new TapeBox(v);
    m_vtapeBox->setObjectName("VTape");
    m_vtapeBox->setFixedHeight(kVTapePanelHeight);

    // The browser above its bar in the middle of the window (before the stretch the shell put
    // there), the VTape in the tape panel.
    areas.work->insertWidget(0, m_browserBox, 100);
    areas.work->insertWidget(1, m_barBox);
    // The tape with its length box and "Export" button at the right end of the row. "Normal"
    // gives fixed cells; the others lay the items out in proportion to a tape of that length.
    m_vtapeLength = new QComboBox;
    m_vtapeLength->setObjectName("ComboBox8");
    for (const char* item : {"Normal", "74 min", "90 min", "120 min", "180 min"}) m_vtapeLength->addItem(item);
    QObject::connect(m_vtapeLength, &QComboBox::currentIndexChanged, m_vtapeLength,
                     [this](int index) { SetVTapeLength(index); });
    m_vtapeExport = new QPushButton("Export");
    m_vtapeExport->setObjectName("Button11");
    m_vtapeExport->setEnabled(false); // until the export binds its row and the state allows it
    // The two stand at the top and bottom of a column exactly as tall as the tape.
    auto* vtapeSide = new QWidget;
    vtapeSide->setFixedHeight(kVTapePanelHeight);
    auto* sideColumn = new QVBoxLayout(vtapeSide);
    sideColumn->setContentsMargins(0, 0, 0, 0);
    sideColumn->addWidget(m_vtapeLength);
    sideColumn->addStretch(1);
    sideColumn->addWidget(m_vtapeExport);
    auto* vtapeRow = new QHBoxLayout;
    vtapeRow->setContentsMargins(0, 0, 0, 0);
    vtapeRow->addWidget(m_vtapeBox, 1);
    vtapeRow->addWidget(vtapeSide);
    areas.tape->addLayout(vtapeRow);
    // Tests reach the tapes through the widgets they drive.
    m_browserBox->setProperty("browserController", QVariant::fromValue(static_cast<void*>(this)));
}

BrowserController::~BrowserController() = default;

void BrowserController::RegisterCommands(CommandTable& commands) {
    m_commands = &commands;
    // The button runs the menu item through the table, so it acts exactly when the item does
    // (bound, shown in this mode, stopped) and is greyed whenever the item is.
    if (QAction* exportAll = commands.Action("vtape.exportAll")) {
        const auto follow = [this, exportAll] {
            m_vtapeExport->setEnabled(exportAll->isEnabled() && exportAll->isVisible());
        };
        QObject::connect(exportAll, &QAction::changed, m_vtapeExport, follow);
        follow();
        QObject::connect(m_vtapeExport, &QPushButton::clicked, m_vtapeExport,
                         [this] { m_commands->Dispatch("vtape.exportAll"); });
    }
    commands.Bind("vtape.remove", [this](bool) {
        std::vector<CRegion*> selected;
        for (int k = 0; CRegion* r = m_vtape.SelectedAt(k); ++k) selected.push_back(r);
        for (CRegion* r : selected) m_vtape.RemoveAll(r);
        VTapeChanged();
    });
    commands.Bind("vtape.selectAll", [this](bool) {
        m_vtape.SelectAll();
        VTapeChanged();
    });
    commands.Bind("vtape.deselectAll", [this](bool) {
        m_vtape.DeselectAll();
        VTapeChanged();
    });
    commands.Bind("vtape.importClone", [this](bool) { ImportToVTape(false); });
    commands.Bind("vtape.linkOpen", [this](bool) { ImportToVTape(true); });
    commands.Bind("vtape.removeItem", [this](bool) {
        if (CRegion* r = m_vtape.GetAnchor() ? m_vtape.GetAnchor() : m_vtape.GetCurrent()) m_vtape.RemoveFirst(r);
        VTapeChanged();
    });
    commands.Bind("vtape.locateItem",
                  [this](bool) { LocateInBrowser(m_vtape.GetCurrent() ? m_vtape.GetCurrent() : m_vtape.GetAnchor()); });
    // While playing: playback stops and the work list's item at its current index opens in the
    // region graph. Stopped, recording, monitoring or rendering: nothing.
    commands.Bind("vtape.viewItem", [this](bool) {
        CTransport* t = m_core.Transport();
        if (!t || !t->IsPlaying()) return;
        t->Stop();
        if (CRegion* r = m_workList.RegionAt(m_workList.GetCurrentIndex()); r && m_openHook) m_openHook(r);
    });
}

void BrowserController::LocateInBrowser(CRegion* r) {
    if (!r || !m_regionTree) return;
    // Bring the region into view: its parent folder's node is selected, which shows it.
    const int32_t parent = r->GetParentId();
    for (QTreeWidgetItemIterator it(m_regionTree); *it; ++it) {
        if ((*it)->data(0, Qt::UserRole).toInt() == parent) {
            m_regionTree->setCurrentItem(*it);
            break;
        }
    }
    m_core.RegionList()->SetLastShown(r->GetId());
    ShowFolder(parent);
    m_browser.Select(r);
    m_browser.Layout();
    m_browser.EnsureVisible(r);
    BrowserChanged();
}

void BrowserController::ImportToVTape(bool link) {
    if (!m_importRunner) return;
    std::string& folder = link ? m_openFolder : m_cloneFolder;
    // Each of the two dialogs starts in the home folder and then keeps the folder it last used.
    if (folder.empty())
        if (const char* home = std::getenv("HOME")) folder = home;
    std::vector<std::string> files;
    if (!m_core.Ui().ChooseFiles(link ? "Link Audio File (Open)" : "Import Audio File (Clone)", folder,
                                 ImportFileFilter(), true, files) ||
        files.empty())
        return;
    const std::string& first = files.front();
    const size_t slash = first.find_last_of('/');
    if (slash != std::string::npos) folder = first.substr(0, slash);
    // The new regions are the VTape's selection afterwards, appended in the loop's order.
    m_vtape.DeselectAll();
    m_importingToVTape = true;
    m_importRunner(files, link);
    m_importingToVTape = false;
    VTapeChanged();
}

void BrowserController::ImportedRegion(CRegion& region) {
    if (!m_importingToVTape) return;
    m_vtape.Add(&region);
    m_vtape.Select(&region);
    m_vtape.SetAnchor(&region);
    m_vtape.Layout();
    m_vtape.EnsureVisible(&region);
}

int BrowserController::TransportState() const {
    const CTransport* t = m_core.Transport();
    return t ? t->State() : kTransportStopped;
}

void BrowserController::CoreStarted() {
    if (m_regionTree) {
        QObject::connect(m_regionTree, &QTreeWidget::currentItemChanged, m_browserBox,
                         [this](QTreeWidgetItem* item, QTreeWidgetItem*) {
                             if (item) ShowFolder(item->data(0, Qt::UserRole).toInt());
                         });
    }
    if (m_commands) {
        m_vtapeMenu = new QMenu(m_vtapeBox);
        m_commands->FillMenu("@VTape", m_vtapeMenu);
        m_regionMenu = new QMenu(m_browserBox);
        m_regionMenu->setObjectName("RegionPopup");
        m_commands->FillMenu("Edit", m_regionMenu);
        // Its submenus are copies: their names must not pass for the menu bar's own.
        for (QMenu* sub : m_regionMenu->findChildren<QMenu*>())
            sub->setObjectName(sub->objectName().replace("menu:", "popup:"));
    }
    ShowFolder(m_core.RegionList() ? m_core.RegionList()->GetSelectedFolder() : FolderId::User);
}

void BrowserController::CoreStopping() {
    EndAudition();
    m_browser.Clear();
    m_vtape.Clear();
}


void BrowserController::ModeChanged(int mode) {
    m_mode = mode;
    m_browserBox->setVisible(mode == kModeBrowse);
    // In edit mode the region graph's own bar (play, loop, snap, zoom) takes this one's place.
    m_barBox->setVisible(mode == kModeBrowse);
    // The region popup's submenus ("Fade") show only while one of their items does.
    if (m_regionMenu) {
        for (QMenu* sub : m_regionMenu->findChildren<QMenu*>()) {
            bool any = false;
            for (QAction* a : sub->actions())
                if (a->isVisible() && !a->isSeparator()) any = true;
            sub->menuAction()->setVisible(any);
        }
    }
    Redraw();
}

void BrowserController::ShowFolder(int32_t id) {
    CRegionList* list = m_core.RegionList();
    if (!list) return;
    list->SetSelectedFolder(id);
    auto present = [](const CRegion& r) { return r.GetSample() && r.GetSample()->FilePresent(); };
    // The Found folder's scan of the VDisk belongs to the region tree (LibraryBrowserController).
    ShowRegions(CFolderOps::Content(*list, id, TodayStamp(), YesterdayStamp(), present));
}

void BrowserController::ShowRegions(const std::vector<CRegion*>& regions) {
    m_browser.Clear();
    for (CRegion* r : regions) m_browser.Add(r);
    m_browser.TakeSelectionFrom(m_vtape);
    m_browser.ScrollToStart();
    Redraw();
}

void BrowserController::ShowNewRegion(CRegion* region) {
    CRegionList* list = m_core.RegionList();
    if (!list || !region) return;
    ShowFolder(list->GetSelectedFolder());
    if (m_browser.Contains(region)) MakeCurrent(region);
}

void BrowserController::MakeCurrent(CRegion* region) {
    if (!region) return;
    if (m_browser.Contains(region)) m_browser.Select(region);
    else m_browser.SetCurrent(region);
    m_browser.EnsureVisible(region);
    BrowserChanged();
}

// Region editing (RegionEditController): a deleted region leaves every view that lists it.
void BrowserController::ForgetRegion(const CRegion* region) {
    if (!region) return;
    if (m_browser.GetAuditioned() == region || m_vtape.GetAuditioned() == region) EndAudition();
    m_browser.RemoveAll(region);
    m_vtape.RemoveAll(region);
    m_workList.RemoveAll(region);
}

void BrowserController::ShowCreatedRegion(CRegion* region) {
    if (!region) return;
    m_browser.DeselectAll();
    LocateInBrowser(region);
    if (!m_browser.Contains(region)) m_browser.Add(region);
    MakeCurrent(region);
}

void BrowserController::ClearSelection() {
    m_browser.DeselectAll();
    BrowserChanged();
}

void BrowserController::SelectAllRegions() {
    m_browser.SelectAll();
    BrowserChanged();
}

void BrowserController::InvertSelection() {
    m_browser.Invert();
    BrowserChanged();
}

void BrowserController::SetBrowserKind(int kind) {
    if (kind < CTape::Grid || kind > CTape::SelectionBars) return;
    m_browser.SetKind(kind);
    m_browser.EnsureVisible(m_browser.GetCurrent());
    Redraw();
}

void BrowserController::Redraw() {
    if (m_browserBox) m_browserBox->Recompose();
    if (m_vtapeBox) m_vtapeBox->Recompose();
    if (m_barBox) m_barBox->Recompose();
    if (m_redrawHook) m_redrawHook();
}

void BrowserController::LayoutBrowser(int width, int height) {
    m_browser.SetArea(0, 0, width - 1, height - 1);
    m_browser.Layout();
    m_browserView.Paint(m_browser, width, height, TodayStamp());
}

void BrowserController::LayoutVTape(int width, int height) {
    // The tape takes all but the right 105 px, which show its total duration.
    m_vtape.SetArea(0, 0, width - 105 - 1, height - 1);
    m_vtape.Layout();
    m_vtapeView.Paint(m_vtape, width, height, TodayStamp());
}

void BrowserController::ComposeBar(int width, int height) {
    if (m_barImage.size() != QSize(width, height)) m_barImage = QImage(width, height, QImage::Format_RGB32);
    m_barImage.fill(QColor(0x3A, 0x3F, 0x4A));
    QPainter p(&m_barImage);
    for (int i = 0; i < 3; ++i) {
        const int x = kButtonLeft[i];
        const bool down = m_browser.GetKind() == CTape::Grid + i;
        p.fillRect(x, 4, 24, 24, down ? QColor(0x9F, 0xAF, 0xDF) : QColor(0x60, 0x66, 0x74));
        p.setPen(down ? Qt::black : Qt::white);
        if (i == 0) {
            for (int r = 0; r < 2; ++r)
                for (int c = 0; c < 2; ++c) p.drawRect(x + 5 + c * 8, 9 + r * 8, 5, 5);
        } else if (i == 1) {
            for (int r = 0; r < 4; ++r) p.drawLine(x + 5, 9 + r * 4, x + 19, 9 + r * 4);
        } else {
            p.drawLine(x + 5, 9, x + 19, 9);
            p.drawLine(x + 5, 14, x + 14, 14);
            p.drawLine(x + 5, 19, x + 17, 19);
        }
    }
    if (m_browser.GetKind() == CTape::Grid) {
        m_columnSlider.SetRect(width - 100, 10, width - 10, 22);
        m_columnSlider.Paint(p);
    }
}

bool BrowserController::BarPress(int x, int y) {
    if (y >= 4 && y < 28)
        for (int i = 0; i < 3; ++i)
            if (x >= kButtonLeft[i] && x < kButtonLeft[i] + 24) {
                SetBrowserKind(CTape::Grid + i);
                return true;
            }
    if (m_browser.GetKind() == CTape::Grid) {
        const int code = m_columnSlider.Press(x, y);
        if (code == CScrollbar::Before || code == CScrollbar::After) {
            m_browser.SetColumns(8 - m_columnSlider.GetPosition());
            Redraw();
        }
        return code != CScrollbar::None;
    }
    return false;
}

void BrowserController::BrowserChanged() {
    m_vtape.TakeSelectionFrom(m_browser);
    Redraw();
}

void BrowserController::SetVTapeLength(int index) {
    static constexpr int kMinutes[] = {0, 74, 90, 120, 180};
    if (index < 0 || index >= static_cast<int>(std::size(kMinutes))) return;
    if (index == 0) {
        m_vtape.SetLengthMode(CTape::FixedCells);
    } else {
        m_vtape.SetLengthMode(CTape::Proportional);
        m_vtape.SetTapeMinutes(kMinutes[index]);
    }
    // A new layout starts from the tape's beginning.
    m_vtape.ScrollToStart();
    Redraw();
}

void BrowserController::VTapeChanged() {
    if (m_mode != kModeEdit) m_browser.TakeSelectionFrom(m_vtape);
    Redraw();
}

void BrowserController::ClickedRegion(CRegion* hit) {
    CRegion* current = m_browser.GetCurrent();
    if (hit && current == hit) m_core.ApplyRegionSnap(*hit, m_mode == kModeEdit);
}

void BrowserController::CompareHold(bool on) {
    if (CDSPStack* stack = m_core.Stack()) stack->SetCompareHold(on);
}

void BrowserController::StartAudition(CTape& tape, int x, int y, int origin) {
    CTransport* t = m_core.Transport();
    if (!t) return;
    // While recording, monitoring or rendering the engine is not free for an audition.
    if (!t->IsStopped()) return;
    m_auditionTape = &tape;
    m_auditionOrigin = origin;
    m_browser.SetAudition(true);
    m_vtape.SetAudition(true);
    m_browser.SetAuditioned(nullptr);
    m_vtape.SetAuditioned(nullptr);
    AuditionAt(x, y);
}

bool BrowserController::StopPlaying() {
    // A right press while playing only stops the playback: no audition, no menu, no selection.
    CTransport* t = m_core.Transport();
    if (!t || !t->IsPlaying()) return false;
    t->Stop();
    return true;
}

void BrowserController::AuditionAt(int x, int y) {
    if (!m_auditionTape) return;
    CRegion* r = m_auditionTape->RegionAtPoint(x, y);
    if (r == m_auditionTape->GetAuditioned()) return;
    m_browser.SetAuditioned(r);
    m_vtape.SetAuditioned(r);
    CTransport* t = m_core.Transport();
    if (!r) {
        // Off every item: silence until the pointer enters the next one.
        if (t && t->IsPlaying()) t->Stop();
    } else if (t) {
        // The region plays whole with its own mastering settings.
        m_core.ApplyRegionSnap(*r, m_mode == kModeEdit);
        t->PlayRequest(*r, 0, 0, m_auditionOrigin);
        // In edit mode the region graph shows what is being auditioned.
        if (m_mode == kModeEdit && m_auditionHook) m_auditionHook(r);
    }
    Redraw();
}

void BrowserController::EndAudition() {
    if (!m_auditionTape) return;
    m_auditionTape = nullptr;
    if (CTransport* t = m_core.Transport(); t && t->IsPlaying()) t->Stop();
    m_browser.SetAudition(false);
    m_vtape.SetAudition(false);
    m_browser.SetAuditioned(nullptr);
    m_vtape.SetAuditioned(nullptr);
    Redraw();
}

void BrowserController::BrowserPress(int x, int y, int button, Qt::KeyboardModifiers mods) {
    if (button == 3) {
        CompareHold(true);
        return;
    }
    if (button == 2 && StopPlaying()) return;
    int code = 0;
    CRegion* const wasCurrent = m_browser.GetCurrent();
    CRegion* hit = m_browser.Press(x, y, button == 1 ? CTape::LeftButton : CTape::RightButton,
                                   mods & Qt::ControlModifier, mods & Qt::ShiftModifier, code);
    if (button == 2) {
        if (code == CTape::HitThumbnail) {
            StartAudition(m_browser, x, y, 0);
        } else if ((code == CTape::HitLabel || code == CTape::HitSecondLabel) && m_regionMenu) {
            // The label selected its item as a left press would; the popup acts on that selection.
            BrowserChanged();
            m_regionMenu->popup(m_browserBox->mapToGlobal(QPoint(x, y)));
            return;
        }
        BrowserChanged();
        return;
    }
    if (code == CTape::HitClose) {
        std::vector<CRegion*> doomed;
        if (mods & Qt::ControlModifier) {
            for (int k = 0; CRegion* r = m_browser.SelectedAt(k); ++k) doomed.push_back(r);
        } else if (CRegion* r = m_browser.GetCurrent()) {
            doomed.push_back(r);
        }
        BrowserChanged();
        // After the press has been handled: the questions are modal.
        if (!doomed.empty() && m_deleteHook)
            QTimer::singleShot(0, m_browserBox, [this, doomed] { m_deleteHook(doomed); });
        return;
    }
    if (code == CTape::HitSecondLabel && hit && hit == wasCurrent && button == 1 && m_core.RegionList()) {
        // A press on the second label of the item that already was current renames it.
        BrowserChanged();
        QTimer::singleShot(0, m_browserBox, [this, hit] {
            if (!m_core.RegionList() || m_browser.IndexOf(hit) < 0) return;
            if (TRenameForm::RenameSelection(
                    *m_core.RegionList(), {hit}, [this](const std::string& text) { m_core.Ui().Notice(text); },
                    m_browserBox->window()) > 0)
                Redraw();
        });
        return;
    }
    if (code == CTape::HitEmpty && m_browser.GetKind() != CTape::SelectionBars) m_browser.DeselectAll();
    if (hit && code != CTape::HitClose) m_dragPending = true;
    ClickedRegion(hit);
    BrowserChanged();
}

void BrowserController::VTapePress(int x, int y, int button, Qt::KeyboardModifiers mods) {
    if (button == 3) {
        CompareHold(true);
        return;
    }
    if (button == 2 && StopPlaying()) return;
    int code = 0;
    // An audition running over the browser counts as Ctrl here: it never clears the selection.
    const bool ctrl = (mods & Qt::ControlModifier) || m_auditionTape == &m_browser;
    CRegion* hit = m_vtape.Press(x, y, button == 1 ? CTape::LeftButton : CTape::RightButton, ctrl,
                                 mods & Qt::ShiftModifier, code);
    if (button == 2) {
        if (code == CTape::HitThumbnail) {
            StartAudition(m_vtape, x, y, 1);
        } else if (m_vtapeMenu && code != CTape::HitThumb && code != CTape::HitTrackBefore &&
                   code != CTape::HitTrackAfter) {
            m_vtapeMenu->popup(m_vtapeBox->mapToGlobal(QPoint(x, y)));
        }
        VTapeChanged();
        return;
    }
    if (code == CTape::HitClose) {
        if (ctrl) {
            std::vector<CRegion*> selected;
            for (int k = 0; CRegion* r = m_vtape.SelectedAt(k); ++k) selected.push_back(r);
            for (CRegion* r : selected) m_vtape.RemoveAll(r);
        } else if (CRegion* r = m_vtape.GetCurrent()) {
            m_vtape.RemoveFirst(r);
        }
    } else if (hit) {
        m_dragPending = true;
        if (m_vtape.GetCurrent() == hit) m_core.ApplyRegionSnap(*hit, m_mode == kModeEdit);
    }
    VTapeChanged();
}

void BrowserController::VTapeDrop(int x, int y, const QString& source) {
    if (source == "browser") {
        m_browser.InsertSelectedInto(m_vtape, m_vtape.IndexAt(x, y));
        m_vtape.TakeSelectionFrom(m_browser);
    } else if (source == "vtape") {
        m_vtape.MoveAnchorToPoint(x, y);
    }
    Redraw();
}

void BrowserController::BrowserDrop(int, int, const QString&) {}

bool BrowserController::WindowKey(int key, Qt::KeyboardModifiers mods, bool tapeKeys) {
    const bool tapeKey = key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_PageUp ||
                         key == Qt::Key_PageDown || key == Qt::Key_Home || key == Qt::Key_End;
    if (tapeKeys && tapeKey) return VTapeKey(key, mods);
    return BrowserKey(key, mods);
}

void BrowserController::Wheel(int notches) {
    if (m_mode != kModeBrowse || TransportState() != kTransportStopped || notches == 0) return;
    // Turning forward (away from the user) scrolls back.
    for (int i = 0; i < std::abs(notches); ++i) notches > 0 ? m_browser.ScrollBack() : m_browser.ScrollForward();
    Redraw();
}

bool BrowserController::BrowserKey(int key, Qt::KeyboardModifiers mods) {
    if (m_mode != kModeBrowse) return false;
    switch (key) {
    case Qt::Key_Left: m_browser.Previous(); break;
    case Qt::Key_Right: m_browser.Next(); break;
    case Qt::Key_Up: m_browser.RowUp(); break;
    case Qt::Key_Down: m_browser.RowDown(); break;
    case Qt::Key_PageUp:
        for (int i = 0; i < std::max(1, m_browser.Scrollbar().GetPage()); ++i) m_browser.ScrollBack();
        break;
    case Qt::Key_PageDown:
        for (int i = 0; i < std::max(1, m_browser.Scrollbar().GetPage()); ++i) m_browser.ScrollForward();
        break;
    case Qt::Key_Home:
        if (mods & Qt::ShiftModifier) return false;
        m_browser.ScrollToStart();
        break;
    case Qt::Key_End:
        if (mods & Qt::ShiftModifier) return false;
        m_browser.ScrollToEnd();
        break;
    default: return false;
    }
    BrowserChanged();
    return true;
}

bool BrowserController::VTapeKey(int key, Qt::KeyboardModifiers) {
    switch (key) {
    case Qt::Key_Left: m_vtape.Previous(); break;
    case Qt::Key_Right: m_vtape.Next(); break;
    case Qt::Key_PageUp:
        for (int i = 0; i < std::max(1, m_vtape.Scrollbar().GetPage()); ++i) m_vtape.ScrollBack();
        break;
    case Qt::Key_PageDown:
        for (int i = 0; i < std::max(1, m_vtape.Scrollbar().GetPage()); ++i) m_vtape.ScrollForward();
        break;
    case Qt::Key_Home: m_vtape.ScrollToStart(); break;
    case Qt::Key_End: m_vtape.ScrollToEnd(); break;
    default: return false;
    }
    VTapeChanged();
    return true;
}

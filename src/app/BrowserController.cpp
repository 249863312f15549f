#include "app/BrowserController.h"

#include <QBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QVariant>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <cstdlib>

#include "app/CommandTable.h"
#include "app/PanelBox.h"
#include "app/TapeBox.h"
#include "app/WindowAreas.h"
#include "common/Clock.h"
#include "common/FolderId.h"
#include "common/TransportState.h"
#include "core/CCore.h"
#include "core/EngineSnapshot.h"
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
        if (m_browser.ScrollbarDragging()) {
            if (m_browser.DragScrollbar(x, y)) Redraw();
        } else if (m_dragPending && (buttons & Qt::LeftButton)) {
            m_dragPending = false;
            m_browserBox->StartDrag("browser");
        }
    };
    b.release = [this](int, int, int) {
        m_dragPending = false;
        m_browser.Release();
    };
    b.doubleClick = [this](int x, int y) {
        // The region goes onto the VTape; opening it in the wave viewer comes with the viewer.
        int code = 0;
        CRegion* r = m_browser.RegionAtPoint(x, y);
        if (!r) return;
        m_browser.Press(x, y, CTape::LeftButton, false, false, code);
        m_vtape.Add(r);
        BrowserChanged();
    };
    b.wheel = [this](int notches) {
        if (m_mode != kModeBrowse || m_transportState != kTransportStopped) return;
        // Turning forward (away from the user) scrolls back.
        for (int i = 0; i < std::abs(notches); ++i) notches > 0 ? m_browser.ScrollBack() : m_browser.ScrollForward();
        Redraw();
    };
    b.key = [this](int key, Qt::KeyboardModifiers mods) { return BrowserKey(key, mods); };
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
        if (m_vtape.ScrollbarDragging()) {
            if (m_vtape.DragScrollbar(x, y)) Redraw();
        } else if (m_dragPending && (buttons & Qt::LeftButton)) {
            m_dragPending = false;
            m_vtapeBox->StartDrag("vtape");
        }
    };
    v.release = [this](int, int, int) {
        m_dragPending = false;
        m_vtape.Release();
    };
    v.key = [this](int key, Qt::KeyboardModifiers mods) { return VTapeKey(key, mods); };
    v.drop = [this](int x, int y, const QString& source) { VTapeDrop(x, y, source); };
    m_vtapeBox = new TapeBox(v);
    m_vtapeBox->setObjectName("VTape");
    m_vtapeBox->setFixedHeight(kVTapePanelHeight);

    // The browser above its bar in the middle of the window (before the stretch the shell put
    // there), the VTape in the tape panel.
    areas.work->insertWidget(0, m_browserBox, 100);
    areas.work->insertWidget(1, m_barBox);
    areas.tape->addWidget(m_vtapeBox);
    // Tests reach the tapes through the widgets they drive.
    m_browserBox->setProperty("browserController", QVariant::fromValue(static_cast<void*>(this)));
}

BrowserController::~BrowserController() = default;

void BrowserController::RegisterCommands(CommandTable& commands) {
    m_commands = &commands;
    // Exporting the VTape comes with the export; until then the item is there but greyed.
    commands.Bind("vtape.exportAll", [](bool) {});
    commands.SetAvailable("vtape.exportAll", false);
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
    // Importing from the VTape's menu runs the import's file loop, which comes with the import.
    commands.Bind("vtape.importClone", [](bool) {});
    commands.SetAvailable("vtape.importClone", false);
    commands.Bind("vtape.linkOpen", [](bool) {});
    commands.SetAvailable("vtape.linkOpen", false);
    commands.Bind("vtape.removeItem", [this](bool) {
        if (CRegion* r = m_vtape.GetAnchor() ? m_vtape.GetAnchor() : m_vtape.GetCurrent()) m_vtape.RemoveFirst(r);
        VTapeChanged();
    });
    commands.Bind("vtape.locateItem", [this](bool) {
        CRegion* r = m_vtape.GetCurrent() ? m_vtape.GetCurrent() : m_vtape.GetAnchor();
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
        m_browser.EnsureVisible(r);
        BrowserChanged();
    });
    // While playing this opens the work list's item in the wave viewer; stopped it does nothing,
    // and nothing plays until the transport joins the core.
    commands.Bind("vtape.viewItem", [this](bool) {
        if (m_transportState != kTransportPlaying) return;
    });
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
    }
    ShowFolder(m_core.RegionList() ? m_core.RegionList()->GetSelectedFolder() : FolderId::User);
}

void BrowserController::CoreStopping() {
    m_browser.Clear();
    m_vtape.Clear();
}

void BrowserController::Tick(const EngineSnapshot& snapshot) { m_transportState = snapshot.transportState; }

void BrowserController::ModeChanged(int mode) {
    m_mode = mode;
    m_browserBox->setVisible(mode == kModeBrowse);
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

void BrowserController::MakeCurrent(CRegion* region) {
    if (!region) return;
    if (m_browser.Contains(region)) m_browser.Select(region);
    else m_browser.SetCurrent(region);
    m_browser.EnsureVisible(region);
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

void BrowserController::VTapeChanged() {
    if (m_mode != kModeEdit) m_browser.TakeSelectionFrom(m_vtape);
    Redraw();
}

void BrowserController::BrowserPress(int x, int y, int button, Qt::KeyboardModifiers mods) {
    if (button == 3) return; // the compare hold comes with the DSP stack's hold switch
    int code = 0;
    CRegion* hit = m_browser.Press(x, y, button == 1 ? CTape::LeftButton : CTape::RightButton,
                                   mods & Qt::ControlModifier, mods & Qt::ShiftModifier, code);
    if (button == 1) {
        if (code == CTape::HitEmpty && m_browser.GetKind() != CTape::SelectionBars) m_browser.DeselectAll();
        if (hit && code != CTape::HitClose) m_dragPending = true;
    }
    BrowserChanged();
}

void BrowserController::VTapePress(int x, int y, int button, Qt::KeyboardModifiers mods) {
    if (button == 3) return;
    int code = 0;
    const bool ctrl = mods & Qt::ControlModifier;
    CRegion* hit = m_vtape.Press(x, y, button == 1 ? CTape::LeftButton : CTape::RightButton, ctrl,
                                 mods & Qt::ShiftModifier, code);
    if (button == 2) {
        // The VTape's context menu (auditions come with the transport).
        if (m_vtapeMenu && code != CTape::HitThumbnail) m_vtapeMenu->popup(m_vtapeBox->mapToGlobal(QPoint(x, y)));
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

bool BrowserController::BrowserKey(int key, Qt::KeyboardModifiers mods) {
    if (mods & Qt::AltModifier) return VTapeKey(key, mods);
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

#include "app/DragTypes.h"
#include "app/EditController.h"

#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QVariant>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/BrowserController.h"
#include "app/CommandTable.h"
#include "app/ViewerBox.h"
#include "app/WindowAreas.h"
#include "common/TransportState.h"
#include "common/UiPort.h"
#include "core/CCore.h"
#include "core/EngineSnapshot.h"
#include "dsp/CDSPStack.h"
#include "engine/CTransport.h"
#include "library/CPrefs.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "library/CSample.h"
#include "views/CWaveViewer.h"

namespace {
constexpr int kBarHeight = 32;
// The bar's buttons in edit mode: left edges of play / stop, loop and take snap; 24 px wide.
constexpr int kButtonLeft[3] = {10, 42, 74};
constexpr int kButtonWidth = 24;
const char* const kSchemeIds[4] = {"setup.graph.blue", "setup.graph.amber", "setup.graph.yellow", "setup.graph.green"};
// Pre-roll of Ctrl+Space: the three seconds before the cursor.
constexpr int kPreRollSeconds = 3;

Qt::CursorShape ShapeOf(CWaveViewer::Pointer p) {
    switch (p) {
    case CWaveViewer::Pointer::ResizeHorizontal: return Qt::SizeHorCursor;
    case CWaveViewer::Pointer::Hand: return Qt::OpenHandCursor;
    default: return Qt::ArrowCursor;
    }
}
} // namespace

EditController::EditController(CCore& core, const WindowAreas& areas, CWaveViewer& viewer)
    : AreaController(core), m_viewer(viewer) {
    BuildBoxes(areas);
    m_viewer.SetPlayback(this);
    m_viewer.SetRedrawHook([this] { ShowImages(); });
    m_viewer.SetEditMode(false);
}

EditController::~EditController() {
    m_viewer.SetPlayback(nullptr);
    m_viewer.SetRedrawHook({});
}

void EditController::BuildBoxes(const WindowAreas& areas) {
    m_area = new QWidget;
    m_area->setObjectName("RegionGraphArea");
    auto* column = new QVBoxLayout(m_area);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    const auto resized = [this] { Resized(); };
    ViewerBox::Handlers nav;
    nav.image = [this] { return m_viewer.ComposeNavigator(); };
    nav.resized = resized;
    nav.press = [this](int x, int y, Qt::MouseButton b, Qt::KeyboardModifiers) { NavigatorPress(x, y, b); };
    nav.move = [this](int x, int, Qt::MouseButtons buttons) { NavigatorMove(x, buttons); };
    nav.release = [this](int, int, Qt::MouseButton b) { NavigatorRelease(b); };
    m_navigator = new ViewerBox(nav);
    m_navigator->setObjectName("PaintBox6");
    m_navigator->setFixedHeight(CWaveViewer::kNavigatorHeight);
    m_navigator->setToolTip(CWaveViewer::kNavigatorHint);
    m_navigator->setStatusTip(CWaveViewer::kNavigatorHint);
    m_navigator->setMouseTracking(true);

    ViewerBox::Handlers graph;
    graph.image = [this] { return m_viewer.ComposeGraph(); };
    graph.resized = resized;
    graph.press = [this](int x, int y, Qt::MouseButton b, Qt::KeyboardModifiers m) { GraphPress(x, y, b, m); };
    graph.move = [this](int x, int y, Qt::MouseButtons buttons) { GraphMove(x, y, buttons); };
    graph.release = [this](int x, int y, Qt::MouseButton b) { GraphRelease(x, y, b); };
    graph.doubleClick = [this](int, int) { LeaveEditMode(); };
    graph.drop = [this](int, int) { DropDSPPanel(); };
    graph.dropMime = kDSPPanelMime;
    m_graph = new ViewerBox(graph);
    m_graph->setObjectName("PaintBox1");
    m_graph->setToolTip(CWaveViewer::kGraphHint);
    m_graph->setStatusTip(CWaveViewer::kGraphHint);
    m_graph->setMouseTracking(true);
    m_graph->setMinimumSize(104, CWaveViewer::kRulerHeight + 20);
    // Tests reach the area through the widget they drive.
    m_graph->setProperty("editController", QVariant::fromValue(static_cast<void*>(this)));

    ViewerBox::Handlers scale;
    scale.image = [this] { return m_viewer.ScaleImage(); };
    m_scale = new ViewerBox(scale);
    m_scale->setObjectName("PaintBox4");
    m_scale->setFixedWidth(CWaveViewer::kStripWidth);

    ViewerBox::Handlers strip;
    strip.image = [this] { return m_viewer.StripImage(); };
    m_strip = new ViewerBox(strip);
    m_strip->setObjectName("PaintBox8");
    m_strip->setFixedWidth(CWaveViewer::kStripWidth);

    ViewerBox::Handlers status;
    status.image = [this] { return m_viewer.StatusImage(); };
    status.resized = resized;
    m_status = new ViewerBox(status);
    m_status->setObjectName("PaintBox5");
    m_status->setFixedHeight(CWaveViewer::kStatusHeight);

    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(m_scale);
    row->addWidget(m_graph, 1);
    row->addWidget(m_strip);
    column->addWidget(m_navigator);
    column->addLayout(row, 1);
    column->addWidget(m_status);

    ViewerBox::Handlers bar;
    bar.image = [this] { return BarImage(); };
    bar.resized = [this] {
        m_viewer.LayoutZoomSlider(m_bar->width());
        m_bar->update();
    };
    bar.press = [this](int x, int y, Qt::MouseButton b, Qt::KeyboardModifiers) {
        if (b == Qt::LeftButton) BarPress(x, y);
    };
    bar.move = [this](int x, int y, Qt::MouseButtons) {
        if (m_viewer.ZoomSliderMove(x, y)) m_bar->update();
    };
    bar.release = [this](int, int, Qt::MouseButton b) {
        if (b == Qt::LeftButton && m_viewer.ZoomSliderRelease()) m_bar->update();
    };
    bar.background = QColor(0x3A, 0x3F, 0x4A);
    m_bar = new ViewerBox(bar);
    m_bar->setObjectName("PaintBox27");
    m_bar->setFixedHeight(kBarHeight);

    // The graph area at the top of the middle and its bar where the browser's bar sits; each
    // pair shows in its own mode only.
    areas.work->insertWidget(0, m_area, 100);
    areas.work->insertWidget(std::min(3, areas.work->count()), m_bar);
    m_area->hide();
    m_bar->hide();
}

void EditController::RegisterCommands(CommandTable& commands) {
    m_commands = &commands;
    BindMenus(commands);
    BindOptions(commands);
}

void EditController::BindMenus(CommandTable& commands) {
    const auto edit = [this](std::function<void()> f) {
        return [this, f = std::move(f)](bool) {
            if (EditMode() && HasRegion()) f();
        };
    };
    // "Fade", both its shapes' rows and the graph menu's plain (Lin) rows.
    const char* const fadeIn[3] = {"edit.fade.inLin", "edit.fade.inLog", "edit.fade.inExp"};
    const char* const fadeOut[3] = {"edit.fade.outLin", "edit.fade.outLog", "edit.fade.outExp"};
    for (int shape = 0; shape < 3; ++shape) {
        commands.Bind(fadeIn[shape], edit([this, shape] { Fade(true, shape); }));
        commands.Bind(fadeOut[shape], edit([this, shape] { Fade(false, shape); }));
    }
    commands.Bind("edit.fade.resetIn", edit([this] { ResetFade(true); }));
    commands.Bind("edit.fade.resetOut", edit([this] { ResetFade(false); }));
    commands.Bind("graph.fadeIn", edit([this] { Fade(true, 0); }));
    commands.Bind("graph.fadeOut", edit([this] { Fade(false, 0); }));
    commands.Bind("graph.resetFadeIn", edit([this] { ResetFade(true); }));
    commands.Bind("graph.resetFadeOut", edit([this] { ResetFade(false); }));

    commands.Bind("edit.showAsRangeOnRoot", edit([this] { ShowAsRangeOnRoot(); }));
    commands.Bind("graph.showAsRange", edit([this] { ShowAsRangeOnRoot(); }));
    commands.Bind("edit.newMarker", edit([this] { NewMarkerAtCursor(); }));
    commands.Bind("edit.markTracks", edit([this] { MarkTracks(); }));
    commands.Bind("edit.prevMarker", edit([this] { m_viewer.CursorToPreviousStop(); }));
    commands.Bind("edit.nextMarker", edit([this] { m_viewer.CursorToNextStop(); }));

    // Selection: the viewer's range in edit mode, the browser's selection in browse mode.
    commands.Bind("edit.selectAll", [this](bool) {
        if (EditMode()) {
            if (HasRegion()) m_viewer.SelectAll();
        } else if (m_browser) {
            m_browser->SelectAllRegions();
        }
    });
    commands.Bind("edit.deselectAll", [this](bool) {
        if (EditMode()) {
            if (HasRegion()) m_viewer.ClearRange();
        } else if (m_browser) {
            m_browser->ClearSelection();
        }
    });
    commands.Bind("edit.invertSelection", [this](bool) {
        if (!EditMode() && m_browser) m_browser->InvertSelection();
    });
    commands.Bind("edit.rangeStartAtCursor", edit([this] { m_viewer.RangeStartAtCursor(); }));
    commands.Bind("edit.rangeEndAtCursor", edit([this] { m_viewer.RangeEndAtCursor(); }));
    commands.Bind("graph.rangeFromCursor", edit([this] { m_viewer.RangeStartAtCursor(); }));
    commands.Bind("graph.rangeToCursor", edit([this] { m_viewer.RangeEndAtCursor(); }));
    commands.Bind("graph.rangeAll", edit([this] { m_viewer.SelectAll(); }));
    commands.Bind("graph.rangeReset", edit([this] { m_viewer.ClearRange(); }));

    // The transport's shuttle; the transport itself knows when each acts.
    // (Plain lambdas rather than pointers to members: the sanitizing builds of the compiler we
    // use report calls through member pointers made inside nested lambdas as misaligned.)
    const auto transport = [this](std::function<void(CTransport&)> op) {
        return [this, op](bool) {
            if (CTransport* t = m_core.Transport(); t && EditMode()) op(*t);
        };
    };
    commands.Bind("transport.decShuttle", transport([](CTransport& t) { t.DecreaseShuttleSpeed(); }));
    commands.Bind("transport.incShuttle", transport([](CTransport& t) { t.IncreaseShuttleSpeed(); }));
    commands.Bind("transport.microDec", transport([](CTransport& t) { t.MicroDecreaseSpeed(); }));
    commands.Bind("transport.microInc", transport([](CTransport& t) { t.MicroIncreaseSpeed(); }));
    commands.Bind("transport.resetSpeed", transport([](CTransport& t) { t.ResetSpeed(); }));
    // Pause stops; the transport then asks the viewer to put its cursor where playing stopped.
    commands.Bind("transport.pause", transport([](CTransport& t) { t.Pause(); }));

    // "Zoom": each acts only in edit mode and on a region.
    const auto zoom = [this](std::function<void(CWaveViewer&)> op) {
        return [this, op](bool) {
            if (EditMode() && HasRegion()) op(m_viewer);
        };
    };
    commands.Bind("view.zoom.start", zoom([](CWaveViewer& v) { v.ZoomToStart(); }));
    commands.Bind("view.zoom.end", zoom([](CWaveViewer& v) { v.ZoomToEnd(); }));
    commands.Bind("view.zoom.rangeStart", zoom([](CWaveViewer& v) { v.ZoomToRangeStart(); }));
    commands.Bind("view.zoom.rangeEnd", zoom([](CWaveViewer& v) { v.ZoomToRangeEnd(); }));
    commands.Bind("view.zoom.range", zoom([](CWaveViewer& v) { v.ZoomToRange(); }));
    commands.Bind("view.zoom.fadeIn", zoom([](CWaveViewer& v) { v.ZoomToFadeIn(); }));
    commands.Bind("view.zoom.fadeOut", zoom([](CWaveViewer& v) { v.ZoomToFadeOut(); }));
    commands.Bind("view.zoom.cursor", zoom([](CWaveViewer& v) { v.ZoomToCursor(); }));
    commands.Bind("view.zoom.reset", zoom([](CWaveViewer& v) { v.ZoomReset(); }));

    commands.Bind("setup.graph.rebuild", edit([this] { RebuildGraph(); }));
}

void EditController::BindOptions(CommandTable& commands) {
    commands.Bind("setup.viewer.autoLoop", [this](bool on) { m_autoLoop = on; });
    commands.Bind("setup.viewer.scroll", [this](bool on) { m_scroll = on; });
    commands.Bind("setup.viewer.mono", [this](bool on) {
        m_viewer.SetMono(on);
        Repaint();
    });
    commands.Bind("setup.viewer.log", [this](bool on) {
        m_viewer.SetLog(on);
        Repaint();
    });
    for (int i = 0; i < 4; ++i) commands.Bind(kSchemeIds[i], [this, i](bool) { SetScheme(i); });
}

void EditController::CoreStarted() {
    // The viewer's options and the colour scheme as they were stored; a key never written
    // leaves the option off and the scheme Blue.
    if (CPrefs* prefs = m_core.Prefs()) {
        const auto flag = [prefs](int key) { return prefs->Has(key) && prefs->GetByte(key) != 0; };
        m_autoLoop = flag(kAutoLoopKey);
        m_scroll = flag(kScrollKey);
        m_viewer.SetMono(flag(kMonoKey));
        m_viewer.SetLog(flag(kLogKey));
        if (prefs->Has(kSchemeKey)) m_viewer.SetColourScheme(prefs->GetInt(kSchemeKey));
    }
    if (m_commands) {
        const auto check = [this](const char* id, bool on) {
            if (QAction* a = m_commands->Action(id)) a->setChecked(on);
        };
        check("setup.viewer.autoLoop", m_autoLoop);
        check("setup.viewer.scroll", m_scroll);
        check("setup.viewer.mono", m_viewer.Mono());
        check("setup.viewer.log", m_viewer.Log());
        m_graphMenu = new QMenu(m_graph);
        m_graphMenu->setObjectName("RegionGraphMenu");
        m_commands->FillMenu("@RegionGraph", m_graphMenu);
    }
    SetScheme(m_viewer.ColourScheme());
}

void EditController::CoreStopping() {
    HideLine();
    m_playing = nullptr;
    if (CPrefs* prefs = m_core.Prefs()) {
        prefs->SetByte(kAutoLoopKey, m_autoLoop ? 1 : 0);
        prefs->SetByte(kScrollKey, m_scroll ? 1 : 0);
        prefs->SetByte(kMonoKey, m_viewer.Mono() ? 1 : 0);
        prefs->SetByte(kLogKey, m_viewer.Log() ? 1 : 0);
        prefs->SetInt(kSchemeKey, m_viewer.ColourScheme());
    }
    // The view window of the region on display goes back into it; then nothing refers to the
    // library any more.
    if (m_viewer.CurrentRegion()) m_viewer.SaveViewWindow();
    m_viewer.RemoveRegion();
}

void EditController::SetScheme(int scheme) {
    m_viewer.SetColourScheme(scheme);
    CheckScheme();
    if (m_schemeHook) m_schemeHook(m_viewer.ColourScheme());
    Repaint();
}

void EditController::CheckScheme() {
    if (!m_commands) return;
    for (int i = 0; i < 4; ++i)
        if (QAction* a = m_commands->Action(kSchemeIds[i])) a->setChecked(i == m_viewer.ColourScheme());
}

void EditController::ModeChanged(int mode) {
    const bool wasEdit = EditMode();
    m_mode = mode;
    m_viewer.SetEditMode(mode == kModeEdit);
    if (mode == kModeBrowse) {
        HideLine();
        m_playing = nullptr;
        // Leaving edit mode: the region keeps the window it was shown in, and the viewer
        // shows nothing in browse mode.
        if (wasEdit && m_viewer.CurrentRegion()) m_viewer.SaveViewWindow();
        m_viewer.RemoveRegion();
        if (m_middleHeld) SetCompareHold(false);
        m_rightHeld = m_middleHeld = false;
    }
    m_area->setVisible(mode == kModeEdit);
    m_bar->setVisible(mode == kModeEdit);
    if (mode == kModeEdit) Repaint();
}

bool EditController::HasRegion() const { return m_viewer.CurrentRegion() != nullptr; }

int EditController::TransportState() const {
    const CTransport* t = m_core.Transport();
    return t ? t->State() : kTransportStopped;
}

bool EditController::OpenRegion(CRegion* region) {
    if (!region) return false;
    const int state = TransportState();
    if (state == kTransportRecording || state == kTransportMonitoring || state == kTransportRendering) return false;
    if (CTransport* t = m_core.Transport(); t && t->IsPlaying()) t->Stop();
    HideLine();
    // Another region in edit mode: the one shown keeps its window.
    if (EditMode() && m_viewer.CurrentRegion() && m_viewer.CurrentRegion() != region) m_viewer.SaveViewWindow();
    m_viewer.SetRegion(region);
    m_core.ApplyRegionSnap(*region, true);
    if (!EditMode() && m_setMode) m_setMode(kModeEdit); // shows the area and redraws
    else Repaint();
    return true;
}

void EditController::ShowAuditioned(CRegion* region) {
    if (!EditMode() || !region || region == m_viewer.CurrentRegion()) return;
    HideLine();
    if (m_viewer.CurrentRegion()) m_viewer.SaveViewWindow();
    m_viewer.SetRegion(region);
    Repaint();
}

bool EditController::LeaveEditMode() {
    if (!EditMode()) return false;
    const int state = TransportState();
    if (state == kTransportRecording || state == kTransportMonitoring || state == kTransportRendering) return false;
    m_viewer.GraphDoubleClick();
    if (CTransport* t = m_core.Transport(); t && t->IsPlaying()) t->Stop();
    if (m_setMode) m_setMode(kModeBrowse);
    return true;
}

void EditController::ClearViewer() {
    if (m_playing && m_playing == m_viewer.CurrentRegion()) m_playing = nullptr;
    HideLine();
    m_viewer.RemoveRegion();
    Repaint();
}

void EditController::Resized() {
    if (!EditMode() || !m_graph->isVisible()) return;
    Repaint();
}

void EditController::Repaint() {
    if (!EditMode()) return;
    const int w = std::max(1, m_graph->width());
    const int h = std::max(CWaveViewer::kRulerHeight + 1, m_graph->height());
    const int wn = std::max(1, m_navigator->width());
    m_lineAt = -1;
    m_viewer.Redraw(w, h, wn); // the redraw hook shows the images
    m_viewer.LayoutZoomSlider(m_bar->width());
    m_bar->update();
}

void EditController::ShowImages() {
    m_graph->update();
    m_navigator->update();
    m_scale->update();
    m_strip->update();
    m_status->update();
}

QImage EditController::BarImage() {
    const int w = std::max(1, m_bar->width());
    QImage img(w, kBarHeight, QImage::Format_RGB32);
    img.fill(QColor(0x3A, 0x3F, 0x4A));
    QPainter p(&img);
    const CTransport* t = m_core.Transport();
    const bool playing = t && t->IsPlaying();
    const bool loop = t && t->LoopSetting();
    for (int i = 0; i < 3; ++i) {
        const int x = kButtonLeft[i];
        const bool down = (i == 0 && playing) || (i == 1 && loop);
        p.fillRect(x, 4, kButtonWidth, 24, down ? QColor(0x9F, 0xAF, 0xDF) : QColor(0x60, 0x66, 0x74));
        p.setPen(down ? Qt::black : Qt::white);
        p.setBrush(down ? Qt::black : Qt::white);
        if (i == 0) {
            if (playing) {
                p.drawRect(x + 7, 11, 9, 9); // stop
            } else {
                const QPoint tri[3] = {QPoint(x + 8, 9), QPoint(x + 17, 15), QPoint(x + 8, 21)};
                p.drawPolygon(tri, 3); // play
            }
        } else if (i == 1) {
            p.setBrush(Qt::NoBrush);
            p.drawArc(x + 5, 9, 14, 12, 30 * 16, 300 * 16);
            p.drawLine(x + 17, 8, x + 17, 12);
            p.drawLine(x + 17, 12, x + 13, 12);
        } else {
            p.setBrush(Qt::NoBrush);
            p.drawRect(x + 5, 10, 14, 10);
            p.drawEllipse(x + 9, 12, 6, 6);
            p.drawRect(x + 8, 8, 4, 2);
        }
    }
    m_viewer.ZoomSliderBar().Paint(p);
    return img;
}

void EditController::BarPress(int x, int y) {
    if (!EditMode()) return;
    if (m_viewer.ZoomSliderPress(x, y)) {
        m_bar->update();
        return;
    }
    if (y < 4 || y >= 28) return;
    for (int i = 0; i < 3; ++i) {
        if (x < kButtonLeft[i] || x >= kButtonLeft[i] + kButtonWidth) continue;
        CTransport* t = m_core.Transport();
        if (i == 0) {
            if (t && t->IsPlaying()) t->Stop();
            else if (TransportState() == kTransportStopped) PlayRangeOrCursor();
        } else if (i == 1) {
            if (t) t->ToggleLoopSetting();
        } else if (m_commands) {
            if (QAction* snap = m_commands->Action("graph.takeSnap")) snap->trigger();
        }
        m_bar->update();
        return;
    }
}

void EditController::GraphPress(int x, int y, Qt::MouseButton button, Qt::KeyboardModifiers mods) {
    if (!EditMode()) return;
    switch (button) {
    case Qt::LeftButton:
        // A press on the graph takes the keys away from whatever control had them.
        if (QWidget* focus = QApplication::focusWidget()) focus->clearFocus();
        m_viewer.GraphPress(x, y, mods & Qt::ShiftModifier, mods & Qt::AltModifier);
        break;
    case Qt::RightButton:
        m_rightHeld = true;
        m_graph->grabMouse();
        m_viewer.GraphRightPress();
        break;
    case Qt::MiddleButton:
        m_middleHeld = true;
        m_viewer.GraphMiddlePress();
        break;
    default: break;
    }
    m_bar->update();
}

void EditController::GraphMove(int x, int, Qt::MouseButtons buttons) {
    if (!EditMode()) return;
    const CWaveViewer::Pointer shape = m_viewer.GraphMove(x, (buttons & Qt::RightButton) != 0);
    if (shape != CWaveViewer::Pointer::Unchanged) m_graph->setCursor(ShapeOf(shape));
}

void EditController::GraphRelease(int x, int y, Qt::MouseButton button) {
    if (!EditMode()) return;
    switch (button) {
    case Qt::LeftButton: {
        const CWaveViewer::GraphReleaseResult r = m_viewer.GraphRelease(x);
        if (r.stopPlayback)
            if (CTransport* t = m_core.Transport(); t && t->IsPlaying()) t->Stop();
        break;
    }
    case Qt::RightButton:
        if (!m_rightHeld) break;
        m_rightHeld = false;
        m_graph->releaseMouse();
        m_viewer.GraphRightRelease();
        // The menu comes up when the right button does, as the platform's context menus do.
        if (m_graphMenu && m_graph->rect().contains(x, y)) m_graphMenu->popup(m_graph->mapToGlobal(QPoint(x, y)));
        break;
    case Qt::MiddleButton:
        if (!m_middleHeld) break;
        m_middleHeld = false;
        m_viewer.GraphMiddleRelease();
        break;
    default: break;
    }
    m_bar->update();
}

void EditController::NavigatorPress(int x, int y, Qt::MouseButton button) {
    if (!EditMode()) return;
    if (button == Qt::LeftButton) {
        if (QWidget* focus = QApplication::focusWidget()) focus->clearFocus();
        m_viewer.NavigatorPress(x, y);
    } else if (button == Qt::RightButton) {
        m_rightHeld = true;
        m_navigator->grabMouse();
        m_viewer.NavigatorRightPress(x);
    }
    m_bar->update();
}

void EditController::NavigatorMove(int x, Qt::MouseButtons) {
    if (!EditMode()) return;
    const CWaveViewer::Pointer shape = m_viewer.NavigatorMove(x);
    if (shape != CWaveViewer::Pointer::Unchanged) m_navigator->setCursor(ShapeOf(shape));
}

void EditController::NavigatorRelease(Qt::MouseButton button) {
    if (!EditMode()) return;
    if (button == Qt::LeftButton) {
        m_viewer.NavigatorRelease();
    } else if (button == Qt::RightButton && m_rightHeld) {
        m_rightHeld = false;
        m_navigator->releaseMouse();
        m_viewer.NavigatorRightRelease();
    }
    m_bar->update();
}

void EditController::DropDSPPanel() {
    if (!EditMode() || !m_commands) return;
    // The snap itself is the DSP commands' ("Take DSP Snap").
    if (QAction* snap = m_commands->Action("graph.takeSnap")) snap->trigger();
}

// ---- playback for the viewer ----

bool EditController::IsPlaying() const {
    const CTransport* t = m_core.Transport();
    return t && t->IsPlaying();
}

void EditController::Stop() {
    if (CTransport* t = m_core.Transport(); t && t->IsPlaying()) t->Stop();
}

void EditController::Play(const CRegion& region, int32_t from, int32_t to) {
    CTransport* t = m_core.Transport();
    if (!t) return;
    // The engine is busy with a recording or a render; the viewer only plays while it is free.
    if (!t->IsStopped() && !t->IsPlaying()) return;
    // A play request ending at 0 would mean the whole region: an empty span plays nothing.
    if (to <= from) return;
    if (t->IsPlaying()) t->Stop();
    HideLine();
    if (t->PlayRequest(region, from, to, 2)) m_playing = &region;
    m_bar->update();
}

int32_t EditController::PlayPosition() const {
    const CTransport* t = m_core.Transport();
    return t ? t->PlayCursor() : 0;
}

void EditController::SetCompareHold(bool on) {
    if (CDSPStack* stack = m_core.Stack()) stack->SetCompareHold(on);
}

void EditController::PlaySpan(int32_t from, int32_t to, bool range) {
    CRegion* r = m_viewer.CurrentRegion();
    if (!r) return;
    Play(*r, from, to);
    // "AutoLoop Range": a range played from the graph repeats until stopped.
    if (range && m_autoLoop)
        if (CTransport* t = m_core.Transport(); t && t->IsPlaying()) t->SetLoop(true);
}

void EditController::PlayRangeOrCursor() {
    if (!HasRegion()) return;
    if (m_viewer.RangeActive()) {
        PlaySpan(std::min(m_viewer.RangeStart(), m_viewer.RangeEnd()),
                 std::max(m_viewer.RangeStart(), m_viewer.RangeEnd()), true);
        return;
    }
    const int32_t cursor = m_viewer.Cursor();
    const int32_t end = m_viewer.RegionLength();
    PlaySpan(cursor, end, false);
}

void EditController::PlayFromCursor() {
    if (!EditMode() || !HasRegion()) return;
    const int32_t cursor = m_viewer.Cursor();
    const bool inRange = m_viewer.RangeActive() && m_viewer.RangeStart() <= cursor && cursor < m_viewer.RangeEnd();
    PlaySpan(cursor, inRange ? m_viewer.RangeEnd() : m_viewer.RegionLength(), false);
}

void EditController::PauseAt(int32_t lastShown) {
    if (!EditMode() || !HasRegion()) return;
    HideLine();
    m_viewer.SetCursor(std::clamp<int32_t>(lastShown, 0, m_viewer.RegionLength()));
    Repaint();
}

void EditController::RemovePlayMark() {
    HideLine();
    m_bar->update();
}

void EditController::SpaceKey(Space variant) {
    if (!EditMode() || !HasRegion()) return;
    switch (variant) {
    case Space::PreRoll: {
        const int32_t cursor = m_viewer.Cursor();
        if (cursor == 0) return;
        const int64_t from = std::max<int64_t>(0, int64_t(cursor) - int64_t(kPreRollSeconds) * m_viewer.SampleRate());
        PlaySpan(static_cast<int32_t>(from), cursor, false);
        break;
    }
    case Space::Whole:
        if (TransportState() == kTransportStopped) PlaySpan(0, m_viewer.RegionLength(), false);
        break;
    case Space::RangeOrCursor: {
        const int32_t cursor = m_viewer.Cursor();
        if (m_viewer.RangeActive()) {
            PlayRangeOrCursor();
        } else {
            PlaySpan(cursor, m_viewer.RegionLength(), false);
        }
        break;
    }
    }
}

bool EditController::EditKey(int key, Qt::KeyboardModifiers mods) {
    if (!EditMode()) return false;
    const bool ctrl = mods & Qt::ControlModifier;
    const bool shift = mods & Qt::ShiftModifier;
    if (!HasRegion()) {
        // The keys belong to the graph even when it shows nothing.
        return key == Qt::Key_Home || key == Qt::Key_End || key == Qt::Key_PageUp || key == Qt::Key_PageDown ||
               key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right;
    }
    switch (key) {
    case Qt::Key_Home:
        if (shift) m_viewer.RangeFromStartToCursor();
        else m_viewer.CursorToStart();
        return true;
    case Qt::Key_End:
        if (shift) m_viewer.RangeFromCursorToEnd();
        else m_viewer.CursorToEnd();
        return true;
    case Qt::Key_PageUp: m_viewer.ScrollLeft(); return true;
    case Qt::Key_PageDown: m_viewer.ScrollRight(); return true;
    case Qt::Key_Up:
        if (ctrl) m_viewer.ZoomToCursor();
        else m_viewer.ZoomIn();
        return true;
    case Qt::Key_Down:
        if (ctrl) m_viewer.ZoomReset();
        else m_viewer.ZoomOut();
        return true;
    case Qt::Key_Left: m_viewer.MoveCursorBy(ctrl ? -10 : -1); return true;
    case Qt::Key_Right: m_viewer.MoveCursorBy(ctrl ? 10 : 1); return true;
    default: return false;
    }
}

void EditController::Wheel(int notches) {
    if (!EditMode() || !HasRegion() || notches == 0) return;
    if (TransportState() != kTransportStopped) return;
    for (int i = 0; i < std::abs(notches); ++i)
        if (!m_viewer.Wheel(notches > 0)) break;
}

// ---- the main timer ----

void EditController::Tick(const EngineSnapshot& snapshot) {
    if (!EditMode()) return;
    const CTransport* t = m_core.Transport();
    const bool here = t && snapshot.transportState == kTransportPlaying && t->GetOrigin() == 2 && m_playing &&
                      m_playing == m_viewer.CurrentRegion();
    if (!here) {
        if (m_lineAt >= 0 || m_viewer.PlayLineShown()) {
            HideLine();
            m_bar->update(); // the play button shows "play" again
        }
        if (snapshot.transportState != kTransportPlaying) m_playing = nullptr;
        return;
    }
    const int32_t position = snapshot.playCursor;
    if (position == m_lineAt) return;
    // While the user drags in the graph or the navigator the view stays where the hand put it.
    if (!m_viewer.IsBusy() && m_viewer.FollowPlayPosition(position, m_scroll)) m_lineAt = -1;
    MovePlayLine(position);
}

void EditController::MovePlayLine(int32_t position) {
    const bool shown = m_viewer.PlayLineShown() && m_lineAt >= 0;
    const int oldX = shown ? m_viewer.X(m_lineAt) : -1;
    const int oldNx = shown ? m_viewer.NavX(m_lineAt) : -1;
    m_viewer.SetPlayLine(position);
    m_lineAt = position;
    // Only the two columns of each surface change.
    const int x = m_viewer.X(position);
    const int nx = m_viewer.NavX(position);
    if (oldX >= 0) m_graph->update(oldX, 0, 1, m_graph->height());
    m_graph->update(x, 0, 1, m_graph->height());
    if (oldNx >= 0) m_navigator->update(oldNx, 0, 1, m_navigator->height());
    m_navigator->update(nx, 0, 1, m_navigator->height());
}

void EditController::HideLine() {
    if (m_viewer.PlayLineShown() && m_lineAt >= 0) {
        const int x = m_viewer.X(m_lineAt);
        const int nx = m_viewer.NavX(m_lineAt);
        m_viewer.HidePlayLine();
        m_graph->update(x, 0, 1, m_graph->height());
        m_navigator->update(nx, 0, 1, m_navigator->height());
    } else {
        m_viewer.HidePlayLine();
    }
    m_lineAt = -1;
}

// ---- commands ----

void EditController::Fade(bool in, int shape) {
    const bool changed = in ? m_viewer.FadeInToCursor(shape) : m_viewer.FadeOutFromCursor(shape);
    // The disk thread applies the fades while it reads: a playing pass would go on with the
    // old ones.
    if (changed)
        if (CTransport* t = m_core.Transport(); t && t->IsPlaying()) t->Stop();
}

void EditController::ResetFade(bool in) {
    const bool changed = in ? m_viewer.ResetFadeIn() : m_viewer.ResetFadeOut();
    if (changed)
        if (CTransport* t = m_core.Transport(); t && t->IsPlaying()) t->Stop();
}

void EditController::NewMarkerAtCursor() {
    CRegion* r = m_viewer.CurrentRegion();
    const CTransport* t = m_core.Transport();
    if (!r || !t) return;
    int64_t at = 0;
    if (t->IsStopped()) at = m_viewer.Cursor();
    else if (t->IsPlaying() && m_playing == r) at = t->PlayCursor();
    else return;
    r->NewMarker(std::clamp<int64_t>(at, 0, m_viewer.RegionLength()));
    m_viewer.RedrawLast();
}

void EditController::MarkTracks() {
    CRegion* r = m_viewer.CurrentRegion();
    if (!r) return;
    std::vector<int64_t> added;
    if (m_viewer.MarkTracks(added)) {
        r->ShowMarkers();
        m_viewer.RedrawLast();
    }
}

void EditController::ShowAsRangeOnRoot() {
    CRegion* r = m_viewer.CurrentRegion();
    CRegionList* list = m_core.RegionList();
    if (!r || !list || r->IsRoot()) return;
    CRegion* root = list->RootOf(r->GetSample());
    if (!root) return;
    if (CTransport* t = m_core.Transport(); t && t->IsPlaying()) t->Stop();
    HideLine();
    m_viewer.SaveViewWindow();
    m_viewer.ShowRangeOnRoot(root, r->GetStart(), r->GetEnd());
    m_core.ApplyRegionSnap(*root, true);
    // The root's folder in the region tree, with the root brought into view.
    list->SetLastShown(root->GetId());
    if (m_selectFolder) m_selectFolder(root->GetParentId());
    if (m_browser) m_browser->MakeCurrent(root);
}

void EditController::RebuildGraph() {
    if (!m_peakBuffers) return;
    if (CTransport* t = m_core.Transport(); t && !t->IsStopped()) return;
    bool cancelled = false;
    std::string error;
    if (m_viewer.RebuildGraph(&m_core.Ui(), *m_peakBuffers, cancelled, error)) {
        Repaint();
    } else if (!error.empty() && !cancelled) {
        m_core.Ui().Notice(error, "Rebuild Graph");
    }
}

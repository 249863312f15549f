// The edit mode through the real window: a double click on a region opens its region graph
// (and one on the graph goes back), the menus of each mode, the graph's mouse (cursor, range
// drags with their history entries, the right button playing through the null device), the
// window's keys and wheel in edit mode, the zoom menu, the play-position line and the view that
// follows it, and the viewer's options kept in the preferences across a restart.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <memory>

#include "app/DragTypes.h"
#include "app/BrowserController.h"
#include "app/CommandTable.h"
#include "app/EditController.h"
#include "app/TForm1.h"
#include "app/TapeBox.h"
#include "app/ViewerBox.h"
#include "app/WindowKeys.h"
#include "core/CCore.h"
#include "library/CPrefs.h"
#include "engine/AudioIOThread.h"
#include "engine/CTransport.h"
#include "engine/NullDevice.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "support/AudioFiles.h"
#include "support/ScriptedUiPort.h"
#include "views/CWaveViewer.h"
#include "WindowTestSupport.h"

namespace {
// The item of a menu bar menu (or submenu path "View/Zoom") with this caption.
QAction* MenuItem(TForm1& form, const QString& path, const QString& caption) {
    QMenu* menu = form.findChild<QMenu*>("menu:" + path);
    if (!menu) return nullptr;
    for (QAction* a : menu->actions())
        if (a->text() == caption) return a;
    return nullptr;
}

bool MenuShown(TForm1& form, const QString& path) {
    QMenu* menu = form.findChild<QMenu*>("menu:" + path);
    return menu && menu->menuAction()->isVisible();
}

} // namespace

class EditModeTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QTemporaryDir m_sources;
    ScriptedUiPort m_ui;
    std::unique_ptr<TForm1> m_form;
    BrowserController* c = nullptr;
    EditController* e = nullptr;
    TapeBox* m_browser = nullptr;
    ViewerBox* m_graph = nullptr;
    CRegion* m_long = nullptr;  // ten seconds
    CRegion* m_short = nullptr; // one second

    CTransport& Transport() { return *m_form->Core().Transport(); }
    CWaveViewer& Viewer() { return e->Viewer(); }
    std::string Source(const char* name, double seconds) {
        const std::string folder = m_sources.path().toStdString();
        if (!MakeWavFile(folder, name, SineTone(seconds), 44100)) return {};
        return folder + "/" + name;
    }
    QPoint Thumb(int i) {
        const TapeRect& r = c->Browser().ItemAt(i).thumb;
        return QPoint(r.left + r.width / 2, r.top + r.height / 2);
    }
    int IndexOf(CRegion* r) { return c->Browser().IndexOf(r); }
    // Opens a region by a double click on its thumbnail and waits for the graph at its size.
    void Open(CRegion* r) {
        if (m_form->Mode() != kModeBrowse) m_form->SetMode(kModeBrowse);
        c->Redraw();
        QTRY_VERIFY(c->Browser().ItemAt(IndexOf(r)).LaidOut());
        QTest::mouseDClick(m_browser, Qt::LeftButton, {}, Thumb(IndexOf(r)));
        QTRY_COMPARE(m_form->Mode(), int(kModeEdit));
        QCOMPARE(Viewer().CurrentRegion(), r);
        QTRY_VERIFY(m_graph->width() > 400 && Viewer().GraphWidth() == m_graph->width());
    }
    void StopAll() {
        if (!Transport().IsStopped()) Transport().Stop();
        QTRY_VERIFY(Transport().IsStopped());
    }
    // The window has the keys (no control holds the focus).
    void FocusWindow() {
        // Active, as the window the user works in: its shortcuts act only then.
        m_form->activateWindow();
        QTRY_VERIFY(m_form->isActiveWindow());
        if (QWidget* f = QApplication::focusWidget()) f->clearFocus();
        m_form->setFocus();
    }

private slots:
    void initTestCase() {
        m_form = std::make_unique<TForm1>(WindowEnv(m_dir, m_ui));
        QVERIFY(m_form->StartupComplete());
        CCore& core = m_form->Core();
        core.AudioThread()->SetPlaybackDevice(core.Devices()->NullOutputIndex() - 1);
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        c = BrowserOf(*m_form);
        e = EditOf(*m_form);
        m_browser = m_form->findChild<TapeBox*>("RegionBrowser");
        m_graph = m_form->findChild<ViewerBox*>("PaintBox1");
        QVERIFY(c && e && m_browser && m_graph);
        m_ui.fileAnswers.push_back({Source("long.wav", 10.0), Source("short.wav", 1.0)});
        QVERIFY(m_form->Commands().Dispatch("file.importCopy"));
        QTRY_COMPARE(c->Browser().Count(), 2);
        QTRY_VERIFY(m_browser->width() > 400);
        for (int i = 0; i < 2; ++i) {
            CRegion* r = c->Browser().RegionAt(i);
            if (r->GetName() == "long") m_long = r;
            if (r->GetName() == "short") m_short = r;
        }
        QVERIFY(m_long && m_short);
    }

    void doubleClicksSwitchModesAndTheMenusFollow() {
        QCOMPARE(m_form->Mode(), int(kModeBrowse));
        QVERIFY(!e->Area()->isVisible());
        QVERIFY(!MenuShown(*m_form, "Transport"));
        QVERIFY(!MenuShown(*m_form, "View/Zoom"));
        QVERIFY(!MenuShown(*m_form, "Edit/Fade"));
        QVERIFY(MenuItem(*m_form, "File", "Import Audio File (Copy) ...")->isVisible());
        QVERIFY(MenuItem(*m_form, "Edit", "Invert Selection")->isVisible());
        QVERIFY(!MenuItem(*m_form, "Edit", "New Marker at Cursor")->isVisible());
        QVERIFY(!MenuItem(*m_form, "Edit", "Start Selection At Cursor")->isVisible());
        QVERIFY(MenuItem(*m_form, "Edit", "Select All")->isVisible());

        Open(m_long);
        // The graph and its bar and the DSP panel instead of the browser and its bar; the
        // region went onto the VTape.
        QVERIFY(e->Area()->isVisible() && e->BarBox()->isVisible());
        QVERIFY(m_form->findChild<QWidget*>("DSPPanel")->isVisible());
        QVERIFY(!m_browser->isVisible());
        QVERIFY(!m_form->findChild<QWidget*>("BrowserBar")->isVisible());
        QVERIFY(c->VTape().Contains(m_long));
        QCOMPARE(m_graph->toolTip(), QString(CWaveViewer::kGraphHint));
        QCOMPARE(e->NavigatorBox()->toolTip(), QString(CWaveViewer::kNavigatorHint));
        // Five surfaces at their sizes.
        QCOMPARE(e->NavigatorBox()->height(), 50);
        QCOMPARE(e->ScaleBox()->width(), 20);
        QCOMPARE(e->StripBox()->width(), 20);
        QCOMPARE(e->StatusBox()->height(), 19);
        QCOMPARE(Viewer().NavigatorImage().width(), e->NavigatorBox()->width());
        QVERIFY(MenuShown(*m_form, "Transport"));
        QVERIFY(MenuShown(*m_form, "View/Zoom"));
        QVERIFY(MenuShown(*m_form, "Edit/Fade"));
        QVERIFY(!MenuItem(*m_form, "File", "Import Audio File (Copy) ...")->isVisible());
        QVERIFY(!MenuItem(*m_form, "Edit", "Invert Selection")->isVisible());
        QVERIFY(MenuItem(*m_form, "Edit", "New Marker at Cursor")->isVisible());
        QVERIFY(MenuItem(*m_form, "Edit", "Mark Individual Tracks ")->isVisible());
        QVERIFY(MenuItem(*m_form, "Edit", "End Selection At Cursor")->isVisible());
        QCOMPARE(MenuItem(*m_form, "Edit", "Go to Next Marker")->shortcut(), QKeySequence("Tab"));
        QCOMPARE(MenuItem(*m_form, "Transport", "Pause")->shortcut(), QKeySequence("Ctrl+K"));
        QCOMPARE(MenuItem(*m_form, "Edit/Fade", "Fade Out From Cursor (Exp)")->isVisible(), true);

        // Zoomed in, the window goes back into the region when the graph is left.
        QVERIFY(m_form->Commands().Dispatch("view.zoom.cursor"));
        QCOMPARE(Viewer().ViewEnd() - Viewer().ViewStart(), 200000);
        QTest::mouseDClick(m_graph, Qt::LeftButton, {}, QPoint(100, 100));
        QTRY_COMPARE(m_form->Mode(), int(kModeBrowse));
        QCOMPARE(m_long->GetViewEnd() - m_long->GetViewStart(), 200000);
        QCOMPARE(Viewer().CurrentRegion(), static_cast<CRegion*>(nullptr));
        QVERIFY(!e->Area()->isVisible());
        QVERIFY(m_browser->isVisible());
        QVERIFY(!m_form->findChild<QWidget*>("DSPPanel")->isVisible());
        QVERIFY(!MenuShown(*m_form, "Transport"));
        // Opened again, it shows the window it was left in.
        Open(m_long);
        QCOMPARE(Viewer().ViewEnd() - Viewer().ViewStart(), 200000);
        QVERIFY(m_form->Commands().Dispatch("view.zoom.reset"));
        QCOMPARE(Viewer().ViewEnd(), Viewer().RegionLength());
    }

    // The browser had the focus from the double click; it is hidden in edit mode, and Space from
    // the keyboard plays instead of opening a combo box.
    void keysReachTheWindowAfterADoubleClickOpensTheGraph() {
        StopAll();
        if (m_form->Mode() != kModeBrowse) m_form->SetMode(kModeBrowse);
        m_form->activateWindow();
        QTRY_VERIFY(m_form->isActiveWindow());
        m_browser->setFocus(Qt::MouseFocusReason);
        QTRY_VERIFY(m_browser->hasFocus());
        Open(m_long);
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : m_form.get();
        QTest::keyClick(target, Qt::Key_Space);
        QTRY_VERIFY(Transport().IsPlaying());
        StopAll();
    }

    void theEngineBusyKeepsTheModeAsItIs() {
        Open(m_short);
        // Monitoring the input: a double click on the graph does not leave.
        m_form->Core().AudioThread()->SetRecordDevice(-1);
        QVERIFY(m_form->Commands().Action("setup.audioBoard")->isEnabled());
        Transport().Monitor();
        QVERIFY(Transport().IsMonitoring());
        // The menus know at once, before any timer tick, that only stopped rows are greyed.
        QVERIFY(!m_form->Commands().Action("setup.audioBoard")->isEnabled());
        QTest::mouseDClick(m_graph, Qt::LeftButton, {}, QPoint(100, 100));
        QCOMPARE(m_form->Mode(), int(kModeEdit));
        QCOMPARE(Viewer().CurrentRegion(), m_short);
        // Nor does a region of the VTape open meanwhile.
        QVERIFY(!e->OpenRegion(m_long));
        QCOMPARE(Viewer().CurrentRegion(), m_short);
        StopAll();
        // From browse mode, a double click in the browser does nothing while monitoring.
        m_form->SetMode(kModeBrowse);
        c->Redraw();
        QTRY_VERIFY(c->Browser().ItemAt(IndexOf(m_long)).LaidOut());
        Transport().Monitor();
        QTest::mouseDClick(m_browser, Qt::LeftButton, {}, Thumb(IndexOf(m_long)));
        QCOMPARE(m_form->Mode(), int(kModeBrowse));
        StopAll();
    }

    void delAndTheBrowseRowsDoNothingInEditMode() {
        Open(m_short);
        const int regions = m_form->RegionList()->Count();
        FocusWindow();
        QTest::keyClick(m_form.get(), Qt::Key_Delete);
        QCOMPARE(m_form->RegionList()->Count(), regions);
        QCOMPARE(m_form->Mode(), int(kModeEdit));
        QCOMPARE(Viewer().CurrentRegion(), m_short);
        QVERIFY(!m_form->Commands().Dispatch("edit.invertSelection"));
        // The zoom rows act only in edit mode.
        m_form->SetMode(kModeBrowse);
        QVERIFY(!m_form->Commands().Dispatch("view.zoom.reset"));
        QVERIFY(!m_form->Commands().Dispatch("transport.pause"));
        // In browse mode "Select All", "Invert Selection" and "Deselect All" act on the browser.
        QVERIFY(m_form->Commands().Dispatch("edit.selectAll"));
        QCOMPARE(c->Browser().CountSelected(), 2);
        QCOMPARE(c->VTape().CountSelected(), c->VTape().Count());
        QVERIFY(m_form->Commands().Dispatch("edit.invertSelection"));
        QCOMPARE(c->Browser().CountSelected(), 0);
        QVERIFY(m_form->Commands().Dispatch("edit.invertSelection"));
        QCOMPARE(c->Browser().CountSelected(), 2);
        QVERIFY(m_form->Commands().Dispatch("edit.deselectAll"));
        QCOMPARE(c->Browser().CountSelected(), 0);
    }

    void aGraphDragMakesARangeWithAHistoryEntry() {
        Open(m_long);
        QVERIFY(m_form->Commands().Dispatch("graph.rangeReset"));
        const int history = m_long->GetHistoryCount();
        const int w = m_graph->width();
        QTest::mousePress(m_graph, Qt::LeftButton, Qt::ShiftModifier, QPoint(w / 4, 100));
        SendMove(m_graph, QPoint(w / 2, 100), Qt::LeftButton);
        SendMove(m_graph, QPoint(w / 2 + 40, 100), Qt::LeftButton);
        QTest::mouseRelease(m_graph, Qt::LeftButton, {}, QPoint(w / 2 + 40, 100));
        QVERIFY(Viewer().RangeActive());
        QVERIFY(m_long->HasRange());
        QCOMPARE(m_long->GetHistoryCount(), history + 1);
        QVERIFY(m_long->GetRangeStart() < m_long->GetRangeEnd());
        QCOMPARE(int64_t(m_long->GetRangeStart()), Viewer().Pos(w / 4));
        // "Deselect All" in edit mode resets the range and adds nothing to the history.
        QVERIFY(m_form->Commands().Dispatch("edit.deselectAll"));
        QVERIFY(!Viewer().RangeActive());
        QCOMPARE(m_long->GetHistoryCount(), history + 1);
        // "Select All": the whole region.
        QVERIFY(m_form->Commands().Dispatch("edit.selectAll"));
        QVERIFY(Viewer().RangeActive());
        QCOMPARE(Viewer().RangeEnd(), Viewer().RegionLength());
        QCOMPARE(m_long->GetHistoryCount(), history + 2);
        QVERIFY(m_form->Commands().Dispatch("graph.rangeReset"));
    }

    void theRightButtonPlaysFromTheCursorAndTheLineFollows() {
        Open(m_long);
        QVERIFY(m_form->Commands().Dispatch("graph.rangeReset"));
        const int w = m_graph->width();
        // A left click puts the cursor; the right button plays from it to the region end.
        QTest::mouseClick(m_graph, Qt::LeftButton, {}, QPoint(w / 10, 100));
        const int32_t cursor = Viewer().Cursor();
        QVERIFY(cursor > 0);
        QTest::mousePress(m_graph, Qt::RightButton, {}, QPoint(w / 2, 100));
        QTRY_VERIFY(Transport().IsPlaying());
        QCOMPARE(Transport().GetOrigin(), 2);
        QCOMPARE(Transport().PlayStart(), cursor);
        QCOMPARE(Transport().PlayEnd(), Viewer().RegionLength());
        // The timer moves the play line while the play position moves.
        QTRY_VERIFY_WITH_TIMEOUT(Transport().PlayCursor() > cursor + 4096, 20000);
        QTRY_VERIFY(Viewer().PlayLineShown());
        QTest::mouseRelease(m_graph, Qt::RightButton, {}, QPoint(w / 2, 100));
        QTRY_VERIFY(Transport().IsStopped());
        QTRY_VERIFY(!Viewer().PlayLineShown());
        // The release brought up the graph's menu.
        QTRY_VERIFY(e->GraphMenu()->isVisible());
        QStringList captions;
        for (QAction* a : e->GraphMenu()->actions())
            if (a->isVisible() && !a->isSeparator()) captions << a->text();
        QVERIFY(captions.contains("Range From Cursor"));
        QVERIFY(captions.contains("Show Region As Range On Root"));
        e->GraphMenu()->hide();

        // Zoomed in at the start, a playback that leaves the window turns the page.
        Viewer().SetCursor(0);
        QVERIFY(m_form->Commands().Dispatch("view.zoom.cursor"));
        QCOMPARE(Viewer().ViewStart(), 0);
        Viewer().SetCursor(190000);
        FocusWindow();
        QTest::keyClick(m_form.get(), Qt::Key_Space);
        QTRY_VERIFY(Transport().IsPlaying());
        QCOMPARE(Transport().PlayStart(), 190000);
        QTRY_VERIFY_WITH_TIMEOUT(Viewer().ViewStart() > 0, 20000);
        QVERIFY(Viewer().ViewStart() >= 190000);
        // The wheel does nothing while playing.
        const int32_t s = Viewer().ViewStart(), end = Viewer().ViewEnd();
        SendWheel(m_graph, 120);
        SendWheel(m_graph, -120);
        QCOMPARE(Viewer().ViewStart(), s);
        QCOMPARE(Viewer().ViewEnd(), end);
        // "Pause" stops and leaves the cursor where playing was.
        QVERIFY(m_form->Commands().Dispatch("transport.pause"));
        QVERIFY(Transport().IsStopped());
        QVERIFY(Viewer().Cursor() > 190000);
        QCOMPARE(Viewer().Cursor(), Transport().lastShown);
        // Stopped, the wheel zooms: back out, forward in.
        QVERIFY(m_form->Commands().Dispatch("view.zoom.reset"));
        SendWheel(m_graph, 120);
        QVERIFY(Viewer().ViewEnd() - Viewer().ViewStart() < Viewer().RegionLength());
        SendWheel(m_graph, -120);
        SendWheel(m_graph, -120);
        QCOMPARE(Viewer().ViewEnd() - Viewer().ViewStart(), Viewer().RegionLength());
    }

    void spaceVariantsAndTheTransportsShortestSpan() {
        Open(m_long);
        QVERIFY(m_form->Commands().Dispatch("graph.rangeReset"));
        FocusWindow();
        // Ctrl+Space with the cursor one second in plays from the region start to the cursor.
        Viewer().SetCursor(44100);
        QTest::keyClick(m_form.get(), Qt::Key_Space, Qt::ControlModifier);
        QTRY_VERIFY(Transport().IsPlaying());
        QCOMPARE(Transport().PlayStart(), 0);
        QCOMPARE(Transport().PlayEnd(), 44100);
        StopAll();
        // Four seconds in: the three seconds before it.
        Viewer().SetCursor(4 * 44100);
        QTest::keyClick(m_form.get(), Qt::Key_Space, Qt::ControlModifier);
        QTRY_VERIFY(Transport().IsPlaying());
        QCOMPARE(Transport().PlayStart(), 44100);
        QCOMPARE(Transport().PlayEnd(), 4 * 44100);
        // Ctrl+Space while playing stops first, then plays again.
        QTest::keyClick(m_form.get(), Qt::Key_Space, Qt::ControlModifier);
        QTRY_VERIFY(Transport().IsPlaying());
        StopAll();
        // 4095 frames or fewer play nothing.
        Viewer().SetCursor(4095);
        QTest::keyClick(m_form.get(), Qt::Key_Space, Qt::ControlModifier);
        QVERIFY(Transport().IsStopped());
        // Shift+Space: the whole region.
        QTest::keyClick(m_form.get(), Qt::Key_Space, Qt::ShiftModifier);
        QTRY_VERIFY(Transport().IsPlaying());
        QCOMPARE(Transport().PlayStart(), 0);
        QCOMPARE(Transport().PlayEnd(), Viewer().RegionLength());
        // Space while playing stops.
        QTest::keyClick(m_form.get(), Qt::Key_Space);
        QVERIFY(Transport().IsStopped());
        // Space with a range on plays the range.
        Viewer().SetRange(true, 10000, 60000);
        QTest::keyClick(m_form.get(), Qt::Key_Space);
        QTRY_VERIFY(Transport().IsPlaying());
        QCOMPARE(Transport().PlayStart(), 10000);
        QCOMPARE(Transport().PlayEnd(), 60000);
        StopAll();
        QVERIFY(m_form->Commands().Dispatch("graph.rangeReset"));
    }

    void editModeKeysMoveTheCursorAndZoom() {
        Open(m_long);
        QVERIFY(m_form->Commands().Dispatch("view.zoom.reset"));
        FocusWindow();
        const int32_t length = Viewer().RegionLength();
        QTest::keyClick(m_form.get(), Qt::Key_End);
        QCOMPARE(Viewer().Cursor(), length);
        QTest::keyClick(m_form.get(), Qt::Key_Home);
        QCOMPARE(Viewer().Cursor(), 0);
        QTest::keyClick(m_form.get(), Qt::Key_Right, Qt::ControlModifier);
        const int32_t ten = Viewer().Cursor();
        QVERIFY(ten > 0);
        QTest::keyClick(m_form.get(), Qt::Key_Left);
        QVERIFY(Viewer().Cursor() < ten);
        // Shift+End: range from the cursor to the end, with a history entry.
        const int history = m_long->GetHistoryCount();
        QTest::keyClick(m_form.get(), Qt::Key_End, Qt::ShiftModifier);
        QVERIFY(Viewer().RangeActive());
        QCOMPARE(Viewer().RangeEnd(), length);
        QCOMPARE(m_long->GetHistoryCount(), history + 1);
        // Up zooms in, Down out, Ctrl+Down shows the whole region, Ctrl+Up the cursor's 200000.
        QTest::keyClick(m_form.get(), Qt::Key_Up);
        QVERIFY(Viewer().ViewEnd() - Viewer().ViewStart() < length);
        QTest::keyClick(m_form.get(), Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(Viewer().ViewEnd() - Viewer().ViewStart(), length);
        QTest::keyClick(m_form.get(), Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(Viewer().ViewEnd() - Viewer().ViewStart(), 200000);
        // Page Down scrolls by a sixty-fourth of the window.
        const int32_t s = Viewer().ViewStart();
        QTest::keyClick(m_form.get(), Qt::Key_PageDown);
        QCOMPARE(Viewer().ViewStart(), s + 200000 / 64);
        QVERIFY(m_form->Commands().Dispatch("graph.rangeReset"));
        QVERIFY(m_form->Commands().Dispatch("view.zoom.reset"));
    }

    void markersFadesAndTheNavigator() {
        Open(m_long);
        Viewer().SetCursor(100000);
        const int markers = m_long->Markers().Count();
        QVERIFY(m_form->Commands().Dispatch("edit.newMarker"));
        QCOMPARE(m_long->Markers().Count(), markers + 1);
        Viewer().SetCursor(0);
        QVERIFY(m_form->Commands().Dispatch("edit.nextMarker"));
        QCOMPARE(Viewer().Cursor(), 100000);
        // Tab and Shift+Tab are the marker rows' shortcuts, not the focus chain's.
        FocusWindow();
        QTest::keyClick(m_form.get(), Qt::Key_Tab);
        QCOMPARE(Viewer().Cursor(), Viewer().RegionLength());
        QTest::keyClick(m_form.get(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(Viewer().Cursor(), 100000);
        // Ctrl+I and Ctrl+O: the range from and to the cursor.
        QTest::keyClick(m_form.get(), Qt::Key_O, Qt::ControlModifier);
        QVERIFY(Viewer().RangeActive());
        QCOMPARE(Viewer().RangeStart(), 0);
        QCOMPARE(Viewer().RangeEnd(), 100000);
        QVERIFY(m_form->Commands().Dispatch("graph.rangeReset"));
        // Fades with their shapes land in the region.
        QVERIFY(m_form->Commands().Dispatch("edit.fade.inLog"));
        QCOMPARE(m_long->GetFadeInLength(), 100000);
        QCOMPARE(m_long->GetFadeInShape(), 1);
        QVERIFY(m_form->Commands().Dispatch("graph.resetFadeIn"));
        QCOMPARE(m_long->GetFadeInLength(), 0);
        // A press in the navigator outside a zoomed window shows that place until release.
        QVERIFY(m_form->Commands().Dispatch("view.zoom.cursor"));
        const int32_t s = Viewer().ViewStart();
        ViewerBox* nav = e->NavigatorBox();
        QTest::mousePress(nav, Qt::LeftButton, {}, QPoint(nav->width() - 20, 25));
        QVERIFY(Viewer().ViewStart() > s);
        QTest::mouseRelease(nav, Qt::LeftButton, {}, QPoint(nav->width() - 20, 25));
        QCOMPARE(Viewer().ViewStart(), s);
        QVERIFY(m_form->Commands().Dispatch("view.zoom.reset"));
        // The zoom slider zooms while held and its thumb comes back to the middle.
        ViewerBox* bar = e->BarBox();
        const TapeRect thumb = Viewer().ZoomSliderBar().ThumbRect();
        const QPoint grip(thumb.left + thumb.width / 2, thumb.top + thumb.height / 2);
        QTest::mousePress(bar, Qt::LeftButton, {}, grip);
        SendMove(bar, grip + QPoint(30, 0), Qt::LeftButton);
        QVERIFY(Viewer().ViewEnd() - Viewer().ViewStart() < Viewer().RegionLength());
        QTest::mouseRelease(bar, Qt::LeftButton, {}, grip + QPoint(30, 0));
        QCOMPARE(Viewer().ZoomSliderBar().GetPosition(), 50);
        QVERIFY(m_form->Commands().Dispatch("view.zoom.reset"));
    }

    void theVTapeOpensTheGraphAndTheShuttleStartsFromTheCursor() {
        m_form->SetMode(kModeBrowse);
        c->VTape().Clear();
        c->VTape().Add(m_short);
        c->Redraw();
        auto* vtape = m_form->findChild<TapeBox*>("VTape");
        QTRY_VERIFY(c->VTape().ItemAt(0).LaidOut());
        const TapeRect t = c->VTape().ItemAt(0).thumb;
        QTest::mouseDClick(vtape, Qt::LeftButton, {}, QPoint(t.left + t.width / 2, t.top + t.height / 2));
        QTRY_COMPARE(m_form->Mode(), int(kModeEdit));
        QCOMPARE(Viewer().CurrentRegion(), m_short);
        // In edit mode a double click on another VTape item shows that one instead.
        c->VTape().Add(m_long);
        c->Redraw();
        QTRY_VERIFY(c->VTape().ItemAt(1).LaidOut());
        const TapeRect t1 = c->VTape().ItemAt(1).thumb;
        QTest::mouseDClick(vtape, Qt::LeftButton, {}, QPoint(t1.left + t1.width / 2, t1.top + t1.height / 2));
        QCOMPARE(m_form->Mode(), int(kModeEdit));
        QCOMPARE(Viewer().CurrentRegion(), m_long);

        // An audition on the VTape in edit mode shows its region in the graph as it plays.
        QTest::mousePress(vtape, Qt::RightButton, {}, QPoint(t.left + t.width / 2, t.top + t.height / 2));
        QTRY_VERIFY(Transport().IsPlaying());
        QCOMPARE(Transport().GetOrigin(), 1);
        QCOMPARE(Viewer().CurrentRegion(), m_short);
        QTest::mouseRelease(vtape, Qt::RightButton, {}, QPoint(t.left + t.width / 2, t.top + t.height / 2));
        QTRY_VERIFY(Transport().IsStopped());
        QTest::mouseDClick(vtape, Qt::LeftButton, {}, QPoint(t1.left + t1.width / 2, t1.top + t1.height / 2));
        QCOMPARE(Viewer().CurrentRegion(), m_long);

        // The DSP panel's drag is taken by the graph (the snap it makes is the DSP commands').
        {
            QMimeData mime;
            mime.setData(kDSPPanelMime, "DSP Panel");
            QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(m_graph, &enter);
            QVERIFY(enter.isAccepted());
            QMimeData other;
            other.setData(TapeBox::kMimeType, "browser");
            QDragEnterEvent refused(QPoint(50, 50), Qt::CopyAction, &other, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(m_graph, &refused);
            QVERIFY(!refused.isAccepted());
        }

        // "Increase Shuttle Speed" while stopped plays from the cursor at the slowest speed;
        // while playing it doubles.
        QTRY_VERIFY(Viewer().GraphWidth() == m_graph->width());
        Viewer().SetCursor(44100);
        QTRY_COMPARE(m_form->Commands().TransportState(), int(kTransportStopped));
        QVERIFY(m_form->Commands().Dispatch("transport.incShuttle"));
        QTRY_VERIFY(Transport().IsPlaying());
        QCOMPARE(Transport().PlayStart(), 44100);
        QCOMPARE(Transport().GetOrigin(), 2);
        QCOMPARE(Transport().ShuttleSpeed(), CTransport::kMinShuttle);
        QTRY_COMPARE(m_form->Commands().TransportState(), int(kTransportPlaying));
        QVERIFY(m_form->Commands().Dispatch("transport.incShuttle"));
        QCOMPARE(Transport().ShuttleSpeed(), 2 * CTransport::kMinShuttle);
        // A new marker while playing lands at the play position, not at the cursor.
        const int markers = m_long->Markers().Count();
        QTRY_VERIFY_WITH_TIMEOUT(Transport().PlayCursor() > 44100, 20000);
        QVERIFY(m_form->Commands().Dispatch("edit.newMarker"));
        QCOMPARE(m_long->Markers().Count(), markers + 1);
        bool atPlay = false;
        for (int i = 0; i < m_long->Markers().Count(); ++i)
            if (m_long->Markers().At(i)->GetPosition() > 44100) atPlay = true;
        QVERIFY(atPlay);
        // "View Item (Region Graph)" while playing stops and opens the work list's item; there is
        // none here, so the graph stays as it is.
        QVERIFY(m_form->Commands().Dispatch("vtape.viewItem"));
        QVERIFY(Transport().IsStopped());
        QCOMPARE(Viewer().CurrentRegion(), m_long);
    }

    void aSubRegionShowsAsARangeOnItsRoot() {
        auto* sub = new CRegion("sub", 44100, 88200, m_long->GetSample(), 0, 9000, m_long->GetParentId());
        m_form->RegionList()->Insert(sub);
        QVERIFY(e->OpenRegion(sub));
        QCOMPARE(Viewer().RegionLength(), 44100);
        const int history = m_long->GetHistoryCount();
        const bool rootRange = m_long->HasRange();
        QTRY_COMPARE(m_form->Commands().TransportState(), int(kTransportStopped));
        QVERIFY(m_form->Commands().Dispatch("edit.showAsRangeOnRoot"));
        QCOMPARE(Viewer().CurrentRegion(), m_long);
        QVERIFY(Viewer().RangeActive());
        QCOMPARE(Viewer().RangeStart(), 44100);
        QCOMPARE(Viewer().RangeEnd(), 88200);
        // Neither the root's own range nor its history changed; the view shows the range.
        QCOMPARE(m_long->HasRange(), rootRange);
        QCOMPARE(m_long->GetHistoryCount(), history);
        QVERIFY(Viewer().ViewStart() < 44100 && Viewer().ViewEnd() > 88200);
        QVERIFY(Viewer().ViewEnd() - Viewer().ViewStart() < Viewer().RegionLength());
        // On a root region it does nothing.
        QVERIFY(m_form->Commands().Dispatch("edit.showAsRangeOnRoot"));
        QCOMPARE(Viewer().CurrentRegion(), m_long);
        m_form->SetMode(kModeBrowse);
        QVERIFY(m_form->RegionList()->Remove(sub));
        c->Browser().RemoveAll(sub);
        c->VTape().RemoveAll(sub);
        delete sub;
        c->Redraw();
    }

    void rebuildGraphMakesThePeaksAfreshAndTheGraphReadsThem() {
        Open(m_long);
        QTRY_COMPARE(m_form->Commands().TransportState(), int(kTransportStopped));
        const size_t drawn = m_ui.progressDraws.size();
        QVERIFY(m_form->Commands().Dispatch("setup.graph.rebuild"));
        // The build showed its progress, and the graph is drawn from the new file.
        QVERIFY(m_ui.progressDraws.size() > drawn);
        QVERIFY(!m_ui.progressVisible);
        QCOMPARE(Viewer().LoadedRegion(), m_long);
        // Only in edit mode.
        m_form->SetMode(kModeBrowse);
        QVERIFY(!m_form->Commands().Dispatch("setup.graph.rebuild"));
    }

    void anImportLetsGoOfTheGraph() {
        Open(m_short);
        m_ui.fileAnswers.push_back({Source("third.wav", 0.5)});
        // The menus know the transport's state from the timer's next tick.
        QTRY_COMPARE(m_form->Commands().TransportState(), int(kTransportStopped));
        QVERIFY(m_form->Commands().Dispatch("vtape.importClone"));
        QTRY_COMPARE(Viewer().CurrentRegion(), static_cast<CRegion*>(nullptr));
        QCOMPARE(m_form->Mode(), int(kModeEdit));
        // The VTape's "View Item (Region Graph)" acts only while playing.
        QVERIFY(m_form->Commands().Dispatch("vtape.viewItem"));
        QCOMPARE(Viewer().CurrentRegion(), static_cast<CRegion*>(nullptr));
    }

    void optionsAndTheSchemeAreKeptAcrossARestart() {
        m_form->SetMode(kModeBrowse);
        const auto toggle = [&](const char* id) {
            QAction* a = m_form->Commands().Action(id);
            QVERIFY(a && !a->isChecked());
            a->trigger();
            QVERIFY(a->isChecked());
        };
        toggle("setup.viewer.autoLoop");
        toggle("setup.viewer.scroll");
        toggle("setup.viewer.mono");
        toggle("setup.viewer.log");
        QVERIFY(e->AutoLoopRange() && e->ScrollWhenPlaying() && Viewer().Mono() && Viewer().Log());
        m_form->Commands().Action("setup.graph.green")->trigger();
        QCOMPARE(Viewer().ColourScheme(), 3);
        QVERIFY(!m_form->Commands().Action("setup.graph.blue")->isChecked());

        m_form.reset();
        m_form = std::make_unique<TForm1>(WindowEnv(m_dir, m_ui));
        QVERIFY(m_form->StartupComplete());
        EditController* again = EditOf(*m_form);
        QVERIFY(again);
        QVERIFY(again->AutoLoopRange() && again->ScrollWhenPlaying());
        QVERIFY(again->Viewer().Mono() && again->Viewer().Log());
        QCOMPARE(again->Viewer().ColourScheme(), 3);
        QVERIFY(m_form->Commands().Action("setup.viewer.mono")->isChecked());
        QVERIFY(m_form->Commands().Action("setup.graph.green")->isChecked());
        QCOMPARE(m_form->Core().Prefs()->GetByte(EditController::kLogKey), uint8_t(1));
        m_form.reset();
    }
};

QTEST_MAIN(EditModeTest)
#include "EditModeTest.moc"

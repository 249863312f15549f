// The window's key handler and wheel hook through the real window, for the rows that depend on
// the focus, the transport and Alt: a space typed into the search box stays text and plays
// nothing; Alt held keeps Up and Down on the region graph in edit mode; the wheel neither pages
// the browser nor zooms the graph while the transport plays; Alt alone sets the tape-key state
// and releasing it, or the window losing the keyboard, clears it.
#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <cmath>
#include <memory>

#include "app/BrowserController.h"
#include "app/CommandTable.h"
#include "app/EditController.h"
#include "app/TForm1.h"
#include "app/WindowKeys.h"
#include "app/TapeBox.h"
#include "app/ViewerBox.h"
#include "core/CCore.h"
#include "engine/AudioIOThread.h"
#include "engine/CTransport.h"
#include "engine/NullDevice.h"
#include "library/CRegion.h"
#include "support/AudioFiles.h"
#include "support/ScriptedUiPort.h"
#include "views/CWaveViewer.h"
#include "WindowTestSupport.h"

class WindowKeysTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QTemporaryDir m_sources;
    ScriptedUiPort m_ui;
    std::unique_ptr<TForm1> m_form;
    BrowserController* m_browserArea = nullptr;
    TapeBox* m_browser = nullptr;
    ViewerBox* m_graph = nullptr;

    CTransport& Transport() { return *m_form->Core().Transport(); }
    CWaveViewer& Viewer() { return m_form->WaveViewer(); }
    void FocusWindow() {
        m_form->activateWindow();
        QTRY_VERIFY(m_form->isActiveWindow());
        if (QWidget* f = QApplication::focusWidget()) f->clearFocus();
        m_form->setFocus();
    }
    void StopAll() {
        if (!Transport().IsStopped()) Transport().Stop();
        QTRY_VERIFY(Transport().IsStopped());
    }
    // The eight-second region, long enough to be still playing while a test looks.
    int LongIndex() {
        for (int i = 0; i < m_browserArea->Browser().Count(); ++i)
            if (m_browserArea->Browser().RegionAt(i)->GetName() == "tone0") return i;
        return -1;
    }
    void OpenFirst() {
        if (m_form->Mode() == kModeEdit) return;
        const int at = LongIndex();
        QVERIFY(at >= 0);
        m_browserArea->Redraw();
        m_browserArea->Browser().EnsureVisible(m_browserArea->Browser().RegionAt(at));
        m_browserArea->Redraw();
        QTRY_VERIFY(m_browserArea->Browser().ItemAt(at).LaidOut());
        const TapeRect& r = m_browserArea->Browser().ItemAt(at).thumb;
        QTest::mouseDClick(m_browser, Qt::LeftButton, {}, QPoint(r.left + r.width / 2, r.top + r.height / 2));
        QTRY_COMPARE(m_form->Mode(), int(kModeEdit));
        QTRY_VERIFY(m_graph->width() > 400 && Viewer().GraphWidth() == m_graph->width());
    }

private slots:
    void initTestCase() {
        m_form = std::make_unique<TForm1>(WindowEnv(m_dir, m_ui));
        QVERIFY(m_form->StartupComplete());
        CCore& core = m_form->Core();
        core.AudioThread()->SetPlaybackDevice(core.Devices()->NullOutputIndex() - 1);
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        m_browser = m_form->findChild<TapeBox*>("RegionBrowser");
        m_graph = m_form->findChild<ViewerBox*>("PaintBox1");
        QVERIFY(m_browser && m_graph);
        m_browserArea = static_cast<BrowserController*>(m_browser->property("browserController").value<void*>());
        QVERIFY(m_browserArea);
        // Enough regions for the browser to have pages to turn.
        std::vector<std::string> files;
        for (int i = 0; i < 24; ++i) {
            const std::string name = "tone" + std::to_string(i) + ".wav";
            QVERIFY(MakeWavFile(m_sources.path().toStdString(), name, SineTone(i == 0 ? 8.0 : 0.5, 330.0), 44100));
            files.push_back(m_sources.path().toStdString() + "/" + name);
        }
        m_ui.fileAnswers.push_back(files);
        QVERIFY(m_form->Commands().Dispatch("file.importCopy"));
        QTRY_COMPARE(m_browserArea->Browser().Count(), 24);
    }

    void aSpaceInTheSearchBoxIsTextAndPlaysNothing() {
        OpenFirst();
        auto* search = m_form->findChild<QLineEdit*>("SearchText");
        QVERIFY(search);
        search->setFocus();
        QTRY_VERIFY(search->hasFocus());
        QTest::keyClicks(search, "a b");
        QTest::keyClick(search, Qt::Key_Space);
        QCOMPARE(search->text(), QString("a b "));
        QVERIFY(Transport().IsStopped());
        // Esc in the box leaves a running transport alone, too.
        FocusWindow();
        QTest::keyClick(m_form.get(), Qt::Key_Space);
        QTRY_VERIFY(Transport().IsPlaying());
        search->setFocus();
        QTRY_VERIFY(search->hasFocus());
        QTest::keyClick(search, Qt::Key_Escape);
        QVERIFY(Transport().IsPlaying());
        StopAll();
        search->clear();
    }

    void altKeepsUpAndDownOnTheGraphAndReleasingItEndsTheTapeKeys() {
        OpenFirst();
        FocusWindow();
        Viewer().SetCursor(44100);
        QTest::keyClick(m_form.get(), Qt::Key_Down, Qt::ControlModifier); // the whole region
        const int32_t whole = Viewer().ViewEnd() - Viewer().ViewStart();
        QTest::keyPress(m_form.get(), Qt::Key_Alt);
        QTest::keyClick(m_form.get(), Qt::Key_Up, Qt::AltModifier);
        QVERIFY(Viewer().ViewEnd() - Viewer().ViewStart() < whole);
        QTest::keyRelease(m_form.get(), Qt::Key_Alt);
        // Released, Left moves the graph's cursor again rather than the VTape.
        const int32_t cursor = Viewer().Cursor();
        QTest::keyClick(m_form.get(), Qt::Key_Left);
        QVERIFY(Viewer().Cursor() < cursor);
    }

    void altLeftBehindByAnotherWindowEndsTheTapeKeys() {
        // Alt+Tab: Alt goes down in the window, another window becomes active and gets the
        // release. Back in the window, Left is the graph's again, not the VTape's.
        OpenFirst();
        FocusWindow();
        Viewer().SetCursor(44100);
        QTest::keyPress(m_form.get(), Qt::Key_Alt);
        QVERIFY(m_form->Keys()->TapeKeys());
        QWidget other;
        other.resize(200, 100);
        other.show();
        other.activateWindow();
        QTRY_VERIFY(other.isActiveWindow());
        QVERIFY(!m_form->Keys()->TapeKeys());
        other.hide();
        FocusWindow();
        const int32_t cursor = Viewer().Cursor();
        QTest::keyClick(m_form.get(), Qt::Key_Left);
        QVERIFY(Viewer().Cursor() < cursor);

        // The program as a whole losing the keyboard ends them too.
        QTest::keyPress(m_form.get(), Qt::Key_Alt);
        QApplicationStateChangeEvent inactive(Qt::ApplicationInactive);
        QApplication::sendEvent(qApp, &inactive);
        QVERIFY(!m_form->Keys()->TapeKeys());
    }

    void theWheelDoesNothingWhilePlaying() {
        // Edit mode: no zoom while playing, a zoom once stopped.
        OpenFirst();
        FocusWindow();
        QTest::keyClick(m_form.get(), Qt::Key_Down, Qt::ControlModifier);
        const int32_t start = Viewer().ViewStart(), end = Viewer().ViewEnd();
        QTest::keyClick(m_form.get(), Qt::Key_Space, Qt::ShiftModifier);
        QTRY_VERIFY(Transport().IsPlaying());
        SendWheel(m_graph, 120, QPoint(20, 20));
        SendWheel(m_graph, 120, QPoint(20, 20));
        QCOMPARE(Viewer().ViewStart(), start);
        QCOMPARE(Viewer().ViewEnd(), end);
        StopAll();
        SendWheel(m_graph, 120, QPoint(20, 20));
        QVERIFY(Viewer().ViewEnd() - Viewer().ViewStart() < end - start);

        // Browse mode: no page turns while the region plays on.
        m_form->SetMode(kModeBrowse);
        m_browserArea->Browser().ScrollToStart();
        m_browserArea->Redraw();
        QTRY_VERIFY(m_browserArea->Browser().ItemAt(0).LaidOut());
        QVERIFY(Transport().PlayRequest(*m_browserArea->Browser().RegionAt(LongIndex()), 0, 0, 0));
        QTRY_VERIFY(Transport().IsPlaying());
        const int first = m_browserArea->Browser().GetFirstVisible();
        SendWheel(m_browser, -120, QPoint(20, 20));
        SendWheel(m_browser, -120, QPoint(20, 20));
        QCOMPARE(m_browserArea->Browser().GetFirstVisible(), first);
        StopAll();
        SendWheel(m_browser, -120, QPoint(20, 20));
        QVERIFY(m_browserArea->Browser().GetFirstVisible() != first);
    }

    void cleanupTestCase() {
        if (m_form) StopAll();
        m_form.reset();
    }
};

QTEST_MAIN(WindowKeysTest)
#include "WindowKeysTest.moc"

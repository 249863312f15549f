// Auditions, the meters and the VTape through the real window: files imported through the
// "File" menu, regions played with the right button held over their thumbnails through the
// null device, the meters moving and then falling away, the window's keys and wheel, the VTape's
// reordering by drag and drop and its context menu's imports.
#include <QApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <cmath>
#include <memory>

#include "app/BrowserController.h"
#include "app/CommandTable.h"
#include "app/LoudnessReadout.h"
#include "app/MetersController.h"
#include "app/PanelBox.h"
#include "app/TForm1.h"
#include "app/TapeBox.h"
#include "app/WindowKeys.h"
#include "core/CCore.h"
#include "dsp/CParaEQ4B.h"
#include "engine/AudioIOThread.h"
#include "engine/CTransport.h"
#include "engine/NullDevice.h"
#include "library/CDSPSnap.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "support/AudioFiles.h"
#include "support/ScriptedUiPort.h"
#include "WindowTestSupport.h"

class AuditionTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QTemporaryDir m_sources;
    ScriptedUiPort m_ui;
    std::unique_ptr<TForm1> m_form;
    BrowserController* c = nullptr;
    TapeBox* m_browser = nullptr;
    TapeBox* m_vtape = nullptr;

    CTransport& Transport() { return *m_form->Core().Transport(); }
    std::string Source(const char* name, double seconds) {
        const std::string folder = m_sources.path().toStdString();
        if (!MakeWavFile(folder, name, SineTone(seconds), 44100)) return {};
        return folder + "/" + name;
    }
    // The centre of item i's thumbnail on a tape.
    QPoint Thumb(CTape& tape, int i) {
        const TapeRect& r = tape.ItemAt(i).thumb;
        return QPoint(r.left + r.width / 2, r.top + r.height / 2);
    }
    QPoint Label(CTape& tape, int i) {
        const TapeRect& r = tape.ItemAt(i).label;
        return QPoint(r.left + r.width / 2, r.top + r.height / 2);
    }
    void Drop(TapeBox* target, QPoint at, const char* source) {
        // As a drag does it: the enter makes the box the drop's target, then the drop.
        QMimeData mime;
        mime.setData(TapeBox::kMimeType, source);
        QDragEnterEvent enter(at, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(at), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        QVERIFY(drop.isAccepted());
    }

private slots:
    void initTestCase() {
        m_ui.folderAnswers.push_back(m_dir.path().toStdString());
        StartupEnvironment env;
        env.exeFolder = m_dir.path().toStdString();
        env.lockPath = (m_dir.path() + "/Sonquil.lock").toStdString();
        env.screenSize = QSize(1280, 1024);
        env.ui = &m_ui;
        m_form = std::make_unique<TForm1>(env);
        QVERIFY(m_form->StartupComplete());
        // No sound card here: the null device, at real-time pace (device numbers count from the
        // list's second entry; the first is the system's default).
        CCore& core = m_form->Core();
        core.AudioThread()->SetPlaybackDevice(core.Devices()->NullOutputIndex() - 1);
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        c = BrowserOf(*m_form);
        m_browser = m_form->findChild<TapeBox*>("RegionBrowser");
        m_vtape = m_form->findChild<TapeBox*>("VTape");
        QVERIFY(c && m_browser && m_vtape);

        // Three files through "Import Audio File (Copy) ...".
        m_ui.fileAnswers.push_back({Source("alpha.wav", 3.0), Source("beta.wav", 2.0), Source("gamma.wav", 1.0)});
        QVERIFY(m_form->Commands().Dispatch("file.importCopy"));
        QTRY_COMPARE(c->Browser().Count(), 3);
        QTRY_VERIFY(m_browser->width() > 400);
        c->Redraw();
    }

    void rightButtonOverAThumbnailPlaysItThroughTheNullDevice() {
        CRegion* first = c->Browser().RegionAt(0);
        // A favourite snap with its own equaliser setting: browse mode applies the favourite.
        auto* snap = new CDSPSnap("bright");
        snap->Params().Append(1, 9, 7.5f);
        first->Snaps().Append(snap);
        first->Snaps().SetCurrent(0);
        first->Snaps().SetFavourite(1);
        const QPoint at = Thumb(c->Browser(), 0);
        QTest::mousePress(m_browser, Qt::RightButton, {}, at);
        QTRY_VERIFY(Transport().IsPlaying());
        QCOMPARE(Transport().GetOrigin(), 0);
        QCOMPARE(c->Auditioned(), first);
        QVERIFY(c->Browser().GetAudition() && c->VTape().GetAudition()); // both tapes dim
        QCOMPARE(m_form->Core().Equaliser()->Param(9), 7.5f);

        // The meters and the counter move while it plays.
        QTRY_VERIFY_WITH_TIMEOUT(m_form->Core().AudioThread()->BlocksDone() > 4, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(MeterValue(0) > 0.2f, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(CounterUpper() != "00:00:00:00", 20000);
        // So does the loudness readout beside them, measured from the play's start.
        auto* readout = m_form->findChild<QLabel*>("LoudnessReadout");
        QVERIFY(readout && readout->isVisible());
        const int plays = Meters().Loudness().Plays();
        QTRY_VERIFY_WITH_TIMEOUT(std::isfinite(Meters().Loudness().Meter().Figures().integrated), 20000);
        QTRY_VERIFY(!readout->text().contains("I -inf"));
        QVERIFY(readout->text().contains(" LUFS") && readout->text().contains(" dBTP"));
        QVERIFY(Meters().Loudness().Meter().Figures().truePeak > -60.0);

        // Moving onto empty space below the items stops; back onto a thumbnail plays again.
        SendMove(m_browser, QPoint(at.x(), m_browser->height() - 5), Qt::RightButton);
        QTRY_VERIFY(Transport().IsStopped());
        // The figures stay after the stop; the next play starts them afresh.
        QVERIFY(std::isfinite(Meters().Loudness().Meter().Figures().integrated));
        QCOMPARE(c->Auditioned(), static_cast<CRegion*>(nullptr));
        QVERIFY(c->Browser().GetAudition());
        SendMove(m_browser, Thumb(c->Browser(), 1), Qt::RightButton);
        QTRY_VERIFY(Transport().IsPlaying());
        QCOMPARE(c->Auditioned(), c->Browser().RegionAt(1));
        QCOMPARE(Meters().Loudness().Plays(), plays + 1);
        QVERIFY(!std::isfinite(Meters().Loudness().Meter().Figures().integrated));

        // The release ends it.
        QTest::mouseRelease(m_browser, Qt::RightButton, {}, Thumb(c->Browser(), 1));
        QTRY_VERIFY(Transport().IsStopped());
        QVERIFY(!c->Browser().GetAudition() && !c->VTape().GetAudition());
        QCOMPARE(c->Auditioned(), static_cast<CRegion*>(nullptr));
    }

    void theLoudnessReadoutHoldsItsWidestFiguresInsideTheWindow() {
        auto* readout = m_form->findChild<QLabel*>("LoudnessReadout");
        QVERIFY(readout && readout->isVisible());
        LoudnessReadout& r = Meters().Loudness();
        const auto widestFit = [&](const QString& where) {
            QTRY_COMPARE(readout->width(), r.NeededWidth());
            const QFontMetrics fm(readout->font());
            const int room = readout->contentsRect().width();
            for (const double v : {-70.0, -88.8, -23.4, -1e300, 1e300, 5.5, -120.0})
                for (const QString& line : LoudnessReadout::Text(v, v, v, v).split('\n'))
                    QVERIFY2(fm.horizontalAdvance(line) <= room, qPrintable(where + ": " + line));
        };
        // At each of the window's font sizes the widest text fits, off the window's right edge.
        for (const char* id : {"setup.font.large", "setup.font.medium", "setup.font.small"}) {
            QVERIFY(m_form->Commands().Dispatch(id));
            widestFit(id);
            const int textRight = readout->mapTo(m_form.get(), readout->contentsRect().topRight()).x();
            QVERIFY2(textRight + 6 < m_form->width(), id);
        }
        // The label follows its own font, whatever it is.
        const QFont original = readout->font();
        for (const int px : {14, 20}) {
            QFont f = original;
            f.setPixelSize(px);
            readout->setFont(f);
            widestFit(QString::number(px) + " px");
        }
        readout->setFont(original);
        QTRY_COMPARE(readout->width(), r.NeededWidth());
        // A figure never grows beyond five characters.
        QCOMPARE(LoudnessReadout::Text(-123.4, -23.0, -1e9, 1234.5),
                 QString("M  -inf  S -23.0\nI  -inf LUFS\nTP >99.9 dBTP"));
    }

    void metersFallAwayOver199TicksAfterAStop() {
        QTimer* timer1 = nullptr;
        for (QTimer* t : m_form->findChildren<QTimer*>())
            if (t->interval() == 50) timer1 = t;
        QVERIFY(timer1);
        QTest::mousePress(m_browser, Qt::RightButton, {}, Thumb(c->Browser(), 0));
        QTRY_VERIFY(Transport().IsPlaying());
        QTRY_VERIFY_WITH_TIMEOUT(MeterValue(0) > 0.2f, 20000);
        // From here the test ticks by itself.
        timer1->stop();
        QTest::mouseRelease(m_browser, Qt::RightButton, {}, Thumb(c->Browser(), 0));
        QTRY_VERIFY(Transport().IsStopped());
        QCOMPARE(m_form->Timer().Falloff(), 200);
        const float before = MeterValue(0);
        int ticks = 0;
        m_form->Timer1Timer();
        ++ticks;
        QVERIFY(MeterValue(0) < before);
        QVERIFY(MeterValue(0) > 0.0f);
        while (m_form->Timer().Falloff() > 1 && ticks < 500) {
            m_form->Timer1Timer();
            ++ticks;
        }
        QCOMPARE(ticks, 199);
        for (int i = 0; i < 12; ++i) QCOMPARE(Display().BarAt(i).Value(), 0.0f);
        QCOMPARE(CounterUpper(), std::string("00:00:00:00"));
        QCOMPARE(Display().LowerCounter(), std::string("00:00:00:00"));
        timer1->start();
    }

    void vtapeAuditionsWithOriginOneAndARightPressWhilePlayingOnlyStops() {
        c->VTape().Clear();
        c->VTape().Add(c->Browser().RegionAt(2));
        c->Redraw();
        QTRY_VERIFY(c->VTape().ItemAt(0).LaidOut());
        QTest::mousePress(m_vtape, Qt::RightButton, {}, Thumb(c->VTape(), 0));
        QTRY_VERIFY(Transport().IsPlaying());
        QCOMPARE(Transport().GetOrigin(), 1);
        QCOMPARE(c->Auditioned(), c->VTape().RegionAt(0));
        QTest::mouseRelease(m_vtape, Qt::RightButton, {}, Thumb(c->VTape(), 0));
        QTRY_VERIFY(Transport().IsStopped());

        // Playing from elsewhere: a right press on a thumbnail stops and starts nothing.
        QVERIFY(Transport().PlayRequest(*c->Browser().RegionAt(0), 0, 0, 0));
        QVERIFY(Transport().IsPlaying());
        QTest::mousePress(m_browser, Qt::RightButton, {}, Thumb(c->Browser(), 1));
        QVERIFY(Transport().IsStopped());
        QVERIFY(!c->Browser().GetAudition());
        QTest::mouseRelease(m_browser, Qt::RightButton, {}, Thumb(c->Browser(), 1));
        QVERIFY(Transport().IsStopped());
        // On a label too: the press stops and leaves the selection as it was.
        c->Browser().DeselectAll();
        QVERIFY(Transport().PlayRequest(*c->Browser().RegionAt(0), 0, 0, 0));
        QTest::mouseClick(m_browser, Qt::RightButton, {}, Label(c->Browser(), 2));
        QVERIFY(Transport().IsStopped());
        QCOMPARE(c->Browser().CountSelected(), 0);
    }

    void aLeftClickAppliesTheRegionsSnap() {
        CRegion* second = c->Browser().RegionAt(1);
        auto* snap = new CDSPSnap("warm");
        snap->Params().Append(1, 9, -4.0f);
        second->Snaps().Append(snap); // current, no favourite
        QTest::mouseClick(m_browser, Qt::LeftButton, {}, Label(c->Browser(), 1));
        QCOMPARE(c->Browser().GetCurrent(), second);
        QCOMPARE(m_form->Core().Equaliser()->Param(9), -4.0f);
        QVERIFY(Transport().IsStopped()); // a left click selects; it does not play
    }

    void windowKeysAndWheel() {
        // A control with the focus keeps its keys: Space in an edit box plays on.
        auto* edit = new QLineEdit(m_form->findChild<QWidget*>("LeftPanel"));
        edit->show();
        QVERIFY(Transport().PlayRequest(*c->Browser().RegionAt(0), 0, 0, 0));
        edit->setFocus();
        QTRY_VERIFY(edit->hasFocus());
        QTest::keyClick(edit, Qt::Key_Space);
        QVERIFY(Transport().IsPlaying());
        QCOMPARE(edit->text(), QString(" "));
        // With the browser focused, Space stops; so does Esc.
        m_browser->setFocus();
        QTRY_VERIFY(m_browser->hasFocus());
        QTest::keyClick(m_browser, Qt::Key_Space);
        QVERIFY(Transport().IsStopped());
        QVERIFY(Transport().PlayRequest(*c->Browser().RegionAt(0), 0, 0, 0));
        QTest::keyClick(m_browser, Qt::Key_Escape);
        QVERIFY(Transport().IsStopped());
        delete edit;

        // Left and Right move the browser's single selection; the VTape follows.
        c->VTape().Clear();
        c->VTape().Add(c->Browser().RegionAt(0));
        c->VTape().Add(c->Browser().RegionAt(1));
        QTest::mouseClick(m_browser, Qt::LeftButton, {}, Label(c->Browser(), 0));
        QTest::keyClick(m_browser, Qt::Key_Right);
        QCOMPARE(c->Browser().GetCurrent(), c->Browser().RegionAt(1));
        QCOMPARE(c->Browser().CountSelected(), 1);
        QVERIFY(c->VTape().IsSelected(c->Browser().RegionAt(1)));
        // With Alt held, Left acts on the VTape and the browser takes its selection.
        QTest::keyClick(m_browser, Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(c->VTape().GetCurrent(), c->VTape().RegionAt(0));
        QCOMPARE(c->Browser().GetCurrent(), c->Browser().RegionAt(0));
        // Alt alone holds the tape keys until it is released.
        QTest::keyPress(m_browser, Qt::Key_Alt);
        QVERIFY(m_form->Keys()->TapeKeys());
        QTest::keyRelease(m_browser, Qt::Key_Alt);
        QVERIFY(!m_form->Keys()->TapeKeys());
        // A bare Alt leaves the menu bar with the focus, as the desktop has it; it is a control,
        // so the window's keys wait until the browser has the focus again.
        m_browser->setFocus();
        QTRY_VERIFY(m_browser->hasFocus());

        // F5 closes the left side panel to its strip and opens it again.
        auto* left = m_form->findChild<QWidget*>("LeftPanel");
        QTest::keyClick(m_browser, Qt::Key_F5);
        QTRY_COMPARE(left->width(), 6);
        QTest::keyClick(m_browser, Qt::Key_F5);
        QTRY_COMPARE(left->width(), 224);

        // One column makes every region a full-height row: the wheel scrolls one row per notch,
        // only while stopped; turning it forward scrolls back.
        c->Browser().SetColumns(1);
        c->Redraw();
        QCOMPARE(c->Browser().GetFirstVisible(), 0);
        auto wheel = [&](int delta) {
            QWheelEvent e(QPointF(50, 50), m_browser->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(m_browser, &e);
        };
        wheel(-120);
        QCOMPARE(c->Browser().GetFirstVisible(), 1);
        wheel(60);
        QCOMPARE(c->Browser().GetFirstVisible(), 1);
        wheel(60);
        QCOMPARE(c->Browser().GetFirstVisible(), 0);
        QVERIFY(Transport().PlayRequest(*c->Browser().RegionAt(0), 0, 0, 0));
        wheel(-240);
        QCOMPARE(c->Browser().GetFirstVisible(), 0);
        Transport().Stop();
        c->Browser().SetColumns(4);
        c->Redraw();
    }

    void dragToReorderOnTheVTapeAndDropOnEmptySpace() {
        CRegion* a = c->Browser().RegionAt(0);
        CRegion* b = c->Browser().RegionAt(1);
        CRegion* g = c->Browser().RegionAt(2);
        c->VTape().Clear();
        for (CRegion* r : {a, b, g}) c->VTape().Add(r);
        c->Redraw();
        QTRY_VERIFY(c->VTape().ItemAt(2).LaidOut());
        // Pressing the first item makes it the anchor; dropped on its right neighbour the two
        // change places.
        QTest::mousePress(m_vtape, Qt::LeftButton, {}, Label(c->VTape(), 0));
        QTest::mouseRelease(m_vtape, Qt::LeftButton, {}, Label(c->VTape(), 0));
        QCOMPARE(c->VTape().GetAnchor(), a);
        Drop(m_vtape, Label(c->VTape(), 1), "vtape");
        QCOMPARE(c->VTape().RegionAt(0), b);
        QCOMPARE(c->VTape().RegionAt(1), a);
        // Dropped on empty space, the anchor goes to the end.
        QTest::mousePress(m_vtape, Qt::LeftButton, {}, Label(c->VTape(), 0));
        QTest::mouseRelease(m_vtape, Qt::LeftButton, {}, Label(c->VTape(), 0));
        Drop(m_vtape, QPoint(c->VTape().Area().width - 20, 20), "vtape");
        QCOMPARE(c->VTape().RegionAt(0), a);
        QCOMPARE(c->VTape().RegionAt(1), g);
        QCOMPARE(c->VTape().RegionAt(2), b);

        // From the browser: its selection lands before the item under the drop point, and
        // regions already there are skipped.
        c->VTape().Clear();
        c->VTape().Add(g);
        c->Redraw();
        c->Browser().DeselectAll();
        c->Browser().Select(a);
        c->Browser().Select(g);
        Drop(m_vtape, Label(c->VTape(), 0), "browser");
        QCOMPARE(c->VTape().Count(), 2);
        QCOMPARE(c->VTape().RegionAt(0), a);
        QCOMPARE(c->VTape().RegionAt(1), g);
    }

    void vtapeMenuImportsLandOnTheVTape() {
        c->VTape().Clear();
        c->Redraw();
        const int before = c->Browser().Count();
        m_ui.fileAnswers.push_back({Source("delta.wav", 1.0), Source("epsilon.wav", 1.0)});
        QTRY_VERIFY(m_form->Commands().Dispatch("vtape.importClone"));
        QCOMPARE(c->VTape().Count(), 2);
        QCOMPARE(QString::fromStdString(c->VTape().RegionAt(0)->GetName()), QString("delta"));
        QCOMPARE(QString::fromStdString(c->VTape().RegionAt(1)->GetName()), QString("epsilon"));
        QCOMPARE(c->VTape().CountSelected(), 2);
        QTRY_COMPARE(c->Browser().Count(), before + 2);
        QVERIFY(c->Browser().IsSelected(c->VTape().RegionAt(0)));
        // Linked files land there as well; a cancelled choice changes nothing.
        m_ui.fileAnswers.push_back({Source("zeta.wav", 1.0)});
        QTRY_VERIFY(m_form->Commands().Dispatch("vtape.linkOpen"));
        QCOMPARE(c->VTape().Count(), 3);
        QTRY_VERIFY(m_form->Commands().Dispatch("vtape.linkOpen"));
        QCOMPARE(c->VTape().Count(), 3);

        // "Locate Item (Browse Panel)" finds the VTape's current item in the browser.
        c->Browser().DeselectAll();
        c->VTape().DeselectAll();
        c->VTape().Select(c->VTape().RegionAt(2));
        QVERIFY(m_form->Commands().Dispatch("vtape.locateItem"));
        QCOMPARE(c->Browser().GetCurrent(), c->VTape().RegionAt(2));
        QVERIFY(c->Browser().IsSelected(c->VTape().RegionAt(2)));
        // "View Item (Region Graph)" does nothing while stopped.
        QVERIFY(m_form->Commands().Dispatch("vtape.viewItem"));
        QCOMPARE(m_form->Mode(), 0);
    }

    // "Measure Loudness" over the selection: a progress dialog, a report, and the figures in
    // "View Region Info" until the region changes.
    void measureLoudnessFillsTheInfoRowsUntilTheRegionChanges() {
        CRegion* region = c->Browser().RegionAt(0);
        c->Browser().DeselectAll();
        c->MakeCurrent(region);
        c->Browser().Select(region);
        auto* info = m_form->findChild<QTreeWidget*>("RegionInfo");
        QVERIFY(info);
        const auto value = [info](const char* label) {
            for (int i = 0; i < info->topLevelItemCount(); ++i)
                if (info->topLevelItem(i)->text(0) == label) return info->topLevelItem(i)->text(1);
            return QString("(no row)");
        };
        QTRY_COMPARE(value("Loudness"), QString());
        m_ui.reportLines.clear();
        m_ui.progressTexts.clear();
        QVERIFY(m_form->Commands().Dispatch("edit.measureLoudness"));
        QVERIFY(!m_ui.dualVisible);
        QVERIFY(!m_ui.progressTexts.empty());
        QVERIFY(QString::fromStdString(m_ui.progressTexts.back()).startsWith("Measuring loudness of "));
        QCOMPARE(QString::fromStdString(m_ui.reportCaption), QString("Loudness Report"));
        QCOMPARE(int(m_ui.reportLines.size()), 1);
        QCOMPARE(QString::fromStdString(m_ui.reportLines[0].first), QString::fromStdString(region->GetName()));
        QVERIFY2(QString::fromStdString(m_ui.reportLines[0].second).contains(" LUFS, "),
                 m_ui.reportLines[0].second.c_str());
        QTRY_VERIFY(value("Loudness").endsWith(" LUFS"));
        QVERIFY(value("Loudness Range").endsWith(" LU"));
        QVERIFY(value("True Peak").endsWith(" dBTP"));
        QVERIFY(QString::fromStdString(m_ui.reportLines[0].second).contains(value("Loudness")));
        // A fade changes what the chain makes of the region: the figures go.
        region->SetFadeInLength(region->GetFadeInLength() + 4410);
        QTRY_COMPARE(value("Loudness"), QString());
        // Nothing selected: the export's notice.
        c->Browser().DeselectAll();
        QVERIFY(m_form->Commands().Dispatch("edit.measureLoudness"));
        QCOMPARE(QString::fromStdString(m_ui.messages.back().text), QString("No region selected."));
    }

    void cleanupTestCase() {
        if (m_form) m_form->close();
        m_form.reset();
    }

private:
    MetersController& Meters() {
        auto* meters = m_form->findChild<PanelBox*>("Meters");
        return *static_cast<MetersController*>(meters->property("metersController").value<void*>());
    }
    CAudioDisplay& Display() { return Meters().Display(); }
    float MeterValue(int bar) { return Display().BarAt(bar).Value(); }
    std::string CounterUpper() { return Display().UpperCounter(); }
    // A move with buttons held (QTest's own move carries no buttons).
    static void SendMove(QWidget* w, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent e(QEvent::MouseMove, QPointF(at), w->mapToGlobal(QPointF(at)), Qt::NoButton, buttons,
                      Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
};

QTEST_MAIN(AuditionTest)
#include "AuditionTest.moc"

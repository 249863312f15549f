// The "Record" side section through the real window and the null device's file input: its
// controls and defaults, the state table of its three buttons, Esc finishing a paused-and-
// resumed take as one region on the work list, the automatic stop with base/index naming, and
// the panel's settings kept across a restart of the program.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "app/BrowserController.h"
#include "app/RecordSection.h"
#include "app/SideSections.h"
#include "app/TForm1.h"
#include "core/CCore.h"
#include "core/CRecorder.h"
#include "engine/AudioIOThread.h"
#include "engine/CSwapper.h"
#include "engine/CTransport.h"
#include "engine/NullDevice.h"
#include "library/CRegion.h"
#include "library/CSampleList.h"
#include "support/AudioFiles.h"
#include "support/ScriptedUiPort.h"
#include "WindowTestSupport.h"

class RecordSectionTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QTemporaryDir m_sources;
    ScriptedUiPort m_ui;
    std::unique_ptr<TForm1> m_form;
    RecordSection* m_rec = nullptr;

    CTransport& Transport() { return *m_form->Core().Transport(); }
    int Samples() { return m_form->Core().SampleList()->Count(); }

    void Start() {
        m_form = std::make_unique<TForm1>(WindowEnv(m_dir, m_ui));
        QVERIFY(m_form->StartupComplete());
        CCore& core = m_form->Core();
        core.NullDevice()->settings.realTime = false;
        core.NullDevice()->settings.inputFile = m_sources.path().toStdString() + "/in.wav";
        core.AudioThread()->SetRecordDevice(core.Devices()->NullInputIndex() - 1);
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        m_rec = m_form->Record();
        QVERIFY(m_rec && m_rec->Recorder());
        // The section opened as a click on its header does.
        m_form->Sections()->HeaderClicked(SideSections::Record);
        QTRY_VERIFY(m_rec->BaseIndex()->isVisible() && m_rec->BaseIndex()->height() > 10);
    }
    void Click(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
    // A field typed into as a person does: everything selected, then the keys.
    void Type(QLineEdit* e, const QString& text) {
        e->setFocus();
        e->selectAll();
        QTest::keyClicks(e, text);
    }

private slots:
    void initTestCase() {
        // Three seconds of tone, then silence.
        std::vector<float> in = SineTone(3.0, 330.0);
        in.resize(in.size() + 2 * 44100 * 30, 0.0f);
        QVERIFY(MakeWavFile(m_sources.path().toStdString(), "in.wav", in, 44100));
        Start();
    }

    void theControlsShowTheirListsAndDefaults() {
        QCOMPARE(m_rec->Rate()->count(), 6);
        QCOMPARE(m_rec->Rate()->itemText(0), QString("32000 KHz"));
        QCOMPARE(m_rec->Rate()->itemText(4), QString("176400KHz"));
        QCOMPARE(m_rec->Rate()->currentText(), QString("44100 KHz"));
        QCOMPARE(m_rec->Depth()->itemText(1), QString("24bit (3-byte packed)"));
        QCOMPARE(m_rec->Depth()->currentText(), QString("16bit"));
        QCOMPARE(m_rec->AutoStart()->text(), QString("Auto-start when above.."));
        QCOMPARE(m_rec->AutoDelete()->text(), QString("Auto-delete if shorter then.."));
        for (QCheckBox* c : {m_rec->AutoStart(), m_rec->AutoStopBelow(), m_rec->AutoStopAfter(), m_rec->AutoDelete(),
                             m_rec->AutoRestart()})
            QVERIFY(!c->isChecked());
        QVERIFY(m_rec->UniqueId()->isChecked());
        QCOMPARE(m_rec->UniqueId()->text(), QString("Unique ID (yy mm dd hh mm ss xx)"));
        QCOMPARE(m_rec->BaseName()->text(), QString("Recording"));
        QCOMPARE(m_rec->Index()->text(), QString("000"));
        QCOMPARE(m_rec->AutoStopBelowTime()->text(), QString("00m 03s"));
        QCOMPARE(m_rec->AutoStartLevel()->text(), QString("-40dB"));
        // The time mask takes digits only.
        Type(m_rec->AutoStopAfterTime(), "0a1x30");
        QCOMPARE(m_rec->AutoStopAfterTime()->text(), QString("01m 30s"));
        QCOMPARE(m_rec->Recorder()->Settings().autoStopAfterSeconds, 90);
    }

    void theButtonsFollowTheStateTableAndEscFinishesThePausedTake() {
        const int before = Samples();
        const int work = BrowserOf(*m_form)->WorkList().Count();
        // Stop while only monitoring: nothing is made.
        Click(m_rec->MonitorButton());
        QVERIFY(Transport().IsMonitoring());
        QTRY_VERIFY(m_form->Core().AudioThread()->InputBlocksRead() > 5);
        Click(m_rec->StopButton());
        QVERIFY(Transport().IsStopped());
        QCOMPARE(Samples(), before);
        // Monitor, record, pause, record again, then Esc: one take.
        Click(m_rec->MonitorButton());
        Click(m_rec->RecordButton());
        QVERIFY(Transport().IsRecording());
        QTRY_VERIFY(m_rec->Recorder()->FramesRecorded() > 20000);
        Click(m_rec->MonitorButton());
        QVERIFY(Transport().IsMonitoring());
        Click(m_rec->MonitorButton()); // nothing while monitoring
        QVERIFY(Transport().IsMonitoring());
        const int64_t paused = m_rec->Recorder()->FramesRecorded();
        Click(m_rec->RecordButton());
        QTRY_VERIFY(m_rec->Recorder()->FramesRecorded() > paused + 20000);
        m_form->activateWindow();
        m_form->setFocus();
        QTest::keyClick(m_form.get(), Qt::Key_Escape);
        QTRY_VERIFY(Transport().IsStopped());
        QTRY_COMPARE(Samples(), before + 1);
        QCOMPARE(BrowserOf(*m_form)->WorkList().Count(), work + 1);
        QVERIFY(m_rec->Recorder()->LastTake().frames > paused + 20000);
    }

    void theAutomaticStopEndsTheTakeAndTheIndexMovesOn() {
        const int before = Samples();
        QTest::mouseClick(m_rec->BaseIndex(), Qt::LeftButton, {}, QPoint(6, m_rec->BaseIndex()->height() / 2));
        QVERIFY(m_rec->BaseIndex()->isChecked());
        Type(m_rec->BaseName(), "Take");
        Type(m_rec->Index(), "999");
        m_rec->AutoStopAfter()->setChecked(true);
        Type(m_rec->AutoStopAfterTime(), "0001");
        // The file input ran out while the last take was monitored at full speed: from the top.
        m_form->Core().NullDevice()->RewindInput();
        Click(m_rec->RecordButton());
        QVERIFY2(Transport().IsRecording(), m_ui.messages.empty() ? "" : m_ui.messages.back().text.c_str());
        QTRY_VERIFY_WITH_TIMEOUT(Transport().IsStopped() && !m_rec->Recorder()->TakeOpen(), 20000);
        QVERIFY2(Samples() == before + 1, (std::to_string(m_rec->Recorder()->LastTake().frames) + " takes " +
                                           std::to_string(m_rec->Recorder()->TakesFinished()) + " written " +
                                           std::to_string(m_form->Core().Swapper()->FramesWritten()) + " " +
                                           (m_ui.messages.empty() ? std::string() : m_ui.messages.back().text))
                                              .c_str());
        QCOMPARE(QString::fromStdString(m_rec->Recorder()->LastTake().name), QString("Take_999"));
        QCOMPARE(m_rec->Recorder()->LastTake().frames, int64_t{44100});
        QCOMPARE(m_rec->Index()->text(), QString("000"));
    }

    void thePanelIsKeptAcrossARestart() {
        m_form.reset();
        Start();
        QVERIFY(m_rec->BaseIndex()->isChecked());
        QCOMPARE(m_rec->BaseName()->text(), QString("Take"));
        QCOMPARE(m_rec->Index()->text(), QString("000"));
        QVERIFY(m_rec->AutoStopAfter()->isChecked());
        QCOMPARE(m_rec->AutoStopAfterTime()->text(), QString("00m 01s"));
        QCOMPARE(m_rec->Recorder()->Settings().autoStopAfterSeconds, 1);
    }

    void cleanupTestCase() { m_form.reset(); }
};

QTEST_MAIN(RecordSectionTest)
#include "RecordSectionTest.moc"

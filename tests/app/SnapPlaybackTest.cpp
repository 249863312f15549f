// Each of a region's snaps plays with its own settings: two snaps taken in the window with a
// different equaliser level, each picked in the snap list and played from the region graph
// through the null device, whose capture holds exactly what the device was sent.

#include <QApplication>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <memory>

#include "WindowTestSupport.h"
#include "app/BrowserController.h"
#include "app/CommandTable.h"
#include "app/EditController.h"
#include "app/TForm1.h"
#include "audiofile/AudioFileFactory.h"
#include "core/CCore.h"
#include "dsp/CParaEQ4B.h"
#include "engine/AudioIOThread.h"
#include "engine/CTransport.h"
#include "engine/NullDevice.h"
#include "library/CRegion.h"
#include "support/AudioFiles.h"
#include "support/ScriptedUiPort.h"
#include "views/CWaveViewer.h"

namespace {

constexpr int kEQ = 1;
constexpr int kEQLevel = 15; // the equaliser's output level in dB

// A steady 440 Hz sine at half scale on both channels.
std::vector<float> Sine(double seconds) {
    const int n = static_cast<int>(seconds * 44100);
    std::vector<float> v(static_cast<size_t>(n) * 2);
    for (int i = 0; i < n; ++i) v[2 * i] = v[2 * i + 1] = 0.5f * std::sin(2 * M_PI * 440.0 * i / 44100.0);
    return v;
}

// The largest absolute sample of a WAV file, past its first tenth (the equaliser settles there).
double PeakOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    std::string error;
    auto f = OpenAudioFileRead(0, path.substr(0, slash), path.substr(slash + 1), {}, error);
    if (!f) return -1.0;
    const std::vector<float> s = ReadAllFloat(*f);
    double peak = 0.0;
    for (size_t i = s.size() / 10; i < s.size(); ++i) peak = std::max(peak, std::fabs(double(s[i])));
    return peak;
}

} // namespace

class SnapPlaybackTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir, m_sources;
    ScriptedUiPort m_ui;
    std::unique_ptr<TForm1> m_form;

    CCore& Core() { return m_form->Core(); }
    CTransport& Transport() { return *Core().Transport(); }

    // Picks snap n in the snap list as a person does, then plays the region from its start
    // through the null device into the capture file; returns that file's peak.
    double PlayWithSnap(EditController& edit, int n, const QString& capture) {
        auto* list = m_form->findChild<QListWidget*>("SnapList");
        if (!list || list->count() <= n) return -1.0;
        QListWidgetItem* item = list->item(n);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
        Core().NullDevice()->settings.captureFile = capture.toStdString();
        edit.Viewer().SetCursor(0);
        edit.PlayFromCursor();
        if (!QTest::qWaitFor([&] { return Transport().IsPlaying(); }, 5000)) return -1.0;
        if (!QTest::qWaitFor([&] { return Transport().IsStopped(); }, 20000)) return -1.0;
        // The capture is complete once the audio thread has closed the device.
        if (!QTest::qWaitFor([&] { return PeakOf(capture.toStdString()) > 0.0; }, 5000)) return -1.0;
        return PeakOf(capture.toStdString());
    }

private slots:
    void twoSnapsPlayEachWithItsOwnSettings() {
        m_form = std::make_unique<TForm1>(WindowEnv(m_dir, m_ui));
        QVERIFY(m_form->StartupComplete());
        Core().NullDevice()->settings.realTime = false;
        Core().AudioThread()->SetPlaybackDevice(Core().Devices()->NullOutputIndex() - 1);
        // The loop toggle is on at start-up; each playback here runs once to the region end.
        Transport().SetLoopSetting(false);
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));

        const std::string folder = m_sources.path().toStdString();
        QVERIFY(MakeWavFile(folder, "sine.wav", Sine(1.0), 44100));
        m_ui.fileAnswers.push_back({folder + "/sine.wav"});
        QVERIFY(m_form->Commands().Dispatch("file.importCopy"));
        auto* graph = m_form->findChild<QWidget*>("PaintBox1");
        QVERIFY(graph);
        auto* edit = static_cast<EditController*>(graph->property("editController").value<void*>());
        auto* browser = m_form->findChild<QWidget*>("RegionBrowser");
        QVERIFY(edit && browser);
        auto* browse = static_cast<BrowserController*>(browser->property("browserController").value<void*>());
        QTRY_COMPARE(browse->Browser().Count(), 1);
        CRegion* region = browse->Browser().RegionAt(0);
        QVERIFY(edit->OpenRegion(region));
        QTRY_COMPARE(m_form->Mode(), int(kModeEdit));

        // Two snaps: the level as it is, then 12 dB down.
        std::string error;
        QVERIFY(Core().SetParameter(kEQ, kEQLevel, 0.0f, error));
        QVERIFY(m_form->Commands().Dispatch("dsp.takeSnap"));
        QVERIFY(Core().SetParameter(kEQ, kEQLevel, -12.0f, error));
        QVERIFY(m_form->Commands().Dispatch("dsp.takeSnap"));
        QCOMPARE(region->Snaps().Count(), 3);

        const QString dir = m_dir.path();
        const double loud = PlayWithSnap(*edit, 1, dir + "/snap1.wav");
        QCOMPARE(region->Snaps().GetCurrent(), 1);
        QCOMPARE(Core().Equaliser()->Param(kEQLevel, 99.0f), 0.0f);
        const double quiet = PlayWithSnap(*edit, 2, dir + "/snap2.wav");
        QCOMPARE(region->Snaps().GetCurrent(), 2);
        QCOMPARE(Core().Equaliser()->Param(kEQLevel, 99.0f), -12.0f);
        QVERIFY2(loud > 0.3, qPrintable(QString::number(loud)));
        // 12 dB is a factor of 0.251.
        QVERIFY2(std::fabs(quiet / loud - std::pow(10.0, -12.0 / 20.0)) < 0.02,
                 qPrintable(QString("%1 / %2").arg(quiet).arg(loud)));
        // Back on the first snap, the level is back.
        const double again = PlayWithSnap(*edit, 1, dir + "/snap1b.wav");
        QVERIFY(std::fabs(again - loud) < 1e-4);
    }

    void cleanupTestCase() { m_form.reset(); }
};

QTEST_MAIN(SnapPlaybackTest)
#include "SnapPlaybackTest.moc"

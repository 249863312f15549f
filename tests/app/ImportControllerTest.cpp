// The window's import area: files dropped from a file manager, the two import commands with
// their own remembered folders, the report switches and the storage choices, on a real core.
#include <QAction>
#include <QMimeData>
#include <QSignalSpy>
#include <QUrl>
#include <QWidget>
#include <QtTest>

#include <filesystem>
#include <fstream>

#include "app/CommandTable.h"
#include "app/ImportController.h"
#include "common/MainThreadPort.h"
#include "core/CCore.h"
#include "engine/AudioIOThread.h"
#include "engine/CPlayList.h"
#include "engine/CTransport.h"
#include "engine/NullDevice.h"
#include "library/CPrefs.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "library/CSample.h"
#include "library/CSampleList.h"
#include "support/ScriptedUiPort.h"
#include "support/TempDir.h"
#include "WindowTestSupport.h"

namespace {

const CommandRow kRows[] = {
    {"file.importCopy", "File", "Import Audio File (Copy) ...", "", kInBothModes, kInAnyState, false},
    {"file.importLink", "File", "Import Audio File (Link) ...", "", kInBothModes, kInAnyState, false},
    {"view.showImportReports", "View", "Show 'Import Audio' Reports", "", kInBothModes, kInAnyState, true},
    {"view.showLinkReports", "View", "Show 'Link Audio' Reports", "", kInBothModes, kInAnyState, true},
    {"setup.storage.none", "Setup", "No Compression", "", kInBothModes, kInAnyState, true},
    {"setup.storage.lossless", "Setup", "Lossless Compression", "", kInBothModes, kInAnyState, true},
    {"setup.storage.hq", "Setup", "Lossy Compression HQ", "", kInBothModes, kInAnyState, true},
    {"setup.storage.sp", "Setup", "Lossy Compression SP", "", kInBothModes, kInAnyState, true},
    {"setup.storage.lp", "Setup", "Lossy Compression LP", "", kInBothModes, kInAnyState, true},
    {"setup.onImport.transcode", "Setup", "Transcode Compressed Files", "", kInBothModes, kInAnyState, true},
    {"setup.onImport.clone", "Setup", "Clone Compressed Files", "", kInBothModes, kInAnyState, true},
};

int CountNamed(CRegionList& regions, const std::string& name) {
    int n = 0;
    regions.ForEach([&](CRegion* r) { n += r->GetName() == name; });
    return n;
}

} // namespace

class ImportControllerTest : public QObject {
    Q_OBJECT
private slots:
    void DropsCommandsSwitchesAndStorage();
    void StopsPlaybackFirstAndTellsTheWindow();
};

void ImportControllerTest::DropsCommandsSwitchesAndStorage() {
    TempDir dir;
    std::filesystem::create_directories(dir / "store");
    std::filesystem::create_directories(dir / "in");
    ScriptedUiPort ui;
    ui.folderAnswers = {(dir / "store").string()};
    MainThreadPort port;
    CCore core(ui, port);
    QWidget window;
    CommandTable commands(kRows, sizeof kRows / sizeof kRows[0]);
    ImportController area(core, ui, &window);
    area.RegisterCommands(commands);
    CoreOptions options;
    options.baseFolder = dir.Path();
    QCOMPARE(core.Start(options), CCore::StartResult::Running);
    area.CoreStarted();
    QVERIFY(window.acceptDrops());
    QVERIFY(commands.Action("view.showImportReports")->isChecked());
    QVERIFY(commands.Action("setup.storage.none")->isChecked());
    QVERIFY(commands.Action("setup.onImport.transcode")->isChecked());

    // Two files dropped from a file manager: a WAV and a text file, imported by copy in order.
    const std::string in = (dir / "in").string();
    MakeWav(in, "Dropped.wav", 5000);
    std::filesystem::copy_file(dir / "in" / "Dropped.wav", dir / "in" / "Second.WAV");
    { std::ofstream(dir / "in" / "readme.txt") << "not audio"; }
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(in + "/Dropped.wav")),
                  QUrl::fromLocalFile(QString::fromStdString(in + "/readme.txt"))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    QTRY_COMPARE(CountNamed(*core.RegionList(), "Dropped"), 1);
    QCOMPARE(ui.reportCaption, std::string("Import Audio Report"));
    QCOMPARE(ui.reportLines.size(), size_t(2));
    QCOMPARE(ui.reportLines[1].second, std::string("Format is not supported."));
    QCOMPARE(ui.progressTexts.front(), std::string("Importing file 1 of 2\nDropped.wav"));
    // Something that is not a local file is not taken.
    QMimeData text;
    text.setText("hello");
    QDragEnterEvent other(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    other.ignore();
    QApplication::sendEvent(&window, &other);
    QVERIFY(!other.isAccepted());

    // The link command asks for files, starting in the home folder; the report's check box
    // turns the link reports off.
    ui.fileAnswers = {{in + "/Second.WAV"}};
    ui.reportDontShowAgain = true;
    commands.Action("file.importLink")->trigger();
    QCOMPARE(CountNamed(*core.RegionList(), "Second"), 1);
    QCOMPARE(ui.reportCaption, std::string("Link Audio Report"));
    QVERIFY(!commands.Action("view.showLinkReports")->isChecked());
    QVERIFY(commands.Action("view.showImportReports")->isChecked());
    const int shows = ui.reportShows;
    ui.fileAnswers = {{in + "/Second.WAV"}};
    commands.Action("file.importLink")->trigger();
    QCOMPARE(ui.reportShows, shows); // off: no report
    bool linked = false;
    core.SampleList()->ForEach([&](CSample* s) { linked = linked || (!s->IsStored() && s->GetFolder() == in); });
    QVERIFY(linked);

    // Storage choices reach the core and, at shutdown, the preferences.
    commands.Action("setup.storage.sp")->trigger();
    QCOMPARE(core.StorageMode(), 6);
    QCOMPARE(core.LossyBitRate(), 256);
    QVERIFY(commands.Action("setup.storage.sp")->isChecked());
    QVERIFY(!commands.Action("setup.storage.none")->isChecked());
    commands.Action("setup.onImport.clone")->trigger();
    QVERIFY(!commands.Action("setup.onImport.transcode")->isChecked());
    area.CoreStopping();
    QCOMPARE(core.Prefs()->GetInt(101), 3);
    QCOMPARE(int(core.Prefs()->GetByte(100)), 0);
    QCOMPARE(int(core.Prefs()->GetByte(23)), 1);
    QCOMPARE(int(core.Prefs()->GetByte(22)), 0);
    core.Stop();
}

void ImportControllerTest::StopsPlaybackFirstAndTellsTheWindow() {
    TempDir dir;
    std::filesystem::create_directories(dir / "store");
    ScriptedUiPort ui;
    ui.folderAnswers = {(dir / "store").string()};
    MainThreadPort port;
    CCore core(ui, port);
    QWidget window;
    CommandTable commands(kRows, sizeof kRows / sizeof kRows[0]);
    ImportController area(core, ui, &window);
    area.RegisterCommands(commands);
    CoreOptions options;
    options.baseFolder = dir.Path();
    options.withSoundCards = false;
    QCOMPARE(core.Start(options), CCore::StartResult::Running);
    area.CoreStarted();

    // The window's side: what it was asked to do, in order.
    std::vector<std::string> calls;
    ImportHooks hooks;
    hooks.clearBrowserSelection = [&] { calls.push_back("clear selection"); };
    hooks.clearViewer = [&] { calls.push_back("clear viewer"); };
    hooks.showOnTape = [&](CRegion& r) { calls.push_back("tape " + r.GetName()); };
    hooks.redrawTapes = [&] { calls.push_back("redraw"); };
    area.SetHooks(hooks);
    QSignalSpy cleared(&area, &ImportController::viewerCleared);
    MakeWav(dir.Str(), "one.wav", 3000);
    MakeWav(dir.Str(), "two.wav", 3000);

    // A looping playback runs until someone stops it: the import stops it and goes on.
    PlayItem item;
    item.folder = dir.Str();
    item.fileName = "none.wav";
    item.length = 44100;
    item.sampleFrames = 44100;
    QVERIFY(core.PlayList()->AddItem(item));
    core.AudioThread()->SetPlaybackDevice(-1);
    core.Transport()->SetPlayRange(0, 44100, 44100);
    core.Transport()->SetLoop(true);
    core.Transport()->Play(kOriginWaveViewer);
    QVERIFY(core.Transport()->IsPlaying());
    QVERIFY(area.ImportFiles({dir.Str() + "/one.wav", dir.Str() + "/two.wav"}, false));
    QVERIFY(core.Transport()->IsStopped());
    QCOMPARE(CountNamed(*core.RegionList(), "one"), 1);
    const std::vector<std::string> expected = {"clear selection", "clear viewer", "tape one",
                                               "clear viewer",    "tape two",     "redraw"};
    QCOMPARE(calls, expected);
    QCOMPARE(cleared.count(), 2);

    // While the transport monitors the input nothing is imported, by command or by drop.
    core.AudioThread()->SetRecordDevice(-1);
    core.Transport()->Monitor();
    QVERIFY(core.Transport()->IsMonitoring());
    calls.clear();
    QVERIFY(!area.ImportFiles({dir.Str() + "/one.wav"}, false));
    ui.fileAnswers = {{dir.Str() + "/one.wav"}};
    commands.Action("file.importCopy")->trigger();
    QVERIFY(core.Transport()->IsMonitoring());
    QVERIFY(calls.empty());
    QCOMPARE(CountNamed(*core.RegionList(), "one"), 1);
    QCOMPARE(ui.fileAnswers.size(), size_t(1)); // the dialog was not even shown
    core.Transport()->Stop();
    area.CoreStopping();
    core.Stop();
}

QTEST_MAIN(ImportControllerTest)
#include "ImportControllerTest.moc"

// The import in the whole window: a dropped file shows in the region browser as its current,
// selected region; showing "Found" brings a stray audio file of the VDisk back as a region
// and removes a stray too small to be audio.
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

#include <filesystem>
#include <fstream>

#include "app/BrowserController.h"
#include "app/TForm1.h"
#include "app/TapeBox.h"
#include "audiofile/AudioFileWav.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "library/CSample.h"
#include "support/ScriptedUiPort.h"

namespace {

void MakeWav(const std::string& folder, const std::string& name, int frames) {
    AudioFileWav w(folder, name);
    QVERIFY(w.OpenWrite(2, 44100, 16, 0));
    std::vector<float> buf(static_cast<size_t>(frames) * 2, 0.5f);
    w.WriteFloat(buf.data(), frames);
    QVERIFY(w.FinishWrite());
}

CRegion* Named(CRegionList& list, const std::string& name) {
    CRegion* found = nullptr;
    list.ForEach([&](CRegion* r) {
        if (r->GetName() == name) found = r;
    });
    return found;
}

} // namespace

class ImportWindowTest : public QObject {
    Q_OBJECT
private slots:
    void DroppedFilesShowAndFoundStraysComeBack() {
        QTemporaryDir dir;
        const std::string base = dir.path().toStdString();
        ScriptedUiPort ui;
        ui.folderAnswers.push_back(base);
        StartupEnvironment env;
        env.exeFolder = base;
        env.lockPath = base + "/Sonquil.lock";
        env.screenSize = QSize(1280, 1024);
        env.ui = &ui;
        TForm1 form(env);
        QVERIFY(form.StartupComplete());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* browser = form.findChild<TapeBox*>("RegionBrowser");
        QVERIFY(browser);
        auto* c = static_cast<BrowserController*>(browser->property("browserController").value<void*>());
        QVERIFY(c);

        // Two files dropped from a file manager: the last one is the browser's current region,
        // selected, and the VTape keeps the browser's selection.
        std::filesystem::create_directories(base + "/in");
        MakeWav(base + "/in", "first.wav", 4000);
        MakeWav(base + "/in", "second.wav", 4000);
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(base + "/in/first.wav")),
                      QUrl::fromLocalFile(QString::fromStdString(base + "/in/second.wav"))});
        // Qt hands a drop to the widget that took the drag's entry, as a file manager's drag does.
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&form, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&form, &drop);
        CRegion* second = Named(*form.RegionList(), "second");
        QVERIFY(second);
        QVERIFY(Named(*form.RegionList(), "first"));
        QCOMPARE(c->Browser().Count(), 2);
        QCOMPARE(c->Browser().GetCurrent(), second);
        QCOMPARE(c->Browser().CountSelected(), 1);
        QVERIFY(c->Browser().IsSelected(second));
        QCOMPARE(ui.reportCaption, std::string("Import Audio Report"));

        // A stray WAV in the VDisk and a stray of a few bytes; "Found" is shown.
        const std::string vdisk = base + "/VDisk";
        MakeWav(vdisk, "261201120000", 3000);
        { std::ofstream(vdisk + "/261201120001") << "tiny"; }
        const size_t messages = ui.messages.size();
        const QList<QTreeWidgetItem*> found = form.RegionTree()->findItems("Found", Qt::MatchRecursive);
        QCOMPARE(found.size(), 1);
        form.RegionTree()->setCurrentItem(found[0]);
        CRegion* back = Named(*form.RegionList(), "261201120000");
        QVERIFY(back);
        QVERIFY(back->GetFlags() & RegionFound);
        QVERIFY(back->GetFlags() & RegionRoot);
        QCOMPARE(back->GetEnd(), int64_t{3000});
        QVERIFY(back->GetSample()->IsStored());
        QVERIFY(back->GetSample()->FilePresent());
        QVERIFY(c->Browser().Contains(back));
        QVERIFY(!std::filesystem::exists(vdisk + "/261201120001"));
        QCOMPARE(ui.messages.size(), messages); // nothing to tell
        QCOMPARE(ui.progressTexts.back(), std::string("Recovering file 1 of 1\n261201120000"));
        // Shown again, the file is claimed now: nothing is recovered twice.
        form.RegionTree()->setCurrentItem(form.RegionTree()->topLevelItem(0));
        form.RegionTree()->setCurrentItem(found[0]);
        int copies = 0;
        form.RegionList()->ForEach([&](CRegion* r) { copies += r->GetName() == "261201120000"; });
        QCOMPARE(copies, 1);
    }
};

QTEST_MAIN(ImportWindowTest)
#include "ImportWindowTest.moc"

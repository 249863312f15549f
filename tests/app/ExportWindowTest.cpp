// The export from the window: "Export All ..." over the VTape and "Export..." over the
// browser's selection through the real form (its boxes per format, the naming written into
// the work list), the messages, the report and its switch, the menu rows, and "Edit Tags..."
// writing the tags that the next export carries.
#include <QAction>
#include <QApplication>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <filesystem>
#include <functional>

#include "app/BrowserController.h"
#include "app/CommandTable.h"
#include "app/TEditTagsForm.h"
#include "app/TExportForm.h"
#include "app/TExtEncodersForm.h"
#include "app/TRenameForm.h"
#include "export/ExtEncoders.h"
#include "app/TForm1.h"
#include "app/TapeBox.h"
#include "audiofile/AudioFileVorbis.h"
#include "audiofile/AudioFileWav.h"
#include "core/CCore.h"
#include "common/TransportState.h"
#include "engine/CTransport.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "library/CSample.h"
#include "library/CSampleList.h"
#include "support/AudioFiles.h"
#include "support/ScriptedUiPort.h"
#include "views/CWorkList.h"
#include "WindowTestSupport.h"

namespace fs = std::filesystem;

namespace {

int IndexOf(QComboBox* box, const QString& text) {
    for (int i = 0; i < box->count(); ++i)
        if (box->itemText(i) == text) return i;
    return -1;
}

// Chooses an entry with the keyboard, as a person would.
void Pick(QComboBox* box, const QString& text) {
    const int want = IndexOf(box, text);
    QVERIFY2(want >= 0, qPrintable(text));
    box->setFocus();
    while (box->currentIndex() < want) QTest::keyClick(box, Qt::Key_Down);
    while (box->currentIndex() > want) QTest::keyClick(box, Qt::Key_Up);
}

QStringList Items(QComboBox* box) {
    QStringList l;
    for (int i = 0; i < box->count(); ++i) l << box->itemText(i);
    return l;
}

QAction* MenuItem(TForm1& form, const QString& menu, const QString& caption) {
    for (QAction* a : form.menuBar()->actions())
        if (a->text() == menu)
            for (QAction* item : a->menu()->actions())
                if (item->text() == caption) return item;
    return nullptr;
}

} // namespace

class ExportWindowTest : public QObject {
    Q_OBJECT

    StartupEnvironment Env(QTemporaryDir& dir, ScriptedUiPort& ui) { return WindowEnv(dir, ui); }

private slots:

    // The "Export" button beside the VTape is the VTape menu's "Export All ...": greyed while
    // the transport is busy (a click then does nothing), and a click when stopped opens the
    // form and writes the tape's regions.
    void exportButtonBesideTheTapeRunsExportAll() {
        QTemporaryDir dir;
        ScriptedUiPort ui;
        TForm1 form(Env(dir, ui));
        QVERIFY(form.StartupComplete());
        const std::string folder = dir.path().toStdString();
        std::vector<float> pcm(2 * 20000);
        for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<float>(0.25 * std::sin(0.02 * i));
        QVERIFY(MakeWavFile(folder, "take.wav", pcm, 44100));
        auto* sample = new CSample("take.wav", folder, 0, 0, 44100, 2, 16, 20000, 0, 0);
        form.Core().SampleList()->Add(sample);
        auto* region = new CRegion("button take", 0, 8000, sample, 0, -1, 1);
        form.RegionList()->Insert(region);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* browser = form.findChild<TapeBox*>("RegionBrowser");
        QVERIFY(browser);
        auto* c = static_cast<BrowserController*>(browser->property("browserController").value<void*>());
        QVERIFY(c);
        c->VTape().Add(region);

        auto* button = form.findChild<QPushButton*>("Button11");
        QVERIFY(button);
        QCOMPARE(button->text(), QString("Export"));
        QVERIFY(button->isVisible());
        QTRY_VERIFY(button->isEnabled());

        for (int busy : {kTransportPlaying, kTransportRecording, kTransportRendering}) {
            form.Commands().ApplyTransportState(busy);
            QVERIFY(!button->isEnabled());
            QTest::mouseClick(button, Qt::LeftButton);
            QVERIFY(!qobject_cast<TExportForm*>(QApplication::activeModalWidget()));
            form.Commands().ApplyTransportState(kTransportStopped);
            QVERIFY(button->isEnabled());
        }
        // In edit mode too, as the menu item.
        form.SetMode(kModeEdit);
        QVERIFY(button->isEnabled());
        form.SetMode(kModeBrowse);

        const fs::path out = fs::path(folder) / "fromButton";
        fs::create_directories(out);
        ui.folderAnswers.push_back(out.string());
        bool shown = false;
        OnShow steps({[&](QDialog* d) {
            auto* f = qobject_cast<TExportForm*>(d);
            QVERIFY(f);
            shown = true;
            QTest::mouseClick(f->Button2, Qt::LeftButton);
            QCOMPARE(f->Edit4->text(), QString::fromStdString(out.string()));
            QTest::mouseClick(f->Button1, Qt::LeftButton);
        }});
        ui.reportLines.clear();
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_VERIFY(shown);
        QTRY_COMPARE(int(ui.reportLines.size()), 1);
        QVERIFY(QString::fromStdString(ui.reportLines[0].second).startsWith("OK"));
        int written = 0;
        for (const auto& e : fs::directory_iterator(out))
            if (e.path().extension() == ".wav" && fs::file_size(e.path()) > 44) ++written;
        QCOMPARE(written, 1);
        QVERIFY(form.Core().Transport()->IsStopped());
    }
    void exportFromTheTapeAndTheBrowserThroughTheForm() {
        QTemporaryDir dir;
        ScriptedUiPort ui;
        TForm1 form(Env(dir, ui));
        QVERIFY(form.StartupComplete());
        const std::string folder = dir.path().toStdString();
        std::vector<float> pcm(2 * 30000);
        for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<float>(0.3 * std::sin(0.01 * i));
        QVERIFY(MakeWavFile(folder, "take.wav", pcm, 44100));
        auto* sample = new CSample("take.wav", folder, 0, 0, 44100, 2, 16, 30000, 0, 0);
        form.Core().SampleList()->Add(sample);
        std::vector<CRegion*> regions;
        for (int i = 0; i < 3; ++i) {
            auto* r = new CRegion("take " + std::to_string(i), 0, 5000 * (i + 1), sample, 0, -1, 1);
            form.RegionList()->Insert(r);
            regions.push_back(r);
        }
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* browser = form.findChild<TapeBox*>("RegionBrowser");
        QVERIFY(browser);
        auto* c = static_cast<BrowserController*>(browser->property("browserController").value<void*>());
        QVERIFY(c);
        c->ShowFolder(1);

        // The menu rows: "Export..." in "Edit", "Export All ..." in "VTape", the encoders in
        // "Setup", the report switch in "View" (checked at first).
        QVERIFY(MenuItem(form, "Edit", "Export..."));
        QVERIFY(MenuItem(form, "Edit", "Rename..."));
        QVERIFY(MenuItem(form, "Edit", "Edit Tags..."));
        QVERIFY(MenuItem(form, "Setup", "External Encoders..."));
        QAction* reports = MenuItem(form, "View", "Show 'Export Audio' Reports");
        QVERIFY(reports && reports->isCheckable() && reports->isChecked());
        QAction* exportAll = MenuItem(form, "VTape", "Export All ...");
        QVERIFY(exportAll && exportAll->isEnabled());
        form.SetMode(kModeEdit);
        QVERIFY(!MenuItem(form, "Edit", "Rename...")->isVisible());
        form.SetMode(kModeBrowse);

        // Nothing on the tape, nothing selected: the two messages.
        QVERIFY(form.Commands().Dispatch("vtape.exportAll"));
        QCOMPARE(QString::fromStdString(ui.messages.back().text),
                 QString("List empty. Please drag some region\nto the strip at the screen bottom."));
        c->Browser().DeselectAll();
        QVERIFY(form.Commands().Dispatch("edit.export"));
        QCOMPARE(QString::fromStdString(ui.messages.back().text), QString("No region selected."));

        // The tape in the order third, first: FLAC, 24 bit, Base Name / Index from 5.
        c->VTape().Add(regions[2]);
        c->VTape().Add(regions[0]);
        const fs::path out = fs::path(folder) / "masters";
        fs::create_directories(out);
        ui.folderAnswers.push_back(out.string());
        bool boxesChecked = false;
        OnShow steps({[&](QDialog* d) {
            auto* f = qobject_cast<TExportForm*>(d);
            QVERIFY(f);
            QCOMPARE(f->windowTitle(), QString("Export..."));
            QVERIFY(f->windowFlags() & Qt::WindowStaysOnTopHint);
            QCOMPARE(f->ComboBox8->currentIndex(), 0);
            QCOMPARE(f->ComboBox8->itemText(0), QString("WAV"));
            QCOMPARE(Items(f->ComboBox8).mid(0, 4), QStringList({"WAV", "AIFF", "RAW", "SUN"}));
            // WAV: four depths and the channels, no bit rate.
            QVERIFY(f->ComboBox9->isVisible() && f->ComboBox10->isVisible() && !f->ComboBox12->isVisible());
            QCOMPARE(f->ComboBox9->count(), 4);
            QCOMPARE(f->ComboBox9->itemText(3), QString("32bit (float -1.0:+1.0)"));
            Pick(f->ComboBox8, "RAW");
            QCOMPARE(f->ComboBox9->count(), 8);
            QCOMPARE(f->ComboBox9->itemText(5), QString("24bit MSB-Moto(3-byte packed)"));
            Pick(f->ComboBox8, "AIFF");
            QCOMPARE(f->ComboBox9->count(), 3);
            Pick(f->ComboBox8, "MP3");
            QVERIFY(!f->ComboBox9->isVisible() && f->ComboBox10->isVisible() && f->ComboBox12->isVisible());
            QCOMPARE(f->ComboBox12->count(), 14);
            QCOMPARE(f->ComboBox12->currentText(), QString("128kbps"));
            Pick(f->ComboBox8, "OGG");
            QVERIFY(!f->ComboBox9->isVisible() && !f->ComboBox10->isVisible() && f->ComboBox12->isVisible());
            Pick(f->ComboBox8, "WMA");
            QCOMPARE(Items(f->ComboBox12), QStringList({"48kbps", "64kbps", "80kbps", "96kbps", "128kbps", "160kbps"}));
            QCOMPARE(f->ComboBox12->currentText(), QString("128kbps"));
            Pick(f->ComboBox8, "FLAC");
            QCOMPARE(Items(f->ComboBox9), QStringList({"16bit", "24bit"}));
            QVERIFY(f->ComboBox10->isVisible() && !f->ComboBox12->isVisible());
            Pick(f->ComboBox9, "24bit");
            // A look at the form for people: SONQUIL_EXPORT_SCREENSHOT=/path/to.png
            if (qEnvironmentVariableIsSet("SONQUIL_EXPORT_SCREENSHOT")) {
                f->layout()->activate();
                f->grab().toImage().save(qEnvironmentVariable("SONQUIL_EXPORT_SCREENSHOT"));
            }
            // The naming goes into the work list at once.
            QTest::mouseClick(f->baseNameIndex, Qt::LeftButton);
            QCOMPARE(c->WorkList().GetNamingMode(), int(CWorkList::BaseNameIndex));
            f->CSpinEdit9->setFocus();
            f->CSpinEdit9->selectAll();
            QTest::keyClicks(f->CSpinEdit9, "5");
            QCOMPARE(c->WorkList().GetStartIndex(), 5);
            QTest::mouseClick(f->Button2, Qt::LeftButton);
            QCOMPARE(f->Edit4->text(), QString::fromStdString(out.string()));
            QVERIFY(f->Edit4->isReadOnly());
            boxesChecked = true;
            QTest::mouseClick(f->Button1, Qt::LeftButton);
        }});
        ui.reportLines.clear();
        exportAll->trigger();
        QVERIFY(boxesChecked);
        QVERIFY(fs::exists(out / "Master5.flac"));
        QVERIFY(fs::exists(out / "Master6.flac"));
        QCOMPARE(int(ui.reportLines.size()), 2);
        QCOMPARE(QString::fromStdString(ui.reportLines[0].first), QString("Master5.flac"));
        QVERIFY(QString::fromStdString(ui.reportLines[1].second).startsWith("OK (FLAC 24-bit, "));
        QCOMPARE(QString::fromStdString(ui.reportCaption), QString("Export Audio Report"));
        QCOMPARE(ui.reportShows, 1);
        QVERIFY(form.Core().Transport()->IsStopped());

        // "Edit Tags..." on the browser's selection, then "Export..." of it to Ogg Vorbis. The
        // form starts again with WAV and the folder chosen last time; its report box's check
        // turns the reports off.
        c->Browser().DeselectAll();
        c->Browser().Select(regions[1]);
        OnShow tags({[&](QDialog* d) {
            auto* t = qobject_cast<TEditTagsForm*>(d);
            QVERIFY(t);
            t->ComboBox1->setEditText("Song;$(x)");
            t->ComboBox2->setEditText("Band");
            t->ComboBox4->setEditText("2007");
            t->ComboBox5->setEditText("rock");
            QTest::mouseClick(t->writeButton, Qt::LeftButton);
        }});
        QVERIFY(form.Commands().Dispatch("edit.editTags"));
        CRegion* tagged = c->Browser().SelectedAt(0);
        QVERIFY(tagged);
        QCOMPARE(QString::fromStdString(tagged->GetTitle()), QString("Song;$(x)"));
        ui.reportDontShowAgain = true;
        OnShow again({[&](QDialog* d) {
            auto* f = qobject_cast<TExportForm*>(d);
            QVERIFY(f);
            QCOMPARE(f->ComboBox8->currentText(), QString("WAV"));
            QCOMPARE(f->Edit4->text(), QString::fromStdString(out.string()));
            QVERIFY(f->baseNameIndex->isChecked()); // loaded from the work list
            QTest::mouseClick(f->regionName, Qt::LeftButton);
            Pick(f->ComboBox8, "OGG");
            QTest::mouseClick(f->Button1, Qt::LeftButton);
        }});
        QVERIFY(form.Commands().Dispatch("edit.export"));
        const std::string file = tagged->GetName() + ".ogg";
        QVERIFY(fs::exists(out / file));
        AudioFileVorbis back(out.string(), file);
        QVERIFY(back.OpenRead());
        QCOMPARE(QString(back.title), QString("Song;$(x)"));
        QCOMPARE(QString(back.artist), QString("Band"));
        QCOMPARE(back.year, 2007);
        QCOMPARE(back.track, 1);
        back.Close();
        QVERIFY(!reports->isChecked()); // "Don't show this dialog again " was ticked

        // Cancel exports nothing.
        OnShow cancel({[&](QDialog* d) {
            auto* f = qobject_cast<TExportForm*>(d);
            QVERIFY(f);
            QTest::mouseClick(f->Button3, Qt::LeftButton);
        }});
        fs::remove(out / file);
        QVERIFY(form.Commands().Dispatch("edit.export"));
        QVERIFY(!fs::exists(out / file));

        // "Loudness": off by default; a preset and "As album" bring the file to the target and
        // the report line says what it reached.
        ui.reportLines.clear();
        OnShow loud({[&](QDialog* d) {
            auto* f = qobject_cast<TExportForm*>(d);
            QVERIFY(f);
            QCOMPARE(f->loudnessBox->currentText(), QString("Off"));
            QCOMPARE(Items(f->loudnessBox),
                     QStringList({"Off", "-14 LUFS (streaming)", "-16 LUFS", "-23 LUFS (broadcast)", "Other"}));
            QVERIFY(!f->loudnessMode->isEnabled() && !f->loudnessTarget->isEnabled());
            QVERIFY(!f->Choice().loudness);
            Pick(f->loudnessBox, "Other");
            QVERIFY(f->loudnessTarget->isEnabled());
            f->loudnessTarget->setValue(-18.5);
            QCOMPARE(f->Choice().loudnessTarget, -18.5);
            Pick(f->loudnessBox, "-23 LUFS (broadcast)");
            QVERIFY(f->loudnessMode->isEnabled() && !f->loudnessTarget->isEnabled());
            Pick(f->loudnessMode, "As album");
            const ExportChoice chosen = f->Choice();
            QVERIFY(chosen.loudness && chosen.loudnessAlbum);
            QCOMPARE(chosen.loudnessTarget, -23.0);
            QTest::mouseClick(f->Button1, Qt::LeftButton);
        }});
        QVERIFY(form.Commands().Dispatch("edit.export"));
        QCOMPARE(int(ui.reportLines.size()), 1);
        QVERIFY2(QString::fromStdString(ui.reportLines[0].second).contains(" LUFS, "),
                 ui.reportLines[0].second.c_str());
        QVERIFY(QString::fromStdString(ui.reportLines[0].second).contains(" dBTP"));
        fs::remove(out / (tagged->GetName() + ".wav"));

        // "External Encoders..." opens the "Encoders" dialog; the form then lists the profiles
        // after the built-in formats, with the bit-rate box only for a template with %k or %b.
        OnShow encoders({[&](QDialog* d) {
            auto* e = qobject_cast<TExtEncodersForm*>(d);
            QVERIFY(e);
            QCOMPARE(e->windowTitle(), QString("Encoders"));
            QTest::mouseClick(e->Button4, Qt::LeftButton); // "Done"
        }});
        QVERIFY(form.Commands().Dispatch("setup.extEncoders"));
        QCOMPARE(encoders.next, size_t(1));
        QCOMPARE(form.Core().Encoders().Add({"/bin", "true", "%s %d -b %k", "mp3", "LAME"}), ProfileCheck::Ok);
        QCOMPARE(form.Core().Encoders().Add({"/bin", "true", "%s", "ape", "Monkey"}), ProfileCheck::Ok);
        OnShow profiles({[&](QDialog* d) {
            auto* f = qobject_cast<TExportForm*>(d);
            QVERIFY(f);
            QCOMPARE(Items(f->ComboBox8).mid(f->ComboBox8->count() - 2), QStringList({"LAME", "Monkey"}));
            Pick(f->ComboBox8, "LAME");
            QVERIFY(!f->ComboBox9->isVisible() && !f->ComboBox10->isVisible() && f->ComboBox12->isVisible());
            QCOMPARE(f->ComboBox12->currentText(), QString("128kbps"));
            Pick(f->ComboBox8, "Monkey");
            QVERIFY(!f->ComboBox9->isVisible() && !f->ComboBox10->isVisible() && !f->ComboBox12->isVisible());
            QTest::mouseClick(f->Button3, Qt::LeftButton);
        }});
        QVERIFY(form.Commands().Dispatch("edit.export"));
        QCOMPARE(profiles.next, size_t(1));

        // "Rename..." over the selection: the region takes its new name and stays selected.
        OnShow rename({[&](QDialog* d) {
            auto* r = qobject_cast<TRenameForm*>(d);
            QVERIFY(r);
            QCOMPARE(r->Edit1->text(), QString::fromStdString(tagged->GetName()));
            r->Edit1->setText("Zulu");
            QTest::mouseClick(r->renameButton, Qt::LeftButton);
        }});
        QVERIFY(form.Commands().Dispatch("edit.rename"));
        QCOMPARE(QString::fromStdString(tagged->GetName()), QString("Zulu"));
        QVERIFY(c->Browser().IsSelected(tagged));
    }
};

QTEST_MAIN(ExportWindowTest)
#include "ExportWindowTest.moc"

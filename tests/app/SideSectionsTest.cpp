// The side sections of the right side panel: the pinned bits and the panels' states across a
// restart, the column's layout per mode (hidden sections disabled, no space below its end),
// header clicks and pins, the notes box enabled only while open, the import section's filter
// and its "Import", the range history (a click sets the viewer's range, a line dropped on the
// region list makes a region), the marker list and its commands, F5/F6/F8 and "AutoExpand
// Panels".
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QComboBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <memory>

#include "app/BrowserController.h"
#include "app/CommandTable.h"
#include "app/ImportFilesSection.h"
#include "app/MarkersSection.h"
#include "app/RangesSection.h"
#include "app/SideSections.h"
#include "app/TForm1.h"
#include "app/TapeBox.h"
#include "core/CCore.h"
#include "library/CMarker.h"
#include "library/CPrefs.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "library/CSample.h"
#include "library/CSampleList.h"
#include "support/AudioFiles.h"
#include "support/ScriptedUiPort.h"
#include "views/CWaveViewer.h"
#include "WindowTestSupport.h"

namespace {

std::vector<float> Tone(size_t frames) {
    std::vector<float> pcm(2 * frames);
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<float>(0.3 * std::sin(0.01 * double(i)));
    return pcm;
}

CRegion* AddRoot(TForm1& form, const QTemporaryDir& dir) {
    const std::string folder = dir.path().toStdString();
    MakeWavFile(folder, "take.wav", Tone(40000), 44100);
    auto* sample = new CSample("take.wav", folder, 0, 0, 44100, 2, 16, 40000, 0, 0);
    form.Core().SampleList()->Add(sample);
    auto* root = new CRegion("take", 0, 40000, sample, RegionRoot, -1, 1);
    form.RegionList()->Insert(root);
    return root;
}

BrowserController* Browser(TForm1& form) {
    auto* box = form.findChild<TapeBox*>("RegionBrowser");
    return box ? static_cast<BrowserController*>(box->property("browserController").value<void*>()) : nullptr;
}

// A left click on a section's header at x (negative: from its right end), 10 pixels down.
void ClickHeader(SideSections& s, int section, int x = 40, int y = 10) {
    QWidget* h = s.HeaderWidget(section);
    QTest::mouseClick(h, Qt::LeftButton, {}, QPoint(x < 0 ? h->width() + x : x, y));
}

// The column never shows space below its end: either it starts at the top of the viewport or
// its end lies at or below the viewport's bottom.
bool NoSpaceBelow(SideSections& s) {
    QScrollArea* area = s.Column();
    QWidget* column = area->widget();
    const int top = column->y();
    return (top == 0 && column->height() <= area->viewport()->height()) ||
           top + column->height() >= area->viewport()->height();
}

} // namespace

class SideSectionsTest : public QObject {
    Q_OBJECT

private slots:
    void pinsAndPanelsSurviveARestart() {
        QTemporaryDir dir;
        ScriptedUiPort ui;
        auto form = std::make_unique<TForm1>(WindowEnv(dir, ui));
        QVERIFY(form->StartupComplete());
        SideSections* s = form->Sections();
        // At start-up every section is collapsed and nothing is pinned.
        for (int i = 0; i < SideSections::kCount; ++i) QVERIFY(!s->IsOpen(i));
        QCOMPARE(s->PinnedBits(), 0);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        // The pin sits at the right end of an open header only.
        ClickHeader(*s, 0, -5);
        QVERIFY(s->IsOpen(0) && !s->IsPinned(0));
        ClickHeader(*s, 0, -5);
        QVERIFY(s->IsPinned(0) && s->IsOpen(0));
        ClickHeader(*s, 3);
        ClickHeader(*s, 3, -5);
        QCOMPARE(s->PinnedBits(), 9);
        s->SetAutoExpand(true);
        s->SetPanelOpen(SideSections::LeftPanel, false);
        s->SetPanelOpen(SideSections::AbovePanel, false);

        form.reset();
        form = std::make_unique<TForm1>(WindowEnv(dir, ui));
        QVERIFY(form->StartupComplete());
        QCOMPARE(form->Core().Prefs()->GetInt(35), 9);
        s = form->Sections();
        QCOMPARE(s->PinnedBits(), 9);
        // The pinned ones open at start-up, the others stay collapsed.
        for (int i = 0; i < SideSections::kCount; ++i) QCOMPARE(s->IsOpen(i), i == 0 || i == 3);
        QVERIFY(s->AutoExpand());
        QVERIFY(!s->PanelOpen(SideSections::LeftPanel));
        QVERIFY(s->PanelOpen(SideSections::RightPanel));
        QVERIFY(!s->PanelOpen(SideSections::AbovePanel));
        QCOMPARE(form->findChild<QWidget*>("LeftPanel")->maximumWidth(), 6);
        QCOMPARE(form->findChild<QWidget*>("AboveTapePanel")->maximumHeight(), 6);
        form.reset();
    }

    void theColumnFollowsTheModeAndNeverEndsAboveItsBottom() {
        QTemporaryDir dir;
        ScriptedUiPort ui;
        TForm1 form(WindowEnv(dir, ui));
        QVERIFY(form.StartupComplete());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        SideSections* s = form.Sections();
        const auto shown = [s] {
            QList<int> l;
            for (int i = 0; i < SideSections::kCount; ++i)
                if (s->IsShown(i)) l << i;
            return l;
        };
        // "Preprocess" and "Edit Fades" are never shown.
        QCOMPARE(shown(), QList<int>({0, 1, 2, 3, 8, 11}));
        for (int i : {6, 7, 9}) {
            QVERIFY(!s->SectionWidget(i)->isVisible());
            QVERIFY(!s->SectionWidget(i)->isEnabled());
        }
        // Collapsed sections lie 21 pixels apart from the top, in section order.
        QCOMPARE(s->SectionWidget(0)->y(), 0);
        QCOMPARE(s->SectionWidget(1)->y(), 21);
        QCOMPARE(s->SectionWidget(2)->y(), 42);
        QCOMPARE(s->SectionWidget(3)->y(), 63);
        QCOMPARE(s->SectionWidget(8)->y(), 84);
        QCOMPARE(s->SectionWidget(11)->y(), 105);
        QCOMPARE(s->Column()->widget()->height(), 126);

        form.SetMode(kModeEdit);
        QCOMPARE(shown(), QList<int>({6, 7, 8, 9, 10, 11}));
        for (int i : {0, 3}) QVERIFY(!s->SectionWidget(i)->isVisible() && !s->SectionWidget(i)->isEnabled());
        QVERIFY(s->SectionWidget(9)->isVisible() && s->SectionWidget(9)->isEnabled());
        QCOMPARE(s->SectionWidget(9)->y(), 63);

        // Three open sections together are taller than the panel: opening the last scrolls it
        // into view, its end at the viewport's bottom.
        ClickHeader(*s, 6);
        ClickHeader(*s, 6, -5);
        ClickHeader(*s, 8);
        ClickHeader(*s, 8, -5);
        ClickHeader(*s, 11);
        QVERIFY(s->IsOpen(6) && s->IsOpen(8) && s->IsOpen(11));
        QScrollArea* area = s->Column();
        QCOMPARE(area->widget()->height(), 260 + 21 + 390 + 21 + 21 + 180);
        QTRY_VERIFY(area->widget()->height() > area->viewport()->height());
        QScrollBar* bar = area->verticalScrollBar();
        QCOMPARE(bar->value(), bar->maximum());
        QCOMPARE(bar->maximum(), area->widget()->height() - area->viewport()->height());
        QVERIFY(NoSpaceBelow(*s));
        // Collapsing it shortens the column, which moves down to keep filling the panel.
        ClickHeader(*s, 11);
        QVERIFY(!s->IsOpen(11));
        QTRY_VERIFY(NoSpaceBelow(*s));
        QVERIFY(bar->value() <= bar->maximum());
        // Unpinned and closed, everything fits: the column starts at the top again.
        ClickHeader(*s, 8, -5);
        ClickHeader(*s, 6, -5);
        ClickHeader(*s, 7);
        QCOMPARE(area->widget()->height(), 21 + 200 + 21 + 21 + 21 + 21);
        QTRY_COMPARE(area->widget()->y(), 0);
        QVERIFY(NoSpaceBelow(*s));
    }

    void headerClicksTogglePinAndTheNotesBox() {
        QTemporaryDir dir;
        ScriptedUiPort ui;
        TForm1 form(WindowEnv(dir, ui));
        QVERIFY(form.StartupComplete());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        SideSections* s = form.Sections();
        auto* notes = form.findChild<QPlainTextEdit*>("RegionNotes");
        QVERIFY(notes);
        QVERIFY(!notes->isEnabled());
        // The pin area of a collapsed header only toggles the section.
        ClickHeader(*s, 3, -5);
        QVERIFY(s->IsOpen(3) && !s->IsPinned(3));
        QVERIFY(notes->isEnabled());
        QCOMPARE(s->Height(3), 182);
        // Opening another collapses the unpinned ones.
        ClickHeader(*s, 0);
        QVERIFY(s->IsOpen(0) && !s->IsOpen(3));
        QVERIFY(!notes->isEnabled());
        ClickHeader(*s, 0);
        QVERIFY(!s->IsOpen(0));
        // A pinned section stays open when others open, and a click on it keeps it open.
        ClickHeader(*s, 3);
        ClickHeader(*s, 3, -5);
        QVERIFY(s->IsPinned(3));
        ClickHeader(*s, 8);
        QVERIFY(s->IsOpen(8) && s->IsOpen(3));
        ClickHeader(*s, 3);
        QVERIFY(s->IsOpen(3) && !s->IsOpen(8));
        QVERIFY(notes->isEnabled());
        // Below the top 20 pixels a press does nothing.
        ClickHeader(*s, 8, 40, 20);
        QVERIFY(!s->IsOpen(8));
        // Unpinned, it closes like any other.
        ClickHeader(*s, 3, -5);
        QVERIFY(!s->IsPinned(3));
        ClickHeader(*s, 3);
        QVERIFY(!s->IsOpen(3) && !notes->isEnabled());
    }

    void importSectionListsAudioFilesAndImportsThem() {
        for (const char* yes : {"a.wav", "B.WAVE", "c.aif", "d.AIFF", "e.Mp3", "f.ogg", "g.snd", "h.raw", "i.flac",
                                "j.m4a", "k.OPUS", "l.aifc", "m.caf", "n.webm", "o.wma", "p.oga"})
            QVERIFY2(ImportFilesSection::IsListed(yes), yes);
        for (const char* no : {"a.txt", "a.wav.bak", "wav", ".wav", "a.mp4", "a.wa"})
            QVERIFY2(!ImportFilesSection::IsListed(no), no);

        QTemporaryDir dir, files;
        ScriptedUiPort ui;
        TForm1 form(WindowEnv(dir, ui));
        QVERIFY(form.StartupComplete());
        ImportFilesSection* section = form.ImportFiles();
        // The list starts in the home folder.
        QCOMPARE(section->Folder(), QDir::homePath());
        QVERIFY(MakeWavFile(files.path().toStdString(), "one.wav", Tone(20000), 44100));
        QVERIFY(MakeWavFile(files.path().toStdString(), "two.WAV", Tone(20000), 44100));
        QFile text(files.path() + "/notes.txt");
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("words");
        text.close();
        QVERIFY(QDir(files.path()).mkdir("folder.wav"));
        section->ShowFolder(files.path());
        QListWidget* list = section->Files();
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(0)->text(), QString("one.wav"));
        QCOMPARE(list->item(1)->text(), QString("two.WAV"));
        QCOMPARE(section->Mode()->currentText(), QString("Copy"));
        // A file that arrives in the shown folder joins the list.
        QFile late(files.path() + "/late.ogg");
        QVERIFY(late.open(QIODevice::WriteOnly));
        late.close();
        QTRY_COMPARE(list->count(), 3);
        QVERIFY(late.remove());
        QTRY_COMPARE(list->count(), 2);

        // "Import" runs the import loop over the whole list.
        int roots = 0;
        form.RegionList()->ForEach([&](CRegion* r) { roots += r->IsRoot() ? 1 : 0; });
        QCOMPARE(roots, 0);
        QTest::mouseClick(form.findChild<QPushButton*>("ImportFilesButton"), Qt::LeftButton);
        QStringList names;
        form.RegionList()->ForEach([&](CRegion* r) {
            if (r->IsRoot()) names << QString::fromStdString(r->GetName());
        });
        names.sort();
        QCOMPARE(names, QStringList({"one", "two"}));
        // By link, the samples stay where they are.
        section->Mode()->setCurrentIndex(1);
        QVERIFY(MakeWavFile(files.path().toStdString(), "three.wav", Tone(20000), 44100));
        std::vector<std::string> got;
        bool linked = false;
        section->SetRunner([&](const std::vector<std::string>& paths, bool link) {
            got = paths;
            linked = link;
        });
        section->Import();
        QCOMPARE(int(got.size()), 3);
        QVERIFY(linked);
        QCOMPARE(QString::fromStdString(got[1]), files.path() + "/three.wav");
    }

    void rangeHistoryClicksAndDrops() {
        QTemporaryDir dir;
        ScriptedUiPort ui;
        TForm1 form(WindowEnv(dir, ui));
        QVERIFY(form.StartupComplete());
        CRegion* root = AddRoot(form, dir);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.SetMode(kModeEdit);
        CWaveViewer& viewer = form.WaveViewer();
        viewer.SetRegion(root);
        root->AddToHistory(true, 2000, 12000);
        root->AddToHistory(true, 5000, 9000);
        QListWidget* list = form.Ranges()->List();
        // The tick sees the new history: "none", then newest first.
        QTRY_COMPARE(list->count(), 3);
        QCOMPARE(list->item(0)->text(), QString("none"));
        QCOMPARE(QString::fromStdString(root->HistoryLines()[2]), list->item(2)->text());
        form.Sections()->HeaderClicked(SideSections::EditRanges);
        QTRY_VERIFY(list->visualItemRect(list->item(2)).height() > 0);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(2)).center());
        QVERIFY(viewer.RangeActive());
        QCOMPARE(viewer.RangeStart(), 2000);
        QCOMPARE(viewer.RangeEnd(), 12000);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
        QVERIFY(!viewer.RangeActive());
        QVERIFY(!root->HasRange());

        // Line 1 dropped on the region list becomes a region of its own.
        auto* regions = form.findChild<QListWidget*>("SameSampleRegions");
        QWidget* target = regions->viewport();
        const QPoint at(10, 10);
        std::unique_ptr<QMimeData> mime(RangesSection::MimeFor(1));
        QCOMPARE(RangesSection::LineFrom(mime.get()), 1);
        QDragEnterEvent enter(at, Qt::CopyAction, mime.get(), Qt::LeftButton, {});
        QApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(at), Qt::CopyAction, mime.get(), Qt::LeftButton, {});
        QApplication::sendEvent(target, &drop);
        QVERIFY(drop.isAccepted());
        BrowserController* c = Browser(form);
        QTRY_VERIFY(c->Browser().GetCurrent() && c->Browser().GetCurrent() != root);
        CRegion* made = c->Browser().GetCurrent();
        QCOMPARE(made->GetStart(), int64_t(5000));
        QCOMPARE(made->GetEnd(), int64_t(9000));
        QCOMPARE(made->GetSample(), root->GetSample());
        // Other data is refused.
        QMimeData other;
        other.setText("5000");
        QDragEnterEvent refused(at, Qt::CopyAction, &other, Qt::LeftButton, {});
        refused.setAccepted(false);
        QApplication::sendEvent(target, &refused);
        QVERIFY(!refused.isAccepted());
    }

    void markerListFollowsAndEdits() {
        QTemporaryDir dir;
        ScriptedUiPort ui;
        TForm1 form(WindowEnv(dir, ui));
        QVERIFY(form.StartupComplete());
        CRegion* root = AddRoot(form, dir);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.SetMode(kModeEdit);
        CWaveViewer& viewer = form.WaveViewer();
        viewer.SetRegion(root);
        root->NewMarker(30000);
        root->NewMarker(10000);
        root->NewMarker(20000);
        QListWidget* list = form.Markers()->List();
        QTRY_COMPARE(list->count(), 3);
        QCOMPARE(list->item(0)->text(), QString::fromStdString(root->Markers().At(0)->GetText()));
        QCOMPARE(root->Markers().At(0)->GetPosition(), int64_t(10000));
        form.Sections()->HeaderClicked(SideSections::EditMarkers);
        // A click puts the cursor on the marker.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
        QCOMPARE(viewer.Cursor(), 20000);
        // A caption typed into a row renames the marker, at most 127 characters.
        list->item(0)->setText(QString(200, 'x'));
        QCOMPARE(root->Markers().At(0)->GetText(), std::string(127, 'x'));
        QTRY_COMPARE(list->item(0)->text(), QString(127, 'x'));
        // The list's commands act on the selected row.
        list->setCurrentRow(0);
        QVERIFY(form.Commands().Dispatch("markers.pin"));
        QCOMPARE(root->Markers().At(0)->GetIcon(), 2);
        QCOMPARE(list->item(0)->data(Qt::UserRole).toInt(), 2);
        viewer.SetCursor(35000);
        QVERIFY(form.Commands().Dispatch("markers.moveToCursor"));
        // The first marker is now the last.
        QCOMPARE(root->Markers().At(2)->GetPosition(), int64_t(35000));
        QCOMPARE(root->Markers().At(2)->GetText(), std::string(127, 'x'));
        QCOMPARE(list->currentRow(), 2);
        QCOMPARE(list->item(2)->text(), QString(127, 'x'));
        QVERIFY(form.Commands().Dispatch("markers.delete"));
        QCOMPARE(root->Markers().Count(), 2);
        QCOMPARE(list->count(), 2);
        // Without a selected row nothing happens.
        list->clearSelection();
        list->setCurrentRow(-1);
        QVERIFY(form.Commands().Dispatch("markers.delete"));
        QCOMPARE(root->Markers().Count(), 2);
        // Another region (or none) in the viewer: the list follows.
        viewer.RemoveRegion();
        QTRY_COMPARE(list->count(), 0);
    }

    void panelKeysAndAutoExpand() {
        QTemporaryDir dir;
        ScriptedUiPort ui;
        TForm1 form(WindowEnv(dir, ui));
        QVERIFY(form.StartupComplete());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.setFocus();
        QWidget* left = form.findChild<QWidget*>("LeftPanel");
        QWidget* right = form.findChild<QWidget*>("RightPanel");
        QWidget* above = form.findChild<QWidget*>("AboveTapePanel");
        QCOMPARE(left->maximumWidth(), 224);
        QCOMPARE(right->maximumWidth(), 224);
        QCOMPARE(above->maximumHeight(), 83);
        QTest::keyClick(&form, Qt::Key_F5);
        QCOMPARE(left->maximumWidth(), 6);
        QTRY_COMPARE(left->width(), 6);
        QTest::keyClick(&form, Qt::Key_F6);
        QCOMPARE(right->maximumWidth(), 6);
        QTest::keyClick(&form, Qt::Key_F8);
        QCOMPARE(above->maximumHeight(), 6);
        QTRY_COMPARE(above->height(), 6);
        QTest::keyClick(&form, Qt::Key_F8);
        QCOMPARE(above->maximumHeight(), 83);
        QTest::keyClick(&form, Qt::Key_F5);
        QCOMPARE(left->maximumWidth(), 224);
        QTRY_COMPARE(left->width(), 224);

        // "AutoExpand Panels": the closed right panel opens while the mouse is on it.
        SideSections* s = form.Sections();
        QEvent enter(QEvent::Enter), leave(QEvent::Leave);
        QApplication::sendEvent(right, &enter);
        QCOMPARE(right->maximumWidth(), 6);
        s->SetAutoExpand(true);
        QApplication::sendEvent(right, &enter);
        QCOMPARE(right->maximumWidth(), 224);
        QVERIFY(s->PanelOpen(SideSections::RightPanel));
        QApplication::sendEvent(right, &leave);
        QCOMPARE(right->maximumWidth(), 6);
        // An open panel stays open when the mouse leaves it.
        QApplication::sendEvent(left, &enter);
        QApplication::sendEvent(left, &leave);
        QCOMPARE(left->maximumWidth(), 224);
    }
};

QTEST_MAIN(SideSectionsTest)
#include "SideSectionsTest.moc"

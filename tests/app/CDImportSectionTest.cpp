// The "Import AudioCD" side section through the real window, on a BIN/CUE disc image made here
// (two audio tracks and a data track): the image opened with the "..." button stands in the drive
// list; the track list's columns, texts, check marks and pictures; "Import" bringing exactly the
// checked tracks into the library with the two-bar progress, the window disabled meanwhile, and
// the report; "CDDB" against the loopback CDDB server naming the rows, and the import then naming
// and tagging the regions; "Can't connect to remote server." when nothing listens; the chosen
// drive kept in the preferences.
#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/CDImportSection.h"
#include "app/CommandTable.h"
#include "app/SideSections.h"
#include "app/TForm1.h"
#include "cdimport/CCDDBPrefs.h"
#include "cdimport/CCDRip.h"
#include "cdimport/LoopbackCddb.h" // the CDDB tests' loopback server
#include "core/CCore.h"
#include "library/CPrefs.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "library/CSample.h"
#include "library/CSampleList.h"
#include "support/ScriptedUiPort.h"
#include "WindowTestSupport.h"

namespace {

constexpr int kSectorBytes = 2352;

struct TrackSpec {
    int sectors;
    bool audio;
};

// A BIN/CUE image: one raw 2,352-byte sector per CD frame; audio sectors hold 16-bit stereo
// little-endian samples (track t, sample frame f: left (t + 1) * 1000 + f % 500, right its
// negation), data sectors a Mode 1 sync pattern and zeros.
bool MakeImage(const std::string& folder, const std::vector<TrackSpec>& tracks) {
    std::ofstream bin(folder + "/disc.bin", std::ios::binary);
    std::ofstream cue(folder + "/disc.cue");
    if (!bin || !cue) return false;
    cue << "FILE \"disc.bin\" BINARY\n";
    int at = 0;
    std::vector<char> sector(kSectorBytes);
    for (size_t t = 0; t < tracks.size(); ++t) {
        char num[8];
        std::snprintf(num, sizeof num, "%02d", static_cast<int>(t + 1));
        cue << "  TRACK " << num << (tracks[t].audio ? " AUDIO\n" : " MODE1/2352\n");
        char msf[16];
        std::snprintf(msf, sizeof msf, "%02d:%02d:%02d", at / 75 / 60, at / 75 % 60, at % 75);
        cue << "    INDEX 01 " << msf << "\n";
        int frame = 0;
        for (int s = 0; s < tracks[t].sectors; ++s) {
            std::fill(sector.begin(), sector.end(), 0);
            if (tracks[t].audio) {
                for (int i = 0; i < 588; ++i, ++frame) {
                    const int16_t l = static_cast<int16_t>((t + 1) * 1000 + frame % 500);
                    const int16_t r = static_cast<int16_t>(-l);
                    const uint16_t ul = static_cast<uint16_t>(l), ur = static_cast<uint16_t>(r);
                    sector[i * 4 + 0] = static_cast<char>(ul & 0xFF);
                    sector[i * 4 + 1] = static_cast<char>(ul >> 8);
                    sector[i * 4 + 2] = static_cast<char>(ur & 0xFF);
                    sector[i * 4 + 3] = static_cast<char>(ur >> 8);
                }
            } else {
                for (int i = 1; i <= 10; ++i) sector[i] = static_cast<char>(0xFF);
                sector[15] = 1; // Mode 1
            }
            bin.write(sector.data(), kSectorBytes);
        }
        at += tracks[t].sectors;
    }
    return bin.good() && cue.good();
}

// The loopback CDDB server's answers: "cddb query" with two matches, "cddb read" with a record.
std::string CDDBAnswer(const std::string& request) {
    if (request.find("cddb+query") != std::string::npos)
        return LoopbackCddb::Http("211 Found inexact matches, list follows (until terminating `.')\r\n"
                                  "rock 0a000001 Other Band / Wrong Album\r\n"
                                  "misc 0a000002 The Testers / Loopback Songs\r\n.\r\n");
    if (request.find("cddb+read") != std::string::npos)
        return LoopbackCddb::Http("210 misc 0a000002 CD database entry follows (until terminating `.')\r\n"
                                  "# xmcd\r\n#\r\nDISCID=0a000002\r\nDTITLE=The Testers / Loopback Songs\r\n"
                                  "DYEAR=2001\r\nDGENRE=Test\r\nTTITLE0=Opening\r\nTTITLE1=Second Song\r\n"
                                  "TTITLE2=Data\r\nEXTD=\r\nPLAYORDER=\r\n.\r\n");
    return LoopbackCddb::Http("500 Unrecognized command.\r\n");
}

} // namespace

class CDImportSectionTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QTemporaryDir m_disc;
    ScriptedUiPort m_ui;
    std::unique_ptr<TForm1> m_form;
    CDImportSection* m_cd = nullptr;

    std::string CuePath() const { return m_disc.path().toStdString() + "/disc.cue"; }
    CCDRip& Rip() { return *m_form->Core().CDRip(); }
    int Samples() { return m_form->Core().SampleList()->Count(); }
    QTreeWidget* Tracks() { return m_cd->Tracks(); }
    QString Cell(int row, int column) { return Tracks()->topLevelItem(row)->text(column); }

    void Start() {
        m_form = std::make_unique<TForm1>(WindowEnv(m_dir, m_ui));
        QVERIFY(m_form->StartupComplete());
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        m_ui.messages.clear(); // the first start's question of the VDisk folder
        m_cd = m_form->CDImport();
        QVERIFY(m_cd);
        QVERIFY(m_form->Core().CDRip());
        m_form->Sections()->HeaderClicked(SideSections::ImportAudioCD);
        QTRY_VERIFY(m_cd->Tracks()->isVisible() && m_cd->Tracks()->height() > 40);
    }
    // The image chosen through the "..." button's file dialog.
    void OpenImage() {
        m_ui.fileAnswers.push_back({CuePath()});
        QTest::mouseClick(m_cd->ImageButton(), Qt::LeftButton);
    }
    // The region of the sample added last.
    CRegion* LastRootRegion() {
        CRegionList& list = *m_form->Core().RegionList();
        CSample* newest = m_form->Core().SampleList()->At(Samples() - 1);
        for (int i = 0; i < list.Count(); ++i)
            if (list.At(i)->GetSample() == newest) return list.At(i);
        return nullptr;
    }
    void PointCDDBAt(int port) {
        CCDDBPrefs& p = m_form->Core().CDDBPrefs();
        p.server = "127.0.0.1";
        p.port = port;
        p.useProxy = false;
    }

private slots:
    void initTestCase() {
        // Track 1: 6 s; track 2: 3 s; track 3: data.
        QVERIFY(MakeImage(m_disc.path().toStdString(), {{450, true}, {225, true}, {300, false}}));
        Start();
    }

    void anOpenedImageShowsItsTracksWithChecksAndPictures() {
        const int drivesBefore = m_cd->Drives()->count();
        QCOMPARE(m_cd->ImportButton()->text(), QString("Import"));
        QCOMPARE(m_cd->RefreshButton()->text(), QString("Refresh"));
        QCOMPARE(m_cd->CDDBButton()->text(), QString("CDDB"));
        OpenImage();
        QVERIFY2(m_ui.messages.empty(), m_ui.messages.empty() ? "" : m_ui.messages[0].text.c_str());
        // The image stands in the drive list as a drive of its own, and is the chosen one.
        QCOMPARE(m_cd->Drives()->count(), drivesBefore + 1);
        QCOMPARE(m_cd->Drives()->currentIndex(), drivesBefore);
        QCOMPARE(m_cd->Drives()->currentText(), QString::fromStdString(Rip().DriveName(drivesBefore)));
        QCOMPARE(Rip().SelectedDrive(), drivesBefore);
        QCOMPARE(m_form->Core().Prefs()->GetInt(CDImportSection::kDriveKey), drivesBefore);

        QTreeWidgetItem* header = Tracks()->headerItem();
        QCOMPARE(Tracks()->columnCount(), 3);
        QCOMPARE(header->text(0), QString("Tracks"));
        QCOMPARE(header->text(1), QString("Time"));
        QCOMPARE(header->text(2), QString("Size"));
        QCOMPARE(Tracks()->topLevelItemCount(), 3);
        QCOMPARE(Cell(0, 0), QString(" AudioTrack 01"));
        QCOMPARE(Cell(0, 1), QString("00:06"));
        QCOMPARE(Cell(0, 2), QString("1 MB"));
        QCOMPARE(Cell(1, 0), QString(" AudioTrack 02"));
        QCOMPARE(Cell(1, 1), QString("00:03"));
        QCOMPARE(Cell(1, 2), QString("0 MB"));
        QCOMPARE(Cell(2, 0), QString(" DataTrack 03"));
        // Audio tracks checked with the audio picture, the data track unchecked with the other.
        QCOMPARE(Tracks()->topLevelItem(0)->checkState(0), Qt::Checked);
        QCOMPARE(Tracks()->topLevelItem(1)->checkState(0), Qt::Checked);
        QCOMPARE(Tracks()->topLevelItem(2)->checkState(0), Qt::Unchecked);
        const QImage audio = Tracks()->topLevelItem(0)->icon(0).pixmap(16).toImage();
        const QImage data = Tracks()->topLevelItem(2)->icon(0).pixmap(16).toImage();
        QVERIFY(!audio.isNull() && !data.isNull());
        QVERIFY(audio != data);
        QCOMPARE(Tracks()->topLevelItem(1)->icon(0).pixmap(16).toImage(), audio);

        // "Refresh" reads the table again: the same rows, the checks back as they start.
        Tracks()->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
        QTest::mouseClick(m_cd->RefreshButton(), Qt::LeftButton);
        QCOMPARE(Tracks()->topLevelItemCount(), 3);
        QCOMPARE(Tracks()->topLevelItem(0)->checkState(0), Qt::Checked);

        // A file that is no disc is refused with a message, and the list stays as it was.
        m_ui.fileAnswers.push_back({m_disc.path().toStdString() + "/nothing.cue"});
        QTest::mouseClick(m_cd->ImageButton(), Qt::LeftButton);
        QCOMPARE(m_ui.messages.size(), size_t(1));
        QVERIFY(!m_ui.messages[0].text.empty());
        m_ui.messages.clear();
        QCOMPARE(m_cd->Drives()->count(), drivesBefore + 1);
        QCOMPARE(Tracks()->topLevelItemCount(), 3);
    }

    void importBringsInExactlyTheCheckedTracks() {
        const int before = Samples();
        // Track 1 unchecked with Space, as a person does on the focused row.
        Tracks()->setFocus();
        Tracks()->setCurrentItem(Tracks()->topLevelItem(0));
        QTest::keyClick(Tracks()->viewport(), Qt::Key_Space);
        QTRY_COMPARE(Tracks()->topLevelItem(0)->checkState(0), Qt::Unchecked);
        QCOMPARE(m_cd->CheckedTracks(), std::vector<int>{1});

        // The dialog is up while the track is read, and its events go through.
        bool dualWhileReading = false;
        m_ui.onEvents = [&](ScriptedUiPort& ui) { dualWhileReading = dualWhileReading || ui.dualVisible; };
        m_ui.progressTexts.clear();
        m_ui.dualDraws.clear();
        // The report's "Don't show this dialog again " is ticked this time.
        m_ui.reportDontShowAgain = true;
        QTest::mouseClick(m_cd->ImportButton(), Qt::LeftButton);
        m_ui.onEvents = nullptr;

        QCOMPARE(Samples(), before + 1);
        CSample* sample = m_form->Core().SampleList()->At(Samples() - 1);
        QCOMPARE(sample->GetFrameCount(), int64_t{225 * 588});
        CRegion* region = LastRootRegion();
        QVERIFY(region);
        QCOMPARE(QString::fromStdString(region->GetName()), QString("Track 02"));
        // The two-bar dialog with its text, closed again, and the window enabled again.
        QVERIFY(!m_ui.progressTexts.empty());
        QCOMPARE(QString::fromStdString(m_ui.progressTexts.front()), QString("Importing track 1 of 1"));
        QVERIFY(!m_ui.dualDraws.empty());
        QVERIFY(!m_ui.dualVisible);
        QVERIFY(dualWhileReading);
        QVERIFY(m_form->isEnabled());
        // The report: one line for the track, shown while "Show 'Import Audio' Reports" is on.
        QCOMPARE(m_ui.reportShows, 1);
        QCOMPARE(QString::fromStdString(m_ui.reportCaption), QString("Import AudioCD Report"));
        QCOMPARE(m_ui.reportLines.size(), size_t(1));
        QCOMPARE(m_ui.reportLines[0].first, std::string("Track 02"));
        QCOMPARE(m_ui.reportLines[0].second, std::string("OK"));
        // ... which turned "Show 'Import Audio' Reports" off.
        QVERIFY(!m_form->Commands().Action("view.showImportReports")->isChecked());
        // The browser shows the new region.
        QCOMPARE(BrowserOf(*m_form)->Browser().GetCurrent(), region);
    }

    void nothingCheckedImportsNothing() {
        const int before = Samples();
        for (int i = 0; i < Tracks()->topLevelItemCount(); ++i)
            Tracks()->topLevelItem(i)->setCheckState(0, Qt::Unchecked);
        // With the reports on again: an import of nothing has nothing to report.
        m_form->Commands().Action("view.showImportReports")->trigger();
        QVERIFY(m_form->Commands().Action("view.showImportReports")->isChecked());
        const int shows = m_ui.reportShows;
        QTest::mouseClick(m_cd->ImportButton(), Qt::LeftButton);
        QCOMPARE(Samples(), before);
        QVERIFY(m_form->isEnabled());
        QCOMPARE(m_ui.reportShows, shows);
    }

    void aLookupNamesTheRowsAndTheImportNamesAndTagsTheRegions() {
        LoopbackCddb server(CDDBAnswer);
        PointCDDBAt(server.Port());
        // The first match is declined, the second taken.
        m_ui.questionAnswers = {false, true};
        m_ui.messages.clear();
        QTest::mouseClick(m_cd->CDDBButton(), Qt::LeftButton);
        QCOMPARE(server.Requests().size(), size_t(2)); // the query, then the read of the match taken
        QCOMPARE(m_ui.messages.size(), size_t(2));
        QCOMPARE(QString::fromStdString(m_ui.messages[0].text),
                 QString("2 matches found, select this entry?\n\nArtist: Other Band\nAlbum: Wrong Album\nGenre: rock"));
        QVERIFY(m_ui.messages[0].caption.empty());
        QCOMPARE(m_ui.messages[1].kind, std::string("question"));
        // The rows carry the titles now, the data track its own text.
        QCOMPARE(Tracks()->topLevelItemCount(), 3);
        QCOMPARE(Cell(0, 0), QString("01-Opening"));
        QCOMPARE(Cell(1, 0), QString("02-Second Song"));
        QCOMPARE(Cell(2, 0), QString("03-DataTrack"));
        QCOMPARE(Cell(0, 1), QString("00:06"));

        const int before = Samples();
        Tracks()->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
        QTest::mouseClick(m_cd->ImportButton(), Qt::LeftButton);
        QCOMPARE(Samples(), before + 1);
        CRegion* region = LastRootRegion();
        QVERIFY(region);
        QCOMPARE(QString::fromStdString(region->GetName()), QString("01-Opening"));
        QCOMPARE(region->GetTitle(), std::string("Opening"));
        QCOMPARE(region->GetArtist(), std::string("The Testers"));
        QCOMPARE(region->GetAlbum(), std::string("Loopback Songs"));
        QCOMPARE(m_form->Core().SampleList()->At(Samples() - 1)->GetFrameCount(), int64_t{450 * 588});
        QCOMPARE(m_ui.reportLines.back().first, std::string("01-Opening"));
    }

    void aLookupWithNoServerSaysSoAndForgetsTheTitles() {
        PointCDDBAt(LoopbackCddb::DeadPort());
        m_ui.messages.clear();
        QTest::mouseClick(m_cd->CDDBButton(), Qt::LeftButton);
        QVERIFY(!m_ui.messages.empty());
        QCOMPARE(QString::fromStdString(m_ui.messages[0].text), QString("Can't connect to remote server."));
        QCOMPARE(m_ui.messages[0].kind, std::string("notice"));
        QCOMPARE(Cell(0, 0), QString(" AudioTrack 01"));
    }

    void theChosenDriveIsKeptAtTheEndOfTheRun() {
        // The images are not kept: the next run starts at the first drive.
        m_form.reset();
        Start();
        const int drives = m_cd->Drives()->count();
        QCOMPARE(Rip().SelectedDrive(), 0);
        QCOMPARE(m_cd->Drives()->currentIndex(), drives > 0 ? 0 : -1);
        QCOMPARE(Tracks()->topLevelItemCount(), 0);
        // Opening the image again makes it the chosen drive, stored for the next run.
        OpenImage();
        QCOMPARE(m_cd->Drives()->currentIndex(), drives);
        QCOMPARE(Tracks()->topLevelItemCount(), 3);
        m_form.reset();
        Start();
        QVERIFY(m_form->Core().Prefs()->Has(CDImportSection::kDriveKey));
        QCOMPARE(m_form->Core().Prefs()->GetInt(CDImportSection::kDriveKey), drives);
    }

    void cleanupTestCase() { m_form.reset(); }
};

QTEST_MAIN(CDImportSectionTest)
#include "CDImportSectionTest.moc"

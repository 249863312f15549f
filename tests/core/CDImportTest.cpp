// The CD import through the core, on BIN/CUE images made from sox audio: samples and root
// regions in the storage mode (KX64 giving format code 3), their audio against the image's,
// names and tags from the disc's CD-TEXT, an abort in the second of three tracks, a track that
// yields nothing, and the core's start-up and end for the CD service and its settings file.
#include <gtest/gtest.h>

#include <sstream>

#include "audiofile/AudioFileKX64.h"
#include "audiofile/AudioFileWav.h"
#include "audiofile/PeakFile.h"
#include "cdimport/CCDDBPrefs.h"
#include "cdimport/CCDRip.h"
#include "cdimport/DiscImage.h"
#include "cdimport/LoopbackCddb.h"
#include "common/FolderId.h"
#include "common/FormatCode.h"
#include "common/MainThreadPort.h"
#include "core/CCore.h"
#include "core/CDImportJob.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "library/CSample.h"
#include "library/CSampleList.h"
#include "support/Files.h"
#include "support/OracleTool.h"
#include "support/ScriptedUiPort.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// A core on a new library, with a disc image in its CD reader's list.
struct Rig {
    TempDir dir;
    ScriptedUiPort ui;
    MainThreadPort port;
    CCore core{ui, port};
    DiscImage image;
    PeakBuffers peaks;
    std::ostringstream trace;

    bool Start(std::vector<ImageTrack> tracks, const std::string& performer = "", const std::string& album = "") {
        fs::create_directories(dir / "store");
        ui.folderAnswers = {(dir / "store").string()};
        CoreOptions options;
        options.baseFolder = dir.Path();
        options.withSoundCards = false;
        options.trace = &trace;
        if (core.Start(options) != CCore::StartResult::Running || core.CDRip() == nullptr) return false;
        if (!MakeDiscImage(dir.Path(), "disc", std::move(tracks), image, performer, album)) return false;
        std::string error;
        const int index = core.CDRip()->AddImage(image.cue.string(), error);
        core.CDRip()->SelectDrive(index);
        return index >= 0;
    }
    CCDImportJob::Result Import(const std::vector<int>& tracks) {
        CCDImportJob job(core, peaks);
        return job.Run(tracks);
    }
    // The files in the VDisk folder (audio and peak files).
    std::vector<std::string> VDiskFiles() {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir / "store" / "VDisk"))
            if (e.is_regular_file()) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

// The 16-bit samples of a stored file, whatever its format.
std::vector<int16_t> StoredFile(AudioFile& f) {
    std::vector<int16_t> out;
    if (!f.OpenRead()) return out;
    std::vector<int32_t> buf(static_cast<size_t>(f.frames) * 2 + 2);
    const int32_t got = f.ReadInt(buf.data(), static_cast<int32_t>(f.frames));
    for (int32_t k = 0; k < got * 2; ++k) out.push_back(static_cast<int16_t>(buf[static_cast<size_t>(k)]));
    f.Close();
    return out;
}

} // namespace

TEST(CDImport, TracksBecomeStoredSamplesWithRootRegionsAndPeakFiles) {
    REQUIRE_TOOL("sox");
    Rig rig;
    ASSERT_TRUE(rig.Start({{true, 1000, "sine 660"}, {true, 5, "sine 880"}, {false, 150}}));
    const CCDImportJob::Result r = rig.Import({1, 0});
    EXPECT_EQ(r.imported, 2);
    EXPECT_EQ(r.failed, 0);
    EXPECT_FALSE(r.aborted);
    EXPECT_EQ(rig.core.CDRip()->SelectedTracks(), (std::vector<int>{0, 1})); // ascending
    EXPECT_EQ(rig.ui.progressTexts, (std::vector<std::string>{"Importing track 1 of 2", "Importing track 2 of 2"}));
    EXPECT_NE(std::find(rig.ui.dualDraws.begin(), rig.ui.dualDraws.end(), std::make_pair(50, 0)),
              rig.ui.dualDraws.end());
    EXPECT_EQ(rig.ui.dualDraws.back().first, 100);
    EXPECT_FALSE(rig.ui.dualVisible);
    EXPECT_EQ(rig.ui.reportLines,
              (std::vector<std::pair<std::string, std::string>>{{"Track 01", "OK"}, {"Track 02", "OK"}}));

    ASSERT_EQ(rig.core.SampleList()->Count(), 2);
    for (int k = 0; k < 2; ++k) {
        CSample* s = rig.core.SampleList()->At(k);
        const ImageTrack& t = rig.image.tracks[static_cast<size_t>(k)];
        EXPECT_TRUE(s->IsStored());
        EXPECT_EQ(s->GetFormatCode(), kFormatWav);
        EXPECT_EQ(s->GetSampleRate(), 44100);
        EXPECT_EQ(s->GetChannels(), 2);
        EXPECT_EQ(s->GetBits(), 16);
        EXPECT_EQ(s->GetFrameCount(), t.frames * 588LL);
        EXPECT_EQ(s->GetFileSize(), static_cast<int64_t>(fs::file_size(s->FilePath())));
        AudioFileWav f(s->FolderPath(), s->GetFileName());
        EXPECT_TRUE(StoredFile(f) == ImageSamples(t.bytes)) << "track " << k + 1;
        std::string peakName;
        ASSERT_TRUE(s->PeakFileName(peakName));
        std::vector<uint16_t> pairs;
        ASSERT_TRUE(ReadPeakPairs(s->PeakFileFolder(), peakName, pairs));
        EXPECT_EQ(pairs.size() / 2, static_cast<size_t>(t.frames * 588 / 256));
    }
    ASSERT_EQ(r.regions.size(), 2u);
    const CRegion& first = *r.regions[0];
    EXPECT_EQ(first.GetName(), "Track 01");
    EXPECT_TRUE(first.IsRoot());
    EXPECT_EQ(first.GetEnd(), 1000 * 588);
    EXPECT_EQ(first.GetSample(), rig.core.SampleList()->At(0));
    EXPECT_EQ(first.GetTitle(), ""); // no disc information, no tags
    EXPECT_EQ(rig.core.RegionList()->GetSelectedFolder(), rig.core.RegionList()->FolderForNew());
}

TEST(CDImport, LosslessStorageWritesKX64WithFormatCode3AndTheTitlesNameAndTagTheRegions) {
    REQUIRE_TOOL("sox");
    Rig rig;
    ASSERT_TRUE(rig.Start({{true, 200, "sine 440", "Sine Song"}, {true, 90, "sine 550 sine 770", "Chord Song"}},
                          "The Band", "The Album"));
    rig.core.SetStorageMode(kFormatKX64, 400);
    ASSERT_EQ(rig.core.CDRip()->ReadTOC(), 2);
    // As a lookup would leave it: a year the disc's CD-TEXT does not carry.
    rig.core.CDRip()->DiscInfo().year = 2024;
    rig.core.CDRip()->DiscInfo().source = CDDiscInfo::Source::Lookup;
    const CCDImportJob::Result r = rig.Import({0, 1});
    ASSERT_EQ(r.imported, 2);
    for (int k = 0; k < 2; ++k) {
        CSample* s = rig.core.SampleList()->At(k);
        EXPECT_EQ(s->GetFormatCode(), kFormatKX64);
        AudioFileKX64 f(s->FolderPath(), s->GetFileName());
        EXPECT_TRUE(StoredFile(f) == ImageSamples(rig.image.tracks[static_cast<size_t>(k)].bytes)) << k;
    }
    const CRegion& second = *r.regions[1];
    EXPECT_EQ(second.GetName(), "02-Chord Song");
    EXPECT_EQ(second.GetTitle(), "Chord Song");
    EXPECT_EQ(second.GetArtist(), "The Band");
    EXPECT_EQ(second.GetAlbum(), "The Album");
    EXPECT_EQ(second.GetYear(), 2024);
    EXPECT_EQ(second.GetTrack(), 2);
    EXPECT_EQ(rig.ui.reportLines.front().first, "01-Sine Song");
}

TEST(CDImport, AbortInTheSecondOfThreeTracksKeepsTheFirstAndLeavesNothingOfTheSecond) {
    REQUIRE_TOOL("sox");
    Rig rig;
    ASSERT_TRUE(rig.Start({{true, 120, "sine 440"}, {true, 400, "sine 550"}, {true, 60, "sine 660"}}));
    int callsInSecond = 0;
    rig.ui.onEvents = [&](ScriptedUiPort& u) {
        if (!u.progressTexts.empty() && u.progressTexts.back() == "Importing track 2 of 3" && ++callsInSecond == 6)
            u.PressAbort();
    };
    const CCDImportJob::Result r = rig.Import({0, 1, 2});
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(r.imported, 1);
    EXPECT_EQ(callsInSecond, 6); // stopped in the middle of the second track, not after it
    ASSERT_EQ(rig.core.SampleList()->Count(), 1);
    ASSERT_EQ(r.regions.size(), 1u);
    EXPECT_EQ(r.regions[0]->GetName(), "Track 01");
    // The first track's audio and peak file, nothing else.
    const std::string kept = rig.core.SampleList()->At(0)->GetFileName();
    EXPECT_EQ(rig.VDiskFiles(), (std::vector<std::string>{kept, "_" + kept}));
    EXPECT_EQ(rig.ui.progressTexts.size(), 2u);
    EXPECT_FALSE(rig.ui.dualVisible);
}

TEST(CDImport, ATrackThatYieldsNothingMakesNoSampleAndLeavesNoFile) {
    Rig rig;
    ASSERT_TRUE(rig.Start({{true, 60}, {true, 60}}));
    rig.core.CDRip()->SetReadFault([](int32_t frame, int) { return frame >= 60; });
    const CCDImportJob::Result r = rig.Import({0, 1});
    EXPECT_EQ(r.imported, 1);
    EXPECT_EQ(r.failed, 1);
    EXPECT_EQ(rig.core.SampleList()->Count(), 1);
    EXPECT_EQ(rig.ui.reportLines.back(), std::make_pair(std::string("Track 02"), std::string("Can't read track.")));
    EXPECT_EQ(rig.VDiskFiles().size(), 2u);
    // Without a disc the import imports nothing.
    rig.core.CDRip()->SetReadFault({});
    fs::remove(rig.image.cue);
    EXPECT_EQ(rig.Import({0}).imported, 0);
}

TEST(CDImport, TheCoreStartsTheCDServiceAndKeepsTheCDDBSettingsFile) {
    Rig rig;
    CCDDBPrefs stored;
    stored.server = "cddb.example.net";
    stored.proxyPassword = "secret";
    ASSERT_TRUE(stored.Save((rig.dir / "CDDBPrefs.dat").string()));
    ASSERT_TRUE(rig.Start({{true, 30}}));
    const std::string t = rig.trace.str();
    ASSERT_NE(t.find("Starting CD service\n"), std::string::npos) << t;
    EXPECT_LT(t.find("Starting CD service\n"), t.find("Opening DB\n"));
    EXPECT_GT(t.find("Refreshing CD drives\n"), t.find("Starting disk I/O thread\n"));
    EXPECT_EQ(rig.core.CDDBPrefs().server, "cddb.example.net");
    EXPECT_EQ(rig.core.CDDBPrefs().proxyPassword, "secret");
    EXPECT_EQ(rig.core.CDDBPrefsPath(), rig.dir / "CDDBPrefs.dat");

    // Written back at the end of a complete run.
    rig.core.CDDBPrefs().queryScript = "/cddb";
    rig.core.MarkStartupComplete();
    ASSERT_TRUE(rig.core.Stop());
    CCDDBPrefs back;
    ASSERT_TRUE(back.Load((rig.dir / "CDDBPrefs.dat").string()));
    EXPECT_EQ(back.queryScript, "/cddb");
    EXPECT_EQ(back.server, "cddb.example.net");
}

TEST(CDImport, ARunThatDidNotStartCompletelyLeavesTheSettingsFileAlone) {
    Rig rig;
    ASSERT_TRUE(rig.Start({{true, 30}}));
    rig.core.CDDBPrefs().server = "changed";
    ASSERT_TRUE(rig.core.Stop());
    EXPECT_FALSE(fs::exists(rig.dir / "CDDBPrefs.dat"));
}

TEST(CDImport, TheCoresLookupUsesItsSettingsAndTellsThePersonThroughItsPort) {
    Rig rig;
    ASSERT_TRUE(rig.Start({{true, 30}, {true, 40}}));
    rig.core.CDDBPrefs().server = "127.0.0.1";
    rig.core.CDDBPrefs().port = LoopbackCddb::DeadPort();
    rig.core.CDRip()->DiscInfo().titles[0] = "Stale";
    EXPECT_FALSE(rig.core.CDDBLookup());
    ASSERT_FALSE(rig.ui.messages.empty());
    EXPECT_EQ(rig.ui.messages.back().text, "Can't connect to remote server.");
    EXPECT_EQ(rig.ui.messages.back().caption, "");
    // The track list is read again after the lookup.
    EXPECT_EQ(rig.core.CDRip()->TrackCount(), 2);
    EXPECT_EQ(rig.core.CDRip()->TrackName(0), " AudioTrack 01");
}

TEST(CDImport, ACoreWithoutALibraryNeitherReadsNorWritesTheSettingsFile) {
    TempDir dir;
    CCDDBPrefs stored;
    stored.server = "cddb.example.net";
    ASSERT_TRUE(stored.Save((dir / "CDDBPrefs.dat").string()));
    const std::vector<uint8_t> before = LoadBytes(dir / "CDDBPrefs.dat");
    ScriptedUiPort ui;
    MainThreadPort port;
    CCore core(ui, port);
    CoreOptions options;
    options.baseFolder = dir.Path();
    options.withLibrary = false;
    options.withSoundCards = false;
    ASSERT_EQ(core.Start(options), CCore::StartResult::Running);
    EXPECT_EQ(core.CDDBPrefs().server, CCDDBPrefs::kDefaultServer);
    core.CDDBPrefs().server = "changed";
    core.MarkStartupComplete();
    ASSERT_TRUE(core.Stop());
    EXPECT_EQ(LoadBytes(dir / "CDDBPrefs.dat"), before);
}

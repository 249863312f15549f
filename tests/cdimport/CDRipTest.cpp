// The CD reader on BIN/CUE images made here from sox audio: the track list texts (the data-track
// rule of the list against the full span that is read), reading whole tracks sample for sample
// (short tracks, the last partial block, blocks that fail and are retried or skipped), the
// disc information that stays with its disc, and titles from CD-TEXT.
#include <gtest/gtest.h>

#include <memory>

#include "audiofile/AudioFileWav.h"
#include "audiofile/PeakFile.h"
#include "cdimport/CCDRip.h"
#include "cdimport/DiscImage.h"
#include "support/OracleTool.h"
#include "support/ScriptedUiPort.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// The images, each made once per test program when a test first needs it (the long one holds
// 37 MB of audio): 15,825 frames of audio (3:31) then 300 of data; 1,000, 5 and 120 frames of
// audio; 1,000, 80 and 120 frames (another disc id) with CD-TEXT.
const TempDir& ImageDir() {
    static TempDir dir;
    return dir;
}
const DiscImage* Made(bool ok, const DiscImage& image) { return ok ? &image : nullptr; }
const DiscImage* LongImage() {
    static DiscImage image;
    static const DiscImage* made =
        Made(MakeDiscImage(ImageDir().Path(), "long", {{true, 15825, "sine 440"}, {false, 300}}, image), image);
    return made;
}
const DiscImage* ThreeImage() {
    static DiscImage image;
    static const DiscImage* made =
        Made(MakeDiscImage(ImageDir().Path(), "three",
                           {{true, 1000, "sine 660"}, {true, 5, "sine 880"}, {true, 120, "sine 220 sine 330"}}, image),
             image);
    return made;
}
const DiscImage* TitledImage() {
    static DiscImage image;
    static const DiscImage* made = Made(MakeDiscImage(ImageDir().Path(), "titled",
                                                      {{true, 1000, "sine 660", "Opening"},
                                                       {true, 80, "sine 880", "Blip"},
                                                       {true, 120, "sine 220 sine 330", "Chord"}},
                                                      image, "The Band", "First Album"),
                                        image);
    return made;
}

// Ends the test unless sox made the image.
#define REQUIRE_IMAGE(var, maker)                                                                                      \
    REQUIRE_TOOL("sox");                                                                                               \
    const DiscImage* var##Ptr = maker();                                                                               \
    ASSERT_NE(var##Ptr, nullptr) << "the test image could not be made";                                                \
    const DiscImage& var = *var##Ptr

// A reader with the image as its selected drive.
std::unique_ptr<CCDRip> ReaderOn(const DiscImage& image) {
    auto rip = std::make_unique<CCDRip>();
    EXPECT_TRUE(rip->Start());
    std::string error;
    const int index = rip->AddImage(image.cue.string(), error);
    EXPECT_GE(index, 0) << error;
    rip->SelectDrive(index);
    return rip;
}

// Reads track i into a WAV file and gives back its 16-bit samples.
struct ReadResult {
    int64_t bytes = 0;
    bool aborted = false;
    bool writeFailed = false;
    std::vector<int16_t> samples;
    PeakBuffers peaks;
};
ReadResult ReadInto(CCDRip& rip, int i, const TempDir& dir, UiPort* ui = nullptr) {
    ReadResult r;
    AudioFileWav w(dir.Str(), "track.wav");
    r.bytes = rip.ReadTrack(i, w, 0, r.peaks, ui, 50, r.aborted, r.writeFailed);
    AudioFileWav in(dir.Str(), "track.wav");
    if (!in.OpenRead()) return r;
    std::vector<int32_t> buf(static_cast<size_t>(in.frames) * 2 + 2);
    const int32_t got = in.ReadInt(buf.data(), static_cast<int32_t>(in.frames));
    for (int32_t k = 0; k < got * 2; ++k) r.samples.push_back(static_cast<int16_t>(buf[static_cast<size_t>(k)]));
    in.Close();
    return r;
}

} // namespace

TEST(CDRip, TrackListShowsAudioBeforeDataShorterButTheTableKeepsTheFullSpan) {
    REQUIRE_IMAGE(image, LongImage);
    auto rip = ReaderOn(image);
    EXPECT_EQ(rip->DriveName(rip->SelectedDrive()), "Image:long.cue");
    ASSERT_EQ(rip->ReadTOC(), 2);
    ASSERT_EQ(rip->Toc().size(), 3u); // two tracks and the lead-out
    EXPECT_EQ(rip->Toc()[1].start, 15825);
    EXPECT_EQ(rip->Toc()[2].start, 15825 + 300);
    EXPECT_TRUE(rip->IsAudioTrack(0));
    EXPECT_FALSE(rip->IsAudioTrack(1));
    EXPECT_EQ(rip->Toc()[1].control & 4, 4);

    // 15,825 frames are 211 s and 37.2 MB; before a data track the list shows 150 s and 11,250
    // frames less.
    EXPECT_EQ(rip->TrackName(0), " AudioTrack 01");
    EXPECT_EQ(rip->TrackTime(0), "01:01");
    EXPECT_EQ(rip->TrackSize(0), "10 MB");
    EXPECT_EQ(rip->TrackName(1), " DataTrack 02");
    EXPECT_EQ(rip->TrackTime(1), "00:04"); // the last track ends at the lead-out
    EXPECT_EQ(rip->TrackSize(1), "0 MB");
    EXPECT_EQ(rip->TrackFrames(0), 15825);
    // With titles known, a data track keeps its plain name.
    rip->DiscInfo().titles[0] = "Song";
    rip->DiscInfo().titles[1] = "Extras";
    EXPECT_EQ(rip->TrackName(0), "01-Song");
    EXPECT_EQ(rip->TrackName(1), "02-DataTrack");
    rip->DiscInfo().ClearTitles();

    // The import reads the whole span, sample for sample.
    TempDir out;
    const ReadResult r = ReadInto(*rip, 0, out);
    EXPECT_FALSE(r.aborted);
    EXPECT_FALSE(r.writeFailed);
    EXPECT_EQ(r.bytes, 15825LL * 2352);
    EXPECT_TRUE(r.samples == ImageSamples(image.Bytes(0)));
    // One peak entry per 256 frames of the 4,096-frame blocks.
    EXPECT_EQ(r.peaks.peaks.size() / 2, 15825u * 588 / 256);
}

TEST(CDRip, ShortTracksAreReadCompletelyWithTheirPartialBlocks) {
    REQUIRE_IMAGE(image, ThreeImage);
    auto rip = ReaderOn(image);
    ASSERT_EQ(rip->ReadTOC(), 3);
    EXPECT_EQ(rip->TrackTime(2), "00:01"); // audio before audio: no data-track rule
    TempDir out;
    // 1,000 frames end inside a 26-frame call and inside a 4,096-frame block; 5 frames (2,940
    // stereo frames) fill no block at all.
    for (int i : {0, 1, 2}) {
        const ReadResult r = ReadInto(*rip, i, out);
        EXPECT_EQ(r.bytes, static_cast<int64_t>(image.tracks[static_cast<size_t>(i)].frames) * 2352) << i;
        EXPECT_TRUE(r.samples == ImageSamples(image.Bytes(static_cast<size_t>(i)))) << "track " << i + 1;
    }
}

TEST(CDRip, ABlockThatFailsThreeTimesIsSkippedAndFewerFailuresAreRetried) {
    REQUIRE_IMAGE(image, ThreeImage);
    auto rip = ReaderOn(image);
    ASSERT_EQ(rip->ReadTOC(), 3);
    TempDir out;
    const std::vector<int16_t> all = ImageSamples(image.Bytes(0));

    // The block at frame 52 fails twice: the third attempt gets it, nothing is lost.
    std::vector<int> attempts;
    rip->SetReadFault([&](int32_t frame, int attempt) {
        if (frame == 52) attempts.push_back(attempt);
        return frame == 52 && attempt < 3;
    });
    ReadResult r = ReadInto(*rip, 0, out);
    EXPECT_EQ(attempts, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(r.bytes, 1000LL * 2352);
    EXPECT_TRUE(r.samples == all);

    // It fails every time: those 26 frames are left out and the rest follows on.
    rip->SetReadFault([](int32_t frame, int) { return frame == 52; });
    r = ReadInto(*rip, 0, out);
    EXPECT_EQ(r.bytes, (1000LL - 26) * 2352);
    std::vector<int16_t> expected(all.begin(), all.begin() + 52 * 1176);
    expected.insert(expected.end(), all.begin() + 78 * 1176, all.end());
    EXPECT_TRUE(r.samples == expected);
}

TEST(CDRip, AbortStopsTheReadAndShowsTheDetailBarEveryFifthCall) {
    REQUIRE_IMAGE(image, ThreeImage);
    auto rip = ReaderOn(image);
    ASSERT_EQ(rip->ReadTOC(), 3);
    TempDir out;
    ScriptedUiPort ui;
    ui.DualOpen();
    ui.onEvents = [](ScriptedUiPort& u) {
        if (u.eventCalls == 12) u.PressAbort();
    };
    const ReadResult r = ReadInto(*rip, 0, out, &ui);
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(r.bytes, 11LL * 26 * 2352); // eleven calls before the abort was seen
    // Calls 0, 5 and 10 set the detail bar: 0 %, 130 of 1,000 frames and 260 of 1,000.
    ASSERT_GE(ui.dualDraws.size(), 2u);
    EXPECT_EQ(ui.dualDraws.back(), std::make_pair(50, 26));
}

TEST(CDRip, TitlesStayWithTheirDiscAndCDTextNamesTracksBeforeAnyLookup) {
    REQUIRE_IMAGE(image, ThreeImage);
    auto rip = ReaderOn(image);
    ASSERT_EQ(rip->ReadTOC(), 3);
    EXPECT_FALSE(rip->DiscInfo().AnyTitle());
    EXPECT_EQ(rip->TrackName(0), " AudioTrack 01");

    // What a lookup leaves: titles under this disc's id.
    CDDiscInfo& info = rip->DiscInfo();
    info.titles[0] = "Found Title";
    info.artist = "Someone";
    info.year = 1999;
    info.source = CDDiscInfo::Source::Lookup;
    const uint32_t id = CCDRip::DiscIdOf(rip->Toc());
    info.discId = id;
    ASSERT_EQ(rip->ReadTOC(), 3); // the same disc: kept
    EXPECT_EQ(rip->TrackName(0), "01-Found Title");
    EXPECT_EQ(rip->DiscInfo().year, 1999);

    // Another disc in the drive: cleared, then named by its own CD-TEXT.
    std::string error;
    const DiscImage* titled = TitledImage();
    ASSERT_NE(titled, nullptr);
    const int other = rip->AddImage(titled->cue.string(), error);
    ASSERT_GE(other, 0) << error;
    rip->SelectDrive(other);
    ASSERT_EQ(rip->ReadTOC(), 3);
    EXPECT_EQ(rip->DiscInfo().source, CDDiscInfo::Source::CDText);
    EXPECT_EQ(rip->TrackName(0), "01-Opening");
    EXPECT_EQ(rip->TrackName(2), "03-Chord");
    EXPECT_EQ(rip->DiscInfo().artist, "The Band");
    EXPECT_EQ(rip->DiscInfo().album, "First Album");
    EXPECT_EQ(rip->DiscInfo().year, 0);

    // And back: the first disc has no CD-TEXT, so nothing of the other one sticks to it.
    rip->SelectDrive(0);
    ASSERT_EQ(rip->ReadTOC(), 3);
    EXPECT_FALSE(rip->DiscInfo().AnyTitle());
    EXPECT_EQ(rip->DiscInfo().artist, "");

    // The writer of a titled track gets the tags.
    rip->SelectDrive(other);
    ASSERT_EQ(rip->ReadTOC(), 3);
    TempDir out;
    AudioFileWav w(out.Str(), "t.wav");
    PeakBuffers peaks;
    bool aborted = false, failed = false;
    EXPECT_GT(rip->ReadTrack(1, w, 0, peaks, nullptr, 0, aborted, failed), 0);
    EXPECT_EQ(std::string(w.title), "Blip");
    EXPECT_EQ(std::string(w.artist), "The Band");
    EXPECT_EQ(std::string(w.album), "First Album");
    EXPECT_EQ(w.track, 2);
}

TEST(CDRip, DrivesAndImagesAreListedAndFoundByNameDeviceOrNumber) {
    REQUIRE_IMAGE(image, ThreeImage);
    CCDRip rip;
    ASSERT_TRUE(rip.Start());
    const int drives = rip.ListDrives();
    std::string error;
    const int a = rip.AddImage(image.cue.string(), error);
    ASSERT_EQ(a, drives);
    EXPECT_EQ(rip.AddImage(image.cue.string(), error), a); // listed once
    EXPECT_EQ(rip.FindDrive("Image:three.cue"), a);
    EXPECT_EQ(rip.FindDrive(image.cue.string()), a);
    EXPECT_EQ(rip.FindDrive(std::to_string(a + 1)), a);
    EXPECT_EQ(rip.FindDrive("nothing:here"), -1);
    // Images stay in the list when the drives are listed again.
    EXPECT_EQ(rip.ListDrives(), drives + 1);
    // A selected index beyond the list falls back to the first entry.
    rip.SelectDrive(40);
    EXPECT_EQ(rip.SelectedDrive(), 0);

    // Something that is no disc image is refused.
    TempDir dir;
    std::ofstream(dir / "junk.cue") << "this is not a cue sheet\n";
    EXPECT_EQ(rip.AddImage((dir / "junk.cue").string(), error), -1);
    EXPECT_EQ(rip.AddImage((dir / "missing.cue").string(), error), -1);
}

TEST(CDRip, DiscIdFollowsTheCddbSum) {
    // Three tracks at 0, 1,000 and 1,005 frames, lead-out at 1,125: offsets from the lead-in are
    // 2, 15 and 15 seconds (digit sums 2 + 6 + 6 = 14), 15 s long.
    const std::vector<CDTocEntry> toc = {{0, 0}, {0, 1000}, {0, 1005}, {0x10, 1125}};
    EXPECT_EQ(CCDRip::DiscIdOf(toc), (14u << 24) | (15u << 8) | 3u);
    EXPECT_EQ(CCDRip::DiscIdOf({}), 0u);
}

TEST(CDRip, EverySixteenBitValueIsStoredAsTheDiscHoldsIt) {
    REQUIRE_TOOL("sox");
    // A silent 1,000-frame track whose bytes are then replaced by every 16-bit value in turn,
    // full scale both ways included, in the image and in the file behind it.
    TempDir dir;
    DiscImage image;
    ASSERT_TRUE(MakeDiscImage(dir.Path(), "values", {{true, 1000, ""}}, image));
    std::vector<uint8_t>& bytes = image.tracks[0].bytes;
    for (size_t i = 0; i < bytes.size() / 2; ++i) {
        const uint16_t v = static_cast<uint16_t>(i * 7919u); // 7919 is odd: all 65,536 values appear
        bytes[2 * i] = static_cast<uint8_t>(v);
        bytes[2 * i + 1] = static_cast<uint8_t>(v >> 8);
    }
    {
        std::ofstream bin(dir.Path() / "values.bin", std::ios::binary | std::ios::in | std::ios::out);
        bin.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(bin.good());
    }
    auto rip = ReaderOn(image);
    ASSERT_EQ(rip->ReadTOC(), 1);
    TempDir out;
    const ReadResult r = ReadInto(*rip, 0, out);
    ASSERT_EQ(r.samples.size(), bytes.size() / 2);
    EXPECT_TRUE(r.samples == ImageSamples(bytes));
}

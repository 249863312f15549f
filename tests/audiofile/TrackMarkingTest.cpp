// Track marking on synthetic peak data with known pauses.
#include <gtest/gtest.h>

#include <filesystem>

#include "audiofile/PeakFile.h"
#include "audiofile/TrackMarking.h"
#include "library/CMarker.h"
#include "library/CRegion.h"
#include "library/CSample.h"
#include "library/CVDisk.h"
#include "support/TempDir.h"

namespace {

constexpr int32_t kRate = 44100;
constexpr int32_t kP = 256;
constexpr int64_t kC = kRate / kP; // 172 entries per second

// Peak pairs of a recording: loud everywhere except the given seconds at the given level.
struct Recording {
    std::vector<uint16_t> pairs;
    explicit Recording(double seconds, uint16_t loud = 30000) {
        pairs.assign(static_cast<size_t>(seconds * kC) * 2, loud);
    }
    Recording& Quiet(int64_t fromSecond, int64_t toSecond, uint16_t level) {
        for (int64_t e = fromSecond * kC; e < toSecond * kC && e * 2 < static_cast<int64_t>(pairs.size()); ++e)
            pairs[static_cast<size_t>(2 * e)] = pairs[static_cast<size_t>(2 * e + 1)] = level;
        return *this;
    }
    std::vector<int64_t> Marks() const {
        const int64_t n = static_cast<int64_t>(pairs.size() / 2);
        return FindTrackMarks(pairs.data(), n, 0, n, kP, kRate);
    }
};

// Where a pause of quiet seconds ending at second `end` puts its marker: the first entry whose
// 30 entries ahead are all loud while the 30 behind it are all quiet (ties go to the first).
int64_t MarkAfterPauseEnding(int64_t end) { return (end * kC - 1) * kP - 4000; }

} // namespace

TEST(TrackMarking, PausesOfSilenceAndOfQuietBothGetAMarkerBeforeThePiece) {
    for (uint16_t quiet : {uint16_t(0), uint16_t(500)}) {
        SCOPED_TRACE(quiet);
        const std::vector<int64_t> m = Recording(120).Quiet(40, 42, quiet).Marks();
        ASSERT_EQ(m.size(), 1u);
        EXPECT_EQ(m[0], MarkAfterPauseEnding(42));
        // About 91 ms before the rise at 44100 Hz.
        EXPECT_NEAR(double(42 * kC * kP - m[0]) / kRate, 0.091, 0.01);
    }
}

TEST(TrackMarking, ShortRegionsTheLastThirtySecondsAndSingleQuietSeconds) {
    EXPECT_TRUE(Recording(29.9).Quiet(10, 12, 0).Marks().empty());
    EXPECT_TRUE(Recording(100).Quiet(75, 80, 0).Marks().empty()); // inside the last 30 seconds
    // One quiet second inside loud music is no pause, silent or not; two are.
    EXPECT_TRUE(Recording(120).Quiet(50, 51, 0).Marks().empty());
    EXPECT_TRUE(Recording(120).Quiet(50, 51, 800).Marks().empty());
    EXPECT_EQ(Recording(120).Quiet(50, 52, 800).Marks(), std::vector<int64_t>{MarkAfterPauseEnding(52)});
    // A whole recording at one level has no pause at all.
    Recording flat(200, 1000);
    EXPECT_TRUE(flat.Marks().empty());
}

TEST(TrackMarking, PausesCloserThanThirtySecondsYieldOnlyTheQuieterOne) {
    const std::vector<int64_t> m = Recording(200).Quiet(40, 42, 300).Quiet(60, 62, 0).Marks();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0], MarkAfterPauseEnding(62));
    // Far apart, both count, the quieter first.
    const std::vector<int64_t> two = Recording(300).Quiet(40, 42, 300).Quiet(120, 123, 0).Marks();
    EXPECT_EQ(two, (std::vector<int64_t>{MarkAfterPauseEnding(123), MarkAfterPauseEnding(42)}));
}

TEST(TrackMarking, RegionOperationReadsThePeakFileAndAddsTimedMarkers) {
    TempDir dir;
    std::filesystem::create_directories(dir / "VDisk");
    CVDisk::Table().Clear();
    CVDisk::Table().Add(77, dir.Str());
    Recording rec(150);
    rec.Quiet(70, 73, 0);
    CSample sample("000000000001", "", 1, 77, kRate, 2, 16, static_cast<int64_t>(rec.pairs.size() / 2) * kP, 0, 0);
    PeakBuffers pb;
    pb.peaks = rec.pairs;
    std::string name;
    ASSERT_TRUE(sample.PeakFileName(name));
    ASSERT_TRUE(WritePeakFile((dir / "VDisk").string(), name, pb, kP));
    CRegion region("Side A", 0, sample.GetFrameCount(), &sample, RegionRoot, -1, 1);
    std::vector<int64_t> added;
    ASSERT_TRUE(MarkIndividualTracks(region, added));
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0], MarkAfterPauseEnding(73));
    ASSERT_EQ(region.Markers().Count(), 1);
    EXPECT_EQ(region.Markers().At(0)->GetPosition(), added[0]);
    EXPECT_EQ(region.Markers().At(0)->GetText(), "0:01:12:79 (you can edit this text)");
    // A region that starts later sees the same pause at a position relative to its start.
    CRegion later("Later", 20 * kC * kP, sample.GetFrameCount(), &sample, 0, -1, 1);
    ASSERT_TRUE(MarkIndividualTracks(later, added));
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0], MarkAfterPauseEnding(73) - 20 * kC * kP);
    // No peak file: nothing to do.
    CSample missing("000000000002", "", 1, 77, kRate, 2, 16, 1000, 0, 0);
    CRegion none("None", 0, 1000, &missing, RegionRoot, -1, 1);
    EXPECT_FALSE(MarkIndividualTracks(none, added));
    EXPECT_TRUE(added.empty());
    CVDisk::Table().Clear();
}

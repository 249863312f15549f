#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Clock.h"
#include "library/CRegion.h"
#include "library/CSample.h"

namespace {
std::string Info(const CRegion& r, const std::string& label) {
    for (const auto& [l, v] : r.InfoList())
        if (l == label) return v;
    return "<missing>";
}

std::vector<uint16_t> Ramp(int pairs, int step) {
    std::vector<uint16_t> v;
    for (int k = 0; k < pairs; ++k) {
        v.push_back(static_cast<uint16_t>(k * step));
        v.push_back(static_cast<uint16_t>(k * step));
    }
    return v;
}
} // namespace

TEST(RegionTest, NewRegionDefaults) {
    Clock::SetFixed({2024, 3, 5, 10, 0, 0});
    CSample s("a.wav", "/x", 0, 1, 44100, 2, 16, 44100, 0, 0, 3);
    CRegion r(std::string(300, 'n'), 100, 44100, &s, RegionRoot, 5, 1);
    Clock::ClearFixed();
    EXPECT_EQ(r.GetName().size(), 255u);
    EXPECT_EQ(r.GetDate(), 2024 * 65536 + 3 * 256 + 5);
    EXPECT_EQ(r.GetNextChild(), 1);
    EXPECT_EQ(r.GetViewStart(), 0);
    EXPECT_EQ(r.GetViewEnd(), 44000);
    EXPECT_FALSE(r.HasRange());
    EXPECT_EQ(r.Snaps().Count(), 1);
    EXPECT_EQ(r.Snaps().At(0)->GetName(), "Flat");
    EXPECT_EQ(r.Markers().Count(), 0);
}

TEST(RegionTest, PeakStatisticsCoverWholeSample) {
    CSample s("a.wav", "/x", 0, 1, 44100, 2, 16, 1000, 0, 0, 3);
    CRegion r("r", 0, 1000, &s, 0, 1, 1);
    const uint16_t pairs[] = {65535, 10, 65535, 3000};
    r.ComputePeakStats(pairs, 2);
    EXPECT_EQ(r.GetLeftPeak(), 65535);
    EXPECT_EQ(r.GetRightPeak(), 3000);
    EXPECT_EQ(r.GetLeftLevel(), 46333); // 0.707 × 65535 = 46333.2
    EXPECT_EQ(r.GetRightLevel(), 1064); // 0.3535 × 3010 = 1064.0
    // No peak data: zero statistics and the overview keeps its bytes.
    r.MutableOverview()[7] = 99;
    r.ComputePeakStats(nullptr, 0);
    EXPECT_EQ(r.GetLeftPeak(), 0);
    EXPECT_EQ(r.GetLeftLevel(), 0);
    EXPECT_EQ(r.GetOverview()[7], 99);
}

TEST(RegionTest, OverviewFollowsTheRange) {
    CSample s("a.wav", "/x", 0, 1, 44100, 2, 16, 1000, 0, 0, 3);
    CRegion r("r", 500, 1000, &s, 0, 1, 1);
    std::vector<uint16_t> peaks = Ramp(11, 6553); // pair k holds k × 6553
    r.ComputePeakStats(peaks.data(), 11);
    // first = 5, last = 10, pair index 5 + trunc(i × 6 ÷ 1023), held at last.
    EXPECT_EQ(r.GetOverview()[0], 127);   // 32765 × 255 ÷ 65535
    EXPECT_EQ(r.GetOverview()[170], 127); // still pair 5
    EXPECT_EQ(r.GetOverview()[171], 152); // pair 6
    EXPECT_EQ(r.GetOverview()[1022], 254);
    EXPECT_EQ(r.GetOverview()[1023], 254); // would be pair 11, held at pair 10
    EXPECT_EQ(r.GetLeftPeak(), 65530);

    // Without a frame count the overview is left alone.
    CSample empty("e.wav", "/x", 0, 1, 44100, 2, 16, 0, 0, 0, 4);
    CRegion e("e", 0, 0, &empty, 0, 2, 1);
    e.MutableOverview()[0] = 42;
    e.ComputePeakStats(peaks.data(), 11);
    EXPECT_EQ(e.GetOverview()[0], 42);
    EXPECT_EQ(e.GetLeftPeak(), 65530);
}

TEST(RegionTest, OverviewRatiosAreSinglePrecision) {
    // 7 ÷ 10 as a float is just below 0.7, so the first pair is 6, not 7.
    CSample s("a.wav", "/x", 0, 1, 44100, 2, 16, 10, 0, 0, 3);
    CRegion r("r", 7, 10, &s, 0, 1, 1);
    std::vector<uint16_t> peaks = Ramp(11, 6553);
    r.ComputePeakStats(peaks.data(), 11);
    EXPECT_EQ(r.GetOverview()[0], 152);
}

TEST(RegionTest, OverviewOfDamagedRangeStaysInsideData) {
    CSample s("a.wav", "/x", 0, 1, 44100, 2, 16, 100, 0, 0, 3);
    CRegion r("r", 5000, 9000, &s, 0, 1, 1); // range beyond the sample
    std::vector<uint16_t> peaks = Ramp(4, 1000);
    r.ComputePeakStats(peaks.data(), 4);
    for (int i = 0; i < CRegion::kOverviewSize; ++i) ASSERT_EQ(r.GetOverview()[i], 11); // pair 3: 3000
    // Far beyond any index: still held at the last pair, not taken from the first.
    CSample one("o.wav", "/x", 0, 1, 44100, 2, 16, 1, 0, 0, 3);
    CRegion far("f", INT64_MAX / 2, INT64_MAX, &one, 0, 2, 1);
    far.ComputePeakStats(peaks.data(), 4);
    for (int i = 0; i < CRegion::kOverviewSize; ++i) ASSERT_EQ(far.GetOverview()[i], 11);
}

TEST(RegionTest, PeakDisplay) {
    EXPECT_EQ(CRegion::PeakDisplay(0), "-99.00dB");
    EXPECT_EQ(CRegion::PeakDisplay(65535), "0.00dB");
    EXPECT_EQ(CRegion::PeakDisplay(32768), "-6.02dB");
}

TEST(RegionTest, FadeShapeBits) {
    CRegion r("r", 0, 10, nullptr, RegionRoot, 1, 1);
    r.SetFadeInShape(2);
    EXPECT_EQ(r.GetFadeInShape(), 2);
    EXPECT_EQ(r.GetFlags(), RegionRoot | RegionFadeInExp);
    r.SetFadeInShape(1); // clears the Exp bit
    EXPECT_EQ(r.GetFlags(), RegionRoot | RegionFadeInLog);
    r.SetFadeOutShape(2);
    EXPECT_EQ(r.GetFadeOutShape(), 2);
    EXPECT_EQ(r.GetFadeInShape(), 1);
    r.SetFadeInShape(0);
    EXPECT_EQ(r.GetFlags(), RegionRoot | RegionFadeOutExp);
    r.SetFlags(RegionFadeInLog | RegionFadeInExp | RegionFadeOutLog | RegionFadeOutExp);
    EXPECT_EQ(r.GetFadeInShape(), 1);
    EXPECT_EQ(r.GetFadeOutShape(), 1);
}

TEST(RegionTest, RangeHistory) {
    CSample s("a.wav", "/x", 0, 1, 100, 2, 16, 100000, 0, 0, 3);
    CRegion r("r", 0, 100000, &s, 0, 1, 1);
    r.AddToHistory(false, 1, 2);
    EXPECT_EQ(r.GetHistoryCount(), 0);
    for (int i = 1; i <= 11; ++i) r.AddToHistory(true, i * 100, i * 100 + 50);
    ASSERT_EQ(r.GetHistoryCount(), 10);
    int32_t a = 0, b = 0;
    ASSERT_TRUE(r.GetHistoryEntry(0, a, b));
    EXPECT_EQ(a, 1100);
    ASSERT_TRUE(r.GetHistoryEntry(9, a, b));
    EXPECT_EQ(a, 200); // the first range fell off
    EXPECT_FALSE(r.GetHistoryEntry(10, a, b));

    std::vector<std::string> lines = r.HistoryLines();
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[0], "none");
    EXPECT_EQ(lines[1], "0:00:11:00 - 0:00:11:50");

    ASSERT_TRUE(r.SelectHistory(2));
    EXPECT_TRUE(r.HasRange());
    EXPECT_EQ(r.GetRangeStart(), 1000);
    EXPECT_EQ(r.GetRangeEnd(), 1050);
    EXPECT_FALSE(r.SelectHistory(11));
    ASSERT_TRUE(r.SelectHistory(0));
    EXPECT_FALSE(r.HasRange());

    ASSERT_TRUE(r.DeleteHistory(1));
    EXPECT_EQ(r.GetHistoryCount(), 9);
    ASSERT_TRUE(r.GetHistoryEntry(0, a, b));
    EXPECT_EQ(a, 1000);
    ASSERT_TRUE(r.DeleteHistory(9));
    ASSERT_TRUE(r.GetHistoryEntry(7, a, b));
    EXPECT_EQ(a, 300);
    EXPECT_FALSE(r.DeleteHistory(0));
    EXPECT_FALSE(r.DeleteHistory(9));
    r.AddToHistory(true, 5, 6);
    EXPECT_EQ(r.GetHistoryCount(), 9);
}

TEST(RegionTest, ChildNamesCountOn) {
    CRegion r("Song", 0, 10, nullptr, 0, 1, 1);
    EXPECT_EQ(r.ChildName(), "Song.001");
    EXPECT_EQ(r.ChildName(), "Song.002");
    r.SetNextChild(1234);
    EXPECT_EQ(r.ChildName(), "Song.1234");
    EXPECT_EQ(r.GetNextChild(), 1235);
}

TEST(RegionTest, InfoListOfOneSecondRoot) {
    CSample s("one.wav", "/music", 0, 1, 44100, 2, 16, 44100, 0, 0, 3);
    CRegion r("one", 0, 44100, &s, RegionRoot, 1, 1);
    r.SetFadeInLength(22050);
    r.SetTitle("T");
    std::vector<std::pair<std::string, std::string>> rows = r.InfoList();
    std::vector<std::string> labels;
    for (const auto& row : rows) labels.push_back(row.first);
    EXPECT_EQ(labels, (std::vector<std::string>{"Title",           "Artist",        "Album",     "Year",
                                                "Genre",           "Format",        "Data Rate", "Data Density",
                                                "Whole File Size", "Size as PCM16", "Length",    "Start Offset",
                                                "End Offset",      "Fade In",       "Fade Out",  "DSP Snaps",
                                                "File Name",       "File Path",     "Left Peak", "Right Peak"}));
    EXPECT_EQ(Info(r, "Title"), "T");
    EXPECT_EQ(Info(r, "Year"), "");
    EXPECT_EQ(Info(r, "Format"), "44.1/16/2");
    EXPECT_EQ(Info(r, "Data Rate"), "1411 Kbps");
    EXPECT_EQ(Info(r, "Data Density"), "100 (CDAudio = 100)");
    EXPECT_EQ(Info(r, "Whole File Size"), "0.2 MB");
    EXPECT_EQ(Info(r, "Size as PCM16"), "0.2 MB");
    EXPECT_EQ(Info(r, "Length"), "0:00:01:00");
    EXPECT_EQ(Info(r, "End Offset"), "0:00:00:00");
    EXPECT_EQ(Info(r, "Fade In"), "0:00:00:50");
    EXPECT_EQ(Info(r, "DSP Snaps"), "1");
    EXPECT_EQ(Info(r, "File Name"), "one.wav");
    EXPECT_EQ(Info(r, "File Path"), "/music");
    EXPECT_EQ(Info(r, "Left Peak"), "-99.00dB");
    r.SetYear(1999);
    EXPECT_EQ(Info(r, "Year"), "1999");

    // A region whose sample is missing still lists every row.
    CRegion orphan("o", 0, 10, nullptr, 0, 2, 1);
    EXPECT_EQ(orphan.InfoList().size(), 20u);
    EXPECT_EQ(Info(orphan, "Data Density"), "0 (CDAudio = 100)");
}

TEST(RegionTest, CopyFromTakesNotesTagsMarkersHistoryAndSnaps) {
    CSample s("a.wav", "/x", 0, 1, 44100, 2, 16, 44100, 0, 0, 3);
    CRegion src("src", 0, 44100, &s, 0, 1, 1);
    src.SetNotes("notes");
    src.SetTitle(std::string(80, 't'));
    src.SetGenre(std::string(40, 'g'));
    src.SetYear(2001);
    src.SetTrack(7);
    src.NewMarker(10);
    src.AddToHistory(true, 1, 2);
    src.SetRange(true, 3, 4);
    src.Snaps().Append(new CDSPSnap("Mine"));
    src.SetFadeInLength(99);

    CRegion dst("dst", 0, 100, &s, 0, 2, 1);
    dst.CopyFrom(src);
    EXPECT_EQ(dst.GetNotes(), "notes");
    EXPECT_EQ(dst.GetTitle().size(), 63u);
    EXPECT_EQ(dst.GetGenre().size(), 31u);
    EXPECT_EQ(dst.GetYear(), 2001);
    EXPECT_EQ(dst.GetTrack(), 7);
    ASSERT_EQ(dst.Markers().Count(), 1);
    EXPECT_NE(dst.Markers().At(0), src.Markers().At(0));
    EXPECT_EQ(dst.GetHistoryCount(), 1);
    EXPECT_TRUE(dst.HasRange());
    EXPECT_EQ(dst.GetRangeEnd(), 4);
    ASSERT_EQ(dst.Snaps().Count(), 2);
    EXPECT_EQ(dst.Snaps().At(1)->GetName(), "Mine");
    EXPECT_EQ(dst.GetFadeInLength(), 0); // fades are not part of the copy
    EXPECT_EQ(dst.GetName(), "dst");
}

#include <QGuiApplication>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <random>
#include <vector>

#include "audiofile/PeakFile.h"
#include "audiofile/TrackMarking.h"
#include "common/FormatCode.h"
#include "library/CMarker.h"
#include "library/CRegion.h"
#include "library/CSample.h"
#include "library/CVDisk.h"
#include "support/AudioFiles.h"
#include "support/TempDir.h"
#include "views/CWaveViewer.h"

namespace {

QGuiApplication& Gui() {
    static int argc = 1;
    static char name[] = "test_views";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return app;
}

uint32_t Pixel(const QImage& img, int x, int y) { return img.pixel(x, y) & 0xFFFFFF; }

constexpr int kFpp = 128;

// A sample of `pairs` peak pairs (128 frames each) with a region over frames start..end of it.
struct Fixture {
    CSample sample;
    std::unique_ptr<CRegion> region;
    std::vector<uint16_t> peaks;
    CWaveViewer viewer;

    Fixture(int pairs, int64_t start, int64_t end) {
        sample.SetSampleRate(44100);
        sample.SetBits(16);
        sample.SetFrameCount(static_cast<int64_t>(pairs) * kFpp);
        region = std::make_unique<CRegion>("Song", start, end, &sample, 0u, 1, 0);
        peaks.assign(static_cast<size_t>(pairs) * 2, 0);
    }
    void Load() {
        viewer.SetRegion(region.get());
        ASSERT_TRUE(viewer.SetPeaks(peaks, kFpp, 2));
    }
};

// The maximum over the pairs whose frames overlap frames [from, to) of the sample.
void DirectMax(const std::vector<uint16_t>& peaks, int64_t from, int64_t to, double& l, double& r) {
    uint16_t ml = 0, mr = 0;
    const int64_t n = static_cast<int64_t>(peaks.size() / 2);
    for (int64_t i = from / kFpp; i < std::min<int64_t>((to + kFpp - 1) / kFpp, n); ++i) {
        ml = std::max(ml, peaks[static_cast<size_t>(i) * 2]);
        mr = std::max(mr, peaks[static_cast<size_t>(i) * 2 + 1]);
    }
    l = ml / 65535.0;
    r = mr / 65535.0;
}

} // namespace

TEST(WaveViewerTest, MappingsHoldAtBothEndsAndForOneAndTwoColumns) {
    // Wide window, ordinary width: S maps to column 0, E to the last one, and back.
    EXPECT_EQ(CWaveViewer::PosToX(1000, 1000, 500999, 1001), 0);
    EXPECT_EQ(CWaveViewer::PosToX(500999, 1000, 500999, 1001), 1000);
    EXPECT_EQ(CWaveViewer::XToPos(0, 1000, 500999, 1001), 1000);
    EXPECT_EQ(CWaveViewer::XToPos(1000, 1000, 500999, 1001), 500999); // not E + 1
    EXPECT_EQ(CWaveViewer::XToPos(-7, 1000, 500999, 1001), 1000);
    EXPECT_EQ(CWaveViewer::XToPos(5000, 1000, 500999, 1001), 500999);
    EXPECT_EQ(CWaveViewer::XToPos(500, 1000, 500999, 1001), 1000 + 250000);
    // Every column's position maps back to that column.
    for (int x = 0; x < 1001; ++x)
        EXPECT_EQ(CWaveViewer::PosToX(CWaveViewer::XToPos(x, 1000, 500999, 1001), 1000, 500999, 1001), x) << x;
    // One column: everything is column 0 and column 0 is S (no division by zero).
    EXPECT_EQ(CWaveViewer::PosToX(0, 0, 99, 1), 0);
    EXPECT_EQ(CWaveViewer::PosToX(99, 0, 99, 1), 0);
    EXPECT_EQ(CWaveViewer::XToPos(0, 40, 99, 1), 40);
    // Two columns.
    EXPECT_EQ(CWaveViewer::PosToX(0, 0, 99, 2), 0);
    EXPECT_EQ(CWaveViewer::PosToX(99, 0, 99, 2), 1);
    EXPECT_EQ(CWaveViewer::PosToX(49, 0, 99, 2), 0);
    EXPECT_EQ(CWaveViewer::PosToX(50, 0, 99, 2), 1);
    EXPECT_EQ(CWaveViewer::XToPos(1, 0, 99, 2), 99);
    // Navigator: 0 and L at the ends, the last column stands for L.
    EXPECT_EQ(CWaveViewer::PosToNavX(0, 44099, 800), 0);
    EXPECT_EQ(CWaveViewer::PosToNavX(44099, 44099, 800), 799);
    EXPECT_EQ(CWaveViewer::NavXToPos(799, 44099, 800), 44099);
    EXPECT_EQ(CWaveViewer::NavXToPos(-1, 44099, 800), 0);
    EXPECT_EQ(CWaveViewer::NavXToPos(0, 44099, 1), 0);
    EXPECT_EQ(CWaveViewer::PosToNavX(44099, 44099, 1), 0);
}

TEST(WaveViewerTest, PeakLookupMatchesTheMaximumOverTheColumnsPairs) {
    Gui();
    // 4,000 pairs; the region is pairs 1,000..3,000 of the sample.
    Fixture f(4000, 1000 * kFpp, 3000 * kFpp);
    std::mt19937 rng(7);
    for (auto& v : f.peaks) v = static_cast<uint16_t>(rng() % 60000);
    f.Load();
    const int64_t l = f.region->Length();
    // Zoomed out: 2,000 pairs over 500 columns, four whole pairs per column.
    for (int j = 0; j < 500; ++j) {
        double gl = 0, gr = 0, el = 0, er = 0;
        f.viewer.ColumnLevels(0, l, 500, j, gl, gr);
        DirectMax(f.peaks, f.region->GetStart() + j * 4 * kFpp, f.region->GetStart() + (j + 1) * 4 * kFpp, el, er);
        ASSERT_DOUBLE_EQ(gl, el) << j;
        ASSERT_DOUBLE_EQ(gr, er) << j;
    }
    // Zoomed in: 16 pairs over 512 columns, each column shows the pair under it.
    const int64_t a = 640 * kFpp, b = 656 * kFpp;
    for (int j = 0; j < 512; ++j) {
        double gl = 0, gr = 0;
        f.viewer.ColumnLevels(a, b, 512, j, gl, gr);
        const size_t pair = 1000 + 640 + static_cast<size_t>(j / 32);
        ASSERT_DOUBLE_EQ(gl, f.peaks[pair * 2] / 65535.0) << j;
        ASSERT_DOUBLE_EQ(gr, f.peaks[pair * 2 + 1] / 65535.0) << j;
    }
}

TEST(WaveViewerTest, APeakIsShownOnceAtEveryZoomAndTheLastColumnStaysInsideThePeaks) {
    Gui();
    // The region runs to the sample's end, so rounding in the last column could read past it.
    Fixture f(3001, 1 * kFpp, 3001 * kFpp);
    f.peaks[(1 + 1234) * 2] = 65535;
    f.peaks[(3000) * 2 + 1] = 30000; // the very last pair
    f.Load();
    const int64_t l = f.region->Length();
    for (int w : {7, 100, 333, 1000, 2999, 3000, 4000}) {
        int hits = 0, lastHit = -1;
        for (int j = 0; j < w; ++j) {
            double gl = 0, gr = 0;
            f.viewer.ColumnLevels(0, l, w, j, gl, gr);
            ASSERT_LE(gl, 1.0);
            if (gl == 1.0) {
                ++hits;
                lastHit = j;
            }
        }
        if (w <= 3000) EXPECT_EQ(hits, 1) << w;
        else EXPECT_GE(hits, 1) << w; // more columns than pairs: a pair spans columns
        // The lookup's base snaps to whole columns, so the picture may sit one column early.
        EXPECT_NEAR(lastHit, CWaveViewer::PosToX(1234 * kFpp, 0, l, w), 2) << w;
    }
    // The cursor on the region's (and sample's) last frame: the run starts at the last pair.
    f.viewer.Redraw(300, 100, 300);
    f.viewer.SetCursor(static_cast<int32_t>(l));
    EXPECT_NEAR(f.viewer.PeakAtCursor(), 20 * std::log10(30000 / 65535.0), 1e-9);
    // No peaks at all: nothing to show.
    CWaveViewer empty;
    double gl = 1, gr = 1;
    empty.ColumnLevels(0, 1000, 10, 3, gl, gr);
    EXPECT_EQ(gl, 0.0);
    EXPECT_EQ(gr, 0.0);
}

TEST(WaveViewerTest, FadeEnvelopeFollowsEachShapeAndMultipliesWhereFadesOverlap) {
    Gui();
    Fixture f(1000, 0, 100000);
    f.Load();
    const double expected[3] = {0.5, 0.25, 0.75}; // Lin, Log, Exp at half way
    for (int shape = 0; shape < 3; ++shape) {
        f.region->SetFadeInLength(10000);
        f.region->SetFadeInShape(shape);
        f.region->SetFadeOutLength(20000);
        f.region->SetFadeOutShape(shape);
        EXPECT_DOUBLE_EQ(f.viewer.FadeGain(5000), expected[shape]) << shape;
        EXPECT_DOUBLE_EQ(f.viewer.FadeGain(90000), expected[shape]) << shape;
        EXPECT_DOUBLE_EQ(f.viewer.FadeGain(0), 0.0);
        EXPECT_DOUBLE_EQ(f.viewer.FadeGain(100000), 0.0);
        EXPECT_DOUBLE_EQ(f.viewer.FadeGain(10000), 1.0);
        EXPECT_DOUBLE_EQ(f.viewer.FadeGain(80000), 1.0);
    }
    // Fades longer than half the region overlap: both factors apply.
    f.region->SetFadeInLength(80000);
    f.region->SetFadeInShape(0);
    f.region->SetFadeOutLength(80000);
    f.region->SetFadeOutShape(0);
    EXPECT_DOUBLE_EQ(f.viewer.FadeGain(40000), 0.5 * 0.75);
}

TEST(WaveViewerTest, LogAndLinearBarHeights) {
    EXPECT_EQ(CWaveViewer::BarHeight(1.0, 101, false), 100);
    EXPECT_EQ(CWaveViewer::BarHeight(1.0, 101, true), 100);
    EXPECT_EQ(CWaveViewer::BarHeight(0.1, 101, false), 10);
    EXPECT_EQ(CWaveViewer::BarHeight(0.1, 101, true), 75);   // −20 dB of 80
    EXPECT_EQ(CWaveViewer::BarHeight(0.01, 101, true), 50);  // −40 dB
    EXPECT_EQ(CWaveViewer::BarHeight(0.0001, 101, true), 0); // −80 dB, the floor
    EXPECT_EQ(CWaveViewer::BarHeight(0.00005, 101, true), 0);
    EXPECT_EQ(CWaveViewer::BarHeight(0.0, 101, true), 0);
    EXPECT_EQ(CWaveViewer::BarHeight(0.5, 1, false), 0);
}

TEST(WaveViewerTest, StatusLinePeakAtCursorAndTitleTexts) {
    Gui();
    CWaveViewer none;
    EXPECT_DOUBLE_EQ(none.PeakAtCursor(), -99.9);
    EXPECT_EQ(none.StatusText(), "     Crsr[Pos:0:00:00:00 Peak:-99.9dB] Range[S:0:00:00:00 E:0:00:00:00 "
                                 "L:0:00:00:00] Display[S:0:00:00:00 E:0:05:00:00 L:0:05:00:00]");

    Fixture f(10000, 0, 441000); // ten seconds
    f.Load();
    f.viewer.Redraw(400, 200, 500);
    // Silence at the cursor: −1000, shown as 99.9.
    EXPECT_DOUBLE_EQ(f.viewer.PeakAtCursor(), -1000.0);
    f.viewer.SetCursor(44100);
    f.viewer.SetRange(true, 88200, 22050); // dragged leftwards: shown swapped
    EXPECT_TRUE(f.region->HasRange());
    EXPECT_EQ(f.region->GetRangeStart(), 88200);
    EXPECT_EQ(f.viewer.StatusText(), "     Crsr[Pos:0:00:01:00 Peak:-99.9dB] Range[S:0:00:00:50 E:0:00:02:00 "
                                     "L:0:00:01:50] Display[S:0:00:00:00 E:0:00:10:00 L:0:00:10:00]");
    // Half scale at the cursor: −6.0 dB.
    f.peaks[(44100 / kFpp) * 2] = 32768;
    f.peaks[(44100 / kFpp) * 2 + 1] = 100;
    f.Load();
    f.viewer.SetCursor(44100);
    EXPECT_NEAR(f.viewer.PeakAtCursor(), 20 * std::log10(32768 / 65535.0), 1e-9);
    EXPECT_NE(f.viewer.StatusText().find("Peak:-06.0dB"), std::string::npos) << f.viewer.StatusText();
    EXPECT_EQ(f.viewer.NavigatorTitle(), "Song 44.1KHz/16bit");
}

TEST(WaveViewerTest, RulerLabelsAndScaleTicks) {
    Gui();
    Fixture f(10000, 0, 44100 * 20);
    f.Load();
    f.viewer.SetViewWindow(0, 441000);
    f.viewer.Redraw(302, 300, 302); // three labels fit, ten seconds: every 4 s
    auto labels = f.viewer.RulerLabels();
    ASSERT_EQ(labels.size(), 3u);
    EXPECT_EQ(labels[0].text, "0:00:00:00");
    EXPECT_EQ(labels[1].text, "0:00:04:00");
    EXPECT_EQ(labels[2].text, "0:00:08:00");
    EXPECT_EQ(labels[1].x, f.viewer.X(4 * 44100));
    // A window starting at 5.3 s: the first label is the first step at or after S.
    f.viewer.SetViewWindow(233730, 233730 + 441000);
    f.viewer.Redraw(302, 300, 302);
    labels = f.viewer.RulerLabels();
    ASSERT_FALSE(labels.empty());
    EXPECT_EQ(labels[0].text, "0:00:08:00");
    for (const auto& l : labels) EXPECT_GE(l.x, 0);
    // Too narrow for a label.
    f.viewer.Redraw(101, 300, 101);
    EXPECT_TRUE(f.viewer.RulerLabels().empty());

    auto labelled = [](const std::vector<CWaveViewer::Tick>& ticks) {
        std::vector<std::string> out;
        for (const auto& t : ticks)
            if (!t.label.empty()) out.push_back(t.label);
        return out;
    };
    f.viewer.SetLog(true);
    f.viewer.SetMono(true);
    auto ticks = f.viewer.ScaleTicks(200);
    ASSERT_EQ(ticks.size(), 8u); // 0..70 dB
    EXPECT_EQ(labelled(ticks), (std::vector<std::string>{"-20", "-40", "-60"}));
    EXPECT_EQ(ticks[0].row, 31);
    EXPECT_EQ(ticks[4].row, 31 + 167 * 40 / 80);
    EXPECT_TRUE(ticks[2].major);
    EXPECT_FALSE(ticks[1].major);
    f.viewer.SetMono(false);
    EXPECT_EQ(f.viewer.ScaleTicks(200).size(), 16u);
    f.viewer.SetLog(false);
    f.viewer.SetMono(true);
    EXPECT_EQ(labelled(f.viewer.ScaleTicks(150)), (std::vector<std::string>{"  -3", "-10", "-20"}));
    EXPECT_EQ(f.viewer.ScaleTicks(150).size(), 20u);
    EXPECT_EQ(labelled(f.viewer.ScaleTicks(151)),
              (std::vector<std::string>{"  -1", "  -2", "  -3", "  -6", "-10", "-15", "-20"}));
    EXPECT_EQ(f.viewer.ScaleTicks(151).size(), 40u);
    f.viewer.SetMono(false);
    EXPECT_EQ(f.viewer.ScaleTicks(300).size(), 40u); // stereo: coarse up to 300 px
    EXPECT_EQ(f.viewer.ScaleTicks(301).size(), 80u);
}

TEST(WaveViewerTest, MarkerPickTakesTheNearestWithinSixColumnsAndTheFirstOnATie) {
    Gui();
    Fixture f(10000, 0, 100000);
    f.Load();
    f.viewer.Redraw(1001, 200, 1001); // 100 frames per column roughly
    CMarker* a = f.region->NewMarker(f.viewer.Pos(100));
    CMarker* b = f.region->NewMarker(f.viewer.Pos(108));
    EXPECT_EQ(f.viewer.MarkerNear(103), a);
    EXPECT_EQ(f.viewer.MarkerNear(105), b);
    EXPECT_EQ(f.viewer.MarkerNear(104), f.region->Markers().At(0)); // tie: first in marker order
    EXPECT_EQ(f.viewer.MarkerNear(115), nullptr);
    EXPECT_EQ(f.viewer.MarkerNear(114), b);
}

TEST(WaveViewerTest, DrawnSurfaces) {
    Gui();
    // 2,000 pairs; left full scale over the first half, right full over the second half.
    Fixture f(2000, 0, 2000 * kFpp);
    for (int i = 0; i < 2000; ++i) f.peaks[static_cast<size_t>(i) * 2 + (i < 1000 ? 0 : 1)] = 65535;
    f.Load();
    f.viewer.SetColourScheme(2);
    const auto c = CWaveViewer::SchemeColours(2);
    f.viewer.SetRange(true, 0, 50 * kFpp);
    f.viewer.SetCursor(1500 * kFpp);
    f.region->NewMarker(1800 * kFpp);
    f.viewer.Redraw(200, 231, 400);
    const QImage& g = f.viewer.GraphImage();
    ASSERT_EQ(g.size(), QSize(200, 231));
    const int t = 31, h = 200, bottom = t + h - 1;
    EXPECT_EQ(Pixel(g, 100, 5), 0xFBFAC6u);
    EXPECT_EQ(Pixel(g, 100, 25), 0xC9CBF5u);
    EXPECT_EQ(Pixel(g, 0, 5), 0u);
    // Stereo: column 50 has only the left lane's bar, column 150 only the right lane's.
    EXPECT_EQ(Pixel(g, 50, t + h / 2 - 1), c.body);
    EXPECT_EQ(Pixel(g, 50, t + 2), c.body);
    EXPECT_EQ(Pixel(g, 50, bottom), c.background);
    EXPECT_EQ(Pixel(g, 150, bottom), c.body);
    EXPECT_EQ(Pixel(g, 150, t + h / 2 - 1), c.background);
    // The range: its own pens and background.
    EXPECT_EQ(Pixel(g, 2, t + h / 2 - 1), c.rangeBody);
    EXPECT_EQ(Pixel(g, 2, bottom), c.rangeBackground);
    // Cursor and marker lines.
    EXPECT_EQ(Pixel(g, f.viewer.X(1500 * kFpp), 1), 0xFFFF00u);
    EXPECT_EQ(Pixel(g, f.viewer.X(1500 * kFpp), bottom), 0xFFFF00u);
    EXPECT_EQ(Pixel(g, f.viewer.X(1800 * kFpp), t + 1), 0xFF0000u);
    EXPECT_EQ(Pixel(f.viewer.StripImage(), 3, 100), 0xDDEEFFu);
    EXPECT_EQ(Pixel(f.viewer.StatusImage(), 1, 1), 0xDDEEFFu);
    EXPECT_EQ(Pixel(f.viewer.ScaleImage(), 1, 1), 0xDDEEFFu);

    // Mono: one lane, the larger level from the bottom; the left-only column reaches the bottom.
    f.viewer.SetMono(true);
    f.viewer.Redraw(200, 231, 400);
    EXPECT_EQ(Pixel(f.viewer.GraphImage(), 50, bottom), c.body);
    EXPECT_EQ(Pixel(f.viewer.GraphImage(), 50, t + 2), c.body);
    // A fade-in of the first quarter, linear: column 25 reaches about half way only.
    f.region->SetFadeInLength(500 * kFpp);
    f.viewer.SetRange(false, 0, 0);
    f.viewer.Redraw(200, 231, 400);
    EXPECT_EQ(Pixel(f.viewer.GraphImage(), 25, bottom), c.fade);
    EXPECT_EQ(Pixel(f.viewer.GraphImage(), 25, t + 10), c.background);
    EXPECT_EQ(Pixel(f.viewer.GraphImage(), 25, bottom - 90), c.fade);

    // Navigator: darkened pens outside the view window.
    f.viewer.SetViewWindow(0, 1000 * kFpp);
    f.viewer.Redraw(200, 231, 400);
    const QImage& n = f.viewer.NavigatorImage();
    ASSERT_EQ(n.size(), QSize(400, 50));
    EXPECT_EQ(Pixel(n, 150, 49), c.body);
    EXPECT_EQ(Pixel(n, 300, 49), CWaveViewer::Darken(c.body));
    EXPECT_EQ(Pixel(n, f.viewer.NavX(1800 * kFpp), 30), 0xFF0000u);
    // The marker outside the view window: no line in the graph.
    EXPECT_EQ(Pixel(f.viewer.GraphImage(), 199, bottom), c.body);

    // The play line is composed on top; the prepared images stay as they were.
    const QImage before = f.viewer.GraphImage();
    f.viewer.SetPlayLine(400 * kFpp);
    const int px = f.viewer.X(400 * kFpp);
    const QImage over = f.viewer.ComposeGraph();
    EXPECT_EQ(Pixel(over, px, bottom), Pixel(before, px, bottom) ^ 0xFFFFFFu);
    EXPECT_EQ(Pixel(over, px, 5), Pixel(before, px, 5)); // not in the ruler
    EXPECT_EQ(f.viewer.GraphImage(), before);
    const QImage nav = f.viewer.ComposeNavigator();
    EXPECT_EQ(Pixel(nav, f.viewer.NavX(400 * kFpp), 0), Pixel(n, f.viewer.NavX(400 * kFpp), 0) ^ 0xFFFFFFu);
    // On the cursor column the play line is not drawn in the graph.
    f.viewer.SetPlayLine(f.viewer.Cursor());
    EXPECT_EQ(f.viewer.ComposeGraph(), f.viewer.GraphImage());
    f.viewer.Redraw(200, 231, 400);
    EXPECT_FALSE(f.viewer.PlayLineShown());
}

TEST(WaveViewerTest, RegionWithoutPeakFileDrawsBackgroundRulerScaleAndStatusOnly) {
    Gui();
    Fixture f(1000, 0, 1000 * kFpp);
    f.region->NewMarker(500 * kFpp);
    f.viewer.SetRegion(f.region.get());
    f.viewer.Redraw(300, 131, 300); // the sample has no peak file anywhere
    EXPECT_EQ(f.viewer.LoadedRegion(), nullptr);
    const QImage& g = f.viewer.GraphImage();
    const auto c = CWaveViewer::SchemeColours(0);
    for (int x = 0; x < 300; x += 7) {
        EXPECT_EQ(Pixel(g, x, 100), c.background) << x;
        EXPECT_EQ(Pixel(g, x, 130), c.background) << x;
    }
    // No marker icon in the ruler's lower band.
    const int mx = f.viewer.X(500 * kFpp);
    for (int y = 17; y < 30; ++y) EXPECT_EQ(Pixel(g, mx, y), 0xC9CBF5u) << y;
    EXPECT_EQ(Pixel(f.viewer.NavigatorImage(), 200, 40), c.background);
    EXPECT_EQ(Pixel(f.viewer.ScaleImage(), 2, 2), 0xDDEEFFu);
    // Removing the region leaves an empty picture as well.
    f.viewer.RemoveRegion();
    f.viewer.Redraw(300, 131, 300);
    EXPECT_EQ(f.viewer.CurrentRegion(), nullptr);
    EXPECT_EQ(Pixel(f.viewer.GraphImage(), 10, 100), c.background);
}

namespace {

constexpr int32_t kRate = 44100;
constexpr int32_t kFileFpp = 256; // peak entries of a 44.1 kHz sample

} // namespace

TEST(WaveViewerFileTest, RedrawReadsThePeakFileRebuildsItAndMarksTracks) {
    Gui();
    TempDir dir;
    std::filesystem::create_directories(dir / "VDisk");
    CVDisk::Table().Clear();
    CVDisk::Table().Add(77, dir.Str());
    // 150 s loud at 30000 with a silent pause from 70 to 73 s.
    const int64_t perSecond = kRate / kFileFpp;
    std::vector<uint16_t> pairs(static_cast<size_t>(150 * perSecond) * 2, 30000);
    for (int64_t e = 70 * perSecond; e < 73 * perSecond; ++e) pairs[2 * e] = pairs[2 * e + 1] = 0;
    const int64_t frames = static_cast<int64_t>(pairs.size() / 2) * kFileFpp;
    CSample sample("000000000001", "", 1, 77, kRate, 2, 16, frames, kFormatWav, 0);
    PeakBuffers pb;
    pb.peaks = pairs;
    std::string name;
    ASSERT_TRUE(sample.PeakFileName(name));
    ASSERT_TRUE(WritePeakFile((dir / "VDisk").string(), name, pb, kFileFpp));
    CRegion region("Side A", 0, frames, &sample, RegionRoot, -1, 1);

    CWaveViewer v;
    std::vector<std::string> notes;
    v.SetNotesHook([&notes](const std::string& n) { notes.push_back(n); });
    region.SetNotes("take 3");
    v.SetRegion(&region);
    EXPECT_EQ(v.LoadedRegion(), nullptr); // setting a region reads nothing
    v.Redraw(1000, 200, 1000);
    ASSERT_EQ(v.LoadedRegion(), &region);
    v.Redraw(1000, 200, 1000); // the same region again: the notes box is left alone
    EXPECT_EQ(notes, std::vector<std::string>{"take 3"});
    double l = 0, r = 0;
    v.ColumnLevels(0, frames, 1000, 100, l, r);
    EXPECT_DOUBLE_EQ(l, 30000 / 65535.0);
    v.ColumnLevels(0, frames, 1000, v.PosToNavX(static_cast<int64_t>(71.5 * kRate), frames, 1001), l, r);
    EXPECT_EQ(l, 0.0);

    // The viewer's marking agrees with the marking that reads the file itself.
    CRegion twin("Twin", 0, frames, &sample, RegionRoot, -1, 1);
    std::vector<int64_t> expected, added;
    ASSERT_TRUE(MarkIndividualTracks(twin, expected));
    ASSERT_TRUE(v.MarkTracks(added));
    ASSERT_EQ(expected.size(), 1u);
    EXPECT_EQ(added, expected);
    EXPECT_EQ(region.Markers().Count(), 1);

    // Rebuild from the audio: a WAV of two seconds at half scale replaces the old peaks.
    std::vector<float> audio(static_cast<size_t>(2 * kRate) * 2, 0.5f);
    ASSERT_TRUE(MakeWavFile((dir / "VDisk").string(), "000000000001", audio, kRate));
    sample.SetFrameCount(2 * kRate);
    region.SetEnd(2 * kRate);
    v.SetRegion(&region);
    bool cancelled = true;
    std::string error;
    PeakBuffers buffers;
    ASSERT_TRUE(v.RebuildGraph(nullptr, buffers, cancelled, error)) << error;
    EXPECT_FALSE(cancelled);
    v.Redraw(1000, 200, 1000);
    ASSERT_EQ(v.LoadedRegion(), &region);
    v.ColumnLevels(0, 2 * kRate, 1000, 500, l, r);
    EXPECT_NEAR(l, 0.5, 0.001);
    EXPECT_NEAR(r, 0.5, 0.001);
    // Formats without a peak rebuild: nothing happens, no message.
    sample.SetFormatCode(kFormatFlac);
    EXPECT_FALSE(v.RebuildGraph(nullptr, buffers, cancelled, error));
    EXPECT_TRUE(error.empty());
    CVDisk::Table().Clear();
}

TEST(WaveViewerTest, DegenerateRegionsAndSurfacesDrawWithoutFault) {
    Gui();
    // An empty region, a sample whose length is unknown, and graphs one and two columns wide.
    Fixture empty(10, 0, 0);
    empty.Load();
    for (int w : {1, 2, 3}) {
        empty.viewer.Redraw(w, 40, w);
        EXPECT_EQ(empty.viewer.GraphImage().width(), w);
        EXPECT_EQ(empty.viewer.ViewStart(), 0);
        EXPECT_EQ(empty.viewer.ViewEnd(), 0);
        EXPECT_DOUBLE_EQ(empty.viewer.PeakAtCursor(), -1000.0);
    }
    Fixture unknown(100, 0, 100 * kFpp);
    std::fill(unknown.peaks.begin(), unknown.peaks.end(), 65535);
    unknown.sample.SetFrameCount(0);
    unknown.Load();
    unknown.viewer.Redraw(50, 100, 50);
    double l = 1, r = 1;
    unknown.viewer.ColumnLevels(0, 100 * kFpp, 50, 10, l, r);
    EXPECT_EQ(l, 0.0);
    // A window asked for outside the region falls back to the whole region.
    Fixture f(100, 0, 100 * kFpp);
    f.Load();
    f.viewer.SetViewWindow(5000, 1000);
    EXPECT_EQ(f.viewer.ViewStart(), 0);
    EXPECT_EQ(f.viewer.ViewEnd(), 100 * kFpp);
    f.viewer.SetViewWindow(-50, 1 << 30);
    EXPECT_EQ(f.viewer.ViewStart(), 0);
    EXPECT_EQ(f.viewer.ViewEnd(), 100 * kFpp);
    f.viewer.SetCursor(1 << 30);
    EXPECT_EQ(f.viewer.Cursor(), 100 * kFpp);
    // Peaks without a region to show are refused.
    CWaveViewer none;
    EXPECT_FALSE(none.SetPeaks(f.peaks, kFpp, 2));
    EXPECT_FALSE(f.viewer.SetPeaks(f.peaks, 0, 2));
    EXPECT_EQ(f.viewer.LoadedRegion(), nullptr);
}

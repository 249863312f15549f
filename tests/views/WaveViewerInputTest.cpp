// The wave viewer's interaction: zoom and scroll rules, the zoom slider, the graph's and the
// navigator's mouse, cursor stops, range, fade and marker commands, and what reaches the
// transport through the playback interface.

#include <QGuiApplication>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "library/CMarker.h"
#include "library/CRegion.h"
#include "library/CSample.h"
#include "views/CWaveViewer.h"
#include "views/WaveViewerPlayback.h"

namespace {

void EnsureGui() {
    if (QCoreApplication::instance() != nullptr) return;
    static int argc = 1;
    static char name[] = "test_views";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

struct FakePlayback : WaveViewerPlayback {
    struct Call {
        int32_t from, to;
        bool operator==(const Call& o) const { return from == o.from && to == o.to; }
    };
    bool playing = false;
    int32_t position = 0;
    bool hold = false;
    int stops = 0;
    std::vector<Call> plays;
    const CRegion* region = nullptr;

    bool IsPlaying() const override { return playing; }
    void Stop() override {
        ++stops;
        playing = false;
    }
    void Play(const CRegion& r, int32_t from, int32_t to) override {
        EXPECT_FALSE(playing) << "played without stopping first";
        region = &r;
        plays.push_back({from, to});
        playing = true;
    }
    int32_t PlayPosition() const override { return position; }
    void SetCompareHold(bool on) override { hold = on; }
};

constexpr int kFpp = 128;
constexpr int32_t kL = 10000000;
// With the navigator 1025 columns wide, L + 1 = 10240000 makes navigator column x position 10000·x.
constexpr int32_t kNavL = 10239999;

// A region of `length` frames over the start of a sample, shown by the viewer at the given
// sizes. Graph width 1025 with the window 0..1048575 maps column x to position 1024·x (exactly,
// in binary floating point).
struct Scene {
    CSample sample;
    std::unique_ptr<CRegion> region;
    CWaveViewer viewer;
    FakePlayback playback;
    int redraws = 0;

    explicit Scene(int32_t length = kL, int graphWidth = 1025, int navWidth = 1025) {
        EnsureGui();
        sample.SetSampleRate(44100);
        sample.SetBits(16);
        const int64_t pairs = (static_cast<int64_t>(length) + kFpp - 1) / kFpp;
        sample.SetFrameCount(pairs * kFpp);
        region = std::make_unique<CRegion>("Take", 0, length, &sample, 0u, 1, 0);
        viewer.SetRegion(region.get());
        viewer.SetPeaks(std::vector<uint16_t>(static_cast<size_t>(pairs) * 2, 1000), kFpp, 2);
        viewer.SetPlayback(&playback);
        viewer.Redraw(graphWidth, 120, navWidth);
        viewer.SetRedrawHook([this] { ++redraws; });
    }
    void Window(int32_t s, int32_t e) { viewer.SetViewWindow(s, e); }
    void ExpectWindow(int64_t s, int64_t e) const {
        EXPECT_EQ(viewer.ViewStart(), s);
        EXPECT_EQ(viewer.ViewEnd(), e);
    }
    CMarker* Marker(int64_t p) { return region->NewMarker(p); }
    std::vector<int64_t> MarkerPositions() const {
        std::vector<int64_t> out;
        for (int i = 0; i < region->Markers().Count(); ++i) out.push_back(region->Markers().At(i)->GetPosition());
        return out;
    }
};

} // namespace

// ---- zoom and scroll ----

TEST(WaveViewerInputTest, ZoomInLeansTowardTheCursorAndStopsAtTheShortestWindow) {
    Scene s;
    // Cursor 0 in view: the centre moves to 0.8 of the way, the start clamps, the length is even.
    EXPECT_TRUE(s.viewer.ZoomIn());
    s.ExpectWindow(0, 8750000);
    EXPECT_EQ(s.redraws, 1);
    // Cursor outside the window: zoom about the window's centre.
    s.viewer.SetCursor(9500000);
    EXPECT_TRUE(s.viewer.ZoomIn());
    s.ExpectWindow(546875, 8203125);
    // Cursor within 100 frames of the centre's lean: the window centres on the cursor itself.
    s.Window(0, kL);
    s.viewer.SetCursor(5000050);
    EXPECT_TRUE(s.viewer.ZoomIn());
    s.ExpectWindow(5000050 - 4375000, 5000050 + 4375000);
    // A window that would pass L moves left to end there.
    s.Window(0, kL);
    s.viewer.SetCursor(kL);
    EXPECT_TRUE(s.viewer.ZoomIn());
    s.ExpectWindow(1250000, kL);
    // 210000 frames shrink to the 200000 floor, and then nothing more happens.
    s.Window(1000000, 1210000);
    s.viewer.SetCursor(0);
    EXPECT_TRUE(s.viewer.ZoomIn());
    EXPECT_EQ(s.viewer.ViewEnd() - s.viewer.ViewStart(), 200000);
    s.ExpectWindow(1005000, 1205000);
    const int before = s.redraws;
    EXPECT_FALSE(s.viewer.ZoomIn());
    EXPECT_EQ(s.redraws, before);
    // Not even a lean toward a cursor in view moves a window of 200000 frames.
    s.viewer.SetCursor(1010000);
    EXPECT_FALSE(s.viewer.ZoomIn());
    s.ExpectWindow(1005000, 1205000);
}

TEST(WaveViewerInputTest, ZoomOutResetAndScrollKeepInsideTheRegion) {
    Scene s;
    EXPECT_FALSE(s.viewer.ZoomOut()); // already the whole region
    s.Window(1000000, 2000000);
    EXPECT_TRUE(s.viewer.ZoomOut());
    s.ExpectWindow(937500, 2062500);
    s.Window(10000, 1010000);
    EXPECT_TRUE(s.viewer.ZoomOut());
    s.ExpectWindow(0, 1072500);
    s.Window(kL - 10000, kL);
    EXPECT_TRUE(s.viewer.ZoomOut());
    s.ExpectWindow(kL - 10625, kL);
    EXPECT_TRUE(s.viewer.ZoomReset());
    s.ExpectWindow(0, kL);
    EXPECT_FALSE(s.viewer.ZoomReset());

    // Scrolling moves by 1/64 of the window, or to the end it would pass.
    s.Window(1000000, 1640000);
    EXPECT_TRUE(s.viewer.ScrollLeft());
    s.ExpectWindow(990000, 1630000);
    s.Window(5000, 645000);
    EXPECT_TRUE(s.viewer.ScrollLeft());
    s.ExpectWindow(0, 640000);
    EXPECT_FALSE(s.viewer.ScrollLeft());
    EXPECT_TRUE(s.viewer.ScrollRight());
    s.ExpectWindow(10000, 650000);
    s.Window(kL - 645000, kL - 5000);
    EXPECT_TRUE(s.viewer.ScrollRight());
    s.ExpectWindow(kL - 640000, kL);
    EXPECT_FALSE(s.viewer.ScrollRight());
    // To start and to end keep the length.
    EXPECT_TRUE(s.viewer.ZoomToStart());
    s.ExpectWindow(0, 640000);
    EXPECT_TRUE(s.viewer.ZoomToEnd());
    s.ExpectWindow(kL - 640000, kL);
}

TEST(WaveViewerInputTest, ZoomToRangeFadesAndCursorFollowTheirBounds) {
    Scene s;
    // Without an active range the range zooms do nothing.
    s.viewer.SetRange(false, 3000000, 3050000);
    EXPECT_FALSE(s.viewer.ZoomToRange());
    EXPECT_FALSE(s.viewer.ZoomToRangeStart());
    EXPECT_FALSE(s.viewer.ZoomToRangeEnd());
    s.ExpectWindow(0, kL);
    // A short range is shown with 50000 frames on each side.
    s.viewer.SetRange(true, 3000000, 3050000);
    EXPECT_TRUE(s.viewer.ZoomToRange());
    s.ExpectWindow(2950000, 3100000);
    s.viewer.SetRange(true, 3000000, 4000000);
    EXPECT_TRUE(s.viewer.ZoomToRange());
    s.ExpectWindow(2500000, 4500000);
    EXPECT_TRUE(s.viewer.ZoomToRangeStart());
    s.ExpectWindow(2800000, 3200000);
    EXPECT_TRUE(s.viewer.ZoomToRangeEnd());
    s.ExpectWindow(3800000, 4200000);
    s.viewer.SetRange(true, 100000, kL - 50000);
    EXPECT_TRUE(s.viewer.ZoomToRangeStart());
    s.ExpectWindow(0, 300000);
    EXPECT_TRUE(s.viewer.ZoomToRangeEnd());
    s.ExpectWindow(kL - 250000, kL);

    s.region->SetFadeInLength(300000);
    EXPECT_TRUE(s.viewer.ZoomToFadeIn());
    s.ExpectWindow(0, 600000);
    s.region->SetFadeInLength(50000);
    EXPECT_TRUE(s.viewer.ZoomToFadeIn());
    s.ExpectWindow(0, 200000);
    s.region->SetFadeOutLength(1000000);
    EXPECT_TRUE(s.viewer.ZoomToFadeOut());
    s.ExpectWindow(kL - 2000000, kL);
    s.region->SetFadeOutLength(0);
    EXPECT_TRUE(s.viewer.ZoomToFadeOut());
    s.ExpectWindow(kL - 200000, kL);

    s.viewer.SetCursor(5000000);
    EXPECT_TRUE(s.viewer.ZoomToCursor());
    s.ExpectWindow(4900000, 5100000);
    s.viewer.SetCursor(50000);
    EXPECT_TRUE(s.viewer.ZoomToCursor());
    s.ExpectWindow(0, 200000);
    s.viewer.SetCursor(kL - 10);
    EXPECT_TRUE(s.viewer.ZoomToCursor());
    s.ExpectWindow(kL - 200000, kL);
}

TEST(WaveViewerInputTest, ARegionShorterThanTheShortestWindowNeverZoomsInAndZoomsToClamp) {
    constexpr int32_t kShort = 150000;
    Scene s(kShort);
    s.viewer.SetCursor(70000);
    EXPECT_FALSE(s.viewer.ZoomIn());
    s.ExpectWindow(0, kShort);
    // From a narrower stored window every zoom-to command opens out to the whole region.
    auto narrow = [&] { s.Window(1000, 2000); };
    narrow();
    EXPECT_TRUE(s.viewer.ZoomToCursor());
    s.ExpectWindow(0, kShort);
    narrow();
    EXPECT_TRUE(s.viewer.ZoomToFadeIn());
    s.ExpectWindow(0, kShort);
    narrow();
    EXPECT_TRUE(s.viewer.ZoomToFadeOut());
    s.ExpectWindow(0, kShort);
    s.viewer.SetRange(true, 60000, 80000);
    narrow();
    EXPECT_TRUE(s.viewer.ZoomToRange());
    s.ExpectWindow(10000, 130000);
    narrow();
    EXPECT_TRUE(s.viewer.ZoomToRangeStart());
    s.ExpectWindow(0, kShort);
    narrow();
    EXPECT_TRUE(s.viewer.ZoomToRangeEnd());
    s.ExpectWindow(0, kShort);
    // The slider's floor is the region too.
    narrow();
    s.viewer.SaveWindow();
    s.viewer.ZoomSlider(100);
    s.ExpectWindow(0, kShort);
}

TEST(WaveViewerInputTest, ZoomSliderWorksFromTheSavedWindowInBothDirections) {
    Scene s;
    s.Window(2000000, 6000000);
    s.viewer.SetCursor(5000000);
    s.viewer.SaveWindow();
    EXPECT_TRUE(s.viewer.ZoomSlider(50));
    s.ExpectWindow(3450000, 5550000);
    // The same value again is the same window: it is computed from the saved one.
    EXPECT_FALSE(s.viewer.ZoomSlider(50));
    EXPECT_TRUE(s.viewer.ZoomSlider(-50));
    s.ExpectWindow(1000000, 8000000);
    EXPECT_TRUE(s.viewer.ZoomSlider(100));
    s.ExpectWindow(4900000, 5100000);
    EXPECT_TRUE(s.viewer.ZoomSlider(-100));
    s.ExpectWindow(0, kL);
    EXPECT_TRUE(s.viewer.ZoomSlider(0));
    s.ExpectWindow(2000000, 6000000);
}

TEST(WaveViewerInputTest, ZoomSliderBarSavesOnPressAppliesWhileDraggedAndRestsAtFiftyOnRelease) {
    Scene s;
    s.viewer.LayoutZoomSlider(1001);
    const CScrollbar& bar = s.viewer.ZoomSliderBar();
    EXPECT_EQ(bar.Outer().left, 901);
    EXPECT_EQ(bar.Outer().Right(), 992);
    EXPECT_EQ(bar.Outer().top, 10);
    EXPECT_EQ(bar.Outer().Bottom(), 23);
    EXPECT_EQ(bar.GetMax(), 100);
    EXPECT_EQ(bar.GetPosition(), 50);
    EXPECT_FALSE(s.viewer.ZoomSliderPress(800, 15)); // outside the slider
    EXPECT_FALSE(s.viewer.ZoomSliderHeld());

    s.Window(2000000, 6000000);
    s.viewer.SetCursor(5000000);
    const TapeRect thumb = bar.ThumbRect();
    const int x = thumb.left + thumb.width / 2;
    ASSERT_TRUE(s.viewer.ZoomSliderPress(x, 15));
    EXPECT_EQ(s.viewer.SavedViewStart(), 2000000);
    EXPECT_EQ(s.viewer.SavedViewEnd(), 6000000);
    // Drag right: zoom in by v = 2 × position − 100 on the saved window.
    ASSERT_TRUE(s.viewer.ZoomSliderMove(x + 20, 15));
    const int pos = bar.GetPosition();
    ASSERT_GT(pos, 50);
    {
        const int v = 2 * pos - 100;
        const int64_t c = 4000000 + v * 1000000LL / 100;
        const int64_t len = (4000000LL * (100 - v) + v * 200000LL) / 100;
        s.ExpectWindow(c - len / 2, c - len / 2 + len);
    }
    // Drag left of the rest: zoom out toward the whole region.
    ASSERT_TRUE(s.viewer.ZoomSliderMove(x - 20, 15));
    const int neg = bar.GetPosition();
    ASSERT_LT(neg, 50);
    {
        const int v = 2 * neg - 100;
        const int64_t c = 4000000 + (-v) * 1000000LL / 100;
        const int64_t len = (4000000LL * (v + 100) + (-v) * static_cast<int64_t>(kL)) / 100;
        s.ExpectWindow(c - len / 2, c - len / 2 + len);
    }
    const int32_t keptS = s.viewer.ViewStart(), keptE = s.viewer.ViewEnd();
    EXPECT_TRUE(s.viewer.ZoomSliderRelease());
    EXPECT_EQ(bar.GetPosition(), 50);
    s.ExpectWindow(keptS, keptE);
    EXPECT_FALSE(s.viewer.ZoomSliderMove(x + 30, 15)); // no longer held
    EXPECT_FALSE(s.viewer.ZoomSliderRelease());
}

TEST(WaveViewerInputTest, CentreOnAndFollowThePlayPositionPagedAndCentred) {
    Scene s;
    s.Window(1000000, 1400000);
    EXPECT_TRUE(s.viewer.CentreOn(5000000));
    s.ExpectWindow(4800000, 5200000);
    EXPECT_FALSE(s.viewer.CentreOn(5000000));
    EXPECT_TRUE(s.viewer.CentreOn(100000));
    s.ExpectWindow(0, 400000);
    EXPECT_TRUE(s.viewer.CentreOn(kL - 1));
    s.ExpectWindow(kL - 400000, kL);

    s.Window(1000000, 1400000);
    EXPECT_FALSE(s.viewer.FollowPlayPosition(1200000, false)); // in view: no page turn
    EXPECT_TRUE(s.viewer.FollowPlayPosition(1500000, false));
    s.ExpectWindow(1500000, 1900000);
    EXPECT_TRUE(s.viewer.FollowPlayPosition(500000, false));
    s.ExpectWindow(500000, 900000);
    EXPECT_TRUE(s.viewer.FollowPlayPosition(kL - 100000, false));
    s.ExpectWindow(kL - 400000, kL);
    EXPECT_TRUE(s.viewer.FollowPlayPosition(3000000, true));
    s.ExpectWindow(2800000, 3200000);
    EXPECT_FALSE(s.viewer.FollowPlayPosition(3000000, true));
    EXPECT_TRUE(s.viewer.FollowPlayPosition(100, true));
    s.ExpectWindow(0, 400000);
    EXPECT_TRUE(s.viewer.FollowPlayPosition(kL, true));
    s.ExpectWindow(kL - 400000, kL);
}

TEST(WaveViewerInputTest, TheWheelZoomsOnlyWhileStopped) {
    Scene s;
    s.playback.playing = true;
    EXPECT_FALSE(s.viewer.Wheel(true));
    s.ExpectWindow(0, kL);
    s.playback.playing = false;
    EXPECT_TRUE(s.viewer.Wheel(true));
    s.ExpectWindow(0, 8750000);
    EXPECT_TRUE(s.viewer.Wheel(false));
    s.ExpectWindow(0, 8750000 + 546875);
}

// ---- graph mouse ----

TEST(WaveViewerInputTest, CursorPressDragAndReleaseStayInsideTheGraphAndRestartPlayback) {
    Scene s;
    s.Window(0, 1048575);
    s.viewer.GraphPress(300, 100, false, false);
    EXPECT_TRUE(s.viewer.IsBusy());
    EXPECT_EQ(s.viewer.GraphDragMode(), CWaveViewer::DragCursor);
    EXPECT_EQ(s.viewer.Cursor(), 300 * 1024);
    EXPECT_TRUE(s.playback.plays.empty()); // stopped: nothing plays
    EXPECT_EQ(s.viewer.GraphMove(0, false), CWaveViewer::Pointer::Unchanged);
    EXPECT_EQ(s.viewer.Cursor(), 1024); // column 1
    s.viewer.GraphMove(5000, false);
    EXPECT_EQ(s.viewer.Cursor(), 1023 * 1024); // column W − 2
    const CWaveViewer::GraphReleaseResult r = s.viewer.GraphRelease(-40);
    EXPECT_FALSE(r.rangeDragEnded);
    EXPECT_FALSE(r.stopPlayback);
    EXPECT_EQ(s.viewer.Cursor(), 1024);
    EXPECT_FALSE(s.viewer.IsBusy());

    // While playing, a cursor press restarts playback from the new cursor to the region end.
    s.playback.playing = true;
    s.viewer.GraphPress(500, 100, false, false);
    EXPECT_EQ(s.playback.stops, 1);
    ASSERT_EQ(s.playback.plays.size(), 1u);
    EXPECT_EQ(s.playback.plays[0], (FakePlayback::Call{500 * 1024, kL}));
    EXPECT_EQ(s.playback.region, s.region.get());
    // Holding the right button too scrubs half a second from under the pointer.
    s.viewer.GraphMove(600, true);
    EXPECT_EQ(s.playback.stops, 2);
    ASSERT_EQ(s.playback.plays.size(), 2u);
    EXPECT_EQ(s.playback.plays[1], (FakePlayback::Call{600 * 1024, 600 * 1024 + 22050}));
    s.viewer.GraphRelease(600);
    // A range press while playing does not restart.
    s.viewer.GraphPress(100, 5, false, false);
    EXPECT_EQ(s.playback.plays.size(), 2u);
    s.viewer.GraphRelease(100);
}

TEST(WaveViewerInputTest, DraggedRangesAreWrittenWithHistoryAndShortOnesEndInactive) {
    Scene s;
    s.Window(0, 1048575);
    // A new range from the upper ruler band, dragged both ways across its anchor.
    s.viewer.GraphPress(100, 5, false, false);
    EXPECT_EQ(s.viewer.GraphDragMode(), CWaveViewer::DragRange);
    EXPECT_EQ(s.viewer.GrabbedRangeEdge(), CWaveViewer::EdgeNew);
    EXPECT_TRUE(s.viewer.RangeActive());
    EXPECT_EQ(s.viewer.Cursor(), 102400);
    s.viewer.GraphMove(50, false);
    EXPECT_EQ(s.viewer.RangeStart(), 51200);
    EXPECT_EQ(s.viewer.RangeEnd(), 102400);
    EXPECT_EQ(s.viewer.Cursor(), 51200);
    s.viewer.GraphMove(200, false);
    EXPECT_EQ(s.viewer.RangeStart(), 102400);
    EXPECT_EQ(s.viewer.RangeEnd(), 204800);
    EXPECT_EQ(s.region->GetHistoryCount(), 0); // nothing written during the drag
    CWaveViewer::GraphReleaseResult r = s.viewer.GraphRelease(200);
    EXPECT_TRUE(r.rangeDragEnded);
    EXPECT_TRUE(r.rangeActive);
    EXPECT_FALSE(r.stopPlayback);
    EXPECT_TRUE(s.region->HasRange());
    EXPECT_EQ(s.region->GetRangeStart(), 102400);
    EXPECT_EQ(s.region->GetRangeEnd(), 204800);
    ASSERT_EQ(s.region->GetHistoryCount(), 1);
    int32_t hs = 0, he = 0;
    s.region->GetHistoryEntry(0, hs, he);
    EXPECT_EQ(hs, 102400);
    EXPECT_EQ(he, 204800);
    EXPECT_EQ(s.viewer.Cursor(), 204800);

    // Two columns (2048 frames) stay active; one column (1024 frames) does not, and the caller
    // is told to stop playback.
    s.viewer.GraphPress(400, 40, true, false);
    s.viewer.GraphMove(402, false);
    r = s.viewer.GraphRelease(402);
    EXPECT_TRUE(r.rangeActive);
    EXPECT_EQ(s.region->GetHistoryCount(), 2);
    s.viewer.GraphPress(600, 40, true, false);
    s.viewer.GraphMove(601, false);
    r = s.viewer.GraphRelease(601);
    EXPECT_TRUE(r.rangeDragEnded);
    EXPECT_FALSE(r.rangeActive);
    EXPECT_TRUE(r.stopPlayback);
    EXPECT_FALSE(s.viewer.RangeActive());
    EXPECT_FALSE(s.region->HasRange());
    EXPECT_EQ(s.region->GetRangeStart(), 600 * 1024); // bounds kept
    EXPECT_EQ(s.region->GetRangeEnd(), 601 * 1024);
    EXPECT_EQ(s.region->GetHistoryCount(), 2); // an inactive range is not remembered
}

TEST(WaveViewerInputTest, RangeEdgesAreGrabbedWithinFourColumnsAlsoFromStoredBounds) {
    Scene s;
    s.Window(0, 1048575);
    s.viewer.SetRange(true, 102400, 204800); // columns 100..200
    // Pointer shapes without a drag.
    EXPECT_EQ(s.viewer.GraphMove(96, false), CWaveViewer::Pointer::ResizeHorizontal);
    EXPECT_EQ(s.viewer.GraphMove(204, false), CWaveViewer::Pointer::ResizeHorizontal);
    EXPECT_EQ(s.viewer.GraphMove(205, false), CWaveViewer::Pointer::Default);
    EXPECT_EQ(s.viewer.GraphMove(150, false), CWaveViewer::Pointer::Default);

    // The end edge, grabbed 3 columns off, dragged past the anchor.
    s.viewer.GraphPress(203, 100, false, false);
    EXPECT_EQ(s.viewer.GraphDragMode(), CWaveViewer::DragRange);
    EXPECT_EQ(s.viewer.GrabbedRangeEdge(), CWaveViewer::EdgeEnd);
    EXPECT_EQ(s.viewer.Cursor(), 204800);
    s.viewer.GraphMove(203, false); // the grabbed column itself: nothing changes
    EXPECT_EQ(s.viewer.RangeEnd(), 204800);
    s.viewer.GraphMove(253, false);
    EXPECT_EQ(s.viewer.RangeStart(), 102400);
    EXPECT_EQ(s.viewer.RangeEnd(), 256000);
    s.viewer.GraphMove(53, false);
    EXPECT_EQ(s.viewer.RangeStart(), 51200);
    EXPECT_EQ(s.viewer.RangeEnd(), 102400);
    s.viewer.GraphRelease(53);
    EXPECT_EQ(s.viewer.Cursor(), 51200); // x − offset
    EXPECT_EQ(s.region->GetRangeStart(), 51200);
    EXPECT_EQ(s.region->GetRangeEnd(), 102400);

    // The start edge (columns 50..100 now).
    s.viewer.GraphPress(48, 100, false, false);
    EXPECT_EQ(s.viewer.GrabbedRangeEdge(), CWaveViewer::EdgeStart);
    s.viewer.GraphMove(28, false);
    EXPECT_EQ(s.viewer.RangeStart(), 30 * 1024);
    EXPECT_EQ(s.viewer.RangeEnd(), 102400);
    s.viewer.GraphRelease(28);

    // Inactive: a plain press sets the cursor, but Shift grabs the stored edge.
    s.viewer.ClearRange();
    EXPECT_EQ(s.viewer.GraphMove(30, false), CWaveViewer::Pointer::Default);
    s.viewer.GraphPress(31, 100, false, false);
    EXPECT_EQ(s.viewer.GraphDragMode(), CWaveViewer::DragCursor);
    s.viewer.GraphRelease(31);
    s.viewer.GraphPress(31, 100, true, false);
    EXPECT_EQ(s.viewer.GraphDragMode(), CWaveViewer::DragRange);
    EXPECT_EQ(s.viewer.GrabbedRangeEdge(), CWaveViewer::EdgeStart);
    EXPECT_TRUE(s.viewer.RangeActive());
    s.viewer.GraphRelease(31);
    EXPECT_TRUE(s.region->HasRange());
    EXPECT_EQ(s.region->GetRangeStart(), 30 * 1024);
}

TEST(WaveViewerInputTest, MarkersArePickedWithinSixColumnsWithTiesToTheFirst) {
    Scene s;
    s.Window(0, 1048575);
    s.Marker(97 * 1024);
    s.Marker(103 * 1024);
    s.Marker(300 * 1024);
    // Columns 97 and 103 both lie 3 away from 100: the first in marker order is taken.
    s.viewer.GraphPress(100, 20, false, false);
    EXPECT_EQ(s.viewer.GraphDragMode(), CWaveViewer::DragMarker);
    ASSERT_NE(s.viewer.GrabbedMarker(), nullptr);
    EXPECT_EQ(s.viewer.GrabbedMarker()->GetPosition(), 97 * 1024);
    s.viewer.GraphRelease(100);
    EXPECT_EQ(s.viewer.GrabbedMarker(), nullptr);
    // The nearer one wins.
    s.viewer.GraphPress(102, 20, false, false);
    ASSERT_NE(s.viewer.GrabbedMarker(), nullptr);
    EXPECT_EQ(s.viewer.GrabbedMarker()->GetPosition(), 103 * 1024);
    s.viewer.GraphRelease(102);
    // Seven columns away: none.
    s.viewer.GraphPress(307, 20, false, false);
    EXPECT_EQ(s.viewer.GrabbedMarker(), nullptr);
    s.viewer.GraphRelease(320);
    EXPECT_EQ(s.MarkerPositions(), (std::vector<int64_t>{97 * 1024, 103 * 1024, 300 * 1024}));

    // Alt deletes the nearest within 6 columns, and nothing farther.
    s.viewer.GraphPress(294, 20, false, true);
    s.viewer.GraphRelease(294);
    s.viewer.GraphPress(306, 20, false, true);
    s.viewer.GraphRelease(306);
    EXPECT_EQ(s.MarkerPositions(), (std::vector<int64_t>{97 * 1024, 103 * 1024}));
    EXPECT_FALSE(s.viewer.DeleteMarkerNear(400));
    EXPECT_TRUE(s.viewer.DeleteMarkerNear(100));
    EXPECT_EQ(s.MarkerPositions(), (std::vector<int64_t>{103 * 1024}));
}

TEST(WaveViewerInputTest, MarkerDragsKeepTheOrderUntilReleaseAndAClickInPlaceMovesTheCursor) {
    Scene s;
    s.Window(0, 1048575);
    CMarker* a = s.Marker(100 * 1024);
    CMarker* b = s.Marker(153700); // column 150, between two column positions
    CMarker* c = s.Marker(200 * 1024);
    s.viewer.GraphPress(101, 20, false, false);
    ASSERT_EQ(s.viewer.GrabbedMarker(), a);
    s.viewer.GraphMove(181, false);
    EXPECT_EQ(a->GetPosition(), 180 * 1024);
    EXPECT_EQ(s.region->Markers().At(0), a); // not re-sorted during the drag
    s.viewer.GraphMove(231, false);
    EXPECT_EQ(a->GetPosition(), 230 * 1024);
    EXPECT_EQ(s.region->Markers().At(0), a);
    s.viewer.GraphRelease(231);
    EXPECT_EQ(s.region->Markers().At(0), b);
    EXPECT_EQ(s.region->Markers().At(1), c);
    EXPECT_EQ(s.region->Markers().At(2), a);

    // Pressed and released on the same column, even after moving away: the marker goes back
    // to its exact old position and the cursor jumps to it.
    s.viewer.SetCursor(0);
    s.viewer.GraphPress(151, 20, false, false);
    ASSERT_EQ(s.viewer.GrabbedMarker(), b);
    s.viewer.GraphMove(260, false);
    EXPECT_EQ(b->GetPosition(), 259 * 1024);
    s.viewer.GraphRelease(151);
    EXPECT_EQ(b->GetPosition(), 153700);
    EXPECT_EQ(s.viewer.Cursor(), 153700);
    EXPECT_EQ(s.MarkerPositions(), (std::vector<int64_t>{153700, 200 * 1024, 230 * 1024}));

    // A new region during a drag lets go of the marker.
    s.viewer.GraphPress(200, 20, false, false);
    ASSERT_EQ(s.viewer.GrabbedMarker(), c);
    CRegion other("Other", 0, kL, &s.sample, 0u, 2, 0);
    s.viewer.SetRegion(&other);
    EXPECT_FALSE(s.viewer.IsBusy());
    EXPECT_EQ(s.viewer.GrabbedMarker(), nullptr);
    s.viewer.GraphMove(250, false);
    s.viewer.GraphRelease(250);
    EXPECT_EQ(c->GetPosition(), 200 * 1024);
}

TEST(WaveViewerInputTest, RangeBetweenMarkersNeedsTwoThousandFortyEightFrames) {
    Scene s;
    s.Window(0, 1048575);
    // No markers: the whole region.
    s.viewer.GraphPress(500, 20, true, false);
    s.viewer.GraphRelease(500);
    EXPECT_TRUE(s.viewer.RangeActive());
    EXPECT_EQ(s.viewer.RangeStart(), 0);
    EXPECT_EQ(s.viewer.RangeEnd(), kL);
    EXPECT_EQ(s.region->GetHistoryCount(), 1);
    s.Marker(100000);
    s.Marker(300000);
    s.Marker(301000);
    EXPECT_TRUE(s.viewer.RangeBetweenMarkers(200)); // 204800 lies between 100000 and 300000
    EXPECT_EQ(s.viewer.RangeStart(), 100000);
    EXPECT_EQ(s.viewer.RangeEnd(), 300000);
    EXPECT_TRUE(s.region->HasRange());
    EXPECT_EQ(s.region->GetRangeStart(), 100000);
    EXPECT_EQ(s.region->GetHistoryCount(), 2);
    // 300000..301000 is 1000 frames: nothing happens.
    s.Window(299000, 302000);
    const int x = s.viewer.X(300500);
    EXPECT_FALSE(s.viewer.RangeBetweenMarkers(x));
    EXPECT_EQ(s.viewer.RangeStart(), 100000);
    EXPECT_EQ(s.region->GetHistoryCount(), 2);
}

TEST(WaveViewerInputTest, RightAndMiddleButtonsPlayAndHoldTheCompare) {
    Scene s;
    s.viewer.SetCursor(2000000);
    s.viewer.SetRange(true, 1000000, 3000000);
    s.playback.playing = true;
    s.viewer.GraphRightPress();
    EXPECT_EQ(s.playback.stops, 1);
    ASSERT_EQ(s.playback.plays.size(), 1u);
    EXPECT_EQ(s.playback.plays[0], (FakePlayback::Call{2000000, 3000000}));
    s.viewer.GraphRightRelease();
    EXPECT_EQ(s.playback.stops, 2);
    // The cursor on the range end is outside the range: to the region end.
    s.viewer.SetCursor(3000000);
    s.viewer.GraphRightPress();
    EXPECT_EQ(s.playback.stops, 2); // was not playing
    EXPECT_EQ(s.playback.plays.back(), (FakePlayback::Call{3000000, kL}));
    s.viewer.GraphRightRelease();
    s.viewer.SetRange(false, 1000000, 3000000);
    s.viewer.SetCursor(2000000);
    s.viewer.GraphRightPress();
    EXPECT_EQ(s.playback.plays.back(), (FakePlayback::Call{2000000, kL}));
    s.viewer.GraphRightRelease();
    EXPECT_FALSE(s.playback.playing);

    s.viewer.GraphMiddlePress();
    EXPECT_TRUE(s.playback.hold);
    s.viewer.GraphMiddleRelease();
    EXPECT_FALSE(s.playback.hold);
}

TEST(WaveViewerInputTest, DoubleClickSavesTheWindowAndLetsGoOfTheRegionWhenPlaying) {
    Scene s;
    s.Window(1000000, 2000000);
    s.viewer.GraphDoubleClick();
    EXPECT_EQ(s.region->GetViewStart(), 1000000);
    EXPECT_EQ(s.viewer.CurrentRegion(), s.region.get());
    s.playback.playing = true;
    s.Window(3000000, 4000000);
    s.viewer.GraphDoubleClick();
    EXPECT_EQ(s.region->GetViewStart(), 3000000);
    EXPECT_EQ(s.playback.stops, 1);
    EXPECT_EQ(s.viewer.CurrentRegion(), nullptr);
    EXPECT_EQ(s.viewer.LoadedRegion(), nullptr);
}

// ---- navigator mouse ----

TEST(WaveViewerInputTest, NavigatorJumpFromTheZoomedOutViewShowsAPlaceUntilRelease) {
    Scene s(kNavL);
    s.viewer.NavigatorPress(500, 20);
    EXPECT_TRUE(s.viewer.IsBusy());
    EXPECT_EQ(s.viewer.NavigatorDragMode(), CWaveViewer::NavJump);
    s.ExpectWindow(4750000, 5250000);
    s.viewer.NavigatorMove(600);
    s.ExpectWindow(5750000, 6250000);
    s.viewer.NavigatorMove(1000);
    s.ExpectWindow(kNavL - 500000, kNavL);
    s.viewer.NavigatorRelease();
    EXPECT_FALSE(s.viewer.IsBusy());
    s.ExpectWindow(0, kNavL);

    // Zoomed in, a press outside the window centres there until release.
    s.Window(1000000, 2000000); // columns 100..200
    s.viewer.NavigatorPress(700, 20);
    EXPECT_EQ(s.viewer.NavigatorDragMode(), CWaveViewer::NavJump);
    s.ExpectWindow(6500000, 7500000);
    s.viewer.NavigatorRelease();
    s.ExpectWindow(1000000, 2000000);
}

TEST(WaveViewerInputTest, NavigatorEdgesAndWindowDrag) {
    Scene s(kNavL);
    s.Window(1000000, 2000000); // columns 100..200
    EXPECT_EQ(s.viewer.NavigatorMove(97), CWaveViewer::Pointer::ResizeHorizontal);
    EXPECT_EQ(s.viewer.NavigatorMove(204), CWaveViewer::Pointer::ResizeHorizontal);
    EXPECT_EQ(s.viewer.NavigatorMove(150), CWaveViewer::Pointer::Hand);
    EXPECT_EQ(s.viewer.NavigatorMove(600), CWaveViewer::Pointer::Hand);

    // The window, grabbed 10 columns right of its middle.
    s.viewer.NavigatorPress(160, 20);
    EXPECT_EQ(s.viewer.NavigatorDragMode(), CWaveViewer::NavWindow);
    s.ExpectWindow(1000000, 2000000);
    EXPECT_EQ(s.viewer.NavigatorMove(310), CWaveViewer::Pointer::Unchanged);
    s.ExpectWindow(2500000, 3500000);
    s.viewer.NavigatorRelease();
    s.ExpectWindow(2500000, 3500000); // no restore after a window drag

    // The left edge (column 250), at most 200000 frames before the right edge.
    s.viewer.NavigatorPress(252, 20);
    EXPECT_EQ(s.viewer.NavigatorDragMode(), CWaveViewer::NavLeftEdge);
    s.viewer.NavigatorMove(52);
    s.ExpectWindow(500000, 3500000);
    s.viewer.NavigatorMove(400);
    s.ExpectWindow(3300000, 3500000);
    s.viewer.NavigatorRelease();
    // The right edge (column 350), at least 200000 frames after the left edge.
    s.viewer.NavigatorPress(349, 20);
    EXPECT_EQ(s.viewer.NavigatorDragMode(), CWaveViewer::NavRightEdge);
    s.viewer.NavigatorMove(599);
    s.ExpectWindow(3300000, 6000000);
    s.viewer.NavigatorMove(100);
    s.ExpectWindow(3300000, 3500000);
    s.viewer.NavigatorRelease();

    // A region of 500000 frames or less does not jump from the zoomed-out view.
    Scene small(400000);
    small.viewer.NavigatorPress(500, 20);
    EXPECT_EQ(small.viewer.NavigatorDragMode(), CWaveViewer::NavWindow);
    small.ExpectWindow(0, 400000);
    small.viewer.NavigatorRelease();
}

TEST(WaveViewerInputTest, NavigatorRightButtonPlaysFromThePlaceToTheEnd) {
    Scene s(kNavL);
    s.playback.playing = true;
    s.viewer.NavigatorRightPress(300);
    EXPECT_EQ(s.playback.stops, 1);
    ASSERT_EQ(s.playback.plays.size(), 1u);
    EXPECT_EQ(s.playback.plays[0], (FakePlayback::Call{3000000, kNavL}));
    s.viewer.NavigatorRightRelease();
    EXPECT_EQ(s.playback.stops, 2);
    EXPECT_FALSE(s.playback.playing);
}

// ---- cursor commands ----

TEST(WaveViewerInputTest, CursorMovesByColumnsAndTheWindowFollowsAtItsEdges) {
    Scene s;
    s.Window(0, 1048575);
    s.viewer.SetCursor(100 * 1024);
    s.viewer.MoveCursorBy(1);
    EXPECT_EQ(s.viewer.Cursor(), 101 * 1024);
    s.viewer.MoveCursorBy(10);
    EXPECT_EQ(s.viewer.Cursor(), 111 * 1024);
    s.viewer.MoveCursorBy(-10);
    EXPECT_EQ(s.viewer.Cursor(), 101 * 1024);
    s.ExpectWindow(0, 1048575);
    // At the window's left edge the cursor stays and the window centres on it.
    s.Window(2000000, 3048575);
    s.viewer.SetCursor(2000000);
    s.viewer.MoveCursorBy(-1);
    EXPECT_EQ(s.viewer.Cursor(), 2000000);
    s.ExpectWindow(2000000 - 524287, 2000000 + 524287);
    s.viewer.MoveCursorBy(-1);
    EXPECT_LT(s.viewer.Cursor(), 2000000);
    // A cursor outside the window: centred on first.
    s.viewer.SetCursor(8000000);
    s.viewer.MoveCursorBy(1);
    EXPECT_GT(s.viewer.Cursor(), 8000000);
    EXPECT_LT(s.viewer.Cursor(), 8002100);
    EXPECT_GT(s.viewer.Cursor(), s.viewer.ViewStart());
    EXPECT_LT(s.viewer.Cursor(), s.viewer.ViewEnd());
    // Never below 0 nor beyond L.
    s.viewer.CursorToStart();
    s.viewer.MoveCursorBy(-10);
    EXPECT_EQ(s.viewer.Cursor(), 0);
    s.viewer.CursorToEnd();
    s.viewer.MoveCursorBy(10);
    EXPECT_EQ(s.viewer.Cursor(), kL);
    // Playing: playback restarts from the new cursor.
    s.playback.playing = true;
    s.viewer.MoveCursorBy(-1);
    ASSERT_EQ(s.playback.plays.size(), 1u);
    EXPECT_EQ(s.playback.plays[0].from, s.viewer.Cursor());
    EXPECT_EQ(s.playback.plays[0].to, kL);
}

TEST(WaveViewerInputTest, CursorKeysStillMoveWhenAColumnHoldsLessThanAFrame) {
    Scene s(500);
    s.viewer.SetCursor(100);
    s.viewer.MoveCursorBy(1);
    EXPECT_EQ(s.viewer.Cursor(), 101);
    s.viewer.MoveCursorBy(-1);
    EXPECT_EQ(s.viewer.Cursor(), 100);
}

TEST(WaveViewerInputTest, CursorStopsAreRegionEndsActiveRangeBoundsAndMarkers) {
    Scene s;
    s.Window(0, 400000);
    s.Marker(3000000);
    s.Marker(1000000);
    s.viewer.SetRange(true, 2000000, 2500000);
    s.viewer.SetCursor(2200000);
    const std::vector<int32_t> back = {2000000, 1000000, 0, 0};
    for (int32_t want : back) {
        s.viewer.CursorToPreviousStop();
        EXPECT_EQ(s.viewer.Cursor(), want);
        EXPECT_GE(s.viewer.Cursor(), s.viewer.ViewStart());
        EXPECT_LE(s.viewer.Cursor(), s.viewer.ViewEnd());
    }
    const std::vector<int32_t> forward = {1000000, 2000000, 2500000, 3000000, kL, kL};
    for (int32_t want : forward) {
        s.viewer.CursorToNextStop();
        EXPECT_EQ(s.viewer.Cursor(), want);
        EXPECT_GE(s.viewer.Cursor(), s.viewer.ViewStart());
        EXPECT_LE(s.viewer.Cursor(), s.viewer.ViewEnd());
    }
    EXPECT_EQ(s.viewer.ViewEnd(), kL);
    // An inactive range is no stop; playing restarts from the stop.
    s.viewer.SetRange(false, 2000000, 2500000);
    s.viewer.SetCursor(2200000);
    s.playback.playing = true;
    s.viewer.CursorToNextStop();
    EXPECT_EQ(s.viewer.Cursor(), 3000000);
    ASSERT_EQ(s.playback.plays.size(), 1u);
    EXPECT_EQ(s.playback.plays[0], (FakePlayback::Call{3000000, kL}));
    s.viewer.CursorToPreviousStop();
    EXPECT_EQ(s.viewer.Cursor(), 1000000);
    EXPECT_EQ(s.playback.plays.back(), (FakePlayback::Call{1000000, kL}));

    // Home and End take the window along, keeping its length.
    s.Window(4000000, 4400000);
    s.viewer.CursorToStart();
    EXPECT_EQ(s.viewer.Cursor(), 0);
    s.ExpectWindow(0, 400000);
    s.viewer.CursorToEnd();
    EXPECT_EQ(s.viewer.Cursor(), kL);
    s.ExpectWindow(kL - 400000, kL);
    // Clicking a marker row: the cursor goes there, the window only when needed.
    s.viewer.CursorTo(kL - 100000);
    s.ExpectWindow(kL - 400000, kL);
    s.viewer.CursorTo(1000000);
    s.ExpectWindow(800000, 1200000);
}

// ---- range and fade commands ----

TEST(WaveViewerInputTest, MenuRangesUseTheCursorOrPlayPositionAndTheThousandTwentyFourFrameRule) {
    Scene s;
    s.viewer.SetCursor(5000000);
    s.viewer.RangeStartAtCursor(); // no range yet: to the region end
    EXPECT_TRUE(s.viewer.RangeActive());
    EXPECT_EQ(s.viewer.RangeStart(), 5000000);
    EXPECT_EQ(s.viewer.RangeEnd(), kL);
    s.viewer.SetCursor(7000000);
    s.viewer.RangeEndAtCursor();
    EXPECT_EQ(s.viewer.RangeStart(), 5000000);
    EXPECT_EQ(s.viewer.RangeEnd(), 7000000);
    s.viewer.SetCursor(4000000);
    s.viewer.RangeEndAtCursor(); // start not below the end: from 0
    EXPECT_EQ(s.viewer.RangeStart(), 0);
    EXPECT_EQ(s.viewer.RangeEnd(), 4000000);
    // Playing, the play position counts, not the cursor.
    s.playback.playing = true;
    s.playback.position = 6000000;
    s.viewer.RangeStartAtCursor(); // start not below the end: to L
    EXPECT_EQ(s.viewer.RangeStart(), 6000000);
    EXPECT_EQ(s.viewer.RangeEnd(), kL);
    EXPECT_EQ(s.viewer.Cursor(), 4000000);
    EXPECT_TRUE(s.playback.plays.empty());
    s.playback.playing = false;
    EXPECT_EQ(s.region->GetHistoryCount(), 4);
    int32_t hs = 0, he = 0;
    s.region->GetHistoryEntry(0, hs, he);
    EXPECT_EQ(hs, 6000000);
    EXPECT_EQ(he, kL);
    EXPECT_TRUE(s.region->HasRange());

    // Below 1024 frames inactive, no history; exactly 1024 active.
    s.viewer.SetCursor(1023);
    s.viewer.RangeFromStartToCursor();
    EXPECT_FALSE(s.viewer.RangeActive());
    EXPECT_FALSE(s.region->HasRange());
    EXPECT_EQ(s.region->GetRangeEnd(), 1023);
    EXPECT_EQ(s.region->GetHistoryCount(), 4);
    s.viewer.SetCursor(1024);
    s.viewer.RangeFromStartToCursor();
    EXPECT_TRUE(s.viewer.RangeActive());
    EXPECT_EQ(s.region->GetHistoryCount(), 5);
    s.viewer.SetCursor(kL - 1000);
    s.viewer.RangeFromCursorToEnd();
    EXPECT_FALSE(s.viewer.RangeActive());
    EXPECT_EQ(s.viewer.RangeStart(), kL - 1000);
    EXPECT_EQ(s.region->GetHistoryCount(), 5);
    // With an inactive range, start at cursor takes the region end again.
    s.viewer.SetCursor(kL - 5000);
    s.viewer.RangeStartAtCursor();
    EXPECT_TRUE(s.viewer.RangeActive());
    EXPECT_EQ(s.viewer.RangeEnd(), kL);
    s.viewer.SelectAll();
    EXPECT_EQ(s.region->GetRangeStart(), 0);
    EXPECT_EQ(s.region->GetRangeEnd(), kL);
    EXPECT_EQ(s.region->GetHistoryCount(), 7);
    s.viewer.ClearRange();
    EXPECT_FALSE(s.viewer.RangeActive());
    EXPECT_FALSE(s.region->HasRange());
    EXPECT_EQ(s.region->GetRangeEnd(), kL); // bounds kept
    EXPECT_EQ(s.region->GetHistoryCount(), 7);

    // A region shorter than 1024 frames has no range even when all is selected.
    Scene tiny(1000);
    tiny.viewer.SelectAll();
    EXPECT_FALSE(tiny.viewer.RangeActive());
    EXPECT_EQ(tiny.region->GetHistoryCount(), 0);
}

TEST(WaveViewerInputTest, ShowRegionAsRangeOnRootLeavesTheRootsRangeAlone) {
    Scene s;
    CRegion sub("Take.001", 3000000, 3500000, &s.sample, 0u, 2, 0);
    s.viewer.SetRegion(&sub);
    s.viewer.ShowRangeOnRoot(s.region.get(), sub.GetStart(), sub.GetEnd());
    EXPECT_EQ(s.viewer.CurrentRegion(), s.region.get());
    EXPECT_TRUE(s.viewer.RangeActive());
    EXPECT_EQ(s.viewer.RangeStart(), 3000000);
    EXPECT_EQ(s.viewer.RangeEnd(), 3500000);
    EXPECT_FALSE(s.region->HasRange());
    EXPECT_EQ(s.region->GetHistoryCount(), 0);
    s.ExpectWindow(2750000, 3750000);
    EXPECT_EQ(s.viewer.Cursor(), 0);
}

TEST(WaveViewerInputTest, FadesTakeTheCursorShortenTheOtherFadeAndAskForAStop) {
    Scene s;
    s.region->SetFadeOutLength(5000000);
    s.viewer.SetCursor(7000000);
    EXPECT_TRUE(s.viewer.FadeInToCursor(1));
    EXPECT_EQ(s.region->GetFadeInLength(), 7000000);
    EXPECT_EQ(s.region->GetFadeInShape(), 1);
    EXPECT_EQ(s.region->GetFadeOutLength(), 3000000);
    s.viewer.SetCursor(2000000);
    EXPECT_TRUE(s.viewer.FadeOutFromCursor(2));
    EXPECT_EQ(s.region->GetFadeOutLength(), 8000000);
    EXPECT_EQ(s.region->GetFadeOutShape(), 2);
    EXPECT_EQ(s.region->GetFadeInLength(), 2000000);
    // No overlap: the other fade stays.
    s.viewer.SetCursor(1000000);
    EXPECT_TRUE(s.viewer.FadeInToCursor(0));
    EXPECT_EQ(s.region->GetFadeInLength(), 1000000);
    EXPECT_EQ(s.region->GetFadeInShape(), 0);
    EXPECT_EQ(s.region->GetFadeOutLength(), 8000000);
    // Playing, the play position counts.
    s.playback.playing = true;
    s.playback.position = 9000000;
    EXPECT_TRUE(s.viewer.FadeOutFromCursor(0));
    EXPECT_EQ(s.region->GetFadeOutLength(), 1000000);
    EXPECT_EQ(s.region->GetFadeOutShape(), 0);
    EXPECT_EQ(s.playback.stops, 0); // the caller stops the transport
    s.playback.playing = false;
    // Resets keep the shapes.
    s.region->SetFadeInShape(2);
    EXPECT_TRUE(s.viewer.ResetFadeIn());
    EXPECT_TRUE(s.viewer.ResetFadeOut());
    EXPECT_EQ(s.region->GetFadeInLength(), 0);
    EXPECT_EQ(s.region->GetFadeOutLength(), 0);
    EXPECT_EQ(s.region->GetFadeInShape(), 2);
    // The envelope drawn follows the new fade.
    s.viewer.SetCursor(kL / 2);
    s.viewer.FadeInToCursor(1);
    EXPECT_NEAR(s.viewer.FadeGain(kL / 4), 0.25, 1e-9);
}

// ---- without a region ----

TEST(WaveViewerInputTest, WithoutARegionNothingChangesAndNothingPlays) {
    EnsureGui();
    CWaveViewer v;
    FakePlayback playback;
    v.SetPlayback(&playback);
    v.Redraw(400, 120, 400);
    EXPECT_FALSE(v.ZoomIn());
    EXPECT_FALSE(v.ZoomOut());
    EXPECT_FALSE(v.ZoomReset());
    EXPECT_FALSE(v.ScrollLeft() || v.ScrollRight() || v.ZoomToStart() || v.ZoomToEnd());
    EXPECT_FALSE(v.ZoomToRange() || v.ZoomToFadeIn() || v.ZoomToFadeOut() || v.ZoomToCursor());
    EXPECT_FALSE(v.ZoomSlider(50) || v.CentreOn(5) || v.FollowPlayPosition(5, true));
    v.GraphPress(100, 100, false, false);
    EXPECT_EQ(v.GraphDragMode(), CWaveViewer::DragNone);
    v.GraphMove(150, true);
    EXPECT_FALSE(v.GraphRelease(150).rangeDragEnded);
    v.GraphRightPress();
    v.NavigatorPress(100, 10);
    v.NavigatorMove(150);
    v.NavigatorRelease();
    v.NavigatorRightPress(100);
    v.MoveCursorBy(1);
    v.CursorToNextStop();
    v.RangeStartAtCursor();
    v.SelectAll();
    EXPECT_FALSE(v.RangeActive());
    EXPECT_FALSE(v.RangeBetweenMarkers(10));
    EXPECT_FALSE(v.FadeInToCursor(0) || v.FadeOutFromCursor(0) || v.ResetFadeIn() || v.ResetFadeOut());
    EXPECT_FALSE(v.DeleteMarkerNear(10));
    EXPECT_TRUE(playback.plays.empty());
}

// The wave viewer of a three-hour 44.1 kHz stereo region at 1,920 columns: a full redraw (graph,
// navigator, dB scale, status line) zoomed out and zoomed in, and one zoom step end to end (the
// viewer's zoom in / zoom out: new window, redraw). Peer in the same run: the same column maxima over the same peak
// pairs, drawn with one QPainter::drawLine per column into images of the same sizes. Run: bench_wave_view (offscreen).

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "audiofile/PeakFile.h"
#include "library/CRegion.h"
#include "library/CSample.h"
#include "views/CWaveViewer.h"

namespace {

constexpr int kWidth = 1920, kHeight = 400;
constexpr int64_t kFrames = 3LL * 3600 * 44100;

struct Scene {
    CSample sample;
    std::unique_ptr<CRegion> region;
    std::vector<uint16_t> peaks;
    int32_t fpp = PeakFramesPerEntry(44100);
    CWaveViewer viewer;

    Scene() {
        sample.SetSampleRate(44100);
        sample.SetBits(16);
        sample.SetFrameCount(kFrames);
        region = std::make_unique<CRegion>("Three hours", 0, kFrames, &sample, 0u, 1, 0);
        const int64_t n = (kFrames + fpp - 1) / fpp;
        peaks.resize(static_cast<size_t>(n) * 2);
        std::mt19937 rng(3);
        for (auto& v : peaks) v = static_cast<uint16_t>(rng());
        viewer.SetRegion(region.get());
        viewer.SetPeaks(peaks, fpp, 2);
    }
};

Scene& TheScene() {
    static Scene scene;
    return scene;
}

// The simplest correct drawing of the same maxima: a column loop over the pairs and one line
// per column per lane.
void PeerDraw(const Scene& s, int64_t a, int64_t b, QImage& graph, QImage& nav) {
    auto draw = [&](QImage& img, int64_t from, int64_t to, int top, bool stereo) {
        QPainter p(&img);
        p.fillRect(img.rect(), QColor(0x1F, 0x1F, 0x4F));
        p.setPen(QColor(0x9F, 0x9F, 0xEF));
        const int w = img.width(), h = img.height() - top;
        const double perColumn = static_cast<double>(to - from) / w / s.fpp;
        const int64_t n = static_cast<int64_t>(s.peaks.size() / 2);
        for (int j = 0; j < w; ++j) {
            const auto first = static_cast<int64_t>(from / s.fpp + j * perColumn);
            const auto stop = std::min<int64_t>(std::max<int64_t>(first + 1, from / s.fpp + (j + 1) * perColumn), n);
            uint16_t l = 0, r = 0;
            for (int64_t i = first; i < stop; ++i) {
                l = std::max(l, s.peaks[static_cast<size_t>(i) * 2]);
                r = std::max(r, s.peaks[static_cast<size_t>(i) * 2 + 1]);
            }
            if (stereo) {
                p.drawLine(j, top + h / 2, j, top + h / 2 - static_cast<int>(l / 65535.0 * (h / 2 - 1)));
                p.drawLine(j, top + h, j, top + h - static_cast<int>(r / 65535.0 * (h / 2 - 1)));
            } else {
                p.drawLine(j, top + h, j, top + h - static_cast<int>(std::max(l, r) / 65535.0 * (h - 1)));
            }
        }
    };
    draw(graph, a, b, CWaveViewer::kRulerHeight, true);
    draw(nav, 0, kFrames, 0, false);
}

void BM_ViewerRedraw(benchmark::State& state) {
    Scene& s = TheScene();
    const bool zoomedIn = state.range(0) != 0;
    s.viewer.SetViewWindow(zoomedIn ? 100000000 : 0, zoomedIn ? 100200000 : static_cast<int32_t>(kFrames));
    for (auto _ : state) {
        s.viewer.Redraw(kWidth, kHeight, kWidth + 40);
        benchmark::DoNotOptimize(s.viewer.GraphImage().constBits());
    }
}
BENCHMARK(BM_ViewerRedraw)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_PeerRedraw(benchmark::State& state) {
    Scene& s = TheScene();
    const bool zoomedIn = state.range(0) != 0;
    QImage graph(kWidth, kHeight, QImage::Format_RGB32), nav(kWidth + 40, 50, QImage::Format_RGB32);
    for (auto _ : state) {
        PeerDraw(s, zoomedIn ? 100000000 : 0, zoomedIn ? 100200000 : kFrames, graph, nav);
        benchmark::DoNotOptimize(graph.constBits());
    }
}
BENCHMARK(BM_PeerRedraw)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// One zoom step end to end: the viewer's own zoom in or zoom out (the window's rule, then the
// redraw of all surfaces that every interaction ends with), alternating so the scale stays put.
// Arg 0 starts zoomed out, arg 1 near the shortest window (400000 frames).
void BM_ViewerZoomStep(benchmark::State& state) {
    Scene& s = TheScene();
    const bool zoomedIn = state.range(0) != 0;
    s.viewer.SetViewWindow(zoomedIn ? 100000000 : 0, zoomedIn ? 100400000 : static_cast<int32_t>(kFrames));
    s.viewer.SetCursor(zoomedIn ? 100200000 : 0);
    s.viewer.Redraw(kWidth, kHeight, kWidth + 40);
    bool in = true;
    for (auto _ : state) {
        const bool changed = in ? s.viewer.ZoomIn() : s.viewer.ZoomOut();
        if (!changed) {
            state.SkipWithError("the zoom step changed nothing");
            break;
        }
        benchmark::DoNotOptimize(s.viewer.GraphImage().constBits());
        in = !in;
    }
}
BENCHMARK(BM_ViewerZoomStep)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

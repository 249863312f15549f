// Drawing while browsing: a full repaint of the grid browser at 1,920 x 1,080 showing a folder
// of 5,000 regions out of 100,000 in 200 folders, and one main-timer tick of the real window
// while a region plays through the null device. Each beside its peer in the same run:
// - repaint: the simplest correct drawing of the same cells (box, thumbnail bars from the
//   overview, number, name and duration) straight from the region list, with no layout;
// - tick: a tick that redraws the whole meter bridge from scratch (background, scale, all bars,
//   counter, icon) with the same levels, instead of moving only the bars and the counter.
// Run: bench_browse_view (offscreen; the window's start-up needs a folder, a temporary one).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/TForm1.h"
#include "audiofile/AudioFileWav.h"
#include "common/FolderId.h"
#include "core/CCore.h"
#include "dsp/CDSPStack.h"
#include "engine/AudioIOThread.h"
#include "engine/BlockStats.h"
#include "engine/CTransport.h"
#include "engine/NullDevice.h"
#include "library/CFolderOps.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "library/CSample.h"
#include "support/AudioFiles.h"
#include "support/ScriptedUiPort.h"
#include "views/CAudioDisplay.h"
#include "views/CTape.h"
#include "views/TapeView.h"

namespace {

constexpr int kRegions = 100000;
constexpr int kFolders = 200;
constexpr int kWidth = 1920, kHeight = 1080;

struct Library {
    CSample sample{"2601011200", "/nowhere", 0, 0, 44100, 2, 16, 441000000, 0, 0};
    CRegionList regions;
    std::vector<CRegion*> shown;
};

Library& Browsing() {
    static Library* lib = [] {
        auto* l = new Library;
        std::mt19937 rng(7);
        std::vector<CRegion*> all;
        for (int f = 0; f < kFolders; ++f) {
            char name[32];
            std::snprintf(name, sizeof name, "folder %03d", f);
            all.push_back(new CRegion(name, 0, 0, nullptr, RegionFolder, 1001 + f, FolderId::User));
        }
        for (int g = 0; g < kRegions; ++g) {
            char name[64];
            std::snprintf(name, sizeof name, "take %06d of a rather long session name", g);
            const int32_t folder = g < 5000 ? 1001 : 1002 + g % (kFolders - 1);
            auto* r = new CRegion(name, 0, 44100 * (1 + g % 300), &l->sample, 0, 1 + g, folder);
            uint8_t* ov = r->MutableOverview();
            for (int i = 0; i < CRegion::kOverviewSize; ++i) ov[i] = static_cast<uint8_t>(rng() % 256);
            all.push_back(r);
        }
        l->regions.InsertAll(std::move(all));
        l->shown = CFolderOps::Content(l->regions, 1001, 0, 0, [](const CRegion&) { return true; });
        return l;
    }();
    return *lib;
}

// The browser as the window has it: a grid tape of the shown folder, a row or so down.
void BM_GridRepaint1080p(benchmark::State& state) {
    Library& l = Browsing();
    CTape tape(CTape::Grid);
    tape.SetColumns(static_cast<int>(state.range(0)));
    for (CRegion* r : l.shown) tape.Add(r);
    tape.Select(l.shown[3]);
    tape.SetArea(0, 0, kWidth - 1, kHeight - 1);
    tape.Layout();
    tape.ScrollForward();
    TapeView view(false);
    for (auto _ : state) {
        tape.Layout();
        view.Paint(tape, kWidth, kHeight, 0);
        benchmark::DoNotOptimize(view.Image().constBits());
    }
    state.counters["items"] = static_cast<double>(tape.Count());
    state.counters["drawn"] = static_cast<double>(tape.GetLastVisible() - tape.GetFirstVisible() + 1);
}

// The peer: the same cells computed inline and drawn with plain QPainter calls.
void BM_PeerPlainGridPaint(benchmark::State& state) {
    Library& l = Browsing();
    const int columns = static_cast<int>(state.range(0));
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QFont font;
    font.setPixelSize(12);
    const QFontMetrics metrics(font);
    const int e = (kWidth - 14) / columns;
    const int f = static_cast<int>(e * 0.618046971569839);
    const int first = columns; // one row down, as above
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter p(&image);
        p.setFont(font);
        for (int i = first; i < static_cast<int>(l.shown.size()); ++i) {
            const int row = (i - first) / columns, col = (i - first) % columns;
            const int top = row * f;
            if (top >= kHeight) break;
            const int left = col * e;
            const CRegion& r = *l.shown[static_cast<size_t>(i)];
            const int tw = e - 12, th = f - 12 - 12;
            p.fillRect(left + 6, top + 6, tw, th, QColor(0x1F, 0x1F, 0x4F));
            p.setPen(QColor(0x7F, 0x7F, 0x9F));
            const uint8_t* ov = r.GetOverview();
            for (int j = 0; j < tw; ++j) {
                const int h = ov[j * 1023 / tw] * th / 256;
                if (h > 0) p.drawLine(left + 6 + j, top + 6 + th - 1, left + 6 + j, top + 6 + th - h);
            }
            p.setPen(Qt::white);
            p.drawText(left + 9, top + 20, QString::number(i + 1));
            p.setPen(Qt::black);
            const int s = static_cast<int>(r.Length() / 44100);
            p.drawText(QRect(left + 4, top + f - 18, e - 8, 14), Qt::AlignRight,
                       QString::asprintf("%d:%02d", s / 60, s % 60));
            p.drawText(QRect(left + 4, top + f - 18, e - 60, 14), Qt::AlignLeft,
                       metrics.elidedText(QString::fromStdString(r.GetName()), Qt::ElideRight, e - 60));
        }
        benchmark::DoNotOptimize(image.constBits());
    }
}

// The real window, playing a long tone through the null device as fast as the engine goes, so
// that the play position moves at every tick.
struct Window {
    QTemporaryDir dir;
    ScriptedUiPort ui;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<CSample> sample;
    std::unique_ptr<CRegion> region;
    bool ok = false;

    Window() {
        const std::string folder = dir.path().toStdString();
        std::vector<float> tone(static_cast<size_t>(44100) * 2 * 30);
        for (size_t i = 0; i < tone.size(); ++i) tone[i] = static_cast<float>(0.5 * std::sin(0.03 * (i / 2)));
        if (!MakeWavFile(folder, "tone.wav", tone, 44100)) return;
        ui.folderAnswers.push_back(folder);
        StartupEnvironment env;
        env.exeFolder = folder;
        env.lockPath = folder + "/Sonquil.lock";
        env.screenSize = QSize(1920, 1080);
        env.ui = &ui;
        form = std::make_unique<TForm1>(env);
        if (!form->StartupComplete()) return;
        form->resize(1920, 1080);
        form->show();
        QApplication::processEvents();
        CCore& core = form->Core();
        core.NullDevice()->settings.realTime = false;
        core.AudioThread()->SetPlaybackDevice(core.Devices()->NullOutputIndex() - 1);
        sample = std::make_unique<CSample>("tone.wav", folder, 0, 0, 44100, 2, 16, 44100 * 30, 0, 0);
        region = std::make_unique<CRegion>("tone", 0, 44100 * 30, sample.get(), 0, 1, FolderId::User);
        ok = core.Transport()->PlayRequest(*region, 0, 0, 0);
    }
    ~Window() {
        if (form) form->close();
        form.reset();
    }
};

Window* g_window = nullptr;
Window& Playing() {
    if (!g_window) g_window = new Window;
    return *g_window;
}

void BM_TimerTickPlaying(benchmark::State& state) {
    Window& w = Playing();
    if (!w.ok || !w.form->Core().Transport()->IsPlaying()) {
        state.SkipWithError("the window did not start playing");
        return;
    }
    CTransport& t = *w.form->Core().Transport();
    int64_t moved = 0, ticks = 0;
    for (auto _ : state) {
        // A tick of a running playback: the engine has moved the position since the last one
        // (as it has 50 ms later), so the tick does its whole work.
        state.PauseTiming();
        while (t.PlayCursor() == t.lastShown && t.IsPlaying()) std::this_thread::yield();
        state.ResumeTiming();
        const int32_t before = t.lastShown;
        w.form->Timer1Timer();
        moved += t.lastShown != before;
        ++ticks;
    }
    state.counters["moved_share"] = ticks ? static_cast<double>(moved) / static_cast<double>(ticks) : 0.0;
}

void BM_PeerRedrawAllTick(benchmark::State& state) {
    Window& w = Playing();
    if (!w.ok) {
        state.SkipWithError("the window did not start");
        return;
    }
    CCore& core = w.form->Core();
    CAudioDisplay display;
    display.RedrawAll(1200, 83);
    CTransport& t = *core.Transport();
    int32_t last = -1;
    for (auto _ : state) {
        state.PauseTiming();
        while (t.PlayCursor() == last && t.IsPlaying()) std::this_thread::yield();
        last = t.PlayCursor();
        state.ResumeTiming();
        const EngineSnapshot s = core.Snapshot();
        core.Stack()->PanelTick(s.transportState, s.positionMoved);
        display.UpdateLevels(MeterStats::From(core.AudioThread()->Stats().pre),
                             MeterStats::From(core.AudioThread()->Stats().post));
        display.UpdateCounter(t.PlayCursor(), t.PlayEnd() - t.PlayCursor(), t.PlaybackRate());
        display.RedrawAll(1200, 83);
        benchmark::DoNotOptimize(display.Image().constBits());
    }
}

} // namespace

BENCHMARK(BM_GridRepaint1080p)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeerPlainGridPaint)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TimerTickPlaying)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PeerRedrawAllTick)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    delete g_window;
    benchmark::Shutdown();
    return 0;
}

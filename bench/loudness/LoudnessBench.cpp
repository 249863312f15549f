// Loudness, two comparisons in one run:
//  - the EBU R128 measurement of a ten-minute 44.1 kHz stereo file (integrated, range, true
//    peak, read through our reader) against `ffmpeg -af ebur128=peak=true` on the same file:
//    the peer/ours time ratio is printed, the target is at least 2;
//  - an "As album" loudness export of ten one-minute tracks to 16-bit WAV against a plain
//    export of the same tracks: an album needs a measuring pass and a writing pass, so twice
//    the plain export is the floor of two renders through the chain; the ratio
//    album / (2 × plain) is printed, the target is at most 1.2. (The writing pass runs only the
//    limiter, dither and writer on what the measuring pass kept, but it also measures every
//    file's true peak, which takes as long as a render.)
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "audiofile/AudioFileWav.h"
#include "common/FolderId.h"
#include "common/MainThreadPort.h"
#include "core/CCore.h"
#include "core/ExportJob.h"
#include "library/CRegion.h"
#include "library/CSample.h"
#include "loudness/FileLoudness.h"
#include "support/NullUiPort.h"
#include "WallTimes.h"

namespace {

constexpr int kRate = 44100;
constexpr int64_t kFrames = int64_t{kRate} * 600;

WallTimes g_times;
std::filesystem::path g_dir;

// Ten minutes of two tones with a slow swell and some noise, so the gate and the range have
// something to do.
const std::filesystem::path& Dir() {
    if (!g_dir.empty()) return g_dir;
    g_dir = std::filesystem::temp_directory_path() / ("sonquil-bench-loudness-" + std::to_string(getpid()));
    std::filesystem::create_directories(g_dir / "plain");
    std::filesystem::create_directories(g_dir / "album");
    AudioFileWav w(g_dir.string(), "in.wav");
    w.OpenWrite(2, kRate, 16, kSampleInt);
    std::vector<float> block(2 * 8192);
    uint32_t seed = 1;
    for (int64_t at = 0; at < kFrames; at += 8192) {
        const int32_t n = static_cast<int32_t>(std::min<int64_t>(8192, kFrames - at));
        for (int32_t i = 0; i < n; ++i) {
            const double t = static_cast<double>(at + i) / kRate;
            const double swell = 0.3 + 0.25 * std::sin(2 * M_PI * t / 47.0);
            seed = seed * 1664525u + 1013904223u;
            const double noise = (static_cast<double>(seed >> 8) / 16777216.0 - 0.5) * 0.05;
            block[2 * i] = static_cast<float>(swell * std::sin(2 * M_PI * 220 * t) + noise);
            block[2 * i + 1] = static_cast<float>(swell * std::sin(2 * M_PI * 330 * t) - noise);
        }
        w.WriteFloat(block.data(), n);
    }
    w.FinishWrite();
    w.Close();
    return g_dir;
}

void BM_MeasureFile(benchmark::State& state) {
    const std::string path = (Dir() / "in.wav").string();
    g_times.Timed(state, "measure", [&] {
        LoudnessMeter m;
        std::string error;
        return MeasureFileLoudness(path, m, error) && std::isfinite(m.Figures().integrated);
    });
}

void BM_FfmpegEbur128(benchmark::State& state) {
    const std::string cmd = "ffmpeg -nostats -hide_banner -i '" + (Dir() / "in.wav").string() +
                            "' -af ebur128=peak=true -f null - >/dev/null 2>&1";
    g_times.Timed(state, "ffmpeg", [&] { return std::system(cmd.c_str()) == 0; });
}

// The ten tracks exported plain and "As album" to -16 LUFS, one after the other in every
// iteration, so that a change in the machine's speed during the run (this runs on shared
// virtual machines) weighs on both alike.
void BM_ExportTenPlainThenAsAlbum(benchmark::State& state) {
    const std::filesystem::path& dir = Dir();
    NullUiPort ui;
    MainThreadPort port;
    CCore core(ui, port);
    CoreOptions options;
    options.withLibrary = false;
    options.withSoundCards = false;
    if (core.Start(options) != CCore::StartResult::Running) {
        state.SkipWithError("the core did not start");
        return;
    }
    CSample sample("in.wav", dir.string(), 0, 0, kRate, 2, 16, kFrames, kFormatWav,
                   static_cast<int64_t>(std::filesystem::file_size(dir / "in.wav")));
    std::vector<std::unique_ptr<CRegion>> tracks;
    std::vector<CRegion*> list;
    for (int i = 0; i < 10; ++i) {
        const int64_t start = i * (kFrames / 10);
        tracks.push_back(std::make_unique<CRegion>("Track" + std::to_string(i + 1), start, start + kFrames / 10 - 1,
                                                   &sample, 0, -1, FolderId::User));
        list.push_back(tracks.back().get());
    }
    auto choice = [&](bool album) {
        ExportChoice c;
        for (const ExportFormatEntry& e : BuildExportFormatList(nullptr))
            if (e.caption == "WAV") c.format = e;
        c.folder = (dir / (album ? "album" : "plain")).string();
        c.loudness = album;
        c.loudnessAlbum = album;
        c.loudnessTarget = -16.0;
        return c;
    };
    const ExportChoice plain = choice(false), album = choice(true);
    auto run = [&](const ExportChoice& c) {
        // Each run writes the files anew.
        for (const auto& entry : std::filesystem::directory_iterator(c.folder)) std::filesystem::remove(entry);
        ExportJob job(core);
        bool show = false;
        if (!job.Export(c, list, show) || job.Lines().size() != 10) return false;
        for (const ExportReportLine& line : job.Lines())
            if (!line.ok) return false;
        return true;
    };
    double plainSeconds = 0, albumSeconds = 0;
    int runs = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        if (!run(plain)) state.SkipWithError("the plain export failed");
        auto t1 = std::chrono::steady_clock::now();
        if (!run(album)) state.SkipWithError("the album export failed");
        auto t2 = std::chrono::steady_clock::now();
        plainSeconds += std::chrono::duration<double>(t1 - t0).count();
        albumSeconds += std::chrono::duration<double>(t2 - t1).count();
        ++runs;
    }
    if (runs) {
        g_times.Set("plain", plainSeconds / runs);
        g_times.Set("album", albumSeconds / runs);
        state.counters["album/(2*plain)"] = albumSeconds / (2 * plainSeconds);
    }
    core.Stop();
}

BENCHMARK(BM_MeasureFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_FfmpegEbur128)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ExportTenPlainThenAsAlbum)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    double measure = 0, ffmpeg = 0, album = 0, plain = 0;
    if (g_times.Both("measure", "ffmpeg", measure, ffmpeg))
        std::printf("loudness of 10 min stereo vs ffmpeg ebur128=peak=true: peer/ours time ratio %.2f "
                    "(ours %.3f s, peer %.3f s; target >= 2)\n",
                    ffmpeg / measure, measure, ffmpeg);
    if (g_times.Both("album", "plain", album, plain))
        std::printf("\"As album\" export of ten tracks vs twice a plain export: ratio %.3f "
                    "(album %.3f s, plain %.3f s; target <= 1.2)\n",
                    album / (2 * plain), album, plain);
    std::error_code ec;
    if (!g_dir.empty()) std::filesystem::remove_all(g_dir, ec);
    return 0;
}

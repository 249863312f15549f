// A ten-minute 44.1 kHz stereo region exported to 16-bit WAV through the whole chain by the
// export job (play list, transport render on the audio thread, disk thread reading the
// sample, writer), against `sonquil-cli render` of the same file at 16 bits (the same render
// path started from the command line, process start included), in the same run. What the job
// adds is its own work per item: snap recall, the chain's clearing, naming, the peak of every
// block and the report. At the end the peer/ours time ratio is printed: the target is at
// least 0.95.
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
#include "common/MainThreadPort.h"
#include "core/CCore.h"
#include "core/ExportJob.h"
#include "library/CRegion.h"
#include "library/CSample.h"
#include "support/NullUiPort.h"
#include "WallTimes.h"

namespace {

constexpr int kRate = 44100;
constexpr int64_t kFrames = int64_t{kRate} * 600;

WallTimes g_times;
std::filesystem::path g_dir;

const std::filesystem::path& Dir() {
    if (!g_dir.empty()) return g_dir;
    g_dir = std::filesystem::temp_directory_path() / ("sonquil-bench-exportjob-" + std::to_string(getpid()));
    std::filesystem::create_directories(g_dir / "out");
    AudioFileWav w(g_dir.string(), "in.wav");
    w.OpenWrite(2, kRate, 16, kSampleInt);
    std::vector<float> block(2 * 8192);
    for (int64_t at = 0; at < kFrames; at += 8192) {
        const int32_t n = static_cast<int32_t>(std::min<int64_t>(8192, kFrames - at));
        for (int32_t i = 0; i < n; ++i) {
            const double t = static_cast<double>(at + i) / kRate;
            block[2 * i] = static_cast<float>(0.4 * std::sin(2 * M_PI * 220 * t) + 0.1 * std::sin(2 * M_PI * 3100 * t));
            block[2 * i + 1] = static_cast<float>(0.4 * std::sin(2 * M_PI * 330 * t));
        }
        w.WriteFloat(block.data(), n);
    }
    w.FinishWrite();
    w.Close();
    return g_dir;
}

void BM_ExportJobWav16(benchmark::State& state) {
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
    CRegion region("ten minutes", 0, kFrames - 1, &sample, 0, -1, FolderId::User);
    ExportChoice c;
    for (const ExportFormatEntry& e : BuildExportFormatList(nullptr))
        if (e.caption == "WAV") c.format = e;
    c.folder = (dir / "out").string();
    ExportJob job(core);
    g_times.Timed(state, "job", [&] {
        bool show = false;
        return job.Export(c, {&region}, show) && job.Lines().size() == 1 && job.Lines()[0].ok;
    });
    core.Stop();
}

void BM_CliRender16(benchmark::State& state) {
    const std::filesystem::path& dir = Dir();
    const std::string cmd = std::string(SONQUIL_CLI) + " render '" + (dir / "in.wav").string() + "' '" +
                            (dir / "render.wav").string() + "' --bits 16 >/dev/null 2>&1";
    g_times.Timed(state, "render", [&] { return std::system(cmd.c_str()) == 0; });
}

BENCHMARK(BM_ExportJobWav16)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_CliRender16)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    double job = 0, render = 0;
    if (g_times.Both("job", "render", job, render))
        std::printf("export job vs sonquil-cli render, 10 min to 16-bit WAV: peer/ours time ratio %.3f "
                    "(ours %.3f s, peer %.3f s)\n",
                    render / job, job, render);
    std::error_code ec;
    if (!g_dir.empty()) std::filesystem::remove_all(g_dir, ec);
    return 0;
}

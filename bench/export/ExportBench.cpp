// MP3 export at 128 kbit/s against `lame -b 128`, and FLAC export against `flac -5`, on the
// same three minutes of 44.1 kHz 16-bit stereo music-like material, in the same run. Our
// writers get the samples as the render hands them (stereo float in 8192-frame blocks, the
// integers the WAV holds exactly) and write a file; the peers read the WAV and write theirs.
// Times are wall-clock; at the end the peer/ours ratio of each pair is printed (above 1:
// we are faster), and beside it the same ratio of CPU time (ours: this process; the peer: its
// child processes), which other load on a shared machine disturbs far less than wall time.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include "audiofile/AudioFile.h"
#include "audiofile/AudioFileWav.h"
#include "export/ExportFormats.h"

namespace {

constexpr int kRate = 44100;
constexpr int64_t kFrames = int64_t{kRate} * 180;
constexpr int32_t kBlock = 8192;

struct Material {
    std::filesystem::path dir;
    std::vector<float> pcm; // interleaved stereo, exact 16-bit values after truncation
};

std::map<std::string, double> g_seconds; // mean wall time per benchmark
std::map<std::string, double> g_cpu;     // mean CPU time per benchmark, this process and its children

double CpuSeconds() {
    double total = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage u{};
        getrusage(who, &u);
        total += static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
                 static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    }
    return total;
}
std::filesystem::path g_made;

Material& Get() {
    static Material m = [] {
        Material mm;
        mm.dir = std::filesystem::temp_directory_path() / ("sonquil-bench-export-" + std::to_string(getpid()));
        std::filesystem::create_directories(mm.dir);
        g_made = mm.dir;
        mm.pcm.resize(static_cast<size_t>(kFrames) * 2);
        const double scale[] = {1.0, 9.0 / 8, 5.0 / 4, 4.0 / 3, 3.0 / 2, 5.0 / 3, 15.0 / 8, 2.0};
        double phase[3] = {0, 0, 0};
        uint32_t noise = 12345;
        for (int64_t i = 0; i < kFrames; ++i) {
            double l = 0, r = 0;
            for (int v = 0; v < 3; ++v) {
                const int64_t len = kRate / (v + 2);
                const double f = 110.0 * (v + 1) * scale[(i / len * 5 + v) % 8];
                const double t = static_cast<double>(i % len) / kRate;
                phase[v] += 2 * M_PI * f / kRate;
                const double s = std::exp(-3.0 * t) * (std::sin(phase[v]) + 0.3 * std::sin(3 * phase[v]));
                l += s * (0.3 + 0.2 * v);
                r += s * (0.7 - 0.2 * v);
            }
            noise = noise * 1664525u + 1013904223u;
            const double n = (static_cast<double>(noise >> 8) / 16777216.0 - 0.5) * 0.003;
            const double x[2] = {0.3 * l + n, 0.3 * r + n};
            for (int c = 0; c < 2; ++c) {
                const long q = std::lrint(x[c] * 32767);
                // +0.5 LSB keeps the truncating writers on the same integers as the WAV.
                mm.pcm[static_cast<size_t>(2 * i + c)] = static_cast<float>((q + (q < 0 ? -0.5 : 0.5)) / 32767.0);
            }
        }
        AudioFileWav w(mm.dir.string(), "in.wav");
        w.OpenWrite(2, kRate, 16, 0);
        std::vector<float> buf(static_cast<size_t>(kBlock) * 2);
        for (int64_t at = 0; at < kFrames; at += kBlock) {
            const int32_t n = static_cast<int32_t>(std::min<int64_t>(kBlock, kFrames - at));
            std::copy(mm.pcm.begin() + 2 * at, mm.pcm.begin() + 2 * (at + n), buf.begin());
            w.WriteFloat(buf.data(), n);
        }
        w.FinishWrite();
        w.Close();
        return mm;
    }();
    return m;
}

bool Export(const Material& m, int32_t writer, const char* name, int32_t bits, int32_t kbps) {
    auto f = CreateExportWriter(writer, m.dir.string(), name);
    if (!f || !f->OpenWrite(2, kRate, bits, 0, kbps)) return false;
    std::vector<float> buf(static_cast<size_t>(kBlock) * 2);
    for (int64_t at = 0; at < kFrames; at += kBlock) {
        const int32_t n = static_cast<int32_t>(std::min<int64_t>(kBlock, kFrames - at));
        std::copy(m.pcm.begin() + 2 * at, m.pcm.begin() + 2 * (at + n), buf.begin());
        f->WriteFloat(buf.data(), n);
    }
    const bool ok = f->FinishWrite();
    f->Close();
    return ok;
}

template <typename Body> void Timed(benchmark::State& state, const char* key, Body&& body) {
    double total = 0, cpu = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        const double c0 = CpuSeconds();
        if (!body()) {
            state.SkipWithError("encode failed");
            return;
        }
        cpu += CpuSeconds() - c0;
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    g_seconds[key] = total / static_cast<double>(state.iterations());
    g_cpu[key] = cpu / static_cast<double>(state.iterations());
    state.counters["xRealtime"] = benchmark::Counter(180.0 * static_cast<double>(state.iterations()),
                                                     benchmark::Counter::kIsRate);
}

bool Run(const std::string& cmd) { return std::system(cmd.c_str()) == 0; }

void BM_Mp3Export128(benchmark::State& state) {
    Material& m = Get();
    Timed(state, "mp3", [&] { return Export(m, kFormatMp3, "ours.mp3", 16, 128); });
}

void BM_Lame128(benchmark::State& state) {
    Material& m = Get();
    const std::string cmd = "lame --quiet -b 128 " + (m.dir / "in.wav").string() + " " + (m.dir / "lame.mp3").string();
    Timed(state, "lame", [&] { return Run(cmd); });
}

void BM_FlacExport16(benchmark::State& state) {
    Material& m = Get();
    Timed(state, "flac", [&] { return Export(m, kFormatFlac, "ours.flac", 16, 0); });
}

void BM_Flac5(benchmark::State& state) {
    Material& m = Get();
    const std::string cmd = "flac -5 -f -s -o " + (m.dir / "tool.flac").string() + " " + (m.dir / "in.wav").string();
    Timed(state, "flac-tool", [&] { return Run(cmd); });
}

BENCHMARK(BM_Mp3Export128)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Lame128)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_FlacExport16)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Flac5)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    auto ratio = [](const char* label, const char* peer, const char* ours) {
        if (g_seconds.count(peer) && g_seconds.count(ours) && g_seconds[ours] > 0 && g_cpu[ours] > 0)
            std::printf("%s: peer/ours time ratio %.3f (ours %.3f s, peer %.3f s); CPU ratio %.3f (ours %.3f s, "
                        "peer %.3f s)\n",
                        label, g_seconds[peer] / g_seconds[ours], g_seconds[ours], g_seconds[peer],
                        g_cpu[peer] / g_cpu[ours], g_cpu[ours], g_cpu[peer]);
    };
    ratio("MP3 128 kbit/s vs lame -b 128", "lame", "mp3");
    ratio("FLAC vs flac -5", "flac-tool", "flac");
    std::error_code ec;
    if (!g_made.empty()) std::filesystem::remove_all(g_made, ec);
    return 0;
}

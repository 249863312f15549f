// KX64 encode and decode of ten minutes of 44.1 kHz 16-bit stereo music-like material,
// against `flac -0` encoding and `flac -d` decoding of the same material in the same run.
// Times are wall-clock (the peer runs as a child process); "xRealtime" is audio seconds per
// second of work, "bytes" the compressed size. The peer's processor time per iteration is
// reported as "childCpuMs", to set beside our own CPU column when the machine is busy.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include "audiofile/AudioFileKX64.h"
#include "audiofile/AudioFileWav.h"
#include "support/AudioFiles.h"

namespace {

constexpr int kRate = 44100;
constexpr int64_t kFrames = int64_t{kRate} * 600;
constexpr int32_t kBlock = 32768;

struct Material {
    std::filesystem::path dir;
    std::vector<int16_t> pcm; // interleaved stereo
    bool haveFlac = false;
};

// A few voices playing notes of a scale with decaying envelopes and some harmonics, panned
// across the stereo field, over a quiet noise floor: close enough to music for a predictor.
std::vector<int16_t> MakeMusic() {
    std::vector<int16_t> pcm(static_cast<size_t>(kFrames) * 2);
    const double scale[] = {1.0, 9.0 / 8, 5.0 / 4, 4.0 / 3, 3.0 / 2, 5.0 / 3, 15.0 / 8, 2.0};
    const int voices = 4;
    const int64_t noteLen[voices] = {kRate / 2, kRate / 3, kRate, kRate / 4};
    const double base[voices] = {110.0, 220.0, 55.0, 440.0};
    const double pan[voices] = {0.2, 0.8, 0.5, 0.35};
    double phase[voices] = {0, 0, 0, 0};
    uint32_t noise = 12345;
    for (int64_t i = 0; i < kFrames; ++i) {
        double l = 0, r = 0;
        for (int v = 0; v < voices; ++v) {
            const int64_t note = i / noteLen[v];
            const double f = base[v] * scale[(note * 5 + v * 3) % 8];
            const double t = static_cast<double>(i % noteLen[v]) / kRate;
            const double env = std::exp(-3.0 * t) * (1.0 - std::exp(-200.0 * t));
            phase[v] += 2 * M_PI * f / kRate;
            const double s = env * (std::sin(phase[v]) + 0.4 * std::sin(2 * phase[v]) + 0.2 * std::sin(3 * phase[v]));
            l += s * (1.0 - pan[v]);
            r += s * pan[v];
        }
        noise = noise * 1664525u + 1013904223u;
        const double n = (static_cast<double>(noise >> 8) / 16777216.0 - 0.5) * 0.002;
        pcm[static_cast<size_t>(2 * i)] = static_cast<int16_t>(std::lrint((0.3 * l + n) * 32767));
        pcm[static_cast<size_t>(2 * i + 1)] = static_cast<int16_t>(std::lrint((0.3 * r + n) * 32767));
    }
    return pcm;
}

std::filesystem::path g_made; // the scratch folder, once made

// User and system time of finished child processes, in milliseconds.
double ChildCpuMs() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

Material& Get() {
    static Material m = [] {
        Material mm;
        mm.dir = std::filesystem::temp_directory_path() / ("sonquil-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(mm.dir);
        g_made = mm.dir;
        mm.pcm = MakeMusic();
        // The same material as a WAV file for the peer.
        AudioFileWav w(mm.dir.string(), "in.wav");
        WritePcm16(w, kRate, mm.pcm, kBlock);
        mm.haveFlac = std::system("flac --version >/dev/null 2>&1") == 0;
        return mm;
    }();
    return m;
}

void EncodeKx64(const Material& m) {
    AudioFileKX64 k(m.dir.string(), "out.kx64");
    WritePcm16(k, kRate, m.pcm, kBlock);
}

void Report(benchmark::State& state, const std::filesystem::path& file) {
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(file));
    state.counters["ratio"] = static_cast<double>(std::filesystem::file_size(file)) / (kFrames * 4.0);
    state.counters["xRealtime"] = benchmark::Counter(600.0 * static_cast<double>(state.iterations()),
                                                     benchmark::Counter::kIsRate);
}

void BM_Kx64Encode(benchmark::State& state) {
    Material& m = Get();
    for (auto _ : state) EncodeKx64(m);
    Report(state, m.dir / "out.kx64");
}

void BM_FlacEncode0(benchmark::State& state) {
    Material& m = Get();
    if (!m.haveFlac) {
        state.SkipWithError("flac not installed");
        return;
    }
    const std::string cmd = "flac -0 -f -s -o " + (m.dir / "out.flac").string() + " " + (m.dir / "in.wav").string();
    const double cpu0 = ChildCpuMs();
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("flac failed");
    state.counters["childCpuMs"] = (ChildCpuMs() - cpu0) / static_cast<double>(state.iterations());
    Report(state, m.dir / "out.flac");
}

void BM_Kx64Decode(benchmark::State& state) {
    Material& m = Get();
    if (!std::filesystem::exists(m.dir / "out.kx64")) EncodeKx64(m);
    std::vector<float> buf(static_cast<size_t>(kBlock) * 2);
    for (auto _ : state) {
        AudioFileKX64 k(m.dir.string(), "out.kx64");
        k.OpenRead();
        int64_t total = 0;
        while (int32_t n = k.ReadFloat(buf.data(), kBlock)) total += n;
        if (total != kFrames) state.SkipWithError("short decode");
        benchmark::DoNotOptimize(buf.data());
    }
    Report(state, m.dir / "out.kx64");
}

void BM_FlacDecode(benchmark::State& state) {
    Material& m = Get();
    if (!m.haveFlac) {
        state.SkipWithError("flac not installed");
        return;
    }
    const std::string enc = "flac -0 -f -s -o " + (m.dir / "out.flac").string() + " " + (m.dir / "in.wav").string();
    if (!std::filesystem::exists(m.dir / "out.flac") && std::system(enc.c_str()) != 0) state.SkipWithError("flac");
    const std::string cmd = "flac -d -f -s -o " + (m.dir / "dec.wav").string() + " " + (m.dir / "out.flac").string();
    const double cpu0 = ChildCpuMs();
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("flac failed");
    state.counters["childCpuMs"] = (ChildCpuMs() - cpu0) / static_cast<double>(state.iterations());
    Report(state, m.dir / "out.flac");
}

BENCHMARK(BM_Kx64Encode)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_FlacEncode0)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Kx64Decode)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_FlacDecode)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    if (!g_made.empty()) std::filesystem::remove_all(g_made, ec);
    return 0;
}

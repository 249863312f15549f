// Import of a ten-minute 44.1 kHz 16-bit stereo WAV by copy into WAV storage (peaks included)
// against `cp` of the same file; the same import into KX64 storage against `flac -0`; and the
// import of a three-minute MP3 into WAV storage against `mpg123 -w` decoding the same file; and
// the import of a ten-minute M4A (AAC) into WAV storage against `ffmpeg -i x.m4a x.wav`.
// Times are wall-clock (the peers run as child processes). "bytes_per_second" is source bytes;
// "xRealtime" is audio seconds per second of work.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <sys/resource.h>
#include <unistd.h>

#include "audiofile/AudioFileWav.h"
#include "audiofile/ImportPipeline.h"
#include "library/CRegionList.h"
#include "library/CSampleList.h"
#include "library/CVDisk.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRate = 44100;

struct Setup {
    fs::path dir;
    std::string wav = "ten.wav";
    std::string mp3 = "three.mp3";
    int64_t wavFrames = int64_t{kRate} * 600;
    int64_t mp3Frames = 0;
    bool haveMp3 = false;
    std::string m4a = "ten.m4a";
    bool haveM4a = false;
};

bool Have(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// Tones with envelopes over a quiet noise floor, so that the lossless coder has real work.
void WriteMusic(const fs::path& dir, const std::string& name, int64_t frames) {
    AudioFileWav w(dir.string(), name);
    if (!w.OpenWrite(2, kRate, 16, 0)) std::abort();
    std::vector<float> block(2 * 32768);
    uint32_t noise = 1;
    double ph1 = 0, ph2 = 0;
    for (int64_t at = 0; at < frames; at += 32768) {
        const int32_t n = static_cast<int32_t>(std::min<int64_t>(32768, frames - at));
        for (int32_t i = 0; i < n; ++i) {
            const int64_t t = at + i;
            const double env = std::exp(-3.0 * static_cast<double>(t % (kRate / 2)) / kRate);
            ph1 += 2 * M_PI * (220.0 + 55.0 * static_cast<double>((t / (kRate / 2)) % 5)) / kRate;
            ph2 += 2 * M_PI * 330.0 / kRate;
            noise = noise * 1664525u + 1013904223u;
            const double nz = (static_cast<double>(noise >> 8) / 16777216.0 - 0.5) * 0.002;
            block[2 * i] = static_cast<float>(0.3 * env * std::sin(ph1) + 0.1 * std::sin(ph2) + nz);
            block[2 * i + 1] = static_cast<float>(0.25 * env * std::sin(ph1 * 1.01) + 0.1 * std::sin(ph2) + nz);
        }
        w.WriteFloat(block.data(), n);
    }
    if (!w.FinishWrite()) std::abort();
}

Setup& Get() {
    static Setup s = [] {
        Setup m;
        m.dir = fs::temp_directory_path() / ("sonquil-import-bench-" + std::to_string(getpid()));
        fs::create_directories(m.dir / "VDisk");
        WriteMusic(m.dir, m.wav, m.wavFrames);
        if (Have("lame") && Have("mpg123")) {
            WriteMusic(m.dir, "three.wav", int64_t{kRate} * 180);
            m.haveMp3 = std::system(
                            ("lame --quiet -b 192 " + (m.dir / "three.wav").string() + " " + (m.dir / m.mp3).string())
                                .c_str()) == 0;
        }
        if (Have("ffmpeg"))
            m.haveM4a = std::system(("ffmpeg -loglevel error -y -i " + (m.dir / m.wav).string() +
                                     " -c:a aac -b:a 192k " + (m.dir / m.m4a).string())
                                        .c_str()) == 0;
        CVDisk::Table().Clear();
        CVDisk::Table().Add(1, m.dir.string());
        return m;
    }();
    return s;
}

// One import into the storage mode; the library and the VDisk are emptied afterwards.
int64_t ImportOnce(const std::string& file, int32_t mode) {
    Setup& s = Get();
    CSampleList samples;
    CRegionList regions;
    PeakBuffers peaks;
    CImporter importer(samples, regions, CVDisk::Table(), peaks, nullptr);
    importer.SetSettings({mode, 400, true});
    std::string msg;
    bool cancelled = false;
    if (!importer.Import(s.dir.string(), file, msg, kProgressSecondBar, cancelled)) {
        std::fprintf(stderr, "import failed: %s\n", msg.c_str());
        std::abort();
    }
    const int64_t frames = importer.LastRegion()->GetEnd();
    for (const auto& e : fs::directory_iterator(s.dir / "VDisk")) fs::remove(e.path());
    return frames;
}

// User and system time of finished child processes, in milliseconds.
double ChildCpuMs() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

// The peer's wall time is the benchmark's; its processor time per run is "childCpuMs", to set
// beside our own CPU column on a busy machine.
void Run(benchmark::State& state, const std::string& cmd) {
    const double before = ChildCpuMs();
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0) state.SkipWithError(("failed: " + cmd).c_str());
    state.counters["childCpuMs"] = (ChildCpuMs() - before) /
                                   static_cast<double>(std::max<int64_t>(1, state.iterations()));
}

void BM_ImportWavToWavStorage(benchmark::State& state) {
    Setup& s = Get();
    for (auto _ : state) benchmark::DoNotOptimize(ImportOnce(s.wav, kFormatWav));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fs::file_size(s.dir / s.wav)));
}

void BM_CpPeer(benchmark::State& state) {
    Setup& s = Get();
    Run(state, "cp " + (s.dir / s.wav).string() + " " + (s.dir / "VDisk" / "copy").string());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fs::file_size(s.dir / s.wav)));
}

void BM_ImportWavToKx64Storage(benchmark::State& state) {
    Setup& s = Get();
    for (auto _ : state) benchmark::DoNotOptimize(ImportOnce(s.wav, kFormatKX64));
    state.counters["xRealtime"] = benchmark::Counter(static_cast<double>(s.wavFrames) / kRate * state.iterations(),
                                                     benchmark::Counter::kIsRate);
}

void BM_Flac0Peer(benchmark::State& state) {
    Setup& s = Get();
    Run(state, "flac -0 -s -f -o " + (s.dir / "VDisk" / "x.flac").string() + " " + (s.dir / s.wav).string());
    state.counters["xRealtime"] = benchmark::Counter(static_cast<double>(s.wavFrames) / kRate * state.iterations(),
                                                     benchmark::Counter::kIsRate);
}

void BM_ImportMp3ToWavStorage(benchmark::State& state) {
    Setup& s = Get();
    if (!s.haveMp3) {
        state.SkipWithError("lame or mpg123 missing");
        return;
    }
    int64_t frames = 0;
    for (auto _ : state) frames = ImportOnce(s.mp3, kFormatWav);
    state.counters["xRealtime"] = benchmark::Counter(static_cast<double>(frames) / kRate * state.iterations(),
                                                     benchmark::Counter::kIsRate);
}

void BM_Mpg123Peer(benchmark::State& state) {
    Setup& s = Get();
    if (!s.haveMp3) {
        state.SkipWithError("lame or mpg123 missing");
        return;
    }
    Run(state, "mpg123 -q -w " + (s.dir / "VDisk" / "x.wav").string() + " " + (s.dir / s.mp3).string());
    state.counters["xRealtime"] = benchmark::Counter(180.0 * state.iterations(), benchmark::Counter::kIsRate);
}

void BM_ImportM4aToWavStorage(benchmark::State& state) {
    Setup& s = Get();
    if (!s.haveM4a) {
        state.SkipWithError("ffmpeg missing");
        return;
    }
    int64_t frames = 0;
    for (auto _ : state) frames = ImportOnce(s.m4a, kFormatWav);
    state.counters["xRealtime"] = benchmark::Counter(static_cast<double>(frames) / kRate * state.iterations(),
                                                     benchmark::Counter::kIsRate);
}

// ffmpeg's own decoding of the same file into a WAV.
void BM_FfmpegPeer(benchmark::State& state) {
    Setup& s = Get();
    if (!s.haveM4a) {
        state.SkipWithError("ffmpeg missing");
        return;
    }
    Run(state, "ffmpeg -loglevel error -y -i " + (s.dir / s.m4a).string() + " " + (s.dir / "VDisk" / "x.wav").string());
    state.counters["xRealtime"] = benchmark::Counter(600.0 * state.iterations(), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_ImportWavToWavStorage)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_CpPeer)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_ImportWavToKx64Storage)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_Flac0Peer)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_ImportMp3ToWavStorage)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_Mpg123Peer)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_ImportM4aToWavStorage)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_FfmpegPeer)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(Get().dir, ec);
    CVDisk::Table().Clear();
    return 0;
}

// The built-in chain (EQ with every stage running, stereo imager with Spatialize, multi-band
// compressor, valve amplifier, dither) against sox on the same ten-minute 44.1 kHz stereo file.
//
// Both sides turn 16-bit frames into 16-bit frames: sox reads and writes WAV files (from the page
// cache), our side converts the same frames to floats, runs the stack in engine blocks and
// converts back. "xRealTime" is seconds of audio per second of wall time. BM_SonquilChainSet runs
// our side under each kernel set in turn.

#include "dsp/CCompressor.h"
#include "dsp/CDSPEngine.h"
#include "dsp/CDSPStack.h"
#include "dsp/CDitherEngine.h"
#include "dsp/CParaEQ4B.h"
#include "dsp/CStereoImager.h"
#include "dsp/CTubeAmp.h"

#include <benchmark/benchmark.h>

#include "support/WiredChain.h"

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kSeconds = 600;
constexpr int kBlock = 4096 * (kRate / 50000 + 1);

struct Fixture {
    std::filesystem::path dir;
    std::filesystem::path in, out;
    std::vector<int16_t> frames; // interleaved
    bool ok = false;
    std::string error;

    Fixture() {
        dir = std::filesystem::temp_directory_path() / ("sonquil_chain_bench_" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        in = dir / "in.wav";
        out = dir / "out.wav";
        // Music-like material: pink noise under a few tones, with a slow swell so the
        // compressors have work to do.
        const std::string make = "sox -n -r 44100 -c 2 -b 16 '" + in.string() + "' synth " + std::to_string(kSeconds) +
                                 " pinknoise sine 110 sine 440 sine 2500 remix 1,2v0.5 3,4v0.5 "
                                 "tremolo 0.2 60 gain -n -1 2>/dev/null";
        if (std::system(make.c_str()) != 0) {
            error = "sox could not make the input file";
            return;
        }
        ok = Load();
    }
    ~Fixture() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    bool Load() {
        std::ifstream f(in, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        // Walk the chunks to "data"; sox writes a plain PCM header.
        size_t at = 12;
        while (at + 8 <= bytes.size()) {
            uint32_t size;
            std::memcpy(&size, &bytes[at + 4], 4);
            if (std::memcmp(&bytes[at], "data", 4) == 0) {
                size_t n = std::min<size_t>(size, bytes.size() - at - 8) / 2;
                frames.resize(n);
                std::memcpy(frames.data(), &bytes[at + 8], n * 2);
                return n >= 2u * kRate * kSeconds;
            }
            at += 8 + size + (size & 1);
        }
        error = "no data chunk";
        return false;
    }
};

Fixture& TheFixture() {
    static Fixture f;
    return f;
}

struct Chain : WiredChain {
    Chain() {
        DSPEngine().UseSSE(DSPEngine().SSESupport());
        // Every EQ stage runs.
        eq.SetParam(CParaEQ4B::IdLowCut, 30.0f);
        eq.SetParam(CParaEQ4B::IdHiCut, 18000.0f);
        eq.SetParam(CParaEQ4B::IdSubResonGain, 3.0f);
        eq.SetParam(CParaEQ4B::IdLowShelfGain, 4.0f);
        eq.SetParam(CParaEQ4B::IdMid1, 1000.0f);
        eq.SetParam(CParaEQ4B::IdMid1Gain, -3.0f);
        eq.SetParam(CParaEQ4B::IdMid2, 3000.0f);
        eq.SetParam(CParaEQ4B::IdMid2Gain, 2.0f);
        eq.SetParam(CParaEQ4B::IdHiShelfGain, -2.0f);
        imager.SetParam(CStereoImager::IdSpatialize, 1.0f);
        imager.SetParam(CStereoImager::IdSide, 3.0f);
        imager.SetParam(CStereoImager::IdCrossMix, 10.0f);
        comp.SetParam(CCompressor::IdMulti, 1.0f);
        comp.SetParam(CCompressor::IdThres, -18.0f);
        comp.SetParam(CCompressor::IdRatio, 3.0f);
        comp.SetParam(CCompressor::IdMakeup, 4.0f);
        amp.SetParam(CTubeAmp::IdValveGain, 2.0f);
        amp.SetParam(CTubeAmp::IdThres, -3.0f);
        amp.SetParam(CTubeAmp::IdDitherAmount, 1.0f);
        amp.SetParam(CTubeAmp::IdDitherType, 1.0f);
        amp.SetParam(CTubeAmp::IdNoiseShaping, 1.0f);
    }
};

void RunSonquil(benchmark::State& state) {
    Fixture& fx = TheFixture();
    if (!fx.ok) {
        state.SkipWithError(fx.error.c_str());
        return;
    }
    static Chain chain;
    const size_t frames = fx.frames.size() / 2;
    std::vector<int16_t> out(fx.frames.size());
    std::vector<float> block(2 * kBlock);
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        chain.stack.ResetAll();
        for (size_t at = 0; at < frames; at += kBlock) {
            const int n = static_cast<int>(std::min<size_t>(kBlock, frames - at));
            const int16_t* src = &fx.frames[2 * at];
            for (int i = 0; i < 2 * n; ++i) block[i] = src[i] * (1.0f / 32768.0f);
            chain.stack.ProcessBlock(block.data(), n, kRate, true, 16);
            int16_t* dst = &out[2 * at];
            for (int i = 0; i < 2 * n; ++i) dst[i] = static_cast<int16_t>(static_cast<double>(block[i]) * 32767.0);
        }
        benchmark::DoNotOptimize(out.data());
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    state.counters["xRealTime"] = benchmark::Counter(kSeconds, benchmark::Counter::kIsIterationInvariantRate);
}

// With the set the "use SSE" switch picks, as the program runs.
void BM_SonquilChain(benchmark::State& state) { RunSonquil(state); }

// Each kernel set pinned in turn: argument 0 plain, 1 SSE2, 2 AVX.
void BM_SonquilChainSet(benchmark::State& state) {
    const auto set = static_cast<KernelSet>(state.range(0));
    if (!DSPEngine().ForceKernels(set)) {
        state.SkipWithError("kernel set not available on this processor");
        return;
    }
    state.SetLabel(CDSPEngine::KernelSetName(set));
    RunSonquil(state);
    DSPEngine().ReleaseKernels();
}

void BM_SoxChain(benchmark::State& state) {
    Fixture& fx = TheFixture();
    if (!fx.ok) {
        state.SkipWithError(fx.error.c_str());
        return;
    }
    const std::string cmd = "sox '" + fx.in.string() + "' '" + fx.out.string() +
                            "' equalizer 100 1q +4 equalizer 1000 0.5q -3 equalizer 3000 0.5q +2 "
                            "equalizer 8000 1q -2 highpass 30 lowpass 18000 "
                            "compand 0.02,0.25 6:-60,-60,-18,-18,0,-12 4 gain -1 2>/dev/null";
    // sox runs as a child; its processor time is read from the children's usage.
    auto childCpu = [] {
        rusage u{};
        getrusage(RUSAGE_CHILDREN, &u);
        return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
    };
    const double cpu0 = childCpu();
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        const int rc = std::system(cmd.c_str());
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        if (rc != 0) {
            state.SkipWithError("sox failed");
            return;
        }
    }
    state.counters["xRealTime"] = benchmark::Counter(kSeconds, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["soxCpuSeconds"] = (childCpu() - cpu0) / static_cast<double>(state.iterations());
}

} // namespace

BENCHMARK(BM_SoxChain)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_SonquilChain)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_SonquilChainSet)
    ->ArgName("set")
    ->DenseRange(0, kKernelSetCount - 1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

BENCHMARK_MAIN();

// The whole stack with the valve amplifier on and dither on, 44.1 kHz stereo, in engine blocks.
// The peer is the plain path in the same run; "xRealTime" is seconds of audio per second of CPU.
// BM_Stack pins each kernel set in turn (argument 0 plain, 1 SSE2, 2 AVX).

#include "dsp/CDSPEngine.h"
#include "dsp/CDSPStack.h"
#include "dsp/CDitherEngine.h"
#include "dsp/CTubeAmp.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kBlock = 4096 * (kRate / 50000 + 1);

struct Rig {
    Rig() : dither(DSPEngine()), amp(DSPEngine(), dither), stack(DSPEngine(), dither, amp) {
        DSPEngine().AllocWorkBuffers();
        amp.SetParam(CTubeAmp::IdValveGain, 4.0f);
        amp.SetParam(CTubeAmp::IdThres, -6.0f);
        amp.SetParam(CTubeAmp::IdCeiling, -0.3f);
        amp.SetParam(CTubeAmp::IdDitherAmount, 1.0f);
        amp.SetParam(CTubeAmp::IdDitherType, 1.0f);
        source.resize(2 * kBlock);
        std::mt19937 rng(5);
        std::normal_distribution<float> d(0.0f, 0.2f);
        for (int i = 0; i < kBlock; ++i) {
            float tone = 0.3f * std::sin(i * 0.05f);
            source[2 * i] = tone + d(rng);
            source[2 * i + 1] = tone + d(rng);
        }
    }
    CDitherEngine dither;
    CTubeAmp amp;
    CDSPStack stack;
    std::vector<float> source;
};

Rig& TheRig() {
    static Rig rig;
    return rig;
}

void Measure(benchmark::State& state) {
    Rig& rig = TheRig();
    std::vector<float> block(rig.source.size());
    for (auto _ : state) {
        state.PauseTiming();
        block = rig.source;
        state.ResumeTiming();
        rig.stack.ProcessBlock(block.data(), kBlock, kRate, false, 16);
        benchmark::DoNotOptimize(block.data());
    }
    state.counters["xRealTime"] = benchmark::Counter(static_cast<double>(kBlock) / kRate,
                                                     benchmark::Counter::kIsIterationInvariantRate);
}

void RunStack(benchmark::State& state, bool sse) {
    DSPEngine().UseSSE(sse ? 1 : 0);
    if (sse && !DSPEngine().UsingSSE()) {
        state.SkipWithError("no SSE2");
        return;
    }
    Measure(state);
    DSPEngine().UseSSE(0);
}

void BM_StackPlain(benchmark::State& state) { RunStack(state, false); }
void BM_StackSSE(benchmark::State& state) { RunStack(state, true); }

void BM_Stack(benchmark::State& state) {
    const auto set = static_cast<KernelSet>(state.range(0));
    if (!DSPEngine().ForceKernels(set)) {
        state.SkipWithError("kernel set not available on this processor");
        return;
    }
    state.SetLabel(CDSPEngine::KernelSetName(set));
    Measure(state);
    DSPEngine().ReleaseKernels();
}

} // namespace

BENCHMARK(BM_StackPlain)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StackSSE)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Stack)->ArgName("set")->DenseRange(0, kKernelSetCount - 1)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();

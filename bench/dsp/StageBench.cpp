// The engine's stages one by one under each kernel set, pinned in turn (argument 0 plain, 1 SSE2,
// 2 AVX), on 4,096-frame 44.1 kHz stereo blocks of noise and tones. The plain set in the same run
// is the peer; "xRealTime" is seconds of audio per second of CPU.

#include "dsp/Biquad.h"
#include "dsp/CCompressor.h"
#include "dsp/CDSPEngine.h"
#include "dsp/CParaEQ4B.h"
#include "dsp/CStereoImager.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kFrames = 4096;

struct Material {
    Material() : left(kFrames), right(kFrames) {
        std::mt19937 rng(11);
        std::normal_distribution<float> d(0.0f, 0.25f);
        for (int i = 0; i < kFrames; ++i) {
            const float tone = 0.4f * std::sin(i * 0.031f) + 0.2f * std::sin(i * 0.57f);
            left[i] = tone + d(rng);
            right[i] = 0.8f * tone + d(rng);
        }
    }
    std::vector<float> left, right;
};

const Material& TheMaterial() {
    static const Material m;
    return m;
}

// Pins the set for the benchmark and gives the choice back to the switch at the end.
class Pin {
public:
    explicit Pin(benchmark::State& state) : m_ok(DSPEngine().ForceKernels(static_cast<KernelSet>(state.range(0)))) {
        if (!m_ok) state.SkipWithError("kernel set not available on this processor");
        else state.SetLabel(CDSPEngine::KernelSetName(DSPEngine().ActiveKernels()));
    }
    ~Pin() { DSPEngine().ReleaseKernels(); }
    bool Ok() const { return m_ok; }

private:
    bool m_ok;
};

// Runs body on fresh copies of the material; only body is timed.
template <typename Body> void Run(benchmark::State& state, Body body) {
    Pin pin(state);
    if (!pin.Ok()) return;
    const Material& m = TheMaterial();
    std::vector<float> l(kFrames), r(kFrames);
    for (auto _ : state) {
        state.PauseTiming();
        l = m.left;
        r = m.right;
        state.ResumeTiming();
        body(l.data(), r.data());
        benchmark::DoNotOptimize(l.data());
        benchmark::DoNotOptimize(r.data());
    }
    state.counters["xRealTime"] = benchmark::Counter(static_cast<double>(kFrames) / kRate,
                                                     benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Valve(benchmark::State& state) {
    Run(state, [](float* l, float* r) {
        float peak;
        DSPEngine().Valve(l, kFrames, kRate, 2.5f, &peak);
        DSPEngine().Valve(r, kFrames, kRate, 2.5f, &peak);
    });
}

void BM_ValveStage(benchmark::State& state) {
    const BiquadCoefs split = DesignHighPass(kRate, 300, 1.0f);
    BiquadHistory hist[2];
    std::vector<float> hl(kFrames), hr(kFrames);
    Run(state, [&](float* l, float* r) {
        float peaks[4];
        DSPEngine().ValveStage({l, r, hl.data(), hr.data(), kFrames, kRate, &split, &hist[0], &hist[1], 2.5f}, peaks);
    });
}

void BM_CompressSingle(benchmark::State& state) {
    float gain = 1.0f, scratch = 1.0f, minGain = 1.0f;
    Run(state, [&](float* l, float* r) {
        DSPEngine().Compress(l, r, kFrames, {&gain, &scratch, &minGain}, {0.2f, 221.0f, 11026.0f, 3.0f, false});
    });
}

void BM_CompressMulti(benchmark::State& state) {
    const BiquadCoefs first = DesignHighPass(kRate, 300, 1.0f), second = DesignHighPass(kRate, 3000, 1.0f);
    BiquadHistory h1[2], h2[2];
    float gain[3] = {1.0f, 1.0f, 1.0f}, scratch[3] = {1.0f, 1.0f, 1.0f}, mins[3];
    std::vector<float> ml(kFrames), mr(kFrames), hl(kFrames), hr(kFrames);
    Run(state, [&](float* l, float* r) {
        DSPEngine().CompressSplit({l,
                                   r,
                                   ml.data(),
                                   mr.data(),
                                   hl.data(),
                                   hr.data(),
                                   kFrames,
                                   &first,
                                   &second,
                                   h1,
                                   h2,
                                   {gain, scratch, mins},
                                   {0.2f, 221.0f, 11026.0f, 3.0f, false}});
    });
}

void BM_Imager(benchmark::State& state) {
    CStereoImager imager(DSPEngine());
    imager.SetParam(CStereoImager::IdSpatialize, 1.0f);
    imager.SetParam(CStereoImager::IdSide, 3.0f);
    imager.SetParam(CStereoImager::IdCrossMix, 10.0f);
    Run(state, [&](float* l, float* r) { imager.Process(l, r, kFrames, kRate); });
}

// The equaliser with all seven stages running, as the chain benchmark sets it.
void BM_Equaliser(benchmark::State& state) {
    CParaEQ4B eq;
    eq.SetParam(CParaEQ4B::IdLowCut, 30.0f);
    eq.SetParam(CParaEQ4B::IdHiCut, 18000.0f);
    eq.SetParam(CParaEQ4B::IdSubResonGain, 3.0f);
    eq.SetParam(CParaEQ4B::IdLowShelfGain, 4.0f);
    eq.SetParam(CParaEQ4B::IdMid1, 1000.0f);
    eq.SetParam(CParaEQ4B::IdMid1Gain, -3.0f);
    eq.SetParam(CParaEQ4B::IdMid2, 3000.0f);
    eq.SetParam(CParaEQ4B::IdMid2Gain, 2.0f);
    eq.SetParam(CParaEQ4B::IdHiShelfGain, -2.0f);
    Run(state, [&](float* l, float* r) { eq.Process(l, r, kFrames, kRate); });
}

// The multi-band compressor as a processor: designs, split, band gain computers and make-up.
void BM_Compressor(benchmark::State& state) {
    CCompressor comp(DSPEngine());
    comp.SetParam(CCompressor::IdMulti, 1.0f);
    comp.SetParam(CCompressor::IdThres, -18.0f);
    comp.SetParam(CCompressor::IdRatio, 3.0f);
    comp.SetParam(CCompressor::IdMakeup, 4.0f);
    Run(state, [&](float* l, float* r) { comp.Process(l, r, kFrames, kRate); });
}

void BM_SumAndClip(benchmark::State& state) {
    Run(state, [](float* l, float* r) {
        DSPEngine().Sum(l, r, kFrames);
        DSPEngine().ClipAtDb(l, kFrames, -0.5f);
    });
}

void Sets(benchmark::internal::Benchmark* b) {
    b->ArgName("set");
    for (int s = 0; s < kKernelSetCount; ++s) b->Arg(s);
    b->Unit(benchmark::kMicrosecond);
}

} // namespace

BENCHMARK(BM_Valve)->Apply(Sets);
BENCHMARK(BM_ValveStage)->Apply(Sets);
BENCHMARK(BM_CompressSingle)->Apply(Sets);
BENCHMARK(BM_CompressMulti)->Apply(Sets);
BENCHMARK(BM_Imager)->Apply(Sets);
BENCHMARK(BM_SumAndClip)->Apply(Sets);
BENCHMARK(BM_Equaliser)->Apply(Sets);
BENCHMARK(BM_Compressor)->Apply(Sets);

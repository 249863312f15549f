// The equaliser and the compressor under each SIMD kernel set against the plain set, bit for bit:
// ten minutes of varied material with the settings drawn afresh across their ranges block by
// block, and the places where the equaliser's fast sum must hand a value back to the extended
// form (non-finite input, float denormals, the audio thread's flush-to-zero mode).
#include "ForcedKernels.h"
#include "dsp/Biquad.h"
#include "dsp/CCompressor.h"
#include "dsp/CDSPEngine.h"
#include "dsp/CDitherEngine.h"
#include "dsp/CParaEQ4B.h"
#include "dsp/CStereoImager.h"
#include "dsp/CTubeAmp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

namespace {

// The audio thread's mode (flush-to-zero and denormals-are-zero) for the life of the object.
class FlushDenormals {
public:
    explicit FlushDenormals(bool on) {
#if defined(__SSE2__)
        m_saved = _mm_getcsr();
        if (on) _mm_setcsr(m_saved | 0x8040u);
#else
        (void)on;
#endif
    }
    ~FlushDenormals() {
#if defined(__SSE2__)
        _mm_setcsr(m_saved);
#endif
    }
    FlushDenormals(const FlushDenormals&) = delete;
    FlushDenormals& operator=(const FlushDenormals&) = delete;

private:
    unsigned int m_saved = 0;
};

// Equal bits, except that any NaN matches any NaN (which operand a processor keeps when both
// are NaN depends on the compiler's operand order in scalar code).
bool SameBits(const float* a, const float* b, int n) {
    for (int i = 0; i < n; ++i)
        if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0 && !(std::isnan(a[i]) && std::isnan(b[i]))) return false;
    return true;
}

bool SameHistory(const BiquadHistory& a, const BiquadHistory& b) {
    const float va[4] = {a.x1, a.x2, a.y1, a.y2}, vb[4] = {b.x1, b.x2, b.y1, b.y2};
    return SameBits(va, vb, 4);
}

std::vector<KernelSet> SimdSets() {
    std::vector<KernelSet> sets;
    for (KernelSet s : AvailableKernelSets())
        if (s != KernelSet::Plain) sets.push_back(s);
    return sets;
}

// One processor per kernel set, plain first, fed the same settings and blocks.
template <typename P> struct Rig {
    template <typename Make> explicit Rig(Make make) {
        sets.push_back(KernelSet::Plain);
        for (KernelSet s : SimdSets()) sets.push_back(s);
        for (size_t i = 0; i < sets.size(); ++i) procs.push_back(make());
    }
    void Set(int id, float v) {
        for (auto& p : procs) p->SetParam(id, v);
    }
    // Runs the block through each processor under its own set; false, with the set named, at
    // the first that differs from the plain set.
    bool Run(const float* l, const float* r, int n, int rate, const char*& differs) {
        plainL.assign(l, l + n);
        plainR.assign(r, r + n);
        {
            ForcedKernels force(KernelSet::Plain);
            procs[0]->Process(plainL.data(), plainR.data(), n, rate);
        }
        for (size_t i = 1; i < procs.size(); ++i) {
            ForcedKernels force(sets[i]);
            fastL.assign(l, l + n);
            fastR.assign(r, r + n);
            procs[i]->Process(fastL.data(), fastR.data(), n, rate);
            if (!SameBits(plainL.data(), fastL.data(), n) || !SameBits(plainR.data(), fastR.data(), n)) {
                differs = CDSPEngine::KernelSetName(sets[i]);
                return false;
            }
        }
        return true;
    }
    std::vector<KernelSet> sets;
    std::vector<std::unique_ptr<P>> procs;
    std::vector<float> plainL, plainR, fastL, fastR;
};

// Material in segments of five seconds, each of one kind, at one rate.
enum Kind { KindNoise, KindSweep, KindSilence, KindClipping, KindFade, KindMusic, KindCount };

struct Segment {
    int rate;
    Kind kind;
    std::vector<float> left, right;
};

Segment MakeSegment(int index, std::mt19937& rng) {
    static const int kRates[] = {32000, 44100, 48000, 96000};
    Segment seg;
    seg.rate = kRates[rng() % 4];
    seg.kind = static_cast<Kind>(index % KindCount);
    const int n = 5 * seg.rate;
    seg.left.resize(n);
    seg.right.resize(n);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    const double pi = 3.141592653589793, fs = seg.rate;
    const float level = std::pow(10.0f, -60.0f * static_cast<float>(rng() % 1000) / 1000.0f / 20.0f);
    for (int i = 0; i < n; ++i) {
        const double t = i / fs;
        float l = 0.0f, r = 0.0f;
        switch (seg.kind) {
        case KindNoise: l = level * u(rng), r = level * u(rng); break;
        case KindSweep: {
            // 20 Hz to just below Nyquist, logarithmically, the right channel a quarter period on.
            const double top = 0.49 * fs, k = std::log(top / 20.0) / 5.0;
            const double phase = 2 * pi * 20.0 * (std::exp(k * t) - 1.0) / k;
            l = static_cast<float>(level * std::sin(phase));
            r = static_cast<float>(level * std::cos(phase));
            break;
        }
        case KindSilence: break;
        case KindClipping: {
            // Tones driven far past full scale and clipped there, as a hot master arrives.
            const double v = 6.0 * std::sin(2 * pi * 97 * t) + 2.0 * std::sin(2 * pi * 3100 * t);
            l = static_cast<float>(std::fmax(-1.0, std::fmin(1.0, v)));
            r = static_cast<float>(std::fmax(-1.0, std::fmin(1.0, -v + 0.5 * u(rng))));
            break;
        }
        case KindFade: {
            // Noise falling 320 dB over the segment, through the float denormals to nothing.
            const float g = static_cast<float>(std::pow(10.0, -16.0 * t));
            l = g * u(rng), r = g * u(rng);
            break;
        }
        default: {
            const double swell = 0.5 - 0.5 * std::cos(2 * pi * 0.3 * t);
            const double tones = 0.5 * std::sin(2 * pi * 55 * t) + 0.3 * std::sin(2 * pi * 440 * t);
            l = static_cast<float>(swell * (tones + 0.2 * u(rng)));
            r = static_cast<float>(swell * (0.7 * tones - 0.2 * u(rng)));
            break;
        }
        }
        seg.left[i] = l;
        seg.right[i] = r;
    }
    return seg;
}

// A value across [lo, hi], the ends themselves one time in five.
float Draw(std::mt19937& rng, float lo, float hi) {
    const unsigned pick = rng() % 10;
    if (pick == 0) return lo;
    if (pick == 1) return hi;
    return lo + (hi - lo) * static_cast<float>(rng() % 100000) / 100000.0f;
}

void DrawEqualiser(Rig<CParaEQ4B>& eq, std::mt19937& rng) {
    eq.Set(CParaEQ4B::IdLowCut, Draw(rng, 10.0f, 1000.0f));
    eq.Set(CParaEQ4B::IdHiCut, Draw(rng, 4000.0f, 22000.0f));
    eq.Set(CParaEQ4B::IdSubReson, Draw(rng, 40.0f, 60.0f));
    eq.Set(CParaEQ4B::IdLowShelf, Draw(rng, 20.0f, 200.0f));
    eq.Set(CParaEQ4B::IdMid1, Draw(rng, 50.0f, 8000.0f));
    eq.Set(CParaEQ4B::IdMid2, Draw(rng, 200.0f, 14000.0f));
    eq.Set(CParaEQ4B::IdHiShelf, Draw(rng, 1000.0f, 18000.0f));
    eq.Set(CParaEQ4B::IdQ1, Draw(rng, 0.1f, 4.0f));
    eq.Set(CParaEQ4B::IdQ2, Draw(rng, 0.1f, 4.0f));
    eq.Set(CParaEQ4B::IdSubResonGain, Draw(rng, 0.0f, 15.0f));
    for (int id : {CParaEQ4B::IdLowShelfGain, CParaEQ4B::IdMid1Gain, CParaEQ4B::IdMid2Gain, CParaEQ4B::IdHiShelfGain})
        eq.Set(id, Draw(rng, -15.0f, 15.0f));
    eq.Set(CParaEQ4B::IdOutput, Draw(rng, -20.0f, 10.0f));
}

void DrawCompressor(Rig<CCompressor>& comp, std::mt19937& rng) {
    comp.Set(CCompressor::IdSplit1, Draw(rng, 100.0f, 900.0f));
    comp.Set(CCompressor::IdSplit2, Draw(rng, 1000.0f, 6000.0f));
    comp.Set(CCompressor::IdThres, Draw(rng, -60.0f, 0.0f));
    comp.Set(CCompressor::IdRatio, Draw(rng, 1.0f, 40.0f));
    comp.Set(CCompressor::IdAttack, Draw(rng, 0.1f, 90.0f));
    comp.Set(CCompressor::IdRelease, Draw(rng, 15.0f, 3000.0f));
    comp.Set(CCompressor::IdOpto, static_cast<float>(rng() % 2));
    comp.Set(CCompressor::IdMulti, static_cast<float>(rng() % 4 != 0)); // mostly the split path
    comp.Set(CCompressor::IdMakeup, Draw(rng, -12.0f, 18.0f));
}

} // namespace

TEST(FastPaths, TenMinutesOfVariedMaterialGiveThePlainBitsThroughEqualiserAndCompressor) {
    if (SimdSets().empty()) GTEST_SKIP() << "no SIMD kernel set on this processor";
    Rig<CParaEQ4B> eq([] { return std::make_unique<CParaEQ4B>(); });
    Rig<CCompressor> comp([] { return std::make_unique<CCompressor>(DSPEngine()); });
    std::mt19937 rng(2026);
    // From single frames, shorter than the equaliser's seven stages, to whole work buffers.
    static const int kLengths[] = {4096, 1, 2, 6, 7, 8, 333, 16384, 2048, 5, 8192, 1000, 4095};
    double seconds = 0.0;
    int block = 0;
    for (int index = 0; seconds < 600.0; ++index) {
        const Segment seg = MakeSegment(index, rng);
        // Half the material in the audio thread's flush-to-zero mode.
        FlushDenormals flush(index % 2 == 1);
        const int n = static_cast<int>(seg.left.size());
        for (int at = 0; at < n; ++block) {
            const int len = std::min(kLengths[block % 13], n - at);
            DrawEqualiser(eq, rng);
            DrawCompressor(comp, rng);
            const char* differs = nullptr;
            ASSERT_TRUE(eq.Run(&seg.left[at], &seg.right[at], len, seg.rate, differs))
                << "equaliser under " << differs << ", segment " << index << " (kind " << seg.kind << "), block "
                << block;
            // The compressor takes what the equaliser made, as in the chain.
            ASSERT_TRUE(comp.Run(eq.plainL.data(), eq.plainR.data(), len, seg.rate, differs))
                << "compressor under " << differs << ", segment " << index << " (kind " << seg.kind << "), block "
                << block;
            at += len;
        }
        seconds += 5.0;
    }
    for (size_t i = 1; i < eq.procs.size(); ++i)
        for (int c = 0; c < 2; ++c)
            for (int s = 0; s < CParaEQ4B::StageCount; ++s)
                EXPECT_TRUE(SameHistory(eq.procs[i]->History(c, s), eq.procs[0]->History(c, s)));
}

TEST(FastPaths, EqualiserHandsBackNonFiniteAndDenormalValuesInEitherFloatMode) {
    if (SimdSets().empty()) GTEST_SKIP() << "no SIMD kernel set on this processor";
    // Sums the double form cannot settle: NaN and infinities (which then fill the histories),
    // float denormals in and out, and values that cancel to nothing. Under flush-to-zero a
    // denormal read as zero would pass the margin test with the wrong operands.
    for (bool flush : {false, true}) {
        FlushDenormals mode(flush);
        Rig<CParaEQ4B> eq([] { return std::make_unique<CParaEQ4B>(); });
        eq.Set(CParaEQ4B::IdLowCut, 40.0f);
        eq.Set(CParaEQ4B::IdMid1Gain, 9.0f);
        eq.Set(CParaEQ4B::IdHiCut, 15000.0f);
        eq.Set(CParaEQ4B::IdSubResonGain, 6.0f);
        std::mt19937 rng(7);
        std::uniform_real_distribution<float> u(-1.0f, 1.0f);
        const float tiny = std::ldexp(1.0f, -140); // a float denormal
        for (int round = 0; round < 4; ++round) {
            std::vector<float> l(3000), r(3000);
            for (int i = 0; i < 3000; ++i) {
                l[i] = (round == 3 && i >= 1500) ? u(rng) : tiny * u(rng) * 64.0f;
                r[i] = (round == 3 && i >= 1500) ? u(rng) : -tiny * (i % 7);
            }
            if (round == 3) {
                l[2000] = std::nanf("");
                r[2100] = INFINITY;
            }
            const char* differs = nullptr;
            EXPECT_TRUE(eq.Run(l.data(), r.data(), 3000, 44100, differs))
                << "round " << round << (flush ? " flushing" : "") << " under " << (differs ? differs : "");
        }
    }
}

TEST(FastPaths, EveryEqualiserControlAndTheRateReachTheNextBlock) {
    // The design is kept from block to block while nothing moves; a move of any one control, or
    // of the rate, must reach the very next block. The reference designs every block afresh.
    CParaEQ4B eq;
    eq.SetParam(CParaEQ4B::IdLowCut, 30.0f);
    eq.SetParam(CParaEQ4B::IdSubResonGain, 2.0f);
    eq.SetParam(CParaEQ4B::IdHiCut, 15000.0f);
    BiquadHistory ref[2][CParaEQ4B::StageCount];
    struct Move {
        int id;
        float value;
    };
    const Move moves[] = {{CParaEQ4B::IdLowCut, 60.0f},      {CParaEQ4B::IdHiCut, 12000.0f},
                          {CParaEQ4B::IdSubReson, 55.0f},    {CParaEQ4B::IdLowShelf, 150.0f},
                          {CParaEQ4B::IdMid1, 900.0f},       {CParaEQ4B::IdMid2, 5000.0f},
                          {CParaEQ4B::IdHiShelf, 7000.0f},   {CParaEQ4B::IdQ1, 2.5f},
                          {CParaEQ4B::IdQ2, 0.3f},           {CParaEQ4B::IdLowShelfGain, 6.0f},
                          {CParaEQ4B::IdMid1Gain, -7.0f},    {CParaEQ4B::IdMid2Gain, 5.0f},
                          {CParaEQ4B::IdHiShelfGain, -4.0f}, {CParaEQ4B::IdSubResonGain, 9.0f},
                          {CParaEQ4B::IdOutput, -3.5f},      {-1, 48000.0f},
                          {CParaEQ4B::IdMid1Gain, -7.0f}};
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> u(-0.5f, 0.5f);
    int rate = 44100;
    for (const Move& m : moves) {
        for (int twice = 0; twice < 2; ++twice) { // the moved block, then one with nothing moved
            if (twice == 0) {
                if (m.id < 0) rate = static_cast<int>(m.value);
                else eq.SetParam(m.id, m.value);
            }
            std::vector<float> l(700), r(700);
            for (int i = 0; i < 700; ++i) l[i] = u(rng), r[i] = u(rng);
            std::vector<float> el = l, er = r;
            eq.Process(l.data(), r.data(), 700, rate);
            const CParaEQ4B::Design d = eq.MakeDesign(rate);
            const float gain = static_cast<float>(d.compensation *
                                                  std::pow(10.0, eq.Param(CParaEQ4B::IdOutput) / 20.0));
            std::vector<float> tmp(700);
            for (int c = 0; c < 2; ++c) {
                std::vector<float>& v = c ? er : el;
                for (int s = 0; s < CParaEQ4B::StageCount; ++s) {
                    if (!d.runs[s]) continue;
                    RunBiquad(d.stage[s], ref[c][s], v.data(), tmp.data(), 700);
                    v.swap(tmp);
                }
                for (float& x : v) x = gain * x;
            }
            ASSERT_TRUE(SameBits(l.data(), el.data(), 700) && SameBits(r.data(), er.data(), 700))
                << "after moving control " << m.id << (twice ? ", next block" : "");
        }
    }
}

// A processor kept from setting to setting against one made afresh for each; the kept one is
// cleared before each block, so both start from rest and differ only in what they designed.
template <typename Make, typename Apply> void ExpectKeptMatchesFresh(const char* what, Make make, Apply apply) {
    struct Setting {
        int rate;
        float first, second;
    };
    const Setting settings[] = {{44100, 300.0f, 3000.0f}, {44100, 500.0f, 3000.0f}, {44100, 500.0f, 2000.0f},
                                {48000, 500.0f, 2000.0f}, {48000, 500.7f, 2000.9f}, {32000, 500.7f, 2000.9f}};
    auto kept = make();
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> u(-0.8f, 0.8f);
    for (const Setting& s : settings) {
        apply(*kept, s.first, s.second);
        auto fresh = make();
        apply(*fresh, s.first, s.second);
        kept->ClearState();
        std::vector<float> l(2000), r(2000);
        for (int i = 0; i < 2000; ++i) l[i] = u(rng), r[i] = u(rng);
        std::vector<float> fl = l, fr = r;
        kept->Process(l.data(), r.data(), 2000, s.rate);
        fresh->Process(fl.data(), fr.data(), 2000, s.rate);
        EXPECT_TRUE(SameBits(l.data(), fl.data(), 2000) && SameBits(r.data(), fr.data(), 2000))
            << what << " at " << s.rate << " Hz, " << s.first << " and " << s.second;
    }
}

TEST(FastPaths, SplitFiltersFollowTheRateAndTheirFrequencies) {
    // Split filters are kept while the rate and their frequencies stay; each move must reach the
    // next block.
    ExpectKeptMatchesFresh(
        "compressor",
        [] {
            auto c = std::make_unique<CCompressor>(DSPEngine());
            c->SetParam(CCompressor::IdMulti, 1.0f);
            c->SetParam(CCompressor::IdThres, -20.0f);
            return c;
        },
        [](CCompressor& c, float a, float b) {
            c.SetParam(CCompressor::IdSplit1, a);
            c.SetParam(CCompressor::IdSplit2, b);
        });
    ExpectKeptMatchesFresh(
        "imager", [] { return std::make_unique<CStereoImager>(DSPEngine()); },
        [](CStereoImager& im, float a, float) { im.SetParam(CStereoImager::IdHiPass, a * 2.0f); });
    static CDitherEngine dither(DSPEngine());
    ExpectKeptMatchesFresh(
        "valve amplifier",
        [] {
            auto amp = std::make_unique<CTubeAmp>(DSPEngine(), dither);
            amp->SetParam(CTubeAmp::IdValveGain, 3.0f);
            return amp;
        },
        [](CTubeAmp&, float, float) {});
}

TEST(FastPaths, CascadeOfEveryStageCountMatchesThePlainSetOverAwkwardLengths) {
    // Counts the equaliser's controls cannot all reach (it always runs two stages or more), and
    // blocks shorter than the skew of the stages.
    const BiquadCoefs designs[kCascadeStages] = {
        DesignLowShelf(44100, 80, 6, 1.0f), DesignPeaking(44100, 2500, -9, 0.3f),  DesignHighPass(44100, 25, 1.0f),
        DesignLowPass(44100, 9000, 1.0f),   DesignHighShelf(44100, 6000, 4, 1.0f), DesignPeaking(44100, 120, 12, 3.5f),
        DesignLowShelf(44100, 45, 15, 3.0f)};
    std::mt19937 rng(31);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (int stages = 0; stages <= kCascadeStages; ++stages) {
        BiquadHistory hist[kKernelSetCount][kCascadeStages][2];
        for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 9, 63, 64, 65, 200, 1000}) {
            std::vector<float> l(n), r(n);
            for (int i = 0; i < n; ++i) l[i] = u(rng), r[i] = u(rng);
            std::vector<float> outL[kKernelSetCount], outR[kKernelSetCount];
            for (KernelSet set : AvailableKernelSets()) {
                const int k = static_cast<int>(set);
                ForcedKernels force(set);
                CascadeArgs a;
                outL[k] = l;
                outR[k] = r;
                a.left = outL[k].data();
                a.right = outR[k].data();
                a.n = n;
                a.stages = stages;
                a.gain = 0.7f;
                for (int s = 0; s < stages; ++s) {
                    a.coefs[s] = designs[s];
                    a.hist[s][0] = &hist[k][s][0];
                    a.hist[s][1] = &hist[k][s][1];
                }
                DSPEngine().Cascade(a);
                if (set == KernelSet::Plain) continue;
                EXPECT_TRUE(SameBits(outL[k].data(), outL[0].data(), n) && SameBits(outR[k].data(), outR[0].data(), n))
                    << stages << " stages, " << n << " frames under " << CDSPEngine::KernelSetName(set);
                for (int s = 0; s < stages; ++s)
                    for (int c = 0; c < 2; ++c) EXPECT_TRUE(SameHistory(hist[k][s][c], hist[0][s][c]));
            }
        }
    }
}

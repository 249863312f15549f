// The whole chain, every stage on, against output hashes recorded from a known-good build. Any
// change to the processors that moves a single bit of the output fails here, on the plain and
// the SSE path alike, so speed work cannot quietly change the sound.
#include "ForcedKernels.h"
#include "dsp/Biquad.h"
#include "dsp/CCompressor.h"
#include "dsp/CDSPEngine.h"
#include "dsp/CDSPStack.h"
#include "dsp/CDitherEngine.h"
#include "dsp/CParaEQ4B.h"
#include "dsp/CStereoImager.h"
#include "dsp/CTubeAmp.h"

#include <gtest/gtest.h>

#include "support/Hash.h"
#include "support/Signals.h"
#include "support/WiredChain.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

struct Settings {
    int rate;
    bool multi;
    bool opto;
    bool monoCheck;
    bool rendering;
    int renderBits;
    float valveGain;
    float limiterThres;
    float ditherAmount, ditherType, noiseShaping;
    float hiCut;
};

struct Chain : WiredChain {
    explicit Chain(const Settings& s) {
        // Every equaliser stage runs, with boosts and cuts.
        eq.SetParam(CParaEQ4B::IdLowCut, 30.0f);
        eq.SetParam(CParaEQ4B::IdHiCut, s.hiCut);
        eq.SetParam(CParaEQ4B::IdSubResonGain, 3.0f);
        eq.SetParam(CParaEQ4B::IdLowShelfGain, 4.7f);
        eq.SetParam(CParaEQ4B::IdMid1, 1000.0f);
        eq.SetParam(CParaEQ4B::IdMid1Gain, -3.0f);
        eq.SetParam(CParaEQ4B::IdQ1, 1.3f);
        eq.SetParam(CParaEQ4B::IdMid2, 3000.0f);
        eq.SetParam(CParaEQ4B::IdMid2Gain, 6.0f);
        eq.SetParam(CParaEQ4B::IdHiShelfGain, -2.0f);
        eq.SetParam(CParaEQ4B::IdOutput, 1.5f);
        imager.SetParam(CStereoImager::IdSpatialize, 1.0f);
        imager.SetParam(CStereoImager::IdSide, 3.0f);
        imager.SetParam(CStereoImager::IdCenter, -2.0f);
        imager.SetParam(CStereoImager::IdCrossMix, 10.0f);
        imager.SetParam(CStereoImager::IdBalance, 1.5f);
        comp.SetParam(CCompressor::IdMulti, s.multi ? 1.0f : 0.0f);
        comp.SetParam(CCompressor::IdOpto, s.opto ? 1.0f : 0.0f);
        comp.SetParam(CCompressor::IdThres, -18.0f);
        comp.SetParam(CCompressor::IdRatio, 3.0f);
        comp.SetParam(CCompressor::IdAttack, 5.0f);
        comp.SetParam(CCompressor::IdRelease, 120.0f);
        comp.SetParam(CCompressor::IdMakeup, 4.0f);
        amp.SetParam(CTubeAmp::IdValveGain, s.valveGain);
        amp.SetParam(CTubeAmp::IdThres, s.limiterThres);
        amp.SetParam(CTubeAmp::IdCeiling, -0.5f);
        amp.SetParam(CTubeAmp::IdMonoCheck, s.monoCheck ? 1.0f : 0.0f);
        amp.SetParam(CTubeAmp::IdDitherAmount, s.ditherAmount);
        amp.SetParam(CTubeAmp::IdDitherType, s.ditherType);
        amp.SetParam(CTubeAmp::IdNoiseShaping, s.noiseShaping);
    }
};

// Music-like material: three tones and noise under a slow swell that runs from near silence to
// above full scale, so every gain computer attacks, holds and recovers; a stretch of digital
// silence in the middle.
std::vector<float> Signal(int frames, int rate) {
    std::vector<float> s(2 * frames);
    uint32_t seed = 12345;
    auto noise = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<float>(static_cast<int32_t>(seed) >> 8) * (1.0f / 8388608.0f);
    };
    const double pi = 3.141592653589793;
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double swell = 0.02 + 1.4 * (0.5 - 0.5 * std::cos(2 * pi * 0.7 * t));
        const double tones = 0.4 * std::sin(2 * pi * 55 * t) + 0.3 * std::sin(2 * pi * 440 * t) +
                             0.2 * std::sin(2 * pi * 5000 * t);
        const bool silent = i >= frames / 2 && i < frames / 2 + 5000;
        s[2 * i] = silent ? 0.0f : static_cast<float>(swell * (tones + 0.3 * noise()));
        s[2 * i + 1] = silent ? 0.0f : static_cast<float>(swell * (0.8 * tones - 0.3 * noise()));
    }
    return s;
}

// Block lengths vary, from single frames (shorter than the equaliser's seven stages) to pieces
// longer than the work buffers.
uint64_t RunChain(const Settings& s, bool sse) {
    DSPEngine().UseSSE(sse ? 1 : 0);
    Chain c(s);
    const int frames = 3 * s.rate;
    std::vector<float> block = Signal(frames, s.rate);
    static const int kLengths[] = {4096, 1, 2, 3, 5, 6, 7, 8, 13, 100, 16384, 20000, 777, 8192, 4095};
    c.stack.ResetAll();
    int at = 0;
    for (int k = 0; at < frames; ++k) {
        int n = kLengths[k % (sizeof(kLengths) / sizeof(kLengths[0]))];
        if (n > frames - at) n = frames - at;
        if (k % 3 == 2) {
            // The two-array entry point is the same stack.
            std::vector<float> l(n), r(n);
            for (int i = 0; i < n; ++i) l[i] = block[2 * (at + i)], r[i] = block[2 * (at + i) + 1];
            c.stack.ProcessChannels(l.data(), r.data(), n, s.rate, s.rendering, s.renderBits);
            for (int i = 0; i < n; ++i) block[2 * (at + i)] = l[i], block[2 * (at + i) + 1] = r[i];
        } else {
            c.stack.ProcessBlock(block.data() + 2 * at, n, s.rate, s.rendering, s.renderBits);
        }
        at += n;
    }
    return Fnv1a(block);
}

struct Golden {
    const char* name;
    Settings settings;
    uint64_t hash;
};

const Golden kGolden[] = {
    {"multi_electro_44k",
     {44100, true, false, false, true, 16, 2.0f, -3.0f, 1.0f, 1.0f, 1.0f, 18000.0f},
     0x0743541a3a381cecull},
    {"single_opto_48k_mono_24bit",
     {48000, false, true, true, true, 24, 4.0f, -6.0f, 2.0f, 0.0f, 0.0f, 20000.0f},
     0x0f32c8673d4a1330ull},
    {"multi_opto_96k_playing",
     {96000, true, true, false, false, 16, 6.0f, -12.0f, 1.0f, 0.0f, 1.0f, 21000.0f},
     0x9526324dd0adb635ull},
    {"single_electro_32k_32bit",
     {32000, false, false, false, true, 32, 1.0f, 0.0f, 2.0f, 1.0f, 0.0f, 15000.0f},
     0xa1b9ca84c9ac8883ull},
};

bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool SameHistory(const BiquadHistory& a, const BiquadHistory& b) {
    return SameBits(a.x1, b.x1) && SameBits(a.x2, b.x2) && SameBits(a.y1, b.y1) && SameBits(a.y2, b.y2);
}

// The gain computer written out directly, one band at a time.
struct BandState {
    float gain = 1.0f, target = 1.0f, minimum = 1.0f;
};
void ReferenceCompress(float* l, float* r, int n, BandState& st, float threshold, float attack, float release,
                       float ratio, bool opto) {
    for (int i = 0; i < n; ++i) {
        const float a = std::fabs(l[i]), b = std::fabs(r[i]);
        st.gain = CompressorGainStep(a > b ? a : b, st.gain, threshold, attack, release, ratio, opto, st.target);
        if (st.gain < st.minimum) st.minimum = st.gain;
        l[i] *= st.gain;
        r[i] *= st.gain;
    }
}

} // namespace

TEST(ChainGolden, BandCompressionMatchesTheGainComputerBandByBandOnBothPaths) {
    const bool hadSse = DSPEngine().UsingSSE();
    uint32_t seed = 40;
    for (int sse = 0; sse < 2; ++sse) {
        DSPEngine().UseSSE(static_cast<uint8_t>(sse));
        for (int bands = 1; bands <= CDSPEngine::kMaxBands; ++bands)
            for (bool opto : {false, true}) {
                // Settings that attack, recover on both release speeds, and a release so short that
                // the faster one would be under a sample.
                const float threshold = 0.2f, attack = 45.0f, ratio = 3.0f;
                const float release = opto ? 900.0f : 3.0f;
                std::vector<std::vector<float>> l(bands), r(bands), rl(bands), rr(bands);
                BandState st[CDSPEngine::kMaxBands], ref[CDSPEngine::kMaxBands];
                float gain[4], scratch[4], mins[4];
                for (int b = 0; b < bands; ++b) {
                    gain[b] = st[b].gain = ref[b].gain = 0.6f + 0.1f * b;
                    scratch[b] = ref[b].target = 1.0f;
                    mins[b] = ref[b].minimum = 1.0f;
                }
                // Lengths off the vector width, one after the other so the state carries.
                for (int n : {1, 3, 4, 5, 1031, 2, 4096}) {
                    float* lp[4];
                    float* rp[4];
                    for (int b = 0; b < bands; ++b) {
                        // Swells from quiet to loud with a NaN in one band and an infinity
                        // (whose wanted gain is NaN) in another, which must be handled by each
                        // path alike.
                        l[b] = Noise(n, ++seed, 0.05f + 0.4f * b);
                        r[b] = Noise(n, ++seed, 0.9f);
                        if (n > 100 && b == 1) l[b][57] = std::nanf("");
                        if (n > 100 && b == 2) r[b][80] = -INFINITY;
                        rl[b] = l[b];
                        rr[b] = r[b];
                        lp[b] = l[b].data();
                        rp[b] = r[b].data();
                        ReferenceCompress(rl[b].data(), rr[b].data(), n, ref[b], threshold, attack, release, ratio,
                                          opto);
                    }
                    DSPEngine().CompressBands(lp, rp, bands, n, {gain, scratch, mins},
                                              {threshold, attack, release, ratio, opto});
                    for (int b = 0; b < bands; ++b) {
                        const std::string where = "sse " + std::to_string(sse) + " bands " + std::to_string(bands) +
                                                  " band " + std::to_string(b) + " n " + std::to_string(n);
                        EXPECT_TRUE(SameBits(l[b], rl[b])) << where;
                        EXPECT_TRUE(SameBits(r[b], rr[b])) << where;
                        EXPECT_TRUE(SameBits(gain[b], ref[b].gain)) << where;
                        EXPECT_TRUE(SameBits(scratch[b], ref[b].target)) << where;
                        EXPECT_TRUE(SameBits(mins[b], ref[b].minimum)) << where;
                    }
                }
                for (int b = 0; b < bands; ++b) EXPECT_LT(mins[b], 0.9f); // it really compressed
            }
    }
    DSPEngine().UseSSE(hadSse ? 1 : 0);
}

TEST(ChainGolden, ValveStageInOnePassMatchesItsStepsOneByOne) {
    // The plain path runs split, Sub, four Valve calls and Sum; the SSE path may fuse them.
    const bool hadSse = DSPEngine().UsingSSE();
    const BiquadCoefs split = DesignHighPass(48000, 300, 1.0f);
    BiquadHistory fused[2] = {{0.2f, -0.1f, 0.05f, 0.0f}, {0.0f, 0.3f, -0.2f, 0.1f}};
    BiquadHistory steps[2] = {fused[0], fused[1]};
    uint32_t seed = 500;
    for (int n : {1, 2, 7, 4096, 333}) {
        auto l = Noise(n, ++seed, 1.8f), r = Noise(n, ++seed, 0.7f);
        if (n > 100) r[50] = std::nanf("");
        auto sl = l, sr = r;
        std::vector<float> hl(n), hr(n), shl(n), shr(n);
        float pf[4], ps[4];
        DSPEngine().UseSSE(1);
        DSPEngine().ValveStage({l.data(), r.data(), hl.data(), hr.data(), n, 48000, &split, &fused[0], &fused[1], 2.5f},
                               pf);
        DSPEngine().UseSSE(0);
        DSPEngine().ValveStage({sl.data(), sr.data(), shl.data(), shr.data(), n, 48000, &split, &steps[0], &steps[1],
                                2.5f},
                               ps);
        EXPECT_TRUE(SameBits(l, sl) && SameBits(r, sr)) << n;
        for (int c = 0; c < 2; ++c) EXPECT_TRUE(SameHistory(fused[c], steps[c])) << n;
        for (int b = 0; b < 4; ++b) EXPECT_TRUE(SameBits(pf[b], ps[b])) << n << " band " << b;
        EXPECT_GT(ps[0], 0.0f);
    }
    DSPEngine().UseSSE(hadSse ? 1 : 0);
}

TEST(ChainGolden, MultiBandSplitInOnePassMatchesItsStepsOneByOne) {
    // The plain path runs both splits, the Sub and Sum passes and the band gain computers one
    // after the other; the SSE path does it in one pass.
    const bool hadSse = DSPEngine().UsingSSE();
    const BiquadCoefs first = DesignHighPass(44100, 250, 1.0f), second = DesignHighPass(44100, 4000, 1.0f);
    BiquadHistory h[2][2][2] = {}; // [path][split][channel]
    float gain[2][3] = {{0.7f, 0.9f, 1.0f}, {0.7f, 0.9f, 1.0f}}, scratch[2][3] = {}, mins[2][3];
    uint32_t seed = 700;
    for (bool opto : {false, true})
        for (int n : {1, 4, 5, 9, 4096, 6, 2, 8, 1027}) {
            const auto l = Noise(n, ++seed, 1.2f), r = Noise(n, ++seed, 0.6f);
            std::vector<float> out[2][2], band[2][4];
            for (int path = 0; path < 2; ++path) {
                DSPEngine().UseSSE(static_cast<uint8_t>(path));
                out[path][0] = l;
                out[path][1] = r;
                for (auto& b : band[path]) b.assign(n, 0.0f);
                for (float& m : mins[path]) m = 1.0f;
                DSPEngine().CompressSplit({out[path][0].data(),
                                           out[path][1].data(),
                                           band[path][0].data(),
                                           band[path][1].data(),
                                           band[path][2].data(),
                                           band[path][3].data(),
                                           n,
                                           &first,
                                           &second,
                                           h[path][0],
                                           h[path][1],
                                           {gain[path], scratch[path], mins[path]},
                                           {0.1f, 30.0f, 700.0f, 4.0f, opto}});
            }
            const std::string where = "n " + std::to_string(n) + (opto ? " opto" : "");
            EXPECT_TRUE(SameBits(out[0][0], out[1][0]) && SameBits(out[0][1], out[1][1])) << where;
            for (int b = 0; b < 3; ++b) {
                EXPECT_TRUE(SameBits(gain[0][b], gain[1][b])) << where << " band " << b;
                EXPECT_TRUE(SameBits(scratch[0][b], scratch[1][b])) << where << " band " << b;
                EXPECT_TRUE(SameBits(mins[0][b], mins[1][b])) << where << " band " << b;
            }
            for (int sp = 0; sp < 2; ++sp)
                for (int c = 0; c < 2; ++c) EXPECT_TRUE(SameHistory(h[0][sp][c], h[1][sp][c])) << where;
        }
    EXPECT_LT(mins[0][0], 0.9f);
    DSPEngine().UseSSE(hadSse ? 1 : 0);
}

TEST(ChainGolden, ImagerInOnePassMatchesItsStepsOneByOne) {
    const bool hadSse = DSPEngine().UsingSSE();
    for (bool spatialize : {false, true}) {
        CStereoImager step(DSPEngine()), fused(DSPEngine());
        for (CStereoImager* im : {&step, &fused}) {
            im->SetParam(CStereoImager::IdSpatialize, spatialize ? 1.0f : 0.0f);
            im->SetParam(CStereoImager::IdPhase, 1.0f);
            im->SetParam(CStereoImager::IdBalance, -3.0f);
            im->SetParam(CStereoImager::IdCrossMix, 30.0f);
            im->SetParam(CStereoImager::IdCenter, -7.0f);
            im->SetParam(CStereoImager::IdSide, 5.0f);
            im->SetParam(CStereoImager::IdHiPass, 1500.0f);
        }
        uint32_t seed = spatialize ? 800 : 900;
        // Past the end of the delay line and back to its start.
        for (int n : {1, 3, 4096, 777, 2, 4800, 5}) {
            auto l = Noise(n, ++seed, 1.0f), r = Noise(n, ++seed, 1.0f);
            auto fl = l, fr = r;
            DSPEngine().UseSSE(0);
            step.Process(l.data(), r.data(), n, 44100);
            DSPEngine().UseSSE(1);
            fused.Process(fl.data(), fr.data(), n, 44100);
            EXPECT_TRUE(SameBits(l, fl) && SameBits(r, fr)) << n << (spatialize ? " spatialized" : "");
            EXPECT_EQ(step.WritePosition(), fused.WritePosition());
            EXPECT_EQ(step.ReadPosition(), fused.ReadPosition());
        }
    }
    DSPEngine().UseSSE(hadSse ? 1 : 0);
}

TEST(ChainGolden, PairedAndSeriesSplittersMatchSeparateRuns) {
    const BiquadCoefs first = DesignHighPass(44100, 300, 1.0f), second = DesignHighPass(44100, 3000, 1.0f);
    BiquadHistory pair[2] = {{0.1f, -0.2f, 0.05f, 0.3f}, {-0.4f, 0.25f, 0.0f, -0.1f}};
    BiquadHistory series1[2] = {pair[0], pair[1]}, series2[2] = {pair[1], pair[0]};
    BiquadHistory ref[2] = {pair[0], pair[1]}, ref1[2] = {pair[0], pair[1]}, ref2[2] = {pair[1], pair[0]};
    uint32_t seed = 90;
    for (int n : {1, 2, 3, 17, 1000, 1}) {
        const auto l = Noise(n, ++seed, 1.0f), r = Noise(n, ++seed, 1.0f);
        std::vector<float> ol(n), orr(n), el(n), er(n);
        RunBiquadSymmetricPair(first, pair[0], pair[1], l.data(), r.data(), ol.data(), orr.data(), n);
        RunBiquadSymmetric(first, ref[0], l.data(), el.data(), n);
        RunBiquadSymmetric(first, ref[1], r.data(), er.data(), n);
        EXPECT_TRUE(SameBits(ol, el) && SameBits(orr, er)) << n;
        for (int c = 0; c < 2; ++c) EXPECT_TRUE(SameHistory(pair[c], ref[c])) << n;

        std::vector<float> ml(n), mr(n), hl(n), hr(n), eml(n), emr(n), ehl(n), ehr(n);
        RunBiquadSymmetricSeries(first, second, series1, series2, l.data(), r.data(), ml.data(), mr.data(), hl.data(),
                                 hr.data(), n);
        RunBiquadSymmetric(first, ref1[0], l.data(), eml.data(), n);
        RunBiquadSymmetric(first, ref1[1], r.data(), emr.data(), n);
        RunBiquadSymmetric(second, ref2[0], eml.data(), ehl.data(), n);
        RunBiquadSymmetric(second, ref2[1], emr.data(), ehr.data(), n);
        EXPECT_TRUE(SameBits(ml, eml) && SameBits(mr, emr) && SameBits(hl, ehl) && SameBits(hr, ehr)) << n;
        for (int c = 0; c < 2; ++c) EXPECT_TRUE(SameHistory(series1[c], ref1[c]) && SameHistory(series2[c], ref2[c]));
    }
}

TEST(ChainGolden, EqualiserMatchesAStageByStageRunAsStagesComeAndGo) {
    // Stages switched in and out between blocks keep their own histories, which then differ
    // from the outputs of the stage before them.
    CParaEQ4B eq;
    eq.SetParam(CParaEQ4B::IdMid1Gain, 5.0f);
    eq.SetParam(CParaEQ4B::IdHiShelfGain, -4.0f);
    BiquadHistory ref[2][CParaEQ4B::StageCount];
    uint32_t seed = 300;
    int block = 0;
    for (int n : {4096, 1, 2, 5, 6, 7, 8, 9, 333, 4096, 3, 1000, 4095}) {
        ++block;
        eq.SetParam(CParaEQ4B::IdSubResonGain, block % 3 == 0 ? 0.0f : 6.0f);
        eq.SetParam(CParaEQ4B::IdLowCut, block % 2 ? 80.0f : 10.0f);
        eq.SetParam(CParaEQ4B::IdHiCut, block % 4 == 1 ? 22000.0f : 12000.0f);
        auto l = Noise(n, ++seed, 1.0f), r = Noise(n, ++seed, 1.0f);
        std::vector<float> el = l, er = r;
        eq.Process(l.data(), r.data(), n, 44100);

        const CParaEQ4B::Design d = eq.MakeDesign(44100);
        const float gain = static_cast<float>(d.compensation * std::pow(10.0, eq.Param(CParaEQ4B::IdOutput) / 20.0));
        std::vector<float> tmp(n);
        for (int c = 0; c < 2; ++c) {
            std::vector<float>& v = c ? er : el;
            for (int s = 0; s < CParaEQ4B::StageCount; ++s) {
                if (!d.runs[s]) continue;
                RunBiquad(d.stage[s], ref[c][s], v.data(), tmp.data(), n);
                v.swap(tmp);
            }
            for (float& x : v) x = gain * x;
        }
        EXPECT_TRUE(SameBits(l, el) && SameBits(r, er)) << "block " << block;
        for (int c = 0; c < 2; ++c)
            for (int s = 0; s < CParaEQ4B::StageCount; ++s)
                EXPECT_TRUE(SameHistory(eq.History(c, s), ref[c][s])) << "block " << block << " stage " << s;
    }
}

TEST(ChainGolden, OutputBitsMatchTheRecordedHashesOnBothPaths) {
    const bool hadSse = DSPEngine().UsingSSE();
    for (const Golden& g : kGolden) {
        const uint64_t plain = RunChain(g.settings, false);
        EXPECT_EQ(plain, g.hash) << g.name << " plain: 0x" << std::hex << plain;
        if (DSPEngine().SSESupport()) {
            const uint64_t sse = RunChain(g.settings, true);
            EXPECT_EQ(sse, g.hash) << g.name << " sse: 0x" << std::hex << sse;
        }
    }
    DSPEngine().UseSSE(hadSse ? 1 : 0);
}

TEST(ChainGolden, OutputBitsMatchTheRecordedHashesUnderEveryKernelSet) {
    // The switch reaches only the plain and the best set; each set pinned in turn reaches the
    // others too (on a processor with AVX, the SSE2 valve loop).
    const bool hadSse = DSPEngine().UsingSSE();
    for (KernelSet set : AvailableKernelSets()) {
        ForcedKernels force(set);
        ASSERT_TRUE(force.Ok());
        for (const Golden& g : kGolden) {
            const uint64_t hash = RunChain(g.settings, set != KernelSet::Plain);
            EXPECT_EQ(DSPEngine().ActiveKernels(), set);
            EXPECT_EQ(hash, g.hash) << g.name << " " << CDSPEngine::KernelSetName(set) << ": 0x" << std::hex << hash;
        }
    }
    DSPEngine().UseSSE(hadSse ? 1 : 0);
}

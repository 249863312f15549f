// The whole chain, every stage on, against output hashes recorded from a known-good build. Any
// change to the processors that moves a single bit of the output fails here, on the plain and
// the SSE path alike, so speed work cannot quietly change the sound.
#include "dsp/CCompressor.h"
#include "dsp/CDSPEngine.h"
#include "dsp/CDSPStack.h"
#include "dsp/CDitherEngine.h"
#include "dsp/CParaEQ4B.h"
#include "dsp/CStereoImager.h"
#include "dsp/CTubeAmp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
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

struct Chain {
    explicit Chain(const Settings& s)
        : dither(DSPEngine()), amp(DSPEngine(), dither), stack(DSPEngine(), dither, amp), imager(DSPEngine()),
          comp(DSPEngine()) {
        DSPEngine().AllocWorkBuffers();
        stack.SetEqualiser(&eq);
        stack.SetStereoImager(&imager);
        stack.SetCompressor(&comp);
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
    CDitherEngine dither;
    CTubeAmp amp;
    CDSPStack stack;
    CParaEQ4B eq;
    CStereoImager imager;
    CCompressor comp;
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

uint64_t Fnv1a(const std::vector<float>& v) {
    uint64_t h = 14695981039346656037ull;
    for (float f : v) {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        for (int b = 0; b < 4; ++b) {
            h ^= (bits >> (8 * b)) & 0xffu;
            h *= 1099511628211ull;
        }
    }
    return h;
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
    {"multi_electro_44k", {44100, true, false, false, true, 16, 2.0f, -3.0f, 1.0f, 1.0f, 1.0f, 18000.0f},
     0x0743541a3a381cecull},
    {"single_opto_48k_mono_24bit", {48000, false, true, true, true, 24, 4.0f, -6.0f, 2.0f, 0.0f, 0.0f, 20000.0f},
     0x0f32c8673d4a1330ull},
    {"multi_opto_96k_playing", {96000, true, true, false, false, 16, 6.0f, -12.0f, 1.0f, 0.0f, 1.0f, 21000.0f},
     0x9526324dd0adb635ull},
    {"single_electro_32k_32bit", {32000, false, false, false, true, 32, 1.0f, 0.0f, 2.0f, 1.0f, 0.0f, 15000.0f},
     0xa1b9ca84c9ac8883ull},
};

} // namespace

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

// Every kernel set the processor can run, pinned in turn, on the same material as the plain set:
// all must give the same bits, kernel by kernel and stage by stage, with state carried across
// blocks of awkward lengths. The "use SSE" switch alone would only ever reach the best set, so on
// a processor with AVX the SSE2 set is run here and nowhere else.
#include "ForcedKernels.h"
#include "dsp/Biquad.h"
#include "dsp/CDSPEngine.h"
#include "dsp/CStereoImager.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<float> Noise(int n, uint32_t seed, float scale) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> d(-scale, scale);
    std::vector<float> v(n);
    for (float& x : v) x = d(rng);
    return v;
}

// Noise with the values that take the clamps' and comparisons' odd branches sprinkled in.
std::vector<float> Awkward(int n, uint32_t seed, float scale) {
    std::vector<float> v = Noise(n, seed, scale);
    const float odd[] = {std::nanf(""), INFINITY, -INFINITY, 1e30f, -1e30f, 0.0f, -0.0f, 1e-40f};
    for (int i = 5; i < n; i += 37) v[i] = odd[(i / 37) % 8];
    return v;
}

void Append(std::vector<float>& out, const float* p, int n) { out.insert(out.end(), p, p + n); }
void Append(std::vector<float>& out, const BiquadHistory& h) { out.insert(out.end(), {h.x1, h.x2, h.y1, h.y2}); }

// The same bits, except that any NaN matches any NaN: where both operands of a product are NaN,
// the processor keeps one of them, and which one depends on the operand order the compiler chose
// for the plain set's scalar code. Every finite and infinite value must match bit for bit.
bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0 && !(std::isnan(a[i]) && std::isnan(b[i]))) return false;
    return true;
}

// Runs run under each available set and compares everything it returns with the plain set's.
template <typename Run> void ExpectEverySetMatchesPlain(const char* what, Run run) {
    std::vector<float> plain;
    {
        ForcedKernels force(KernelSet::Plain);
        ASSERT_TRUE(force.Ok());
        plain = run();
    }
    ASSERT_FALSE(plain.empty()) << what;
    for (KernelSet set : AvailableKernelSets()) {
        if (set == KernelSet::Plain) continue;
        ForcedKernels force(set);
        ASSERT_TRUE(force.Ok());
        ASSERT_EQ(DSPEngine().ActiveKernels(), set);
        EXPECT_TRUE(SameBits(run(), plain)) << what << " under " << CDSPEngine::KernelSetName(set);
    }
}

const int kLengths[] = {1, 2, 3, 4, 5, 7, 8, 17, 255, 1001, 4099};

} // namespace

TEST(KernelSets, ForcingPinsASetUntilReleasedAndTheSwitchPicksTheBest) {
    CDSPEngine& e = DSPEngine();
    const bool hadSse = e.UsingSSE();
    ASSERT_TRUE(CDSPEngine::KernelsAvailable(KernelSet::Plain));
    // AVX here is the SSE2 set with wider valve kernels, so it never comes without SSE2.
    if (CDSPEngine::KernelsAvailable(KernelSet::AVX)) {
        EXPECT_TRUE(CDSPEngine::KernelsAvailable(KernelSet::SSE2));
    }
    for (KernelSet set : {KernelSet::Plain, KernelSet::SSE2, KernelSet::AVX}) {
        if (!CDSPEngine::KernelsAvailable(set)) {
            e.UseSSE(0);
            EXPECT_FALSE(e.ForceKernels(set));
            EXPECT_EQ(e.ActiveKernels(), KernelSet::Plain) << "a refused set changes nothing";
            continue;
        }
        ASSERT_TRUE(e.ForceKernels(set));
        for (uint8_t on : {0, 1}) {
            e.UseSSE(on);
            EXPECT_EQ(e.ActiveKernels(), set) << CDSPEngine::KernelSetName(set) << " switch " << int(on);
        }
        e.ReleaseKernels();
    }
    const KernelSet best = CDSPEngine::KernelsAvailable(KernelSet::AVX)    ? KernelSet::AVX
                           : CDSPEngine::KernelsAvailable(KernelSet::SSE2) ? KernelSet::SSE2
                                                                           : KernelSet::Plain;
    e.UseSSE(1);
    EXPECT_EQ(e.ActiveKernels(), best);
    EXPECT_EQ(e.UsingSSE(), e.SSESupport() != 0);
    e.UseSSE(0);
    EXPECT_EQ(e.ActiveKernels(), KernelSet::Plain);
    // The switch set while a set was pinned takes effect on release.
    ASSERT_TRUE(e.ForceKernels(KernelSet::Plain));
    e.UseSSE(1);
    e.ReleaseKernels();
    EXPECT_EQ(e.ActiveKernels(), best);
    EXPECT_STRNE(CDSPEngine::KernelSetName(KernelSet::SSE2), CDSPEngine::KernelSetName(KernelSet::AVX));
    e.UseSSE(hadSse ? 1 : 0);
}

TEST(KernelSets, ElementKernelsMatchThePlainSetOnOddLengthsOffsetsAndNonFiniteInput) {
    CDSPEngine& e = DSPEngine();
    uint32_t seed = 1000;
    for (int n : kLengths)
        for (int offset = 0; offset < 4; ++offset) {
            ++seed;
            const std::vector<float> a = Awkward(n + 4, seed, 2.5f), b = Awkward(n + 4, seed + 7, 1.5f);
            const std::string where = "n " + std::to_string(n) + " offset " + std::to_string(offset);
            auto element = [&](const char* what, auto op) {
                ExpectEverySetMatchesPlain((where + " " + what).c_str(), [&] {
                    std::vector<float> x = a, y = b;
                    const float extra = op(x.data() + offset, y.data() + offset, n);
                    x.insert(x.end(), y.begin(), y.end());
                    x.push_back(extra);
                    return x;
                });
            };
            element("Sum", [&](float* x, float* y, int k) {
                e.Sum(x, y, k);
                return 0.0f;
            });
            element("Sub", [&](float* x, float* y, int k) {
                e.Sub(x, y, k);
                return 0.0f;
            });
            element("Scale", [&](float* x, float*, int k) {
                e.Scale(x, k, -0.37f);
                return 0.0f;
            });
            element("ClipAtDb", [&](float* x, float*, int k) {
                e.ClipAtDb(x, k, -1.5f);
                return 0.0f;
            });
            element("Valve", [&](float* x, float*, int k) {
                float peak = -1.0f;
                e.Valve(x, k, 44100, 3.3f, &peak);
                return peak;
            });
            element("Compress", [&](float* x, float* y, int k) {
                float gain = 0.8f, scratch = 1.0f, minGain = 1.0f;
                e.Compress(x, y, k, {&gain, &scratch, &minGain}, {0.2f, 12.0f, 300.0f, 5.0f, (seed & 1) != 0});
                return gain + 10.0f * minGain + 100.0f * scratch;
            });
        }
}

TEST(KernelSets, BandCompressionMatchesThePlainSetWithStateCarriedAcrossBlocks) {
    for (int bands = 1; bands <= CDSPEngine::kMaxBands; ++bands)
        for (bool opto : {false, true}) {
            const std::string what = "bands " + std::to_string(bands) + (opto ? " opto" : "");
            ExpectEverySetMatchesPlain(what.c_str(), [&] {
                float gain[4] = {0.5f, 0.7f, 0.9f, 1.0f}, scratch[4] = {1.0f, 1.0f, 1.0f, 1.0f};
                float mins[4] = {1.0f, 1.0f, 1.0f, 1.0f};
                std::vector<float> out;
                uint32_t seed = 2000 + bands;
                for (int n : kLengths) {
                    std::vector<std::vector<float>> l(bands), r(bands);
                    float* lp[4];
                    float* rp[4];
                    for (int b = 0; b < bands; ++b) {
                        l[b] = Awkward(n, ++seed, 0.1f + 0.5f * b);
                        r[b] = Noise(n, ++seed, 0.8f);
                        lp[b] = l[b].data();
                        rp[b] = r[b].data();
                    }
                    DSPEngine().CompressBands(lp, rp, bands, n, {gain, scratch, mins},
                                              {0.15f, 30.0f, opto ? 2000.0f : 3.0f, 4.0f, opto});
                    for (int b = 0; b < bands; ++b) {
                        Append(out, lp[b], n);
                        Append(out, rp[b], n);
                    }
                    Append(out, gain, bands);
                    Append(out, scratch, bands);
                    Append(out, mins, bands);
                }
                return out;
            });
        }
}

TEST(KernelSets, WholeStagesMatchThePlainSetWithStateCarriedAcrossBlocks) {
    ExpectEverySetMatchesPlain("ValveStage", [] {
        const BiquadCoefs split = DesignHighPass(44100, 300, 1.0f);
        BiquadHistory hist[2] = {{0.1f, 0.2f, -0.1f, 0.0f}, {}};
        std::vector<float> out;
        uint32_t seed = 3000;
        for (int n : kLengths) {
            std::vector<float> l = Awkward(n, ++seed, 2.0f), r = Noise(n, ++seed, 1.2f), hl(n), hr(n);
            float peaks[4];
            DSPEngine().ValveStage({l.data(), r.data(), hl.data(), hr.data(), n, 44100, &split, &hist[0], &hist[1],
                                    1.8f},
                                   peaks);
            Append(out, l.data(), n);
            Append(out, r.data(), n);
            Append(out, peaks, 4);
            Append(out, hist[0]);
            Append(out, hist[1]);
        }
        return out;
    });
    for (bool opto : {false, true})
        ExpectEverySetMatchesPlain(opto ? "CompressSplit opto" : "CompressSplit", [opto] {
            const BiquadCoefs first = DesignHighPass(48000, 200, 1.0f), second = DesignHighPass(48000, 5000, 1.0f);
            BiquadHistory h1[2] = {}, h2[2] = {};
            float gain[3] = {1.0f, 0.8f, 0.6f}, scratch[3] = {1.0f, 1.0f, 1.0f}, mins[3] = {1.0f, 1.0f, 1.0f};
            std::vector<float> out;
            uint32_t seed = 4000;
            for (int n : kLengths) {
                std::vector<float> l = Noise(n, ++seed, 1.5f), r = Awkward(n, ++seed, 0.9f);
                std::vector<float> ml(n), mr(n), hl(n), hr(n);
                DSPEngine().CompressSplit({l.data(),
                                           r.data(),
                                           ml.data(),
                                           mr.data(),
                                           hl.data(),
                                           hr.data(),
                                           n,
                                           &first,
                                           &second,
                                           h1,
                                           h2,
                                           {gain, scratch, mins},
                                           {0.1f, 20.0f, 900.0f, 6.0f, opto}});
                Append(out, l.data(), n);
                Append(out, r.data(), n);
                Append(out, gain, 3);
                Append(out, scratch, 3);
                Append(out, mins, 3);
                for (const BiquadHistory* h : {&h1[0], &h1[1], &h2[0], &h2[1]}) Append(out, *h);
            }
            return out;
        });
    for (bool spatialize : {false, true})
        ExpectEverySetMatchesPlain(spatialize ? "imager spatialized" : "imager", [spatialize] {
            CStereoImager im(DSPEngine());
            im.SetParam(CStereoImager::IdSpatialize, spatialize ? 1.0f : 0.0f);
            im.SetParam(CStereoImager::IdCrossMix, 25.0f);
            im.SetParam(CStereoImager::IdCenter, -4.0f);
            im.SetParam(CStereoImager::IdSide, 6.0f);
            std::vector<float> out;
            uint32_t seed = 5000;
            // Past the end of the delay line and back to its start.
            for (int n : {4099, 1, 777, 3, 4800, 2, 1001}) {
                std::vector<float> l = Noise(n, ++seed, 1.0f), r = Noise(n, ++seed, 1.0f);
                im.Process(l.data(), r.data(), n, 44100);
                Append(out, l.data(), n);
                Append(out, r.data(), n);
                out.push_back(static_cast<float>(im.WritePosition()));
                out.push_back(static_cast<float>(im.ReadPosition()));
            }
            return out;
        });
}

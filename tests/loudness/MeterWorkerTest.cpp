// A meter's worker thread gives exactly the figures of one thread: its true peak, shared between
// two threads, equals bit for bit what one continuous libebur128 state finds: per channel, at the rates of each
// oversampling (4×, 2×, none), with blocks of awkward sizes, parts shorter than the priming, cuts anywhere, and the
// loudest point (and the largest peak between samples) right where a block is cut.
#include <gtest/gtest.h>

#include <ebur128.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "loudness/LoudnessMeter.h"
#include "loudness/MeterWorker.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Noise with a tone near a quarter of the rate (its crest falls between samples).
std::vector<float> Material(size_t frames, unsigned channels, int rate, uint32_t seed) {
    std::vector<float> s(frames * channels);
    for (size_t i = 0; i < frames; ++i) {
        for (unsigned c = 0; c < channels; ++c) {
            seed = seed * 1664525u + 1013904223u;
            const double noise = (static_cast<double>(seed >> 8) / 16777216.0 - 0.5) * 0.2;
            const double tone = 0.4 * std::sin(2.0 * kPi * (rate / 4.0 - 30.0 * (c + 1)) * i / rate + kPi / 4);
            s[i * channels + c] = static_cast<float>(tone + noise);
        }
    }
    return s;
}

// A crest between two samples, in channel c, its first sample at frame at.
void PutPeakAt(std::vector<float>& s, unsigned channels, unsigned c, size_t at, float height) {
    s[at * channels + c] = height;
    s[(at + 1) * channels + c] = height;
}

struct Reference {
    double truePeak[2] = {0, 0}, samplePeak[2] = {0, 0};
};

Reference Continuous(const std::vector<float>& s, unsigned channels, int rate) {
    ebur128_state* st = ebur128_init(channels, static_cast<unsigned long>(rate), EBUR128_MODE_TRUE_PEAK);
    ebur128_add_frames_float(st, s.data(), s.size() / channels);
    Reference r;
    for (unsigned c = 0; c < channels; ++c) {
        ebur128_true_peak(st, c, &r.truePeak[c]);
        ebur128_sample_peak(st, c, &r.samplePeak[c]);
    }
    ebur128_destroy(&st);
    return r;
}

// The blocks' sizes, cycled: none a multiple of anything a filter or the 100 ms steps use.
const size_t kBlocks[] = {1, 7, 31, 33, 997, 5, 4099, 17, 2, 12345, 3, 64, 29};

} // namespace

TEST(MeterWorker, TheSplitTruePeakEqualsOneContinuousStateBitForBit) {
    for (const int rate : {44100, 48000, 96000, 192000}) {
        for (const unsigned channels : {1u, 2u}) {
            const size_t frames = static_cast<size_t>(rate) * 3 / 2;
            const std::vector<float> base = Material(frames, channels, rate, 7u + channels);
            // -1: the adaptive split; else the caller's fixed share of every block.
            for (const double share : {-1.0, 0.0, 0.004, 0.37, 0.5, 0.93, 1.0}) {
                SCOPED_TRACE("rate " + std::to_string(rate) + ", " + std::to_string(channels) + " ch, share " +
                             std::to_string(share));
                std::vector<float> s = base;
                // The cut of the long block: where each thread's part begins. The loudest
                // crest of channel 0 lies across it, channel 1's just after it.
                size_t blockAt = 0, i = 0;
                while (kBlocks[i % std::size(kBlocks)] != 12345) blockAt += kBlocks[i++ % std::size(kBlocks)];
                const size_t cut = blockAt + static_cast<size_t>(std::max(share, 0.0) * 12345 + 0.5);
                if (cut >= 1 && cut + 2 < frames) PutPeakAt(s, channels, 0, cut - 1, 0.97f);
                if (channels == 2 && cut + 2 < frames) PutPeakAt(s, channels, 1, cut, -0.95f);
                const Reference want = Continuous(s, channels, rate);

                MeterWorker split;
                if (share >= 0) split.FixShare(share);
                ASSERT_TRUE(split.Start(channels, rate, nullptr, true));
                for (size_t at = 0, k = 0; at < frames; ++k) {
                    const size_t n = std::min(kBlocks[k % std::size(kBlocks)], frames - at);
                    split.Add(s.data() + at * channels, n);
                    at += n;
                }
                double tp[2], sp[2];
                split.Peaks(tp, sp);
                for (unsigned c = 0; c < channels; ++c) {
                    EXPECT_EQ(tp[c], want.truePeak[c]) << "channel " << c;
                    EXPECT_EQ(sp[c], want.samplePeak[c]) << "channel " << c;
                }
                if (rate < 192000) {
                    EXPECT_GT(tp[0], sp[0]); // a crest between samples was found
                }
            }
        }
    }
}

TEST(MeterWorker, PartsThatCannotRaiseAPeakAreSkippedAndTheFiguresStayExact) {
    // The bound holds for the worst material there is: full-scale samples whose signs match a
    // phase of the interpolator, which the library itself finds at the bound and no higher.
    for (const int rate : {44100, 48000, 96000, 192000}) {
        const double bound = MeterWorker::PeakBound(rate);
        ASSERT_GE(bound, 1.0) << rate;
        if (rate < 96000) {
            EXPECT_LT(bound, 2.0) << rate; // found exactly, not only bounded
        }
        if (rate >= 192000) {
            EXPECT_EQ(bound, 1.0); // no oversampling: the true peak is the sample peak
        }
    }
    // Material of loud and quiet passages (60 dB of range), with an early crest between two
    // samples of 0.3 and, late, a passage at the quarter of the rate whose samples are no
    // larger, 0.3, but whose crests between them reach 0.3 × √2: the loudest true peak, in
    // blocks whose samples alone would look as if they could not raise it.
    for (const int rate : {44100, 48000, 96000, 192000}) {
        for (const unsigned channels : {1u, 2u}) {
            SCOPED_TRACE("rate " + std::to_string(rate) + ", " + std::to_string(channels) + " ch");
            const size_t frames = static_cast<size_t>(rate) * 4;
            std::vector<float> s = Material(frames, channels, rate, 11u + channels);
            for (size_t i = 0; i < frames; ++i) {
                const double section = static_cast<double>(i) / rate * 4.0; // quarter seconds
                const float level = static_cast<float>(
                    std::pow(10.0, -3.0 * (static_cast<int>(section * 7) % 20) / 20));
                for (unsigned c = 0; c < channels; ++c) s[i * channels + c] *= level * 0.25f;
            }
            for (unsigned c = 0; c < channels; ++c) {
                PutPeakAt(s, channels, c, static_cast<size_t>(rate) / 3 + c, 0.3f);
                for (size_t k = 0; k < 64; ++k) s[(frames - rate / 5 + k) * channels + c] = (k / 2) % 2 ? -0.3f : 0.3f;
            }
            const Reference want = Continuous(s, channels, rate);
            for (const double share : {-1.0, 0.0, 0.5, 1.0}) {
                MeterWorker split, every;
                if (share >= 0) split.FixShare(share);
                every.NeverSkip();
                ASSERT_TRUE(split.Start(channels, rate, nullptr, true));
                ASSERT_TRUE(every.Start(channels, rate, nullptr, true));
                for (size_t at = 0, k = 0; at < frames; ++k) {
                    const size_t n = std::min(kBlocks[k % std::size(kBlocks)] * 11, frames - at);
                    split.Add(s.data() + at * channels, n);
                    every.Add(s.data() + at * channels, n);
                    at += n;
                }
                double tp[2], sp[2], tpEvery[2], spEvery[2];
                split.Peaks(tp, sp);
                every.Peaks(tpEvery, spEvery);
                for (unsigned c = 0; c < channels; ++c) {
                    EXPECT_EQ(tp[c], want.truePeak[c]) << "channel " << c << ", share " << share;
                    EXPECT_EQ(sp[c], want.samplePeak[c]) << "channel " << c << ", share " << share;
                    EXPECT_EQ(tpEvery[c], want.truePeak[c]) << "channel " << c;
                }
                EXPECT_GT(split.SkippedParts(), 0u) << share;
                EXPECT_EQ(every.SkippedParts(), 0u);
            }
        }
    }
}

TEST(MeterWorker, TheMeterGivesTheFiguresOfOneThread) {
    // Through the meter, mono and stereo, in blocks as a file is read: every figure the same.
    for (const unsigned channels : {1u, 2u}) {
        const int rate = 44100;
        std::vector<float> s = Material(static_cast<size_t>(rate) * 8, 2, rate, 3u);
        for (size_t i = 0; i < s.size() / 2; ++i) {
            const float swell = static_cast<float>(0.2 + 0.8 * (i % 100000) / 100000.0);
            s[2 * i] *= swell;
            s[2 * i + 1] *= channels == 2 ? 0.5f : swell;
            if (channels == 1) s[2 * i + 1] = s[2 * i];
        }
        LoudnessMeter one, two, onlyLoudness;
        std::string error;
        ASSERT_TRUE(one.Start(channels, rate, kLoudnessAll | kLoudnessStreaming, error));
        ASSERT_TRUE(two.Start(channels, rate, kLoudnessAll | kLoudnessStreaming | kLoudnessParallel, error));
        // The measuring render of an export: the loudness alone, on the worker.
        ASSERT_TRUE(
            onlyLoudness.Start(channels, rate, kLoudnessIntegrated | kLoudnessStreaming | kLoudnessParallel, error));
        for (size_t at = 0, k = 0; at < s.size() / 2; ++k) {
            const size_t n = std::min(kBlocks[k % std::size(kBlocks)] * 3, s.size() / 2 - at);
            one.AddStereo(s.data() + 2 * at, n);
            two.AddStereo(s.data() + 2 * at, n);
            onlyLoudness.AddStereo(s.data() + 2 * at, n);
            at += n;
            // Read while blocks are still on their way: the reading waits for them.
            if (k == 40) {
                EXPECT_EQ(two.Momentary(), one.Momentary());
            }
        }
        EXPECT_EQ(onlyLoudness.Figures().integrated, one.Figures().integrated);
        const LoudnessFigures a = one.Figures(), b = two.Figures();
        EXPECT_EQ(b.truePeak, a.truePeak) << channels;
        EXPECT_EQ(b.samplePeak, a.samplePeak) << channels;
        EXPECT_EQ(b.integrated, a.integrated) << channels;
        EXPECT_EQ(b.range, a.range) << channels;
        // A meter moved away keeps its worker and its figures.
        LoudnessMeter moved = std::move(two);
        EXPECT_EQ(moved.Figures().truePeak, a.truePeak);
    }
}

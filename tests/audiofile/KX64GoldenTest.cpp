// The lossless storage format's bytes are a stored format: files written by any build must be
// byte-for-byte what earlier builds wrote, and decode to the same samples. These cases pin the
// encoded file and the decoded samples of deterministic material by their FNV-1a hashes, across
// every depth, both channel counts, partial last blocks, more than one group, and the coder's
// wide-value and long-code paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "AudioTestUtil.h"
#include "audiofile/AudioFileKX64.h"
#include "support/Hash.h"
#include "support/TempDir.h"

namespace {

constexpr int kBlock = AudioFileKX64::kBlockFrames;

using Fnv = Fnv1a64;

// Integer-only material, so the floats fed to the writer are the same on every machine.
// kind 0: two triangle waves, a slow swell and a little noise (music-like);
// kind 1: full-scale noise; kind 2: silence with spikes, a ramp and steps.
std::vector<int32_t> Material(int kind, int64_t frames, int bits, uint32_t seed) {
    const int64_t full = bits == 32 ? 2147483647LL : (1LL << (bits - 1)) - 1;
    std::vector<int32_t> v(static_cast<size_t>(frames * 2));
    Lcg g{seed};
    for (int64_t i = 0; i < frames; ++i) {
        for (int c = 0; c < 2; ++c) {
            int64_t x = 0;
            if (kind == 0) {
                const int64_t p1 = 97 + 13 * c, p2 = 1531;
                const int64_t t1 = i % p1, t2 = i % p2;
                const int64_t tri1 = (t1 < p1 / 2 ? t1 : p1 - t1) * 2 * full / p1 - full / 2;
                const int64_t tri2 = (t2 < p2 / 2 ? t2 : p2 - t2) * 2 * full / p2 - full / 2;
                const int64_t swell = (i % 40000) < 20000 ? (i % 40000) : 40000 - (i % 40000);
                const int64_t noise = static_cast<int64_t>(g.Next() >> 16) - 32768;
                x = (tri1 * swell / 20000) / 2 + tri2 / 3 + noise * full / (32768LL * 64);
            } else if (kind == 1) {
                x = static_cast<int64_t>(static_cast<int32_t>(g.Next())) * full / 2147483648LL;
            } else {
                const int64_t phase = (i / 700) % 4;
                if (phase == 0) x = (g.Next() % 97 == 0) ? full / 3 : 0;
                else if (phase == 1) x = (i % 700) * (full / 800) - full / 2;
                else if (phase == 2) x = ((i / 50) % 2) ? full : -full - 1;
                else x = c == 0 ? 0 : -1;
            }
            v[static_cast<size_t>(2 * i + c)] = static_cast<int32_t>(std::clamp<int64_t>(x, -full - 1, full));
        }
    }
    return v;
}

// Floats the writer truncates back to these integers (or, for float files, their values).
std::vector<float> Floats(const std::vector<int32_t>& ints, int bits, bool isFloat) {
    std::vector<float> f(ints.size());
    const double scale = bits == 8 ? 127.0 : bits == 16 ? 32767.0 : bits == 24 ? 8388607.0 : 2147483648.0;
    for (size_t i = 0; i < ints.size(); ++i) {
        const double x = ints[i];
        if (isFloat || bits == 32) f[i] = static_cast<float>(x / 2147483648.0);
        else f[i] = static_cast<float>((x + (x < 0 ? -0.5 : 0.5)) / scale);
    }
    return f;
}

// The channel coder written the plain way, one residual and one bit at a time, to hold the fast
// coder to the format rather than only to its own past output.
struct RefCode {
    int predictor = 0, k = 0;
    int32_t coefficient = 0;
    std::vector<uint8_t> bytes;
};

// With exactSums the magnitude and quotient sums are taken without rounding instead: only for
// finding material on which the order of the float sums decides the choices.
RefCode ReferenceEncode(const int32_t* x, int n, bool exactSums = false) {
    auto wrap = [](int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); };
    std::vector<int32_t> r[5];
    for (auto& v : r) v.assign(static_cast<size_t>(n), 0);
    float qsum = 0.0f;
    double qexact = 0.0;
    for (int i = 2; i < n; ++i) {
        const int64_t d = static_cast<int64_t>(x[i - 1]) - x[i - 2];
        if (d != 0) qsum += static_cast<float>((static_cast<int64_t>(x[i]) - x[i - 1]) / d);
        if (d != 0) qexact += static_cast<double>((static_cast<int64_t>(x[i]) - x[i - 1]) / d);
    }
    if (exactSums) qsum = static_cast<float>(qexact);
    const float cf = std::clamp(qsum / static_cast<float>(n), -1.0f, 1.0f);
    const int32_t c = static_cast<int32_t>(cf * 16.0f);
    for (int i = 0; i < n; ++i) {
        r[0][i] = x[i];
        r[1][i] = i < 1 ? x[i] : wrap(int64_t{x[i]} - x[i - 1]);
        r[2][i] = i < 2 ? x[i] : wrap(int64_t{x[i]} - 2 * int64_t{x[i - 1]} + x[i - 2]);
        r[3][i] = i < 3 ? x[i] : wrap(int64_t{x[i]} - 3 * int64_t{x[i - 1]} + 3 * int64_t{x[i - 2]} - x[i - 3]);
        r[4][i] = i < 2 ? x[i]
                        : wrap(int64_t{x[i]} - x[i - 1] -
                               static_cast<int32_t>((int64_t{c} * wrap(int64_t{x[i - 1]} - x[i - 2])) >> 4));
    }
    RefCode out;
    int64_t best = 0;
    for (int p = 0; p < 5; ++p) {
        float sum = 0.0f;
        double exact = 0.0;
        const int from = p == 0 ? 0 : p == 3 ? 3 : p == 1 ? 1 : 2;
        for (int i = from; i < n; ++i) sum += std::fabs(static_cast<float>(static_cast<int64_t>(r[p][i])));
        for (int i = from; i < n; ++i) exact += std::fabs(static_cast<double>(static_cast<float>(r[p][i])));
        const int64_t mean = exactSums ? static_cast<int64_t>(exact / n)
                                       : static_cast<int64_t>(sum / static_cast<float>(n));
        if (p == 0 || mean < best) {
            best = mean;
            out.predictor = p;
        }
    }
    const std::vector<int32_t>& v = r[out.predictor];
    int hist[33] = {};
    for (int i = 0; i < n; ++i) {
        int len = 0;
        for (int32_t m = v[i]; m > 0; m >>= 1) ++len;
        ++hist[len];
    }
    int total = 0;
    for (out.k = 0; out.k < 32; ++out.k) {
        total += hist[out.k];
        if (total > (2 * n) / 3) break;
    }
    out.k = std::min(out.k, 31);
    out.coefficient = c;
    int used = 0;
    auto bit = [&](int b) {
        if (used % 8 == 0) out.bytes.push_back(0);
        if (b) out.bytes.back() |= static_cast<uint8_t>(0x80 >> (used % 8));
        ++used;
    };
    for (int i = 0; i < n; ++i) {
        const uint32_t m = v[i] < 0 ? 0u - static_cast<uint32_t>(v[i]) : static_cast<uint32_t>(v[i]);
        const uint32_t q = m >> out.k;
        int L = 0;
        for (uint32_t t = q; t != 0; t >>= 1) ++L;
        for (int j = 0; j < L; ++j) bit(0);
        bit(1);
        for (int j = L - 2; j >= 0; --j) bit((q >> j) & 1);
        for (int j = out.k - 1; j >= 0; --j) bit((m >> j) & 1);
        bit(v[i] < 0);
    }
    return out;
}

struct Hashes {
    uint64_t file = 0;
    uint64_t ints = 0;
    uint64_t floats = 0;
};

Hashes EncodeAndDecode(const TempDir& dir, const std::vector<float>& f, int channels, int bits, bool isFloat) {
    Hashes h;
    {
        AudioFileKX64 w(dir.Str(), "g.kx64");
        EXPECT_TRUE(w.OpenWrite(static_cast<uint32_t>(channels), 44100, bits, isFloat ? 1 : 0));
        const int32_t frames = static_cast<int32_t>(f.size() / 2);
        std::vector<float> chunk;
        // Uneven chunks, so block boundaries fall inside writes.
        for (int32_t at = 0; at < frames;) {
            const int32_t n = std::min(frames - at, 1000 + (at % 3) * 517);
            chunk.assign(f.begin() + 2 * at, f.begin() + 2 * (at + n));
            w.WriteFloat(chunk.data(), n);
            at += n;
        }
        EXPECT_TRUE(w.FinishWrite());
        w.Close();
    }
    const std::vector<uint8_t> bytes = LoadBytes(dir / "g.kx64");
    Fnv fh;
    fh.Add(bytes.data(), bytes.size());
    h.file = fh.h;
    AudioFileKX64 r(dir.Str(), "g.kx64");
    EXPECT_TRUE(r.OpenRead()) << r.ErrorText();
    const std::vector<int32_t> ints = ReadAllInt(r, 777);
    // Lossless: the integers the writer made of the floats, mono duplicated.
    const double scale = bits == 8 ? 127.0 : bits == 16 ? 32767.0 : bits == 24 ? 8388607.0 : 2147483648.0;
    const double hi = bits == 32 ? 2147483647.0 : scale, lo = -hi - 1.0;
    std::vector<int32_t> want;
    for (size_t i = 0; i + 1 < f.size(); i += 2) {
        for (int c = 0; c < channels; ++c) {
            // Mono keeps the mean: in float for float files, exact (in double) for integer files.
            const float fv = channels == 2 ? f[i + static_cast<size_t>(c)] : (f[i] + f[i + 1]) / 2.0f;
            const double dv = channels == 2 ? fv : (static_cast<double>(f[i]) + f[i + 1]) * 0.5;
            const int32_t x = isFloat ? std::bit_cast<int32_t>(fv)
                                      : static_cast<int32_t>(std::clamp(dv * scale, lo, hi));
            want.push_back(x);
            if (channels == 1) want.push_back(x);
        }
    }
    EXPECT_TRUE(ints == want);
    Fnv ih;
    ih.Add(ints.data(), ints.size() * 4);
    h.ints = ih.h;
    EXPECT_TRUE(r.SeekFrame(0));
    const std::vector<float> back = ReadAllFloat(r, 4096);
    Fnv flh;
    flh.Add(back.data(), back.size() * 4);
    h.floats = flh.h;
    EXPECT_EQ(static_cast<int64_t>(ints.size()), r.frames * 2);
    return h;
}

struct Case {
    int kind;
    int channels;
    int bits;
    bool isFloat;
    int64_t frames;
    Hashes want;
};

} // namespace

TEST(Kx64Golden, FilesAndSamplesStayTheSame) {
    const Case cases[] = {
        {0, 2, 16, false, 1, {0xd765462a116be213ull, 0x6515a85a047b8c56ull, 0xbaf7f980e3a34954ull}},
        {0, 2, 16, false, 1023, {0xcd46a6b1519cc27aull, 0x241218181cadc57ull, 0x954b3668141d31c6ull}},
        {0, 2, 16, false, 1024, {0x665fcf7f2af8570ull, 0xd0de85206efd1349ull, 0xddd5a8a572e0aa16ull}},
        {0, 2, 16, false, 5 * kBlock + 300, {0x18dbe065ec0f873bull, 0x2e1236e1ad851d27ull, 0x5c926a8ba05ea8a9ull}},
        {0, 1, 16, false, 3 * kBlock + 1, {0x9d69a297ddb14e08ull, 0x404f45b323fe7b05ull, 0x48eaa34d77277f9dull}},
        {0, 2, 8, false, 4 * kBlock + 7, {0x116106be27d8660aull, 0x7aae9f2edef61272ull, 0x273489ba922b62afull}},
        {0, 1, 8, false, 2 * kBlock, {0x8c2ac15fa845c58dull, 0xdf32be2b5ff07f75ull, 0xad6785fccb7e5c55ull}},
        {0, 2, 24, false, 4 * kBlock + 999, {0x8fbeb5c74bae90cfull, 0x509e0b80cc5e5b00ull, 0x26aac198034d6be0ull}},
        {0, 1, 24, false, 3 * kBlock - 5, {0xa744860f0a5d0b3eull, 0x11e1da050811d445ull, 0xc570595d3383eb21ull}},
        {0, 2, 32, false, 3 * kBlock + 11, {0xb205dc3d8ee40d7full, 0x80edec480e91987bull, 0x726c18e8c1df2180ull}},
        {0, 1, 32, false, 2 * kBlock + 1, {0x20cf06687550649ull, 0x54bddec4a5ce7adull, 0x65bf235933424269ull}},
        {0, 2, 32, true, 3 * kBlock + 2, {0x93969f96c4e769cfull, 0x3686a0d74c20a8a7ull, 0x3686a0d74c20a8a7ull}},
        {0, 1, 32, true, 2 * kBlock + 3, {0x3a57bb42561747d1ull, 0x45016a92d3aa5691ull, 0x45016a92d3aa5691ull}},
        {1, 2, 16, false, 3 * kBlock + 100, {0xd5ec4364e262d163ull, 0x271527d2768bd409ull, 0x36515ad0e3411900ull}},
        {1, 2, 24, false, 2 * kBlock + 100, {0x3b2889f68e6e4b81ull, 0x4160e36ece41e00eull, 0x5c60ad1e66ed2716ull}},
        // Full-scale noise: codes of 57 bits and more.
        {1, 2, 32, false, 2 * kBlock + 100, {0xa6e95f8f493a4426ull, 0xef98adc8c7870941ull, 0x9bb35d15db5a0175ull}},
        {1, 1, 8, false, 2 * kBlock + 100, {0xd1d76bc870ff4d17ull, 0xc6585af70f335eddull, 0xb47ec17ae53d189ull}},
        {1, 2, 32, true, 2 * kBlock + 100, {0xc1612ad04d231a34ull, 0xc80423b1b5d0a918ull, 0xc80423b1b5d0a918ull}},
        {2, 2, 16, false, 6 * kBlock + 1, {0xe67f569b723e55bbull, 0xdec0e629fc8cf225ull, 0xb6c84c705d887499ull}},
        {2, 1, 24, false, 5 * kBlock, {0xfaff792960c0ac3eull, 0x33c40a311ca76885ull, 0xfee0a6b10d5200d5ull}},
        {2, 2, 32, false, 6 * kBlock + 2, {0xc6dd65b924de47d9ull, 0xe3dfb56bf7c25f8full, 0x5315947af01619f0ull}},
        {2, 2, 8, false, 4 * kBlock + 3, {0xc6e0271d26210301ull, 0x5bd35ab0b3175135ull, 0x8b4e3c5df9092f4dull}},
        // More than one group of blocks.
        {0, 2, 16, false, 600LL * kBlock + 77, {0x71bdce7e609850a6ull, 0x87bd2d34b637085aull, 0x349c4593d3544d60ull}},
    };
    TempDir dir;
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE("case " + std::to_string(index++));
        const std::vector<int32_t> ints = Material(c.kind, c.frames, c.isFloat ? 32 : c.bits, 7u + index);
        const Hashes h = EncodeAndDecode(dir, Floats(ints, c.bits, c.isFloat), c.channels, c.bits, c.isFloat);
        EXPECT_EQ(h.file, c.want.file) << std::hex << "{0x" << h.file << "ull, 0x" << h.ints << "ull, 0x" << h.floats
                                       << "ull}";
        EXPECT_EQ(h.ints, c.want.ints);
        EXPECT_EQ(h.floats, c.want.floats);
    }
}

// The channel coder on its own, where whole-file material cannot reach: wrapping residuals of
// extreme values, codes longer than one machine word, and every low-bit count.
TEST(Kx64Golden, ChannelCodesStayTheSame) {
    std::vector<uint8_t> out(AudioFileKX64::kMaxPayload + 16);
    std::vector<int32_t> x(kBlock), back(kBlock);
    Fnv all, damaged;
    Lcg g{99};
    for (int pattern = 0; pattern < 40; ++pattern) {
        for (int i = 0; i < kBlock; ++i) {
            const uint32_t r = g.Next();
            switch (pattern % 5) {
            case 0: // noise of a width set by the pattern: every k from 0 to 31
                x[i] = static_cast<int32_t>(r) >> (31 - (pattern * 31) / 39);
                break;
            case 1: // extremes whose differences wrap
                x[i] = (r >> 31) ? INT32_MIN : INT32_MAX - static_cast<int32_t>(r % 3);
                break;
            case 2: // a smooth curve with the adaptive predictor's taste
                x[i] = static_cast<int32_t>(static_cast<int64_t>(i) * i * (pattern + 1) - 400000 * i);
                break;
            case 3: // mostly small with rare huge outliers: long unary runs over a small k
                x[i] = (r % 61 == 0) ? static_cast<int32_t>(r) : static_cast<int32_t>(r % 5) - 2;
                break;
            default: // steps between few levels: flat stretches for the adaptive quotient
                x[i] = static_cast<int32_t>((r % 7 == 0 ? (r >> 8) % 5 : 2) * 1000003u) - 2000000;
                break;
            }
        }
        const AudioFileKX64::ChannelCode c = AudioFileKX64::EncodeChannel(x.data(), kBlock, out.data());
        ASSERT_LE(c.payloadBytes, static_cast<uint32_t>(AudioFileKX64::kMaxPayload));
        const RefCode ref = ReferenceEncode(x.data(), kBlock);
        EXPECT_EQ(c.predictor, ref.predictor) << "pattern " << pattern;
        EXPECT_EQ(c.k, ref.k) << "pattern " << pattern;
        EXPECT_EQ(c.coefficient, ref.coefficient) << "pattern " << pattern;
        ASSERT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + c.payloadBytes), ref.bytes) << "pattern " << pattern;
        const int32_t head[4] = {c.predictor, c.k, c.coefficient, static_cast<int32_t>(c.payloadBytes)};
        all.Add(head, sizeof head);
        all.Add(out.data(), c.payloadBytes);
        std::memset(out.data() + c.payloadBytes, 0, 16);
        ASSERT_TRUE(AudioFileKX64::DecodeChannel(out.data(), c.payloadBytes, c.predictor, c.k, c.coefficient,
                                                 back.data(), kBlock));
        ASSERT_EQ(back, x) << "pattern " << pattern;
        // Damaged payloads: cut short, and with bits flipped. Where the bits run out the rest of
        // the channel is silent and the decoder says so.
        for (int damage = 0; damage < 3; ++damage) {
            std::vector<uint8_t> bad(out.begin(), out.begin() + c.payloadBytes + 16);
            uint32_t bytes = c.payloadBytes;
            if (damage == 0) bytes = bytes / 2;
            for (int f = 0; damage > 0 && f < 4 * damage; ++f)
                bad[g.Next() % c.payloadBytes] ^= static_cast<uint8_t>(1u << (g.Next() % 8));
            std::memset(bad.data() + bytes, 0, 16);
            std::fill(back.begin(), back.end(), 12345);
            const bool ok = AudioFileKX64::DecodeChannel(bad.data(), bytes, c.predictor, c.k, c.coefficient,
                                                         back.data(), kBlock);
            if (damage == 0) {
                EXPECT_FALSE(ok) << "pattern " << pattern;
            }
            damaged.Add(&ok, 1);
            damaged.Add(back.data(), back.size() * 4);
        }
    }
    EXPECT_EQ(damaged.h, 0x94366dcf67586c62ull) << std::hex << "0x" << damaged.h;
    EXPECT_EQ(all.h, 0xe0ace31b0cafb2e4ull) << std::hex << "0x" << all.h;
}

// Material that makes the coder's sums leave the range where single precision is exact: large
// quotients from tiny steps followed by jumps, and loud residuals. The running float sums then
// round, and only their order gives the stored choices.
TEST(Kx64Golden, RoundedSumsFollowTheSampleOrder) {
    std::vector<uint8_t> out(AudioFileKX64::kMaxPayload + 16);
    std::vector<int32_t> x(kBlock), back(kBlock);
    Lcg g{7};
    for (int pattern = 0; pattern < 12; ++pattern) {
        const int32_t jump = 4000000 - 333333 * (pattern % 4);
        for (int i = 0; i < kBlock; ++i) {
            const int32_t noise = static_cast<int32_t>(g.Next() >> 29) - 4;
            switch (pattern / 4) {
            case 0: // tiny steps, then a jump: quotients near ±2^22
                x[i] = (i % 3 == 2) ? ((i / 3) % 2 ? jump : -jump) + noise : i % 3;
                break;
            case 1: // loud and narrow: magnitude sums far above 2^24
                x[i] = ((i / 7) % 2 ? jump : -jump) + noise * 1001;
                break;
            default: // loud and wide
                x[i] = static_cast<int32_t>(g.Next()) / (1 + pattern % 4);
                break;
            }
        }
        const AudioFileKX64::ChannelCode c = AudioFileKX64::EncodeChannel(x.data(), kBlock, out.data());
        const RefCode ref = ReferenceEncode(x.data(), kBlock);
        EXPECT_EQ(c.predictor, ref.predictor) << "pattern " << pattern;
        EXPECT_EQ(c.k, ref.k) << "pattern " << pattern;
        EXPECT_EQ(c.coefficient, ref.coefficient) << "pattern " << pattern;
        ASSERT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + c.payloadBytes), ref.bytes) << "pattern " << pattern;
        std::memset(out.data() + c.payloadBytes, 0, 16);
        ASSERT_TRUE(AudioFileKX64::DecodeChannel(out.data(), c.payloadBytes, c.predictor, c.k, c.coefficient,
                                                 back.data(), kBlock));
        ASSERT_EQ(back, x) << "pattern " << pattern;
    }
}

// Material built so that rounding in the running float sums changes the stored choices: the
// predictor (magnitude sums) and the adaptive coefficient (quotient sum). The coder must make
// the choices that summing in sample order makes.
TEST(Kx64Golden, ChoicesFollowTheSumOrderWhereItMatters) {
    std::vector<uint8_t> out(AudioFileKX64::kMaxPayload + 16);
    std::vector<int32_t> x(kBlock), back(kBlock);
    int predictorCases = 0, coefficientCases = 0;
    auto check = [&](const char* what, int64_t variant) {
        const RefCode ordered = ReferenceEncode(x.data(), kBlock);
        const RefCode exact = ReferenceEncode(x.data(), kBlock, true);
        if (ordered.predictor == exact.predictor && ordered.coefficient == exact.coefficient) return;
        predictorCases += ordered.predictor != exact.predictor;
        coefficientCases += ordered.coefficient != exact.coefficient;
        const AudioFileKX64::ChannelCode c = AudioFileKX64::EncodeChannel(x.data(), kBlock, out.data());
        EXPECT_EQ(c.predictor, ordered.predictor) << what << variant;
        EXPECT_EQ(c.coefficient, ordered.coefficient) << what << variant;
        EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + c.payloadBytes), ordered.bytes) << what << variant;
        std::memset(out.data() + c.payloadBytes, 0, 16);
        EXPECT_TRUE(AudioFileKX64::DecodeChannel(out.data(), c.payloadBytes, c.predictor, c.k, c.coefficient,
                                                 back.data(), kBlock));
        EXPECT_EQ(back, x) << what << variant;
    };
    // One loud sample, then small values flipping sign: sums just above 2^25 that lose the
    // small terms to rounding, next to sums that keep them — the means of predictors 0 and 4
    // then meet or part depending on the order of summing.
    for (int amp = 1; amp <= 7 && predictorCases < 3; ++amp) {
        for (int flips = 0; flips < 300 && predictorCases < 3; ++flips) {
            x[0] = 0;
            x[1] = 1 << 25;
            for (int i = 2; i < kBlock; ++i) x[i] = (i <= flips + 1 && i % 2) ? -amp : amp;
            check("magnitudes ", amp * 10000 + flips);
        }
    }
    // Tiny steps followed by jumps of about ±2^22 (samples still within ±2^22): quotients whose
    // running sum passes 2^24 and comes back near a multiple of 64, where the coefficient
    // changes.
    for (int32_t jump = 4000001; jump < 4000001 + 24 && coefficientCases < 3; ++jump) {
        for (int units = 40; units < 110 && coefficientCases < 3; ++units) {
            int i = 0;
            auto unit = [&](int32_t j) {
                for (int32_t v : {0, 1, 1 + j})
                    if (i < kBlock) x[i++] = v;
            };
            for (int u = 0; u < 5; ++u) unit(jump);
            for (int u = 0; u < 5; ++u) unit(-4000000);
            for (int u = 0; u < units; ++u) unit(2);
            while (i < kBlock) x[i++] = 0;
            check("quotients ", int64_t{jump} * 1000 + units);
        }
    }
    EXPECT_GT(predictorCases, 0);
    EXPECT_GT(coefficientCases, 0);
}

// The lossless storage format: coder choices, bit-exact layout, lossless round trips at every
// depth, seeking by groups and blocks, and damaged streams.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "AudioTestUtil.h"
#include "audiofile/AudioFileKX64.h"
#include "common/ByteIO.h"
#include "support/TempDir.h"

namespace {

constexpr int kBlock = AudioFileKX64::kBlockFrames;

// Floats that the writer turns back into exactly these integers: trunc(f × scale) == x.
std::vector<float> FloatsFor(const std::vector<int32_t>& ints, int channels, int bits, bool isFloat) {
    const int64_t frames = static_cast<int64_t>(ints.size()) / channels;
    std::vector<float> f(static_cast<size_t>(frames * 2));
    const double scale = bits == 8 ? 127.0 : bits == 16 ? 32767.0 : bits == 24 ? 8388607.0 : 2147483648.0;
    for (int64_t i = 0; i < frames; ++i) {
        for (int c = 0; c < 2; ++c) {
            int32_t x = ints[static_cast<size_t>(i * channels + (channels == 2 ? c : 0))];
            float v;
            if (isFloat) {
                std::memcpy(&v, &x, 4);
            } else {
                // Nudge toward zero-crossing-safe value: (|x| + 0.5) / scale keeps trunc at x.
                double d = (std::fabs(static_cast<double>(x)) + 0.5) / scale;
                v = static_cast<float>(x < 0 ? -d : d);
                if (bits == 32) v = static_cast<float>(x / 2147483648.0);
            }
            f[static_cast<size_t>(2 * i + c)] = v;
        }
    }
    return f;
}

// The integers the writer stores for these floats (what a lossless reader must give back).
std::vector<int32_t> Expected(const std::vector<float>& f, int channels, int bits, bool isFloat) {
    std::vector<int32_t> out;
    const double scale = bits == 8 ? 127.0 : bits == 16 ? 32767.0 : bits == 24 ? 8388607.0 : 2147483648.0;
    for (size_t i = 0; i + 1 < f.size(); i += 2) {
        float v = channels == 2 ? f[i] : (f[i] + f[i + 1]) / 2.0f;
        int32_t x;
        if (isFloat) std::memcpy(&x, &v, 4);
        else x = static_cast<int32_t>(std::min(std::trunc(v * scale), 2147483647.0));
        if (channels == 2) {
            int32_t y;
            if (isFloat) std::memcpy(&y, &f[i + 1], 4);
            else y = static_cast<int32_t>(std::min(std::trunc(f[i + 1] * scale), 2147483647.0));
            out.push_back(x);
            out.push_back(y);
        } else {
            out.push_back(x);
            out.push_back(x);
        }
    }
    return out;
}

bool WriteKx64(const TempDir& dir, const std::string& name, std::vector<float> f, int channels, int bits, bool isFloat,
               int32_t chunk = 3000) {
    AudioFileKX64 w(dir.Str(), name);
    if (!w.OpenWrite(static_cast<uint32_t>(channels), 44100, bits, isFloat ? 1 : 0)) return false;
    const int32_t frames = static_cast<int32_t>(f.size() / 2);
    for (int32_t at = 0; at < frames; at += chunk) w.WriteFloat(f.data() + 2 * at, std::min(chunk, frames - at));
    bool ok = w.FinishWrite();
    w.Close();
    return ok;
}

} // namespace

TEST(Kx64Coder, SilenceRampAndNoiseChooseTheExpectedPredictors) {
    std::vector<uint8_t> out(AudioFileKX64::kMaxPayload + 16);
    std::vector<int32_t> x(kBlock, 0);
    auto c = AudioFileKX64::EncodeChannel(x.data(), kBlock, out.data());
    EXPECT_EQ(c.predictor, 0);
    EXPECT_EQ(c.k, 0);
    EXPECT_EQ(c.payloadBytes, 256u); // a one bit and a sign bit per residual
    for (uint32_t i = 0; i < c.payloadBytes; ++i) ASSERT_EQ(out[i], 0xAA);

    for (int i = 0; i < kBlock; ++i) x[i] = 100 + 37 * i;
    c = AudioFileKX64::EncodeChannel(x.data(), kBlock, out.data());
    EXPECT_EQ(c.predictor, 2);
    std::vector<int32_t> back(kBlock, -1);
    ASSERT_TRUE(
        AudioFileKX64::DecodeChannel(out.data(), c.payloadBytes, c.predictor, c.k, c.coefficient, back.data(), kBlock));
    EXPECT_EQ(back, x);

    // A constant: predictors 1 to 4 all have mean 0, and the tie goes to the lowest.
    for (int i = 0; i < kBlock; ++i) x[i] = 5;
    c = AudioFileKX64::EncodeChannel(x.data(), kBlock, out.data());
    EXPECT_EQ(c.predictor, 1);

    // Extreme 32-bit values survive the wrapping predictors.
    for (int i = 0; i < kBlock; ++i) x[i] = (i % 3 == 0) ? INT32_MIN : (i % 3 == 1 ? INT32_MAX : -1);
    c = AudioFileKX64::EncodeChannel(x.data(), kBlock, out.data());
    ASSERT_LE(c.payloadBytes, static_cast<uint32_t>(AudioFileKX64::kMaxPayload));
    ASSERT_TRUE(
        AudioFileKX64::DecodeChannel(out.data(), c.payloadBytes, c.predictor, c.k, c.coefficient, back.data(), kBlock));
    EXPECT_EQ(back, x);
}

TEST(Kx64Coder, ResidualBitCodeMatchesTheLayout) {
    // Predictor 0 with values whose code is easy to follow by hand: all residuals are 3 except
    // one −6. Bit lengths: 3 → 2 (1023 times), −6 counts as 0, so k = 2 (first total > 682).
    std::vector<int32_t> x(kBlock, 3);
    x[0] = -6;
    std::vector<uint8_t> out(AudioFileKX64::kMaxPayload + 16);
    // Differences make predictor 1 best here except for the first two values; check both ways.
    auto c = AudioFileKX64::EncodeChannel(x.data(), kBlock, out.data());
    ASSERT_EQ(c.predictor, 1);
    // Residuals: −6, 9, then 0s. k: lengths 0 (−6), 4 (9), 0 × 1022 → k = 0.
    EXPECT_EQ(c.k, 0);
    // −6: m 6, q 6, L 3 → "000" "1" "10" (q below its leading one) + sign "1" → 0001101
    // 9: m 9, q 9, L 4 → "0000" "1" "001" + sign "0" → 000010010
    // then "10" per zero residual.
    std::string bits;
    for (uint32_t i = 0; i < 4; ++i)
        for (int b = 7; b >= 0; --b) bits += ((out[i] >> b) & 1) ? '1' : '0';
    EXPECT_EQ(bits.substr(0, 7 + 9 + 6), "0001101"
                                         "000010010"
                                         "101010");
    EXPECT_EQ(c.payloadBytes, (7u + 9u + 2u * 1022u + 7u) / 8u);
}

TEST(Kx64File, LosslessAtEveryDepthAndLength) {
    TempDir dir;
    struct Depth {
        int bits;
        bool isFloat;
    } depths[] = {{8, false}, {16, false}, {24, false}, {32, false}, {32, true}};
    for (const Depth& d : depths) {
        for (int ch = 1; ch <= 2; ++ch) {
            for (int64_t frames : {0, 1, 1023, 1024, 1025, 5000}) {
                SCOPED_TRACE("bits " + std::to_string(d.bits) + (d.isFloat ? " float" : "") + " ch " +
                             std::to_string(ch) + " frames " + std::to_string(frames));
                std::vector<int32_t> ints = MakeSignal(frames, ch, d.isFloat ? 32 : d.bits, 5);
                if (d.isFloat)
                    for (int32_t& x : ints) {
                        float f = static_cast<float>(x / 2147483648.0);
                        std::memcpy(&x, &f, 4);
                    }
                std::vector<float> f = FloatsFor(ints, ch, d.bits, d.isFloat);
                std::vector<int32_t> want = Expected(f, ch, d.bits, d.isFloat);
                ASSERT_TRUE(WriteKx64(dir, "t.kx64", f, ch, d.bits, d.isFloat));
                AudioFileKX64 r(dir.Str(), "t.kx64");
                ASSERT_TRUE(r.OpenRead()) << r.ErrorText();
                EXPECT_EQ(r.frames, frames);
                EXPECT_EQ(r.bits, d.bits);
                EXPECT_EQ(r.channels, static_cast<uint32_t>(ch));
                ASSERT_EQ(ReadAllInt(r, 700), want);
                if (frames > 0) {
                    ASSERT_TRUE(r.SeekFrame(0));
                    std::vector<float> back = ReadAllFloat(r, 4096);
                    ASSERT_EQ(back.size(), want.size());
                    const double scale = d.bits == 8 ? 128.0 : std::ldexp(1.0, d.bits - 1);
                    for (size_t i = 0; i < back.size(); ++i) {
                        float w;
                        if (d.isFloat) std::memcpy(&w, &want[i], 4);
                        else w = static_cast<float>(want[i] / scale);
                        ASSERT_EQ(back[i], w) << i;
                    }
                }
            }
        }
    }
}

TEST(Kx64File, HeaderLayoutAndGroupMarkers) {
    TempDir dir;
    const int64_t frames = 600 * kBlock + 100;
    std::vector<int32_t> ints = MakeSignal(frames, 2, 16, 9);
    ASSERT_TRUE(WriteKx64(dir, "g.kx64", FloatsFor(ints, 2, 16, false), 2, 16, false, 32768));
    std::vector<uint8_t> b = LoadBytes(dir / "g.kx64");
    ByteReader r(b);
    char tag[4];
    r.Bytes(tag, 4);
    EXPECT_EQ(std::string(tag, 4), "KX64");
    const uint64_t total = r.U64();
    r.Bytes(tag, 4);
    EXPECT_EQ(std::string(tag, 4), "PRMS");
    EXPECT_EQ(r.U64(), 156u);
    EXPECT_EQ(r.I64(), frames); // the true length, not whole blocks
    EXPECT_EQ(r.U32(), 1024u);
    EXPECT_EQ(r.U32(), 44100u);
    EXPECT_EQ(r.U32(), 3u);
    EXPECT_EQ(r.I16(), 2);
    EXPECT_EQ(r.I16(), 16);
    EXPECT_EQ(r.I16(), 2);
    EXPECT_EQ(r.I16(), 0);
    EXPECT_EQ(r.I32(), 512);
    r.Skip(124);
    r.Bytes(tag, 4);
    EXPECT_EQ(std::string(tag, 4), "SMPL");
    const uint64_t dataBytes = r.U64();
    EXPECT_EQ(dataBytes + 192, b.size());
    EXPECT_EQ(total, dataBytes + 172);

    // Walk the stream: markers before block 0 and block 512, the first with its group's length.
    size_t pos = 192;
    std::vector<size_t> markers;
    std::vector<uint32_t> markerLengths;
    int blocks = 0;
    while (pos < b.size()) {
        if (b[pos] == 0x55) {
            markers.push_back(pos);
            markerLengths.push_back(LoadLE32(&b[pos + 1]));
            pos += 5;
        } else {
            ASSERT_EQ(b[pos], 0xAA) << "at " << pos;
            const uint32_t len = LoadLE32(&b[pos + 1]);
            // The block length is the two channel records.
            const uint32_t p0 = LoadLE32(&b[pos + 5]);
            const uint32_t p1 = LoadLE32(&b[pos + 5 + 10 + p0]);
            ASSERT_EQ(len, 20 + p0 + p1);
            pos += 5 + len;
            ++blocks;
        }
    }
    EXPECT_EQ(pos, b.size());
    EXPECT_EQ(blocks, 601); // 600 whole blocks and the padded last one
    ASSERT_EQ(markers.size(), 2u);
    EXPECT_EQ(markers[0], 192u);
    EXPECT_EQ(markerLengths[0], markers[1] - (markers[0] + 5));
    EXPECT_EQ(markerLengths[1], 0u);
}

TEST(Kx64File, SeekFrameReturnsExactlyTheFollowingFrames) {
    TempDir dir;
    const int64_t frames = 513 * kBlock + 300; // two groups, a partial last block
    std::vector<int32_t> ints = MakeSignal(frames, 2, 24, 13);
    std::vector<float> f = FloatsFor(ints, 2, 24, false);
    std::vector<int32_t> want = Expected(f, 2, 24, false);
    ASSERT_TRUE(WriteKx64(dir, "s.kx64", f, 2, 24, false, 32768));
    AudioFileKX64 r(dir.Str(), "s.kx64");
    ASSERT_TRUE(r.OpenRead());
    std::vector<int32_t> buf(2 * 2000);
    for (int64_t at : {int64_t{0}, int64_t{1}, int64_t{1023}, int64_t{1024}, int64_t{1500}, int64_t{524287},
                       int64_t{524288}, int64_t{524289}, frames - 2000, frames - 1, int64_t{300000}}) {
        SCOPED_TRACE(at);
        ASSERT_TRUE(r.SeekFrame(at));
        const int32_t n = r.ReadInt(buf.data(), 2000);
        const int64_t expectN = std::min<int64_t>(2000, frames - at);
        ASSERT_EQ(n, expectN);
        for (int32_t i = 0; i < 2 * n; ++i) ASSERT_EQ(buf[i], want[static_cast<size_t>(2 * at + i)]) << i;
    }
    // At and past the end nothing follows.
    ASSERT_TRUE(r.SeekFrame(frames + 10));
    EXPECT_EQ(r.ReadInt(buf.data(), 10), 0);
    EXPECT_EQ(buf[0], 0);
}

TEST(Kx64File, MonoStoresTheExactMeanLikeThePcmWriters) {
    TempDir dir;
    // Left and right whose float sum rounds: the single-precision mean would store 26526.
    std::vector<float> f = {0x1.4f04cep-1f, 0x1.edf9acp-1f, 0x1.9d8ff4p-1f, 0x1.163696p-5f};
    ASSERT_TRUE(WriteKx64(dir, "mean.kx64", f, 1, 16, false));
    AudioFileKX64 r(dir.Str(), "mean.kx64");
    ASSERT_TRUE(r.OpenRead());
    float out[4];
    ASSERT_EQ(r.ReadFloat(out, 2), 2);
    EXPECT_EQ(out[0], 26527.0f / 32768.0f);
    EXPECT_EQ(out[2], 13789.0f / 32768.0f);
}

TEST(Kx64File, StoredExtremesAndMonoReadBack) {
    TempDir dir;
    // −8388608 is stored by a 24-bit writer for −1.0 only after saturation; write it directly
    // through the integer image and read −1.0.
    std::vector<float> f = {-1.0f, -1.0f, 0.5f, 0.25f};
    ASSERT_TRUE(WriteKx64(dir, "m.kx64", f, 1, 24, false));
    AudioFileKX64 r(dir.Str(), "m.kx64");
    ASSERT_TRUE(r.OpenRead());
    float out[4];
    ASSERT_EQ(r.ReadFloat(out, 2), 2);
    EXPECT_EQ(out[0], out[1]);
    EXPECT_EQ(out[0], static_cast<float>(-8388607.0 / 8388608.0));
    EXPECT_EQ(out[2], out[3]);
    EXPECT_EQ(out[2], static_cast<float>(static_cast<int32_t>(0.375 * 8388607) / 8388608.0));
    // A hand-made stream of the lowest 24-bit value: −1.0 exactly.
    std::vector<uint8_t> b = LoadBytes(dir / "m.kx64");
    std::vector<int32_t> low(kBlock, -8388608);
    std::vector<uint8_t> payload(AudioFileKX64::kMaxPayload + 16);
    auto c = AudioFileKX64::EncodeChannel(low.data(), kBlock, payload.data());
    b.resize(192 + 5);
    ByteWriter w;
    w.U8(0xAA);
    w.U32(10 + c.payloadBytes);
    w.U32(c.payloadBytes);
    w.U8(static_cast<uint8_t>(c.predictor));
    w.U8(static_cast<uint8_t>(c.k));
    w.I32(c.coefficient);
    w.Bytes(payload.data(), c.payloadBytes);
    b.insert(b.end(), w.Data().begin(), w.Data().end());
    StoreLE32(&b[184], static_cast<uint32_t>(b.size() - 192));
    SaveBytes(dir / "low.kx64", b);
    AudioFileKX64 lowFile(dir.Str(), "low.kx64");
    ASSERT_TRUE(lowFile.OpenRead());
    ASSERT_EQ(lowFile.ReadFloat(out, 2), 2);
    EXPECT_EQ(out[0], -1.0f);
    EXPECT_EQ(out[3], -1.0f);
}

TEST(Kx64File, DamagedStreamsEndCleanly) {
    TempDir dir;
    std::vector<int32_t> ints = MakeSignal(5000, 2, 16, 17);
    ASSERT_TRUE(WriteKx64(dir, "d.kx64", FloatsFor(ints, 2, 16, false), 2, 16, false));
    const std::vector<uint8_t> good = LoadBytes(dir / "d.kx64");
    // Truncated inside the third block: the first two blocks read, then silence.
    std::vector<uint8_t> b = good;
    size_t pos = 192 + 5;
    for (int i = 0; i < 2; ++i) pos += 5 + LoadLE32(&b[pos + 1]);
    b.resize(pos + 40);
    SaveBytes(dir / "t.kx64", b);
    AudioFileKX64 t(dir.Str(), "t.kx64");
    ASSERT_TRUE(t.OpenRead());
    std::vector<int32_t> all = ReadAllInt(t, 512);
    EXPECT_EQ(all.size(), 2u * 2 * kBlock);

    // A bad predictor byte, a huge payload length and a lost block marker.
    for (int variant = 0; variant < 3; ++variant) {
        b = good;
        if (variant == 0) b[192 + 5 + 5 + 4] = 9;
        if (variant == 1) StoreLE32(&b[192 + 5 + 5], 0x7FFFFFFF);
        if (variant == 2) b[192 + 5] = 0x00;
        SaveBytes(dir / "v.kx64", b);
        AudioFileKX64 v(dir.Str(), "v.kx64");
        ASSERT_TRUE(v.OpenRead());
        std::vector<int32_t> buf(2 * 6000, 1);
        EXPECT_EQ(v.ReadInt(buf.data(), 6000), 0) << variant;
        EXPECT_EQ(buf[0], 0);
        // Seeking skips blocks by their lengths: past a damaged payload the stream reads again.
        EXPECT_TRUE(v.SeekFrame(3000));
        EXPECT_EQ(v.ReadInt(buf.data(), 10), variant == 2 ? 0 : 10);
    }

    // Header damage gives the messages.
    auto openMsg = [&](std::vector<uint8_t> bytes) {
        SaveBytes(dir / "h.kx64", bytes);
        AudioFileKX64 h(dir.Str(), "h.kx64");
        return h.OpenRead() ? std::string() : h.ErrorText();
    };
    EXPECT_EQ(openMsg({'K', 'X'}), "No data found (truncated?).");
    EXPECT_EQ(openMsg({'K', 'X', '6', '5', 0, 0, 0, 0}), "No KX64 chunk.");
    b = good;
    b.resize(100);
    EXPECT_EQ(openMsg(b), "Incomplete PRMS chunk (malformed?).");
    b = good;
    std::memcpy(&b[12], "XXXX", 4);
    StoreLE32(&b[16], 0xFFFFFF00);
    EXPECT_EQ(openMsg(b), "No PRMS/SMPL chunks found (malformed?).");
    b = good;
    StoreLE16(&b[24 + 20], 5);
    EXPECT_NE(openMsg(b).find("channels"), std::string::npos);
    b = good;
    StoreLE16(&b[24 + 22], 24);
    StoreLE16(&b[24 + 24], 4);
    EXPECT_EQ(openMsg(b), "Zero-padded 24bit not supported.");
    b = good;
    StoreLE32(&b[24 + 8], 1000000);
    EXPECT_NE(openMsg(b), "");
}

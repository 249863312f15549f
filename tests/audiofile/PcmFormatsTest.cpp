// WAV, AIFF, SUN and raw files: read against files made by real tools, written files read
// back by sox, and the header cases the readers must handle or refuse.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "AudioTestUtil.h"
#include "audiofile/AudioFileAiff.h"
#include "audiofile/AudioFileRaw.h"
#include "audiofile/AudioFileSUN.h"
#include "audiofile/AudioFileWav.h"
#include "audiofile/FormatProbe.h"
#include "common/ByteIO.h"
#include "support/OracleTool.h"
#include "support/TempDir.h"

namespace {

struct Depth {
    int bits;
    bool isFloat;
};
const Depth kDepths[] = {{8, false}, {16, false}, {24, false}, {32, false}, {32, true}};

std::unique_ptr<AudioFile> MakeFile(const std::string& ext, const std::string& folder, const std::string& name) {
    if (ext == "wav") return std::make_unique<AudioFileWav>(folder, name);
    if (ext == "aiff") return std::make_unique<AudioFileAiff>(folder, name);
    return std::make_unique<AudioFileSUN>(folder, name);
}

// Source samples for a depth: integers at that depth, or float bit patterns.
std::vector<int32_t> SourceFor(const Depth& d, int64_t frames, int ch) {
    // sox carries samples as 32-bit integers inside, so float material with 24 significant
    // bits passes through it unchanged.
    std::vector<int32_t> v = MakeSignal(frames, ch, d.isFloat ? 24 : d.bits, 7);
    if (d.isFloat) {
        for (int32_t& x : v) {
            float f = static_cast<float>(x / 8388608.0);
            std::memcpy(&x, &f, 4);
        }
    }
    return v;
}

// Writes samples as little-endian raw at the depth (8-bit signed).
void SaveRaw(const std::filesystem::path& p, const std::vector<int32_t>& v, int bytes) {
    std::vector<uint8_t> b;
    for (int32_t x : v)
        for (int i = 0; i < bytes; ++i) b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(x) >> (8 * i)));
    SaveBytes(p, b);
}

std::string SoxEncoding(const Depth& d) {
    return std::string(d.isFloat ? "-e floating-point" : "-e signed-integer") + " -b " + std::to_string(d.bits);
}

// Inserts an odd-sized chunk right after the form header and appends another after the last
// chunk, fixing the form size; big-endian sizes for AIFF.
void AddExtraChunks(const std::filesystem::path& p, bool bigEndian) {
    std::vector<uint8_t> b = LoadBytes(p);
    auto size = [&](uint32_t n, uint8_t* out) { bigEndian ? StoreBE32(out, n) : StoreLE32(out, n); };
    std::vector<uint8_t> front = {'J', 'U', 'N', 'K', 0, 0, 0, 0, 1, 2, 3, 4, 5, 0};
    size(5, &front[4]);
    if (b.size() % 2) b.push_back(0);
    std::vector<uint8_t> back = {'A', 'P', 'P', 'L', 0, 0, 0, 0, 9, 9, 9, 0};
    size(3, &back[4]);
    b.insert(b.begin() + 12, front.begin(), front.end());
    b.insert(b.end(), back.begin(), back.end());
    size(static_cast<uint32_t>(b.size() - 8), &b[4]);
    SaveBytes(p, b);
}

} // namespace

TEST(PcmPeers, ReadsFilesMadeBySoxSampleExact) {
    REQUIRE_TOOL("sox");
    TempDir dir;
    const int64_t frames = 3001; // odd: 8-bit and 24-bit mono data chunks need a pad byte
    for (const std::string ext : {"wav", "aiff", "au"}) {
        for (const Depth& d : kDepths) {
            if (ext == "aiff" && d.isFloat) continue; // AIFF holds integers only
            for (int ch = 1; ch <= 2; ++ch) {
                SCOPED_TRACE(ext + " bits " + std::to_string(d.bits) + (d.isFloat ? " float" : "") + " ch " +
                             std::to_string(ch));
                std::vector<int32_t> src = SourceFor(d, frames, ch);
                SaveRaw(dir / "src.raw", src, d.bits / 8);
                const std::string name = "in." + ext;
                ASSERT_EQ(0, RunCommand("sox -D -t raw -r 44100 " + SoxEncoding(d) + " -c " + std::to_string(ch) +
                                        " -L " + (dir / "src.raw").string() + " " + (dir / name).string()));
                if (ext != "au") AddExtraChunks(dir / name, ext == "aiff");
                auto f = MakeFile(ext, dir.Str(), name);
                ASSERT_TRUE(f->OpenRead()) << f->ErrorText();
                EXPECT_EQ(f->frames, frames);
                EXPECT_EQ(f->channels, static_cast<uint32_t>(ch));
                EXPECT_EQ(f->bits, d.bits);
                EXPECT_EQ(f->rate, 44100);
                EXPECT_EQ(f->sampleType, d.isFloat ? kSampleFloat : kSampleInt);
                std::vector<int32_t> got = ReadAllInt(*f, 1000);
                ASSERT_EQ(got.size(), static_cast<size_t>(frames * 2));
                for (int64_t i = 0; i < frames; ++i) {
                    int32_t l = src[static_cast<size_t>(i * ch)];
                    int32_t r = ch == 2 ? src[static_cast<size_t>(i * ch + 1)] : l;
                    ASSERT_EQ(got[static_cast<size_t>(2 * i)], l) << "frame " << i;
                    ASSERT_EQ(got[static_cast<size_t>(2 * i + 1)], r) << "frame " << i;
                }
                // Floats: the integer over 2^(bits−1), floats as stored.
                ASSERT_TRUE(f->SeekFrame(1234));
                float fl[2];
                ASSERT_EQ(f->ReadFloat(fl, 1), 1);
                int32_t x = src[static_cast<size_t>(1234 * ch)];
                float want;
                if (d.isFloat) std::memcpy(&want, &x, 4);
                else want = static_cast<float>(x / std::ldexp(1.0, d.bits - 1));
                EXPECT_EQ(fl[0], want);
            }
        }
    }
}

TEST(PcmPeers, ReadsExtensibleWavFromFfmpegAndLibsndfile) {
    TempDir dir;
    std::vector<int32_t> src = MakeSignal(2000, 2, 24, 3);
    SaveRaw(dir / "src.raw", src, 3);
    std::vector<std::string> made;
    if (HaveOracleTool("ffmpeg")) {
        ASSERT_EQ(0, RunCommand("ffmpeg -v error -f s24le -ar 48000 -ac 2 -i " + (dir / "src.raw").string() +
                                " -c:a pcm_s24le -rf64 never " + (dir / "ff.wav").string()));
        made.push_back("ff.wav");
    }
    if (HaveOracleTool("sndfile-convert") && HaveOracleTool("sox")) {
        // libsndfile writes the extensible header for this layout on request via the .wavex name.
        ASSERT_EQ(0, RunCommand("sox -D -t raw -r 48000 -e signed-integer -b 24 -c 2 -L " + (dir / "src.raw").string() +
                                " " + (dir / "s.wav").string()));
        ASSERT_EQ(0, RunCommand("sndfile-convert -pcm24 " + (dir / "s.wav").string() + " " +
                                (dir / "sf.wavex").string() + " >/dev/null"));
        std::filesystem::rename(dir / "sf.wavex", dir / "sf.wav");
        made.push_back("sf.wav");
    }
    if (made.empty()) SKIP_FOR_MISSING_TOOLS("ffmpeg and libsndfile tools");
    for (const std::string& name : made) {
        SCOPED_TRACE(name);
        AudioFileWav f(dir.Str(), name);
        ASSERT_TRUE(f.OpenRead()) << f.ErrorText();
        EXPECT_EQ(f.rate, 48000);
        EXPECT_EQ(f.bits, 24);
        EXPECT_EQ(ReadAllInt(f), src);
    }
}

TEST(PcmPeers, SoxReadsWhatWeWrite) {
    REQUIRE_TOOL("sox");
    TempDir dir;
    const int64_t frames = 2001;
    // Floats whose integer images are known: left and right differ, so mono takes the mean.
    std::vector<float> input(static_cast<size_t>(frames * 2));
    std::vector<int32_t> base = MakeSignal(frames, 2, 24, 11);
    for (size_t i = 0; i < input.size(); ++i) input[i] = static_cast<float>(base[i] / 8388608.0);
    input[0] = 1.0f; // full scale clamps instead of wrapping at 32 bits
    input[1] = -1.0f;
    for (const std::string ext : {"wav", "aiff", "au"}) {
        for (const Depth& d : kDepths) {
            if (ext == "aiff" && d.isFloat) continue;
            for (int ch = 1; ch <= 2; ++ch) {
                SCOPED_TRACE(ext + " bits " + std::to_string(d.bits) + (d.isFloat ? " float" : "") + " ch " +
                             std::to_string(ch));
                const std::string name = "out." + ext;
                auto f = MakeFile(ext, dir.Str(), name);
                ASSERT_TRUE(f->OpenWrite(static_cast<uint32_t>(ch), 22050, d.bits, d.isFloat ? 1 : 0))
                    << f->ErrorText();
                std::vector<float> buf = input;
                // Two calls: the header sizes must add up over several writes.
                f->WriteFloat(buf.data(), 1000);
                f->WriteFloat(buf.data() + 2000, static_cast<int32_t>(frames - 1000));
                ASSERT_TRUE(f->FinishWrite());
                f->Close();
                const std::string enc = d.isFloat ? "-e floating-point -b 32" : "-e signed-integer -b 32";
                ASSERT_EQ(0, RunCommand("sox -D " + (dir / name).string() + " -t raw " + enc + " -L " +
                                        (dir / "back.raw").string()));
                std::vector<uint8_t> raw = LoadBytes(dir / "back.raw");
                ASSERT_EQ(raw.size(), static_cast<size_t>(frames * ch * 4));
                for (int64_t i = 0; i < frames; ++i) {
                    for (int c = 0; c < ch; ++c) {
                        const float l = input[static_cast<size_t>(2 * i)], r = input[static_cast<size_t>(2 * i + 1)];
                        // Mono: the float mean for float output, the exact mean for integers.
                        const double v = ch == 2     ? (c == 0 ? l : r)
                                         : d.isFloat ? (l + r) / 2.0f
                                                     : (static_cast<double>(l) + r) * 0.5;
                        const uint32_t got = LoadLE32(&raw[static_cast<size_t>((i * ch + c) * 4)]);
                        if (d.isFloat) {
                            float g;
                            std::memcpy(&g, &got, 4);
                            ASSERT_EQ(g, static_cast<float>(v)) << "frame " << i;
                            continue;
                        }
                        const double scale = d.bits == 32 ? 2147483648.0 : std::ldexp(1.0, d.bits - 1) - 1;
                        double t = std::trunc(v * scale);
                        if (ext == "wav" && d.bits == 8) // unsigned: the offset is inside the truncation
                            t = std::trunc(v * scale + 128.0) - 128.0;
                        t = std::min(t, std::ldexp(1.0, d.bits - 1) - 1);
                        int64_t want = static_cast<int64_t>(t) * (int64_t{1} << (32 - d.bits));
                        ASSERT_EQ(static_cast<int32_t>(got), want) << "frame " << i;
                    }
                }
            }
        }
    }
}

// ---------------------------------------------------------------------------------------
// Hand-made headers

namespace {

struct WavSpec {
    uint16_t tag = 1;
    uint16_t channels = 2;
    uint32_t rate = 44100;
    uint16_t blockAlign = 4;
    uint16_t bits = 16;
    uint32_t dataSize = 0xFFFFFFFF; // the real size
    int extensibleSub = -1;         // ≥ 0: a 40-byte extensible fmt with this sub-format
    bool listFirst = false;
};

std::vector<uint8_t> MakeWav(const WavSpec& s, const std::vector<uint8_t>& data) {
    ByteWriter w;
    w.Bytes("RIFF", 4);
    w.U32(0);
    w.Bytes("WAVE", 4);
    if (s.listFirst) {
        w.Bytes("LIST", 4);
        w.U32(4);
        w.Bytes("INFO", 4);
    }
    w.Bytes("fmt ", 4);
    w.U32(s.extensibleSub >= 0 ? 40 : 16);
    w.U16(s.tag);
    w.U16(s.channels);
    w.U32(s.rate);
    w.U32(s.rate * s.blockAlign);
    w.U16(s.blockAlign);
    w.U16(s.bits);
    if (s.extensibleSub >= 0) {
        const uint8_t tail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        w.U16(22);
        w.U16(s.bits);
        w.U32(3);
        w.U16(static_cast<uint16_t>(s.extensibleSub));
        w.U16(0);
        w.Bytes(tail, 12);
    }
    w.Bytes("data", 4);
    w.U32(s.dataSize == 0xFFFFFFFF ? static_cast<uint32_t>(data.size()) : s.dataSize);
    w.Bytes(data.data(), data.size());
    w.PatchU32(4, static_cast<uint32_t>(w.Size() - 8));
    return w.Data();
}

// Opens bytes as a WAV; returns the error text ("" on success).
std::string OpenWavBytes(TempDir& dir, const std::vector<uint8_t>& bytes, AudioFileWav** keep = nullptr) {
    SaveBytes(dir / "t.wav", bytes);
    static std::unique_ptr<AudioFileWav> f;
    f = std::make_unique<AudioFileWav>(dir.Str(), "t.wav");
    bool ok = f->OpenRead();
    if (keep) *keep = f.get();
    return ok ? "" : f->ErrorText();
}

} // namespace

TEST(WavHeaders, AcceptsAndRefusesFormatTagsWithTheRightMessages) {
    TempDir dir;
    const std::vector<uint8_t> data(16, 0);
    const std::string mpeg = "May contain MPEG data. Rename to .mp3 and retry, please.";
    WavSpec s;
    EXPECT_EQ(OpenWavBytes(dir, MakeWav(s, data)), "");
    s.extensibleSub = 1;
    s.tag = 0xFFFE;
    EXPECT_EQ(OpenWavBytes(dir, MakeWav(s, data)), "") << "extensible integer PCM";
    s.extensibleSub = 3;
    s.bits = 32;
    s.blockAlign = 8;
    AudioFileWav* f = nullptr;
    EXPECT_EQ(OpenWavBytes(dir, MakeWav(s, data), &f), "") << "extensible float";
    EXPECT_EQ(f->sampleType, kSampleFloat);
    // The hint goes with the tag as stored: 0xFFFE has both bits of 0x5000, whatever its
    // sub-format; the plain MPEG tags 0x50 and 0x55 have neither.
    s.extensibleSub = 0x55;
    EXPECT_EQ(OpenWavBytes(dir, MakeWav(s, data)), mpeg);
    s.extensibleSub = 2;
    EXPECT_EQ(OpenWavBytes(dir, MakeWav(s, data)), mpeg);
    s.extensibleSub = -1;
    EXPECT_EQ(OpenWavBytes(dir, MakeWav(s, data)), mpeg);
    for (uint16_t tag : {0x5000, 0x7001, 0xF000}) {
        s.tag = tag;
        EXPECT_EQ(OpenWavBytes(dir, MakeWav(s, data)), mpeg) << tag;
    }
    for (uint16_t tag : {0x0002, 0x0050, 0x0055, 0x1000, 0x4000, 0x4FFF}) {
        s.tag = tag;
        EXPECT_EQ(OpenWavBytes(dir, MakeWav(s, data)), "Unsupported sample datatype.") << tag;
    }
    s.tag = 3;
    s.bits = 16;
    s.blockAlign = 4;
    EXPECT_EQ(OpenWavBytes(dir, MakeWav(s, data)), "Unsupported sample datatype.") << "16-bit float";
}

TEST(WavHeaders, RefusesUnusableLayoutsClearly) {
    TempDir dir;
    const std::vector<uint8_t> data(48, 0);
    WavSpec s;
    s.bits = 24;
    s.blockAlign = 8;
    EXPECT_EQ(OpenWavBytes(dir, MakeWav(s, data)), "Zero-padded 24bit not supported.");
    s.bits = 20;
    s.blockAlign = 6;
    AudioFileWav* f = nullptr;
    EXPECT_EQ(OpenWavBytes(dir, MakeWav(s, data), &f), "");
    EXPECT_EQ(f->bits, 24);
    EXPECT_EQ(f->frames, 8);
    WavSpec bad;
    bad.channels = 3;
    EXPECT_NE(OpenWavBytes(dir, MakeWav(bad, data)).find("channels"), std::string::npos);
    bad = WavSpec();
    bad.channels = 0;
    EXPECT_NE(OpenWavBytes(dir, MakeWav(bad, data)), "");
    bad = WavSpec();
    bad.bits = 64;
    bad.tag = 3;
    EXPECT_NE(OpenWavBytes(dir, MakeWav(bad, data)), "");
    bad = WavSpec();
    bad.bits = 4;
    EXPECT_NE(OpenWavBytes(dir, MakeWav(bad, data)).find("bits"), std::string::npos);
    bad = WavSpec();
    bad.rate = 0;
    EXPECT_NE(OpenWavBytes(dir, MakeWav(bad, data)).find("rate"), std::string::npos);

    EXPECT_EQ(OpenWavBytes(dir, {'R', 'I', 'F'}), "No data found (truncated?).");
    EXPECT_EQ(OpenWavBytes(dir, {'R', 'I', 'F', 'X', 0, 0, 0, 0}), "No RIFF chunk.");
    EXPECT_EQ(OpenWavBytes(dir, {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V'}), "No WAVE chunk.");
    std::vector<uint8_t> noData = MakeWav(WavSpec(), data);
    noData.resize(36); // fmt only
    EXPECT_EQ(OpenWavBytes(dir, noData), "No FMT/DATA chunks found (malformed?).");
    // A chunk size far beyond the file ends the walk cleanly.
    std::vector<uint8_t> huge = MakeWav(WavSpec(), data);
    StoreLE32(&huge[16], 0x7FFFFFF0);
    EXPECT_EQ(OpenWavBytes(dir, huge), "No FMT/DATA chunks found (malformed?).");
}

TEST(WavHeaders, DataSizesAreHeldToTheFile) {
    TempDir dir;
    std::vector<uint8_t> data(40);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
    WavSpec s;
    s.listFirst = true;
    s.dataSize = 0; // runs to the end of the file
    AudioFileWav* f = nullptr;
    ASSERT_EQ(OpenWavBytes(dir, MakeWav(s, data), &f), "");
    EXPECT_EQ(f->dataBytes, 40);
    EXPECT_EQ(f->frames, 10);
    s.dataSize = 1000000; // a streaming writer's guess, beyond the file
    ASSERT_EQ(OpenWavBytes(dir, MakeWav(s, data), &f), "");
    EXPECT_EQ(f->frames, 10);
    // A short read returns the real frames and zero-fills the rest.
    std::vector<float> buf(64, 7.0f);
    EXPECT_EQ(f->ReadFloat(buf.data(), 32), 10);
    EXPECT_EQ(buf[0], static_cast<float>(0x0100) / 32768);
    for (size_t i = 20; i < 64; ++i) ASSERT_EQ(buf[i], 0.0f);
    EXPECT_EQ(f->ReadFloat(buf.data(), 32), 0);
    // Seeking back delivers the same frames again.
    ASSERT_TRUE(f->SeekFrame(9));
    std::vector<int32_t> ints(4);
    EXPECT_EQ(f->ReadInt(ints.data(), 2), 1);
    EXPECT_EQ(ints[0], 0x2524);
    EXPECT_EQ(ints[1], 0x2726);
}

TEST(PcmConversions, EightBitAndMonoFollowTheTables) {
    TempDir dir;
    WavSpec s;
    s.channels = 1;
    s.bits = 8;
    s.blockAlign = 1;
    AudioFileWav* f = nullptr;
    ASSERT_EQ(OpenWavBytes(dir, MakeWav(s, {0x80, 0x00, 0xFF}), &f), "");
    float buf[6];
    ASSERT_EQ(f->ReadFloat(buf, 3), 3);
    EXPECT_EQ(buf[0], 0.0f);
    EXPECT_EQ(buf[1], 0.0f);
    EXPECT_EQ(buf[2], -1.0f);
    EXPECT_EQ(buf[3], -1.0f);
    EXPECT_EQ(buf[4], 127.0f / 128);
    EXPECT_EQ(buf[5], 127.0f / 128);

    // Mono 16-bit output stores trunc((L + R) / 2 × 32767); out-of-range input saturates.
    AudioFileWav w(dir.Str(), "m.wav");
    ASSERT_TRUE(w.OpenWrite(1, 8000, 16, 0));
    float in[8] = {0.5f, 0.25f, -0.3f, -0.1f, 1.5f, 1.5f, -2.0f, -2.0f};
    EXPECT_EQ(w.WriteFloat(in, 4), 8);
    ASSERT_TRUE(w.FinishWrite());
    w.Close();
    std::vector<uint8_t> b = LoadBytes(dir / "m.wav");
    ASSERT_EQ(b.size(), 52u);
    EXPECT_EQ(static_cast<int16_t>(LoadLE16(&b[44])), static_cast<int16_t>(0.375 * 32767));
    EXPECT_EQ(static_cast<int16_t>(LoadLE16(&b[46])), static_cast<int16_t>(-0.2f * 32767.0));
    EXPECT_EQ(static_cast<int16_t>(LoadLE16(&b[48])), 32767);
    EXPECT_EQ(static_cast<int16_t>(LoadLE16(&b[50])), -32768);
    EXPECT_EQ(LoadLE32(&b[4]), 44u);
    EXPECT_EQ(LoadLE32(&b[40]), 8u);

    // 32-bit integer output of +1.0 is the largest value, not a wrapped negative one.
    AudioFileRaw r(dir.Str(), "x.raw");
    ASSERT_TRUE(r.OpenWrite(2, 8000, 32, kRawIntBE));
    float full[2] = {1.0f, -1.0f};
    r.WriteFloat(full, 1);
    ASSERT_TRUE(r.FinishWrite());
    r.Close();
    b = LoadBytes(dir / "x.raw");
    ASSERT_EQ(b.size(), 8u);
    EXPECT_EQ(LoadBE32(&b[0]), 0x7FFFFFFFu);
    EXPECT_EQ(LoadBE32(&b[4]), 0x80000000u);
}

// Mono output is trunc((L + R) / 2 × scale) of the true mean. These pairs are ones where a
// mean rounded to float first lands on the other side of an integer at 16 bits; the values
// were worked out in exact rational arithmetic.
TEST(PcmConversions, MonoOutputTruncatesTheExactMean) {
    TempDir dir;
    float in[4] = {0x1.4f04cep-1f, 0x1.edf9acp-1f, 0x1.9d8ff4p-1f, 0x1.163696p-5f};
    struct Case {
        int bits;
        int32_t first, second;
    } cases[] = {{8, 102 + 128, 53 + 128}, {16, 26527, 13789}, {24, 6791118, 3530347}, {32, 1738526528, 903769004}};
    for (const Case& c : cases) {
        AudioFileWav w(dir.Str(), "mono.wav");
        ASSERT_TRUE(w.OpenWrite(1, 44100, c.bits, 0));
        float buf[4];
        std::memcpy(buf, in, sizeof buf);
        EXPECT_EQ(w.WriteFloat(buf, 2), 2 * c.bits / 8);
        ASSERT_TRUE(w.FinishWrite());
        w.Close();
        const std::vector<uint8_t> b = LoadBytes(dir / "mono.wav");
        ASSERT_GE(b.size(), 44u + 2 * c.bits / 8);
        auto sample = [&](int i) -> int32_t {
            const uint8_t* p = &b[44 + static_cast<size_t>(i * c.bits / 8)];
            switch (c.bits) {
            case 8: return p[0];
            case 16: return static_cast<int16_t>(LoadLE16(p));
            case 24: return static_cast<int32_t>((p[0] | (p[1] << 8) | (p[2] << 16)) << 8) >> 8;
            default: return static_cast<int32_t>(LoadLE32(p));
            }
        };
        EXPECT_EQ(sample(0), c.first) << c.bits;
        EXPECT_EQ(sample(1), c.second) << c.bits;
    }
    // Big-endian writers take the same mean.
    AudioFileAiff a(dir.Str(), "mono.aiff");
    ASSERT_TRUE(a.OpenWrite(1, 44100, 16, 0));
    float buf[4];
    std::memcpy(buf, in, sizeof buf);
    a.WriteFloat(buf, 2);
    ASSERT_TRUE(a.FinishWrite());
    a.Close();
    const std::vector<uint8_t> b = LoadBytes(dir / "mono.aiff");
    ASSERT_GE(b.size(), 58u);
    EXPECT_EQ(static_cast<int16_t>(LoadBE16(&b[54])), 26527);
    EXPECT_EQ(static_cast<int16_t>(LoadBE16(&b[56])), 13789);
}

TEST(PcmConversions, RawByteOrderCodes) {
    TempDir dir;
    SaveBytes(dir / "s.raw", {0x12, 0x34, 0x56, 0xFF, 0x00, 0x80});
    struct Case {
        int bits;
        int32_t code;
        uint32_t ch;
        int32_t first;
    } cases[] = {{16, kRawIntLE, 1, 0x3412},   {16, kRawIntBE, 1, 0x1234}, {24, kRawIntBE, 2, 0x123456},
                 {24, kRawIntLE, 2, 0x563412}, {8, kRawIntLE, 2, 0x12},    {8, kRawFloatLE, 2, 0x12 - 128}};
    for (const Case& c : cases) {
        AudioFileRaw f(dir.Str(), "s.raw");
        f.bits = c.bits;
        f.sampleType = c.code;
        f.channels = c.ch;
        f.rate = 8000;
        ASSERT_TRUE(f.OpenRead());
        EXPECT_EQ(f.frames, 6 / (c.bits / 8 * static_cast<int>(c.ch)));
        int32_t v[2];
        ASSERT_EQ(f.ReadInt(v, 1), 1);
        EXPECT_EQ(v[0], c.first) << c.bits << " " << c.code;
    }
    AudioFileRaw bad(dir.Str(), "s.raw");
    bad.bits = 12;
    EXPECT_FALSE(bad.OpenRead());
    EXPECT_FALSE(bad.ErrorText().empty());
}

TEST(AiffHeaders, RateFieldEncodingAndRoundTrips) {
    uint8_t ext[10];
    AudioFileAiff::EncodeRate(44100, ext);
    const uint8_t want[10] = {0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(ext, want, 10), 0);
    for (int32_t r : {8000, 11025, 22050, 44100, 48000, 96000, 192000, 384000}) {
        AudioFileAiff::EncodeRate(r, ext);
        EXPECT_EQ(AudioFileAiff::DecodeRate(ext), r);
    }
    TempDir dir;
    AudioFileAiff w(dir.Str(), "a.aiff");
    ASSERT_TRUE(w.OpenWrite(1, 96000, 24, 0));
    float in[6] = {0.5f, 0.5f, -0.5f, -0.5f, 0.25f, 0.25f};
    w.WriteFloat(in, 3); // 9 bytes: odd, so a pad byte follows
    ASSERT_TRUE(w.FinishWrite());
    w.Close();
    std::vector<uint8_t> b = LoadBytes(dir / "a.aiff");
    EXPECT_EQ(b.size(), 54u + 9 + 1);
    EXPECT_EQ(LoadBE32(&b[22]), 3u);
    EXPECT_EQ(LoadBE32(&b[42]), 17u);
    AudioFileAiff r(dir.Str(), "a.aiff");
    ASSERT_TRUE(r.OpenRead()) << r.ErrorText();
    EXPECT_EQ(r.rate, 96000);
    EXPECT_EQ(r.frames, 3);
    EXPECT_EQ(ReadAllInt(r), (std::vector<int32_t>{4194303, 4194303, -4194303, -4194303, 2097151, 2097151}));

    // An AIFF-C form is read as well; this one has no chunks at all.
    SaveBytes(dir / "c.aiff", {'F', 'O', 'R', 'M', 0, 0, 0, 4, 'A', 'I', 'F', 'C'});
    AudioFileAiff c(dir.Str(), "c.aiff");
    EXPECT_FALSE(c.OpenRead());
    EXPECT_EQ(c.ErrorText(), "No COMM/SSND chunks found (malformed?).");
    SaveBytes(dir / "d.aiff", {'F', 'O', 'R', 'M', 0, 0, 0, 4, 'A', 'I', 'F', 'X'});
    AudioFileAiff d(dir.Str(), "d.aiff");
    EXPECT_FALSE(d.OpenRead());
    EXPECT_EQ(d.ErrorText(), "No AIFF chunk.");
}

TEST(SunHeaders, EncodingsAndDamagedHeaders) {
    TempDir dir;
    auto sun = [&](uint32_t offset, uint32_t enc, uint32_t rate, uint32_t ch, size_t dataBytes) {
        std::vector<uint8_t> b(24 + dataBytes, 0);
        std::memcpy(b.data(), ".snd", 4);
        StoreBE32(&b[4], offset);
        StoreBE32(&b[8], 0xFFFFFFFF);
        StoreBE32(&b[12], enc);
        StoreBE32(&b[16], rate);
        StoreBE32(&b[20], ch);
        SaveBytes(dir / "s.au", b);
        AudioFileSUN f(dir.Str(), "s.au");
        return f.OpenRead() ? std::string() : f.ErrorText();
    };
    EXPECT_EQ(sun(24, 3, 8000, 2, 8), "");
    EXPECT_EQ(sun(24, 1, 8000, 1, 8), "Encoding not supported.");
    EXPECT_EQ(sun(1 << 30, 3, 8000, 1, 8), "Invalid SUN data offset (malformed?).");
    EXPECT_NE(sun(24, 3, 0, 1, 8), "");
    EXPECT_NE(sun(24, 3, 8000, 7, 8), "");
    SaveBytes(dir / "short.au", {'.', 's', 'n', 'd', 0, 0, 0, 24});
    AudioFileSUN f(dir.Str(), "short.au");
    EXPECT_FALSE(f.OpenRead());
    EXPECT_EQ(f.ErrorText(), "Incomplete SUN header found (malformed?).");
}

TEST(FormatProbe, CodesAndMessages) {
    TempDir dir;
    SaveBytes(dir / "a.wav", {'R', 'I', 'F', 'F', 0});
    SaveBytes(dir / "a.aif", {'F', 'O', 'R', 'M', 0});
    SaveBytes(dir / "a.au", {'.', 's', 'n', 'd', 0});
    SaveBytes(dir / "b.RAW", {'R', 'I', 'F', 'F', 0});
    SaveBytes(dir / "c.Mp3", {'I', 'D', '3', 4, 0});
    SaveBytes(dir / "d.bin", {'O', 'g', 'g', 'S', 0});
    SaveBytes(dir / "e.raw", {1, 2, 3});
    std::string msg;
    EXPECT_EQ(ProbeFormat(dir.Str(), "a.wav", msg), kFormatWav);
    EXPECT_EQ(ProbeFormat(dir.Str(), "a.aif", msg), kFormatAiff);
    EXPECT_EQ(ProbeFormat(dir.Str(), "a.au", msg), kFormatSun);
    EXPECT_EQ(ProbeFormat(dir.Str(), "b.RAW", msg), kFormatRaw);
    EXPECT_EQ(ProbeFormat(dir.Str(), "c.Mp3", msg), kFormatMp3);
    EXPECT_EQ(ProbeFormat(dir.Str(), "d.bin", msg), -1);
    EXPECT_EQ(msg, "Format is not supported.");
    EXPECT_EQ(ProbeFormat(dir.Str(), "e.raw", msg), -1);
    EXPECT_EQ(msg, "No data found (truncated?).");
    EXPECT_EQ(ProbeFormat(dir.Str(), "none.wav", msg), -1);
    EXPECT_EQ(msg, "Can't open file.");
    EXPECT_EQ(ProbeFormat((dir / "nofolder").string(), "a.wav", msg), -1);
    EXPECT_EQ(msg, "Can't access input folder.");
}

TEST(PcmWriters, FailedWritesAreReported) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP();
    AudioFileWav w("/dev", "full");
    // The header write already fails on a full device.
    EXPECT_FALSE(w.OpenWrite(2, 44100, 16, 0));
    AudioFileWav missing("/nonexistent-folder", "x.wav");
    EXPECT_FALSE(missing.OpenWrite(2, 44100, 16, 0));
    EXPECT_FALSE(missing.ErrorText().empty());
    AudioFileSUN odd("/tmp", "x.au");
    EXPECT_FALSE(odd.OpenWrite(2, 44100, 12, 0));
}

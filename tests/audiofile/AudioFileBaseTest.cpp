// The file base and the audio file interface: construction and defaults, tag fields, the
// placeholder class, and the headers the writers lay down, byte for byte, with the header
// fields the readers take back.
#include <gtest/gtest.h>

#include <cstring>

#include "AudioTestUtil.h"
#include "audiofile/AudioFileAiff.h"
#include "audiofile/AudioFileRaw.h"
#include "audiofile/AudioFileSUN.h"
#include "audiofile/AudioFileWav.h"
#include "audiofile/PeakFile.h"
#include "common/ByteIO.h"
#include "support/TempDir.h"

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> v) {
    std::vector<uint8_t> b;
    for (int x : v) b.push_back(static_cast<uint8_t>(x));
    return b;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& b, size_t from, size_t n) {
    return std::vector<uint8_t>(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(from + n));
}

// Writes two stereo frames (0.5, −0.5), (0.25, −0.25) and finishes.
template <typename F>
std::vector<uint8_t> WriteTwoFrames(const TempDir& dir, const std::string& name, uint32_t ch, int32_t rate,
                                    int32_t bits, int32_t type) {
    F f(dir.Str(), name);
    EXPECT_TRUE(f.OpenWrite(ch, rate, bits, type)) << f.ErrorText();
    float in[4] = {0.5f, -0.5f, 0.25f, -0.25f};
    f.WriteFloat(in, 2);
    EXPECT_TRUE(f.FinishWrite()) << f.ErrorText();
    f.Close();
    return LoadBytes(dir / name);
}

} // namespace

TEST(AudioFileBase, ConstructionTouchesNothingAndTagFieldsStayInTheirBounds) {
    TempDir dir;
    AudioFileWav f((dir / "not-yet").string(), "x.wav");
    EXPECT_EQ(f.rate, 44100);
    EXPECT_EQ(f.bits, 16);
    EXPECT_EQ(f.channels, 2u);
    EXPECT_EQ(f.dataOffset, 0);
    EXPECT_EQ(f.dataBytes, 1764000);
    EXPECT_EQ(f.frames, 441000);
    EXPECT_EQ(f.hasTags, 0);
    EXPECT_FALSE(f.IsOpen());
    EXPECT_TRUE(f.ErrorText().empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "not-yet"));
    EXPECT_FALSE(f.OpenRead());
    EXPECT_EQ(f.ErrorText(), "Can't access input folder.");

    // Each setter keeps to its field (63, 63, 63, 255, 32 bytes and a NUL), so a long text
    // never runs into the next one.
    f.SetTitle(std::string(100, 't'));
    f.SetArtist(std::string(100, 'a'));
    f.SetAlbum("Album");
    f.SetComment(std::string(300, 'c'));
    f.SetGenre(std::string(50, 'g'));
    EXPECT_EQ(std::string(f.title), std::string(63, 't'));
    EXPECT_EQ(std::string(f.artist), std::string(63, 'a'));
    EXPECT_EQ(std::string(f.album), "Album");
    EXPECT_EQ(std::string(f.comment), std::string(255, 'c'));
    EXPECT_EQ(std::string(f.genre), std::string(32, 'g'));
    f.SetAlbum(std::string(70, 'b'));
    EXPECT_EQ(std::string(f.title), std::string(63, 't'));
    EXPECT_EQ(std::string(f.album), std::string(63, 'b'));
}

TEST(AudioFileBase, FileBaseChecksFolderAndFile) {
    TempDir dir;
    SaveBytes(dir / "a.bin", {1, 2, 3});
    std::filesystem::create_directories(dir / "sub");
    EXPECT_TRUE(CFile(dir.Str(), "a.bin").Exists());
    EXPECT_FALSE(CFile("/nonexistent", (dir / "a.bin").string()).Exists()); // the folder is checked first
    EXPECT_TRUE(CFile(dir.Str(), (dir / "a.bin").string()).Exists());       // a full path stands as it is
    EXPECT_FALSE(CFile(dir.Str(), "b.bin").Exists());
    EXPECT_FALSE(CFile(dir.Str(), "sub").Exists()); // a folder is not a file
    EXPECT_FALSE(CFile((dir / "none").string(), "a.bin").Delete());
    EXPECT_TRUE(CFile(dir.Str(), "a.bin").Delete());
    EXPECT_FALSE(std::filesystem::exists(dir / "a.bin"));

    // The placeholder class only reserves a name: an empty file, no data.
    AudioFileEmpty e(dir.Str(), "reserved.kx64");
    ASSERT_TRUE(e.OpenWrite(2, 44100, 16, 0));
    EXPECT_EQ(e.dataBytes, 0);
    float buf[4] = {0.5f, 0.5f, 0.5f, 0.5f};
    EXPECT_EQ(e.WriteFloat(buf, 2), 0);
    EXPECT_TRUE(e.FinishWrite());
    e.Close();
    EXPECT_EQ(std::filesystem::file_size(dir / "reserved.kx64"), 0u);
    AudioFileEmpty lost((dir / "none").string(), "x");
    EXPECT_FALSE(lost.OpenWrite(2, 44100, 16, 0));
}

TEST(PcmHeaders, WritersLayDownTheirHeadersByteForByte) {
    TempDir dir;
    // WAV, 16-bit stereo: 44-byte header, then the samples; sizes patched by FinishWrite.
    std::vector<uint8_t> w = WriteTwoFrames<AudioFileWav>(dir, "a.wav", 2, 44100, 16, 0);
    ASSERT_EQ(w.size(), 52u);
    EXPECT_EQ(Slice(w, 0, 44), Bytes({'R', 'I', 'F', 'F', 44, 0, 0,   0,   'W', 'A',  'V',  'E', 'f', 'm',  't',
                                      ' ', 16,  0,   0,   0,  1, 0,   2,   0,   0x44, 0xAC, 0,   0,   0x10, 0xB1,
                                      2,   0,   4,   0,   16, 0, 'd', 'a', 't', 'a',  8,    0,   0,   0}));
    EXPECT_EQ(Slice(w, 44, 4), Bytes({0xFF, 0x3F, 0x01, 0xC0})); // 16383, −16383

    // WAV, float mono at 8000 Hz: tag 3, byte rate 32000, block align 4.
    w = WriteTwoFrames<AudioFileWav>(dir, "f.wav", 1, 8000, 32, 1);
    ASSERT_EQ(w.size(), 52u);
    EXPECT_EQ(Slice(w, 20, 16), Bytes({3, 0, 1, 0, 0x40, 0x1F, 0, 0, 0, 0x7D, 0, 0, 4, 0, 32, 0}));
    EXPECT_EQ(LoadLE32(&w[44]), 0u); // mean of 0.5 and −0.5

    // AIFF, 24-bit stereo at 22050 Hz: FORM size = data + 46, frame count at 22, rate with
    // exponent 0x400D and mantissa head 22050 × 2, SSND size = data + 8 with zero offset and
    // block size; the audio starts at byte 54.
    w = WriteTwoFrames<AudioFileAiff>(dir, "a.aiff", 2, 22050, 24, 0);
    ASSERT_EQ(w.size(), 54u + 12);
    EXPECT_EQ(Slice(w, 0, 54),
              Bytes({'F', 'O', 'R', 'M', 0,   0,   0, 58, 'A', 'I', 'F',  'F',  'C',  'O',  'M', 'M', 0, 0,
                     0,   18,  0,   2,   0,   0,   0, 2,  0,   24,  0x40, 0x0D, 0xAC, 0x44, 0,   0,   0, 0,
                     0,   0,   'S', 'S', 'N', 'D', 0, 0,  0,   20,  0,    0,    0,    0,    0,   0,   0, 0}));
    EXPECT_EQ(Slice(w, 54, 6), Bytes({0x3F, 0xFF, 0xFF, 0xC0, 0x00, 0x01})); // 4194303, −4194303 big-endian

    // SUN: offset 24, unknown size, encoding by depth (6 for float), rate, channels.
    struct SunCase {
        int32_t bits, type, encoding;
    } suns[] = {{8, 0, 2}, {16, 0, 3}, {24, 0, 4}, {32, 0, 5}, {32, 1, 6}};
    for (const SunCase& c : suns) {
        w = WriteTwoFrames<AudioFileSUN>(dir, "a.au", 1, 11025, c.bits, c.type);
        ASSERT_EQ(w.size(), 24u + 2 * c.bits / 8) << c.bits;
        EXPECT_EQ(Slice(w, 0, 24), Bytes({'.', 's', 'n', 'd',        0, 0, 0,    24,   0xFF, 0xFF, 0xFF, 0xFF,
                                          0,   0,   0,   c.encoding, 0, 0, 0x2B, 0x11, 0,    0,    0,    1}))
            << c.bits;
        AudioFileSUN r(dir.Str(), "a.au");
        ASSERT_TRUE(r.OpenRead()) << r.ErrorText();
        EXPECT_EQ(r.bits, c.bits);
        EXPECT_EQ(r.sampleType, c.type);
        EXPECT_EQ(r.frames, 2);
        EXPECT_EQ(r.dataOffset, 24);
    }
    // SUN 8-bit is signed: f × 127.
    w = WriteTwoFrames<AudioFileSUN>(dir, "s8.au", 2, 8000, 8, 0);
    EXPECT_EQ(Slice(w, 24, 4), Bytes({63, 0xC1, 31, 0xE1}));
}

TEST(PcmHeaders, AiffAndSunReadersTakeTheHeaderFieldsAsDescribed) {
    TempDir dir;
    // An AIFF of 16-bit mono with the rate's exponent low byte, SSND size and offset given.
    auto aiff = [&](uint8_t expLow, uint32_t ssndSize, uint32_t offset, size_t payload) {
        std::vector<uint8_t> b(54 + offset + payload, 0);
        std::memcpy(&b[0], "FORM", 4);
        std::memcpy(&b[8], "AIFF", 4);
        std::memcpy(&b[12], "COMM", 4);
        StoreBE32(&b[16], 18);
        StoreBE16(&b[20], 1);
        StoreBE32(&b[22], 999); // frame count: not used
        StoreBE16(&b[26], 16);
        b[28] = 0x40;
        b[29] = expLow;
        StoreBE16(&b[30], 0xAC44);
        std::memcpy(&b[38], "SSND", 4);
        StoreBE32(&b[42], ssndSize);
        StoreBE32(&b[46], offset);
        for (size_t i = 0; i < payload; i += 2) StoreBE16(&b[54 + offset + i], static_cast<uint16_t>(0x100 + i));
        StoreBE32(&b[4], static_cast<uint32_t>(b.size() - 8));
        SaveBytes(dir / "a.aiff", b);
    };
    aiff(0x20, 8 + 4 + 8, 4, 8); // exponent outside 11..17: taken as 13
    AudioFileAiff a(dir.Str(), "a.aiff");
    ASSERT_TRUE(a.OpenRead()) << a.ErrorText();
    EXPECT_EQ(a.rate, 0xAC44 >> 1); // as if the exponent were 13
    EXPECT_EQ(a.dataOffset, 54 + 4);
    EXPECT_EQ(a.frames, 4);
    EXPECT_EQ(a.sampleType, kSampleInt);
    int32_t v[8];
    ASSERT_EQ(a.ReadInt(v, 4), 4);
    EXPECT_EQ(v[0], 0x100);
    EXPECT_EQ(v[1], 0x100);
    EXPECT_EQ(v[6], 0x106);
    a.Close();
    // Exponents 11 and 17 at both ends of the range; SSND size 0 runs to the end of the file.
    aiff(0x0B, 0, 0, 6);
    AudioFileAiff b(dir.Str(), "a.aiff");
    ASSERT_TRUE(b.OpenRead()) << b.ErrorText();
    EXPECT_EQ(b.rate, 0xAC44 >> 3);
    EXPECT_EQ(b.frames, 3);
    b.Close();
    aiff(0x11, 8 + 6, 0, 6);
    AudioFileAiff c(dir.Str(), "a.aiff");
    ASSERT_TRUE(c.OpenRead()) << c.ErrorText();
    EXPECT_EQ(c.rate, 0xAC44 << 3);

    // SUN: the data size word is ignored; the data runs from the offset to the end of the file.
    std::vector<uint8_t> s(32 + 8, 0);
    std::memcpy(&s[0], ".snd", 4);
    StoreBE32(&s[4], 32);
    StoreBE32(&s[8], 2); // wrong on purpose
    StoreBE32(&s[12], 3);
    StoreBE32(&s[16], 48000);
    StoreBE32(&s[20], 2);
    StoreBE16(&s[32], 0x8000);
    SaveBytes(dir / "s.snd", s);
    AudioFileSUN sun(dir.Str(), "s.snd");
    ASSERT_TRUE(sun.OpenRead());
    EXPECT_EQ(sun.dataBytes, 8);
    EXPECT_EQ(sun.frames, 2);
    float f[4];
    ASSERT_EQ(sun.ReadFloat(f, 2), 2);
    EXPECT_EQ(f[0], -1.0f);
}

TEST(PeakFileFormat, EntriesMoveInPiecesLargerThanAnyStagingBlock) {
    TempDir dir;
    PeakBuffers pb;
    const int32_t entries = 10000; // more than one staging block of the writer
    for (int32_t i = 0; i < entries; ++i) {
        pb.peaks.push_back(static_cast<uint16_t>(i * 7));
        pb.peaks.push_back(static_cast<uint16_t>(65535 - i));
    }
    ASSERT_TRUE(WritePeakFile(dir.Str(), "_big", pb, 256));
    const std::vector<uint8_t> b = LoadBytes(dir / "_big");
    ASSERT_EQ(b.size(), 1060u + 4 * entries);
    EXPECT_EQ(LoadLE16(&b[1060 + 4 * 9999]), static_cast<uint16_t>(9999 * 7));
    EXPECT_EQ(LoadLE16(&b[1060 + 4 * 9999 + 2]), 65535 - 9999);

    PeakFile f(dir.Str(), "_big");
    ASSERT_TRUE(f.OpenRead());
    EXPECT_EQ(f.EntryCount(), entries);
    EXPECT_EQ(f.FramesPerEntry(), 256);
    std::vector<uint16_t> got(2 * entries + 2, 0xABCD);
    EXPECT_EQ(f.ReadEntries(got.data(), 5000), 5000);
    EXPECT_EQ(f.ReadEntries(got.data() + 10000, entries), entries - 5000); // short at the end
    got.resize(2 * entries + 2);
    EXPECT_EQ(std::vector<uint16_t>(got.begin(), got.begin() + 2 * entries), pb.peaks);
    EXPECT_EQ(got[2 * entries], 0xABCD); // nothing past the entries read

    // A device that takes nothing: the writer reports the short count.
    if (std::filesystem::exists("/dev/full")) {
        PeakFile full("/dev", "full");
        EXPECT_FALSE(full.Create(2, entries, 2, 256));
        EXPECT_EQ(full.WriteEntries(pb.peaks.data(), entries), 0);
    }
}

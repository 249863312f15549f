// The MP3 reader: headers, the frame scan, decoding against ffmpeg, the length refinement,
// seeking by walking headers, and the tags.
#include <gtest/gtest.h>

#include <cstring>

#include "CompressedTestUtil.h"
#include "audiofile/AudioFileMp3.h"
#include "audiofile/FormatProbe.h"
#include "audiofile/Id3Tag.h"
#include "audiofile/MpegHeader.h"

namespace {

MpegHeader Decode4(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    const uint8_t h[4] = {a, b, c, d};
    MpegHeader m;
    EXPECT_TRUE(DecodeMpegHeader(h, m));
    return m;
}

// lame's output for a WAV; extra are lame's options.
std::string Lame(const TempDir& dir, const std::string& wav, const std::string& mp3, const std::string& extra) {
    EXPECT_EQ(0, RunCommand("lame --quiet " + extra + " " + (dir / wav).string() + " " + (dir / mp3).string()));
    return mp3;
}

std::vector<float> Ffmpeg(const TempDir& dir, const std::string& mp3, int ch) {
    EXPECT_EQ(0, RunCommand("ffmpeg -loglevel error -y -i " + (dir / mp3).string() + " -f s16le -ac " +
                            std::to_string(ch) + " " + (dir / "ff.raw").string()));
    return LoadS16(dir / "ff.raw");
}

} // namespace

TEST(MpegHeaderTable, RatesLengthsAndRefusals) {
    // MPEG-1, 128 kbit/s, 44100 Hz, stereo: 417 bytes, 418 padded, 1152 samples.
    MpegHeader m = Decode4(0xFF, 0xFB, 0x90, 0x00);
    EXPECT_EQ(m.version, 1);
    EXPECT_EQ(m.kbps, 128);
    EXPECT_EQ(m.rate, 44100);
    EXPECT_EQ(m.frameBytes, 417);
    EXPECT_EQ(m.samples, 1152);
    EXPECT_EQ(Decode4(0xFF, 0xFB, 0x92, 0x00).frameBytes, 418);
    // MPEG-2 at 22050 Hz and 64 kbit/s: 208 or 209 bytes of 576 samples; single channel.
    m = Decode4(0xFF, 0xF3, 0x80, 0xC0);
    EXPECT_EQ(m.version, 2);
    EXPECT_EQ(m.rate, 22050);
    EXPECT_EQ(m.kbps, 64);
    EXPECT_EQ(m.frameBytes, 208);
    EXPECT_EQ(m.samples, 576);
    EXPECT_EQ(m.channels, 1u);
    EXPECT_EQ(Decode4(0xFF, 0xF3, 0x82, 0xC0).frameBytes, 209);
    // MPEG-2.5: rates quartered (index 2 → 8000 Hz); free format counts as 128 kbit/s.
    m = Decode4(0xFF, 0xE3, 0x08, 0x00);
    EXPECT_EQ(m.version, 3);
    EXPECT_EQ(m.rate, 8000);
    EXPECT_EQ(m.kbps, 128);
    EXPECT_EQ(m.frameBytes, 72000 * 128 / 8000);
    // Bit rate 15, rate index 3 and other layers or syncs make the scan go on.
    MpegHeader x;
    const uint8_t bad1[4] = {0xFF, 0xFB, 0xF0, 0x00}, bad2[4] = {0xFF, 0xFB, 0x9C, 0x00},
                  bad3[4] = {0xFF, 0xFD, 0x90, 0x00}, bad4[4] = {0xFE, 0xFB, 0x90, 0x00};
    EXPECT_FALSE(DecodeMpegHeader(bad1, x));
    EXPECT_FALSE(DecodeMpegHeader(bad2, x));
    EXPECT_FALSE(DecodeMpegHeader(bad3, x));
    EXPECT_FALSE(DecodeMpegHeader(bad4, x));
}

TEST(Mp3Reader, DecodesLameFilesLikeFfmpegAcrossVersionsAndModes) {
    REQUIRE_TOOL("lame");
    REQUIRE_TOOL("ffmpeg");
    REQUIRE_TOOL("mpg123");
    REQUIRE_TOOL("sox");
    TempDir dir;
    struct Case {
        int rate, ch;
        const char* opts;
        int version;
    };
    const Case cases[] = {
        {44100, 2, "-t -b 128", 1},     {48000, 2, "-t -m j -b 192", 1}, {32000, 1, "-t -m m -b 64", 1},
        {22050, 1, "-t -m m -b 64", 2}, {24000, 2, "-t -b 96", 2},       {16000, 2, "-t -b 32", 2},
        {11025, 2, "-t -b 32", 3},      {8000, 1, "-t -m m -b 16", 3},   {44100, 2, "-t -V 2", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + " " + c.opts);
        MakeWav(dir, "src.wav", c.rate * 2 + 123, c.ch, c.rate);
        Lame(dir, "src.wav", "a.mp3", c.opts);
        AudioFileMp3 f(dir.Str(), "a.mp3");
        ASSERT_TRUE(f.OpenRead()) << f.ErrorText();
        EXPECT_EQ(f.rate, c.rate);
        EXPECT_EQ(f.channels, static_cast<uint32_t>(c.ch));
        EXPECT_EQ(f.bits, 16);
        EXPECT_EQ(f.FirstHeader().version, c.version);
        EXPECT_EQ(f.dataOffset, 0);
        const int64_t firstEstimate = f.frames;
        std::vector<float> ours = ReadAllFloat(f, 1000);
        const int64_t read = static_cast<int64_t>(ours.size() / 2);
        // Once the whole file has passed, the refined length is the length read.
        EXPECT_EQ(f.frames, read);
        if (std::strstr(c.opts, "-V") == nullptr) {
            EXPECT_NEAR(double(firstEstimate), double(read), read * 0.05);
        }
        std::vector<float> ff = Ffmpeg(dir, "a.mp3", c.ch);
        ASSERT_EQ(ff.size() / c.ch, static_cast<size_t>(read));
        std::vector<float> ours1; // as the file's channels
        for (int64_t i = 0; i < read; ++i) {
            ours1.push_back(ours[2 * i]);
            if (c.ch == 2) {
                ours1.push_back(ours[2 * i + 1]);
            } else {
                EXPECT_EQ(ours[2 * i], ours[2 * i + 1]);
            }
        }
        // Independent decoders round differently and disagree on rare frames of joint stereo at
        // low rates: the error stays far below the signal.
        EXPECT_LT(RmsDiff(ours1, ff), 0.003);
        // The command-line decoder of the same library, fed the whole file, agrees to the bit.
        ASSERT_EQ(0, RunCommand("mpg123 -q --no-gapless -s " + (dir / "a.mp3").string() + " > " +
                                (dir / "mp.raw").string()));
        std::vector<float> mp = LoadS16(dir / "mp.raw");
        ASSERT_EQ(mp.size(), ours1.size());
        EXPECT_EQ(MaxDiff(ours1, mp), 0.0);
    }
}

TEST(Mp3Reader, LengthIsRefinedWhileReadingAndTheInfoFrameDecodesAsAudio) {
    REQUIRE_TOOL("lame");
    REQUIRE_TOOL("sox");
    TempDir dir;
    MakeWav(dir, "src.wav", 44100 * 4, 2, 44100);
    Lame(dir, "src.wav", "v.mp3", "-V 0"); // VBR: the first frame's rate says little
    AudioFileMp3 f(dir.Str(), "v.mp3");
    ASSERT_TRUE(f.OpenRead()) << f.ErrorText();
    const int64_t first = f.frames;
    std::vector<float> buf(2 * 32768);
    ASSERT_EQ(f.ReadFloat(buf.data(), 32768), 32768);
    const int64_t second = f.frames;
    int64_t total = 32768;
    for (int32_t n; (n = f.ReadFloat(buf.data(), 32768)) > 0;) total += n;
    EXPECT_EQ(f.frames, total);
    EXPECT_LT(std::llabs(second - total), std::llabs(first - total));
    // Every frame counts in full: the length is a whole number of 1152-sample frames.
    EXPECT_EQ(total % 1152, 0);
}

TEST(Mp3Reader, SeekFrameGivesTheSamplesOfAStraightRead) {
    REQUIRE_TOOL("lame");
    REQUIRE_TOOL("sox");
    TempDir dir;
    for (const char* opts : {"-b 128", "-m m -b 32 --resample 22.05", "-V 4"}) {
        SCOPED_TRACE(opts);
        MakeWav(dir, "src.wav", 44100 * 3, 2, 44100);
        Lame(dir, "src.wav", "s.mp3", opts);
        AudioFileMp3 f(dir.Str(), "s.mp3");
        ASSERT_TRUE(f.OpenRead()) << f.ErrorText();
        std::vector<int32_t> all = ReadAllInt(f, 4096);
        const int64_t total = static_cast<int64_t>(all.size() / 2);
        for (int64_t at :
             {int64_t(0), int64_t(1), int64_t(575), int64_t(1153), int64_t(20000), total / 2, total - 700}) {
            SCOPED_TRACE(at);
            ASSERT_TRUE(f.SeekFrame(at));
            std::vector<int32_t> got(2 * 600);
            const int32_t n = f.ReadInt(got.data(), 600);
            ASSERT_EQ(n, static_cast<int32_t>(std::min<int64_t>(600, total - at)));
            for (int32_t i = 0; i < 2 * n; ++i) ASSERT_EQ(got[i], all[static_cast<size_t>(2 * at + i)]) << i;
        }
    }
}

TEST(Mp3Reader, TagsFromId3v1AndId3v2AndTheV1TagWins) {
    REQUIRE_TOOL("lame");
    REQUIRE_TOOL("sox");
    TempDir dir;
    MakeWav(dir, "src.wav", 44100, 2, 44100);
    const std::string tags = "--tt \"Song Title\" --ta Artist --tl Album --ty 2007 --tn 12 --tg Rock --tc Notes";
    Lame(dir, "src.wav", "v2.mp3", "--id3v2-only " + tags);
    Lame(dir, "src.wav", "v1.mp3", "--id3v1-only " + tags);
    for (const char* name : {"v1.mp3", "v2.mp3"}) {
        SCOPED_TRACE(name);
        AudioFileMp3 f(dir.Str(), name);
        ASSERT_TRUE(f.OpenRead()) << f.ErrorText();
        EXPECT_EQ(f.hasTags, 1);
        EXPECT_STREQ(f.title, "Song Title");
        EXPECT_STREQ(f.artist, "Artist");
        EXPECT_STREQ(f.album, "Album");
        EXPECT_EQ(f.year, 2007);
        EXPECT_EQ(f.track, 12);
        EXPECT_STREQ(f.genre, "Rock");
        EXPECT_STREQ(f.comment, "Notes");
        if (std::string(name) == "v2.mp3") {
            EXPECT_GT(f.dataOffset, 0); // after the ID3v2 tag
        }
    }
    // An ID3v1 tag added to the ID3v2 file takes precedence.
    std::vector<uint8_t> b = LoadBytes(dir / "v2.mp3");
    TagSet t;
    t.title = "From V1";
    t.genre = "jazz";
    uint8_t tag[kId3Bytes];
    BuildId3v1(t, tag);
    b.insert(b.end(), tag, tag + kId3Bytes);
    SaveBytes(dir / "both.mp3", b);
    AudioFileMp3 f(dir.Str(), "both.mp3");
    ASSERT_TRUE(f.OpenRead());
    EXPECT_STREQ(f.title, "From V1");
    EXPECT_STREQ(f.genre, "Jazz");
    EXPECT_EQ(f.year, 0);
    // No tag at all: nothing is filled.
    Lame(dir, "src.wav", "none.mp3", "");
    AudioFileMp3 g(dir.Str(), "none.mp3");
    ASSERT_TRUE(g.OpenRead());
    EXPECT_EQ(g.hasTags, 0);
}

TEST(Mp3Reader, FalseSyncInsideAnId3v2TagAndJunkBeforeTheFirstFrame) {
    REQUIRE_TOOL("lame");
    REQUIRE_TOOL("sox");
    TempDir dir;
    MakeWav(dir, "src.wav", 44100, 2, 44100);
    Lame(dir, "src.wav", "plain.mp3", "-t -b 128");
    const std::vector<uint8_t> audio = LoadBytes(dir / "plain.mp3");
    // A private frame whose data holds a valid-looking header with no second header behind it.
    // (Built with room reserved: GCC 12 warns falsely on inserts behind a ten-byte list.)
    const uint8_t frameHead[] = {'P', 'R', 'I', 'V', 0, 0, 0, 20, 0, 0};
    const uint8_t fake[] = {0xFF, 0xFB, 0x90, 0x00, 0xFF, 0xFF, 0xFB, 0x90, 0x64};
    std::vector<uint8_t> payload;
    payload.reserve(30);
    payload.insert(payload.end(), frameHead, frameHead + sizeof frameHead);
    payload.insert(payload.end(), fake, fake + sizeof fake);
    payload.resize(30, 0x55);
    const uint8_t tagHead[] = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, static_cast<uint8_t>(payload.size())};
    std::vector<uint8_t> tagged;
    tagged.reserve(sizeof tagHead + payload.size() + audio.size());
    tagged.insert(tagged.end(), tagHead, tagHead + sizeof tagHead);
    tagged.insert(tagged.end(), payload.begin(), payload.end());
    const size_t tagEnd = tagged.size();
    tagged.insert(tagged.end(), audio.begin(), audio.end());
    SaveBytes(dir / "tagged.mp3", tagged);
    {
        AudioFileMp3 f(dir.Str(), "tagged.mp3");
        ASSERT_TRUE(f.OpenRead()) << f.ErrorText();
        EXPECT_EQ(f.dataOffset, static_cast<int64_t>(tagEnd));
        EXPECT_EQ(f.dataBytes, static_cast<int64_t>(audio.size()));
    }
    // The same bytes without a valid tag header: the second-header check alone rejects the
    // false sync.
    std::vector<uint8_t> junk(tagged);
    junk[0] = 'J';
    SaveBytes(dir / "junk.mp3", junk);
    AudioFileMp3 g(dir.Str(), "junk.mp3");
    ASSERT_TRUE(g.OpenRead()) << g.ErrorText();
    EXPECT_EQ(g.dataOffset, static_cast<int64_t>(tagEnd));
    std::vector<float> a = ReadAllFloat(g);
    AudioFileMp3 h(dir.Str(), "plain.mp3");
    ASSERT_TRUE(h.OpenRead());
    EXPECT_EQ(ReadAllFloat(h), a);
}

TEST(Mp3Reader, DamagedAndForeignFilesFailWithTheirMessages) {
    TempDir dir;
    SaveBytes(dir / "text.mp3", std::vector<uint8_t>(5000, 'a'));
    AudioFileMp3 a(dir.Str(), "text.mp3");
    EXPECT_FALSE(a.OpenRead());
    EXPECT_EQ(a.ErrorText(), "No header found.");
    // A sync pair in the last three bytes: the header is cut short.
    SaveBytes(dir / "cut.mp3", {'x', 'x', 'x', 0xFF, 0xFB, 0x90});
    AudioFileMp3 b(dir.Str(), "cut.mp3");
    EXPECT_FALSE(b.OpenRead());
    EXPECT_EQ(b.ErrorText(), "No data found (truncated?).");
    AudioFileMp3 c(dir.Str(), "missing.mp3");
    EXPECT_FALSE(c.OpenRead());
    EXPECT_EQ(c.ErrorText(), "Can't open file.");
    AudioFileMp3 d((dir / "nofolder").string(), "x.mp3");
    EXPECT_FALSE(d.OpenRead());
    EXPECT_EQ(d.ErrorText(), "Can't access input folder.");
    EXPECT_TRUE(AudioFileMp3::CodecPresent());
    // The probe sends every .mp3 name to this reader.
    std::string msg;
    EXPECT_EQ(ProbeFormat(dir.Str(), "text.mp3", msg), kFormatMp3);
}

TEST(Mp3Reader, TruncatedFileReadsWhatIsThereAndEndsTheLengthThere) {
    REQUIRE_TOOL("lame");
    REQUIRE_TOOL("sox");
    TempDir dir;
    MakeWav(dir, "src.wav", 44100 * 2, 2, 44100);
    Lame(dir, "src.wav", "full.mp3", "-b 128");
    std::vector<uint8_t> b = LoadBytes(dir / "full.mp3");
    b.resize(b.size() / 2 + 77);
    SaveBytes(dir / "half.mp3", b);
    AudioFileMp3 f(dir.Str(), "half.mp3");
    ASSERT_TRUE(f.OpenRead());
    std::vector<float> all = ReadAllFloat(f);
    EXPECT_EQ(f.frames, static_cast<int64_t>(all.size() / 2));
    EXPECT_NEAR(double(all.size() / 2), 44100.0, 3000.0);
    EXPECT_TRUE(f.SeekFrame(f.frames * 4)); // far beyond: the position is estimated, nothing breaks
    std::vector<float> buf(2 * 100);
    EXPECT_LE(f.ReadFloat(buf.data(), 100), 100);
}

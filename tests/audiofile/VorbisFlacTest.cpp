// Ogg Vorbis reading and writing, FLAC reading: against files made by oggenc, flac and sox,
// decoded by ffmpeg, and the probe's view of them.
#include <gtest/gtest.h>

#include "CompressedTestUtil.h"
#include "audiofile/AudioFileFlac.h"
#include "audiofile/AudioFileVorbis.h"
#include "audiofile/AudioFileWav.h"
#include "audiofile/FormatProbe.h"

namespace {

// The source WAV's samples as floats (x / 32768), stereo.
std::vector<float> WavFloats(const TempDir& dir, const std::string& name) {
    AudioFileWav w(dir.Str(), name);
    EXPECT_TRUE(w.OpenRead()) << w.ErrorText();
    return ReadAllFloat(w);
}

} // namespace

TEST(VorbisReader, ReadsOggencFilesLikeFfmpegWithExactLengthAndTags) {
    REQUIRE_TOOL("oggenc");
    REQUIRE_TOOL("ffmpeg");
    REQUIRE_TOOL("sox");
    TempDir dir;
    for (int ch = 1; ch <= 2; ++ch) {
        SCOPED_TRACE(ch);
        const int64_t frames = 44100 * 2 + 777;
        MakeWav(dir, "src.wav", frames, ch, 44100);
        ASSERT_EQ(0, RunCommand("oggenc -Q -q 5 -t \"A Title\" -a Someone -l Record -d 1999-04-01 -G Jazz -N 7 "
                                "-c \"COMMENT=kept\" -o " +
                                (dir / "a.ogg").string() + " " + (dir / "src.wav").string()));
        AudioFileVorbis f(dir.Str(), "a.ogg");
        ASSERT_TRUE(f.OpenRead()) << f.ErrorText();
        EXPECT_EQ(f.channels, static_cast<uint32_t>(ch));
        EXPECT_EQ(f.rate, 44100);
        EXPECT_EQ(f.bits, 16);
        EXPECT_EQ(f.frames, frames);
        EXPECT_EQ(f.dataOffset, 0);
        EXPECT_GT(f.dataBytes, 1000);
        EXPECT_EQ(f.hasTags, 1);
        EXPECT_STREQ(f.title, "A Title");
        EXPECT_STREQ(f.artist, "Someone");
        EXPECT_STREQ(f.album, "Record");
        EXPECT_EQ(f.year, 1999);
        EXPECT_STREQ(f.genre, "Jazz");
        EXPECT_EQ(f.track, 7);
        EXPECT_STREQ(f.comment, "kept");
        std::vector<float> ours = ReadAllFloat(f, 1000);
        ASSERT_EQ(ours.size(), static_cast<size_t>(frames * 2));
        ASSERT_EQ(0, RunCommand("ffmpeg -loglevel error -y -i " + (dir / "a.ogg").string() + " -f f32le " +
                                (dir / "ff.raw").string()));
        std::vector<float> ff = LoadF32(dir / "ff.raw");
        ASSERT_EQ(ff.size(), ours.size() / 2 * ch);
        std::vector<float> asFile; // ours in the file's channels; mono reads as two equal ones
        for (size_t i = 0; i < ours.size(); i += 2) {
            asFile.push_back(ours[i]);
            if (ch == 2) {
                asFile.push_back(ours[i + 1]);
            } else {
                ASSERT_EQ(ours[i], ours[i + 1]);
            }
        }
        EXPECT_LT(MaxDiff(asFile, ff), 1e-4); // two float decoders of the same stream
        // And near the source: a lossy codec at a good quality.
        EXPECT_LT(RmsDiff(ours, WavFloats(dir, "src.wav")), 0.01);
        // ReadInt reads nothing.
        std::vector<int32_t> ints(20, 5);
        EXPECT_EQ(f.ReadInt(ints.data(), 10), 0);
    }
}

TEST(VorbisReader, SeekIsFrameAccurate) {
    REQUIRE_TOOL("oggenc");
    REQUIRE_TOOL("sox");
    TempDir dir;
    MakeWav(dir, "src.wav", 44100 * 3, 2, 44100);
    ASSERT_EQ(0, RunCommand("oggenc -Q -o " + (dir / "a.ogg").string() + " " + (dir / "src.wav").string()));
    AudioFileVorbis f(dir.Str(), "a.ogg");
    ASSERT_TRUE(f.OpenRead());
    std::vector<float> all = ReadAllFloat(f, 777);
    const int64_t total = f.frames;
    ASSERT_EQ(all.size(), static_cast<size_t>(total * 2));
    for (int64_t at : {int64_t(0), int64_t(1), int64_t(4095), int64_t(4097), int64_t(50001), total - 10}) {
        SCOPED_TRACE(at);
        ASSERT_TRUE(f.SeekFrame(at));
        std::vector<float> got(2 * 5000);
        const int32_t n = f.ReadFloat(got.data(), 5000);
        ASSERT_EQ(n, static_cast<int32_t>(std::min<int64_t>(5000, total - at)));
        for (int32_t i = 0; i < 2 * n; ++i) ASSERT_NEAR(got[i], all[static_cast<size_t>(2 * at + i)], 1e-6) << i;
    }
}

TEST(VorbisReader, ProbeRecognisesOggOnlyWhenRegisteredAndRefusesOthers) {
    REQUIRE_TOOL("oggenc");
    REQUIRE_TOOL("sox");
    TempDir dir;
    MakeWav(dir, "src.wav", 4410, 2, 44100);
    ASSERT_EQ(0, RunCommand("oggenc -Q -o " + (dir / "a.ogg").string() + " " + (dir / "src.wav").string()));
    std::string msg;
    SetVorbisProbe(nullptr);
    // Without the Vorbis test the file is not ours; FFmpeg, offered last, decodes it when it is
    // there.
#ifdef SONQUIL_HAVE_FFMPEG_READER
    EXPECT_EQ(ProbeFormat(dir.Str(), "a.ogg", msg), kFormatFFmpeg);
#else
    EXPECT_EQ(ProbeFormat(dir.Str(), "a.ogg", msg), -1);
    EXPECT_EQ(msg, "Format is not supported.");
#endif
    AudioFileVorbis::RegisterWithProbe();
    EXPECT_EQ(ProbeFormat(dir.Str(), "a.ogg", msg), kFormatVorbis);
    EXPECT_EQ(ProbeFormat(dir.Str(), "src.wav", msg), kFormatWav);
    // An Ogg page that is not Vorbis, and a cut file.
    std::vector<uint8_t> b = LoadBytes(dir / "a.ogg");
    SaveBytes(dir / "cut.ogg", std::vector<uint8_t>(b.begin(), b.begin() + 40));
    EXPECT_FALSE(AudioFileVorbis::Accepts((dir / "cut.ogg").string()));
    AudioFileVorbis c(dir.Str(), "cut.ogg");
    EXPECT_FALSE(c.OpenRead());
    EXPECT_FALSE(c.ErrorText().empty());
}

TEST(VorbisWriter, StorageBitRatesGiveTheirQualityAndFilesOtherDecodersRead) {
    REQUIRE_TOOL("ffmpeg");
    EXPECT_EQ(AudioFileVorbis::QualityFor(400), 1.0f);
    EXPECT_EQ(AudioFileVorbis::QualityFor(320), 1.0f);
    EXPECT_EQ(AudioFileVorbis::QualityFor(256), 0.8f);
    EXPECT_EQ(AudioFileVorbis::QualityFor(224), 0.8f);
    EXPECT_EQ(AudioFileVorbis::QualityFor(192), 0.6f);
    EXPECT_EQ(AudioFileVorbis::QualityFor(160), 0.6f);
    EXPECT_EQ(AudioFileVorbis::QualityFor(128), 0.4f);
    TempDir dir;
    const int64_t frames = 48000 * 2 + 5;
    std::vector<int32_t> src = MakeSignal(frames, 2, 16, 9);
    int64_t lastBytes = 1LL << 40;
    for (int kbps : {400, 256, 128}) {
        for (uint32_t ch = 1; ch <= 2; ++ch) {
            SCOPED_TRACE(std::to_string(kbps) + " ch " + std::to_string(ch));
            AudioFileVorbis w(dir.Str(), "out.ogg");
            ASSERT_TRUE(w.OpenWrite(ch, 48000, 16, 0, kbps)) << w.ErrorText();
            std::vector<float> block(2 * 4096);
            for (int64_t at = 0; at < frames; at += 4096) {
                const int32_t n = static_cast<int32_t>(std::min<int64_t>(4096, frames - at));
                for (int32_t i = 0; i < 2 * n; ++i) block[i] = src[static_cast<size_t>(2 * at + i)] / 32768.0f;
                EXPECT_EQ(w.WriteFloat(block.data(), n), n * static_cast<int32_t>(ch) * 2);
            }
            ASSERT_TRUE(w.FinishWrite()) << w.ErrorText();
            w.Close();
            const int64_t size = static_cast<int64_t>(std::filesystem::file_size(dir / "out.ogg"));
            EXPECT_EQ(w.dataBytes, size);
            if (ch == 2) {
                EXPECT_LT(size, lastBytes); // lower bit rate, smaller file
                lastBytes = size;
            }
            ASSERT_EQ(0, RunCommand("ffmpeg -loglevel error -y -i " + (dir / "out.ogg").string() + " -f f32le " +
                                    (dir / "ff.raw").string()));
            std::vector<float> ff = LoadF32(dir / "ff.raw");
            ASSERT_EQ(ff.size(), static_cast<size_t>(frames * ch));
            AudioFileVorbis r(dir.Str(), "out.ogg");
            ASSERT_TRUE(r.OpenRead());
            EXPECT_EQ(r.frames, frames);
            EXPECT_EQ(r.channels, ch);
            EXPECT_EQ(r.hasTags, 0); // no comments are written
            std::vector<float> back = ReadAllFloat(r);
            std::vector<float> want(static_cast<size_t>(frames * 2));
            for (size_t i = 0; i < want.size(); i += 2) {
                const float l = src[i] / 32768.0f, rr = src[i + 1] / 32768.0f;
                want[i] = ch == 2 ? l : (l + rr) * 0.5f;
                want[i + 1] = ch == 2 ? rr : (l + rr) * 0.5f;
            }
            EXPECT_LT(RmsDiff(back, want), 0.02);
        }
    }
}

TEST(VorbisWriter, FailedWritesAreReported) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP();
    AudioFileVorbis w("/dev", "full");
    // The headers may sit in the system's buffer; a page of audio must fail at the latest.
    bool ok = w.OpenWrite(2, 44100, 16, 0, 128);
    std::vector<float> block(2 * 4096, 0.25f);
    for (int i = 0; ok && i < 50; ++i) w.WriteFloat(block.data(), 4096);
    EXPECT_FALSE(ok && w.FinishWrite());
}

TEST(FlacReader, ReadsFlacFilesLosslesslyWithTagsAndExactSeeks) {
    REQUIRE_TOOL("flac");
    REQUIRE_TOOL("sox");
    TempDir dir;
    for (int bits : {16, 24}) {
        for (int ch = 1; ch <= 2; ++ch) {
            SCOPED_TRACE(std::to_string(bits) + " bits ch " + std::to_string(ch));
            const int64_t frames = 96000 + 333;
            MakeWav(dir, "src.wav", frames, ch, 96000, bits);
            ASSERT_EQ(0, RunCommand("flac -s -f -T TITLE=Flac -T ARTIST=Band -T DATE=2021 -T TRACKNUMBER=3/9 "
                                    "-T GENRE=Classical -o " +
                                    (dir / "a.flac").string() + " " + (dir / "src.wav").string()));
            std::string msg;
            EXPECT_EQ(ProbeFormat(dir.Str(), "a.flac", msg), kFormatFlac);
            AudioFileFlac f(dir.Str(), "a.flac");
            ASSERT_TRUE(f.OpenRead()) << f.ErrorText();
            EXPECT_EQ(f.bits, bits);
            EXPECT_EQ(f.channels, static_cast<uint32_t>(ch));
            EXPECT_EQ(f.rate, 96000);
            EXPECT_EQ(f.frames, frames);
            EXPECT_STREQ(f.title, "Flac");
            EXPECT_STREQ(f.artist, "Band");
            EXPECT_EQ(f.year, 2021);
            EXPECT_EQ(f.track, 3);
            EXPECT_STREQ(f.genre, "Classical");
            AudioFileWav w(dir.Str(), "src.wav");
            ASSERT_TRUE(w.OpenRead());
            std::vector<int32_t> want = ReadAllInt(w);
            std::vector<int32_t> got = ReadAllInt(f, 1000);
            ASSERT_EQ(got, want);
            for (int64_t at : {int64_t(0), int64_t(4095), int64_t(4097), frames / 2, frames - 3}) {
                ASSERT_TRUE(f.SeekFrame(at));
                std::vector<int32_t> part(2 * 5000);
                const int32_t n = f.ReadInt(part.data(), 5000);
                ASSERT_EQ(n, static_cast<int32_t>(std::min<int64_t>(5000, frames - at)));
                for (int32_t i = 0; i < 2 * n; ++i) ASSERT_EQ(part[i], want[static_cast<size_t>(2 * at + i)]);
            }
            ASSERT_TRUE(f.SeekFrame(0));
            std::vector<float> fl(2 * 10);
            ASSERT_EQ(f.ReadFloat(fl.data(), 10), 10);
            EXPECT_FLOAT_EQ(fl[0], static_cast<float>(want[0] / double(1 << (bits - 1))));
        }
    }
}

TEST(FlacReader, DamagedFilesFailOrReadShortWithoutCrashing) {
    REQUIRE_TOOL("flac");
    REQUIRE_TOOL("sox");
    TempDir dir;
    MakeWav(dir, "src.wav", 44100, 2, 44100);
    ASSERT_EQ(0, RunCommand("flac -s -f -o " + (dir / "a.flac").string() + " " + (dir / "src.wav").string()));
    std::vector<uint8_t> b = LoadBytes(dir / "a.flac");
    SaveBytes(dir / "head.flac", std::vector<uint8_t>(b.begin(), b.begin() + 20));
    AudioFileFlac h(dir.Str(), "head.flac");
    EXPECT_FALSE(h.OpenRead());
    EXPECT_EQ(h.ErrorText(), "Incomplete FLAC header found (malformed?).");
    SaveBytes(dir / "text.flac", std::vector<uint8_t>(100, 'z'));
    AudioFileFlac t(dir.Str(), "text.flac");
    EXPECT_FALSE(t.OpenRead());
    EXPECT_EQ(t.ErrorText(), "No FLAC stream found.");
    // Half a file: the frames that are there, then 0.
    SaveBytes(dir / "half.flac", std::vector<uint8_t>(b.begin(), b.begin() + static_cast<long>(b.size() / 2)));
    AudioFileFlac f(dir.Str(), "half.flac");
    ASSERT_TRUE(f.OpenRead());
    std::vector<float> got = ReadAllFloat(f);
    EXPECT_GT(got.size(), 0u);
    EXPECT_LT(got.size(), static_cast<size_t>(44100 * 2));
    // Garbage in the middle: the decoder skips to the next frame.
    std::vector<uint8_t> bad = b;
    for (size_t i = b.size() / 3; i < b.size() / 3 + 500; ++i) bad[i] ^= 0x5A;
    SaveBytes(dir / "bad.flac", bad);
    AudioFileFlac g(dir.Str(), "bad.flac");
    ASSERT_TRUE(g.OpenRead());
    EXPECT_LE(ReadAllFloat(g).size(), static_cast<size_t>(44100 * 2));
}

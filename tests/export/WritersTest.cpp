// The compressed writers, read back by ffprobe/ffmpeg: rate, channels, length (compressed
// formats within the codec's padding), bit rates, tags; and the conversions they share.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "ExportTestUtil.h"
#include "export/ChunkStage.h"
#include "export/ExportFormats.h"
#include "export/Id3Tags.h"
#if SONQUIL_HAVE_MP3
#include "export/AudioFileMp3Writer.h"
#endif
#if SONQUIL_HAVE_FLAC
#include "export/AudioFileFlacWriter.h"
#endif
#if SONQUIL_HAVE_AAC
#include "export/AudioFileAac.h"
#include "export/AudioFileWma.h"
#endif

namespace {

void SetTags(AudioFile& f) {
    f.SetTitle("Night Drive");
    f.SetArtist("The Testers");
    f.SetAlbum("Masters");
    f.SetComment("mastered");
    f.SetGenre("rock");
    f.year = 2007;
    f.track = 3;
}

} // namespace

TEST(Conversions, TruncateTowardZeroAndHoldFullScale) {
    EXPECT_EQ(FloatToInt16(0.5), 16383);   // 16383.5 truncated
    EXPECT_EQ(FloatToInt16(-0.5), -16383); // toward zero, not down
    EXPECT_EQ(FloatToInt16(1.0), 32767);
    EXPECT_EQ(FloatToInt16(1.7), 32767); // held, not wrapped to a negative click
    EXPECT_EQ(FloatToInt16(-1.7), -32768);
    EXPECT_EQ(FloatToIntBits(0.5, 24), 4194303);
    EXPECT_EQ(FloatToIntBits(-2.0, 24), -8388608);
    EXPECT_EQ(FloatToIntBits(0.5, 8), 63);

    float st[4] = {0.25f, -0.75f, 0.1f, 0.3f};
    int16_t mono[2];
    ConvertToInt16(st, 2, 1, mono);
    EXPECT_EQ(mono[0], static_cast<int16_t>((0.25 - 0.75) * 0.5 * 32767));
    EXPECT_EQ(mono[1], static_cast<int16_t>((static_cast<double>(0.1f) + 0.3f) * 0.5 * 32767));

    float buf[4] = {0.5f, -0.5f, 1.0f, 0.25f};
    ConvertToInt32InPlace(buf, 2, 2, 24);
    int32_t out[4];
    std::memcpy(out, buf, sizeof out);
    EXPECT_EQ(out[0], 4194303);
    EXPECT_EQ(out[1], -4194303);
    EXPECT_EQ(out[2], 8388607);
    EXPECT_EQ(out[3], 2097151);
}

TEST(Conversions, StageHandsOnWholeChunksWhateverTheBlockSize) {
    ChunkStage stage;
    ASSERT_TRUE(stage.Reset(2304));
    EXPECT_FALSE(ChunkStage().Reset(kStageSamples + 1));
    std::vector<float> block(2 * 8192, 0.25f);
    std::vector<int32_t> sizes;
    for (int i = 0; i < 3; ++i)
        stage.Push(block.data(), i == 1 ? 4096 : 8192, 2, [&](const int16_t* p, int32_t n) {
            sizes.push_back(n);
            EXPECT_EQ(p[0], FloatToInt16(0.25));
            return true;
        });
    // 20480 frames = 40960 samples: 17 whole chunks, 1792 samples waiting.
    EXPECT_EQ(sizes.size(), 17u);
    for (int32_t n : sizes) EXPECT_EQ(n, 2304);
    EXPECT_EQ(stage.Fill(), 40960 - 17 * 2304);
    // An encoder error stops the push at once.
    int calls = 0;
    EXPECT_FALSE(stage.Push(block.data(), 8192, 2, [&](const int16_t*, int32_t) { return ++calls > 5; }));
    EXPECT_EQ(calls, 1);
}

// The block conversions run four or eight samples at a time with a scalar tail; every sample
// must come out as the one-sample functions give it, at every length and near full scale.
TEST(Conversions, BlocksAgreeWithTheSampleFunctionsAtEveryLength) {
    std::vector<float> src;
    const float edges[] = {1.0f, -1.0f, 0.99999f, -0.99999f, 1.0000001f, -1.0000001f, 3.0f, -3.0f,
                           0.0f, -0.0f, 0.5f,     -0.5f,     1e-6f,      -1e-6f,      0.25f};
    for (int i = 0; i < 7; ++i)
        for (float e : edges) src.push_back(e * (i % 2 ? 1.0f : 0.999f));
    uint32_t x = 7;
    while (src.size() < 2 * 301) {
        x = x * 1664525u + 1013904223u;
        src.push_back(static_cast<float>(static_cast<int32_t>(x)) / 2147483648.0f * 1.1f);
    }
    for (int32_t frames : {0, 1, 2, 3, 5, 64, 127, 301}) {
        for (uint32_t ch : {1u, 2u}) {
            auto want = [&](int32_t i, int32_t bits) {
                const double v = ch == 1 ? (static_cast<double>(src[2 * i]) + src[2 * i + 1]) * 0.5
                                         : static_cast<double>(src[i]);
                return bits == 0 ? FloatToInt16(v) : FloatToIntBits(v, bits);
            };
            const int32_t samples = frames * static_cast<int32_t>(ch);
            std::vector<int16_t> s16(static_cast<size_t>(samples) + 1, 99);
            ConvertToInt16(src.data(), frames, ch, s16.data());
            for (int32_t i = 0; i < samples; ++i) ASSERT_EQ(s16[i], want(i, 0)) << frames << " " << ch << " " << i;
            EXPECT_EQ(s16[samples], 99); // nothing past the end
            for (int32_t bits : {8, 16, 24}) {
                std::vector<float> buf(src.begin(), src.begin() + 2 * frames);
                buf.push_back(0.75f);
                ConvertToInt32InPlace(buf.data(), frames, ch, bits);
                for (int32_t i = 0; i < samples; ++i) {
                    int32_t got;
                    std::memcpy(&got, &buf[i], 4);
                    ASSERT_EQ(got, want(i, bits)) << frames << " " << ch << " " << bits << " " << i;
                }
                EXPECT_EQ(buf[2 * frames], 0.75f);
            }
        }
    }
    // NaN never comes from the render; it must not turn into a full-scale value.
    float nan[8];
    for (float& f : nan) f = std::nanf("");
    int16_t n16[8];
    ConvertToInt16(nan, 4, 2, n16);
    for (int16_t v : n16) EXPECT_EQ(v, 0);
    EXPECT_EQ(FloatToIntBits(std::nan(""), 24), 0);
}

// The stage converts in runs up to each chunk's end: the samples handed on must be the stream
// converted one by one, cut where the old per-frame check cut it (an odd stereo chunk ends one
// sample late), whatever the block sizes.
TEST(Conversions, StageRunsKeepTheStreamAndItsCuts) {
    std::vector<float> src(2 * 5000);
    for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<float>(std::sin(0.01 * static_cast<double>(i)));
    for (uint32_t ch : {1u, 2u}) {
        for (int32_t chunk : {1, 7, 1152, 2305}) {
            ChunkStage stage;
            ASSERT_TRUE(stage.Reset(chunk));
            std::vector<int16_t> got;
            std::vector<int32_t> sizes;
            const int32_t blocks[] = {1, 333, 4096, 570};
            int32_t at = 0;
            for (int32_t b : blocks) {
                ASSERT_TRUE(stage.Push(src.data() + 2 * at, b, ch, [&](const int16_t* p, int32_t n) {
                    got.insert(got.end(), p, p + n);
                    sizes.push_back(n);
                    return true;
                }));
                at += b;
            }
            const int32_t cut = ch == 2 && chunk % 2 ? chunk + 1 : chunk;
            for (int32_t n : sizes) EXPECT_EQ(n, cut) << ch << " " << chunk;
            const int32_t total = at * static_cast<int32_t>(ch);
            EXPECT_EQ(static_cast<int32_t>(got.size()) + stage.Fill(), total);
            got.insert(got.end(), stage.Data(), stage.Data() + stage.Fill());
            std::vector<int16_t> want(static_cast<size_t>(total));
            ConvertToInt16(src.data(), at, ch, want.data());
            EXPECT_EQ(got, want) << ch << " " << chunk;
        }
    }
}

TEST(ExportFormats, ListOrderCodesAndExtensions) {
    const auto list = BuildExportFormatList(nullptr);
    ASSERT_GE(list.size(), 4u);
    EXPECT_EQ(list[0].caption, "WAV");
    EXPECT_EQ(list[1].caption, "AIFF");
    EXPECT_EQ(list[2].caption, "RAW");
    EXPECT_EQ(list[2].writerCode, kFormatRaw);
    EXPECT_EQ(list[2].formatCode, 8);
    EXPECT_EQ(list[3].caption, "SUN");
    EXPECT_EQ(list[3].extension, ".snd");
    std::vector<std::string> rest;
    for (size_t i = 4; i < list.size(); ++i) rest.push_back(list[i].caption);
    std::vector<std::string> want;
    if (WmaAvailable()) want.push_back("WMA");
    if (VorbisAvailable()) want.push_back("OGG");
    if (Mp3Available()) want.push_back("MP3");
    if (AacAvailable()) want.push_back("AAC");
    if (FlacAvailable()) want.push_back("FLAC");
    EXPECT_EQ(rest, want);
    for (const auto& e : list) {
        auto w = CreateExportWriter(e.writerCode, "/tmp", "x");
        EXPECT_TRUE(w != nullptr) << e.caption;
    }
    EXPECT_EQ(CreateExportWriter(kFormatKX64, "/tmp", "x"), nullptr);
}

#if SONQUIL_HAVE_MP3
namespace {
// The header of the second MPEG frame (the first is the Info frame).
uint32_t SecondFrameHeader(const std::vector<uint8_t>& b, size_t audioStart) {
    auto header = [&](size_t at) {
        return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) | b[at + 3];
    };
    const uint32_t h = header(audioStart);
    const int rates[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    const int srs[] = {44100, 48000, 32000};
    const int kbps = rates[(h >> 12) & 15];
    const int sr = srs[(h >> 10) & 3];
    const size_t len = static_cast<size_t>(144 * kbps * 1000 / sr + ((h >> 9) & 1));
    return header(audioStart + len);
}
size_t Id3v2Size(const std::vector<uint8_t>& b) {
    if (b.size() < 10 || std::memcmp(b.data(), "ID3", 3) != 0) return 0;
    return 10 + ((size_t{b[6]} << 21) | (size_t{b[7]} << 14) | (size_t{b[8]} << 7) | b[9]);
}
} // namespace

TEST(Mp3Writer, StereoAndMonoAtTheThreeRatesReadBack) {
    REQUIRE_TOOL("ffprobe");
    TempDir dir;
    for (int32_t rate : {32000, 44100, 48000}) {
        for (uint32_t ch : {2u, 1u}) {
            SCOPED_TRACE(std::to_string(rate) + " Hz, " + std::to_string(ch) + " ch");
            const int64_t frames = rate * 2 + 777; // not a whole number of chunks
            AudioFileMp3Writer w(dir.Str(), "t.mp3");
            ASSERT_TRUE(w.OpenWrite(ch, rate, 16, 0, 128)) << w.ErrorText();
            EXPECT_EQ(w.Mode(), ch == 1 ? 3 : 1);
            EXPECT_EQ(w.Kbps(), 128);
            ASSERT_TRUE(WriteThrough(w, MakeStereo(frames, rate)));
            EXPECT_EQ(w.frames, frames); // the staged tail is encoded too
            auto p = Probe(dir / "t.mp3", dir);
            EXPECT_EQ(p["codec_name"], "mp3");
            EXPECT_EQ(p["sample_rate"], std::to_string(rate));
            EXPECT_EQ(p["channels"], std::to_string(ch));
            // The Info frame and the tag count in ffprobe's figure; the frames say 128 exactly.
            EXPECT_NEAR(std::stod(p["bit_rate"]), 128000.0, 4000.0);
            // The Info frame carries delay and padding, so the decoder gives back the length.
            const int64_t got = DecodedFrames(dir / "t.mp3", static_cast<int>(ch), dir);
            EXPECT_NEAR(static_cast<double>(got), static_cast<double>(frames), 1152);
            const auto b = LoadBytes(dir / "t.mp3");
            const size_t start = Id3v2Size(b); // 0: no tags, no ID3v2 tag
            // Info frame first ("Info" for constant bit rate), then frames of the asked mode.
            const std::string head(b.begin() + static_cast<long>(start), b.begin() + static_cast<long>(start) + 64);
            EXPECT_NE(head.find("Info"), std::string::npos);
            const uint32_t h = SecondFrameHeader(b, start);
            EXPECT_EQ(h >> 21, 0x7FFu);
            EXPECT_EQ((h >> 19) & 3, 3u);               // MPEG-1
            EXPECT_EQ((h >> 12) & 15, 9u);              // 128 kbit/s
            EXPECT_EQ((h >> 6) & 3, ch == 1 ? 3u : 1u); // mono / joint stereo
        }
    }
}

TEST(Mp3Writer, RefusesOtherRatesAtOpenWithoutMakingAFile) {
    TempDir dir;
    for (int32_t rate : {22050, 96000, 11025, 8000}) {
        AudioFileMp3Writer w(dir.Str(), "r.mp3");
        EXPECT_FALSE(w.OpenWrite(2, rate, 16, 0, 128)) << rate;
        EXPECT_FALSE(std::filesystem::exists(dir / "r.mp3"));
    }
    AudioFileMp3Writer w(dir.Str(), "r.mp3");
    EXPECT_FALSE(w.OpenWrite(2, 44100, 16, 0, 100)); // not an MPEG-1 rate
    AudioFileMp3Writer gone("/no/such/folder", "r.mp3");
    EXPECT_FALSE(gone.OpenWrite(2, 44100, 16, 0, 128));
}

TEST(Mp3Writer, Id3v1TagAtTheEndFieldByFieldAndId3v2InFront) {
    REQUIRE_TOOL("ffprobe");
    TempDir dir;
    AudioFileMp3Writer w(dir.Str(), "tags.mp3");
    SetTags(w);
    ASSERT_TRUE(w.OpenWrite(2, 44100, 16, 0, 192));
    ASSERT_TRUE(WriteThrough(w, MakeStereo(44100, 44100)));
    const auto b = LoadBytes(dir / "tags.mp3");
    ASSERT_GT(b.size(), 128u);
    const uint8_t* t = b.data() + b.size() - 128;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(t), 3), "TAG");
    auto field = [&](int off, int len) { return std::string(reinterpret_cast<const char*>(t + off), len); };
    EXPECT_EQ(field(3, 30), std::string("Night Drive") + std::string(19, '\0'));
    EXPECT_EQ(field(33, 30), std::string("The Testers") + std::string(19, '\0'));
    EXPECT_EQ(field(63, 30), std::string("Masters") + std::string(23, '\0'));
    EXPECT_EQ(field(93, 4), "2007");
    EXPECT_EQ(field(97, 28), std::string("mastered") + std::string(20, '\0'));
    EXPECT_EQ(t[125], 0);
    EXPECT_EQ(t[126], 3);
    EXPECT_EQ(t[127], 17); // "rock" in any case is entry 17
    // Players read the tag in front.
    auto p = Probe(dir / "tags.mp3", dir);
    EXPECT_EQ(p["tag:title"], "Night Drive");
    EXPECT_EQ(p["tag:artist"], "The Testers");
    EXPECT_EQ(p["tag:album"], "Masters");
    EXPECT_EQ(p["tag:track"], "3");
    EXPECT_EQ(p["sample_rate"], "44100");
}
#endif

#if SONQUIL_HAVE_FLAC
TEST(FlacWriter, LosslessAtSixteenAndTwentyFourBitsStereoAndMono) {
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    for (int32_t bits : {16, 24}) {
        for (uint32_t ch : {2u, 1u}) {
            SCOPED_TRACE(std::to_string(bits) + " bit, " + std::to_string(ch) + " ch");
            const int64_t frames = 96000 + 123;
            const auto pcm = MakeStereo(frames, 48000);
            AudioFileFlacWriter w(dir.Str(), "t.flac");
            SetTags(w);
            ASSERT_TRUE(w.OpenWrite(ch, 48000, bits, 0)) << w.ErrorText();
            ASSERT_TRUE(WriteThrough(w, pcm, 8192));
            EXPECT_EQ(w.frames, frames);
            auto p = Probe(dir / "t.flac", dir);
            EXPECT_EQ(p["codec_name"], "flac");
            EXPECT_EQ(p["sample_rate"], "48000");
            EXPECT_EQ(p["channels"], std::to_string(ch));
            EXPECT_EQ(p["tag:title"], "Night Drive");
            EXPECT_EQ(p["tag:artist"], "The Testers");
            EXPECT_EQ(p["tag:album"], "Masters");
            EXPECT_EQ(p["tag:date"], "2007");
            EXPECT_EQ(p["tag:genre"], "rock");
            EXPECT_EQ(p["tag:track"], "3");
            EXPECT_EQ(p["tag:comment"], "mastered");
            // Decoded samples are exactly our conversion of the input.
            const auto raw = dir / "d.raw";
            ASSERT_EQ(0, RunCommand("ffmpeg -v error -y -i " + Quote((dir / "t.flac").string()) + " -f s32le " +
                                    Quote(raw.string())));
            const auto b = LoadBytes(raw);
            ASSERT_EQ(b.size(), static_cast<size_t>(frames) * ch * 4);
            const int shift = 32 - bits;
            for (int64_t i = 0; i < frames; i += 997) {
                for (uint32_t c = 0; c < ch; ++c) {
                    int32_t got;
                    std::memcpy(&got, b.data() + (i * ch + c) * 4, 4);
                    const double x = ch == 1 ? (static_cast<double>(pcm[2 * i]) + pcm[2 * i + 1]) * 0.5
                                             : static_cast<double>(pcm[2 * i + c]);
                    ASSERT_EQ(got >> shift, FloatToIntBits(x, bits)) << i;
                }
            }
        }
    }
}

TEST(FlacWriter, RefusesDepthsItCannotStoreAndMissingFolders) {
    TempDir dir;
    AudioFileFlacWriter w(dir.Str(), "x.flac");
    EXPECT_FALSE(w.OpenWrite(2, 44100, 32, 0));
    AudioFileFlacWriter gone("/no/such/folder", "x.flac");
    EXPECT_FALSE(gone.OpenWrite(2, 44100, 16, 0));
    EXPECT_FALSE(gone.ErrorText().empty());
}
#endif

#if SONQUIL_HAVE_AAC
TEST(AacWriter, AsksTheBitRatePerChannel) {
    EXPECT_EQ(AudioFileAac::PerChannelBitRate(2, 128), 64000);
    EXPECT_EQ(AudioFileAac::PerChannelBitRate(1, 128), 128000);
    EXPECT_EQ(AudioFileAac::PerChannelBitRate(2, 320), 160000);
    EXPECT_EQ(AudioFileAac::PerChannelBitRate(2, 56), 28000);
}

TEST(AacWriter, AdtsStreamReadsBackWithRateChannelsLengthAndBitRate) {
    REQUIRE_TOOL("ffprobe");
    TempDir dir;
    for (uint32_t ch : {2u, 1u}) {
        SCOPED_TRACE(ch);
        const int64_t frames = 44100 * 4 + 500;
        AudioFileAac w(dir.Str(), "t.aac");
        ASSERT_TRUE(w.OpenWrite(ch, 44100, 16, 0, 128)) << w.ErrorText();
        ASSERT_TRUE(WriteThrough(w, MakeStereo(frames, 44100)));
        EXPECT_EQ(w.frames, frames);
        auto p = Probe(dir / "t.aac", dir);
        EXPECT_EQ(p["codec_name"], "aac");
        EXPECT_EQ(p["format_name"], "aac");
        EXPECT_EQ(p["sample_rate"], "44100");
        EXPECT_EQ(p["channels"], std::to_string(ch));
        // ADTS keeps no length: the decoder adds the priming frame and the last frame's pad.
        const int64_t got = DecodedFrames(dir / "t.aac", static_cast<int>(ch), dir);
        EXPECT_GE(got, frames);
        EXPECT_LE(got, frames + 3 * 1024);
        // The stream's rate is the per-channel rate times the channels: 128 kbit/s in all.
        const double seconds = static_cast<double>(frames) / 44100;
        const double kbps = static_cast<double>(std::filesystem::file_size(dir / "t.aac")) * 8 / seconds / 1000;
        EXPECT_NEAR(kbps, 128.0, 20.0);
    }
}
#endif

#if SONQUIL_HAVE_WMA
TEST(WmaWriter, AsfFileReadsBackWithTagsRateChannelsAndLength) {
    REQUIRE_TOOL("ffprobe");
    TempDir dir;
    const int64_t frames = 44100 * 3 + 321;
    AudioFileWma w(dir.Str(), "t.wma");
    SetTags(w);
    ASSERT_TRUE(w.OpenWrite(2, 44100, 16, 0, 128)) << w.ErrorText();
    ASSERT_TRUE(WriteThrough(w, MakeStereo(frames, 44100)));
    auto p = Probe(dir / "t.wma", dir);
    EXPECT_EQ(p["codec_name"], "wmav2");
    EXPECT_EQ(p["format_name"], "asf");
    EXPECT_EQ(p["sample_rate"], "44100");
    EXPECT_EQ(p["channels"], "2");
    EXPECT_EQ(p["tag:title"], "Night Drive");
    EXPECT_EQ(p["tag:artist"], "The Testers");
    EXPECT_EQ(p["tag:album"], "Masters");
    EXPECT_EQ(p["tag:genre"], "rock");
    const int64_t got = DecodedFrames(dir / "t.wma", 2, dir);
    EXPECT_GE(got, frames - 2048);
    EXPECT_LE(got, frames + 2 * 2048);
    const double kbps = static_cast<double>(std::filesystem::file_size(dir / "t.wma")) * 8 /
                        (static_cast<double>(frames) / 44100) / 1000;
    EXPECT_NEAR(kbps, 128.0, 25.0);
}
#endif

TEST(Writers, AFullDiskIsReportedNotCalledGood) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    std::vector<int32_t> codes;
    if (Mp3Available()) codes.push_back(kFormatMp3);
    if (FlacAvailable()) codes.push_back(kFormatFlac);
    if (AacAvailable()) codes.push_back(kFormatAac);
    if (WmaAvailable()) codes.push_back(kFormatWma);
    for (int32_t code : codes) {
        SCOPED_TRACE(code);
        auto w = CreateExportWriter(code, "/dev", "full");
        ASSERT_TRUE(w);
        w->SetTitle("t");
        if (!w->OpenWrite(2, 44100, 16, 0, 128)) { // refused at once: also reported
            EXPECT_FALSE(w->ErrorText().empty());
            continue;
        }
        EXPECT_FALSE(WriteThrough(*w, MakeStereo(44100 * 2, 44100)));
        EXPECT_FALSE(w->ErrorText().empty());
    }
    // A failed open takes away only a file it made: the device stays.
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
}

TEST(Writers, SettingsTheEncoderRefusesLeaveNoFileAndAnEarlierFileAsItWas) {
    // No Vorbis, AAC or WMA mode takes 400 kHz; only the encoder itself says so.
    std::vector<int32_t> codes;
    if (VorbisAvailable()) codes.push_back(kFormatVorbis);
    if (AacAvailable()) codes.push_back(kFormatAac);
    if (WmaAvailable()) codes.push_back(kFormatWma);
    if (codes.empty()) GTEST_SKIP() << "no encoder library in this build";
    TempDir dir;
    for (int32_t code : codes) {
        SCOPED_TRACE(code);
        auto w = CreateExportWriter(code, dir.Str(), "new");
        ASSERT_TRUE(w);
        EXPECT_FALSE(w->OpenWrite(2, 400000, 16, 0, 128));
        EXPECT_FALSE(w->ErrorText().empty());
        EXPECT_FALSE(std::filesystem::exists(dir / "new"));
        // A file of that name from before is not cut by a refused open.
        std::ofstream(dir / "old") << "earlier export";
        auto again = CreateExportWriter(code, dir.Str(), "old");
        EXPECT_FALSE(again->OpenWrite(2, 400000, 16, 0, 128));
        again.reset();
        const std::vector<uint8_t> old = LoadBytes(dir / "old");
        EXPECT_EQ(std::string(old.begin(), old.end()), "earlier export");
    }
}

// Files made by other programs: AIFF-C of every kind, what FFmpeg decodes (M4A/AAC, ALAC, Opus,
// CAF, WebM) and LAME MP3s, each read or imported and compared with ffmpeg's own decoding.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "CompressedTestUtil.h"
#include "ImportLibrary.h"
#include "audiofile/AudioFileAiff.h"
#include "audiofile/AudioFileFactory.h"
#include "audiofile/AudioFileMp3.h"
#include "audiofile/AudioFileWav.h"
#include "audiofile/ImportPipeline.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "library/CSample.h"
#include "library/CSampleList.h"
#include "library/CVDisk.h"
#include "support/ScriptedUiPort.h"

#ifdef SONQUIL_HAVE_FFMPEG_READER
#include "audiofile/AudioFileFFmpeg.h"
#endif

namespace fs = std::filesystem;

namespace {

struct Library : ImportLibrary {
    fs::path InPath(const std::string& name) const { return dir / "in" / name; }
    // Imports a file of "in"; the new region, or null with the failure recorded.
    CRegion* Import(const std::string& name) {
        std::string msg;
        bool cancelled = false;
        const bool ok = importer.Import(In(), name, msg, kProgressOwn, cancelled);
        EXPECT_TRUE(ok) << name << ": " << msg;
        return ok ? importer.LastRegion() : nullptr;
    }
};

// ffmpeg's decoding of a file as interleaved 32-bit floats with the file's own channels.
std::vector<float> FfmpegFloats(const fs::path& file, const fs::path& scratch) {
    EXPECT_EQ(0, RunCommand("ffmpeg -loglevel error -y -i " + file.string() + " -f f32le " + scratch.string()));
    return LoadF32(scratch);
}

// What a stored integer sample can hold of a decoder's floats (lossy decoders overshoot ±1).
std::vector<float> Clipped(std::vector<float> v) {
    for (float& x : v) x = std::clamp(x, -1.0f, 1.0f);
    return v;
}

// Stereo float frames as the file's channels (mono: the left side, checked equal to the right).
std::vector<float> AsChannels(const std::vector<float>& stereo, int ch) {
    if (ch == 2) return stereo;
    std::vector<float> v(stereo.size() / 2);
    for (size_t i = 0; i < v.size(); ++i) {
        EXPECT_EQ(stereo[2 * i], stereo[2 * i + 1]);
        v[i] = stereo[2 * i];
    }
    return v;
}

// Every frame of a stored sample's file, read by the reader of its format code.
std::vector<float> ReadSample(const CSample& s) {
    std::string error;
    std::unique_ptr<AudioFile> f = OpenAudioFileRead(s.GetFormatCode(), s.FolderPath(), s.GetFileName(), nullptr,
                                                     error);
    EXPECT_TRUE(f) << error;
    return f ? AsChannels(ReadAllFloat(*f, 32768), s.GetChannels()) : std::vector<float>{};
}

// The same bytes with the AIFF-C compression type replaced.
void Retype(const fs::path& from, const fs::path& to, const char* oldType, const char* newType) {
    std::vector<uint8_t> b = LoadBytes(from);
    for (size_t i = 0; i + 4 <= b.size(); ++i)
        if (std::memcmp(b.data() + i, oldType, 4) == 0) {
            std::memcpy(b.data() + i, newType, 4);
            break;
        }
    ASSERT_TRUE(SaveBytes(to, b));
}

} // namespace

TEST(ImportNames, RegionNamesDropEveryRecognisedExtensionAndTheFilterShowsBareNames) {
    EXPECT_EQ(RegionNameFor("take.aifc"), "take");
    EXPECT_EQ(RegionNameFor("Song.WAV"), "Song");
    EXPECT_EQ(RegionNameFor("noext"), "noext");
    EXPECT_EQ(RegionNameFor("notes.txt"), "notes.txt");
    const std::string filter = ImportFileFilter();
    EXPECT_NE(filter.find("*.aifc"), std::string::npos);
    EXPECT_NE(filter.find("*.flac"), std::string::npos);
    // "*.*" would hide a file without an extension.
    EXPECT_EQ(filter.find("*.*"), std::string::npos);
    EXPECT_NE(filter.find(";;All Files (*)"), std::string::npos);
#ifdef SONQUIL_HAVE_FFMPEG_READER
    for (const char* name : {"a.m4a", "a.opus", "a.OGA", "a.caf", "a.webm", "a.wma", "a.m4b"}) {
        EXPECT_EQ(RegionNameFor(name), "a") << name;
        std::string ext = std::string(name).substr(2);
        for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        EXPECT_NE(filter.find("*." + ext + " "), std::string::npos) << name;
    }
#endif
}

TEST(AiffC, EveryPlainKindReadsExactlyAsFfmpegDecodesIt) {
    REQUIRE_TOOL("ffmpeg");
    REQUIRE_TOOL("sox");
    TempDir dir;
    MakeWav(dir, "s2.wav", 30011, 2, 44100);
    MakeWav(dir, "s1.wav", 20011, 1, 22050);
    MakeWav(dir, "s24.wav", 15011, 2, 48000, 24);
    const std::string ff = "ffmpeg -loglevel error -y -i ";
    struct Case {
        const char* name;
        std::string make;
        int ch;
        int bits;
        bool isFloat;
    };
    const std::string d = dir.Str() + "/";
    const std::vector<Case> cases = {
        {"sowt.aifc", ff + d + "s2.wav -c:a pcm_s16le -f aiff " + d + "sowt.aifc", 2, 16, false},
        {"fl32.aifc", ff + d + "s2.wav -c:a pcm_f32be -f aiff " + d + "fl32.aifc", 2, 32, true},
        {"fl64.aifc", ff + d + "s24.wav -c:a pcm_f64be -f aiff " + d + "fl64.aifc", 2, 32, true},
        {"ulaw.aifc", ff + d + "s2.wav -c:a pcm_mulaw -f aiff " + d + "ulaw.aifc", 2, 16, false},
        {"alaw.aifc", ff + d + "s1.wav -c:a pcm_alaw -f aiff " + d + "alaw.aifc", 1, 16, false},
        {"mono-ulaw.aifc", ff + d + "s1.wav -c:a pcm_mulaw -f aiff " + d + "mono-ulaw.aifc", 1, 16, false},
        {"none16.aifc", "sox " + d + "s2.wav -e signed -b 16 " + d + "none16.aifc", 2, 16, false},
        {"none24.aifc", "sox " + d + "s24.wav -e signed -b 24 " + d + "none24.aifc", 2, 24, false},
        {"soxfl32.aifc", "sox " + d + "s1.wav -e float -b 32 " + d + "soxfl32.aifc", 1, 32, true},
        {"soxfl64.aifc", "sox " + d + "s2.wav -e float -b 64 " + d + "soxfl64.aifc", 2, 32, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(0, RunCommand(c.make));
    }
    // The other spellings of the same codings.
    Retype(dir / "none16.aifc", dir / "twos.aifc", "NONE", "twos");
    Retype(dir / "fl32.aifc", dir / "FL32.aifc", "fl32", "FL32");
    Retype(dir / "soxfl64.aifc", dir / "FL64.aifc", "fl64", "FL64");
    Retype(dir / "ulaw.aifc", dir / "ULAW.aifc", "ulaw", "ULAW");
    std::vector<Case> all = cases;
    all.push_back({"twos.aifc", "", 2, 16, false});
    all.push_back({"FL32.aifc", "", 2, 32, true});
    all.push_back({"FL64.aifc", "", 2, 32, true});
    all.push_back({"ULAW.aifc", "", 2, 16, false});
    for (const Case& c : all) {
        SCOPED_TRACE(c.name);
        std::string error;
        EXPECT_EQ(ProbeAudioFile(dir.Str(), c.name, error), kFormatAiff) << error;
        AudioFileAiff f(dir.Str(), c.name);
        ASSERT_TRUE(f.OpenRead()) << f.ErrorText();
        EXPECT_EQ(f.channels, static_cast<uint32_t>(c.ch));
        EXPECT_EQ(f.bits, c.bits);
        EXPECT_EQ(f.sampleType, c.isFloat ? kSampleFloat : kSampleInt);
        const std::vector<float> ours = AsChannels(ReadAllFloat(f, 1000), c.ch);
        const std::vector<float> ref = FfmpegFloats(dir / c.name, dir / "ref.f32");
        ASSERT_EQ(ours.size(), ref.size());
        EXPECT_EQ(f.frames, static_cast<int64_t>(ref.size()) / c.ch);
        EXPECT_EQ(MaxDiff(ours, ref), 0.0);
        // Seeking lands on the same samples, also for the codings wider or narrower than
        // they read.
        ASSERT_TRUE(f.SeekFrame(777));
        std::vector<float> buf(2 * 100);
        ASSERT_EQ(f.ReadFloat(buf.data(), 100), 100);
        EXPECT_EQ(buf[0], ref[777 * static_cast<size_t>(c.ch)]);
        EXPECT_EQ(buf[198], ref[876 * static_cast<size_t>(c.ch)]);
        // ReadInt gives the stored integers of the 16-bit codings.
        if (c.bits == 16) {
            ASSERT_TRUE(f.SeekFrame(0));
            std::vector<int32_t> ints(2 * 10);
            ASSERT_EQ(f.ReadInt(ints.data(), 10), 10);
            for (int i = 0; i < 10 * c.ch; ++i) EXPECT_EQ(ints[i * (c.ch == 1 ? 2 : 1)], ref[i] * 32768.0f);
        }
    }
    // The expansions are the standard ones at their ends and centre.
    EXPECT_EQ(AudioFileAiff::ULawToLinear(0x00), -32124);
    EXPECT_EQ(AudioFileAiff::ULawToLinear(0x80), 32124);
    EXPECT_EQ(AudioFileAiff::ULawToLinear(0xFF), 0);
    EXPECT_EQ(AudioFileAiff::ALawToLinear(0xD5), 8);
    EXPECT_EQ(AudioFileAiff::ALawToLinear(0x2A), -32256);
}

#ifdef SONQUIL_HAVE_FFMPEG_READER

TEST(AiffC, CodedKindsAreRefusedByTheAiffReaderAndDecodedByFfmpeg) {
    REQUIRE_TOOL("ffmpeg");
    REQUIRE_TOOL("sox");
    Library lib;
    MakeWav(lib.dir, "in/s.wav", 30000, 2, 44100);
    ASSERT_EQ(0, RunCommand("ffmpeg -loglevel error -y -i " + lib.InPath("s.wav").string() +
                            " -c:a adpcm_ima_qt -f aiff " + lib.InPath("ima.aifc").string()));
    AudioFileAiff a(lib.In(), "ima.aifc");
    EXPECT_FALSE(a.OpenRead());
    EXPECT_TRUE(a.UnsupportedCompression());
    EXPECT_EQ(a.ErrorText(), "Unsupported AIFF-C compression 'ima4'.");
    std::string error;
    EXPECT_EQ(ProbeAudioFile(lib.In(), "ima.aifc", error), kFormatFFmpeg);
    CRegion* r = lib.Import("ima.aifc");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->GetName(), "ima");
    const std::vector<float> ref = FfmpegFloats(lib.InPath("ima.aifc"), lib.dir / "ref.f32");
    EXPECT_EQ(r->GetEnd(), static_cast<int64_t>(ref.size() / 2));
    EXPECT_LE(MaxDiff(ReadSample(*r->GetSample()), Clipped(ref)), 2.0 / 32768);
}

TEST(FfmpegReader, ImportsM4aAlacOpusCafAndWebmAsFfmpegDecodesThem) {
    REQUIRE_TOOL("ffmpeg");
    REQUIRE_TOOL("sox");
    Library lib;
    MakeWav(lib.dir, "in/s.wav", 44100 * 3 + 77, 2, 44100);
    MakeWav(lib.dir, "in/s24.wav", 44100 * 2 + 5, 2, 44100, 24);
    MakeWav(lib.dir, "in/m.wav", 22050 * 2 + 3, 1, 22050);
    const std::string ff = "ffmpeg -loglevel error -y -i " + lib.In() + "/";
    struct Case {
        const char* name;
        std::string args;
        int ch, rate, bits;
    };
    const std::vector<Case> cases = {
        {"aac.m4a", "s.wav -c:a aac -b:a 160k", 2, 44100, 16},
        {"mono.m4a", "m.wav -c:a aac -b:a 64k", 1, 22050, 16},
        {"alac.m4a", "s24.wav -c:a alac", 2, 44100, 24},
        {"a.opus", "s.wav -c:a libopus -b:a 96k", 2, 48000, 16},
        {"a.caf", "s24.wav -c:a pcm_s24le", 2, 44100, 24},
        {"alac.caf", "s.wav -c:a alac", 2, 44100, 16},
        {"a.webm", "s.wav -c:a libopus -b:a 96k", 2, 48000, 16},
        {"a.oga", "s.wav -c:a flac", 2, 44100, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(0, RunCommand(ff + c.args + " " + lib.InPath(c.name).string()));
        std::string error;
        EXPECT_EQ(ProbeAudioFile(lib.In(), c.name, error), kFormatFFmpeg) << error;
        // "Clone Compressed Files" does not keep these: every stored sample has a format of our own.
        lib.importer.SetSettings({kFormatWav, 400, false});
        CRegion* r = lib.Import(c.name);
        ASSERT_NE(r, nullptr);
        const CSample& s = *r->GetSample();
        EXPECT_EQ(s.GetFormatCode(), kFormatWav);
        EXPECT_EQ(s.GetChannels(), c.ch);
        EXPECT_EQ(s.GetSampleRate(), c.rate);
        EXPECT_EQ(s.GetBits(), c.bits);
        const std::vector<float> ref = FfmpegFloats(lib.InPath(c.name), lib.dir / "ref.f32");
        const int64_t refFrames = static_cast<int64_t>(ref.size()) / c.ch;
        EXPECT_EQ(r->GetEnd(), refFrames);
        EXPECT_EQ(s.GetFrameCount(), refFrames);
        const std::vector<float> stored = ReadSample(s);
        ASSERT_EQ(stored.size(), ref.size());
        // The storage truncates at its scale: within two steps of its last bit.
        EXPECT_LE(MaxDiff(stored, Clipped(ref)), 2.0 / static_cast<double>(int64_t{1} << (c.bits - 1)));
    }
}

TEST(FfmpegReader, TagsFillTheRegionAndLinkTakesTheDecodedLengthAndSeeksExactly) {
    REQUIRE_TOOL("ffmpeg");
    REQUIRE_TOOL("sox");
    Library lib;
    MakeWav(lib.dir, "in/s.wav", 44100 * 4 + 11, 2, 44100);
    ASSERT_EQ(0, RunCommand("ffmpeg -loglevel error -y -i " + lib.InPath("s.wav").string() +
                            " -c:a aac -metadata title=Tune -metadata artist=Band -metadata album=Disc "
                            "-metadata date=2003-05-01 -metadata genre=Jazz -metadata track=7/12 "
                            "-metadata comment=\"from a phone\" " +
                            lib.InPath("Tagged.M4A").string()));
    CRegion* r = lib.Import("Tagged.M4A");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->GetName(), "Tagged");
    EXPECT_EQ(r->GetTitle(), "Tune");
    EXPECT_EQ(r->GetArtist(), "Band");
    EXPECT_EQ(r->GetAlbum(), "Disc");
    EXPECT_EQ(r->GetYear(), 2003);
    EXPECT_EQ(r->GetGenre(), "Jazz");
    EXPECT_EQ(r->GetTrack(), 7);
    EXPECT_EQ(r->GetNotes(), "from a phone");

    const std::vector<float> ref = FfmpegFloats(lib.InPath("Tagged.M4A"), lib.dir / "ref.f32");
    const int64_t refFrames = static_cast<int64_t>(ref.size() / 2);
    std::string msg;
    bool cancelled = false;
    ASSERT_TRUE(lib.importer.Link(lib.In(), "Tagged.M4A", msg, kProgressOwn, cancelled)) << msg;
    const CSample& s = *lib.importer.LastRegion()->GetSample();
    EXPECT_EQ(s.GetFormatCode(), kFormatFFmpeg);
    EXPECT_EQ(s.GetFrameCount(), refFrames);
    EXPECT_EQ(lib.importer.LastRegion()->GetEnd(), refFrames);

    // The linked file read by its format code, as playback reads it: a straight read, a seek
    // forward and a seek back all give ffmpeg's samples exactly.
    std::string error;
    std::unique_ptr<AudioFile> f = OpenAudioFileRead(kFormatFFmpeg, s.FolderPath(), s.GetFileName(), nullptr, error);
    ASSERT_TRUE(f) << error;
    EXPECT_EQ(MaxDiff(ReadAllFloat(*f, 32768), ref), 0.0);
    EXPECT_EQ(f->frames, refFrames);
    std::vector<float> buf(2 * 500);
    for (int64_t at : {int64_t{100000}, int64_t{5}, refFrames - 200}) {
        SCOPED_TRACE(at);
        ASSERT_TRUE(f->SeekFrame(at));
        const int32_t want = static_cast<int32_t>(std::min<int64_t>(500, refFrames - at));
        ASSERT_EQ(f->ReadFloat(buf.data(), 500), want);
        for (int32_t i = 0; i < 2 * want; ++i) ASSERT_EQ(buf[i], ref[static_cast<size_t>(2 * at + i)]) << i;
    }
}

TEST(FfmpegReader, DamagedAndForeignFilesFailWithAMessageOrReadWhatIsThere) {
    REQUIRE_TOOL("ffmpeg");
    REQUIRE_TOOL("sox");
    Library lib;
    MakeWav(lib.dir, "in/s.wav", 44100 * 3, 2, 44100);
    ASSERT_EQ(0, RunCommand("ffmpeg -loglevel error -y -i " + lib.InPath("s.wav").string() + " -c:a libopus " +
                            lib.InPath("a.opus").string()));
    ASSERT_EQ(0, RunCommand("ffmpeg -loglevel error -y -i " + lib.InPath("s.wav").string() + " -c:a aac " +
                            lib.InPath("a.m4a").string()));
    std::vector<uint8_t> opus = LoadBytes(lib.InPath("a.opus"));
    std::vector<uint8_t> m4a = LoadBytes(lib.InPath("a.m4a"));
    // Cut in half: what is there imports, shorter.
    SaveBytes(lib.InPath("half.opus"), std::vector<uint8_t>(opus.begin(), opus.begin() + opus.size() / 2));
    CRegion* r = lib.Import("half.opus");
    ASSERT_NE(r, nullptr);
    EXPECT_GT(r->GetEnd(), 48000 / 2);
    EXPECT_LT(r->GetEnd(), 48000 * 3);
    // Garbage through the middle of the audio: no crash, and never more than the whole.
    std::vector<uint8_t> bad = m4a;
    uint32_t x = 12345;
    for (size_t i = bad.size() / 3; i < bad.size() * 2 / 3; ++i) {
        x = x * 1103515245u + 12345u;
        bad[i] = static_cast<uint8_t>(x >> 16);
    }
    SaveBytes(lib.InPath("noisy.m4a"), bad);
    std::string msg;
    bool cancelled = false;
    if (lib.importer.Import(lib.In(), "noisy.m4a", msg, kProgressOwn, cancelled)) {
        EXPECT_LE(lib.importer.LastRegion()->GetEnd(), 44100 * 3 + 2048);
    } else {
        EXPECT_FALSE(msg.empty());
    }
    // The container's head without its audio, an empty stream of pages, plain text: refused.
    SaveBytes(lib.InPath("head.m4a"), std::vector<uint8_t>(m4a.begin(), m4a.begin() + 40));
    EXPECT_FALSE(lib.importer.Import(lib.In(), "head.m4a", msg, kProgressOwn, cancelled));
    EXPECT_FALSE(msg.empty());
    SaveBytes(lib.InPath("notes.txt"), std::vector<uint8_t>(5000, 'a'));
    EXPECT_FALSE(lib.importer.Import(lib.In(), "notes.txt", msg, kProgressOwn, cancelled));
    EXPECT_EQ(msg, "Format is not supported.");
    // A list of other files (a concat script, a playlist) may not make the reader open them.
    const std::string concat = "ffconcat version 1.0\nfile '" + lib.InPath("s.wav").string() + "'\n";
    SaveBytes(lib.InPath("list.ffconcat"), std::vector<uint8_t>(concat.begin(), concat.end()));
    EXPECT_FALSE(lib.importer.Import(lib.In(), "list.ffconcat", msg, kProgressOwn, cancelled));
    const std::string m3u = "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\n" + lib.InPath("s.wav").string() +
                            "\n#EXT-X-ENDLIST\n";
    SaveBytes(lib.InPath("list.m3u8"), std::vector<uint8_t>(m3u.begin(), m3u.end()));
    EXPECT_FALSE(lib.importer.Import(lib.In(), "list.m3u8", msg, kProgressOwn, cancelled));
    // Nothing of the refused files was left in the VDisk: one WAV (and its peak file) per sample.
    int audio = 0;
    for (const auto& e : fs::directory_iterator(lib.dir / "VDisk"))
        if (e.path().filename().string()[0] != '_') ++audio;
    EXPECT_EQ(audio, lib.samples.Count());
}

#endif // SONQUIL_HAVE_FFMPEG_READER

TEST(Mp3Gapless, ConvertedMp3sLineUpWithFfmpegAndClonesKeepTheirFramePositions) {
    REQUIRE_TOOL("ffmpeg");
    REQUIRE_TOOL("sox");
    REQUIRE_TOOL("lame");
    REQUIRE_TOOL("mpg123");
    Library lib;
    MakeWav(lib.dir, "in/s.wav", 44100 * 3 + 1001, 2, 44100);
    MakeWav(lib.dir, "in/m.wav", 22050 * 2 + 17, 1, 22050);
    const std::string in = lib.In() + "/";
    ASSERT_EQ(0, RunCommand("lame --quiet -b 128 " + in + "s.wav " + in + "info.mp3"));
    ASSERT_EQ(0, RunCommand("lame --quiet -V 2 " + in + "s.wav " + in + "vbr.mp3"));
    ASSERT_EQ(0, RunCommand("lame --quiet -m m -b 64 " + in + "m.wav " + in + "mono.mp3"));
    ASSERT_EQ(0, RunCommand("lame --quiet -t -b 128 " + in + "s.wav " + in + "noinfo.mp3"));
    struct Case {
        const char* name;
        int ch;
        int64_t musicFrames; // the source's length, when the info frame records it
        int frameSamples;
    };
    const Case cases[] = {{"info.mp3", 2, 44100 * 3 + 1001, 1152},
                          {"vbr.mp3", 2, 44100 * 3 + 1001, 1152},
                          {"mono.mp3", 1, 22050 * 2 + 17, 576},
                          {"noinfo.mp3", 2, -1, 1152}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<float> ref = FfmpegFloats(lib.InPath(c.name), lib.dir / "ref.f32");
        const int64_t refFrames = static_cast<int64_t>(ref.size()) / c.ch;
        if (c.musicFrames > 0) {
            EXPECT_EQ(refFrames, c.musicFrames);
        }

        // Converted: the music alone, as long as ffmpeg's and lined up with it.
        lib.importer.SetSettings({kFormatWav, 400, true});
        CRegion* r = lib.Import(c.name);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->GetSample()->GetFormatCode(), kFormatWav);
        EXPECT_EQ(r->GetEnd(), refFrames);
        const std::vector<float> stored = ReadSample(*r->GetSample());
        ASSERT_EQ(stored.size(), ref.size());
        // Two decoders of the same frames: they round differently, nothing more. A shift by
        // even one sample would show as a large difference.
        EXPECT_LT(RmsDiff(stored, ref), 0.003);
        // mpg123's own gapless decoding of the same file, to the storage's last bit.
        ASSERT_EQ(0, RunCommand("mpg123 -q -s " + lib.InPath(c.name).string() + " > " + (lib.dir / "mp.raw").string()));
        const std::vector<float> mp = LoadS16(lib.dir / "mp.raw");
        ASSERT_EQ(mp.size(), stored.size());
        EXPECT_LE(MaxDiff(stored, mp), 1.0 / 32768 + 1e-9);

        // Cloned: the sample is the MP3 itself and keeps the positions every MP3 sample has
        // had, information frame and encoder delay included.
        lib.importer.SetSettings({kFormatWav, 400, false});
        CRegion* clone = lib.Import(c.name);
        ASSERT_NE(clone, nullptr);
        EXPECT_EQ(clone->GetSample()->GetFormatCode(), kFormatMp3);
        ASSERT_EQ(0, RunCommand("mpg123 -q --no-gapless -s " + lib.InPath(c.name).string() + " > " +
                                (lib.dir / "old.raw").string()));
        std::vector<float> old = LoadS16(lib.dir / "old.raw");
        // The information frame has always been read as one frame of silence.
        if (c.musicFrames > 0) old.insert(old.begin(), static_cast<size_t>(c.frameSamples * c.ch), 0.0f);
        EXPECT_EQ(clone->GetEnd(), static_cast<int64_t>(old.size()) / c.ch);
        const std::vector<float> cloned = ReadSample(*clone->GetSample());
        ASSERT_EQ(cloned.size(), old.size());
        // The silent information frame passes through the synthesis filter here and not in
        // mpg123's own run, which may move a sample by its last bit.
        EXPECT_LE(MaxDiff(cloned, old), 1.0 / 32768);
    }
}

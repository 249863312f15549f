// The factory: the class behind every format code, how outside files find their reader, and
// the writer an output name asks for.
#include <gtest/gtest.h>

#include <fstream>

#include "AudioTestUtil.h"
#include "audiofile/AudioFileAiff.h"
#include "audiofile/AudioFileFactory.h"
#include "audiofile/AudioFileFlac.h"
#include "audiofile/AudioFileKX64.h"
#include "audiofile/AudioFileMp3.h"
#include "audiofile/AudioFileRaw.h"
#include "audiofile/AudioFileSUN.h"
#include "audiofile/AudioFileVorbis.h"
#include "audiofile/AudioFileWav.h"
#include "support/TempDir.h"

namespace {

template <typename T> bool Is(const std::unique_ptr<AudioFile>& f) { return dynamic_cast<T*>(f.get()) != nullptr; }

// Writes a short stereo ramp with the writer the name asks for; returns the samples as read
// back at 16 bits.
std::vector<int32_t> WriteRamp(const TempDir& dir, const std::string& name, int64_t frames) {
    int32_t type = -1;
    std::string error;
    std::unique_ptr<AudioFile> w = MakeWriterForExtension(dir.Str(), name, type, error);
    EXPECT_TRUE(w) << error;
    if (!w) return {};
    EXPECT_TRUE(w->OpenWrite(2, 44100, 16, type)) << w->ErrorText();
    std::vector<float> buf(static_cast<size_t>(frames) * 2);
    std::vector<int32_t> want(buf.size());
    for (size_t i = 0; i < buf.size(); ++i) {
        want[i] = static_cast<int32_t>(i % 2000) - 1000;
        buf[i] = static_cast<float>((want[i] + (want[i] < 0 ? -0.5 : 0.5)) / 32767.0);
    }
    EXPECT_GT(w->WriteFloat(buf.data(), static_cast<int32_t>(frames)), 0);
    EXPECT_TRUE(w->FinishWrite());
    w->Close();
    return want;
}

} // namespace

TEST(AudioFileFactory, EveryFormatCodeHasItsNameAndItsClassOrAClearRefusal) {
    const char* names[] = {"WAV", "AIFF", "MP3", "KX64", "AAC", "WMA", "Ogg Vorbis", "FLAC", "SUN", "raw"};
    for (int32_t code = 0; code < 10; ++code) EXPECT_STREQ(FormatName(code), names[code]) << code;
    EXPECT_STREQ(FormatName(-1), "unknown");
    // Code 10 is every file FFmpeg decodes for us.
    EXPECT_STREQ(FormatName(10), "FFmpeg");
    EXPECT_STREQ(FormatName(11), "unknown");

    std::string error;
    EXPECT_TRUE(Is<AudioFileWav>(MakeAudioFile(kFormatWav, ".", "a", error)));
    EXPECT_TRUE(Is<AudioFileAiff>(MakeAudioFile(kFormatAiff, ".", "a", error)));
    EXPECT_TRUE(Is<AudioFileKX64>(MakeAudioFile(kFormatKX64, ".", "a", error)));
    EXPECT_TRUE(Is<AudioFileSUN>(MakeAudioFile(kFormatSun, ".", "a", error)));
    EXPECT_TRUE(Is<AudioFileRaw>(MakeAudioFile(kFormatRaw, ".", "a", error)));
    EXPECT_TRUE(error.empty()) << error;
    std::unique_ptr<AudioFile> made = MakeAudioFile(kFormatKX64, "/some/folder", "x.kx64", error);
    EXPECT_EQ(made->Folder(), "/some/folder");
    EXPECT_EQ(made->Path(), "x.kx64");

    EXPECT_TRUE(Is<AudioFileMp3>(MakeAudioFile(kFormatMp3, ".", "a", error)));
    EXPECT_TRUE(Is<AudioFileVorbis>(MakeAudioFile(kFormatVorbis, ".", "a", error)));
    EXPECT_TRUE(Is<AudioFileFlac>(MakeAudioFile(kFormatFlac, ".", "a", error)));
    for (int32_t code : {int32_t{kFormatAac}, int32_t{kFormatWma}, int32_t{-1}, int32_t{42}}) {
        error.clear();
        EXPECT_FALSE(MakeAudioFile(code, ".", "a", error)) << code;
        EXPECT_EQ(error, std::string("no reader or writer for ") + FormatName(code) + " files");
    }
}

TEST(AudioFileFactory, OutsideFilesAreProbedKX64ByItsMarkWhateverTheirName) {
    TempDir dir;
    const std::vector<int32_t> want = WriteRamp(dir, "k.kx64", 3000);
    std::filesystem::copy_file(dir / "k.kx64", dir / "k.bin");
    WriteRamp(dir, "w.wav", 100);
    std::filesystem::copy_file(dir / "w.wav", dir / "w.kx64");
    std::ofstream(dir / "t.txt") << "plain text";

    std::string error;
    EXPECT_EQ(ProbeAudioFile(dir.Str(), "k.bin", error), kFormatKX64);
    EXPECT_EQ(ProbeAudioFile(dir.Str(), "w.kx64", error), kFormatWav);
    EXPECT_EQ(ProbeAudioFile(dir.Str(), "t.txt", error), -1);
    EXPECT_EQ(error, "Format is not supported.");
    EXPECT_EQ(ProbeAudioFile(dir.Str(), "none.wav", error), -1);
    EXPECT_EQ(error, "Can't open file.");
    EXPECT_EQ(ProbeAudioFile((dir / "missing").string(), "k.kx64", error), -1);
    EXPECT_EQ(error, "Can't access input folder.");

    int32_t code = -2;
    std::unique_ptr<AudioFile> k = OpenAudioFileByProbe(dir.Str(), "k.bin", nullptr, code, error);
    ASSERT_TRUE(k) << error;
    EXPECT_EQ(code, kFormatKX64);
    EXPECT_EQ(k->frames, 3000);
    EXPECT_EQ(ReadAllInt(*k), want);

    EXPECT_FALSE(OpenAudioFileByProbe(dir.Str(), "t.txt", nullptr, code, error));
    EXPECT_EQ(code, -1);
    EXPECT_EQ(error, "Format is not supported.");

    // A file that claims its format by its mark but is cut short: the reader's own message.
    auto bytes = LoadBytes(dir / "k.kx64");
    bytes.resize(16);
    SaveBytes(dir / "cut.kx64", bytes);
    EXPECT_FALSE(OpenAudioFileByProbe(dir.Str(), "cut.kx64", nullptr, code, error));
    EXPECT_EQ(code, kFormatKX64);
    EXPECT_EQ(error, "No PRMS/SMPL chunks found (malformed?).");
}

TEST(AudioFileFactory, RawFilesOpenOnlyWithTheirLayoutGiven) {
    TempDir dir;
    // Two big-endian 16-bit mono frames.
    SaveBytes(dir / "m.raw", {0x12, 0x34, 0xFF, 0xFE});
    std::string error;
    int32_t code = -2;
    EXPECT_FALSE(OpenAudioFileByProbe(dir.Str(), "m.raw", nullptr, code, error));
    EXPECT_EQ(code, kFormatRaw);
    EXPECT_EQ(error, "raw files need their rate, channels and bits");

    RawFormat raw;
    raw.rate = 8000;
    raw.channels = 1;
    raw.bits = 16;
    raw.sampleType = kRawIntBE;
    std::unique_ptr<AudioFile> f = OpenAudioFileRead(kFormatRaw, dir.Str(), "m.raw", &raw, error);
    ASSERT_TRUE(f) << error;
    EXPECT_EQ(f->rate, 8000);
    EXPECT_EQ(f->frames, 2);
    EXPECT_EQ(ReadAllInt(*f), (std::vector<int32_t>{0x1234, 0x1234, -2, -2}));

    raw.bits = 12;
    EXPECT_FALSE(OpenAudioFileRead(kFormatRaw, dir.Str(), "m.raw", &raw, error));
    EXPECT_FALSE(error.empty());
}

TEST(AudioFileFactory, WritersByExtensionInAnyCase) {
    struct Case {
        const char* name;
        int32_t code;
        int32_t sampleType;
    } cases[] = {
        {"a.wav", kFormatWav, kSampleInt},   {"a.WAV", kFormatWav, kSampleInt},     {"a.aif", kFormatAiff, kSampleInt},
        {"a.AIFF", kFormatAiff, kSampleInt}, {"a.snd", kFormatSun, kSampleInt},     {"a.au", kFormatSun, kSampleInt},
        {"a.kx64", kFormatKX64, kSampleInt}, {"a.b.KX64", kFormatKX64, kSampleInt}, {"a.raw", kFormatRaw, kRawIntLE},
        {"a.Pcm", kFormatRaw, kRawIntLE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int32_t type = -1;
        std::string error;
        std::unique_ptr<AudioFile> w = MakeWriterForExtension("out", c.name, type, error);
        ASSERT_TRUE(w) << error;
        EXPECT_EQ(type, c.sampleType);
        std::unique_ptr<AudioFile> same = MakeAudioFile(c.code, "out", c.name, error);
        EXPECT_EQ(typeid(*w), typeid(*same));
        EXPECT_EQ(w->Path(), c.name);
    }
    for (const char* name : {"a.xyz", "noextension", "a.wav.", "a.mp3"}) {
        int32_t type = -1;
        std::string error;
        EXPECT_FALSE(MakeWriterForExtension("out", name, type, error));
        EXPECT_EQ(error,
                  std::string("no writer for the extension of ") + name + " (wav, aif, aiff, snd, au, kx64, raw, pcm)");
    }

    // What each writer makes, its probe finds and reads back.
    TempDir dir;
    for (const char* name : {"r.wav", "r.aiff", "r.au", "r.kx64"}) {
        SCOPED_TRACE(name);
        const std::vector<int32_t> want = WriteRamp(dir, name, 1500);
        int32_t code = -1;
        std::string error;
        std::unique_ptr<AudioFile> r = OpenAudioFileByProbe(dir.Str(), name, nullptr, code, error);
        ASSERT_TRUE(r) << error;
        EXPECT_EQ(ReadAllInt(*r), want);
    }
}

TEST(AudioFileFactory, PathsSplitIntoFolderAndName) {
    std::string folder, name;
    SplitAudioPath("a.wav", folder, name);
    EXPECT_EQ(folder, ".");
    EXPECT_EQ(name, "a.wav");
    SplitAudioPath("/a.wav", folder, name);
    EXPECT_EQ(folder, "/");
    EXPECT_EQ(name, "a.wav");
    SplitAudioPath("x/y/a.wav", folder, name);
    EXPECT_EQ(folder, "x/y");
    EXPECT_EQ(name, "a.wav");
}

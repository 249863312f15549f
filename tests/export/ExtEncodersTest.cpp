// "Encoders.dat" byte by byte, the profile checks of the dialog, and running real encoders
// without a shell.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "ExportTestUtil.h"
#include "audiofile/AudioFileWav.h"
#include "export/EncoderRun.h"
#include "export/ExtEncoders.h"

namespace {

ExtEncoderProfile Profile(const std::string& name, const std::string& args, const std::string& ext = "mp3",
                          const std::string& program = "sh") {
    return {"/bin", program, args, ext, name};
}

std::string Field(const std::vector<uint8_t>& b, size_t off, size_t size) {
    const char* p = reinterpret_cast<const char*>(b.data() + off);
    return std::string(p, strnlen(p, size));
}

void MakeScript(const std::filesystem::path& p, const std::string& body) {
    std::ofstream(p) << "#!/bin/sh\n" << body;
    chmod(p.c_str(), 0755);
}

// A 16-bit stereo WAV of half a second, as the export renders for an external encoder.
void MakeWav(const std::filesystem::path& p) {
    AudioFileWav w(p.parent_path().string(), p.filename().string());
    ASSERT_TRUE(w.OpenWrite(2, 44100, 16, 0));
    ASSERT_TRUE(WriteThrough(w, MakeStereo(22050, 44100)));
}

} // namespace

TEST(EncodersFile, RecordLayoutIsByteExact) {
    ExtEncoderList list;
    ASSERT_EQ(list.Add({"/usr/bin", "flac", "%s", "flac", "FLAC"}), ProfileCheck::Ok);
    ASSERT_EQ(list.Add({"/usr/bin", "lame", "%s %d -b %k", "mp3", "LAME"}), ProfileCheck::Ok);
    const auto b = list.Serialize();
    ASSERT_EQ(b.size(), 8u + 2 * 1096);
    EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + 8), (std::vector<uint8_t>{0, 0, 0, 0, 2, 0, 0, 0}));
    const size_t r = 8 + 1096; // the second record
    EXPECT_EQ(Field(b, r + 0, 512), "/usr/bin");
    EXPECT_EQ(Field(b, r + 512, 256), "lame");
    EXPECT_EQ(Field(b, r + 768, 64), "%s %d -b %k");
    EXPECT_EQ(Field(b, r + 832, 8), "mp3");
    EXPECT_EQ(Field(b, r + 840, 256), "LAME");
    // Every byte after a text is zero.
    for (size_t i = r + 840 + 4; i < r + 1096; ++i) ASSERT_EQ(b[i], 0) << i;
    for (size_t i = r + 768 + 11; i < r + 832; ++i) ASSERT_EQ(b[i], 0) << i;

    ExtEncoderList back;
    std::string error;
    ASSERT_TRUE(back.Parse(b.data(), b.size(), error)) << error;
    ASSERT_EQ(back.Count(), 2);
    EXPECT_EQ(back.At(1).arguments, "%s %d -b %k");
    EXPECT_EQ(back.At(0).name, "FLAC");
    EXPECT_EQ(back.Serialize(), b);
}

TEST(EncodersFile, DamagedFilesAreBoundedByTheBytesThere) {
    ExtEncoderList list;
    std::string error;
    const uint8_t shortFile[5] = {0, 0, 0, 0, 1};
    EXPECT_FALSE(list.Parse(shortFile, sizeof shortFile, error));
    EXPECT_EQ(list.Count(), 0);

    // A count of two billion over one record: one profile kept, no huge allocation.
    std::vector<uint8_t> b(8 + 1096, 0);
    b[4] = 0xFF, b[5] = 0xFF, b[6] = 0xFF, b[7] = 0x7F;
    std::memcpy(b.data() + 8 + 840, "Cut", 3);
    error.clear();
    EXPECT_FALSE(list.Parse(b.data(), b.size(), error));
    EXPECT_NE(error.find("cut short"), std::string::npos);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.At(0).name, "Cut");

    b[7] = 0x80; // negative
    EXPECT_FALSE(list.Parse(b.data(), b.size(), error));
    EXPECT_EQ(list.Count(), 0);

    // Texts without their terminating zero end at their field.
    std::vector<uint8_t> full(8 + 1096, 'x');
    std::memset(full.data(), 0, 8);
    full[4] = 1;
    ASSERT_TRUE(list.Parse(full.data(), full.size(), error));
    EXPECT_EQ(list.At(0).extension, "xxxxxxxx");
    EXPECT_EQ(list.At(0).name.size(), 256u);

    // More than 64 records: the first 64 are kept.
    ExtEncoderList big;
    for (int i = 0; i < 64; ++i) ASSERT_EQ(big.Add(Profile("p" + std::to_string(i), "%s")), ProfileCheck::Ok);
    auto bytes = big.Serialize();
    bytes.insert(bytes.end(), bytes.begin() + 8, bytes.begin() + 8 + 1096);
    bytes[4] = 65;
    EXPECT_FALSE(list.Parse(bytes.data(), bytes.size(), error));
    EXPECT_EQ(list.Count(), 64);
}

TEST(EncodersFile, LoadSaveMissingFileAndFailedWrites) {
    TempDir dir;
    const std::string path = (dir / "Encoders.dat").string();
    ExtEncoderList list;
    std::string error;
    EXPECT_TRUE(list.Load(path, error)); // missing: empty list, no error
    EXPECT_EQ(list.Count(), 0);

    ASSERT_EQ(list.Add(Profile("One", "%s")), ProfileCheck::Ok);
    ASSERT_TRUE(list.Save(path, error)) << error;
    // Deleting the only profile leaves an empty list and a file of the reserved word and 0.
    ASSERT_TRUE(list.Delete(0));
    EXPECT_FALSE(list.Delete(0));
    ASSERT_TRUE(list.Save(path, error));
    EXPECT_EQ(LoadBytes(path), std::vector<uint8_t>(8, 0));

    ASSERT_EQ(list.Add(Profile("Two", "%s")), ProfileCheck::Ok);
    ASSERT_TRUE(list.Save(path, error));
    ExtEncoderList back;
    ASSERT_TRUE(back.Load(path, error));
    ASSERT_EQ(back.Count(), 1);
    EXPECT_EQ(back.At(0).name, "Two");

    // A folder that can't be written: the save fails with a message.
    EXPECT_FALSE(list.Save((dir / "no" / "Encoders.dat").string(), error));
    EXPECT_FALSE(error.empty());
    // A target that can't be replaced: the save fails and leaves no half-written file.
    const auto blocked = dir / "blocked";
    std::filesystem::create_directories(blocked / "inside");
    EXPECT_FALSE(list.Save(blocked.string(), error));
    EXPECT_FALSE(std::filesystem::exists(blocked.string() + ".new"));
    EXPECT_TRUE(std::filesystem::is_directory(blocked));
}

TEST(EncoderProfiles, TheSevenChecks) {
    ExtEncoderList list;
    EXPECT_EQ(list.Add({"/bin", "", "%s", "mp3", "A"}), ProfileCheck::NoProgram);
    EXPECT_EQ(list.Add({"/bin", "no-such-program-here", "%s", "mp3", "A"}), ProfileCheck::ProgramUnreadable);
    EXPECT_EQ(list.Add(Profile("A", "%d -b %k")), ProfileCheck::NoInput);
    EXPECT_EQ(list.Add(Profile("A", "%s %s")), ProfileCheck::TwoInputs);
    EXPECT_EQ(list.Add(Profile("A", "%s %d %d")), ProfileCheck::TwoOutputs);
    EXPECT_EQ(list.Add(Profile("A", "%s", "")), ProfileCheck::NoExtension);
    EXPECT_EQ(list.Add(Profile("", "%s")), ProfileCheck::NoName);
    EXPECT_EQ(list.Add(Profile("A", "%s " + std::string(62, 'x'))), ProfileCheck::TooLong);
    EXPECT_EQ(list.Add(Profile("A", "%s", "longextn")), ProfileCheck::TooLong);
    EXPECT_EQ(list.Count(), 0);
    // "%s" alone, without an output placeholder, is accepted.
    EXPECT_EQ(list.Add(Profile("A", "%s")), ProfileCheck::Ok);
    EXPECT_EQ(list.Count(), 1);
}

TEST(EncoderProfiles, SameNameReplacesBitRateUseAndCapacity) {
    ExtEncoderList list;
    ASSERT_EQ(list.Add(Profile("LAME", "%s %d -b %k")), ProfileCheck::Ok);
    ASSERT_EQ(list.Add(Profile("Other", "%s %d")), ProfileCheck::Ok);
    ASSERT_EQ(list.Add(Profile("lame", "%s %d -b %b", "mp2")), ProfileCheck::Ok);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.At(0).name, "lame");
    EXPECT_EQ(list.At(0).extension, "mp2");
    EXPECT_TRUE(list.UsesBitRate(0));
    EXPECT_FALSE(list.UsesBitRate(1));
    EXPECT_FALSE(list.UsesBitRate(5));
    for (int i = 2; i < 64; ++i) ASSERT_EQ(list.Add(Profile("p" + std::to_string(i), "%s")), ProfileCheck::Ok);
    EXPECT_EQ(list.Add(Profile("one too many", "%s")), ProfileCheck::ListFull);
    EXPECT_EQ(list.Add(Profile("P2", "%s %d")), ProfileCheck::Ok); // replacing still works when full
    EXPECT_EQ(list.Count(), 64);
}

TEST(EncoderPresets, TheSevenPresets) {
    EXPECT_STREQ(kEncoderPresets[0].caption, "none (edit by hand)");
    EXPECT_STREQ(kEncoderPresets[0].arguments, "");
    EXPECT_STREQ(kEncoderPresets[1].arguments, "%s %d -b%k");
    EXPECT_STREQ(kEncoderPresets[2].arguments, "%s");
    EXPECT_STREQ(kEncoderPresets[2].extension, "flac");
    EXPECT_STREQ(kEncoderPresets[4].caption, "Monkey's Audio arguments");
    EXPECT_STREQ(kEncoderPresets[5].arguments, "--standard %s %d");
    EXPECT_STREQ(kEncoderPresets[6].extension, "ogg");
}

TEST(EncoderArguments, SplitsWordsAndReplacesEachPlaceholderOnce) {
    EXPECT_EQ(SplitArguments("  a  \"b c\" d\"e f\"g \"\" "), (std::vector<std::string>{"a", "b c", "de fg", ""}));
    EXPECT_EQ(SplitArguments("\"unclosed x"), (std::vector<std::string>{"unclosed x"}));
    EXPECT_EQ(EncoderArguments("%s %d -b %k", "/a b/in.wav", "/a b/out.mp3", 128),
              (std::vector<std::string>{"/a b/in.wav", "/a b/out.mp3", "-b", "128"}));
    EXPECT_EQ(EncoderArguments("-b%k --rate=%b %k %s", "i", "o", 192),
              (std::vector<std::string>{"-b192", "--rate=192000", "%k", "i"}));
    // A path that holds a placeholder is not replaced again.
    EXPECT_EQ(EncoderArguments("%s %d", "/x/100%d.wav", "/x/o.mp3", 128),
              (std::vector<std::string>{"/x/100%d.wav", "/x/o.mp3"}));
    ExtEncoderProfile p{"/usr/bin", "lame", "%s %d -b %k", "mp3", "LAME"};
    EXPECT_EQ(EncoderCommandLine(p, "/e/Song.wav", "/e/Song.mp3", 128),
              "/usr/bin/lame \"/e/Song.wav\" \"/e/Song.mp3\" -b 128");
}

TEST(EncoderRun, ShellCharactersInPathsReachTheProgramAsTheyAre) {
    TempDir dir;
    const auto script = dir / "record args.sh";
    MakeScript(script, "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$(dirname \"$0\")/args.txt\"\n");
    const std::string nasty = "it's \"$(touch PWNED1)\" `touch PWNED2`; touch PWNED3 $HOME & |x";
    const std::string wav = (dir / (nasty + ".wav")).string();
    const std::string out = (dir / (nasty + ".mp3")).string();
    std::ofstream(wav) << "x";
    ExtEncoderProfile p{dir.Str(), "record args.sh", "%s -o %d -b %k", "mp3", "rec"};
    std::string report;
    ASSERT_TRUE(RunExternalEncoder(p, wav, out, 128, report)) << report;
    EXPECT_TRUE(report.empty());
    std::ifstream in(dir / "args.txt");
    std::vector<std::string> args;
    for (std::string line; std::getline(in, line);) args.push_back(line);
    EXPECT_EQ(args, (std::vector<std::string>{wav, "-o", out, "-b", "128"}));
    for (const char* f : {"PWNED1", "PWNED2", "PWNED3"}) {
        EXPECT_FALSE(std::filesystem::exists(dir / f)) << f;
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::current_path() / f)) << f;
    }
    EXPECT_FALSE(std::filesystem::exists(wav)); // deleted on success
}

TEST(EncoderRun, FailingOrMissingProgramKeepsTheWavAndReports) {
    TempDir dir;
    const std::string wav = (dir / "Song.wav").string();
    std::ofstream(wav) << "x";
    std::string report;
    ExtEncoderProfile fails{"/bin", "false", "%s", "x", "F"};
    EXPECT_FALSE(RunExternalEncoder(fails, wav, (dir / "Song.x").string(), 128, report));
    EXPECT_EQ(report, "External encoder failed, check syntax:/bin/false");
    EXPECT_TRUE(std::filesystem::exists(wav));
    ExtEncoderProfile missing{dir.Str(), "gone", "%s", "x", "G"};
    EXPECT_FALSE(RunExternalEncoder(missing, wav, (dir / "Song.x").string(), 128, report));
    EXPECT_EQ(report, "External encoder failed, check syntax:" + dir.Str() + "/gone");
    EXPECT_TRUE(std::filesystem::exists(wav));
    // Killed by a signal counts as failed too.
    MakeScript(dir / "dies", "kill -9 $$\n");
    ExtEncoderProfile dies{dir.Str(), "dies", "%s", "x", "D"};
    EXPECT_FALSE(RunExternalEncoder(dies, wav, (dir / "Song.x").string(), 128, report));
    EXPECT_TRUE(std::filesystem::exists(wav));
}

TEST(EncoderRun, RealFlacAndLameThroughARealEncodersFile) {
    REQUIRE_TOOL("flac");
    REQUIRE_TOOL("lame");
    REQUIRE_TOOL("ffprobe");
    TempDir dir;
    const auto where = [](const char* tool) {
        for (const char* d : {"/usr/bin", "/usr/local/bin", "/bin"})
            if (std::filesystem::exists(std::filesystem::path(d) / tool)) return std::string(d);
        return std::string();
    };
    ExtEncoderList list;
    ASSERT_EQ(list.Add({where("flac"), "flac", kEncoderPresets[2].arguments, "flac", "FLAC"}), ProfileCheck::Ok);
    ASSERT_EQ(list.Add({where("lame"), "lame", kEncoderPresets[3].arguments, "mp3", "LAME"}), ProfileCheck::Ok);
    std::string error;
    ASSERT_TRUE(list.Save((dir / "Encoders.dat").string(), error));
    ExtEncoderList loaded;
    ASSERT_TRUE(loaded.Load((dir / "Encoders.dat").string(), error));
    ASSERT_EQ(loaded.Count(), 2);

    const auto out = dir / "my masters";
    std::filesystem::create_directory(out);
    for (int i = 0; i < 2; ++i) {
        const ExtEncoderProfile& p = loaded.At(i);
        SCOPED_TRACE(p.name);
        const std::string wav = (out / "Song one.wav").string();
        const std::string encoded = (out / ("Song one." + p.extension)).string();
        MakeWav(wav);
        std::string report;
        ASSERT_TRUE(RunExternalEncoder(p, wav, encoded, 128, report)) << report;
        EXPECT_FALSE(std::filesystem::exists(wav));
        auto probe = Probe(encoded, dir);
        EXPECT_EQ(probe["codec_name"], i == 0 ? "flac" : "mp3");
        EXPECT_EQ(probe["sample_rate"], "44100");
        EXPECT_EQ(probe["channels"], "2");
        if (i == 1) {
            // Of a half-second file the Info frame is a good part: the rate is near, not at, 128000.
            EXPECT_NEAR(std::stod(probe["bit_rate"]), 128000.0, 12000.0);
        }
    }
}

TEST(EncoderRun, CancelEndsTheEncoderAndWhatItStartedAndLeavesNoFile) {
    TempDir dir;
    // The encoder begins its output, then waits on a child; both ignore SIGTERM, so only the
    // SIGKILL after the grace time ends them.
    MakeScript(dir / "stubborn", "trap '' TERM\n: > \"$2\"\nsleep 120 &\necho $! > \"$(dirname \"$0\")/child\"\n"
                                 "echo $$ > \"$(dirname \"$0\")/pid\"\nwait\nwait\n");
    const std::string wav = (dir / "Song.wav").string(), out = (dir / "Song.x").string();
    std::ofstream(wav) << "x";
    std::atomic<bool> cancel{false};
    std::thread presser([&] {
        for (int i = 0; i < 600 && !std::filesystem::exists(dir / "pid"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::this_thread::sleep_for(std::chrono::milliseconds(50)); // the pid written whole
        cancel.store(true);
    });
    const int status = RunProgram((dir / "stubborn").string(), {wav, out}, &cancel, 200);
    presser.join();
    EXPECT_EQ(status, kProgramCanceled);
    const long pid = std::atol(LoadText(dir / "pid").c_str()), child = std::atol(LoadText(dir / "child").c_str());
    ASSERT_GT(pid, 0);
    ASSERT_GT(child, 0);
    EXPECT_FALSE(ProcessRunning(pid));
    EXPECT_FALSE(ProcessRunning(child));

    // Through the export's call: "Canceled.", the WAV file and the begun output both gone.
    std::filesystem::remove(dir / "pid");
    cancel.store(false);
    std::thread again([&] {
        for (int i = 0; i < 600 && !std::filesystem::exists(dir / "pid"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        cancel.store(true);
    });
    ExtEncoderProfile p{dir.Str(), "stubborn", "%s %d", "x", "S"};
    std::string report;
    EXPECT_FALSE(RunExternalEncoder(p, wav, out, 128, report, &cancel));
    again.join();
    EXPECT_EQ(report, "Canceled.");
    EXPECT_FALSE(std::filesystem::exists(wav));
    EXPECT_FALSE(std::filesystem::exists(out));

    // An output the encoder never reached (an earlier export of the name) stays as it was.
    std::ofstream(wav) << "x";
    std::ofstream(out) << "earlier";
    MakeScript(dir / "idle", "echo $$ > \"$(dirname \"$0\")/pid\"\nexec sleep 120\n");
    std::filesystem::remove(dir / "pid");
    cancel.store(false);
    std::thread third([&] {
        for (int i = 0; i < 600 && !std::filesystem::exists(dir / "pid"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        cancel.store(true);
    });
    ExtEncoderProfile idle{dir.Str(), "idle", "%s %d", "x", "I"};
    EXPECT_FALSE(RunExternalEncoder(idle, wav, out, 128, report, &cancel));
    third.join();
    EXPECT_EQ(report, "Canceled.");
    EXPECT_FALSE(std::filesystem::exists(wav));
    EXPECT_EQ(LoadText(dir / "Song.x"), "earlier");
}

// sonquil-cli export on a real library: every format read back by ffprobe with the right rate,
// channels and length, naming and tags, external encoder profiles from "Encoders.dat", the
// same bytes as the export job the window runs, and one-line errors.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "audiofile/AudioFileWav.h"
#include "common/MainThreadPort.h"
#include "core/CCore.h"
#include "core/ExportJob.h"
#include "export/TagBatch.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "library/CSample.h"
#include "library/CSampleList.h"
#include "support/AudioFiles.h"
#include "support/OracleTool.h"
#include "support/ScriptedUiPort.h"
#include "support/Files.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

int Tool(const TempDir& dir, const std::string& args, std::string& out, std::string& err) {
    const std::string o = (dir / "out.txt").string(), e = (dir / "err.txt").string();
    const int status = RunCommand("XDG_RUNTIME_DIR=" + ShellQuote(dir.Str()) + " " + SONQUIL_CLI + " --library " +
                                  ShellQuote(dir.Str()) + " " + args + " >" + ShellQuote(o) + " 2>" + ShellQuote(e) +
                                  " </dev/null");
    out = LoadText(o);
    err = LoadText(e);
    return status;
}

// ffprobe's stream and format fields, tags included, as key=value.
std::map<std::string, std::string> Probe(const fs::path& file) {
    const fs::path out = file.string() + ".probe";
    std::map<std::string, std::string> m;
    if (RunCommand("ffprobe -v error -select_streams a:0 -show_entries "
                   "stream=codec_name,sample_rate,channels,bits_per_sample,duration_ts,bit_rate:format=format_name,"
                   "duration:format_tags:stream_tags -of default=nw=1 " +
                   ShellQuote(file.string()) + " > " + ShellQuote(out.string())) != 0)
        return m;
    std::ifstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = line.substr(0, eq);
        for (auto& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (key.rfind("tag:", 0) == 0) key = key.substr(4);
        m[key] = line.substr(eq + 1);
    }
    return m;
}

struct Library {
    int32_t intro = 0, verse = 0, album = 0;
};

// A library holding a linked 44.1 kHz stereo file with two regions; "Verse" lies in a folder.
Library MakeLibrary(const TempDir& dir) {
    Library lib;
    ScriptedUiPort ui;
    fs::create_directories(dir / "store");
    ui.folderAnswers = {(dir / "store").string()};
    MainThreadPort port;
    CCore core(ui, port);
    CoreOptions options;
    options.baseFolder = dir.Path();
    options.withSoundCards = false;
    EXPECT_EQ(core.Start(options), CCore::StartResult::Running);
    const int64_t frames = 30000;
    std::vector<float> pcm(2 * frames);
    for (int64_t i = 0; i < frames; ++i) {
        pcm[2 * i] = static_cast<float>(0.5 * std::sin(i * 0.0627));
        pcm[2 * i + 1] = static_cast<float>(0.4 * std::sin(i * 0.0941));
    }
    EXPECT_TRUE(MakeWavFile(dir.Str(), "song.wav", pcm, 44100));
    auto* sample = new CSample("song.wav", dir.Str(), 0, 0, 44100, 2, 16, frames, kFormatWav,
                               static_cast<int64_t>(fs::file_size(dir / "song.wav")));
    core.SampleList()->Add(sample);
    auto* folder = new CRegion("Album", 0, 1, nullptr, RegionFolder, -1, FolderId::User);
    core.RegionList()->Insert(folder);
    auto* intro = new CRegion("Intro", 0, 20000, sample, 0, -1, FolderId::User);
    intro->SetTitle("The Intro");
    intro->SetArtist("Band");
    intro->SetYear(2007);
    intro->SetGenre("Rock");
    core.RegionList()->Insert(intro);
    auto* verse = new CRegion("Verse", 5000, 25000, sample, 0, -1, folder->GetId());
    core.RegionList()->Insert(verse);
    lib.intro = intro->GetId();
    lib.verse = verse->GetId();
    lib.album = folder->GetId();
    core.MarkStartupComplete();
    EXPECT_TRUE(core.Stop());
    return lib;
}

} // namespace

TEST(ExportCommand, EveryFormatReadsBackWithItsRateChannelsAndLength) {
    REQUIRE_TOOL("ffprobe");
    TempDir dir;
    const Library lib = MakeLibrary(dir);
    std::string out, err;
    struct Case {
        const char* format;
        const char* file;
        const char* codec;
    };
    const Case cases[] = {{"wav", "Intro.wav", "pcm_s16le"}, {"aiff", "Intro.aif", "pcm_s16be"},
                          {"snd", "Intro.snd", "pcm_s16be"}, {"mp3", "Intro.mp3", "mp3"},
                          {"ogg", "Intro.ogg", "vorbis"},    {"flac", "Intro.flac", "flac"},
                          {"aac", "Intro.aac", "aac"},       {"wma", "Intro.wma", "wmav2"}};
    const fs::path to = dir / "masters";
    fs::create_directories(to);
    for (const Case& c : cases) {
        ASSERT_EQ(Tool(dir,
                       "export " + std::to_string(lib.intro) + " --format " + c.format + " --to " +
                           ShellQuote(to.string()),
                       out, err),
                  0)
            << c.format << ": " << err;
        EXPECT_EQ(out.rfind(std::string(c.file) + "\tOK (", 0), 0u) << out;
        auto p = Probe(to / c.file);
        EXPECT_EQ(p["codec_name"], c.codec) << c.format;
        EXPECT_EQ(p["sample_rate"], "44100") << c.format;
        EXPECT_EQ(p["channels"], "2") << c.format;
        // 20001 frames: 0.4535 s; the lossy codecs add their padding, never more than 0.1 s.
        const double duration = std::atof(p["duration"].c_str());
        EXPECT_GE(duration, 0.45) << c.format;
        EXPECT_LT(duration, 0.56) << c.format;
    }
    // PCM holds exactly L + 1 frames; the lossless FLAC too.
    EXPECT_EQ(Probe(to / "Intro.wav")["duration_ts"], "20001");
    EXPECT_EQ(Probe(to / "Intro.flac")["duration_ts"], "20001");
    // Tags: Vorbis comments in FLAC and Ogg, ID3 in MP3, ASF metadata in WMA.
    for (const char* f : {"Intro.flac", "Intro.ogg", "Intro.mp3"}) {
        auto p = Probe(to / f);
        EXPECT_EQ(p["title"], "The Intro") << f;
        EXPECT_EQ(p["artist"], "Band") << f;
        EXPECT_EQ(p["genre"], "Rock") << f;
        EXPECT_EQ(p["track"].empty() ? p["tracknumber"] : p["track"], "1") << f;
    }

    // RAW 24-bit big-endian: three bytes a sample, nothing else; the mono switch halves it.
    ASSERT_EQ(Tool(dir,
                   "export " + std::to_string(lib.intro) + " --format raw --bits 24 --order be --mono --to " +
                       ShellQuote(to.string()),
                   out, err),
              0)
        << err;
    EXPECT_EQ(fs::file_size(to / "Intro.raw"), 20001u * 3u);
    EXPECT_NE(out.find("RAW 24-bit big-endian mono"), std::string::npos) << out;
    // 32-bit float WAV.
    ASSERT_EQ(Tool(dir,
                   "export " + std::to_string(lib.intro) + " --format wav --bits 32f --to " + ShellQuote(to.string()),
                   out, err),
              0);
    EXPECT_EQ(Probe(to / "Intro.wav")["codec_name"], "pcm_f32le");
}

TEST(ExportCommand, FolderNamingSubfolderAndTheSameBytesAsTheWindowsJob) {
    TempDir dir;
    const Library lib = MakeLibrary(dir);
    std::string out, err;
    const fs::path to = dir / "cli";
    fs::create_directories(to);
    ASSERT_EQ(Tool(dir,
                   "export " + std::to_string(lib.intro) + " --folder " + std::to_string(lib.album) +
                       " --format wav --bits 24 --naming base:Master:7 --subfolder 'CD:1' --to " +
                       ShellQuote(to.string()),
                   out, err),
              0)
        << err;
    EXPECT_NE(out.find("Master7.wav\tOK (WAV 24-bit"), std::string::npos) << out;
    EXPECT_NE(out.find("Master8.wav\tOK (WAV 24-bit"), std::string::npos) << out;
    ASSERT_TRUE(fs::exists(to / "CD_1" / "Master8.wav"));
    // --subfolder names a folder made inside --to; one that is there already is written into
    // again, and the name's path characters never reach the file system as such.
    ASSERT_EQ(Tool(dir,
                   "export " + std::to_string(lib.intro) + " --format wav --subfolder 'CD:1' --to " +
                       ShellQuote(to.string()),
                   out, err),
              0)
        << err;
    EXPECT_TRUE(fs::exists(to / "CD_1" / "Intro.wav"));
    EXPECT_TRUE(fs::exists(to / "CD_1" / "Master7.wav"));
    ASSERT_EQ(Tool(dir,
                   "export " + std::to_string(lib.intro) + " --format wav --subfolder 'a/b' --to " +
                       ShellQuote(to.string()),
                   out, err),
              0)
        << err;
    EXPECT_TRUE(fs::is_directory(to / "a_b"));
    EXPECT_FALSE(fs::exists(to / "a"));

    // The window's path: the job on the core, with the choice its form would make.
    const fs::path win = dir / "window";
    fs::create_directories(win);
    {
        ScriptedUiPort ui;
        MainThreadPort port;
        CCore core(ui, port);
        CoreOptions options;
        options.baseFolder = dir.Path();
        options.withSoundCards = false;
        ASSERT_EQ(core.Start(options), CCore::StartResult::Running);
        ExportChoice c;
        for (const ExportFormatEntry& e : BuildExportFormatList(&core.Encoders()))
            if (e.caption == "WAV") c.format = e;
        c.depthIndex = 1;
        c.baseNameIndex = true;
        c.baseName = "Master";
        c.startIndex = 7;
        c.folder = win.string();
        ExportJob job(core);
        bool show = false;
        ASSERT_TRUE(job.Export(
            c, {FindRegionById(*core.RegionList(), lib.intro), FindRegionById(*core.RegionList(), lib.verse)}, show));
    }
    EXPECT_TRUE(LoadText(win / "Master7.wav") == LoadText(to / "CD_1" / "Master7.wav"));
    EXPECT_TRUE(LoadText(win / "Master8.wav") == LoadText(to / "CD_1" / "Master8.wav"));
    EXPECT_EQ(fs::file_size(win / "Master8.wav"), 44u + 20001u * 6u);
}

TEST(ExportCommand, ExternalEncoderProfilesFromEncodersDat) {
    REQUIRE_TOOL("lame");
    REQUIRE_TOOL("ffprobe");
    TempDir dir;
    const Library lib = MakeLibrary(dir);
    std::string out, err;
    ASSERT_EQ(Tool(dir, "encoders add LAME /usr/bin/lame '%s %d -b %k --quiet' mp3", out, err), 0) << err;
    ASSERT_EQ(Tool(dir, "encoders add Fails /bin/false '%s %d' xyz", out, err), 0) << err;
    const fs::path to = dir / "with spaces $x";
    fs::create_directories(to);
    ASSERT_EQ(Tool(dir,
                   "export " + std::to_string(lib.intro) + " --format lame --kbps 192 --to " + ShellQuote(to.string()),
                   out, err),
              0)
        << err;
    EXPECT_EQ(out.rfind("Intro.mp3\tOK (LAME, ", 0), 0u) << out;
    EXPECT_FALSE(fs::exists(to / "Intro.wav"));
    auto p = Probe(to / "Intro.mp3");
    EXPECT_EQ(p["codec_name"], "mp3");
    EXPECT_EQ(p["bit_rate"].substr(0, 3), "192") << p["bit_rate"];

    EXPECT_NE(Tool(dir, "export " + std::to_string(lib.intro) + " --format Fails --to " + ShellQuote(to.string()), out,
                   err),
              0);
    EXPECT_EQ(out, "Intro.xyz\tExternal encoder failed, check syntax:/bin/false\n");
    // Progress goes to stderr, then the one line saying what failed.
    EXPECT_EQ(err.substr(err.rfind('\n', err.size() - 2) + 1), "sonquil-cli: 1 of 1 files failed\n") << err;
    EXPECT_TRUE(fs::exists(to / "Intro.wav"));
    // A profile without %k takes no bit rate.
    EXPECT_NE(Tool(dir,
                   "export " + std::to_string(lib.intro) + " --format Fails --kbps 128 --to " + ShellQuote(to.string()),
                   out, err),
              0);
    EXPECT_EQ(err, "sonquil-cli: Fails takes no --kbps\n");
}

TEST(ExportCommand, OneLineErrors) {
    TempDir dir;
    const Library lib = MakeLibrary(dir);
    const std::string id = std::to_string(lib.intro), to = " --to " + ShellQuote(dir.Str());
    std::string out, err;
    struct Case {
        std::string args, error;
    };
    const Case cases[] = {
        {"export " + id + " --format wav", "usage: export"},
        {"export --format wav" + to, "usage: export"},
        {"export 99999 --format wav" + to, "no region with id 99999"},
        {"export " + id + " --format nope" + to, "no format or external encoder named nope"},
        {"export " + id + " --format mp3 --bits 24" + to, "MP3 takes no --bits"},
        {"export " + id + " --format wav --order be" + to, "--order is for raw files only"},
        {"export " + id + " --format aiff --bits 32f" + to, "AIFF takes no 32-bit float depth"},
        {"export " + id + " --format flac --bits 32" + to, "FLAC takes no 32-bit integer depth"},
        {"export " + id + " --format mp3 --kbps 100" + to, "100 kbit/s is not offered for MP3"},
        {"export " + id + " --format wma --kbps 320" + to, "320 kbit/s is not offered for WMA"},
        {"export " + id + " --format ogg --mono" + to, "OGG takes no --mono"},
        {"export " + id + " --format wav --naming base:X:1000" + to, "bad --naming base:X:1000"},
        {"export " + id + " --format wav --to " + ShellQuote((dir / "missing").string()), "no folder "},
        {"export " + id + " --format wav --subfolder x --to " + ShellQuote((dir / "song.wav").string()), "no folder "},
        {"export " + id + " --format wav --subfolder taken --to " + ShellQuote(dir.Str()),
         "Can't create selected subfolder."},
    };
    // A file where the subfolder would go.
    std::FILE* taken = std::fopen((dir / "taken").string().c_str(), "wb");
    ASSERT_TRUE(taken);
    std::fclose(taken);
    for (const Case& c : cases) {
        EXPECT_NE(Tool(dir, c.args, out, err), 0) << c.args;
        EXPECT_EQ(err.rfind("sonquil-cli: " + c.error, 0), 0u) << c.args << " -> " << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_TRUE(out.empty()) << out;
    }
}

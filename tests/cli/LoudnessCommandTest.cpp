// sonquil-cli loudness: one tab-separated line per file with its units, the album line, and
// the unreadable file on stderr with a non-zero exit after the others; and export --loudness,
// per file and as an album, with its report lines.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <sstream>
#include <utility>
#include <vector>

#include "common/FolderId.h"
#include "common/MainThreadPort.h"
#include "core/CCore.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "library/CSample.h"
#include "library/CSampleList.h"
#include "loudness/FileLoudness.h"
#include "support/AudioFiles.h"
#include "support/OracleTool.h"
#include "support/ScriptedUiPort.h"
#include "support/Files.h"
#include "support/TempDir.h"

TEST(LoudnessCommand, PrintsEachFileThenTheAlbum) {
    TempDir dir;
    auto tone = [](double dbfs) {
        const double a = std::pow(10.0, dbfs / 20.0);
        std::vector<float> s(2 * 48000 * 10);
        for (size_t i = 0; i < s.size() / 2; ++i)
            s[2 * i] = s[2 * i + 1] = static_cast<float>(a * std::sin(2 * 3.14159265358979 * 1000 * i / 48000.0));
        return s;
    };
    ASSERT_TRUE(MakeWavFile(dir.Str(), "loud.wav", tone(-20), 48000, 2, 24));
    ASSERT_TRUE(MakeWavFile(dir.Str(), "soft.wav", tone(-30), 48000, 2, 24));
    SaveBytes(dir / "bad.wav", std::vector<uint8_t>(100, 1));
    const std::string out = (dir / "out.txt").string(), err = (dir / "err.txt").string();
    const int status = RunCommand("cd " + ShellQuote(dir.Str()) + " && " + SONQUIL_CLI +
                                  " loudness loud.wav bad.wav soft.wav >" + ShellQuote(out) + " 2>" + ShellQuote(err));
    EXPECT_NE(status, 0);
    EXPECT_EQ(LoadText(out), "loud.wav\t-20.0 LUFS\t0.0 LU\t-20.0 dBTP\n"
                             "soft.wav\t-30.0 LUFS\t0.0 LU\t-30.0 dBTP\n"
                             "album\t-22.6 LUFS\t10.0 LU\t-20.0 dBTP\n");
    const std::string e = LoadText(err);
    EXPECT_EQ(e.find("sonquil-cli: bad.wav: "), 0u) << e;
    EXPECT_NE(e.find("1 of 3 files could not be read"), std::string::npos) << e;

    // Readable files alone: exit 0.
    EXPECT_EQ(RunCommand("cd " + ShellQuote(dir.Str()) + " && " + SONQUIL_CLI + " loudness loud.wav >/dev/null"), 0);
}

namespace {

// A library holding one linked 44.1 kHz file with a soft first half and a loud second half,
// and a region of each.
std::pair<int32_t, int32_t> MakeTwoLevelLibrary(const TempDir& dir) {
    ScriptedUiPort ui;
    std::filesystem::create_directories(dir / "store");
    ui.folderAnswers = {(dir / "store").string()};
    MainThreadPort port;
    CCore core(ui, port);
    CoreOptions options;
    options.baseFolder = dir.Path();
    options.withSoundCards = false;
    EXPECT_EQ(core.Start(options), CCore::StartResult::Running);
    const int64_t half = 5 * 44100;
    std::vector<float> pcm(4 * half);
    for (int64_t i = 0; i < 2 * half; ++i) {
        const double a = i < half ? 0.05 : 0.3;
        pcm[2 * i] = static_cast<float>(a * std::sin(i * 0.0627));
        pcm[2 * i + 1] = static_cast<float>(a * std::sin(i * 0.0941));
    }
    EXPECT_TRUE(MakeWavFile(dir.Str(), "song.wav", pcm, 44100));
    auto* sample = new CSample("song.wav", dir.Str(), 0, 0, 44100, 2, 16, 2 * half, kFormatWav,
                               static_cast<int64_t>(std::filesystem::file_size(dir / "song.wav")));
    core.SampleList()->Add(sample);
    auto* soft = new CRegion("Soft", 0, half - 1, sample, 0, -1, FolderId::User);
    soft->SetTitle("Soft Song");
    auto* loud = new CRegion("Loud", half, 2 * half - 1, sample, 0, -1, FolderId::User);
    core.RegionList()->Insert(soft);
    core.RegionList()->Insert(loud);
    const auto ids = std::make_pair(soft->GetId(), loud->GetId());
    core.MarkStartupComplete();
    EXPECT_TRUE(core.Stop());
    return ids;
}

int Export(const TempDir& dir, const std::string& args, std::string& out, std::string& err) {
    const std::string o = (dir / "out.txt").string(), e = (dir / "err.txt").string();
    const int status = RunCommand("XDG_RUNTIME_DIR=" + ShellQuote(dir.Str()) + " " + SONQUIL_CLI + " --library " +
                                  ShellQuote(dir.Str()) + " export " + args + " >" + ShellQuote(o) + " 2>" +
                                  ShellQuote(e) + " </dev/null");
    out = LoadText(o);
    err = LoadText(e);
    return status;
}

} // namespace

TEST(LoudnessCommand, ExportToATargetPerFileAndAsAlbum) {
    TempDir dir;
    const auto [soft, loud] = MakeTwoLevelLibrary(dir);
    const std::string ids = std::to_string(soft) + " " + std::to_string(loud);
    std::filesystem::create_directories(dir / "files");
    std::filesystem::create_directories(dir / "album");
    std::string out, err;
    ASSERT_EQ(Export(dir,
                     ids + " --format wav --bits 24 --to " + ShellQuote((dir / "files").string()) + " --loudness -20",
                     out, err),
              0)
        << err;
    // Each report line gives the file's loudness and true peak; each file is at the target.
    for (const char* name : {"Soft.wav", "Loud.wav"}) {
        EXPECT_NE(out.find(std::string(name) + "\tOK (WAV 24-bit"), std::string::npos) << out;
        LoudnessMeter m;
        std::string error;
        ASSERT_TRUE(MeasureFileLoudness((dir / "files" / name).string(), m, error)) << error;
        EXPECT_NEAR(m.Figures().integrated, -20.0, 0.2) << name;
        EXPECT_NE(out.find(LoudnessText(m.Figures().integrated, "LUFS")), std::string::npos) << out;
    }
    EXPECT_NE(out.find(" dBTP)"), std::string::npos) << out;

    ASSERT_EQ(Export(dir,
                     ids + " --format wav --bits 24 --to " + ShellQuote((dir / "album").string()) +
                         " --loudness -20 --album",
                     out, err),
              0)
        << err;
    LoudnessMeter a, b;
    std::string error;
    ASSERT_TRUE(MeasureFileLoudness((dir / "album/Soft.wav").string(), a, error));
    ASSERT_TRUE(MeasureFileLoudness((dir / "album/Loud.wav").string(), b, error));
    // 0.05 against 0.3: the album keeps the 15.6 dB between them.
    EXPECT_NEAR(b.Figures().integrated - a.Figures().integrated, 20 * std::log10(0.3 / 0.05), 0.1);
    EXPECT_NEAR(LoudnessMeter::Together({&a, &b}).integrated, -20.0, 0.2);

    // Mistakes are one line each.
    EXPECT_NE(Export(dir, ids + " --format wav --to " + ShellQuote(dir.Str()) + " --album", out, err), 0);
    EXPECT_NE(err.find("--album needs --loudness LUFS"), std::string::npos) << err;
    EXPECT_NE(Export(dir, ids + " --format wav --to " + ShellQuote(dir.Str()) + " --loudness loud", out, err), 0);
    EXPECT_NE(err.find("bad --loudness loud"), std::string::npos) << err;
    EXPECT_NE(Export(dir, ids + " --format wav --to " + ShellQuote(dir.Str()) + " --loudness 3", out, err), 0);
}

namespace {

// ffprobe's tags of a file (format and stream), keys in upper case.
std::map<std::string, std::string> Tags(const TempDir& dir, const std::filesystem::path& file) {
    const std::string out = (dir / "tags.txt").string();
    std::map<std::string, std::string> m;
    if (RunCommand("ffprobe -v error -show_entries format_tags:stream_tags -of default=nw=1 " +
                   ShellQuote(file.string()) + " >" + ShellQuote(out)) != 0)
        return m;
    std::istringstream in(LoadText(out));
    std::string line;
    while (std::getline(in, line)) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos || line.rfind("TAG:", 0) != 0) continue;
        std::string key = line.substr(4, eq - 4);
        for (char& ch : key) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        m[key] = line.substr(eq + 1);
    }
    return m;
}

} // namespace

TEST(LoudnessCommand, ReplayGainTagsInFlacOggAndMp3) {
    REQUIRE_TOOL("ffprobe");
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const auto [soft, loud] = MakeTwoLevelLibrary(dir);
    const std::string ids = std::to_string(soft) + " " + std::to_string(loud);
    for (const char* format : {"flac", "ogg", "mp3"}) {
        const std::filesystem::path to = dir / format;
        std::filesystem::create_directories(to);
        std::string out, err;
        ASSERT_EQ(Export(dir,
                         ids + " --format " + format + " --to " + ShellQuote(to.string()) + " --loudness -20 --album",
                         out, err),
                  0)
            << err;
        double albumGain = 0;
        for (const char* name : {"Soft", "Loud"}) {
            const std::filesystem::path file = to / (std::string(name) + "." + format);
            const auto tags = Tags(dir, file);
            ASSERT_EQ(tags.count("REPLAYGAIN_TRACK_GAIN"), 1u) << file << "\n" << out;
            // The track gain takes the file to -18 LUFS; the album's takes the album there.
            LoudnessMeter m;
            std::string error;
            ASSERT_TRUE(MeasureFileLoudness(file.string(), m, error)) << error;
            EXPECT_NEAR(std::stod(tags.at("REPLAYGAIN_TRACK_GAIN")), -18.0 - m.Figures().integrated, 0.15) << file;
            EXPECT_NE(tags.at("REPLAYGAIN_TRACK_GAIN").find(" dB"), std::string::npos);
            EXPECT_NEAR(std::stod(tags.at("REPLAYGAIN_ALBUM_GAIN")), 2.0, 0.2) << file;
            albumGain = std::stod(tags.at("REPLAYGAIN_ALBUM_GAIN"));
            const double peak = std::stod(tags.at("REPLAYGAIN_TRACK_PEAK"));
            EXPECT_GT(peak, 0.0);
            EXPECT_LE(peak, std::stod(tags.at("REPLAYGAIN_ALBUM_PEAK")));
            // The export's own tags stay, and the audio still decodes whole.
            if (std::string(name) == "Soft") {
                EXPECT_EQ(tags.count("TITLE"), 1u) << file;
            }
            EXPECT_EQ(RunCommand("ffmpeg -v error -xerror -i " + ShellQuote(file.string()) + " -f null - 2>/dev/null"),
                      0)
                << file;
        }
        EXPECT_NEAR(albumGain, 2.0, 0.2);
    }
    // Loudness off: no ReplayGain tags.
    const std::filesystem::path plain = dir / "plain";
    std::filesystem::create_directories(plain);
    std::string out, err;
    ASSERT_EQ(Export(dir, ids + " --format flac --to " + ShellQuote(plain.string()), out, err), 0) << err;
    EXPECT_EQ(Tags(dir, plain / "Soft.flac").count("REPLAYGAIN_TRACK_GAIN"), 0u);
}

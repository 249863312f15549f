// ReplayGain tags added to finished files made by the real encoders: read back by ffprobe,
// written twice without a second copy of any field, and a file we can't tag left as it was.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <sstream>

#include "common/FormatCode.h"
#include "export/ReplayGainTags.h"
#include "support/Files.h"
#include "support/OracleTool.h"
#include "support/TempDir.h"

namespace {

// Every tag line ffprobe prints for the file, "KEY=value" in upper-case keys.
std::string TagLines(const TempDir& dir, const std::string& file) {
    const std::string out = (dir / "probe.txt").string();
    RunCommand("ffprobe -v error -show_entries format_tags:stream_tags -of default=nw=1 " + ShellQuote(file) + " >" +
               ShellQuote(out));
    std::string text = LoadText(out);
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

} // namespace

TEST(ReplayGainTags, FieldsFollowReplayGainTwo) {
    const auto f = ReplayGainFields({-14.0, -1.0, -16.5, 0.0});
    ASSERT_EQ(f.size(), 4u);
    EXPECT_EQ(f[0], (std::pair<std::string, std::string>{"REPLAYGAIN_TRACK_GAIN", "-4.00 dB"}));
    EXPECT_EQ(f[1], (std::pair<std::string, std::string>{"REPLAYGAIN_TRACK_PEAK", "0.891251"}));
    EXPECT_EQ(f[2], (std::pair<std::string, std::string>{"REPLAYGAIN_ALBUM_GAIN", "-1.50 dB"}));
    EXPECT_EQ(f[3], (std::pair<std::string, std::string>{"REPLAYGAIN_ALBUM_PEAK", "1.000000"}));
    EXPECT_TRUE(TakesReplayGainTags(kFormatVorbis));
    EXPECT_FALSE(TakesReplayGainTags(kFormatWav));
}

TEST(ReplayGainTags, WrittenTwiceIntoEachFormatKeepsOneCopyAndTheOtherTags) {
    REQUIRE_TOOL("ffprobe");
    REQUIRE_TOOL("sox");
    REQUIRE_TOOL("lame");
    TempDir dir;
    const std::string wav = (dir / "in.wav").string();
    ASSERT_EQ(RunCommand("sox -n -r 44100 -c 2 " + ShellQuote(wav) + " synth 2 sine 440 vol 0.3"), 0);
    struct Case {
        int32_t code;
        const char* file;
        std::string make;
    };
    const std::string ogg = (dir / "a.ogg").string(), mp3 = (dir / "a.mp3").string(), flac = (dir / "a.flac").string();
    std::vector<Case> cases = {
        {kFormatVorbis, "a.ogg", "sox " + ShellQuote(wav) + " --comment TITLE=Kept " + ShellQuote(ogg)},
        {kFormatMp3, "a.mp3", "lame --quiet --id3v2-only --tt Kept " + ShellQuote(wav) + " " + ShellQuote(mp3)},
    };
    if (TakesReplayGainTags(kFormatFlac))
        cases.push_back(
            {kFormatFlac, "a.flac", "sox " + ShellQuote(wav) + " --comment TITLE=Kept " + ShellQuote(flac)});
    for (const Case& c : cases) {
        ASSERT_EQ(RunCommand(c.make + " 2>/dev/null"), 0) << c.file;
        const std::string path = (dir / c.file).string();
        std::string error;
        ASSERT_TRUE(WriteReplayGainTags(c.code, path, {-20.0, -6.0, -21.0, -5.0}, error)) << c.file << ": " << error;
        ASSERT_TRUE(WriteReplayGainTags(c.code, path, {-10.0, -1.0, -11.0, -0.5}, error)) << c.file << ": " << error;
        const std::string tags = TagLines(dir, path);
        EXPECT_EQ(Count(tags, "REPLAYGAIN_TRACK_GAIN="), 1u) << c.file << "\n" << tags;
        EXPECT_NE(tags.find("REPLAYGAIN_TRACK_GAIN=-8.00 DB"), std::string::npos) << c.file << "\n" << tags;
        EXPECT_NE(tags.find("REPLAYGAIN_ALBUM_GAIN=-7.00 DB"), std::string::npos) << c.file << "\n" << tags;
        EXPECT_NE(tags.find("TITLE=KEPT"), std::string::npos) << c.file << "\n" << tags;
        EXPECT_EQ(RunCommand("ffmpeg -v error -xerror -i " + ShellQuote(path) + " -f null - 2>/dev/null"), 0) << c.file;
    }
    // A file that is not of its format is refused and left alone.
    SaveBytes(dir / "bad.ogg", std::vector<uint8_t>(500, 9));
    std::string error;
    EXPECT_FALSE(WriteReplayGainTags(kFormatVorbis, (dir / "bad.ogg").string(), {-20, -6, -21, -5}, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(LoadBytes(dir / "bad.ogg"), std::vector<uint8_t>(500, 9));
}

// Tagging writes the file anew beside itself: a person's own files of the names a writer would
// pick for that ("<file>.rgtmp", libFLAC's "<file>.metadata_edit") are never touched, no file of
// ours is left behind, and the export keeps its mode.
TEST(ReplayGainTags, FilesBesideTheExportSurviveTagging) {
    REQUIRE_TOOL("ffprobe");
    REQUIRE_TOOL("sox");
    REQUIRE_TOOL("lame");
    TempDir dir;
    const std::string wav = (dir / "in.wav").string();
    ASSERT_EQ(RunCommand("sox -n -r 44100 -c 2 " + ShellQuote(wav) + " synth 1 sine 440 vol 0.3"), 0);
    std::vector<std::pair<int32_t, std::string>> cases = {
        {kFormatVorbis, "sox " + ShellQuote(wav) + " " + ShellQuote((dir / "a.ogg").string())},
        {kFormatMp3, "lame --quiet " + ShellQuote(wav) + " " + ShellQuote((dir / "a.mp3").string())},
    };
    if (TakesReplayGainTags(kFormatFlac))
        cases.push_back({kFormatFlac, "sox " + ShellQuote(wav) + " " + ShellQuote((dir / "a.flac").string())});
    const std::vector<uint8_t> mine = {'m', 'i', 'n', 'e', 0, 1, 2, 3};
    for (const auto& [code, make] : cases) {
        const std::string ext = code == kFormatVorbis ? "ogg" : code == kFormatMp3 ? "mp3" : "flac";
        const std::filesystem::path file = dir / ("a." + ext);
        ASSERT_EQ(RunCommand(make + " 2>/dev/null"), 0) << ext;
        std::filesystem::permissions(file, std::filesystem::perms(0640));
        const std::vector<std::filesystem::path> own = {dir / ("a." + ext + ".rgtmp"),
                                                        dir / ("a." + ext + ".metadata_edit")};
        for (const auto& p : own) ASSERT_TRUE(SaveBytes(p, mine));
        const auto before = std::distance(std::filesystem::directory_iterator(dir.Path()),
                                          std::filesystem::directory_iterator());
        std::string error;
        ASSERT_TRUE(WriteReplayGainTags(code, file.string(), {-20.0, -6.0, -21.0, -5.0}, error)) << ext << error;
        // Twice: the second time the tags are there already and the file is written anew again.
        ASSERT_TRUE(WriteReplayGainTags(code, file.string(), {-10.0, -1.0, -11.0, -0.5}, error)) << ext << error;
        for (const auto& p : own) EXPECT_EQ(LoadBytes(p), mine) << p;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), std::filesystem::directory_iterator()),
                  before)
            << ext;
        EXPECT_EQ(std::filesystem::status(file).permissions(), std::filesystem::perms(0640)) << ext;
        const std::string tags = TagLines(dir, file.string());
        EXPECT_NE(tags.find("REPLAYGAIN_TRACK_GAIN=-8.00 DB"), std::string::npos) << ext << "\n" << tags;
        EXPECT_EQ(RunCommand("ffmpeg -v error -xerror -i " + ShellQuote(file.string()) + " -f null - 2>/dev/null"), 0)
            << ext;
    }
}

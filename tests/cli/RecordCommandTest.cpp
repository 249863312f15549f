// sonquil-cli record: takes from the null device's file input land in the library as the window
// would make them, one line each; the automation, the naming and Ctrl+C act as described.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "audiofile/AudioFileWav.h"
#include "support/AudioFiles.h"
#include "support/Files.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

std::string Cli() { return ShellQuote(SONQUIL_CLI); }

std::string Shell(const std::string& cmd, int& status) {
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) {
        status = -1;
        return out;
    }
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    const int rc = pclose(p);
    status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

// Seconds of loud and quiet input at 44.1 kHz, in that order, as one 16-bit WAV file.
bool Input(const std::string& folder, const std::string& name, const std::vector<std::pair<double, bool>>& parts) {
    std::vector<float> pcm;
    for (const auto& [seconds, loud] : parts) {
        const int64_t n = static_cast<int64_t>(seconds * 44100);
        for (int64_t i = 0; i < n; ++i) {
            const float v = loud ? 0.5f * static_cast<float>(std::sin(i * 0.05)) : 0.0f;
            pcm.push_back(v);
            pcm.push_back(-v);
        }
    }
    return MakeWavFile(folder, name, pcm, 44100);
}

struct CliRig {
    TempDir dir;
    std::string Lib() const { return "--library " + ShellQuote((dir / "lib").string()); }
    std::string Record(const std::string& args, int& status) {
        return Shell(Cli() + " " + Lib() + " record --device null --fast --vdisk " +
                         ShellQuote((dir / "disk").string()) + " --input " + ShellQuote((dir / "in.wav").string()) +
                         " " + args + " 2>&1",
                     status);
    }
};

} // namespace

TEST(RecordCommand, TakesAreNamedCountedAndListedAsTheAutomationSays) {
    CliRig rig;
    ASSERT_TRUE(Input(rig.dir.Str(), "in.wav", {{2.0, true}, {2.0, false}, {1.0, true}, {4.0, false}}));
    int status = 0;
    // The whole input, one take of every frame.
    std::string out = rig.Record("", status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("region 1 \""), std::string::npos) << out;
    EXPECT_NE(out.find("\" 396900 frames\n"), std::string::npos) << out;

    // Silence of a second ends a take; two restarts allowed; the first is Take_999, then 000,
    // and the third (only quiet input left) is shorter than the auto-delete time.
    out = rig.Record("--auto-stop-below -50:00m01s --auto-restart 2 --auto-delete 00m02s --naming base:Take:999",
                     status);
    EXPECT_EQ(status, 0) << out;
    // The sound ends in block 22; the input goes on where the take stopped reading it.
    const size_t first = out.find("\"Take_999\" 134212 frames");
    EXPECT_NE(first, std::string::npos) << out;
    EXPECT_NE(out.find("\"Take_000\" 117828 frames", first), std::string::npos) << out;
    EXPECT_NE(out.find("deleted a take"), std::string::npos) << out;
    const std::string list = Shell(Cli() + " " + rig.Lib() + " list", status);
    EXPECT_NE(list.find("Take_999"), std::string::npos) << list;
    EXPECT_NE(list.find("Take_000"), std::string::npos) << list;

    // After a time, with auto-start: only from the first loud block, exactly two seconds.
    out = rig.Record("--auto-start -40 --auto-stop-after 00m02s --naming base:Late:5", status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("\"Late_005\" 88200 frames"), std::string::npos) << out;

    EXPECT_NE(rig.Record("--bits 20", status).find("--bits is 16, 24 or 32"), std::string::npos);
    EXPECT_NE(status, 0);
    EXPECT_NE(rig.Record("--auto-stop-after 10s", status).find("bad --auto-stop-after"), std::string::npos);
}

// Ctrl+C stops and finishes the take: what was recorded is in the library.
TEST(RecordCommand, AnInterruptFinishesTheTake) {
    CliRig rig;
    ASSERT_TRUE(Input(rig.dir.Str(), "in.wav", {{30.0, true}}));
    const std::string out = (rig.dir / "out.txt").string();
    // Real-time pace, so that the take is under way when the signal comes.
    const std::string cmd = Cli() + " " + rig.Lib() + " record --device null --vdisk " +
                            ShellQuote((rig.dir / "disk").string()) + " --input " +
                            ShellQuote((rig.dir / "in.wav").string()) + " >" + ShellQuote(out) + " 2>&1 & echo $!";
    int status = 0;
    const std::string pid = Shell(cmd, status);
    ASSERT_FALSE(pid.empty());
    // Wait until the take holds some audio, then interrupt.
    const fs::path vdisk = rig.dir / "disk" / "VDisk";
    bool growing = false;
    for (int i = 0; i < 200 && !growing; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::error_code ec;
        if (fs::is_directory(vdisk, ec))
            for (const auto& e : fs::directory_iterator(vdisk, ec))
                if (e.is_regular_file() && e.file_size() > 100000) growing = true;
    }
    ASSERT_TRUE(growing);
    kill(std::stoi(pid), SIGINT);
    std::string text;
    for (int i = 0; i < 400 && text.find("frames\n") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        text = LoadText(out);
    }
    // The library is saved after the line; the lock says when the tool has let go.
    std::string list;
    for (int i = 0; i < 100; ++i) {
        list = Shell(Cli() + " " + rig.Lib() + " list", status);
        if (status == 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_NE(text.find("region 1 \""), std::string::npos) << text;
    EXPECT_EQ(list.rfind("1\t", 0), 0u) << list;
}

// A disk that fills (a file size limit, as `ulimit -f` sets) ends the take: the tool prints it
// with every whole frame that reached the file, says what happened and ends with an error.
TEST(RecordCommand, ADiskThatFillsKeepsTheTakeAndSaysSo) {
    CliRig rig;
    ASSERT_TRUE(Input(rig.dir.Str(), "in.wav", {{20.0, true}}));
    int status = 0;
    const std::string out = rig.Record("", status);
    ASSERT_EQ(status, 0) << out; // the same take fits without the limit
    const std::string cmd = "ulimit -f 2000; trap '' XFSZ; " + Cli() + " " + rig.Lib() +
                            " record --device null --fast --input " + ShellQuote((rig.dir / "in.wav").string()) +
                            " 2>&1";
    const std::string text = Shell("sh -c " + ShellQuote(cmd), status);
    EXPECT_EQ(status, 1) << text;
    const size_t at = text.find("region 2 \"");
    ASSERT_NE(at, std::string::npos) << text;
    const size_t quote = text.find("\" ", at + 10);
    const int64_t frames = std::stoll(text.substr(quote + 2));
    EXPECT_GT(frames, 0);
    EXPECT_LT(frames, 20 * 44100);
    EXPECT_NE(text.find("sonquil-cli: Recording was stopped: Can't write file (disk full?). The " +
                        std::to_string(frames) + " frames written before it are kept."),
              std::string::npos)
        << text;
    const std::string name = text.substr(at + 10, quote - at - 10);
    EXPECT_EQ(static_cast<int64_t>(fs::file_size(rig.dir / "disk" / "VDisk" / name)), 44 + 4 * frames);
}

// sonquil-cli loudness: one tab-separated line per file with its units, the album line, and
// the unreadable file on stderr with a non-zero exit after the others.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/AudioFiles.h"
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

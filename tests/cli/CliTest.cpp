// sonquil-cli end to end: probe, convert chains checked by sox, peaks, and error exits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "support/Files.h"
#include "support/OracleTool.h"
#include "support/TempDir.h"

namespace {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

CliRun Cli(const TempDir& dir, const std::string& args) {
    const std::string outFile = (dir / "stdout.txt").string(), errFile = (dir / "stderr.txt").string();
    CliRun r;
    r.status = RunCommand("cd " + dir.Str() + " && " + SONQUIL_CLI + " " + args + " >" + outFile + " 2>" + errFile);
    auto slurp = [](const std::string& p) {
        std::ifstream in(p);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    };
    r.out = slurp(outFile);
    r.err = slurp(errFile);
    return r;
}

std::vector<char> Bytes(const std::filesystem::path& p) {
    const std::vector<uint8_t> b = LoadBytes(p);
    return std::vector<char>(b.begin(), b.end());
}

} // namespace

TEST(Cli, ProbeReportsTheFileOrOneErrorLine) {
    REQUIRE_TOOL("sox");
    TempDir dir;
    ASSERT_EQ(0, RunCommand("sox -n -r 48000 -c 1 -b 24 " + (dir / "a.aiff").string() + " synth 0.5 sine 300"));
    CliRun r = Cli(dir, "probe a.aiff");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "format 1 AIFF\nrate 48000\nbits 24\nchannels 1\nframes 24000\ntype int\n");

    std::ofstream(dir / "junk.bin") << "nothing audio here";
    r = Cli(dir, "probe junk.bin");
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.err, "sonquil-cli: Format is not supported.\n");
    r = Cli(dir, "probe missing.wav");
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.err, "sonquil-cli: Can't open file.\n");
}

TEST(Cli, ProbeKnowsOggVorbisAndFlacByTheirContent) {
    REQUIRE_TOOL("sox");
    REQUIRE_TOOL("oggenc");
    REQUIRE_TOOL("flac");
    TempDir dir;
    ASSERT_EQ(0, RunCommand("sox -n -r 44100 -c 2 -b 16 " + (dir / "t.wav").string() + " synth 1 sine 440"));
    ASSERT_EQ(0, RunCommand("oggenc -Q -q 3 -o " + (dir / "t.ogg").string() + " " + (dir / "t.wav").string()));
    ASSERT_EQ(0, RunCommand("flac -s -f -o " + (dir / "t.flac").string() + " " + (dir / "t.wav").string()));
    // An Ogg file is one whatever its name says.
    std::filesystem::copy_file(dir / "t.ogg", dir / "named.bin");
    for (const std::string name : {"t.ogg", "named.bin"}) {
        SCOPED_TRACE(name);
        CliRun r = Cli(dir, "probe " + name);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "format 6 Ogg Vorbis\nrate 44100\nbits 16\nchannels 2\nframes 44100\ntype int\n");
    }
    CliRun r = Cli(dir, "probe t.flac");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "format 7 FLAC\nrate 44100\nbits 16\nchannels 2\nframes 44100\ntype int\n");
    // An Ogg page that holds no Vorbis stream is not taken for one.
    std::vector<char> page = Bytes(dir / "t.ogg");
    page.resize(200);
    page[28] = 'X'; // the first packet's "\x01vorbis" mark
    std::ofstream(dir / "bad.ogg", std::ios::binary).write(page.data(), static_cast<std::streamsize>(page.size()));
    r = Cli(dir, "probe bad.ogg");
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.err, "sonquil-cli: Format is not supported.\n");
}

TEST(Cli, ConvertChainThroughKx64IsCheckedBySox) {
    REQUIRE_TOOL("sox");
    TempDir dir;
    // More than two 32768-frame blocks and not a whole number of KX64 blocks.
    ASSERT_EQ(0, RunCommand("sox -D -r 44100 -n -c 2 -b 16 " + (dir / "in.wav").string() +
                            " synth 70001s sine 440 sine 1230 vol 0.7"));
    // Float KX64 keeps the reader's floats exactly; a float WAV of them reads back as the
    // original 16-bit samples.
    CliRun r = Cli(dir, "convert in.wav mid.kx64 --format kx64 --float");
    ASSERT_EQ(r.status, 0) << r.err;
    r = Cli(dir, "probe mid.kx64");
    EXPECT_NE(r.out.find("format 3 KX64"), std::string::npos);
    EXPECT_NE(r.out.find("frames 70001"), std::string::npos);
    r = Cli(dir, "convert mid.kx64 out.wav --format wav");
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(0, RunCommand("sox -D " + (dir / "in.wav").string() + " -t raw -e signed -b 16 " +
                            (dir / "a.raw").string()));
    ASSERT_EQ(0, RunCommand("sox -D " + (dir / "out.wav").string() + " -t raw -e signed -b 16 " +
                            (dir / "b.raw").string()));
    EXPECT_EQ(Bytes(dir / "a.raw"), Bytes(dir / "b.raw"));

    // Raw big-endian input described by options, to every output format.
    ASSERT_EQ(0, RunCommand("sox -D " + (dir / "in.wav").string() + " -t raw -e signed -b 16 -B " +
                            (dir / "be.raw").string()));
    for (const std::string fmt : {"wav", "snd", "raw", "kx64"}) {
        SCOPED_TRACE(fmt);
        r = Cli(dir,
                "convert be.raw o." + fmt + " --format " + fmt + " --rate 44100 --channels 2 --bits 16 --order be");
        ASSERT_EQ(r.status, 0) << r.err;
    }
    r = Cli(dir, "probe o.snd");
    EXPECT_NE(r.out.find("frames 70001"), std::string::npos);
    // 16-bit to 16-bit through floats: x / 32768 × 32767, truncated.
    ASSERT_EQ(0,
              RunCommand("sox -D " + (dir / "o.wav").string() + " -t raw -e signed -b 16 " + (dir / "c.raw").string()));
    std::vector<char> a = Bytes(dir / "a.raw"), c = Bytes(dir / "c.raw");
    ASSERT_EQ(a.size(), c.size());
    for (size_t i = 0; i + 1 < a.size(); i += 2) {
        int16_t x = static_cast<int16_t>((static_cast<uint8_t>(a[i + 1]) << 8) | static_cast<uint8_t>(a[i]));
        int16_t y = static_cast<int16_t>((static_cast<uint8_t>(c[i + 1]) << 8) | static_cast<uint8_t>(c[i]));
        ASSERT_EQ(y, static_cast<int16_t>(static_cast<double>(x / 32768.0f) * 32767.0)) << i;
    }
    EXPECT_EQ(Bytes(dir / "o.raw").size(), a.size());
}

TEST(Cli, PeaksAndErrors) {
    REQUIRE_TOOL("sox");
    TempDir dir;
    ASSERT_EQ(0, RunCommand("sox -n -r 44100 -c 2 -b 16 " + (dir / "p.wav").string() + " synth 1000s sine 300"));
    CliRun r = Cli(dir, "peaks p.wav _p.wav");
    ASSERT_EQ(r.status, 0) << r.err;
    // 1000 frames at 256 per entry: 3 entries; the last 232 frames give none.
    EXPECT_EQ(r.out, "entries 3\nframes per entry 256\n");
    EXPECT_EQ(std::filesystem::file_size(dir / "_p.wav"), 1060u + 3 * 4);

    struct Case {
        std::string args;
        int status;
    } cases[] = {
        {"", 2},
        {"frobnicate x", 2},
        {"convert p.wav", 1},
        {"convert p.wav o.xyz --format xyz", 1},
        {"convert p.wav o.wav --format wav --bits 12", 1},
        {"convert p.wav o.aiff --format aiff --float", 1},
        {"convert p.wav o.wav --format wav --bogus", 1},
        {"convert p.wav /nonexistent/o.wav --format wav", 1},
        {"convert x.raw o.wav --format wav", 1},
        {"peaks p.wav /nonexistent/_p", 1},
    };
    std::ofstream(dir / "x.raw") << "abcd";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        r = Cli(dir, c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_FALSE(r.err.empty());
        if (c.status == 1) {
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "o.wav"));
}

TEST(Cli, HelpAndVersionGoToStandardOutputAndSucceed) {
    TempDir dir;
    for (const char* ask : {"--help", "-h", "help"}) {
        SCOPED_TRACE(ask);
        const CliRun r = Cli(dir, ask);
        EXPECT_EQ(r.status, 0);
        EXPECT_TRUE(r.err.empty());
        EXPECT_EQ(r.out.rfind("usage: sonquil-cli [--library DIR] COMMAND ...\n", 0), 0u);
        EXPECT_NE(r.out.find("  sonquil-cli render IN OUT"), std::string::npos);
    }
    // The same usage after a mistake goes to stderr, with a failing exit.
    const CliRun wrong = Cli(dir, "frobnicate");
    EXPECT_EQ(wrong.status, 2);
    EXPECT_TRUE(wrong.out.empty());
    EXPECT_NE(wrong.err.find("usage: sonquil-cli"), std::string::npos);

    const CliRun version = Cli(dir, "--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("sonquil-cli ", 0), 0u);
    EXPECT_EQ(std::count(version.out.begin(), version.out.end(), '\n'), 1);

    // One command's usage, and a --help among other arguments is still that command's mistake.
    const CliRun render = Cli(dir, "render --help");
    EXPECT_EQ(render.status, 0);
    EXPECT_EQ(render.out,
              "usage: sonquil-cli render IN OUT [--set KIND:ID=VALUE ...] [--preset NAME ...] [--vst-folder DIR ...] "
              "[--vst NAME[:PROGRAM][,ID=VALUE...] ...] [--bits 8|16|24|32]\n");
    const CliRun mixed = Cli(dir, "render a.wav --help");
    EXPECT_NE(mixed.status, 0);
    EXPECT_FALSE(mixed.err.empty());
}

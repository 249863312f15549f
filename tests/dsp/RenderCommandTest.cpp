// sonquil-cli render, checked with sox as the oracle for what lands in the file.
#include "support/OracleTool.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#ifdef SONQUIL_CLI

namespace {

// The "Maximum amplitude" sox reports for a file.
double MaxAmplitude(const std::string& file) {
    std::string cmd = "sox '" + file + "' -n stat 2>&1 | grep 'Maximum amplitude'";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return -1.0;
    char line[256] = {};
    double v = -1.0;
    if (std::fgets(line, sizeof line, p)) std::sscanf(line, "Maximum amplitude: %lf", &v);
    pclose(p);
    return v;
}

std::string Cli() { return std::string("'") + SONQUIL_CLI + "'"; }

} // namespace

TEST(RenderCommand, LiftsAQuietSineByTheThresholdToCeilingGapAndWritesTheAskedWidth) {
    REQUIRE_TOOL("sox");
    TempDir dir;
    const std::string in = (dir / "in.wav").string(), out = (dir / "out.wav").string();
    ASSERT_EQ(RunCommand("sox -n -r 48000 -c 2 -b 16 '" + in + "' synth 1 sine 997 vol 0.316 2>/dev/null"), 0);
    ASSERT_EQ(RunCommand(Cli() + " render '" + in + "' '" + out + "' --set 0:3=0 --set 0:9=-6 --set 0:4=-1 --bits 24"),
              0);
    const double gain = 20.0 * std::log10(MaxAmplitude(out) / MaxAmplitude(in));
    EXPECT_NEAR(gain, 5.0, 0.05);
    FILE* p = popen(("sox --i -b '" + out + "'").c_str(), "r");
    char line[64] = {};
    ASSERT_TRUE(p && std::fgets(line, sizeof line, p));
    pclose(p);
    EXPECT_EQ(std::string(line), "24\n");
    // A loud input is held at the −1 dB ceiling.
    const std::string loud = (dir / "loud.aiff").string(), held = (dir / "held.snd").string();
    ASSERT_EQ(RunCommand("sox -n -r 44100 -c 2 -b 16 '" + loud + "' synth 1 sine 440 vol 0.95 2>/dev/null"), 0);
    ASSERT_EQ(RunCommand(Cli() + " render '" + loud + "' '" + held + "' --set 0:3=0 --set 0:9=-6 --set 0:4=-1"), 0);
    EXPECT_NEAR(MaxAmplitude(held), std::pow(10.0, -1.0 / 20.0), 0.002);
}

TEST(RenderCommand, RefusesBadArgumentsWithoutLeavingAFile) {
    REQUIRE_TOOL("sox");
    TempDir dir;
    const std::string in = (dir / "in.wav").string();
    ASSERT_EQ(RunCommand("sox -n -r 44100 -c 1 -b 16 '" + in + "' synth 0.1 sine 440 2>/dev/null"), 0);
    const std::string out = (dir / "o.wav").string();
    for (const std::string& extra : {std::string("--set 0:99=1"), std::string("--set 0:4"), std::string("--bits 12"),
                                     std::string("--set 1:49=2"), std::string("--set 0:4=nan"), std::string("--x")}) {
        EXPECT_NE(RunCommand(Cli() + " render '" + in + "' '" + out + "' " + extra + " 2>/dev/null"), 0) << extra;
        EXPECT_FALSE(std::filesystem::exists(out)) << extra;
    }
    EXPECT_NE(RunCommand(Cli() + " render '" + in + "' '" + (dir / "o.xyz").string() + "' 2>/dev/null"), 0);
    EXPECT_NE(RunCommand(Cli() + " render '" + (dir / "none.wav").string() + "' '" + out + "' 2>/dev/null"), 0);
}

TEST(RenderCommand, RunsTheProgramsWholeChainWithEveryKindSettable) {
    REQUIRE_TOOL("sox");
    TempDir dir;
    const std::string in = (dir / "in.wav").string();
    ASSERT_EQ(RunCommand("sox -n -r 48000 -c 2 -b 16 '" + in + "' synth 1 sine 997 vol 0.316 2>/dev/null"), 0);
    auto render = [&](const std::string& name, const std::string& sets) {
        const std::string out = (dir / name).string();
        EXPECT_EQ(RunCommand(Cli() + " render '" + in + "' '" + out + "' --bits 24 " + sets), 0) << sets;
        return out;
    };
    // Switching the equaliser, compressor and imager off is the valve amplifier's "Bypass Dsp".
    const std::string off = render("off.wav", "--set 1:0=0 --set 2:0=0 --set 3:0=0");
    const std::string bypassed = render("bypassed.wav", "--set 0:2=0");
    EXPECT_EQ(RunCommand("cmp -s '" + off + "' '" + bypassed + "'"), 0);
    // The equaliser's output level and the imager's balance (towards the right) reach the file.
    const double base = MaxAmplitude(off);
    const std::string eq = render("eq.wav", "--set 1:15=-6 --set 2:0=0 --set 3:0=0");
    EXPECT_NEAR(20.0 * std::log10(MaxAmplitude(eq) / base), -6.0, 0.1);
    const std::string wide = render("balance.wav", "--set 1:0=0 --set 2:0=0 --set 3:9=6");
    const std::string left = (dir / "left.wav").string();
    ASSERT_EQ(RunCommand("sox '" + wide + "' '" + left + "' remix 1"), 0);
    EXPECT_NEAR(MaxAmplitude(wide), base, 0.001);
    EXPECT_NEAR(20.0 * std::log10(MaxAmplitude(left) / base), -6.0, 0.1);
    // A compressor that is on changes what is written.
    const std::string squeezed = render("comp.wav", "--set 1:0=0 --set 3:0=0 --set 2:0=1 --set 2:5=-30 --set 2:6=8");
    EXPECT_NE(RunCommand("cmp -s '" + off + "' '" + squeezed + "'"), 0);
}

#endif

// sonquil-cli render with --vst plug-ins, as people use it: the test plug-ins by parameter and
// program and every error as one line with a non-zero exit; then Debian's LSP plug-ins on files
// at 44.1, 48 and 96 kHz, where a gain must come out at its dB and a delay set in milliseconds
// must come out at that time at the file's rate.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "VSTTestSupport.h"
#include "audiofile/AudioFileWav.h"
#include "support/AudioFiles.h"
#include "support/OracleTool.h"
#include "support/TempDir.h"

namespace {

const std::string kLspFolder = "/usr/lib/vst";
const std::string kLspEq = "para-equalizer-x16-stereo.so";

// Runs sonquil-cli with args; its stdout and stderr together, and its exit status.
std::string Cli(const std::string& args, int& status) {
    std::string out;
    FILE* p = popen((std::string("'") + SONQUIL_CLI + "' " + args + " 2>&1").c_str(), "r");
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

std::vector<float> Read(const TempDir& dir, const std::string& name) {
    AudioFileWav f(dir.Str(), name);
    if (!f.OpenRead()) return {};
    std::vector<float> all = ReadAllFloat(f);
    f.Close();
    return all;
}

double Rms(const std::vector<float>& v) {
    double sum = 0.0;
    for (float x : v) sum += static_cast<double>(x) * x;
    return v.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(v.size()));
}

// 0.25 amplitude 1 kHz on both channels after `lead` frames of silence.
std::vector<float> Tone(int frames, int rate, int lead = 0) {
    std::vector<float> v(static_cast<size_t>(frames) * 2, 0.0f);
    for (int i = lead; i < frames; ++i)
        v[2 * i] = v[2 * i + 1] = 0.25f * static_cast<float>(std::sin(2.0 * M_PI * 1000.0 * (i - lead) / rate));
    return v;
}

int FirstAbove(const std::vector<float>& v, float level) {
    for (size_t i = 0; i < v.size(); i += 2)
        if (std::fabs(v[i]) > level) return static_cast<int>(i / 2);
    return -1;
}

std::string Render(const TempDir& dir, const std::string& in, const std::string& out, const std::string& vst,
                   const std::string& folder, int& status) {
    return Cli("render " + ShellQuote((dir / in).string()) + " " + ShellQuote((dir / out).string()) + " --vst-folder " +
                   ShellQuote(folder) + (vst.empty() ? "" : " --vst " + ShellQuote(vst)),
               status);
}

} // namespace

TEST(VSTRender, TestPlugInsByParameterAndProgramAndEveryErrorAsOneLine) {
    TempDir dir;
    ASSERT_TRUE(MakeWavFile(dir.Str(), "in.wav", Tone(48000, 48000), 48000));
    int status = 0;
    EXPECT_EQ(Render(dir, "in.wav", "plain.wav", "", kPluginDir, status), "");
    ASSERT_EQ(status, 0);
    const double plain = Rms(Read(dir, "plain.wav"));
    ASSERT_GT(plain, 0.1);
    struct Case {
        const char* vst;
        double gain;
    } cases[] = {
        {"tp-gain,0=0.5", 0.5},  // ".so" may be left off
        {"tp-gain.so:2", 0.25},  // program "Quarter"
        {"tp-gain:1,0=1", 1.0},  // parameters come after the program
        {"tp-accum,0=0.5", 0.5}, // the accumulating call, from a sub-folder
        {"tp-throws", 1.0},      // passes the sound through
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Render(dir, "in.wav", "out.wav", c.vst, kPluginDir, status), "") << c.vst;
        ASSERT_EQ(status, 0) << c.vst;
        EXPECT_NEAR(Rms(Read(dir, "out.wav")) / plain, c.gain, 0.005) << c.vst;
    }
    // Two plug-ins run in the order given.
    Cli("render " + ShellQuote((dir / "in.wav").string()) + " " + ShellQuote((dir / "two.wav").string()) +
            " --vst-folder " + ShellQuote(kPluginDir) + " --vst tp-gain,0=0.5 --vst tp-gain:2",
        status);
    ASSERT_EQ(status, 0);
    EXPECT_NEAR(Rms(Read(dir, "two.wav")) / plain, 0.125, 0.005);

    struct Error {
        const char* vst;
        const char* line;
    } errors[] = {
        {"nosuch", "no VST plug-in named \"nosuch\" in the VST folders"},
        {"tp-noeditor", "tp-noeditor: This VST had no editor and can't be used."},
        {"tp-synth", "tp-synth: This VST needs MIDI data and can't be used."},
        {"tp-badmagic", "tp-badmagic: Can't find VST magic ID inside DLL."},
        {"tp-gain,1=0.5", "tp-gain: bad parameter 1"},
        {"tp-gain,0=1.5", "tp-gain: bad parameter 0"},
        {"tp-gain:3", "tp-gain: no program 3"},
        {"tp-gain,0=x", "bad --vst tp-gain,0=x"},
    };
    for (const Error& e : errors) {
        const std::string out = Render(dir, "in.wav", "bad.wav", e.vst, kPluginDir, status);
        EXPECT_NE(status, 0) << e.vst;
        EXPECT_NE(out.find(e.line), std::string::npos) << e.vst << ": " << out;
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
        EXPECT_FALSE(std::filesystem::exists(dir / "bad.wav")) << e.vst;
    }
}

TEST(VSTRender, LspPlugInsGainAtTheirDbAndDelayAtTheFilesRate) {
    if (!std::filesystem::exists(kLspFolder + "/lsp-plugins/" + kLspEq)) {
        if (UnderCI()) FAIL() << "lsp-plugins-vst is not installed";
        GTEST_SKIP() << "lsp-plugins-vst not installed";
    }
    TempDir dir;
    int status = 0;
    // The equaliser with no band on is a gain: output gain 0.7001 is -10 dB. At 96 kHz the
    // engine's blocks are 16,384 frames, which these plug-ins do not survive whole.
    for (int rate : {44100, 96000}) {
        const std::string in = "in" + std::to_string(rate) + ".wav";
        ASSERT_TRUE(MakeWavFile(dir.Str(), in, Tone(rate * 2, rate), rate));
        Render(dir, in, "plain.wav", "", kLspFolder, status);
        ASSERT_EQ(status, 0);
        const std::string out = Render(dir, in, "eq.wav", "para-equalizer-x16-stereo,2=0.7001", kLspFolder, status);
        ASSERT_EQ(status, 0) << out;
        const double db = 20.0 * std::log10(Rms(Read(dir, "eq.wav")) / Rms(Read(dir, "plain.wav")));
        EXPECT_NEAR(db, -10.0, 0.1) << rate;
    }
    // The delay compensator in time mode (parameter 1 = 1) set to 10 ms (parameter 7 = 0.01)
    // delays by 10 ms of the file's own rate.
    for (int rate : {48000, 96000}) {
        const std::string in = "click" + std::to_string(rate) + ".wav";
        ASSERT_TRUE(MakeWavFile(dir.Str(), in, Tone(rate, rate, 1000), rate));
        const std::string out = Render(dir, in, "delay.wav", "comp-delay-stereo,1=1,7=0.01", kLspFolder, status);
        ASSERT_EQ(status, 0) << out;
        const std::vector<float> input = Read(dir, in), output = Read(dir, "delay.wav");
        EXPECT_EQ(FirstAbove(output, 0.05f) - FirstAbove(input, 0.05f), rate / 100) << rate;
    }
}

// The loudness meter against the EBU's own test signals (Tech 3341 and 3342, made here), and
// against ffmpeg's ebur128 filter on music-like material read through our readers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>
#include <sstream>
#include <vector>

#include "loudness/FileLoudness.h"
#include "loudness/LoudnessMeter.h"
#include "support/AudioFiles.h"
#include "support/Files.h"
#include "support/OracleTool.h"
#include "support/TempDir.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// seconds of a 1 kHz sine at dbfs in both channels (the EBU's stereo test tone).
std::vector<float> Sine(double seconds, double dbfs, int rate = 48000, double hz = 1000.0, double phase = 0.0) {
    const size_t n = static_cast<size_t>(seconds * rate);
    const double a = std::pow(10.0, dbfs / 20.0);
    std::vector<float> s(2 * n);
    for (size_t i = 0; i < n; ++i)
        s[2 * i] = s[2 * i + 1] = static_cast<float>(a * std::sin(2.0 * kPi * hz * i / rate + phase));
    return s;
}

std::vector<float> Then(std::vector<float> a, const std::vector<float>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

LoudnessFigures Measure(const std::vector<float>& stereo, int what = kLoudnessAll, int rate = 48000) {
    LoudnessMeter m;
    std::string error;
    EXPECT_TRUE(m.Start(2, rate, what, error)) << error;
    // In engine-sized blocks, as a render feeds it.
    for (size_t at = 0; at < stereo.size() / 2; at += 4096)
        m.AddStereo(stereo.data() + 2 * at, std::min<size_t>(4096, stereo.size() / 2 - at));
    return m.Figures();
}

} // namespace

TEST(LoudnessMeter, Tech3341TonesReadTheirLevel) {
    // Cases 1 and 2: a stereo 1 kHz sine at -23 and at -33 dBFS reads -23.0 and -33.0 LUFS.
    EXPECT_NEAR(Measure(Sine(20, -23)).integrated, -23.0, 0.1);
    EXPECT_NEAR(Measure(Sine(20, -33)).integrated, -33.0, 0.1);
    // The same with the fixed-size histograms a render uses.
    EXPECT_NEAR(Measure(Sine(20, -23), kLoudnessAll | kLoudnessStreaming).integrated, -23.0, 0.1);
    // Case 3: -36, -23, -36 dBFS for 10, 60, 10 s: the gate keeps the quiet parts out.
    EXPECT_NEAR(Measure(Then(Then(Sine(10, -36), Sine(60, -23)), Sine(10, -36))).integrated, -23.0, 0.1);
    // Case 4: -72, -36, -23, -36, -72 for 10, 10, 60, 10, 10 s: the absolute gate too.
    const auto c4 = Then(Then(Then(Then(Sine(10, -72), Sine(10, -36)), Sine(60, -23)), Sine(10, -36)), Sine(10, -72));
    EXPECT_NEAR(Measure(c4).integrated, -23.0, 0.1);
    // 44.1 kHz material is measured at its own rate.
    EXPECT_NEAR(Measure(Sine(20, -23, 44100), kLoudnessAll, 44100).integrated, -23.0, 0.1);
}

TEST(LoudnessMeter, Tech3342RangeCases) {
    // Cases 1 to 3: 20 s at one level, 20 s at another: LRA 10, 5 and 20 LU.
    EXPECT_NEAR(Measure(Then(Sine(20, -20), Sine(20, -30))).range, 10.0, 0.1);
    EXPECT_NEAR(Measure(Then(Sine(20, -20), Sine(20, -15))).range, 5.0, 0.1);
    EXPECT_NEAR(Measure(Then(Sine(20, -40), Sine(20, -20))).range, 20.0, 0.1);
    // A steady tone has no range.
    EXPECT_NEAR(Measure(Sine(20, -23)).range, 0.0, 0.1);
}

TEST(LoudnessMeter, TruePeakFindsThePeakBetweenSamples) {
    // A sine at a quarter of the rate, 45 degrees off its samples: the samples lie 3 dB below
    // the wave's crest, which only the oversampled true peak sees (Tech 3341 case 15's idea).
    const LoudnessFigures f = Measure(Sine(5, -6.0206, 48000, 12000.0, kPi / 4));
    EXPECT_NEAR(f.samplePeak, -9.03, 0.05);
    EXPECT_NEAR(f.truePeak, -6.02, 0.3);
    EXPECT_LE(f.truePeak, 0.0);
}

TEST(LoudnessMeter, TheTruePeakOnASecondThreadIsTheSame) {
    // Left and right differ, so a mix-up of the channels' own states would show.
    std::vector<float> s = Sine(6, -12.0, 48000, 12000.0, kPi / 4);
    const std::vector<float> r = Sine(6, -20.0, 48000, 997.0);
    for (size_t i = 0; i < s.size() / 2; ++i) s[2 * i + 1] = r[2 * i + 1];
    const LoudnessFigures one = Measure(s), two = Measure(s, kLoudnessAll | kLoudnessParallel);
    EXPECT_DOUBLE_EQ(two.truePeak, one.truePeak);
    EXPECT_DOUBLE_EQ(two.samplePeak, one.samplePeak);
    EXPECT_DOUBLE_EQ(two.integrated, one.integrated);
    EXPECT_DOUBLE_EQ(two.range, one.range);
    // The louder channel's crest, between its samples.
    EXPECT_NEAR(two.truePeak, -12.0, 0.3);
    for (size_t i = 0; i < s.size() / 2; ++i) std::swap(s[2 * i], s[2 * i + 1]);
    EXPECT_DOUBLE_EQ(Measure(s, kLoudnessAll | kLoudnessParallel).truePeak, one.truePeak);
}

TEST(LoudnessMeter, SilenceAndAlbumFigures) {
    // Silence: nothing above the gate.
    const LoudnessFigures quiet = Measure(std::vector<float>(2 * 48000 * 5, 0.0f));
    EXPECT_TRUE(std::isinf(quiet.integrated) && quiet.integrated < 0);
    EXPECT_EQ(LoudnessText(quiet.integrated, "LUFS"), "-inf LUFS");
    EXPECT_EQ(LoudnessText(quiet.truePeak, "dBTP"), "-inf dBTP");
    EXPECT_EQ(LoudnessText(-0.04, "LU"), "0.0 LU");
    EXPECT_EQ(LoudnessText(-1.25, "dBTP"), "-1.3 dBTP");

    // Two tracks taken together measure as the one programme made of both, not as the mean of
    // their two figures.
    LoudnessMeter a, b, whole;
    std::string error;
    for (LoudnessMeter* m : {&a, &b, &whole}) ASSERT_TRUE(m->Start(2, 48000, kLoudnessAll, error));
    const auto loud = Sine(20, -20), soft = Sine(20, -30);
    a.AddStereo(loud.data(), loud.size() / 2);
    b.AddStereo(soft.data(), soft.size() / 2);
    whole.AddStereo(loud.data(), loud.size() / 2);
    whole.AddStereo(soft.data(), soft.size() / 2);
    const LoudnessFigures album = LoudnessMeter::Together({&a, &b});
    EXPECT_NEAR(album.integrated, whole.Figures().integrated, 0.01);
    EXPECT_NEAR(album.integrated, 10 * std::log10((0.01 + 0.001) / 2), 0.1);
    EXPECT_NEAR(album.range, whole.Figures().range, 0.01);
    EXPECT_NEAR(album.truePeak, a.Figures().truePeak, 0.001);

    // A meter that did not start reads as silence and takes no part in an album.
    LoudnessMeter idle;
    EXPECT_FALSE(idle.Start(6, 48000, kLoudnessAll, error));
    EXPECT_TRUE(std::isinf(idle.Figures().integrated));
    EXPECT_NEAR(LoudnessMeter::Together({&a, &idle}).integrated, -20.0, 0.1);
}

TEST(LoudnessMeter, MomentaryAndShortTermFollowTheSignal) {
    LoudnessMeter m;
    std::string error;
    ASSERT_TRUE(m.Start(2, 48000, kLoudnessMomentary | kLoudnessTruePeak | kLoudnessStreaming, error));
    const auto loud = Sine(4, -20), soft = Sine(1, -40);
    m.AddStereo(loud.data(), loud.size() / 2);
    EXPECT_NEAR(m.Momentary(), -20.0, 0.1);
    EXPECT_NEAR(m.ShortTerm(), -20.0, 0.1);
    m.AddStereo(soft.data(), soft.size() / 2);
    // After a second of -40 the 400 ms window holds only it; the 3 s window still two seconds of -20.
    EXPECT_NEAR(m.Momentary(), -40.0, 0.1);
    EXPECT_NEAR(m.ShortTerm(), 10 * std::log10((2 * 0.01 + 1 * 0.0001) / 3), 0.1);
}

TEST(FileLoudness, MonoFilesAreOneChannelAndUnreadableFilesSaySo) {
    TempDir dir;
    // A mono file is duplicated by our readers; measured as two channels it would read 3 LU too loud.
    const auto tone = Sine(10, -20);
    ASSERT_TRUE(MakeWavFile(dir.Str(), "mono.wav", tone, 48000, 1, 24));
    LoudnessMeter m;
    std::string error;
    ASSERT_TRUE(MeasureFileLoudness((dir / "mono.wav").string(), m, error)) << error;
    EXPECT_NEAR(m.Figures().integrated, -23.0, 0.1);

    SaveBytes(dir / "junk.wav", std::vector<uint8_t>(1000, 7));
    EXPECT_FALSE(MeasureFileLoudness((dir / "junk.wav").string(), m, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(MeasureFileLoudness((dir / "missing.flac").string(), m, error));
    EXPECT_FALSE(error.empty());
}

namespace {

// ffmpeg's summary figures of a file: I, LRA and the true peak.
bool FfmpegLoudness(const TempDir& dir, const std::string& file, double& i, double& lra, double& peak) {
    const std::string log = (dir / "ebur128.txt").string();
    if (RunCommand("ffmpeg -nostats -hide_banner -i " + ShellQuote(file) + " -af ebur128=peak=true -f null - 2>" +
                   ShellQuote(log)) != 0)
        return false;
    const std::string text = LoadText(log);
    const size_t summary = text.find("Summary:");
    if (summary == std::string::npos) return false;
    auto number = [&](const char* label, double& out) {
        const size_t at = text.find(label, summary);
        return at != std::string::npos && std::sscanf(text.c_str() + at + std::strlen(label), "%lf", &out) == 1;
    };
    return number("I:", i) && number("LRA:", lra) && number("Peak:", peak);
}

} // namespace

TEST(FileLoudness, AgreesWithFfmpegOnMusicLikeMaterial) {
    REQUIRE_TOOL("ffmpeg");
    REQUIRE_TOOL("sox");
    TempDir dir;
    // Plucked chords over pink noise, with a quiet bridge, at 44.1 kHz: something with a range,
    // a real crest factor and peaks between samples; as WAV, FLAC and Ogg Vorbis, all read by us.
    const std::string wav = (dir / "music.wav").string();
    ASSERT_EQ(RunCommand("sox -n -r 44100 -c 2 " + ShellQuote((dir / "a.wav").string()) +
                         " synth 12 pluck C3 pluck E4 pluck G4 pinknoise tremolo 3 60 vol 0.5"),
              0);
    ASSERT_EQ(RunCommand("sox -n -r 44100 -c 2 " + ShellQuote((dir / "b.wav").string()) +
                         " synth 8 sine 220 sine 330 tremolo 1 40 vol 0.05"),
              0);
    ASSERT_EQ(RunCommand("sox " + ShellQuote((dir / "a.wav").string()) + " " + ShellQuote((dir / "b.wav").string()) +
                         " " + ShellQuote((dir / "a.wav").string()) + " " + ShellQuote(wav)),
              0);
    ASSERT_EQ(RunCommand("sox " + ShellQuote(wav) + " " + ShellQuote((dir / "music.flac").string())), 0);
    for (const char* name : {"music.wav", "music.flac"}) {
        const std::string file = (dir / name).string();
        double i = 0, lra = 0, peak = 0;
        ASSERT_TRUE(FfmpegLoudness(dir, file, i, lra, peak)) << name;
        LoudnessMeter m;
        std::string error;
        ASSERT_TRUE(MeasureFileLoudness(file, m, error)) << error;
        const LoudnessFigures f = m.Figures();
        // ffmpeg prints one decimal: agreement within 0.1 LU allows for its rounding.
        EXPECT_NEAR(f.integrated, i, 0.1 + 0.05) << name;
        EXPECT_NEAR(f.range, lra, 0.1 + 0.05) << name;
        EXPECT_NEAR(f.truePeak, peak, 0.1 + 0.05) << name;
    }
}

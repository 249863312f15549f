// Loudness exports on the core's real engine: per file each file within the tolerance of the
// target, "As album" one gain for all so the files keep their differences, the limiter's
// ceiling holding a target that can't be reached (and saying so), a bypassed chain, and an
// export with loudness off that stays exactly as it was.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "audiofile/AudioFileWav.h"
#include "common/FolderId.h"
#include "common/MainThreadPort.h"
#include "common/ProcessorKind.h"
#include "core/CCore.h"
#include "core/ExportJob.h"
#include "core/RegionLoudness.h"
#include "dsp/CTubeAmp.h"
#include "library/CDSPSnap.h"
#include "library/CRegion.h"
#include "library/CSample.h"
#include "loudness/FileLoudness.h"
#include "support/AudioFiles.h"
#include "support/Files.h"
#include "support/ScriptedUiPort.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

constexpr int32_t kRate = 44100;
constexpr int64_t kSection = 3 * kRate; // three seconds per level

// Three sections of a two-tone chord with a little noise, at -30, -20 and -12 dBFS peak, then a
// full-scale square wave that no gain can make much louder.
float Level(int section) {
    static const double db[] = {-30.0, -20.0, -12.0, 0.0};
    return static_cast<float>(std::pow(10.0, db[section] / 20.0));
}
float Sample(int64_t i, int channel) {
    const int section = static_cast<int>(i / kSection);
    if (section == 3) return (i / 50) % 2 ? 1.0f : -1.0f;
    const double t = static_cast<double>(i) / kRate;
    const double chord = 0.6 * std::sin(2 * M_PI * (220.0 + 110 * channel) * t) + 0.3 * std::sin(2 * M_PI * 1375.0 * t);
    const double noise = ((i * 7919 + channel * 104729) % 2001 - 1000) / 1000.0 * 0.1;
    return static_cast<float>(Level(section) * (chord + noise));
}

struct LoudnessRig {
    TempDir dir;
    ScriptedUiPort ui;
    MainThreadPort port;
    std::unique_ptr<CCore> core = std::make_unique<CCore>(ui, port);
    std::unique_ptr<CSample> sample;
    std::vector<std::unique_ptr<CRegion>> regions;
    std::string out;

    LoudnessRig() {
        CoreOptions options;
        options.withLibrary = false;
        options.withSoundCards = false;
        EXPECT_EQ(core->Start(options), CCore::StartResult::Running);
        const int64_t frames = 4 * kSection;
        std::vector<float> pcm(2 * frames);
        for (int64_t i = 0; i < frames; ++i) {
            pcm[2 * i] = Sample(i, 0);
            pcm[2 * i + 1] = Sample(i, 1);
        }
        AudioFileWav w(dir.Str(), "source.wav");
        EXPECT_TRUE(WriteFloats(w, 2, kRate, 32, kSampleFloat, pcm));
        sample = std::make_unique<CSample>("source.wav", dir.Str(), 0, 0, kRate, 2, 32, frames, kFormatWav,
                                           static_cast<int64_t>(fs::file_size(dir / "source.wav")));
        out = (dir / "out").string();
        fs::create_directories(out);
        // "Digital": the valve stage would colour the levels; the limiter still acts.
        core->ValveAmp()->SetParam(CTubeAmp::IdValveMode, 0.0f);
    }
    ~LoudnessRig() { core->Stop(); }

    // A region of one section, with a snap of the valve amplifier as it is set now.
    CRegion* AddRegion(const std::string& name, int section) {
        regions.push_back(std::make_unique<CRegion>(name, section * kSection, (section + 1) * kSection - 1,
                                                    sample.get(), 0, -1, FolderId::User));
        auto* snap = new CDSPSnap("Test");
        core->ValveAmp()->StoreParameters(snap->Params());
        regions.back()->Snaps().Append(snap);
        return regions.back().get();
    }

    // Exports to 24-bit WAV files; the lines of the report.
    std::vector<ExportReportLine> Export(const std::vector<CRegion*>& list, bool loudness, double target = -16.0,
                                         bool album = false, const std::string& format = "WAV", int depthIndex = 1,
                                         bool reuseRenders = true) {
        ExportChoice c;
        for (const ExportFormatEntry& e : BuildExportFormatList(&core->Encoders()))
            if (e.caption == format) c.format = e;
        c.folder = out;
        c.depthIndex = depthIndex;
        c.loudness = loudness;
        c.loudnessTarget = target;
        c.loudnessAlbum = album;
        ExportJob job(*core);
        job.SetReuseRenders(reuseRenders);
        bool show = false;
        EXPECT_TRUE(job.Export(c, list, show));
        album_ = job.AlbumFigures();
        return job.Lines();
    }
    LoudnessFigures album_;

    LoudnessFigures Measure(const std::string& file) const {
        LoudnessMeter m;
        std::string error;
        EXPECT_TRUE(MeasureFileLoudness(out + "/" + file, m, error)) << error;
        return m.Figures();
    }
};

} // namespace

TEST(LoudnessExport, PerFileEachFileReachesTheTarget) {
    LoudnessRig rig;
    const std::vector<CRegion*> list = {rig.AddRegion("Quiet", 0), rig.AddRegion("Middle", 1),
                                        rig.AddRegion("Loud", 2)};
    const auto lines = rig.Export(list, true, -16.0);
    ASSERT_EQ(lines.size(), 3u);
    for (const ExportReportLine& line : lines) {
        ASSERT_TRUE(line.ok) << line.result;
        const LoudnessFigures f = rig.Measure(line.file);
        EXPECT_NEAR(f.integrated, -16.0, ExportJob::kLoudnessTolerance) << line.file;
        // The report gives what the file holds.
        EXPECT_NEAR(line.integrated, f.integrated, 0.1) << line.file;
        EXPECT_NEAR(line.truePeak, f.truePeak, 0.1) << line.file;
        EXPECT_NE(line.result.find(LoudnessText(line.integrated, "LUFS")), std::string::npos) << line.result;
        EXPECT_NE(line.result.find(LoudnessText(line.truePeak, "dBTP")), std::string::npos) << line.result;
        EXPECT_EQ(line.result.find("ceiling"), std::string::npos) << line.result;
        EXPECT_LE(f.truePeak, 0.0);
    }
    // A hot target: the chord is held by the limiter at full scale and its peaks between the
    // samples would pass it; the ceiling is trimmed until they don't.
    const auto hot = rig.Export({rig.AddRegion("Loud", 2)}, true, -6.0);
    ASSERT_EQ(hot.size(), 1u);
    EXPECT_LE(rig.Measure(hot[0].file).truePeak, 0.0 + 0.01) << hot[0].result;
    // The gain is the export's alone: the chain is back at unity afterwards.
    EXPECT_EQ(rig.core->ValveAmp()->LoudnessGain(), 1.0f);
}

TEST(LoudnessExport, AsAlbumKeepsTheDifferencesWhileTheWholeReachesTheTarget) {
    LoudnessRig rig;
    const std::vector<CRegion*> list = {rig.AddRegion("Quiet", 0), rig.AddRegion("Middle", 1),
                                        rig.AddRegion("Loud", 2)};
    // The files' own levels, from an export with loudness off.
    const auto plain = rig.Export(list, false);
    std::vector<double> before;
    for (const ExportReportLine& line : plain) before.push_back(rig.Measure(line.file).integrated);

    const auto lines = rig.Export(list, true, -14.0, true);
    ASSERT_EQ(lines.size(), 3u);
    LoudnessMeter meters[3];
    std::vector<const LoudnessMeter*> all;
    std::vector<double> after;
    for (size_t i = 0; i < 3; ++i) {
        ASSERT_TRUE(lines[i].ok) << lines[i].result;
        std::string error;
        ASSERT_TRUE(MeasureFileLoudness(rig.out + "/" + lines[i].file, meters[i], error)) << error;
        after.push_back(meters[i].Figures().integrated);
        all.push_back(&meters[i]);
    }
    // One gain: every file moved by the same amount.
    for (size_t i = 1; i < 3; ++i) EXPECT_NEAR(after[i] - after[0], before[i] - before[0], 0.1) << i;
    EXPECT_NEAR(LoudnessMeter::Together(all).integrated, -14.0, ExportJob::kLoudnessTolerance);
    EXPECT_NEAR(rig.album_.integrated, -14.0, ExportJob::kLoudnessTolerance);
    // Each file on its own is not at the target: that is what an album is for.
    EXPECT_LT(after[0], -20.0);
}

TEST(LoudnessExport, TheCeilingHoldsATargetItCannotReachAndTheReportSaysSo) {
    LoudnessRig rig;
    rig.core->ValveAmp()->SetParam(CTubeAmp::IdCeiling, -6.0f);
    const std::vector<CRegion*> list = {rig.AddRegion("Square", 3), rig.AddRegion("Loud", 2)};
    const auto lines = rig.Export(list, true, -3.0);
    ASSERT_EQ(lines.size(), 2u);
    for (const ExportReportLine& line : lines) {
        ASSERT_TRUE(line.ok) << line.result;
        EXPECT_TRUE(line.ceilingHeld) << line.file;
        EXPECT_NE(line.result.find("the ceiling holds it below -3.0 LUFS"), std::string::npos) << line.result;
        const LoudnessFigures f = rig.Measure(line.file);
        EXPECT_LT(f.integrated, -3.0 - ExportJob::kLoudnessTolerance);
        // The limiter holds the peaks at the ceiling, whatever gain went in ahead of it, and
        // the peaks between the samples too.
        EXPECT_LE(f.samplePeak, -6.0 + 0.01) << line.file;
        EXPECT_LE(f.truePeak, -6.0 + 0.01) << line.file;
    }
}

TEST(LoudnessExport, ABypassedChainStillReachesTheTarget) {
    LoudnessRig rig;
    rig.core->ValveAmp()->SetParam(CTubeAmp::IdBypassAll, 0.0f);
    const auto lines = rig.Export({rig.AddRegion("Quiet", 0)}, true, -23.0);
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_TRUE(lines[0].ok) << lines[0].result;
    EXPECT_NEAR(rig.Measure(lines[0].file).integrated, -23.0, ExportJob::kLoudnessTolerance);
}

TEST(LoudnessExport, WithLoudnessOffTheFilesStayByteForByteAsBefore) {
    LoudnessRig rig;
    const std::vector<CRegion*> list = {rig.AddRegion("Middle", 1)};
    rig.Export(list, false);
    const auto first = LoadBytes(rig.out + "/Middle.wav");
    ASSERT_FALSE(first.empty());
    fs::remove(rig.out + "/Middle.wav");
    rig.Export(list, true, -10.0);
    const auto louder = LoadBytes(rig.out + "/Middle.wav");
    fs::remove(rig.out + "/Middle.wav");
    rig.Export(list, false);
    // A loudness export leaves nothing behind in the chain: the next plain export is the first.
    EXPECT_EQ(LoadBytes(rig.out + "/Middle.wav"), first);
    EXPECT_NE(louder, first);
}

TEST(LoudnessExport, FilesRenderedFromTheMeasuringRenderAreThoseOfTheWholeChain) {
    // After the measuring render, files are rendered from what it kept ahead of the limiter.
    // They must be byte for byte the files the whole chain makes: with the valve stage on,
    // dither with noise shaping, a limiter that acts, a silent stretch the chain passes on
    // untouched, a second render of a file the ceiling holds back, and when no temporary file
    // can be made at all.
    LoudnessRig rig;
    rig.core->ValveAmp()->SetParam(CTubeAmp::IdValveMode, 1.0f);
    rig.core->ValveAmp()->SetParam(CTubeAmp::IdDitherAmount, 2.0f);
    rig.core->ValveAmp()->SetParam(CTubeAmp::IdDitherType, 1.0f);
    rig.core->ValveAmp()->SetParam(CTubeAmp::IdNoiseShaping, 1.0f);
    rig.core->ValveAmp()->SetParam(CTubeAmp::IdCeiling, -3.0f);
    const int64_t frames = 3 * kRate;
    std::vector<float> gap(2 * frames, 0.0f);
    for (int64_t i = 0; i < frames; ++i)
        if (i < kRate || i >= 2 * kRate) gap[2 * i] = gap[2 * i + 1] = Sample(kSection + i, 0);
    AudioFileWav w(rig.dir.Str(), "gap.wav");
    ASSERT_TRUE(WriteFloats(w, 2, kRate, 32, kSampleFloat, gap));
    CSample gapSample("gap.wav", rig.dir.Str(), 0, 0, kRate, 2, 32, frames, kFormatWav,
                      static_cast<int64_t>(fs::file_size(rig.dir / "gap.wav")));
    rig.regions.push_back(std::make_unique<CRegion>("Gap", 0, frames - 1, &gapSample, 0, -1, FolderId::User));
    auto* snap = new CDSPSnap("Test");
    rig.core->ValveAmp()->StoreParameters(snap->Params());
    rig.regions.back()->Snaps().Append(snap);
    CRegion* withGap = rig.regions.back().get();
    const std::vector<CRegion*> list = {rig.AddRegion("Quiet", 0), withGap, rig.AddRegion("Square", 3)};

    struct Case {
        bool album;
        double target;
        int depthIndex;
    };
    const char* const tmpdir = std::getenv("TMPDIR");
    const std::string kept = tmpdir ? tmpdir : "";
    for (const Case& k : {Case{true, -14.0, 0}, Case{false, -1.0, 1}}) {
        std::vector<std::vector<uint8_t>> whole;
        for (const ExportReportLine& line :
             rig.Export(list, true, k.target, k.album, "WAV", k.depthIndex, /*reuseRenders=*/false)) {
            ASSERT_TRUE(line.ok) << line.file << ": " << line.result;
            whole.push_back(LoadBytes(rig.out + "/" + line.file));
            fs::remove(rig.out + "/" + line.file);
        }
        ASSERT_EQ(whole.size(), 3u);
        for (const char* dir : {"", "/nonexistent-folder"}) {
            if (*dir) setenv("TMPDIR", dir, 1);
            const auto lines = rig.Export(list, true, k.target, k.album, "WAV", k.depthIndex);
            if (*dir && tmpdir) setenv("TMPDIR", kept.c_str(), 1);
            else if (*dir) unsetenv("TMPDIR");
            ASSERT_EQ(lines.size(), 3u);
            for (size_t i = 0; i < 3; ++i) {
                ASSERT_TRUE(lines[i].ok) << lines[i].result;
                EXPECT_TRUE(LoadBytes(rig.out + "/" + lines[i].file) == whole[i])
                    << lines[i].file << (k.album ? " as album" : " per file") << (*dir ? ", no capture" : "");
                fs::remove(rig.out + "/" + lines[i].file);
            }
            // The square wave can't reach a hot target: its file was rendered more than once.
            if (!k.album) {
                EXPECT_TRUE(lines[2].ceilingHeld) << lines[2].result;
            }
        }
    }
}

TEST(LoudnessExport, FiguresMeasuredWhileRenderingAreThoseOfTheFile) {
    // Lossless files are measured as they are rendered, before the writer rounds them to 16
    // bits; lossy ones from the file. Either way the report gives what the file holds.
    LoudnessRig rig;
    struct Case {
        const char* format;
        int depthIndex;
        double tolerance;
    };
    for (const Case& k : {Case{"WAV", 0, 0.05}, Case{"FLAC", 0, 0.05}, Case{"OGG", -1, 1e-9}}) {
        const auto lines = rig.Export({rig.AddRegion("Quiet", 0), rig.AddRegion("Loud", 2)}, true, -18.0, true,
                                      k.format, k.depthIndex);
        ASSERT_EQ(lines.size(), 2u) << k.format;
        for (const ExportReportLine& line : lines) {
            ASSERT_TRUE(line.ok && line.measured) << k.format << ": " << line.result;
            LoudnessMeter m;
            std::string error;
            ASSERT_TRUE(MeasureFileLoudness(rig.out + "/" + line.file, m, error, nullptr,
                                            kLoudnessIntegrated | kLoudnessTruePeak | kLoudnessStreaming))
                << error;
            EXPECT_NEAR(line.integrated, m.Figures().integrated, k.tolerance) << line.file;
            EXPECT_NEAR(line.truePeak, m.Figures().truePeak, k.tolerance) << line.file;
        }
    }
}

// Targets the limiter holds back: the first render falls short, so the files are rendered again.
TEST(LoudnessExport, AnAbortBeforeARenderAgainKeepsTheFileItsLineAndFigures) {
    LoudnessRig rig;
    rig.core->ValveAmp()->SetParam(CTubeAmp::IdCeiling, -6.0f);
    int renders = 0;
    // Each render of the first file shows its text anew; the second is aborted as it shows.
    rig.ui.onEvents = [&renders](ScriptedUiPort& ui) {
        renders = 0;
        for (const std::string& text : ui.progressTexts) renders += text.rfind("Exporting Square.wav", 0) == 0;
        if (renders == 2) ui.PressAbort();
    };
    // Per file: the first render's file stays.
    auto lines = rig.Export({rig.AddRegion("Square", 3)}, true, -3.0);
    ASSERT_EQ(renders, 2) << "the file was to be rendered again";
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].ok) << lines[0].result;
    EXPECT_TRUE(fs::exists(rig.out + "/Square.wav"));
    EXPECT_NE(lines[0].result.find(LoudnessText(lines[0].integrated, "LUFS")), std::string::npos) << lines[0].result;
    EXPECT_NEAR(lines[0].integrated, rig.Measure("Square.wav").integrated, 0.05);
    ASSERT_EQ(rig.ui.reportLines.size(), 1u);

    // As an album: both files of the first pass stay, each with its line and figures.
    fs::remove(rig.out + "/Square.wav");
    rig.ui.progressTexts.clear();
    lines = rig.Export({rig.AddRegion("Square", 3), rig.AddRegion("Loud", 2)}, true, -3.0, true);
    ASSERT_EQ(renders, 2) << "the album was to be rendered again";
    ASSERT_EQ(lines.size(), 2u);
    for (const ExportReportLine& line : lines) {
        EXPECT_TRUE(line.ok) << line.result;
        EXPECT_TRUE(fs::exists(rig.out + "/" + line.file)) << line.file;
        EXPECT_NE(line.result.find(" LUFS, "), std::string::npos) << line.result;
        EXPECT_NEAR(line.integrated, rig.Measure(line.file).integrated, 0.05) << line.file;
    }
}

TEST(LoudnessExport, AnAbortedAlbumReportsEveryFileItLeavesWithItsFigures) {
    // Aborted as the second file's render begins: the first file stays, with its figures
    // (measured while rendered for WAV, from the file for Ogg Vorbis); nothing else is left.
    for (const char* format : {"WAV", "OGG"}) {
        LoudnessRig rig;
        rig.ui.onEvents = [](ScriptedUiPort& ui) {
            if (!ui.progressTexts.empty() && ui.progressTexts.back().rfind("Exporting Middle", 0) == 0) ui.PressAbort();
        };
        const auto lines = rig.Export({rig.AddRegion("Quiet", 0), rig.AddRegion("Middle", 1), rig.AddRegion("Loud", 2)},
                                      true, -16.0, true, format, std::string(format) == "WAV" ? 1 : -1);
        ASSERT_EQ(lines.size(), 1u) << format;
        EXPECT_TRUE(lines[0].ok) << lines[0].result;
        EXPECT_TRUE(lines[0].measured) << lines[0].result;
        EXPECT_NE(lines[0].result.find(LoudnessText(lines[0].integrated, "LUFS") + ", " +
                                       LoudnessText(lines[0].truePeak, "dBTP")),
                  std::string::npos)
            << lines[0].result;
        EXPECT_NEAR(lines[0].integrated, rig.Measure(lines[0].file).integrated, 0.05) << format;
        size_t files = 0;
        for (const auto& e : fs::directory_iterator(rig.out)) files += e.is_regular_file();
        EXPECT_EQ(files, 1u) << format;
        EXPECT_EQ(rig.ui.reportLines.size(), 1u) << format;
    }
}

TEST(RegionLoudness, MeasuredThroughTheChainAndKeptUntilTheRegionOrItsSnapChanges) {
    LoudnessRig rig;
    CRegion* middle = rig.AddRegion("Middle", 1);
    CRegion* loud = rig.AddRegion("Loud", 2);
    ExportJob job(*rig.core);
    RegionLoudness loudness(*rig.core);
    LoudnessFigures f;
    EXPECT_FALSE(loudness.Known(*middle, false, f));
    EXPECT_EQ(loudness.Rows(*middle, false)[0], (std::pair<std::string, std::string>{"Loudness", ""}));
    ASSERT_TRUE(loudness.Measure(job, {middle, loud}, false));
    EXPECT_EQ(rig.ui.reportCaption, RegionLoudness::kReportCaption);
    ASSERT_EQ(rig.ui.reportLines.size(), 2u);
    EXPECT_EQ(rig.ui.reportLines[0].first, "Middle");
    ASSERT_TRUE(loudness.Known(*middle, false, f));
    EXPECT_NE(rig.ui.reportLines[0].second.find(LoudnessText(f.integrated, "LUFS")), std::string::npos);

    // The figures are those of the region as an export makes it.
    const auto plain = rig.Export({middle}, false);
    const LoudnessFigures file = rig.Measure(plain[0].file);
    ASSERT_TRUE(loudness.Known(*middle, false, f));
    EXPECT_NEAR(f.integrated, file.integrated, 0.1);
    EXPECT_NEAR(f.truePeak, file.truePeak, 0.1);
    EXPECT_EQ(loudness.Rows(*middle, false)[0].second, LoudnessText(f.integrated, "LUFS"));

    // A change of the snap the region renders with, or of the region, forgets its figures.
    CDSPSnap* snap = loud->Snaps().SnapToApply(false);
    ASSERT_TRUE(snap);
    ASSERT_TRUE(loudness.Known(*loud, false, f));
    snap->Params().Append(KindEQ, 9, 3.0f); // the equaliser's output level
    EXPECT_FALSE(loudness.Known(*loud, false, f));
    middle->SetFadeOutLength(1000);
    EXPECT_FALSE(loudness.Known(*middle, false, f));

    // Nothing selected: the notice.
    EXPECT_FALSE(loudness.Measure(job, {}, false));
    EXPECT_EQ(rig.ui.messages.back().text, RegionLoudness::kNoSelection);
}

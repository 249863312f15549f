#include "core/ExportJob.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <thread>
#include <utility>

#include "audiofile/AudioFile.h"
#include "common/FreshFile.h"
#include "common/MainThreadPort.h"
#include "common/TimeFormat.h"
#include "common/UiPort.h"
#include "core/CCore.h"
#include "core/RenderCapture.h"
#include "dsp/CCompressor.h"
#include "dsp/CDSPStack.h"
#include "dsp/CParaEQ4B.h"
#include "dsp/CStereoImager.h"
#include "dsp/CTubeAmp.h"
#include "engine/AudioIOThread.h"
#include "engine/CPlayList.h"
#include "engine/CRenderTarget.h"
#include "engine/CTransport.h"
#include "engine/EngineBlock.h"
#include "export/EncoderRun.h"
#include "export/ExtEncoders.h"
#include "export/ReplayGainTags.h"
#include "library/CParamBlock.h"
#include "library/CRegion.h"
#include "library/CSample.h"
#include "library/CSampleList.h"
#include "loudness/FileLoudness.h"
#include "loudness/LoudnessMeter.h"

namespace {

// The render target of one item: the writer, plus what the audio thread tells the main thread
// (the detail bar, the loudest sample) and what the main thread tells it (abort).
// A loudness export's gain when the chain is bypassed (the chain applies it otherwise): the
// block made louder, held at full scale as the chain's own last stage holds it.
void ApplyTargetGain(float* interleaved, int32_t frames, float gain) {
    if (gain == 1.0f) return;
    for (int32_t i = 0; i < 2 * frames; ++i) interleaved[i] = std::clamp(interleaved[i] * gain, -1.0f, 1.0f);
}

class ExportTarget : public CFileRenderTarget {
public:
    using CFileRenderTarget::CFileRenderTarget;

    // A loudness export measures what is written, with the gain the chain could not apply.
    void Measure(LoudnessMeter* meter, float gain) {
        m_meter = meter;
        m_gain = gain;
    }

    bool Write(float* interleaved, int32_t frames) override {
        ApplyTargetGain(interleaved, frames, m_gain);
        if (m_meter) m_meter->AddStereo(interleaved, static_cast<size_t>(frames));
        // Measured before the writer converts the block in place.
        float peak = m_peakSeen;
        for (int32_t i = 0; i < 2 * frames; ++i) peak = std::max(peak, std::fabs(interleaved[i]));
        m_peakSeen = peak;
        m_peak.store(peak, std::memory_order_relaxed);
        return CFileRenderTarget::Write(interleaved, frames);
    }
    void Progress(int percent) override { m_progress.store(percent, std::memory_order_relaxed); }
    bool Cancelled() const override { return m_cancel.load(std::memory_order_relaxed); }

    void Cancel() { m_cancel.store(true, std::memory_order_relaxed); }
    int ProgressShown() const { return m_progress.load(std::memory_order_relaxed); }
    float Peak() const { return m_peak.load(std::memory_order_relaxed); }

private:
    float m_peakSeen = 0.0f; // audio thread only
    std::atomic<float> m_peak{0.0f};
    std::atomic<int> m_progress{0};
    std::atomic<bool> m_cancel{false};
    LoudnessMeter* m_meter = nullptr; // fed on the audio thread, read after the stop
    float m_gain = 1.0f;
};

// The measuring render of a loudness export: the item through the chain at the export's depth
// (so the dither is the file's), into a meter and nowhere else.
class MeasureTarget : public CRenderTarget {
public:
    MeasureTarget(LoudnessMeter& meter, int32_t bits, float gain) : m_meter(meter), m_bits(bits), m_gain(gain) {}
    bool Open() override { return true; }
    int32_t Bits() const override { return m_bits; }
    bool Write(float* interleaved, int32_t frames) override {
        ApplyTargetGain(interleaved, frames, m_gain);
        m_meter.AddStereo(interleaved, static_cast<size_t>(frames));
        return true;
    }
    void Progress(int percent) override { m_progress.store(percent, std::memory_order_relaxed); }
    bool Cancelled() const override { return m_cancel.load(std::memory_order_relaxed); }
    bool Finish(bool complete) override { return true; }

    void Cancel() { m_cancel.store(true, std::memory_order_relaxed); }
    int ProgressShown() const { return m_progress.load(std::memory_order_relaxed); }

private:
    LoudnessMeter& m_meter;
    int32_t m_bits;
    float m_gain;
    std::atomic<int> m_progress{0};
    std::atomic<bool> m_cancel{false};
};

// An item's render from its capture: the chain's tail and the writer run on a thread of their
// own, as the transport's render runs them on the audio thread, while the main thread keeps
// the dialog going and takes "Abort". False when the capture could not be read back; the
// target is then finished incomplete, which removes its file.
bool ReplayItem(CCore& core, RenderCapture& capture, ExportTarget& target, int32_t rate, int32_t bits, int overall) {
    UiPort& ui = core.Ui();
    CDSPStack& stack = *core.Stack();
    const int64_t total = capture.Frames();
    std::atomic<bool> done{false};
    bool readable = true;
    std::thread run([&] {
        // The same float arithmetic as on the audio thread, so the file is the chain's.
        EnableFlushToZero();
        if (!target.Open()) {
            target.SetMessage(AudioIOThread::kCantWrite);
            done.store(true, std::memory_order_release);
            return;
        }
        std::vector<float> block(2 * static_cast<size_t>(kMaxEngineBlock));
        bool complete = capture.Rewind();
        readable = complete;
        int64_t written = 0;
        while (complete) {
            const int32_t k = capture.ReplayBlock(stack, rate, bits, block.data());
            if (k == 0) break;
            if (k < 0) {
                readable = complete = false;
                break;
            }
            if (!target.Write(block.data(), k)) {
                target.SetMessage(AudioIOThread::kCantWrite);
                complete = false;
                break;
            }
            written += k;
            target.Progress(static_cast<int>(static_cast<double>(written) / static_cast<double>(total) * 100.0));
            if (target.Cancelled()) {
                target.SetMessage(AudioIOThread::kCanceled);
                complete = false;
                break;
            }
        }
        target.Progress(100);
        target.Finish(complete);
        done.store(true, std::memory_order_release);
    });
    while (!core.MainThread().WaitServing([&] { return done.load(std::memory_order_acquire); },
                                          std::chrono::milliseconds(100))) {
        ui.DualBars(overall, target.ProgressShown());
        ui.LetEventsThrough();
        if (ui.DualAborted()) target.Cancel();
    }
    run.join();
    return readable;
}

std::string PeakText(float peak) {
    if (peak <= 0.0f) return "peak -inf dB";
    return StrFormat("peak %.1f dB", 20.0 * std::log10(static_cast<double>(peak)));
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

// The name an external encoder's intermediate WAV file gets: "<stem>.wav" when no file of that
// name is there, else "<stem>.XXXXXX.wav" with a random part; either way created here, so no
// file that was there before (a library file, an earlier export) is ever written over, and the
// file deleted afterwards is the export's own. False when none can be made.
// plainAllowed is false when "<stem>.wav" is a name the export must not make.
bool CreateIntermediate(const std::string& folder, const std::string& stem, bool plainAllowed, std::string& name) {
    const int fd = CreateFreshFile(folder, stem, ".wav", plainAllowed, name);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

} // namespace

void ExportJob::FileSet::Clear() {
    m_ids.clear();
    m_names.clear();
}

void ExportJob::FileSet::Add(const std::string& path) {
    if (path.empty()) return;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0)
        m_ids.push_back({static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)});
    std::error_code ec;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, ec);
    if (!ec) m_names.push_back(resolved.string());
}

bool ExportJob::FileSet::Holds(const std::string& path) const {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        for (const Identity& id : m_ids)
            if (id.device == static_cast<uint64_t>(st.st_dev) && id.inode == static_cast<uint64_t>(st.st_ino))
                return true;
    }
    // A file that is not there now (a sample whose file has gone missing) still must not be
    // made by an export: the library would take the export for its sample.
    std::error_code ec;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, ec);
    if (ec) return false;
    return std::find(m_names.begin(), m_names.end(), resolved.string()) != m_names.end();
}

ExportJob::ExportJob(CCore& core) : m_core(core) {}

bool ExportJob::MayStart(ExportSource source, size_t count) const {
    CTransport* transport = m_core.Transport();
    if (!transport || !transport->IsStopped()) return false;
    if (count == 0) {
        m_core.Ui().Notice(source == kExportFromVTape ? kVTapeEmpty : kNoSelection);
        return false;
    }
    return true;
}

bool ExportJob::Export(const ExportChoice& choice, const std::vector<CRegion*>& regions, bool& showReport) {
    UiPort& ui = m_core.Ui();
    m_lines.clear();
    std::string message;
    if (!PrepareOutputFolder(choice.folder, choice.subfolder, m_output, message)) {
        ui.Notice(message);
        return false;
    }
    CTransport* transport = m_core.Transport();
    CPlayList* playList = m_core.PlayList();
    if (!transport || !playList || !transport->IsStopped()) return false;
    ExportSettings settings;
    if (!DeriveExportSettings(choice, &m_core.Encoders(), settings, message)) {
        ui.Notice(message);
        return false;
    }

    // Each item recalls its region's snap into the stack; afterwards the stack goes back to
    // what the person was working with, so the region in the editor keeps its sound.
    CParamBlock before;
    CProcessor* const processors[4] = {m_core.Equaliser(), m_core.Compressor(), m_core.StereoImager(),
                                       m_core.ValveAmp()};
    for (CProcessor* p : processors) p->StoreParameters(before);

    m_libraryFiles.Clear();
    m_written.Clear();
    auto addSample = [this](const CSample* sample) {
        if (!sample) return;
        m_libraryFiles.Add(sample->FilePath());
        std::string peak;
        const std::string peakFolder = sample->PeakFileFolder();
        if (!peakFolder.empty() && sample->PeakFileName(peak)) m_libraryFiles.Add(JoinPath(peakFolder, peak));
    };
    if (const CSampleList* samples = m_core.SampleList()) samples->ForEach([&](const CSample* sm) { addSample(sm); });
    for (const CRegion* r : regions)
        if (r) addSample(r->GetSample());

    ui.DualOpen();
    if (m_mainTimer) m_mainTimer(false);
    ui.ReportClear();
    m_album = LoudnessFigures();
    const int32_t n = choice.loudness ? 0 : static_cast<int32_t>(regions.size());
    if (choice.loudness) ExportLoudness(choice, settings, regions);
    for (int32_t i = 0; i < n; ++i) {
        const int overall = static_cast<int>(static_cast<double>(i + 1) / n * 100.0);
        ui.DualBars(overall, 0);
        const CRegion* region = regions[static_cast<size_t>(i)];
        if (!region) continue;
        ExportReportLine line;
        bool aborted = false;
        const bool rendered = RenderItem(*region, i, n, settings, choice, line, aborted);
        if (!rendered) break; // the abort was pressed before this item began: no line
        ui.ReportAddLine(line.file, line.result);
        m_lines.push_back(line);
        if (aborted) break;
    }
    for (CProcessor* p : processors) p->ApplySnap(before);
    if (m_mainTimer) m_mainTimer(true);
    playList->Clear();
    ui.DualClose();
    if (showReport) {
        bool dontShowAgain = false;
        ui.ReportPrepare(kReportCaption, &dontShowAgain);
        ui.ReportShow();
        showReport = !dontShowAgain;
    }
    return true;
}

bool ExportJob::RenderItem(const CRegion& region, int32_t i, int32_t n, const ExportSettings& s, const ExportChoice& c,
                           ExportReportLine& line, bool& aborted, LoudnessMeter* meter, RenderCapture* replay) {
    UiPort& ui = m_core.Ui();
    CTransport& transport = *m_core.Transport();
    CPlayList& playList = *m_core.PlayList();

    const std::string name = ItemName(c.baseNameIndex, c.baseName, c.startIndex, i, region.GetName());
    const ItemFiles files = ItemFileNames(c.format, name);
    const bool external = s.encoderIndex >= 0;
    line.file = external ? files.encoded : files.rendered;
    ui.DualText(StrFormat("Exporting %s (%d of %d)", line.file.c_str(), i + 1, n));
    // The window draws the text and takes a press of "Abort" before the render begins.
    ui.LetEventsThrough();
    if (ui.DualAborted()) return false;

    const CSample* sample = region.GetSample();
    if (!sample || !sample->FilePresent()) {
        // The engine would play a missing file as silence; a silent master is no success.
        line.result = kNoAudio;
        return true;
    }

    // The name is checked before any writer exists: a writer's open already cuts the file.
    if (const char* refusal = Refusal(JoinPath(m_output, line.file))) {
        line.result = refusal;
        return true;
    }
    // An external encoder's intermediate file is one of this export's own making.
    std::string wavName = files.rendered;
    if (external) {
        const std::string stem = files.rendered.substr(0, files.rendered.size() - 4);
        // The plain name is not taken when it is the encoded file's own (an encoder making WAV
        // files) or the name of a library file that has gone missing.
        const bool plainAllowed = files.rendered != files.encoded && !Refusal(JoinPath(m_output, files.rendered));
        if (!CreateIntermediate(m_output, stem, plainAllowed, wavName)) {
            line.result = AudioIOThread::kCantWrite;
            return true;
        }
    }
    const std::string wavPath = JoinPath(m_output, wavName);

    playList.Clear();
    playList.Add(region, 0);
    m_core.ApplyRegionSnap(region, m_editMode);
    // Each item starts from a chain at rest: no envelope, limiter gain or delayed audio of the
    // item (or playback) before it, so an export is the same wherever it runs.
    m_core.Stack()->ClearAll();
    const int32_t rate = sample->GetSampleRate();
    // The render takes one frame past the region's end: end − start + 1 frames.
    const int32_t length = static_cast<int32_t>(std::min<int64_t>(region.Length() + 1, INT32_MAX));

    std::unique_ptr<AudioFile> writer = CreateExportWriter(s.writerCode, m_output, wavName);
    if (!writer) {
        if (external) ::unlink(wavPath.c_str());
        line.result = AudioIOThread::kCantWrite;
        return true;
    }
    writer->SetTitle(region.GetTitle());
    writer->SetArtist(region.GetArtist());
    writer->SetAlbum(region.GetAlbum());
    writer->SetComment(region.GetNotes());
    writer->SetGenre(region.GetGenre());
    writer->year = region.GetYear();
    // The track is the item's place in this export, not the region's own number.
    writer->track = i + 1;
    writer->hasTags = 1;

    ExportTarget target(std::move(writer), static_cast<uint32_t>(s.channels), rate, s.bits, s.sampleEncoding, s.kbps);
    if (meter) target.Measure(meter, m_targetGain);
    const int overall = static_cast<int>(static_cast<double>(i + 1) / n * 100.0);
    if (replay && replay->Usable()) {
        if (!ReplayItem(m_core, *replay, target, rate, s.bits, overall)) {
            // The capture is unreadable and the file it began is gone: the item is rendered
            // through the whole chain instead, with its meter started afresh.
            replay->Drop();
            if (meter) StartMeter(region, s, meter->What(), *meter);
            return RenderItem(region, i, n, s, c, line, aborted, meter, nullptr);
        }
    } else {
        transport.SetPlayRange(0, length, rate);
        transport.Render(&target);
        transport.WaitUntilStopped([&] {
            ui.DualBars(overall, target.ProgressShown());
            ui.LetEventsThrough();
            if (ui.DualAborted()) target.Cancel();
        });
    }
    ui.DualBars(overall, target.ProgressShown());
    aborted = ui.DualAborted();
    line.frames = target.FramesWritten();
    line.peak = target.Peak();

    std::string report = target.Message();
    if (!report.empty()) {
        // A render that failed or was aborted leaves no file; the intermediate one was made
        // empty above even when the writer never opened it.
        if (external) ::unlink(wavPath.c_str());
    } else if (external) {
        const std::string encoded = JoinPath(m_output, files.encoded);
        if (RunEncoder(s.encoderIndex, wavPath, encoded, s.kbps, report)) m_written.Add(encoded);
        // A failed encoder leaves the WAV file for a run by hand; a later item keeps off it.
        else if (report != AudioIOThread::kCanceled) m_written.Add(wavPath);
        aborted = ui.DualAborted();
    } else {
        m_written.Add(wavPath);
    }
    line.ok = report.empty();
    if (line.ok && meter) {
        const LoudnessFigures f = meter->Figures();
        line.measured = true;
        line.integrated = f.integrated;
        line.truePeak = f.truePeak;
    }
    if (line.ok)
        report = "OK (" + ExportFormatText(s) + ", " + FormatTime(line.frames, rate) + ", " + PeakText(line.peak) + ")";
    line.result = report;
    return true;
}

const char* ExportJob::Refusal(const std::string& path) const {
    if (m_libraryFiles.Holds(path)) return kWouldOverwriteLibrary;
    if (m_written.Holds(path)) return kWouldOverwriteExport;
    return nullptr;
}

bool ExportJob::RunEncoder(int32_t index, const std::string& wav, const std::string& out, int32_t kbps,
                           std::string& report) {
    const ExtEncoderProfile profile = m_core.Encoders().At(index);
    // The encoder runs beside the main thread, which keeps the window alive meanwhile; "Abort"
    // (or the tool's Ctrl+C) ends the encoder, and the item is then reported "Canceled.".
    std::atomic<bool> done{false}, cancel{false};
    bool ok = false;
    std::string text;
    std::thread run([&] {
        ok = RunExternalEncoder(profile, wav, out, kbps, text, &cancel);
        done.store(true, std::memory_order_release);
    });
    UiPort& ui = m_core.Ui();
    while (!m_core.MainThread().WaitServing([&] { return done.load(std::memory_order_acquire); },
                                            std::chrono::milliseconds(100))) {
        ui.LetEventsThrough();
        if (ui.DualAborted()) cancel.store(true, std::memory_order_release);
    }
    run.join();
    if (!ok) report = text;
    return ok;
}

// ---- Loudness exports ---------------------------------------------------------------------
//
// The gain goes in ahead of the valve amplifier's limiter, so what the target asks for can be
// held back by the ceiling. Every item renders from a chain at rest with the dither rewound,
// so a render at one gain always gives the same audio: a measuring render (no file) predicts
// the file exactly. The loop: measure at unity, render the file at the gain that the
// measurement asks for, measure what was written; while it misses the target by more than the
// tolerance, adjust and render again, until the ceiling shows that more gain buys no more
// loudness.

namespace {

// The meter figures a loudness export needs, measured on the meter's worker thread beside the
// render's. A file is measured as it is rendered unless it is measured from the file (below);
// then the render only needs the integrated loudness.
constexpr int kWrittenWhat = kLoudnessIntegrated | kLoudnessTruePeak | kLoudnessStreaming | kLoudnessParallel;
constexpr int kRenderedWhat = kLoudnessIntegrated | kLoudnessStreaming | kLoudnessParallel;
constexpr int kFileWhat = kLoudnessIntegrated | kLoudnessTruePeak | kLoudnessStreaming | kLoudnessParallel;
// More gain than this is not asked for: a programme that needs it is silence with a little noise.
constexpr double kMaxLoudnessGainDb = 60.0;

// Where a loudness export stands after a render: the gain ahead of the limiter and the trim of
// its ceiling, both in dB.
struct LoudnessStep {
    double gainDb = 0.0;
    double trimDb = 0.0;
    double previous = -LoudnessFigures::kSilence; // the loudness the render before reached
    bool lastRaisedGainOnly = false;
};

// The next render's settings after one that measured `loudness` and `truePeak` against a
// ceiling of ceilingDb, or false when no further render can come closer: the target is met
// with the peaks below the ceiling, the programme is silent, the renders are spent, or the last
// raise of the gain bought (almost) no loudness because the limiter held it (ceilingHeld).
// Peaks between the samples above the ceiling lower the ceiling by as much, since the limiter
// itself looks at the samples only.
bool NextLoudnessStep(double target, double ceilingDb, double loudness, double truePeak, int pass, LoudnessStep& step,
                      bool& ceilingHeld) {
    ceilingHeld = false;
    if (!std::isfinite(loudness)) return false;
    const double over = std::isfinite(truePeak) ? truePeak - ceilingDb : 0.0;
    const double miss = target - loudness;
    const bool stalled = step.lastRaisedGainOnly && loudness - step.previous < 0.1;
    if (std::fabs(miss) <= ExportJob::kLoudnessTolerance && over <= 0.0) return false;
    if (pass + 1 >= ExportJob::kLoudnessPasses ||
        (miss > 0 && over <= 0.0 && (stalled || step.gainDb >= kMaxLoudnessGainDb))) {
        ceilingHeld = miss > ExportJob::kLoudnessTolerance;
        return false;
    }
    step.previous = loudness;
    step.lastRaisedGainOnly = over <= 0.0 && miss > 0;
    // A little below the ceiling, so the next render does not land on it again by a hair.
    if (over > 0.0) step.trimDb -= over + 0.05;
    step.gainDb = std::min(step.gainDb + miss, kMaxLoudnessGainDb);
    return true;
}

// The report line of a loudness export's file gets its figures once its renders are done.
void FinishLoudnessLine(ExportReportLine& line, bool ceilingHeld, double target) {
    line.ceilingHeld = ceilingHeld;
    if (!line.ok || line.result.empty() || line.result.back() != ')') return;
    if (!line.measured) {
        // A file left by an abort before it was measured.
        line.result.insert(line.result.size() - 1, ", loudness not measured");
        return;
    }
    std::string t = ", " + LoudnessText(line.integrated, "LUFS") + ", " + LoudnessText(line.truePeak, "dBTP");
    if (ceilingHeld) t += "; the ceiling holds it below " + LoudnessText(target, "LUFS");
    line.result.insert(line.result.size() - 1, t);
}

// The files whose samples differ from what was rendered by more than the rounding to 16 bits or
// more are measured from the file, as a listener's player decodes them: the lossy ones our
// readers take and 8-bit ones. Every other file is measured as it is rendered: the samples
// reach the writer already dithered, and its rounding to 16 bits moves the figures by less than
// a thousandth of a dB (the rounding error lies at -96 dBFS and below).
bool MeasuredFromFile(const ExportSettings& s) {
    if (s.encoderIndex >= 0) return false;
    switch (s.writerCode) {
    case kFormatMp3:
    case kFormatVorbis: return true;
    case kFormatWav:
    case kFormatAiff:
    case kFormatSun:
    case kFormatFlac: return s.bits < 16;
    default: return false;
    }
}

} // namespace

std::unique_ptr<RenderCapture> ExportJob::NewCapture() const {
    return m_reuseRenders ? std::make_unique<RenderCapture>() : nullptr;
}

void ExportJob::SetLoudnessGain(double db, double trimDb) {
    const float gain = static_cast<float>(std::pow(10.0, db / 20.0));
    const float trim = static_cast<float>(std::pow(10.0, trimDb / 20.0));
    CTubeAmp* valve = m_core.ValveAmp();
    // A bypassed chain runs nothing, the valve amplifier included: the targets apply the gain.
    const bool chainRuns = valve && !valve->BypassAll();
    if (valve) {
        if (chainRuns) valve->SetLoudnessGain(gain, trim);
        else valve->SetLoudnessGain(1.0f, 1.0f);
    }
    m_targetGain = chainRuns ? 1.0f : gain * trim;
}

double ExportJob::CeilingDb() const {
    const CTubeAmp* valve = m_core.ValveAmp();
    return valve && !valve->BypassAll() ? valve->CeilingDb() : 0.0;
}

bool ExportJob::StartMeter(const CRegion& region, const ExportSettings& s, int what, LoudnessMeter& meter) const {
    const CSample* sample = region.GetSample();
    std::string error;
    return sample && meter.Start(s.channels == 1 ? 1u : 2u, sample->GetSampleRate(), what, error);
}

bool ExportJob::MeasureItem(const CRegion& region, int32_t i, int32_t n, const ExportSettings& s, LoudnessMeter& meter,
                            bool& aborted, int what, RenderCapture* capture) {
    UiPort& ui = m_core.Ui();
    CTransport& transport = *m_core.Transport();
    CPlayList& playList = *m_core.PlayList();
    aborted = false;
    ui.DualText(StrFormat("Measuring loudness of %s (%d of %d)", region.GetName().c_str(), i + 1, n));
    ui.LetEventsThrough();
    if (ui.DualAborted()) return false;
    const CSample* sample = region.GetSample();
    // A region without its audio is reported when its file is rendered.
    if (!sample || !sample->FilePresent() || !StartMeter(region, s, what, meter)) return true;

    playList.Clear();
    playList.Add(region, 0);
    m_core.ApplyRegionSnap(region, m_editMode);
    m_core.Stack()->ClearAll();
    const int32_t rate = sample->GetSampleRate();
    const int32_t length = static_cast<int32_t>(std::min<int64_t>(region.Length() + 1, INT32_MAX));
    MeasureTarget target(meter, s.bits, m_targetGain);
    if (capture) m_core.Stack()->SetCapture(capture);
    transport.SetPlayRange(0, length, rate);
    transport.Render(&target);
    const int overall = static_cast<int>(static_cast<double>(i + 1) / n * 100.0);
    transport.WaitUntilStopped([&] {
        ui.DualBars(overall, target.ProgressShown());
        ui.LetEventsThrough();
        if (ui.DualAborted()) target.Cancel();
    });
    m_core.Stack()->SetCapture(nullptr);
    aborted = ui.DualAborted();
    if (capture) capture->Finish(aborted ? -1 : length);
    return true;
}

void ExportJob::MeasureWritten(const ExportSettings& s, ExportReportLine& line, LoudnessMeter& meter) {
    if (!MeasuredFromFile(s) || !line.ok) return;
    // The render's own figures are not the file's.
    line.measured = false;
    LoudnessMeter decoded;
    std::string error;
    if (!MeasureFileLoudness(JoinPath(m_output, line.file), decoded, error, nullptr, kFileWhat)) return;
    const LoudnessFigures f = decoded.Figures();
    line.measured = true;
    line.integrated = f.integrated;
    line.truePeak = f.truePeak;
    meter = std::move(decoded);
}

void ExportJob::ExportLoudness(const ExportChoice& c, const ExportSettings& s, const std::vector<CRegion*>& regions) {
    if (c.loudnessAlbum) ExportLoudnessAlbum(c, s, regions);
    else ExportLoudnessPerFile(c, s, regions);
    SetLoudnessGain(0.0);
    // The files are measured now: FLAC, Ogg Vorbis and MP3 files take ReplayGain tags of
    // their own figures and the album's (all the files of this export together).
    if (s.encoderIndex < 0 && TakesReplayGainTags(s.writerCode)) {
        for (ExportReportLine& line : m_lines) {
            if (!line.ok || !line.measured) continue;
            const ReplayGainValues v{line.integrated, line.truePeak, m_album.integrated, m_album.truePeak};
            std::string error;
            if (!WriteReplayGainTags(s.writerCode, JoinPath(m_output, line.file), v, error)) line.result += " " + error;
        }
    }
    UiPort& ui = m_core.Ui();
    for (const ExportReportLine& line : m_lines) ui.ReportAddLine(line.file, line.result);
}

void ExportJob::ExportLoudnessPerFile(const ExportChoice& c, const ExportSettings& s,
                                      const std::vector<CRegion*>& regions) {
    UiPort& ui = m_core.Ui();
    const int32_t n = static_cast<int32_t>(regions.size());
    std::vector<LoudnessMeter> written;
    for (int32_t i = 0; i < n; ++i) {
        ui.DualBars(static_cast<int>(static_cast<double>(i + 1) / n * 100.0), 0);
        const CRegion* region = regions[static_cast<size_t>(i)];
        if (!region) continue;
        bool aborted = false;
        SetLoudnessGain(0.0);
        LoudnessMeter unity;
        std::unique_ptr<RenderCapture> capture = NewCapture();
        if (!MeasureItem(*region, i, n, s, unity, aborted, kRenderedWhat, capture.get())) break;
        if (aborted) {
            // Aborted while measuring: the item is canceled before its file was begun.
            ExportReportLine line;
            const ItemFiles files = ItemFileNames(c.format, ItemName(c.baseNameIndex, c.baseName, c.startIndex, i,
                                                                     region->GetName()));
            line.file = s.encoderIndex >= 0 ? files.encoded : files.rendered;
            line.result = AudioIOThread::kCanceled;
            m_lines.push_back(line);
            break;
        }
        const double measured = unity.Figures().integrated;
        LoudnessStep step;
        step.gainDb = std::isfinite(measured) ? std::min(c.loudnessTarget - measured, kMaxLoudnessGainDb) : 0.0;
        const FileSet before = m_written;
        // The line and meter of the last render that began: its file is the one on disk.
        ExportReportLine line;
        LoudnessMeter meter;
        bool anyBegun = false, begun = true, ceiling = false;
        for (int pass = 0;; ++pass) {
            const FileSet kept = m_written;
            m_written = before;
            ExportReportLine next;
            next.gainDb = step.gainDb;
            SetLoudnessGain(step.gainDb, step.trimDb);
            LoudnessMeter nextMeter;
            StartMeter(*region, s, MeasuredFromFile(s) ? kRenderedWhat : kWrittenWhat, nextMeter);
            begun = RenderItem(*region, i, n, s, c, next, aborted, &nextMeter, capture.get());
            if (!begun) {
                // Aborted before the render began: the last pass's file stays, with its line.
                m_written = kept;
                break;
            }
            anyBegun = true;
            line = std::move(next);
            meter = std::move(nextMeter);
            if (aborted || !line.ok) break;
            MeasureWritten(s, line, meter);
            if (!NextLoudnessStep(c.loudnessTarget, CeilingDb(), line.integrated, line.truePeak, pass, step, ceiling))
                break;
        }
        if (!anyBegun) break;
        FinishLoudnessLine(line, ceiling, c.loudnessTarget);
        m_lines.push_back(line);
        if (line.ok && line.measured) written.push_back(std::move(meter));
        if (aborted || !begun) break;
    }
    std::vector<const LoudnessMeter*> all;
    for (const LoudnessMeter& m : written) all.push_back(&m);
    m_album = LoudnessMeter::Together(all);
}

void ExportJob::ExportLoudnessAlbum(const ExportChoice& c, const ExportSettings& s,
                                    const std::vector<CRegion*>& regions) {
    UiPort& ui = m_core.Ui();
    const int32_t n = static_cast<int32_t>(regions.size());
    // One measuring render of every item at unity, then the whole album at one gain.
    std::vector<LoudnessMeter> unity(static_cast<size_t>(n));
    std::vector<std::unique_ptr<RenderCapture>> captures(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
        ui.DualBars(static_cast<int>(static_cast<double>(i + 1) / n * 100.0), 0);
        const CRegion* region = regions[static_cast<size_t>(i)];
        if (!region) continue;
        bool aborted = false;
        captures[static_cast<size_t>(i)] = NewCapture();
        if (!MeasureItem(*region, i, n, s, unity[static_cast<size_t>(i)], aborted, kRenderedWhat,
                         captures[static_cast<size_t>(i)].get()) ||
            aborted)
            return;
    }
    std::vector<const LoudnessMeter*> all;
    for (const LoudnessMeter& m : unity) all.push_back(&m);
    const double measured = LoudnessMeter::Together(all).integrated;
    LoudnessStep step;
    step.gainDb = std::isfinite(measured) ? std::min(c.loudnessTarget - measured, kMaxLoudnessGainDb) : 0.0;

    // Per item, the line and meter of its last render that began: that render's file is the
    // one on disk. An abort may leave the files of an earlier pass beside those of the last.
    struct Item {
        bool rendered = false;
        ExportReportLine line;
        std::unique_ptr<LoudnessMeter> meter;
    };
    std::vector<Item> items(static_cast<size_t>(n));
    const FileSet before = m_written;
    bool ceiling = false, stopped = false;
    for (int pass = 0; !stopped; ++pass) {
        m_written = before;
        SetLoudnessGain(step.gainDb, step.trimDb);
        // The lowest ceiling of the items' snaps holds for the album.
        double ceilingDb = 0.0;
        // A file measured from the file is measured beside the next item's render, on the core
        // the render leaves free; the figures are taken in after the last item.
        struct Remeasure {
            size_t item;
            std::future<std::pair<bool, LoudnessMeter>> result;
        };
        std::vector<Remeasure> pending;
        for (int32_t i = 0; i < n; ++i) {
            ui.DualBars(static_cast<int>(static_cast<double>(i + 1) / n * 100.0), 0);
            const CRegion* region = regions[static_cast<size_t>(i)];
            if (!region) continue;
            ExportReportLine line;
            line.gainDb = step.gainDb;
            bool aborted = false;
            auto meter = std::make_unique<LoudnessMeter>();
            StartMeter(*region, s, MeasuredFromFile(s) ? kRenderedWhat : kWrittenWhat, *meter);
            if (!RenderItem(*region, i, n, s, c, line, aborted, meter.get(), captures[static_cast<size_t>(i)].get())) {
                stopped = true;
                break;
            }
            if (line.ok && MeasuredFromFile(s)) {
                line.measured = false; // until the file is measured
                const std::string path = JoinPath(m_output, line.file);
                pending.push_back({static_cast<size_t>(i), std::async(std::launch::async, [path] {
                                       std::pair<bool, LoudnessMeter> r;
                                       std::string error;
                                       r.first = MeasureFileLoudness(path, r.second, error, nullptr,
                                                                     kFileWhat & ~kLoudnessParallel);
                                       return r;
                                   })});
            }
            ceilingDb = std::min(ceilingDb, CeilingDb());
            items[static_cast<size_t>(i)] = {true, line, std::move(meter)};
            if (aborted) {
                stopped = true;
                break;
            }
        }
        // Taken in even after an abort: the files that stay get their figures.
        for (Remeasure& r : pending) {
            std::pair<bool, LoudnessMeter> got = r.result.get();
            if (!got.first) continue;
            Item& item = items[r.item];
            const LoudnessFigures f = got.second.Figures();
            item.line.measured = true;
            item.line.integrated = f.integrated;
            item.line.truePeak = f.truePeak;
            *item.meter = std::move(got.second);
        }
        all.clear();
        for (const Item& item : items)
            if (item.rendered && item.line.ok && item.line.measured) all.push_back(item.meter.get());
        m_album = LoudnessMeter::Together(all);
        if (stopped) break;
        if (!NextLoudnessStep(c.loudnessTarget, ceilingDb, m_album.integrated, m_album.truePeak, pass, step, ceiling))
            break;
    }
    m_lines.clear();
    for (Item& item : items) {
        if (!item.rendered) continue;
        FinishLoudnessLine(item.line, ceiling, c.loudnessTarget);
        m_lines.push_back(item.line);
    }
}

bool ExportJob::MeasureRegions(const std::vector<CRegion*>& regions, std::vector<LoudnessFigures>& figures,
                               std::vector<bool>& measured) {
    UiPort& ui = m_core.Ui();
    CTransport* transport = m_core.Transport();
    CPlayList* playList = m_core.PlayList();
    figures.assign(regions.size(), LoudnessFigures());
    measured.assign(regions.size(), false);
    if (!transport || !playList || !transport->IsStopped()) return false;
    // As an export: each region's snap, then the stack as the person left it.
    CParamBlock before;
    CProcessor* const processors[4] = {m_core.Equaliser(), m_core.Compressor(), m_core.StereoImager(),
                                       m_core.ValveAmp()};
    for (CProcessor* p : processors) p->StoreParameters(before);
    SetLoudnessGain(0.0);
    ui.DualOpen();
    if (m_mainTimer) m_mainTimer(false);
    ui.ReportClear();
    const ExportSettings plain; // 16-bit stereo: the dither of a CD master
    const int32_t n = static_cast<int32_t>(regions.size());
    bool aborted = false;
    for (int32_t i = 0; i < n && !aborted; ++i) {
        ui.DualBars(static_cast<int>(static_cast<double>(i + 1) / n * 100.0), 0);
        const CRegion* region = regions[static_cast<size_t>(i)];
        if (!region) continue;
        LoudnessMeter meter;
        if (!MeasureItem(*region, i, n, plain, meter, aborted, kLoudnessAll | kLoudnessStreaming | kLoudnessParallel)) {
            aborted = true;
            break;
        }
        std::string result;
        if (aborted) {
            result = AudioIOThread::kCanceled;
        } else if (!meter.Started()) {
            const CSample* sample = region->GetSample();
            result = sample && sample->FilePresent() ? kCantMeasure : kNoAudio;
        } else {
            const LoudnessFigures f = meter.Figures();
            figures[static_cast<size_t>(i)] = f;
            measured[static_cast<size_t>(i)] = true;
            result = "OK (" + LoudnessText(f.integrated, "LUFS") + ", " + LoudnessText(f.range, "LU") + ", " +
                     LoudnessText(f.truePeak, "dBTP") + ")";
        }
        ui.ReportAddLine(region->GetName(), result);
    }
    for (CProcessor* p : processors) p->ApplySnap(before);
    if (m_mainTimer) m_mainTimer(true);
    playList->Clear();
    ui.DualClose();
    return !aborted;
}

#include "core/ExportJob.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <thread>

#include "audiofile/AudioFile.h"
#include "common/MainThreadPort.h"
#include "common/TimeFormat.h"
#include "common/UiPort.h"
#include "core/CCore.h"
#include "dsp/CCompressor.h"
#include "dsp/CDSPStack.h"
#include "dsp/CParaEQ4B.h"
#include "dsp/CStereoImager.h"
#include "dsp/CTubeAmp.h"
#include "engine/AudioIOThread.h"
#include "engine/CPlayList.h"
#include "engine/CRenderTarget.h"
#include "engine/CTransport.h"
#include "export/EncoderRun.h"
#include "export/ExtEncoders.h"
#include "library/CParamBlock.h"
#include "library/CRegion.h"
#include "library/CSample.h"

namespace {

// The render target of one item: the writer, plus what the audio thread tells the main thread
// (the detail bar, the loudest sample) and what the main thread tells it (abort).
class ExportTarget : public CFileRenderTarget {
public:
    using CFileRenderTarget::CFileRenderTarget;

    bool Write(float* interleaved, int32_t frames) override {
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
};

std::string PeakText(float peak) {
    if (peak <= 0.0f) return "peak -inf dB";
    return StrFormat("peak %.1f dB", 20.0 * std::log10(static_cast<double>(peak)));
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

} // namespace

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

    ui.DualOpen();
    if (m_mainTimer) m_mainTimer(false);
    ui.ReportClear();
    const int32_t n = static_cast<int32_t>(regions.size());
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
                           ExportReportLine& line, bool& aborted) {
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

    playList.Clear();
    playList.Add(region, 0);
    m_core.ApplyRegionSnap(region, m_editMode);
    // Each item starts from a chain at rest: no envelope, limiter gain or delayed audio of the
    // item (or playback) before it, so an export is the same wherever it runs.
    m_core.Stack()->ClearAll();
    const int32_t rate = sample->GetSampleRate();
    // The render takes one frame past the region's end: end − start + 1 frames.
    const int32_t length = static_cast<int32_t>(std::min<int64_t>(region.Length() + 1, INT32_MAX));

    std::unique_ptr<AudioFile> writer = CreateExportWriter(s.writerCode, m_output, files.rendered);
    if (!writer) {
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
    transport.SetPlayRange(0, length, rate);
    transport.Render(&target);
    const int overall = static_cast<int>(static_cast<double>(i + 1) / n * 100.0);
    transport.WaitUntilStopped([&] {
        ui.DualBars(overall, target.ProgressShown());
        ui.LetEventsThrough();
        if (ui.DualAborted()) target.Cancel();
    });
    ui.DualBars(overall, target.ProgressShown());
    aborted = ui.DualAborted();
    line.frames = target.FramesWritten();
    line.peak = target.Peak();

    std::string report = target.Message();
    if (report.empty() && external)
        RunEncoder(s.encoderIndex, JoinPath(m_output, files.rendered), JoinPath(m_output, files.encoded), s.kbps,
                   report);
    line.ok = report.empty();
    if (line.ok)
        report = "OK (" + ExportFormatText(s) + ", " + FormatTime(line.frames, rate) + ", " + PeakText(line.peak) + ")";
    line.result = report;
    return true;
}

bool ExportJob::RunEncoder(int32_t index, const std::string& wav, const std::string& out, int32_t kbps,
                           std::string& report) {
    const ExtEncoderProfile profile = m_core.Encoders().At(index);
    // The encoder runs beside the main thread, which keeps the window alive meanwhile; an
    // abort lets it finish and ends the loop after it.
    std::atomic<bool> done{false};
    bool ok = false;
    std::string text;
    std::thread run([&] {
        ok = RunExternalEncoder(profile, wav, out, kbps, text);
        done.store(true, std::memory_order_release);
    });
    while (!m_core.MainThread().WaitServing([&] { return done.load(std::memory_order_acquire); },
                                            std::chrono::milliseconds(100)))
        m_core.Ui().LetEventsThrough();
    run.join();
    if (!ok) report = text;
    return ok;
}

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
#include "library/CSampleList.h"

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

// The name an external encoder's intermediate WAV file gets: "<stem>.wav" when no file of that
// name is there, else "<stem>.XXXXXX.wav" with a random part; either way created here, so no
// file that was there before (a library file, an earlier export) is ever written over, and the
// file deleted afterwards is the export's own. False when none can be made.
// plainAllowed is false when "<stem>.wav" is a name the export must not make.
bool CreateIntermediate(const std::string& folder, const std::string& stem, bool plainAllowed, std::string& name) {
    const std::string plain = stem + ".wav";
    if (plainAllowed) {
        const int fd = ::open(JoinPath(folder, plain).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            name = plain;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    std::string path = JoinPath(folder, stem + ".XXXXXX.wav");
    const int fd = ::mkstemps(path.data(), 4);
    if (fd < 0) return false;
    // mkstemps makes the file private; an export is as readable as any other file written here.
    ::fchmod(fd, 0644);
    ::close(fd);
    name = path.substr(path.size() - (stem.size() + 11));
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

#include "core/CRecorder.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "audiofile/PeakFile.h"
#include "common/UiPort.h"
#include "core/CCore.h"
#include "engine/AudioIOThread.h"
#include "engine/CSwapper.h"
#include "engine/CTransport.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "library/CSample.h"
#include "library/CSampleList.h"
#include "library/CVDisk.h"

namespace fs = std::filesystem;

namespace {

bool Digits(const std::string& text, int32_t& value) {
    // Blanks are what a masked field shows for a digit not typed.
    std::string d;
    for (char c : text) {
        if (std::isdigit(static_cast<unsigned char>(c))) d += c;
        else if (c != ' ') return false;
    }
    if (d.empty() || d.size() > 6) return false;
    value = std::stoi(d);
    return true;
}

constexpr const char* kNoVDisk = "There is no VDisk to record into.";

} // namespace

bool ParseRecordTime(const std::string& text, int32_t& seconds) {
    const size_t m = text.find("m ");
    if (text.size() < 2 || m == std::string::npos) return false;
    int32_t minutes = 0, secs = 0;
    if (!Digits(text.substr(0, 2), minutes)) return false;
    std::string rest = text.substr(m + 2);
    while (!rest.empty() && (rest.back() == 's' || rest.back() == ' ')) rest.pop_back();
    if (!Digits(rest, secs)) return false;
    seconds = minutes * 60 + secs;
    return true;
}

std::string FormatRecordTime(int32_t seconds) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02dm %02ds", std::clamp(seconds / 60, 0, 99), seconds % 60);
    return buf;
}

bool ParseRecordLevel(const std::string& text, int32_t& db) {
    std::string t = text;
    if (t.size() >= 2 && (t.compare(t.size() - 2, 2, "dB") == 0 || t.compare(t.size() - 2, 2, "db") == 0))
        t.resize(t.size() - 2);
    while (!t.empty() && t.back() == ' ') t.pop_back();
    bool negative = false;
    size_t i = 0;
    while (i < t.size() && t[i] == ' ') ++i;
    if (i < t.size() && (t[i] == '-' || t[i] == '+')) negative = t[i++] == '-';
    int32_t v = 0;
    if (!Digits(t.substr(i), v)) return false;
    db = negative ? -v : v;
    return true;
}

float LevelThreshold(int32_t db) { return static_cast<float>(std::pow(10.0, db / 20.0)); }

int64_t DepthFrameLimit(int32_t bits) { return 2000000000LL / ((2 * bits + 14) / 8); }

CRecorder::CRecorder(CCore& core, PeakBuffers& peaks) : m_core(core), m_peaks(peaks) {
    if (AudioIOThread* audio = m_core.AudioThread()) {
        // A failed input open resets both lists to their first entries before the message.
        audio->SetInputFailedHook([this] {
            m_settings.rate = kRecordRates[0];
            m_settings.bits = kRecordDepths[0];
            if (m_hooks.settingsChanged) m_hooks.settingsChanged();
        });
    }
}

CRecorder::~CRecorder() {
    if (AudioIOThread* audio = m_core.AudioThread()) audio->SetInputFailedHook({});
}

int64_t CRecorder::FramesRecorded() const {
    const CSwapper* swapper = m_core.Swapper();
    return m_open && swapper ? swapper->RecordedFrames() : 0;
}

std::string CRecorder::TakePath() const { return m_open ? (fs::path(m_folder) / m_name).string() : std::string(); }

void CRecorder::Fail(const std::string& message) {
    m_error = message;
    m_core.Ui().Notice(message, "");
}

bool CRecorder::Start(bool record) {
    CTransport* transport = m_core.Transport();
    AudioIOThread* audio = m_core.AudioThread();
    CVDisk* vdisk = m_core.Library().vdisk;
    if (!transport || !audio || !vdisk) return false;
    m_error.clear();

    // Both statistics sets, in the engine itself: the Post set still holds the last playback's
    // block, and the meters would show it through the whole recording.
    audio->Stats().Zero();
    if (m_hooks.meters) m_hooks.meters();

    // A fresh name in the VDisk (NewFileName skips names that exist).
    m_serial = vdisk->CurrentSerial();
    if (!vdisk->FolderOf(m_serial, m_folder) || !CVDisk::NewFileName(m_folder, m_name)) {
        Fail(kNoVDisk);
        return false;
    }
    m_peaks.Clear();

    const RecordSettings& s = m_settings;
    m_rate = s.rate;
    m_bits = s.bits;
    m_mode = m_core.StorageMode();
    RecordingSetup& setup = audio->Recording();
    setup.file.folder = m_folder;
    setup.file.name = m_name;
    setup.file.rate = m_rate;
    setup.file.bits = m_bits;
    setup.file.storageMode = m_mode;
    setup.file.kbps = m_core.LossyBitRate();
    setup.autoStart = s.autoStart;
    setup.threshold = LevelThreshold(s.autoStartDb);
    setup.peaks = &m_peaks;
    setup.stopBelow = m_stopBelow = s.autoStopBelow;
    m_stopBelowSeconds = s.autoStopBelowSeconds;
    setup.stopThreshold = LevelThreshold(s.autoStopBelowDb);
    setup.stopFrames = static_cast<int64_t>(s.autoStopBelowSeconds) * m_rate;
    audio->PrepareRecording();
    m_open = true;
    m_core.SetOpenTakeFile((fs::path(m_folder) / m_name).string());
    AutoStopAfterChanged();

    if (record) {
        if (m_hooks.clearViewer) m_hooks.clearViewer();
        transport->Record();
    } else {
        transport->Monitor();
    }
    return true;
}

void CRecorder::AutoStopAfterChanged() {
    if (!m_open) return;
    m_frameLimit = DepthFrameLimit(m_bits);
    if (m_settings.autoStopAfter)
        m_frameLimit = std::min<int64_t>(m_frameLimit, static_cast<int64_t>(m_settings.autoStopAfterSeconds) * m_rate);
    if (AudioIOThread* audio = m_core.AudioThread()) audio->SetRecordFrameLimit(m_frameLimit);
}

void CRecorder::RecordButton() {
    CTransport* t = m_core.Transport();
    if (!t) return;
    if (t->IsStopped()) {
        AfterStop();
        Start(true);
    } else if (t->IsMonitoring() && m_open) {
        t->Record();
    }
}

void CRecorder::MonitorButton() {
    CTransport* t = m_core.Transport();
    if (!t) return;
    if (t->IsStopped()) {
        AfterStop();
        Start(false);
    } else if (t->IsRecording() && m_open) {
        t->Monitor();
    }
}

void CRecorder::StopButton() {
    CTransport* t = m_core.Transport();
    if (!t || !m_open) return;
    if (t->IsRecording() || t->IsMonitoring()) t->Stop();
    AfterStop();
}

void CRecorder::AfterStop() {
    CTransport* t = m_core.Transport();
    if (!m_open || !t || !t->IsStopped()) return;
    m_open = false;
    // Whatever happens below, the file is settled before the next scan: a sample, or gone.
    struct Settled {
        CCore& core;
        ~Settled() { core.SetOpenTakeFile({}); }
    } settled{m_core};
    // A run whose input never opened wrote no file; the swapper's figures are then the last
    // take's, so the file itself must be there.
    std::error_code ec;
    if (m_core.Swapper()->FramesWritten() > 0 && fs::is_regular_file(fs::path(m_folder) / m_name, ec)) Finish();
}

bool CRecorder::StopDue() const {
    const int64_t f = FramesRecorded();
    if (m_settings.autoStopAfter && m_rate > 0 && f / m_rate >= m_settings.autoStopAfterSeconds) return true;
    // As the audio thread was given it at the start: it stops keeping frames by that rule.
    if (m_stopBelow) {
        const int64_t start = m_core.AudioThread()->SilenceStart();
        if (start >= 0 && (f - start) / m_rate >= m_stopBelowSeconds) return true;
    }
    return f >= m_frameLimit;
}

bool CRecorder::Tick() {
    CTransport* t = m_core.Transport();
    if (!m_open || !t) return false;
    if (t->IsStopped()) {
        // The run ended without us (a device that failed): keep what it recorded.
        const int32_t before = m_takes;
        AfterStop();
        return m_takes != before;
    }
    if (!t->IsRecording() || !StopDue()) return false;
    t->Stop();
    AfterStop();
    if (m_settings.autoRestart) Start(true);
    return true;
}

void CRecorder::Finish() {
    CSwapper& swapper = *m_core.Swapper();
    const int64_t frames = swapper.FramesWritten();
    ++m_takes;
    m_last = Take{};
    m_last.frames = frames;
    const fs::path file = fs::path(m_folder) / m_name;

    // A take shorter than the auto-delete time was a false start. A take cut short by a failed
    // write was not: it is kept, as the failure's message tells the user.
    if (m_settings.autoDelete && !swapper.RecordingWriteFailed() && frames / m_rate < m_settings.autoDeleteSeconds) {
        std::error_code ec;
        fs::remove(file, ec);
        m_last.deleted = true;
        return;
    }

    auto* sample = new CSample(m_name, "", 1, m_serial, m_rate, 2, m_bits, frames, m_mode,
                               swapper.RecordingDataBytes());
    m_core.SampleList()->Add(sample);

    std::string name = m_name;
    RecordSettings& s = m_settings;
    if (s.baseIndexNaming) {
        char index[8];
        std::snprintf(index, sizeof index, "_%03d", ((s.index % 1000) + 1000) % 1000);
        name = s.baseName + index;
        s.index = (((s.index % 1000) + 1000) % 1000 + 1) % 1000;
        if (m_hooks.settingsChanged) m_hooks.settingsChanged();
    }

    // Peaks can always be rebuilt from the audio: a failed peak file does not undo the take.
    std::string peakName;
    if (sample->PeakFileName(peakName))
        WritePeakFile(sample->PeakFileFolder(), peakName, m_peaks, PeakFramesPerEntry(m_rate));

    CRegionList& regions = *m_core.RegionList();
    auto* region = new CRegion(name, 0, frames, sample, RegionRoot, -1, regions.FolderForNew());
    region->ComputePeakStats(m_peaks.peaks.data(), static_cast<int64_t>(m_peaks.peaks.size() / 2));
    regions.Insert(region);
    m_last.kept = true;
    m_last.regionId = region->GetId();
    m_last.name = region->GetName();
    if (m_hooks.finished) m_hooks.finished(*region);
}

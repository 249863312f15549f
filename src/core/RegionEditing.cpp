#include "core/RegionEditing.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <filesystem>
#include <set>

#include "audiofile/AudioFile.h"
#include "audiofile/AudioFileFactory.h"
#include "audiofile/ImportPipeline.h"
#include "audiofile/PeakRebuild.h"
#include "common/FormatCode.h"
#include "common/MainThreadPort.h"
#include "common/TimeFormat.h"
#include "common/UiPort.h"
#include "core/CCore.h"
#include "dsp/CDSPStack.h"
#include "engine/CPlayList.h"
#include "engine/CRenderTarget.h"
#include "engine/CTransport.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "library/CSample.h"
#include "library/CSampleList.h"
#include "library/CVDisk.h"

namespace {

// The clone's render target: the writer, plus the abort flag the main thread raises while it
// waits for the render.
class CloneTarget : public CFileRenderTarget {
public:
    using CFileRenderTarget::CFileRenderTarget;
    bool Cancelled() const override { return m_cancel.load(std::memory_order_relaxed); }
    void Cancel() { m_cancel.store(true, std::memory_order_relaxed); }

private:
    std::atomic<bool> m_cancel{false};
};

void RemoveFile(const std::string& path) {
    if (path.empty()) return;
    std::error_code ec;
    std::filesystem::remove(path, ec);
}

} // namespace

RegionEditing::RegionEditing(CCore& core) : m_core(core) {}

bool RegionEditing::StopPlayback() {
    CTransport* transport = m_core.Transport();
    if (!transport) return false;
    if (transport->IsPlaying()) transport->Stop();
    return transport->IsStopped();
}

CRegion* RegionEditing::CreateFromRange(const ViewerRange& range) {
    CRegion* r = range.region;
    CRegionList* list = m_core.RegionList();
    if (!r || !list) return nullptr;
    // A range shorter than the minimum counts as none.
    if (!range.on || static_cast<int64_t>(range.end) - range.start < kMinRange) {
        m_core.Ui().Notice(kNoSelection);
        return nullptr;
    }
    const int64_t start = std::clamp<int64_t>(range.start, 0, r->Length());
    const int64_t end = std::clamp<int64_t>(range.end, start, r->Length());
    auto* region = new CRegion(r->ChildName(), r->GetStart() + start, r->GetStart() + end, r->GetSample(), 0, -1,
                               r->GetParentId());
    if (range.peaks && !range.peaks->empty())
        region->ComputePeakStats(range.peaks->data(), static_cast<int64_t>(range.peaks->size() / 2));
    else ComputeRegionPeaks(*region);
    list->Insert(region);
    region->CopySnapsFrom(*r);
    region->CopyNotesAndTags(*r);
    return region;
}

std::vector<CRegion*> RegionEditing::Duplicate(const std::vector<CRegion*>& selected) {
    std::vector<CRegion*> made;
    CRegionList* list = m_core.RegionList();
    if (!list || !StopPlayback()) return made;
    for (CRegion* s : selected) {
        if (!s || s->IsFolder()) continue;
        // No flags: a duplicate of a root region is a sub-region over the whole sample.
        auto* d = new CRegion(s->ChildName(), s->GetStart(), s->GetEnd(), s->GetSample(), 0, -1, s->GetParentId());
        ComputeRegionPeaks(*d);
        list->Insert(d);
        d->CopyFrom(*s);
        d->SetFadeInLength(s->GetFadeInLength());
        d->SetFadeOutLength(s->GetFadeOutLength());
        d->SetFadeInShape(s->GetFadeInShape());
        d->SetFadeOutShape(s->GetFadeOutShape());
        made.push_back(d);
    }
    return made;
}

void RegionEditing::ReleaseFromPlayList(const CRegion* region, const CSample* sample, DeleteResult& result) {
    CTransport* transport = m_core.Transport();
    CPlayList* playList = m_core.PlayList();
    if (!transport || !playList || transport->IsStopped()) return;
    bool used = false;
    for (int i = 0; i < playList->Count() && !used; ++i) {
        const PlayItem& item = playList->Entry(i);
        if (region && item.region == region) used = true;
        // An entry of another region can still read the sample's file.
        if (sample && item.region && item.region->GetSample() == sample) used = true;
        if (sample && item.fileName == sample->GetFileName() && item.folder == sample->FolderPath()) used = true;
    }
    if (!used) return;
    transport->Stop();
    result.transportStopped = true;
}

void RegionEditing::DestroyRegion(CRegion* region) {
    CRegionList* list = m_core.RegionList();
    list->Remove(region);
    if (m_removed) m_removed(region);
    delete region;
}

void RegionEditing::DestroySample(CSample* sample) {
    m_core.SampleList()->Remove(sample);
    if (sample->IsStored()) RemoveFile(sample->FilePath());
    std::string peakName;
    const std::string peakFolder = sample->PeakFileFolder();
    if (!peakFolder.empty() && sample->PeakFileName(peakName)) RemoveFile(peakFolder + "/" + peakName);
    delete sample;
}

RegionEditing::DeleteResult RegionEditing::Delete(const std::vector<CRegion*>& selected) {
    DeleteResult result;
    UiPort& ui = m_core.Ui();
    CRegionList* list = m_core.RegionList();
    if (!list) return result;
    std::vector<CRegion*> targets;
    for (CRegion* r : selected)
        if (r && !r->IsFolder() && std::find(targets.begin(), targets.end(), r) == targets.end()) targets.push_back(r);
    if (targets.empty()) return result;

    const bool several = targets.size() >= 2;
    if (several && !ui.Question(StrFormat(kMultipleText, static_cast<int>(targets.size())), kMultipleCaption)) {
        result.cancelled = true;
        return result;
    }
    // A root region takes its sub-regions with it; one of them may also be selected. Those are
    // gone by the time the loop reaches them and are passed over.
    std::set<const CRegion*> gone;
    for (CRegion* r : targets) {
        if (gone.count(r)) continue;
        if (!r->IsRoot()) {
            if (!several && !ui.Question(kDeleteRegion, r->GetName())) {
                result.cancelled = true;
                break;
            }
            ReleaseFromPlayList(r, nullptr, result);
            gone.insert(r);
            DestroyRegion(r);
            ++result.regionsDeleted;
            continue;
        }
        CSample* sample = r->GetSample();
        if (list->SampleUsedElsewhere(r)) {
            if (!ui.Question(kDeleteSubRegions, r->GetName())) {
                result.cancelled = true;
                break;
            }
            std::vector<CRegion*> others;
            for (int i = 0; i < list->Count(); ++i) {
                CRegion* o = list->At(i);
                if (o && o != r && !o->IsFolder() && CRegionList::SameSample(o, r)) others.push_back(o);
            }
            for (CRegion* o : others) {
                ReleaseFromPlayList(o, nullptr, result);
                gone.insert(o);
                DestroyRegion(o);
                ++result.regionsDeleted;
            }
        }
        const bool stored = sample && sample->IsStored();
        if (!ui.Question(stored ? kDeleteStoredRoot : kDeleteLinkedRoot, r->GetName(), stored)) {
            result.cancelled = true;
            break;
        }
        ReleaseFromPlayList(r, sample, result);
        if (sample) {
            DestroySample(sample);
            ++result.samplesDeleted;
        }
        // The region no longer has a sample to point to.
        r->SetSample(nullptr);
        gone.insert(r);
        DestroyRegion(r);
        ++result.regionsDeleted;
    }
    return result;
}

std::vector<CRegion*> RegionEditing::Clone(const std::vector<CRegion*>& selected, bool wet, bool& aborted) {
    aborted = false;
    std::vector<CRegion*> made;
    if (!m_core.RegionList() || !m_core.SampleList() || !StopPlayback()) return made;
    UiPort& ui = m_core.Ui();
    ui.ProgressOpen(true);
    std::vector<CRegion*> sources;
    for (CRegion* r : selected)
        if (r && !r->IsFolder()) sources.push_back(r);
    const int n = static_cast<int>(sources.size());
    for (int i = 0; i < n; ++i) {
        CRegion& r = *sources[static_cast<size_t>(i)];
        ui.ProgressText(StrFormat("Rendering %s (%d/%d)", r.GetName().substr(0, 32).c_str(), i + 1, n));
        ui.ProgressBar((i * 100 + 100) / n);
        ui.LetEventsThrough();
        if (ui.ProgressAborted()) {
            aborted = true;
            break;
        }
        if (CRegion* c = CloneOne(r, wet, i, n, aborted)) made.push_back(c);
        if (aborted) break;
    }
    ui.ProgressClose();
    return made;
}

CRegion* RegionEditing::CloneOne(CRegion& r, bool wet, int, int, bool& aborted) {
    UiPort& ui = m_core.Ui();
    CSample* source = r.GetSample();
    CTransport& transport = *m_core.Transport();
    CPlayList& playList = *m_core.PlayList();
    // The engine plays a missing file as silence; a silent clone reported as made would stand
    // in the library for audio that is not there.
    if (!source || !source->FilePresent()) {
        ui.Notice(kNoAudio);
        return nullptr;
    }

    // The format: the storage mode when it is KX64 or Ogg Vorbis, else WAV.
    const int32_t mode = m_core.StorageMode() == kFormatKX64 || m_core.StorageMode() == kFormatVorbis
                             ? m_core.StorageMode()
                             : kFormatWav;
    const int32_t bits = StorageBits(mode, source->GetBits());
    const uint32_t channels = static_cast<uint32_t>(std::max(1, std::min(2, source->GetChannels())));
    const int32_t rate = source->GetSampleRate();

    // A free name in the VDisk.
    CVDisk& vdisk = CVDisk::Table();
    const int32_t serial = vdisk.CurrentSerial();
    std::string folder, fileName;
    if (!vdisk.FolderOf(serial, folder) || !CVDisk::NewFileName(folder, fileName)) {
        ui.Notice("Can't open output file");
        return nullptr;
    }
    std::unique_ptr<AudioFile> writer = MakeStorageWriter(mode, folder, fileName);
    AudioFile* file = writer.get();

    // Main timer off, the region alone on the play list, its snap or a dry pass.
    if (m_mainTimer) m_mainTimer(false);
    playList.Clear();
    playList.Add(r, 0);
    CDSPStack* stack = m_core.Stack();
    if (wet) m_core.ApplyRegionSnap(r, false);
    stack->SetDryClone(!wet);
    // A render starts from a chain at rest, as an export does: the clone is the same whenever
    // it is made.
    stack->ClearAll();

    // The render: the region's frames, with its fades.
    const int32_t length = static_cast<int32_t>(std::min<int64_t>(r.Length(), INT32_MAX));
    CloneTarget target(std::move(writer), channels, rate, bits, kSampleInt, m_core.LossyBitRate());
    transport.SetPlayRange(0, length, rate);
    const bool loop = transport.GetLoop();
    transport.SetLoop(false);
    transport.Render(&target);
    // The window stays responsive while the render runs; an "Abort" reaches the render through
    // its target.
    do {
        ui.LetEventsThrough();
        if (ui.ProgressAborted()) target.Cancel();
    } while (!m_core.MainThread().WaitServing([&] { return transport.IsStopped(); }, std::chrono::milliseconds(100)));
    stack->SetDryClone(false);
    transport.SetLoop(loop);
    if (m_mainTimer) m_mainTimer(true);
    playList.Clear();

    // An aborted or failed render has removed what it wrote.
    if (ui.ProgressAborted() || target.Cancelled()) {
        aborted = true;
        file->Delete();
        return nullptr;
    }
    if (!target.Message().empty() || target.FramesWritten() != length) {
        const std::string why = !file->ErrorText().empty() ? file->ErrorText() : target.Message();
        file->Delete();
        ui.Notice(why.empty() ? "Can't write file (disk full?)." : why);
        return nullptr;
    }

    // The sample, its root region, its peak file.
    std::error_code ec;
    const auto size = std::filesystem::file_size(std::filesystem::path(folder) / fileName, ec);
    const int64_t fileSize = ec ? file->dataBytes : static_cast<int64_t>(size);
    auto* sample = new CSample(fileName, "", 1, serial, rate, static_cast<int32_t>(channels), bits,
                               target.FramesWritten(), mode, mode == kFormatWav ? file->dataBytes : fileSize);
    const int32_t folderId = m_core.RegionList()->FolderForNew();
    auto* clone = new CRegion(StrFormat(wet ? "%s-Wet" : "%s-Dry", r.GetName().c_str()), 0, target.FramesWritten(),
                              sample, RegionRoot, -1, folderId);
    ui.ProgressText(StrFormat("Separating %s (Step %d of %d)", r.GetName().c_str(), 2, 2));
    PeakTarget peaks;
    peaks.peakFolder = sample->PeakFileFolder();
    peaks.displayName = r.GetName();
    peaks.rate = rate;
    peaks.frames = sample->GetFrameCount();
    bool cancelled = false;
    if (sample->PeakFileName(peaks.peakName) && !peaks.peakFolder.empty()) {
        std::string error;
        if (std::unique_ptr<AudioFile> reader = MakeAudioFile(mode, folder, fileName, error)) {
            PeakBuffers buffers;
            RebuildPeaks(*reader, peaks, &ui, false, cancelled, buffers);
        }
    }
    ComputeRegionPeaks(*clone);

    // Into the lists, with what a clone keeps of its source.
    m_core.SampleList()->Add(sample);
    // Notes, tags, markers, the range history with the current range and the snaps after
    // "Flat"; the wet clone already holds its snap's sound, so it keeps "Flat" alone.
    clone->CopyFrom(r);
    if (wet) clone->Snaps().Reset();
    m_core.RegionList()->Insert(clone);
    return clone;
}

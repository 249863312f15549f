#include "audiofile/PeakRebuild.h"

#include "common/TimeFormat.h"
#include "common/UiPort.h"
#include "library/CRegion.h"
#include "library/CVDisk.h"
#include "library/CSample.h"

namespace {
constexpr int32_t kRebuildBlock = 4096;
} // namespace

bool RebuildPeaks(AudioFile& file, const PeakTarget& target, UiPort* ui, bool showProgress, bool& cancelled,
                  PeakBuffers& buffers) {
    cancelled = false;
    if (!file.OpenRead()) {
        file.Close();
        return false;
    }
    const bool progress = showProgress && ui != nullptr;
    if (progress) {
        ui->ProgressOpen(true);
        ui->ProgressText(StrFormat("Building %s", target.displayName.c_str()));
    }
    PeakFile old(target.peakFolder, target.peakName);
    old.Delete();
    buffers.Clear();
    const int32_t perEntry = PeakFramesPerEntry(target.rate);
    const int32_t perLevel = LevelFramesPerBlock(target.rate);

    std::vector<float> block(static_cast<size_t>(kRebuildBlock) * 2);
    const int64_t totalBlocks = target.frames / kRebuildBlock + 1;
    int64_t done = 0;
    int64_t blocks = 0;
    while (done < target.frames) {
        const int32_t got = file.ReadFloat(block.data(), kRebuildBlock);
        if (got == 0) break;
        // Only the frames really read: the zero-filled tail of the last block is not audio.
        BuildPeaks(block.data(), got, buffers, perEntry, perLevel);
        done += got;
        ++blocks;
        // The window stays responsive even when no progress is shown.
        if (ui != nullptr) ui->LetEventsThrough();
        if (progress) {
            ui->ProgressBar(static_cast<int>(blocks * 100 / totalBlocks));
            if (ui->ProgressAborted()) {
                cancelled = true;
                break;
            }
        }
    }
    bool ok = false;
    if (!cancelled) ok = WritePeakFile(target.peakFolder, target.peakName, buffers, perEntry);
    file.Close();
    if (progress) ui->ProgressClose();
    return ok;
}

bool RebuildPeakFile(AudioFile& file, const CSample& sample, UiPort* ui, bool showProgress, bool& cancelled,
                     PeakBuffers& buffers) {
    cancelled = false;
    PeakTarget target;
    if (!sample.PeakFileName(target.peakName)) return false;
    target.peakFolder = sample.PeakFileFolder();
    target.displayName = sample.GetFileName();
    target.rate = sample.GetSampleRate();
    target.frames = sample.GetFrameCount();
    return RebuildPeaks(file, target, ui, showProgress, cancelled, buffers);
}

bool ReadSamplePeakPairs(const CSample& sample, std::vector<uint16_t>& pairs) {
    std::string name;
    if (!sample.PeakFileName(name)) return false;
    return ReadPeakPairs(sample.PeakFileFolder(), name, pairs);
}

bool ReadSamplePeakPairsIn(const CSample& sample, const CVDisk& vdisk, std::vector<uint16_t>& pairs) {
    std::string name, folder;
    if (!sample.PeakFileName(name) || !vdisk.FolderOf(sample.GetVDiskSerial(), folder)) return false;
    return ReadPeakPairs(folder, name, pairs);
}

bool ComputeRegionPeaks(CRegion& region) {
    const CSample* sample = region.GetSample();
    std::vector<uint16_t> pairs;
    if (sample == nullptr || !ReadSamplePeakPairs(*sample, pairs)) {
        region.ComputePeakStats(nullptr, 0);
        return false;
    }
    region.ComputePeakStats(pairs.data(), static_cast<int64_t>(pairs.size() / 2));
    return true;
}

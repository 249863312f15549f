#include "core/CDImportJob.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include "audiofile/AudioFile.h"
#include "audiofile/ImportPipeline.h"
#include "audiofile/PeakFile.h"
#include "cdimport/CCDRip.h"
#include "common/FixedText.h"
#include "common/FormatCode.h"
#include "common/TimeFormat.h"
#include "common/UiPort.h"
#include "core/CCore.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "library/CSample.h"
#include "library/CSampleList.h"
#include "library/CVDisk.h"

CCDImportJob::CCDImportJob(CCore& core, PeakBuffers& peaks) : m_core(core), m_peaks(peaks) {}

CCDImportJob::Result CCDImportJob::Run(const std::vector<int>& checked) {
    Result result;
    CCDRip* rip = m_core.CDRip();
    CSampleList* samples = m_core.SampleList();
    CRegionList* regions = m_core.RegionList();
    if (rip == nullptr || samples == nullptr || regions == nullptr) return result;
    UiPort& ui = m_core.Ui();

    // The table again: the disc may have changed since the list was shown.
    const int count = rip->ReadTOC();
    std::vector<int> tracks;
    for (int t : checked)
        if (t >= 0 && t < count) tracks.push_back(t);
    std::sort(tracks.begin(), tracks.end());
    tracks.erase(std::unique(tracks.begin(), tracks.end()), tracks.end());
    rip->ClearSelectedTracks();
    for (int t : tracks) rip->AddSelectedTrack(t);

    ui.DualOpen();
    ui.ReportClear();
    if (m_hooks.clearBrowserSelection) m_hooks.clearBrowserSelection();
    const int mode = m_core.StorageMode() == kFormatKX64 || m_core.StorageMode() == kFormatVorbis ? m_core.StorageMode()
                                                                                                  : kFormatWav;
    const int32_t kbps = m_core.LossyBitRate();
    CVDisk& vdisk = CVDisk::Table();
    const int m = static_cast<int>(tracks.size());
    for (int k = 0; k < m; ++k) {
        const int i = tracks[static_cast<size_t>(k)];
        const int overall = (k * 100 + 100) / m;
        ui.DualText(StrFormat("Importing track %d of %d", k + 1, m));
        ui.DualBars(overall, 0);
        const std::string trackLabel = StrFormat("Track %02d", i + 1);

        // A free name in the VDisk and the writer of the storage mode.
        const int32_t serial = vdisk.CurrentSerial();
        std::string folder, name;
        if (!vdisk.FolderOf(serial, folder) || !CVDisk::NewFileName(folder, name)) {
            ui.ReportAddLine(trackLabel, "Can't open output file");
            ++result.failed;
            continue;
        }
        std::unique_ptr<AudioFile> writer = MakeStorageWriter(mode, folder, name);
        bool aborted = false, writeFailed = false;
        const int64_t bytes = rip->ReadTrack(i, *writer, kbps, m_peaks, &ui, overall, aborted, writeFailed);
        if (aborted) {
            // The track being read leaves nothing; those before it stay.
            writer->Delete();
            ui.ReportAddLine(trackLabel, "Import aborted.");
            result.aborted = true;
            break;
        }
        if (writeFailed || bytes <= 0) {
            // A failed item leaves no file the library could later take for a sample.
            std::string message = writer->ErrorText();
            if (message.empty())
                message = !writeFailed ? "Can't read track."
                          : bytes > 0  ? "Can't write file (disk full?)."
                                       : "Can't open output file";
            writer->Delete();
            ui.ReportAddLine(trackLabel, message);
            ++result.failed;
            continue;
        }

        // The sample, as every stored file of the VDisk.
        std::error_code ec;
        const auto fileSize = std::filesystem::file_size(std::filesystem::path(folder) / name, ec);
        const int64_t frames = bytes / 4;
        auto* sample = new CSample(name, "", 1, serial, 44100, 2, 16, frames, mode,
                                   ec ? writer->dataBytes : static_cast<int64_t>(fileSize));
        samples->Add(sample);
        std::string peakName;
        if (sample->PeakFileName(peakName))
            WritePeakFile(sample->PeakFileFolder(), peakName, m_peaks, PeakFramesPerEntry(44100));

        // The root region, named and tagged from the disc information the writer was given.
        const std::string title = writer->hasTags ? GetFixedText(writer->title) : std::string();
        const std::string regionName = title.empty() ? trackLabel : StrFormat("%02d-%s", i + 1, title.c_str());
        const int32_t folderId = regions->FolderForNew();
        auto* region = new CRegion(regionName, 0, frames, sample, RegionRoot, -1, folderId);
        if (!title.empty()) {
            region->SetTitle(title);
            region->SetArtist(GetFixedText(writer->artist));
            region->SetAlbum(GetFixedText(writer->album));
            region->SetNotes(GetFixedText(writer->comment));
            region->SetYear(writer->year);
            region->SetGenre(GetFixedText(writer->genre));
            region->SetTrack(writer->track);
        }
        region->ComputePeakStats(m_peaks.peaks.data(), static_cast<int64_t>(m_peaks.peaks.size() / 2));
        regions->Insert(region);
        regions->SetSelectedFolder(folderId);
        if (m_hooks.selectFolder) m_hooks.selectFolder(folderId);
        if (m_hooks.addToBrowser) m_hooks.addToBrowser(*region);
        result.regions.push_back(region);
        ++result.imported;
        ui.ReportAddLine(regionName, "OK");
    }
    if (m_hooks.redrawTapes) m_hooks.redrawTapes();
    ui.DualClose();
    return result;
}

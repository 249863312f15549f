#include "core/FoundScan.h"

#include "audiofile/AudioFileFactory.h"
#include "audiofile/ImportPipeline.h"
#include "common/FormatCode.h"
#include "core/CCore.h"
#include "engine/CTransport.h"
#include "library/CFolderOps.h"
#include "library/CRegionList.h"
#include "library/CVDisk.h"

bool ReaderOpens(const std::string& path) {
    std::string folder, name, error;
    SplitAudioPath(path, folder, name);
    const int32_t code = ProbeAudioFile(folder, name, error);
    if (code < 0) return false;
    if (code == kFormatRaw) return true;
    return OpenAudioFileRead(code, folder, name, nullptr, error) != nullptr;
}

FoundScanResult RunFoundScan(CCore& core, CImporter& importer) {
    FoundScanResult result;
    CRegionList* list = core.RegionList();
    const DbLibrary lib = core.Library();
    if (!list || !lib.vdisk || importer.Busy()) return result;
    if (const CTransport* transport = core.Transport(); transport && !transport->IsStopped()) return result;
    if (!core.OpenTakeFile().empty()) return result;
    std::string folder;
    if (!lib.vdisk->FolderOf(lib.vdisk->CurrentSerial(), folder)) return result;
    result.ran = true;
    const std::vector<std::string> files = CFolderOps::ScanUnclaimed(*list, folder, ReaderOpens);
    // Each file stays where it lies and becomes a stored sample whose root region is marked
    // Found (the import's link in place); the scan's own progress window shows the files.
    result.recovered = CFolderOps::RecoverFound(
        files, folder, core.Ui(),
        [&](const std::string& path, std::string& message) {
            std::string dir, name;
            SplitAudioPath(path, dir, name);
            bool cancelled = false;
            return importer.Link(dir, name, message, kProgressSecondBar, cancelled, true);
        },
        &result.lines);
    return result;
}

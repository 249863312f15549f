// sonquil-cli [--library DIR] recover [--vdisk FOLDER]
// The scan of the "Found" folder from the command line: every audio file of the library's VDisk
// that no sample claims comes back as a stored sample whose root region is marked Found, one
// report line per file on stdout ("<file>\tOK" or "<file>\t<message>"), and the library is saved.
// When the library has no database (it was lost), --vdisk names the folder that holds the VDisk
// (or the VDisk folder itself): a new library is made around it, and every take comes back.
#include <cstdio>
#include <filesystem>

#include "audiofile/ImportPipeline.h"
#include "cli/Commands.h"
#include "cli/LibrarySession.h"
#include "core/FoundScan.h"
#include "library/CPrefs.h"
#include "library/CVDisk.h"

namespace fs = std::filesystem;

int RecoverCommand(const Args& args) {
    Options o;
    std::string error;
    if (!ParseOptions(args, {"vdisk"}, {}, o, error)) return Fail(error);
    if (!o.positional.empty()) return Fail("usage: recover [--vdisk FOLDER]");
    std::error_code ec;
    const fs::path base = LibraryFolder();
    if (o.Has("vdisk") && !fs::is_regular_file(base / "AudioDB" / "audiodb.adb", ec)) {
        const fs::path vdisk = fs::absolute(o.values["vdisk"], ec).lexically_normal();
        if (!fs::is_directory(vdisk, ec)) return Fail("no folder " + vdisk.string());
        if (!CreateLibrary(base, vdisk.string(), error)) return Fail(error);
    }

    LibrarySession session;
    if (!session.Open(error, false)) return Fail(error);
    CCore& core = session.Core();
    PeakBuffers peaks;
    CImporter importer(*core.SampleList(), *core.RegionList(), *core.Library().vdisk, peaks, &session.Ui());
    importer.SetSettings(ImportSettingsFromPrefs(*core.Prefs()));
    const FoundScanResult scan = RunFoundScan(core, importer);
    if (!scan.ran) return Fail("the library has no VDisk folder to scan");
    int failed = 0;
    for (const auto& [file, result] : scan.lines) {
        std::printf("%s\t%s\n", file.c_str(), result.c_str());
        failed += result == "OK" ? 0 : 1;
    }
    std::fflush(stdout);
    if (!session.SaveAndClose()) return Fail("the library could not be saved");
    return failed == 0 ? 0 : 1;
}

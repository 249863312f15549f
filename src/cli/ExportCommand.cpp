// sonquil-cli [--library DIR] export [REGION-ID...] [--folder ID] --format FORMAT --to FOLDER
//             [--subfolder S] [--naming region|base:NAME:START] [--bits 16|24|32|32f]
//             [--order le|be] [--mono] [--kbps N] [--loudness LUFS [--album]]
// The window's export on regions of the library: each rendered wet through the chain with its
// own snap, dithered to the depth, written in the format (wav, aiff, raw, snd, mp3, ogg, flac,
// aac, wma, or the name of an external encoder profile of "Encoders.dat"), named and tagged
// as the export form would. --subfolder S is the form's "SubFolder" box: the files go into a
// folder named S (path characters made underscores) inside FOLDER, made when absent. --folder
// adds the regions lying directly in that folder, in list order, after the ones given by id.
// --loudness brings each file to the target integrated loudness (with --album, all of them
// together by one gain, so they keep their relative levels), as the form's "Loudness" does.
// One report line per file on stdout ("file<TAB>result");
// the exit status is non-zero when any file failed. Ctrl+C aborts as the window's "Abort".
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/ExportCommands.h"
#include "cli/LibrarySession.h"
#include "cli/TerminalUiPort.h"
#include "common/FolderId.h"
#include "core/ExportJob.h"
#include "export/ExtEncoders.h"
#include "export/TagBatch.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"

namespace {

const char* const kUsage = "usage: export [REGION-ID...] [--folder ID] --format FORMAT --to FOLDER [--subfolder S] "
                           "[--naming region|base:NAME:START] [--bits 16|24|32|32f] [--order le|be] [--mono] "
                           "[--kbps N] [--loudness LUFS [--album]]";

struct FormatName {
    const char* option;
    const char* caption;
};
const FormatName kFormats[] = {{"wav", "WAV"}, {"aiff", "AIFF"}, {"raw", "RAW"}, {"snd", "SUN"}, {"mp3", "MP3"},
                               {"ogg", "OGG"}, {"flac", "FLAC"}, {"aac", "AAC"}, {"wma", "WMA"}};

// The entry of the format list the option names: a built-in format by its option name, else an
// external encoder profile by its name (case ignored).
bool FindFormat(const std::vector<ExportFormatEntry>& list, const std::string& name, ExportFormatEntry& out,
                std::string& error) {
    std::string caption;
    for (const FormatName& f : kFormats)
        if (name == f.option) caption = f.caption;
    for (const ExportFormatEntry& e : list) {
        const bool match = caption.empty() ? e.encoderIndex >= 0 && strcasecmp(e.caption.c_str(), name.c_str()) == 0
                                           : e.encoderIndex < 0 && e.caption == caption;
        if (match) {
            out = e;
            return true;
        }
    }
    error = caption.empty() ? "no format or external encoder named " + name
                            : "the format " + name + " is not available in this build";
    return false;
}

// "region" or "base:NAME:START" (START 1..999, as the form's spin box).
bool ParseNaming(const std::string& s, ExportChoice& c, std::string& error) {
    if (s == "region") {
        c.baseNameIndex = false;
        return true;
    }
    const size_t last = s.rfind(':');
    if (s.compare(0, 5, "base:") == 0 && last != std::string::npos && last >= 5) {
        const std::string number = s.substr(last + 1);
        char* end = nullptr;
        const long start = std::strtol(number.c_str(), &end, 10);
        if (!number.empty() && *end == '\0' && start >= 1 && start <= 999) {
            c.baseNameIndex = true;
            c.baseName = s.substr(5, last - 5);
            c.startIndex = static_cast<int32_t>(start);
            return true;
        }
    }
    error = "bad --naming " + s + " (region, or base:NAME:START with START 1 to 999)";
    return false;
}

// The depth box entry of --bits and --order for the format.
bool DepthIndex(const Options& o, const ExportFormatEntry& e, const FormatBoxes& boxes, int32_t& index,
                std::string& error) {
    index = 0;
    if (o.Has("order") && e.writerCode != kFormatRaw) {
        error = "--order is for raw files only";
        return false;
    }
    if (!o.Has("bits") && !o.Has("order")) return true;
    if (boxes.depths.empty()) {
        error = e.caption + " takes no --bits";
        return false;
    }
    const std::string bits = o.Has("bits") ? o.values.at("bits") : "16";
    if (bits == "16") index = 0;
    else if (bits == "24") index = 1;
    else if (bits == "32") index = 2;
    else if (bits == "32f") index = 3;
    else {
        error = "--bits must be 16, 24, 32 or 32f";
        return false;
    }
    if (o.Has("order")) {
        const std::string& order = o.values.at("order");
        if (order != "le" && order != "be") {
            error = "--order must be le or be";
            return false;
        }
        if (order == "be") index += 4;
    }
    if (index >= static_cast<int32_t>(boxes.depths.size())) {
        error = e.caption + " takes no " + (bits == "32f" ? std::string("32-bit float") : bits + "-bit integer") +
                " depth";
        return false;
    }
    return true;
}

} // namespace

int ExportCommand(const Args& args) {
    Options o;
    std::string error;
    if (!ParseOptions(args, {"folder", "format", "to", "subfolder", "naming", "bits", "order", "kbps", "loudness"},
                      {"mono", "album"}, o, error))
        return Fail(error);
    if (!o.Has("format") || !o.Has("to") || (o.positional.empty() && !o.Has("folder"))) return Fail(kUsage);
    std::vector<int32_t> ids;
    for (const std::string& p : o.positional) {
        char* end = nullptr;
        const long id = std::strtol(p.c_str(), &end, 10);
        if (p.empty() || *end != '\0' || id < 0 || id > 0x7FFFFFFF) return Fail("bad region id " + p);
        ids.push_back(static_cast<int32_t>(id));
    }
    int folder = 0, kbps = 128;
    if (!IntOption(o, "folder", 0, 0x7FFFFFFF, folder, error) || !IntOption(o, "kbps", 1, 100000, kbps, error))
        return Fail(error);
    ExportChoice choice;
    choice.folder = o.values.at("to");
    if (o.Has("subfolder")) choice.subfolder = o.values.at("subfolder");
    if (o.Has("naming") && !ParseNaming(o.values.at("naming"), choice, error)) return Fail(error);
    if (o.Has("loudness")) {
        const std::string& text = o.values.at("loudness");
        char* end = nullptr;
        const double target = std::strtod(text.c_str(), &end);
        if (text.empty() || *end != '\0' || !(target >= kLoudnessTargetMin && target <= kLoudnessTargetMax))
            return Fail("bad --loudness " + text + " (a target in LUFS from -70 to 0)");
        choice.loudness = true;
        choice.loudnessTarget = target;
        choice.loudnessAlbum = o.flags.count("album") != 0;
    } else if (o.flags.count("album")) {
        return Fail("--album needs --loudness LUFS");
    }
    std::error_code ec;
    if (!std::filesystem::is_directory(choice.folder, ec)) return Fail("no folder " + choice.folder);

    LibrarySession session;
    if (!session.Open(error, false)) return Fail(error);
    CCore& core = session.Core();
    if (!FindFormat(BuildExportFormatList(&core.Encoders()), o.values.at("format"), choice.format, error))
        return Fail(error);
    const FormatBoxes boxes = BoxesFor(choice.format, &core.Encoders());
    if (!DepthIndex(o, choice.format, boxes, choice.depthIndex, error)) return Fail(error);
    if (o.flags.count("mono") && !boxes.channelBox) return Fail(choice.format.caption + " takes no --mono");
    choice.mono = o.flags.count("mono") != 0;
    if (o.Has("kbps") && boxes.bitRates.empty()) return Fail(choice.format.caption + " takes no --kbps");
    choice.kbps = kbps;
    ExportSettings settings;
    if (!DeriveExportSettings(choice, &core.Encoders(), settings, error)) return Fail(error);

    std::vector<CRegion*> regions;
    for (int32_t id : ids) {
        CRegion* r = FindRegionById(*core.RegionList(), id);
        if (!r) return Fail("no region with id " + std::to_string(id));
        regions.push_back(r);
    }
    if (o.Has("folder")) {
        if (folder != FolderId::User && !core.RegionList()->FolderById(folder))
            return Fail("no folder with id " + std::to_string(folder));
        core.RegionList()->ForEach([&](CRegion* r) {
            if (!r->IsFolder() && r->GetParentId() == folder) regions.push_back(r);
        });
        if (regions.empty()) return Fail("no regions in folder " + std::to_string(folder));
    }

    // The folder's messages as one line of the tool's own (the job would show them as notices).
    std::string output;
    if (!PrepareOutputFolder(choice.folder, choice.subfolder, output, error)) return Fail(error);

    ExportJob job(core);
    if (!job.MayStart(kExportFromBrowser, regions.size())) return Fail(ExportJob::kNoSelection);
    // The terminal's notices carry the job's messages; the command's own line says it failed.
    bool showReport = true;
    bool exported = false;
    {
        // Ctrl+C stops the export as the window's "Abort" does: the item in work is canceled
        // and leaves no file, its external encoder is ended, and the report is still written.
        InterruptAsAbort interrupts;
        exported = job.Export(choice, regions, showReport);
    }
    if (!exported) return Fail("nothing was exported");
    int failed = 0;
    for (const ExportReportLine& line : job.Lines())
        if (!line.ok) ++failed;
    if (std::fflush(stdout) != 0) return Fail("write error on the output");
    if (job.Lines().size() < regions.size() || InterruptAsAbort::Interrupted()) return Fail("the export was aborted");
    if (failed > 0) return Fail(std::to_string(failed) + " of " + std::to_string(regions.size()) + " files failed");
    return 0;
}

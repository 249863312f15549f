// sonquil-cli import [--link] [--storage wav|kx64|ogg-hq|ogg-sp|ogg-lp]
//                    [--on-import transcode|clone] [--raw BITS,RATE,CHANNELS,le|be[,float]]
//                    [--vdisk FOLDER] FILE...
// The window's import (or link) of files into the library: one report line per file on stdout,
// "<file>\tOK" or "<file>\t<message>"; progress on stderr. --storage and --on-import change the
// stored preferences as the "Audio Storage" menu does. --vdisk makes the library's VDisk there
// when the library does not exist yet (the window would ask for the place).
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "audiofile/ImportPipeline.h"
#include "cli/Commands.h"
#include "cli/LibrarySession.h"
#include "library/CPrefs.h"
#include "library/CVDisk.h"

namespace fs = std::filesystem;

namespace {

// The raw format from --raw: the same choice the "Raw File Type" dialog gives.
class OptionRawChooser : public RawFormatChooser {
public:
    explicit OptionRawChooser(const RawFileType& f) : m_format(f) {}
    bool ChooseRawFormat(const std::string&, RawFileType& format) override {
        format = m_format;
        return true;
    }

private:
    RawFileType m_format;
};

bool ParseRaw(const std::string& text, RawFileType& out, std::string& error) {
    std::vector<std::string> parts;
    std::stringstream ss(text);
    for (std::string p; std::getline(ss, p, ',');) parts.push_back(p);
    error = "--raw wants BITS,RATE,CHANNELS,le|be[,float] (bits 16, 24 or 32; float only with 32)";
    if (parts.size() != 4 && parts.size() != 5) return false;
    if (parts.size() == 5 && parts[4] != "float") return false;
    const bool isFloat = parts.size() == 5;
    try {
        out.bits = std::stoi(parts[0]);
        out.rate = std::stoi(parts[1]);
        const int ch = std::stoi(parts[2]);
        if (ch != 1 && ch != 2) return false;
        out.channels = static_cast<uint32_t>(ch);
    } catch (...) {
        return false;
    }
    if (out.bits != 16 && out.bits != 24 && out.bits != 32) return false;
    if (isFloat && out.bits != 32) return false;
    if (out.rate <= 0) return false;
    if (parts[3] == "le") out.sampleType = isFloat ? kRawFloatLE : kRawIntLE;
    else if (parts[3] == "be") out.sampleType = isFloat ? kRawFloatBE : kRawIntBE;
    else return false;
    error.clear();
    return true;
}

} // namespace

int ImportCommand(const Args& args) {
    Options o;
    std::string error;
    if (!ParseOptions(args, {"storage", "on-import", "raw", "vdisk"}, {"link"}, o, error)) return Fail(error);
    if (o.positional.empty())
        return Fail("usage: import [--link] [--storage MODE] [--on-import transcode|clone] "
                    "[--raw BITS,RATE,CHANNELS,le|be[,float]] [--vdisk FOLDER] FILE...");
    RawFileType raw;
    const bool haveRaw = o.Has("raw");
    if (haveRaw && !ParseRaw(o.values["raw"], raw, error)) return Fail(error);
    ImportSettings asked;
    int storageChoice = -1;
    if (o.Has("storage")) {
        const std::string& m = o.values["storage"];
        if (m == "wav") storageChoice = 0;
        else if (m == "kx64") storageChoice = 1;
        else if (m == "ogg-hq") storageChoice = 2;
        else if (m == "ogg-sp") storageChoice = 3;
        else if (m == "ogg-lp") storageChoice = 4;
        else return Fail("--storage is one of wav, kx64, ogg-hq, ogg-sp, ogg-lp");
    }
    int onImport = -1;
    if (o.Has("on-import")) {
        const std::string& m = o.values["on-import"];
        if (m == "transcode") onImport = 1;
        else if (m == "clone") onImport = 0;
        else return Fail("--on-import is transcode or clone");
    }

    std::error_code ec;
    const fs::path base = LibraryFolder();
    if (o.Has("vdisk") && !fs::is_regular_file(base / "AudioDB" / "audiodb.adb", ec)) {
        if (!CreateLibrary(base, o.values["vdisk"], error)) return Fail(error);
    }

    LibrarySession session;
    if (!session.Open(error)) return Fail(error);
    CCore& core = session.Core();
    CPrefs& prefs = *core.Prefs();
    if (storageChoice >= 0) prefs.SetInt(101, storageChoice);
    if (onImport >= 0) prefs.SetByte(100, static_cast<uint8_t>(onImport));
    const ImportSettings settings = ImportSettingsFromPrefs(prefs);
    core.SetStorageMode(settings.storageMode, settings.bitRate);

    PeakBuffers peaks;
    CImporter importer(*core.SampleList(), *core.RegionList(), *core.Library().vdisk, peaks, &session.Ui());
    importer.SetSettings(settings);
    OptionRawChooser chooser(raw);
    if (haveRaw) importer.SetRawChooser(&chooser);

    std::vector<std::string> paths;
    for (const std::string& f : o.positional) paths.push_back(fs::absolute(f, ec).lexically_normal().string());
    bool showReport = true;
    const CImporter::LoopResult result = importer.RunFileLoop(paths, o.flags["link"], showReport);
    if (!session.SaveAndClose()) return Fail("the library could not be saved");
    if (result.aborted) return Fail("aborted");
    return result.failed == 0 ? 0 : 1;
}

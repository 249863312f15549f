// sonquil-cli cd-list [--device DRIVE|IMAGE]
// sonquil-cli cd-import --device DRIVE|IMAGE [--tracks 1,3-5] [--cddb [--match N]] [--vdisk FOLDER]
// The CD panel on the command line. cd-list prints the drive list (disc images given with
// --device join it, as the window offers them) and the track list as the panel shows it; it
// needs no library. cd-import imports like the panel's "Import": the checked tracks (all audio
// tracks, or those of --tracks, numbered from 1) into the library, one report line per track on
// stdout; with --cddb a lookup names them first, and --match N answers its question with the
// N-th match. A DRIVE is a device node, a drive name as listed ("vendor:product") or its number.
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "audiofile/ImportPipeline.h"
#include "audiofile/PeakFile.h"
#include "cdimport/CCDDBPrefs.h"
#include "cdimport/CCDRip.h"
#include "cdimport/CDDBLookup.h"
#include "cli/Commands.h"
#include "cli/LibrarySession.h"
#include "core/CDImportJob.h"
#include "library/CPrefs.h"

namespace fs = std::filesystem;

namespace {

// Selects the drive or image of --device; false with a message when there is none such.
bool SelectDevice(CCDRip& rip, const std::string& device, std::string& error) {
    int index = rip.FindDrive(device);
    std::error_code ec;
    if (index < 0 && fs::is_regular_file(device, ec)) {
        index = rip.AddImage(device, error);
        if (index < 0) {
            error = device + ": " + error;
            return false;
        }
    }
    if (index < 0) {
        error = "no CD drive or disc image \"" + device + "\"";
        return false;
    }
    rip.SelectDrive(index);
    return true;
}

void PrintDrives(const CCDRip& rip) {
    for (int i = 0; i < rip.DriveCount(); ++i)
        std::printf("%s %d\t%s\t%s\n", i == rip.SelectedDrive() ? "*" : " ", i + 1, rip.DriveName(i).c_str(),
                    rip.Drive(i).device.c_str());
}

void PrintTracks(const CCDRip& rip) {
    std::printf("Tracks\tTime\tSize\n");
    for (int i = 0; i < rip.TrackCount(); ++i)
        std::printf("[%s] %s\t%s\t%s\n", rip.IsAudioTrack(i) ? "x" : " ", rip.TrackName(i).c_str(),
                    rip.TrackTime(i).c_str(), rip.TrackSize(i).c_str());
    std::fflush(stdout);
}

// "1,3-5" as 0-based track indices; false with a message on anything else.
bool ParseTracks(const std::string& text, int trackCount, std::vector<int>& out, std::string& error) {
    std::stringstream ss(text);
    for (std::string part; std::getline(ss, part, ',');) {
        const size_t dash = part.find('-');
        const std::string a = part.substr(0, dash);
        const std::string b = dash == std::string::npos ? a : part.substr(dash + 1);
        auto number = [](const std::string& s, int& v) {
            if (s.empty() || s.size() > 3 || s.find_first_not_of("0123456789") != std::string::npos) return false;
            v = std::stoi(s);
            return v >= 1;
        };
        int from = 0, to = 0;
        if (!number(a, from) || !number(b, to) || to < from) {
            error = "--tracks wants track numbers from 1, like 1,3-5";
            return false;
        }
        if (to > trackCount) {
            error = "the disc has no track " + std::to_string(to) + " (it has " + std::to_string(trackCount) + ")";
            return false;
        }
        for (int t = from; t <= to; ++t) out.push_back(t - 1);
    }
    if (out.empty()) {
        error = "--tracks names no track";
        return false;
    }
    return true;
}

// Answers the lookup's match questions with the N-th match and passes its notices on.
class MatchAnswer : public UiPort {
public:
    MatchAnswer(UiPort& terminal, int match) : m_terminal(terminal), m_match(match) {}
    void Notice(const std::string& text, const std::string& caption) override { m_terminal.Notice(text, caption); }
    // The question and its answer go to stderr, so that the choice shows beside the notices.
    bool Question(const std::string& text, const std::string&, bool) override {
        const bool ok = ++m_asked == m_match;
        std::fprintf(stderr, "%s %s\n", text.c_str(), ok ? "OK" : "Cancel");
        return ok;
    }
    bool ChooseFolder(const std::string&, const std::string&, std::string&) override { return false; }
    bool ChooseFiles(const std::string&, const std::string&, const std::string&, bool,
                     std::vector<std::string>&) override {
        return false;
    }
    void LetEventsThrough() override { m_terminal.LetEventsThrough(); }
    void ReportClear() override {}
    void ReportAddLine(const std::string&, const std::string&) override {}
    void ReportPrepare(const std::string&, bool*) override {}
    void ReportShow() override {}
    int Asked() const { return m_asked; }

protected:
    void ShowProgress(bool) override {}
    void SetProgressTextShown(const std::string&) override {}
    void DrawProgressBar(int) override {}
    void HideProgress() override {}
    void ShowDual() override {}
    void SetDualTextShown(const std::string&) override {}
    void DrawDualBars(int, int) override {}
    void HideDual() override {}

private:
    UiPort& m_terminal;
    int m_match;
    int m_asked = 0;
};

} // namespace

int CdListCommand(const Args& args) {
    Options o;
    std::string error;
    if (!ParseOptions(args, {"device"}, {}, o, error)) return Fail(error);
    if (!o.positional.empty()) return Fail("usage: cd-list [--device DRIVE|IMAGE]");
    CCDRip rip;
    if (!rip.Start()) return Fail("the CD service cannot start");
    rip.ListDrives();
    if (o.Has("device") && !SelectDevice(rip, o.values["device"], error)) return Fail(error);
    PrintDrives(rip);
    if (rip.DriveCount() == 0) {
        // Not a failure: the panel of a machine without a drive is empty too.
        std::fprintf(stderr, "no CD drive found (a disc image can be given with --device)\n");
        return 0;
    }
    if (rip.ReadTOC() == 0) return Fail("no disc in " + rip.DriveName(rip.SelectedDrive()));
    PrintTracks(rip);
    return 0;
}

int CdImportCommand(const Args& args) {
    Options o;
    std::string error;
    if (!ParseOptions(args, {"device", "tracks", "match", "vdisk"}, {"cddb"}, o, error)) return Fail(error);
    if (!o.positional.empty() || !o.Has("device"))
        return Fail("usage: cd-import --device DRIVE|IMAGE [--tracks 1,3-5] [--cddb [--match N]] [--vdisk FOLDER]");
    int match = 0;
    if (!IntOption(o, "match", 1, 5, match, error)) return Fail(error);
    const bool cddb = o.flags["cddb"];
    if (o.Has("match") && !cddb) return Fail("--match answers the lookup of --cddb");

    const fs::path base = LibraryFolder();
    std::error_code ec;
    if (o.Has("vdisk") && !fs::is_regular_file(base / "AudioDB" / "audiodb.adb", ec)) {
        if (!CreateLibrary(base, o.values["vdisk"], error)) return Fail(error);
    }
    LibrarySession session;
    if (!session.Open(error, false)) return Fail(error);
    CCore& core = session.Core();
    CCDRip* rip = core.CDRip();
    if (rip == nullptr) return Fail("the CD service cannot start");
    if (!SelectDevice(*rip, o.values["device"], error)) return Fail(error);
    const int count = rip->ReadTOC();
    if (count == 0) return Fail("no disc in " + rip->DriveName(rip->SelectedDrive()));

    std::vector<int> tracks;
    if (o.Has("tracks")) {
        if (!ParseTracks(o.values["tracks"], count, tracks, error)) return Fail(error);
    } else {
        // The panel's rows start checked for the audio tracks.
        for (int i = 0; i < count; ++i)
            if (rip->IsAudioTrack(i)) tracks.push_back(i);
        if (tracks.empty()) return Fail("the disc has no audio track");
    }

    if (cddb) {
        if (match > 0) {
            MatchAnswer answer(session.Ui(), match);
            RunCDDBLookup(*rip, core.CDDBPrefs(), answer, core.BaseFolder().string());
        } else {
            RunCDDBLookup(*rip, core.CDDBPrefs(), session.Ui(), core.BaseFolder().string());
        }
    }

    const ImportSettings settings = ImportSettingsFromPrefs(*core.Prefs());
    core.SetStorageMode(settings.storageMode, settings.bitRate);
    PeakBuffers peaks;
    CCDImportJob job(core, peaks);
    CCDImportJob::Result result;
    {
        InterruptAsAbort interrupts;
        result = job.Run(tracks);
    }
    session.Ui().ReportShow();
    if (!session.SaveAndClose()) return Fail("the library could not be saved");
    if (result.aborted) return Fail("aborted");
    return result.failed == 0 ? 0 : 1;
}

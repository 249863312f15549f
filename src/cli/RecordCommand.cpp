// sonquil-cli [--library DIR] record --device NAME|null [--input FILE.wav] [--fast] [--rate R]
//     [--bits 16|24|32] [--auto-start DB] [--auto-stop-below DB:MMmSSs] [--auto-stop-after MMmSSs]
//     [--auto-delete MMmSSs] [--auto-restart N] [--naming unique|base:NAME:INDEX]
//     [--monitor-first SECONDS] [--vdisk FOLDER]
// Records into the library with the window's own recording core: each take becomes a stored
// sample with its root region, in the library's storage mode. The null device plays --input
// as its input at real-time pace (or as fast as it is read with --fast), a generated tone
// without it. One line per take on stdout; the command ends when the input runs out, when an
// automatic stop is not followed by a restart (--auto-restart N allows N), or at Ctrl+C, which
// stops and finishes the take as the Stop button does.
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "audiofile/ImportPipeline.h"
#include "audiofile/PeakFile.h"
#include "cli/Commands.h"
#include "cli/EngineSession.h"
#include "cli/LibrarySession.h"
#include "core/CCore.h"
#include "core/CRecorder.h"
#include "engine/AudioIOThread.h"
#include "engine/CTransport.h"
#include "engine/EngineBlock.h"
#include "engine/NullDevice.h"

namespace fs = std::filesystem;

namespace {

const char* const kUsage =
    "usage: record --device NAME|null [--input FILE.wav] [--fast] [--rate R] [--bits 16|24|32] [--auto-start DB] "
    "[--auto-stop-below DB:MMmSSs] [--auto-stop-after MMmSSs] [--auto-delete MMmSSs] [--auto-restart N] "
    "[--naming unique|base:NAME:INDEX] [--monitor-first SECONDS] [--vdisk FOLDER]";

volatile std::sig_atomic_t g_interrupted = 0;
extern "C" void OnRecordInterrupt(int) { g_interrupted = 1; }

// "MMmSSs" (or the panel's "MMm SSs").
bool ParseTime(const std::string& text, int32_t& seconds) {
    const size_t m = text.find('m');
    if (m == std::string::npos || m == 0 || text.back() != 's') return false;
    long minutes = 0, secs = 0;
    std::string rest = text.substr(m + 1, text.size() - m - 2);
    if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
    if (!ParseWholeNumber(text.substr(0, m), 0, 99, minutes) || !ParseWholeNumber(rest, 0, 5999, secs)) return false;
    seconds = static_cast<int32_t>(minutes * 60 + secs);
    return true;
}

bool ParseDb(const std::string& text, int32_t& db) { return ParseRecordLevel(text, db) && db >= -99 && db <= 0; }

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The device number of an input device named name: the exact name, else the one name that
// contains it (without regard to case).
bool FindInputDevice(DriverProbe& devices, const std::string& name, int32_t& number, std::string& error) {
    const int32_t count = devices.InputDeviceCount();
    int32_t found = -1, matches = 0;
    for (int32_t i = 0; i < count; ++i)
        if (devices.InputDeviceName(i) == name) {
            number = i - 1;
            return true;
        }
    for (int32_t i = 0; i < count; ++i)
        if (Lower(devices.InputDeviceName(i)).find(Lower(name)) != std::string::npos) {
            found = i;
            ++matches;
        }
    if (matches == 1) {
        number = found - 1;
        return true;
    }
    error = matches == 0 ? "no record device is named \"" + name + "\" (see sonquil-cli devices)"
                         : "\"" + name + "\" names more than one record device (see sonquil-cli devices)";
    return false;
}

void PrintTake(const CRecorder::Take& take) {
    if (take.kept)
        std::printf("region %d \"%s\" %lld frames\n", take.regionId, take.name.c_str(),
                    static_cast<long long>(take.frames));
    else if (take.deleted)
        std::printf("deleted a take of %lld frames (shorter than --auto-delete)\n",
                    static_cast<long long>(take.frames));
    std::fflush(stdout);
}

} // namespace

int RecordCommand(const Args& args) {
    Options o;
    std::string error;
    if (!ParseOptions(args,
                      {"device", "input", "rate", "bits", "auto-start", "auto-stop-below", "auto-stop-after",
                       "auto-delete", "auto-restart", "naming", "monitor-first", "vdisk"},
                      {"fast"}, o, error))
        return Fail(error);
    if (!o.positional.empty() || !o.Has("device")) return Fail(kUsage);
    const std::string device = o.values["device"];
    const bool null = device == "null";
    if (o.Has("input") && !null) return Fail("--input needs --device null");
    if (o.flags["fast"] && !null) return Fail("--fast needs --device null");

    RecordSettings s;
    long v = 0;
    if (o.Has("rate")) {
        if (!ParseWholeNumber(o.values["rate"], 1, 384000, v)) return Fail("bad --rate " + o.values["rate"]);
        bool listed = false;
        for (int32_t r : kRecordRates) listed = listed || r == v;
        if (!listed) return Fail("--rate is one of 32000, 44100, 48000, 96000, 176400, 192000");
        s.rate = static_cast<int32_t>(v);
    }
    if (o.Has("bits")) {
        if (!ParseWholeNumber(o.values["bits"], 16, 32, v) || (v != 16 && v != 24 && v != 32))
            return Fail("--bits is 16, 24 or 32");
        s.bits = static_cast<int32_t>(v);
    }
    if (o.Has("auto-start")) {
        s.autoStart = true;
        if (!ParseDb(o.values["auto-start"], s.autoStartDb)) return Fail("bad --auto-start (a level in dB, -99 to 0)");
    }
    if (o.Has("auto-stop-below")) {
        const std::string& t = o.values["auto-stop-below"];
        const size_t colon = t.find(':');
        s.autoStopBelow = true;
        if (colon == std::string::npos || !ParseDb(t.substr(0, colon), s.autoStopBelowDb) ||
            !ParseTime(t.substr(colon + 1), s.autoStopBelowSeconds))
            return Fail("bad --auto-stop-below (DB:MMmSSs, e.g. -50:00m03s)");
    }
    if (o.Has("auto-stop-after")) {
        s.autoStopAfter = true;
        if (!ParseTime(o.values["auto-stop-after"], s.autoStopAfterSeconds))
            return Fail("bad --auto-stop-after (MMmSSs, e.g. 00m10s)");
    }
    if (o.Has("auto-delete")) {
        s.autoDelete = true;
        if (!ParseTime(o.values["auto-delete"], s.autoDeleteSeconds)) return Fail("bad --auto-delete (MMmSSs)");
    }
    long restarts = 0;
    if (o.Has("auto-restart") && !ParseWholeNumber(o.values["auto-restart"], 0, 1000000, restarts))
        return Fail("bad --auto-restart (a number of restarts)");
    if (o.Has("naming")) {
        const std::string& n = o.values["naming"];
        if (n == "unique") {
            s.baseIndexNaming = false;
        } else {
            const size_t a = n.find(':'), b = n.rfind(':');
            long index = 0;
            if (n.compare(0, 5, "base:") != 0 || a == b || !ParseWholeNumber(n.substr(b + 1), 0, 999, index))
                return Fail("--naming is unique or base:NAME:INDEX (INDEX 0 to 999)");
            s.baseIndexNaming = true;
            s.baseName = n.substr(a + 1, b - a - 1);
            s.index = static_cast<int32_t>(index);
        }
    }
    long monitorFirst = 0;
    if (o.Has("monitor-first") && !ParseWholeNumber(o.values["monitor-first"], 0, 86400, monitorFirst))
        return Fail("bad --monitor-first (seconds)");
    std::string input;
    if (o.Has("input")) {
        std::error_code ec;
        input = fs::absolute(o.values["input"], ec).lexically_normal().string();
        if (!fs::is_regular_file(input, ec)) return Fail(o.values["input"] + ": no such file");
    }

    std::error_code ec;
    const fs::path base = LibraryFolder();
    if (o.Has("vdisk") && !fs::is_regular_file(base / "AudioDB" / "audiodb.adb", ec)) {
        if (!CreateLibrary(base, o.values["vdisk"], error)) return Fail(error);
    }
    LibrarySession session;
    if (!session.Open(error, !null)) return Fail(error);
    CCore& core = session.Core();
    const ImportSettings storage = ImportSettingsFromPrefs(*core.Prefs());
    core.SetStorageMode(storage.storageMode, storage.bitRate);

    CDeviceList& devices = *core.Devices();
    int32_t number = -1;
    if (null) {
        number = devices.NullInputIndex() - 1;
        NullDeviceSettings& ns = devices.Null().settings;
        ns.realTime = !o.flags["fast"];
        ns.inputFile = input;
    } else if (!FindInputDevice(devices, device, number, error)) {
        return Fail(error);
    }
    AudioIOThread& audio = *core.AudioThread();
    audio.SetRecordDevice(number);
    CTransport& transport = *core.Transport();
    MainThreadPort& port = core.MainThread();

    PeakBuffers peaks;
    // Gone before the session closes the core it works on.
    auto recorder = std::make_unique<CRecorder>(core, peaks);
    recorder->Settings() = s;
    const int notices = session.Ui().Notices();

    g_interrupted = 0;
    struct sigaction action = {}, oldInt = {}, oldTerm = {};
    action.sa_handler = OnRecordInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &oldInt);
    sigaction(SIGTERM, &action, &oldTerm);
    // Serves the audio thread's hand-overs while the main timer's 50 ms pass.
    auto wait = [&](const std::function<bool()>& until) {
        while (!port.WaitServing([&] { return g_interrupted || until(); }, std::chrono::milliseconds(50))) {
            if (!until()) recorder->Tick();
            if (!recorder->TakeOpen() && transport.IsStopped()) return;
        }
    };

    if (monitorFirst > 0) {
        recorder->MonitorButton();
        const int64_t block = EngineBlockFrames(s.rate);
        wait([&] {
            return audio.InputBlocksRead() * block >= monitorFirst * static_cast<int64_t>(s.rate) || audio.InputEnded();
        });
        if (!g_interrupted && recorder->TakeOpen()) recorder->RecordButton();
    } else {
        recorder->RecordButton();
    }

    int32_t printed = 0;
    long restarted = 0;
    for (;;) {
        // Restarts allowed only while some of --auto-restart N are left.
        recorder->Settings().autoRestart = restarted < restarts;
        const int32_t before = recorder->TakesFinished();
        port.WaitServing([&] { return g_interrupted != 0; }, std::chrono::milliseconds(50));
        if (g_interrupted || (audio.InputEnded() && transport.IsRecording())) recorder->StopButton();
        else recorder->Tick();
        if (recorder->TakesFinished() != before) {
            PrintTake(recorder->LastTake());
            printed = recorder->TakesFinished();
            if (recorder->TakeOpen()) ++restarted;
        }
        if (!recorder->TakeOpen() || g_interrupted) break;
    }
    recorder->AfterStop();
    if (recorder->TakesFinished() != printed) PrintTake(recorder->LastTake());
    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);

    recorder.reset();
    const bool saved = session.SaveAndClose();
    if (!saved) return Fail("the library could not be saved");
    if (session.Ui().Notices() != notices) return 1;
    return g_interrupted ? 130 : 0;
}

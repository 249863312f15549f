// sonquil-cli play IN [--from F] [--to F] [--loop-passes N] [--speed S] [--fade-in N[:lin|log|exp]]
//                     [--fade-out N[:lin|log|exp]] [--set ...] [--preset ...] [--device NAME|null]
//                     [--capture OUT.wav] [--force-24]
// Plays IN as a transient sample and region (no library changes) through the play request, the
// transport, the swapper, the disk thread and the audio thread to a device. Frames count from
// the region's start as in the play request; --to defaults to the region's end, and --to 0 is
// the play request's "whole region". Without --device the system's default device plays; the
// null device with --capture runs as fast as the engine produces and writes exactly what it
// received. Ctrl+C stops the playback as the stop button does. Prints the frames played.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/EngineSession.h"
#include "cli/TerminalUiPort.h"
#include "common/FadeShape.h"
#include "common/TransportState.h"
#include "core/CCore.h"
#include "engine/AudioIOThread.h"
#include "engine/CTransport.h"
#include "engine/NullDevice.h"
#include "library/CRegion.h"

namespace {

const char* const kUsage =
    "usage: play IN [--from F] [--to F] [--loop-passes N] [--speed S] [--fade-in N[:lin|log|exp]] "
    "[--fade-out N[:lin|log|exp]] [--set KIND:ID=VALUE ...] [--preset NAME ...] [--device NAME|null] "
    "[--capture OUT.wav] [--force-24]";

volatile std::sig_atomic_t g_interrupted = 0;
extern "C" void OnInterrupt(int) { g_interrupted = 1; }

struct Fade {
    bool given = false;
    long frames = 0;
    int shape = FadeLin;
};

// "N" or "N:lin|log|exp".
bool ParseFade(const std::string& text, Fade& out) {
    const size_t colon = text.find(':');
    const std::string count = text.substr(0, colon);
    if (!ParseWholeNumber(count, 0, INT32_MAX, out.frames)) return false;
    out.shape = FadeLin;
    if (colon != std::string::npos) {
        const std::string shape = text.substr(colon + 1);
        if (shape == "lin") out.shape = FadeLin;
        else if (shape == "log") out.shape = FadeLog;
        else if (shape == "exp") out.shape = FadeExp;
        else return false;
    }
    out.given = true;
    return true;
}

bool ParseSpeed(const std::string& text, float& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !(v >= CTransport::kMinShuttle && v <= CTransport::kMaxShuttle)) return false;
    out = static_cast<float>(v);
    return true;
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The device number (list index − 1, −1 the default device) of an output device named name:
// the exact name, else the one name that contains it (without regard to case).
bool FindOutputDevice(DriverProbe& devices, const std::string& name, int32_t& number, std::string& error) {
    const int32_t count = devices.OutputDeviceCount();
    int32_t found = -1, matches = 0;
    for (int32_t i = 0; i < count; ++i) {
        if (devices.OutputDeviceName(i) == name) {
            number = i - 1;
            return true;
        }
    }
    for (int32_t i = 0; i < count; ++i) {
        if (Lower(devices.OutputDeviceName(i)).find(Lower(name)) != std::string::npos) {
            found = i;
            ++matches;
        }
    }
    if (matches == 1) {
        number = found - 1;
        return true;
    }
    error = matches == 0 ? "no playback device is named \"" + name + "\" (see sonquil-cli devices)"
                         : "\"" + name + "\" names more than one playback device (see sonquil-cli devices)";
    return false;
}

} // namespace

int PlayCommand(const Args& args) {
    std::vector<std::string> positional;
    ChainOptions chain;
    long from = 0, to = -1, passes = 0;
    float speed = 1.0f;
    Fade fadeIn, fadeOut;
    std::string device, capture, error;
    bool force24 = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (TakeChainOption(args, i, chain, error)) {
            if (!error.empty()) return Fail(error);
            continue;
        }
        if (a == "--force-24") {
            force24 = true;
            continue;
        }
        if (a.rfind("--", 0) != 0) {
            positional.push_back(a);
            continue;
        }
        const bool known = a == "--from" || a == "--to" || a == "--loop-passes" || a == "--speed" || a == "--fade-in" ||
                           a == "--fade-out" || a == "--device" || a == "--capture";
        if (!known) return Fail("unknown option " + a);
        if (i + 1 >= args.size()) return Fail(a + " needs a value");
        const std::string& v = args[++i];
        if (a == "--from") {
            if (!ParseWholeNumber(v, 0, INT32_MAX, from)) return Fail("bad --from " + v + " (a frame number)");
        } else if (a == "--to") {
            if (!ParseWholeNumber(v, 0, INT32_MAX, to)) return Fail("bad --to " + v + " (a frame number)");
        } else if (a == "--loop-passes") {
            if (!ParseWholeNumber(v, 1, INT32_MAX, passes)) return Fail("bad --loop-passes " + v + " (1 or more)");
        } else if (a == "--speed") {
            if (!ParseSpeed(v, speed)) return Fail("bad --speed " + v + " (0.0625 to 2)");
        } else if (a == "--fade-in" || a == "--fade-out") {
            if (!ParseFade(v, a == "--fade-in" ? fadeIn : fadeOut))
                return Fail("bad " + a + " " + v + " (FRAMES or FRAMES:lin|log|exp)");
        } else if (a == "--device") {
            if (v.empty()) return Fail("--device needs a device name or null");
            device = v;
        } else {
            if (v.empty()) return Fail("--capture needs a file name");
            capture = v;
        }
    }
    if (positional.size() != 1) return Fail(kUsage);
    const bool null = device == "null";
    if (!capture.empty() && !null) return Fail("--capture needs --device null");

    TransientRegion in;
    if (!in.Open(positional[0], error)) return Fail(error);
    const int64_t length = in.Frames();
    if (to < 0) to = static_cast<long>(length);
    if (to > length)
        return Fail("--to " + std::to_string(to) + " is past the region's end (" + std::to_string(length) + " frames)");
    if (to != 0 && from >= to) return Fail("--from must lie before --to");
    const int64_t rangeFrames = to == 0 ? length : to - from;
    if (rangeFrames < CTransport::kMinPlayFrames)
        return Fail("the play range is " + std::to_string(rangeFrames) + " frames: 4095 frames or fewer never play");
    if (fadeIn.frames + fadeOut.frames > length) return Fail("the fades are longer than the region");
    CRegion& region = in.Region();
    region.SetFadeInLength(static_cast<int32_t>(fadeIn.frames));
    region.SetFadeInShape(fadeIn.shape);
    region.SetFadeOutLength(static_cast<int32_t>(fadeOut.frames));
    region.SetFadeOutShape(fadeOut.shape);

    // Sound cards are only looked for when one may play.
    EngineSession session;
    if (!session.Open(chain, !null, error) || !session.ApplyChain(chain, error)) return Fail(error);
    CCore& core = session.Core();
    CDeviceList& devices = *core.Devices();
    int32_t number = -1;
    if (null) {
        number = devices.NullOutputIndex() - 1;
        NullDeviceSettings& s = devices.Null().settings;
        s.realTime = capture.empty();
        s.captureFile = capture;
    } else if (!device.empty() && !FindOutputDevice(devices, device, number, error)) {
        return Fail(error);
    }
    AudioIOThread& audio = *core.AudioThread();
    audio.SetPlaybackDevice(number);
    audio.SetForce24(force24);
    audio.SetPassLimit(passes);

    CTransport& transport = *core.Transport();
    transport.SetLoopSetting(passes > 0);
    transport.SetShuttleSpeed(speed);
    const int notices = session.Ui().Notices();
    const int64_t before = audio.FramesPlayed();
    if (!transport.PlayRequest(region, static_cast<int32_t>(from), static_cast<int32_t>(to), kOriginWaveViewer))
        return Fail(positional[0] + ": nothing plays");

    g_interrupted = 0;
    struct sigaction action = {}, oldInt = {}, oldTerm = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &oldInt);
    sigaction(SIGTERM, &action, &oldTerm);
    // Serves the audio thread's hand-overs (its stop at the end, a device message) meanwhile.
    transport.WaitUntilStopped([&] {
        if (g_interrupted) transport.Stop();
    });
    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);
    core.PlayList()->Clear();
    // A device that failed to open or stopped has been reported on stderr.
    if (session.Ui().Notices() != notices) return 1;
    std::printf("played %lld frames\n", static_cast<long long>(audio.FramesPlayed() - before));
    return g_interrupted ? 130 : 0;
}

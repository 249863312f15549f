// sonquil-cli devices
// The playback and record device lists of the "Audio Board Setup" dialog (the sound cards the
// driver reaches, its default device first, then the null device), each device with the probe
// lines the dialog shows for it. The number before a name is the device number that board
// setup keeps and that play --device accepts by name (−1 the system's default device).
#include <cstdio>
#include <string>

#include "cli/Commands.h"
#include "cli/EngineSession.h"
#include "core/CCore.h"
#include "engine/DriverProbe.h"
#include "engine/NullDevice.h"

namespace {

void PrintList(DriverProbe& devices, bool output) {
    std::printf("%s devices:\n", output ? "Playback" : "Record");
    const int32_t count = output ? devices.OutputDeviceCount() : devices.InputDeviceCount();
    for (int32_t i = 0; i < count; ++i) {
        const std::string name = output ? devices.OutputDeviceName(i) : devices.InputDeviceName(i);
        std::printf("  %d: %s\n", static_cast<int>(i - 1), name.c_str());
        for (const std::string& line : ProbeLines(devices, i, output)) std::printf("      %s\n", line.c_str());
    }
}

} // namespace

int DevicesCommand(const Args& args) {
    if (!args.empty()) return Fail("usage: devices");
    EngineSession session;
    std::string error;
    if (!session.Open(ChainOptions(), true, error)) return Fail(error);
    CDeviceList& devices = *session.Core().Devices();
    PrintList(devices, true);
    PrintList(devices, false);
    return 0;
}

#pragma once
// DriverProbePortAudio: the sound cards that PortAudio reaches (ALSA, and PulseAudio/PipeWire
// or JACK through it). Entry 0 of each list is the host's default device; the others are the
// PortAudio devices with channels in that direction, in PortAudio's order. Probing opens a
// blocking stream of the format and closes it again; streams are blocking read/write, so the
// engine's own wrapper keeps the timing.
//
// Threading: main thread for enumeration and probing; a stream belongs to one audio run.

#include <vector>

#include "engine/DriverProbe.h"

// The PortAudio device of a list index: entry 0 is the host's default device (hostDefault, −1
// when the host has none), entry i the (i − 1)-th of devices; −1 when there is none. The default
// is whatever the host names, which need not be the first device of the list: on a desktop
// with a sound server it is the server's device, while the first is a raw card the server holds.
int PortAudioDeviceOf(int32_t index, const std::vector<int>& devices, int hostDefault);

class DriverProbePortAudio : public DriverProbe {
public:
    // Initialises PortAudio; Ok() is false when that failed (the lists then hold the default
    // entry alone, which opens nothing).
    DriverProbePortAudio();
    ~DriverProbePortAudio() override;
    bool Ok() const { return m_ok; }

    int32_t InputDeviceCount() override { return static_cast<int32_t>(m_inputs.size()) + 1; }
    int32_t OutputDeviceCount() override { return static_cast<int32_t>(m_outputs.size()) + 1; }
    std::string InputDeviceName(int32_t index) override;
    std::string OutputDeviceName(int32_t index) override;
    bool ProbeInput(int32_t index, int32_t rate, int32_t bits, int32_t channels) override;
    bool ProbeOutput(int32_t index, int32_t rate, int32_t bits, int32_t channels) override;
    std::unique_ptr<CAudioStream> OpenOutput(int32_t index, int32_t channels, int32_t rate, int32_t bits) override;
    std::unique_ptr<CAudioStream> OpenInput(int32_t index, int32_t channels, int32_t rate, int32_t bits) override;

private:
    // The PortAudio device of a list index; -1 when there is none.
    int DeviceOf(int32_t index, bool output) const;
    std::unique_ptr<CAudioStream> Open(int32_t index, bool output, int32_t channels, int32_t rate, int32_t bits);

    bool m_ok = false;
    std::vector<int> m_inputs, m_outputs;
};

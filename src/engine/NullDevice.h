#pragma once
// The null device: a sound card of our own that is always there. Its output is consumed at
// real-time pace, or as fast as the engine produces when asked (tests, the command-line tool),
// and can be captured byte for byte (the device-format PCM the engine wrote) into a WAV file.
// Its input delivers a generated tone or the frames of a WAV file, at the device's pace or as
// fast as they are asked for. Machines without a sound card play and record through it.
//
// Threading: settings on the main thread while the transport is stopped; streams as any
// CAudioStream.

#include <atomic>
#include <cstdint>
#include <string>

#include "engine/DriverProbe.h"

struct NullDeviceSettings {
    bool realTime = true;    // false: every transfer returns at once
    std::string captureFile; // output captured into this WAV file; empty for none
    // WAV input; empty for the generated tone. Each input run continues where the last one
    // left the file (a live source runs on between takes); naming another file, or
    // RewindInput, starts at its beginning.
    std::string inputFile;
    double toneHz = 1000.0; // the generated input: a sine on the left, a cosine on the right
    double toneLevel = 0.5;
    int32_t maxOutputBits = 32; // the widest format each direction accepts
    int32_t maxInputBits = 32;
    int64_t stallAfterBytes = -1; // the device stops moving data after this many bytes (tests)
};

class CNullDevice : public DriverProbe {
public:
    static constexpr const char* kName = "Null device (no sound card)";

    NullDeviceSettings settings;

    int32_t InputDeviceCount() override { return 1; }
    int32_t OutputDeviceCount() override { return 1; }
    std::string InputDeviceName(int32_t) override { return kName; }
    std::string OutputDeviceName(int32_t) override { return kName; }
    bool ProbeInput(int32_t, int32_t rate, int32_t bits, int32_t channels) override;
    bool ProbeOutput(int32_t, int32_t rate, int32_t bits, int32_t channels) override;
    // A capture file that cannot be created refuses the open.
    std::unique_ptr<CAudioStream> OpenOutput(int32_t, int32_t channels, int32_t rate, int32_t bits) override;
    std::unique_ptr<CAudioStream> OpenInput(int32_t, int32_t channels, int32_t rate, int32_t bits) override;

    // The next input run starts the file again. While no input run is open.
    void RewindInput() { m_inputPosition.store(0, std::memory_order_relaxed); }

private:
    // Opened and read by the audio thread's input runs (the last one has ended before the next
    // opens); written by the stream's pump as it delivers.
    std::string m_inputFile;
    std::atomic<int64_t> m_inputPosition{0};
};

// The device list the program uses: the host driver's list (its default entry first) with the
// null device appended as the last device. Without a host driver, or when the host has no
// device, the default entry is the null device.
class CDeviceList : public DriverProbe {
public:
    // host may be null.
    CDeviceList(DriverProbe* host, CNullDevice& null) : m_host(host), m_null(null) {}

    int32_t InputDeviceCount() override { return HostInputs() + 1; }
    int32_t OutputDeviceCount() override { return HostOutputs() + 1; }
    std::string InputDeviceName(int32_t index) override;
    std::string OutputDeviceName(int32_t index) override;
    bool ProbeInput(int32_t index, int32_t rate, int32_t bits, int32_t channels) override;
    bool ProbeOutput(int32_t index, int32_t rate, int32_t bits, int32_t channels) override;
    std::unique_ptr<CAudioStream> OpenOutput(int32_t index, int32_t channels, int32_t rate, int32_t bits) override;
    std::unique_ptr<CAudioStream> OpenInput(int32_t index, int32_t channels, int32_t rate, int32_t bits) override;

    // The list index of the null device in either list.
    int32_t NullOutputIndex() { return HostOutputs(); }
    int32_t NullInputIndex() { return HostInputs(); }
    CNullDevice& Null() { return m_null; }

private:
    // Host entries, its default entry included (0 without a host).
    int32_t HostInputs() { return m_host ? m_host->InputDeviceCount() : 0; }
    int32_t HostOutputs() { return m_host ? m_host->OutputDeviceCount() : 0; }
    // True when index names the null device (the last entry, or a default with no host device).
    bool IsNull(int32_t index, int32_t hostCount) { return index >= hostCount || (index == 0 && hostCount <= 1); }

    DriverProbe* m_host;
    CNullDevice& m_null;
};

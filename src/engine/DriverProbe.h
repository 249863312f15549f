#pragma once
// DriverProbe: device enumeration and format probing behind one small set of operations, so
// the board-setup dialog and the audio thread do not depend on a driver model. A list index
// names an entry of a device list: 0 is the system's default device (the mapper), index i the
// device number i − 1. Beyond probing, a driver opens a byte stream on a list index; the
// device wrapper of the audio thread does the double-buffering and the conversions itself.
//
// Threading: enumeration and probing on the main thread; a stream is opened, used and closed
// by one run of the audio thread (its Transfer on the wrapper's pump thread).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The probe rates of the board-setup dialog.
constexpr int32_t kProbeRates[] = {32000, 44100, 48000, 96000, 176400, 192000};

// One opened device direction that moves device-format PCM.
class CAudioStream {
public:
    virtual ~CAudioStream() = default;
    // Output: returns once the device has taken the bytes. Input: once they are filled with
    // what the device delivered. False when the device failed.
    virtual bool Transfer(uint8_t* data, int32_t bytes) = 0;
    // Called from another thread while a Transfer may be under way: that Transfer gives up soon
    // (false), and so does every later one. It only signals: whatever ends the device itself
    // happens when the stream is destroyed, after the last Transfer has returned.
    virtual void Abort() {}
    // An input whose source runs out (a file) tells, once it has, how many frames it delivered
    // before the silence that follows; −1 while it goes on, and always for a sound card.
    virtual int64_t EndFrame() const { return -1; }
};

class DriverProbe {
public:
    virtual ~DriverProbe() = default;
    // The operations in slot order; the base class does nothing in each.
    virtual int32_t InputDeviceCount() { return 0; }
    virtual int32_t OutputDeviceCount() { return 0; }
    virtual std::string InputDeviceName(int32_t index) { return ""; }
    virtual std::string OutputDeviceName(int32_t index) { return ""; }
    // Opens the device with that PCM format and closes it at once; true if the open worked.
    virtual bool ProbeInput(int32_t index, int32_t rate, int32_t bits, int32_t channels) { return false; }
    virtual bool ProbeOutput(int32_t index, int32_t rate, int32_t bits, int32_t channels) { return false; }

    // Streams on a list index; null when the device refuses the format.
    virtual std::unique_ptr<CAudioStream> OpenOutput(int32_t index, int32_t channels, int32_t rate, int32_t bits) {
        return nullptr;
    }
    virtual std::unique_ptr<CAudioStream> OpenInput(int32_t index, int32_t channels, int32_t rate, int32_t bits) {
        return nullptr;
    }
};

// The probe lines of the board-setup dialog for one entry: every probe rate at 16 bits, then
// every rate at 24 bits, "[%6d Hz / 16]: yes" or "... no"; 2 channels.
std::string ProbeLine(int32_t rate, int32_t bits, bool yes);
std::vector<std::string> ProbeLines(DriverProbe& probe, int32_t index, bool output);

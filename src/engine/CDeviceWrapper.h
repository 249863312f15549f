#pragma once
// CDeviceWrapper: one audio run's hold on a device, double-buffered as a wave interface is:
// two headers, each one device buffer, marked done when the device has finished with it. The
// audio thread waits for the header it will use next, converts a block into it (or out of it)
// and queues it; a pump thread hands queued headers to the driver's blocking stream in turn
// and marks them done. So the device always has one block playing and one queued.
//
// The waits are bounded: a device that stops taking or giving data is noticed after the limit
// instead of hanging the run.
//
// Threading: every operation on the audio thread; the pump is private.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>

#include "engine/DriverProbe.h"

class CDeviceWrapper {
public:
    static constexpr int32_t kBufferBytes = 200000;

    // buffers: two device buffers of kBufferBytes, allocated once for the program.
    CDeviceWrapper(DriverProbe& devices, uint8_t* buffer0, uint8_t* buffer1);
    ~CDeviceWrapper();
    CDeviceWrapper(const CDeviceWrapper&) = delete;
    CDeviceWrapper& operator=(const CDeviceWrapper&) = delete;

    // device: a device number (−1 the default device). False when the device refuses.
    bool OpenOutput(int32_t device, int32_t channels, int32_t rate, int32_t bits);
    // Falls back from 32 to 24 and from 24 to 16 bits; Bits() tells what was opened.
    bool OpenInput(int32_t device, int32_t channels, int32_t rate, int32_t bits);
    // Until the header about to be used is done (4 ms steps). False after the limit or when
    // the device failed.
    bool WaitOutput(std::chrono::milliseconds limit) { return WaitNext(limit); }
    bool WaitInput(std::chrono::milliseconds limit) { return WaitNext(limit); }
    // Converts the block into the next header, queues it and switches headers.
    void WriteBlock(const float* block, int32_t frames);
    // Converts the current header's buffer into the block, queues the header again for the
    // device to fill, and switches headers.
    void ReadBlock(float* block, int32_t frames);
    // Waits (10 ms steps, bounded) until both headers are done, then ends the stream.
    void CloseOutput() { Close(); }
    void CloseInput() { Close(); }

    // How long Close waits for a device to finish its queued audio before aborting it.
    void SetCloseLimit(std::chrono::milliseconds limit) { m_closeLimit = limit; }

    // The input's end (see CAudioStream::EndFrame): −1 while it goes on.
    int64_t InputEnd() const { return m_stream ? m_stream->EndFrame() : -1; }

    int32_t Bits() const { return m_bits; }
    int32_t Channels() const { return m_channels; }
    bool Active() const { return m_active; }

private:
    enum : int32_t { Done = 0, Queued = 1, Quit = 2 };
    struct Header {
        uint8_t* data = nullptr;
        int32_t bytes = 0; // written by the audio thread before queueing
        std::atomic<int32_t> state{Done};
    };
    bool Open(int32_t device, bool output, int32_t channels, int32_t rate, int32_t bits);
    bool WaitNext(std::chrono::milliseconds limit);
    void Queue(Header& h);
    void Close();
    void Pump();

    DriverProbe& m_devices;
    Header m_headers[2];
    int m_next = 0;
    std::unique_ptr<CAudioStream> m_stream;
    std::thread m_pump;
    std::atomic<bool> m_failed{false};
    int32_t m_bits = 16, m_channels = 2, m_rate = 44100;
    bool m_active = false;
    std::chrono::milliseconds m_closeLimit{2000};
};

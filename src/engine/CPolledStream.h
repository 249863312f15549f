#pragma once
// CPolledStream: a device stream whose transfers never wait inside the driver. Before each move
// it asks the driver how many frames the device can take (or has ready) at once and moves no
// more than that; when there is no room it naps briefly and asks again. So a transfer can be
// told to give up between two looks, and a device that stopped is left by the thread that runs
// the transfers: the driver is stopped and closed only once no transfer is under way. A driver
// that does not promise to survive being stopped from one thread while another waits inside it
// (PortAudio's blocking streams) is never asked to.
//
// Threading: Transfer on one thread at a time (the device wrapper's pump); Abort from any
// thread; destroyed once no Transfer runs (the wrapper joins its pump first).

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

#include "engine/DriverProbe.h"

// The driver calls of one opened, started stream.
class CPolledDriver {
public:
    virtual ~CPolledDriver() = default;
    // Frames that can be moved now without waiting; negative when the device failed.
    virtual int64_t Available() = 0;
    // Moves frames, at most what Available said; false when the device failed.
    virtual bool Move(uint8_t* data, int64_t frames) = 0;
    // Ends the stream: after the queued audio has played, or at once when drop is set.
    virtual void End(bool drop) = 0;
};

class CPolledStream : public CAudioStream {
public:
    CPolledStream(std::unique_ptr<CPolledDriver> driver, int32_t frameBytes);
    // Ends the driver's stream, dropping what is queued when the stream was aborted or failed.
    ~CPolledStream() override;
    CPolledStream(const CPolledStream&) = delete;
    CPolledStream& operator=(const CPolledStream&) = delete;

    bool Transfer(uint8_t* data, int32_t bytes) override;
    // Only raises a flag: the transfer under way sees it at its next look and returns false.
    void Abort() override;

    // How long a transfer naps while the device has no room.
    static constexpr std::chrono::milliseconds kNap{2};

private:
    std::unique_ptr<CPolledDriver> m_driver;
    int32_t m_frameBytes;
    std::atomic<bool> m_abort{false};
    bool m_failed = false;     // the transfer thread's; read by the destructor after it
    int64_t m_largestRoom = 0; // the transfer thread's
};

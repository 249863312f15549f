#include "engine/CPolledStream.h"

#include <algorithm>
#include <thread>

CPolledStream::CPolledStream(std::unique_ptr<CPolledDriver> driver, int32_t frameBytes)
    : m_driver(std::move(driver)), m_frameBytes(frameBytes > 0 ? frameBytes : 1) {}

CPolledStream::~CPolledStream() {
    // A device that stopped or failed would keep a graceful stop waiting for audio that never
    // plays; its queue is dropped instead.
    m_driver->End(m_failed || m_abort.load(std::memory_order_acquire));
}

bool CPolledStream::Transfer(uint8_t* data, int32_t bytes) {
    int64_t left = bytes / m_frameBytes;
    while (left > 0) {
        if (m_abort.load(std::memory_order_acquire)) return false;
        const int64_t room = m_driver->Available();
        if (room < 0) {
            m_failed = true;
            return false;
        }
        // Dribbling a few frames at every look would wake the driver hundreds of times a second;
        // a quarter of the most room the card ever had (its whole buffer, seen when the stream
        // was new) is always reached again while the card plays.
        m_largestRoom = std::max(m_largestRoom, room);
        if (room == 0 || room < std::min(left, std::max<int64_t>(1, m_largestRoom / 4))) {
            std::this_thread::sleep_for(kNap);
            continue;
        }
        const int64_t k = std::min(room, left);
        if (!m_driver->Move(data, k)) {
            m_failed = true;
            return false;
        }
        data += k * m_frameBytes;
        left -= k;
    }
    return true;
}

void CPolledStream::Abort() { m_abort.store(true, std::memory_order_release); }

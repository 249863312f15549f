#include "engine/CDeviceWrapper.h"

#include <cstring>

#include "engine/DevicePcm.h"

CDeviceWrapper::CDeviceWrapper(DriverProbe& devices, uint8_t* buffer0, uint8_t* buffer1) : m_devices(devices) {
    m_headers[0].data = buffer0;
    m_headers[1].data = buffer1;
}

CDeviceWrapper::~CDeviceWrapper() { Close(); }

bool CDeviceWrapper::Open(int32_t device, bool output, int32_t channels, int32_t rate, int32_t bits) {
    Close();
    const int32_t index = device < 0 ? 0 : device + 1;
    m_stream = output ? m_devices.OpenOutput(index, channels, rate, bits)
                      : m_devices.OpenInput(index, channels, rate, bits);
    if (!m_stream) return false;
    m_bits = bits;
    m_channels = channels;
    m_rate = rate;
    m_next = 0;
    m_failed.store(false, std::memory_order_relaxed);
    for (Header& h : m_headers) {
        std::memset(h.data, 0, kBufferBytes);
        h.bytes = 0;
        h.state.store(Done, std::memory_order_relaxed);
    }
    m_pump = std::thread([this] { Pump(); });
    return true;
}

bool CDeviceWrapper::OpenOutput(int32_t device, int32_t channels, int32_t rate, int32_t bits) {
    return Open(device, true, channels, rate, bits);
}

bool CDeviceWrapper::OpenInput(int32_t device, int32_t channels, int32_t rate, int32_t bits) {
    for (;;) {
        if (Open(device, false, channels, rate, bits)) return true;
        if (bits == 32) bits = 24;
        else if (bits == 24) bits = 16;
        else return false;
    }
}

void CDeviceWrapper::Pump() {
    for (int k = 0;; k ^= 1) {
        Header& h = m_headers[k];
        int32_t s;
        while ((s = h.state.load(std::memory_order_acquire)) == Done) h.state.wait(Done, std::memory_order_acquire);
        if (s == Quit) return;
        if (!m_stream->Transfer(h.data, h.bytes)) m_failed.store(true, std::memory_order_release);
        // A failed header is still handed back, so that no wait depends on a broken device.
        int32_t expected = Queued;
        h.state.compare_exchange_strong(expected, Done, std::memory_order_acq_rel);
        h.state.notify_all();
        if (m_failed.load(std::memory_order_relaxed)) {
            // Nothing more goes to a failed device: every later header is returned at once.
            for (;;) {
                for (Header& other : m_headers) {
                    int32_t q = Queued;
                    other.state.compare_exchange_strong(q, Done, std::memory_order_acq_rel);
                    other.state.notify_all();
                }
                int32_t a = m_headers[0].state.load(std::memory_order_acquire);
                if (a == Quit) return;
                m_headers[0].state.wait(a, std::memory_order_acquire);
            }
        }
    }
}

bool CDeviceWrapper::WaitNext(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (m_failed.load(std::memory_order_acquire)) return false;
        if (m_headers[m_next].state.load(std::memory_order_acquire) == Done) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(4));
    }
}

void CDeviceWrapper::Queue(Header& h) {
    h.state.store(Queued, std::memory_order_release);
    h.state.notify_all();
    m_active = true;
    m_next ^= 1;
}

void CDeviceWrapper::WriteBlock(const float* block, int32_t frames) {
    Header& h = m_headers[m_next];
    h.bytes = EncodeDevicePcm(block, frames, m_bits, m_channels, h.data);
    Queue(h);
}

void CDeviceWrapper::ReadBlock(float* block, int32_t frames) {
    Header& h = m_headers[m_next];
    DecodeDevicePcm(h.data, frames, m_bits, m_channels, block);
    h.bytes = frames * DeviceFrameBytes(m_bits, m_channels);
    Queue(h);
}

void CDeviceWrapper::Close() {
    if (!m_stream) return;
    // Both headers done: the queued audio has reached the device. A device that stopped gets a
    // bounded wait; then the pump's transfer is told to give up, the pump ends, and only after
    // that is the stream destroyed here, which ends the device: the stream is never ended
    // while the pump is still inside it.
    const auto deadline = std::chrono::steady_clock::now() + m_closeLimit;
    for (;;) {
        const bool done = m_headers[0].state.load(std::memory_order_acquire) == Done &&
                          m_headers[1].state.load(std::memory_order_acquire) == Done;
        if (done || m_failed.load(std::memory_order_acquire)) break;
        if (std::chrono::steady_clock::now() >= deadline) {
            m_stream->Abort();
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    for (Header& h : m_headers) {
        h.state.store(Quit, std::memory_order_release);
        h.state.notify_all();
    }
    if (m_pump.joinable()) m_pump.join();
    m_stream.reset();
    m_active = false;
}

#include "engine/NullDevice.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "audiofile/AudioFileWav.h"
#include "engine/DevicePcm.h"

namespace {

bool FormatOk(int32_t rate, int32_t bits, int32_t channels, int32_t maxBits) {
    return rate >= 1000 && rate <= 384000 && (bits == 16 || bits == 24 || bits == 32) && bits <= maxBits &&
           (channels == 1 || channels == 2);
}

void PutLE(uint8_t* p, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// The shared part of both directions: pacing and the stall of a device that stops.
class NullStream : public CAudioStream {
public:
    NullStream(const NullDeviceSettings& s, int32_t rate, int32_t frameBytes)
        : m_realTime(s.realTime), m_stallAfter(s.stallAfterBytes), m_rate(rate), m_frameBytes(frameBytes) {}

    void Abort() override {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_aborted = true;
        }
        m_changed.notify_all();
    }

protected:
    // False when the device has stopped (it then waits for Abort first, like a card that hangs).
    bool Pace(int32_t bytes) {
        if (m_stallAfter >= 0 && m_bytes + bytes > m_stallAfter) {
            std::unique_lock<std::mutex> lock(m_lock);
            m_changed.wait(lock, [&] { return m_aborted; });
            return false;
        }
        if (m_bytes == 0) m_start = std::chrono::steady_clock::now();
        m_bytes += bytes;
        if (m_realTime) {
            const double seconds = static_cast<double>(m_bytes / m_frameBytes) / m_rate;
            std::this_thread::sleep_until(m_start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                        std::chrono::duration<double>(seconds)));
        }
        return true;
    }

    bool m_realTime;
    int64_t m_stallAfter;
    int32_t m_rate, m_frameBytes;
    int64_t m_bytes = 0;
    std::chrono::steady_clock::time_point m_start;
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_aborted = false;
};

class NullOutput : public NullStream {
public:
    NullOutput(const NullDeviceSettings& s, int32_t channels, int32_t rate, int32_t bits)
        : NullStream(s, rate, DeviceFrameBytes(bits, channels)), m_channels(channels), m_bits(bits) {}
    ~NullOutput() override { CloseCapture(); }

    bool OpenCapture(const std::string& path) {
        m_capture = std::fopen(path.c_str(), "wb");
        if (!m_capture) return false;
        uint8_t header[44] = {};
        return std::fwrite(header, 1, sizeof header, m_capture) == sizeof header;
    }

    bool Transfer(uint8_t* data, int32_t bytes) override {
        if (!Pace(bytes)) return false;
        if (m_capture) {
            if (std::fwrite(data, 1, static_cast<size_t>(bytes), m_capture) != static_cast<size_t>(bytes))
                m_captureFailed = true;
            m_captured += bytes;
        }
        return !m_captureFailed;
    }

private:
    // The RIFF header goes in last, when the data length is known.
    void CloseCapture() {
        if (!m_capture) return;
        uint8_t h[44];
        std::memcpy(h, "RIFF", 4);
        PutLE(h + 4, static_cast<uint32_t>(36 + m_captured), 4);
        std::memcpy(h + 8, "WAVEfmt ", 8);
        PutLE(h + 16, 16, 4);
        PutLE(h + 20, 1, 2);
        PutLE(h + 22, static_cast<uint32_t>(m_channels), 2);
        PutLE(h + 24, static_cast<uint32_t>(m_rate), 4);
        PutLE(h + 28, static_cast<uint32_t>(m_rate * m_frameBytes), 4);
        PutLE(h + 32, static_cast<uint32_t>(m_frameBytes), 2);
        PutLE(h + 34, static_cast<uint32_t>(m_bits), 2);
        std::memcpy(h + 36, "data", 4);
        PutLE(h + 40, static_cast<uint32_t>(m_captured), 4);
        bool ok = std::fseek(m_capture, 0, SEEK_SET) == 0 && std::fwrite(h, 1, sizeof h, m_capture) == sizeof h;
        ok = std::fclose(m_capture) == 0 && ok;
        if (!ok || m_captureFailed) std::fprintf(stderr, "sonquil: the null device's capture file is incomplete\n");
        m_capture = nullptr;
    }

    int32_t m_channels, m_bits;
    std::FILE* m_capture = nullptr;
    int64_t m_captured = 0;
    bool m_captureFailed = false;
};

class NullInput : public NullStream {
public:
    NullInput(const NullDeviceSettings& s, int32_t channels, int32_t rate, int32_t bits)
        : NullStream(s, rate, DeviceFrameBytes(bits, channels)), m_channels(channels), m_bits(bits), m_toneHz(s.toneHz),
          m_toneLevel(s.toneLevel) {}

    // position: where the file's previous input runs left it, kept up to date (so a new run
    // continues the input as a live source does, rather than starting the file again).
    bool OpenFile(const std::string& path, std::atomic<int64_t>* position) {
        const size_t slash = path.find_last_of('/');
        const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
        m_file = std::make_unique<AudioFileWav>(folder, slash == std::string::npos ? path : path.substr(slash + 1));
        if (!m_file->OpenRead()) return false;
        m_position = position;
        const int64_t at = position->load(std::memory_order_acquire);
        if (at > 0 && (at >= m_file->frames || !m_file->SeekFrame(at))) {
            // Already used up: the file gives nothing more.
            m_end.store(0, std::memory_order_release);
            m_exhausted = true;
        }
        return true;
    }

    bool Transfer(uint8_t* data, int32_t bytes) override {
        const int32_t frames = bytes / m_frameBytes;
        m_block.resize(static_cast<size_t>(frames) * 2); // grows once to the block length
        if (m_file) {
            const int32_t got = m_exhausted ? 0 : std::max(0, m_file->ReadFloat(m_block.data(), frames));
            if (got > 0) m_position->fetch_add(got, std::memory_order_acq_rel);
            std::fill(m_block.begin() + 2 * got, m_block.end(), 0.0f);
            // The frames of the file delivered so far, published as the end once it ran out.
            if (got < frames && m_end.load(std::memory_order_relaxed) < 0)
                m_end.store(m_delivered + got, std::memory_order_release);
            m_delivered += got;
        } else {
            const double w = 2.0 * M_PI * m_toneHz / m_rate;
            for (int32_t i = 0; i < frames; ++i, ++m_frame) {
                m_block[2 * i] = static_cast<float>(m_toneLevel * std::sin(w * static_cast<double>(m_frame)));
                m_block[2 * i + 1] = static_cast<float>(m_toneLevel * std::cos(w * static_cast<double>(m_frame)));
            }
        }
        EncodeDevicePcm(m_block.data(), frames, m_bits, m_channels, data);
        return Pace(bytes);
    }

    int64_t EndFrame() const override { return m_end.load(std::memory_order_acquire); }

private:
    int32_t m_channels, m_bits;
    double m_toneHz, m_toneLevel;
    int64_t m_delivered = 0;
    std::atomic<int64_t> m_end{-1};
    std::atomic<int64_t>* m_position = nullptr;
    bool m_exhausted = false;
    int64_t m_frame = 0;
    std::unique_ptr<AudioFileWav> m_file;
    std::vector<float> m_block;
};

} // namespace

bool CNullDevice::ProbeInput(int32_t, int32_t rate, int32_t bits, int32_t channels) {
    return FormatOk(rate, bits, channels, settings.maxInputBits);
}

bool CNullDevice::ProbeOutput(int32_t, int32_t rate, int32_t bits, int32_t channels) {
    return FormatOk(rate, bits, channels, settings.maxOutputBits);
}

std::unique_ptr<CAudioStream> CNullDevice::OpenOutput(int32_t, int32_t channels, int32_t rate, int32_t bits) {
    if (!FormatOk(rate, bits, channels, settings.maxOutputBits)) return nullptr;
    auto s = std::make_unique<NullOutput>(settings, channels, rate, bits);
    if (!settings.captureFile.empty() && !s->OpenCapture(settings.captureFile)) return nullptr;
    return s;
}

std::unique_ptr<CAudioStream> CNullDevice::OpenInput(int32_t, int32_t channels, int32_t rate, int32_t bits) {
    if (!FormatOk(rate, bits, channels, settings.maxInputBits)) return nullptr;
    auto s = std::make_unique<NullInput>(settings, channels, rate, bits);
    if (settings.inputFile != m_inputFile) {
        m_inputFile = settings.inputFile;
        m_inputPosition.store(0, std::memory_order_relaxed);
    }
    if (!settings.inputFile.empty() && !s->OpenFile(settings.inputFile, &m_inputPosition)) return nullptr;
    return s;
}

std::string CDeviceList::InputDeviceName(int32_t index) {
    const int32_t host = HostInputs();
    if (index >= host) return m_null.InputDeviceName(0);
    return m_host->InputDeviceName(index);
}

std::string CDeviceList::OutputDeviceName(int32_t index) {
    const int32_t host = HostOutputs();
    if (index >= host) return m_null.OutputDeviceName(0);
    return m_host->OutputDeviceName(index);
}

bool CDeviceList::ProbeInput(int32_t index, int32_t rate, int32_t bits, int32_t channels) {
    if (index < 0 || index > HostInputs()) return false;
    if (IsNull(index, HostInputs())) return m_null.ProbeInput(0, rate, bits, channels);
    return m_host->ProbeInput(index, rate, bits, channels);
}

bool CDeviceList::ProbeOutput(int32_t index, int32_t rate, int32_t bits, int32_t channels) {
    if (index < 0 || index > HostOutputs()) return false;
    if (IsNull(index, HostOutputs())) return m_null.ProbeOutput(0, rate, bits, channels);
    return m_host->ProbeOutput(index, rate, bits, channels);
}

std::unique_ptr<CAudioStream> CDeviceList::OpenOutput(int32_t index, int32_t channels, int32_t rate, int32_t bits) {
    // A device number kept from a machine with more devices opens nothing.
    if (index < 0 || index > HostOutputs()) return nullptr;
    if (IsNull(index, HostOutputs())) return m_null.OpenOutput(0, channels, rate, bits);
    return m_host->OpenOutput(index, channels, rate, bits);
}

std::unique_ptr<CAudioStream> CDeviceList::OpenInput(int32_t index, int32_t channels, int32_t rate, int32_t bits) {
    if (index < 0 || index > HostInputs()) return nullptr;
    if (IsNull(index, HostInputs())) return m_null.OpenInput(0, channels, rate, bits);
    return m_host->OpenInput(index, channels, rate, bits);
}

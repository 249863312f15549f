#include "engine/DriverProbePortAudio.h"

#include <fcntl.h>
#include <portaudio.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>

#include "engine/CPolledStream.h"
#include "engine/DevicePcm.h"

namespace {

// ALSA and JACK report every device they look for and do not find on stderr while PortAudio
// enumerates or opens; on a machine without those sound systems that is dozens of lines per
// call. The driver's own results say what matters, so their chatter is kept off stderr.
class QuietStderr {
public:
    QuietStderr() : m_hold(Lock()) {
        std::fflush(stderr);
        m_saved = dup(2);
        const int null = open("/dev/null", O_WRONLY);
        if (m_saved >= 0 && null >= 0) dup2(null, 2);
        if (null >= 0) close(null);
    }
    ~QuietStderr() {
        if (m_saved >= 0) {
            dup2(m_saved, 2);
            close(m_saved);
        }
    }

private:
    static std::mutex& Lock() {
        static std::mutex m;
        return m;
    }
    std::lock_guard<std::mutex> m_hold;
    int m_saved = -1;
};

PaSampleFormat FormatOf(int32_t bits) {
    switch (bits) {
    case 16: return paInt16;
    case 24: return paInt24; // packed three bytes, low first: the device format as it is
    case 32: return paInt32;
    default: return 0;
    }
}

// One started blocking PortAudio stream as the polled stream drives it. PortAudio does not
// promise that a blocking stream survives being aborted from one thread while another waits in
// Pa_WriteStream or Pa_ReadStream; the polled stream never writes or reads more than the stream
// has room or data for, so no call waits on the device, and it ends the stream only after the
// last transfer.
class PortAudioDriver : public CPolledDriver {
public:
    PortAudioDriver(PaStream* s, bool output) : m_stream(s), m_output(output) {}
    int64_t Available() override {
        const signed long n = m_output ? Pa_GetStreamWriteAvailable(m_stream) : Pa_GetStreamReadAvailable(m_stream);
        // An underflow or overflow has lost data but the device goes on: look again.
        if (n == paOutputUnderflowed || n == paInputOverflowed) return 0;
        return n;
    }
    bool Move(uint8_t* data, int64_t frames) override {
        const unsigned long n = static_cast<unsigned long>(frames);
        const PaError e = m_output ? Pa_WriteStream(m_stream, data, n) : Pa_ReadStream(m_stream, data, n);
        return e == paNoError || e == paOutputUnderflowed || e == paInputOverflowed;
    }
    void End(bool drop) override {
        if (drop) Pa_AbortStream(m_stream);
        else Pa_StopStream(m_stream);
        Pa_CloseStream(m_stream);
    }

private:
    PaStream* m_stream;
    bool m_output;
};

} // namespace

DriverProbePortAudio::DriverProbePortAudio() {
    QuietStderr quiet;
    m_ok = Pa_Initialize() == paNoError;
    if (!m_ok) return;
    const int n = Pa_GetDeviceCount();
    for (int i = 0; i < n; ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (!info) continue;
        if (info->maxInputChannels > 0) m_inputs.push_back(i);
        if (info->maxOutputChannels > 0) m_outputs.push_back(i);
    }
}

DriverProbePortAudio::~DriverProbePortAudio() {
    QuietStderr quiet;
    if (m_ok) Pa_Terminate();
}

int PortAudioDeviceOf(int32_t index, const std::vector<int>& devices, int hostDefault) {
    if (index == 0) return hostDefault < 0 ? -1 : hostDefault;
    if (index < 0 || index > static_cast<int32_t>(devices.size())) return -1;
    return devices[static_cast<size_t>(index - 1)];
}

int DriverProbePortAudio::DeviceOf(int32_t index, bool output) const {
    if (!m_ok) return -1;
    const PaDeviceIndex hostDefault = output ? Pa_GetDefaultOutputDevice() : Pa_GetDefaultInputDevice();
    return PortAudioDeviceOf(index, output ? m_outputs : m_inputs, hostDefault == paNoDevice ? -1 : hostDefault);
}

std::string DriverProbePortAudio::InputDeviceName(int32_t index) {
    if (index == 0) return "System default device";
    const int d = DeviceOf(index, false);
    const PaDeviceInfo* info = d >= 0 ? Pa_GetDeviceInfo(d) : nullptr;
    return info && info->name ? info->name : "";
}

std::string DriverProbePortAudio::OutputDeviceName(int32_t index) {
    if (index == 0) return "System default device";
    const int d = DeviceOf(index, true);
    const PaDeviceInfo* info = d >= 0 ? Pa_GetDeviceInfo(d) : nullptr;
    return info && info->name ? info->name : "";
}

std::unique_ptr<CAudioStream> DriverProbePortAudio::Open(int32_t index, bool output, int32_t channels, int32_t rate,
                                                         int32_t bits) {
    const int d = DeviceOf(index, output);
    const PaSampleFormat format = FormatOf(bits);
    if (d < 0 || format == 0 || channels < 1) return nullptr;
    const PaDeviceInfo* info = Pa_GetDeviceInfo(d);
    if (!info) return nullptr;
    PaStreamParameters p{};
    p.device = d;
    p.channelCount = channels;
    p.sampleFormat = format;
    p.suggestedLatency = output ? info->defaultHighOutputLatency : info->defaultHighInputLatency;
    PaStream* stream = nullptr;
    QuietStderr quiet;
    const PaError e = Pa_OpenStream(&stream, output ? nullptr : &p, output ? &p : nullptr, rate,
                                    paFramesPerBufferUnspecified, paNoFlag, nullptr, nullptr);
    if (e != paNoError || !stream) return nullptr;
    if (Pa_StartStream(stream) != paNoError) {
        Pa_CloseStream(stream);
        return nullptr;
    }
    return std::make_unique<CPolledStream>(std::make_unique<PortAudioDriver>(stream, output),
                                           DeviceFrameBytes(bits, channels));
}

bool DriverProbePortAudio::ProbeInput(int32_t index, int32_t rate, int32_t bits, int32_t channels) {
    const int d = DeviceOf(index, false);
    if (d < 0 || !FormatOf(bits)) return false;
    PaStreamParameters p{d, channels, FormatOf(bits), Pa_GetDeviceInfo(d)->defaultLowInputLatency, nullptr};
    PaStream* stream = nullptr;
    QuietStderr quiet;
    if (Pa_OpenStream(&stream, &p, nullptr, rate, paFramesPerBufferUnspecified, paNoFlag, nullptr, nullptr) !=
        paNoError)
        return false;
    Pa_CloseStream(stream);
    return true;
}

bool DriverProbePortAudio::ProbeOutput(int32_t index, int32_t rate, int32_t bits, int32_t channels) {
    const int d = DeviceOf(index, true);
    if (d < 0 || !FormatOf(bits)) return false;
    PaStreamParameters p{d, channels, FormatOf(bits), Pa_GetDeviceInfo(d)->defaultLowOutputLatency, nullptr};
    PaStream* stream = nullptr;
    QuietStderr quiet;
    if (Pa_OpenStream(&stream, nullptr, &p, rate, paFramesPerBufferUnspecified, paNoFlag, nullptr, nullptr) !=
        paNoError)
        return false;
    Pa_CloseStream(stream);
    return true;
}

std::unique_ptr<CAudioStream> DriverProbePortAudio::OpenOutput(int32_t index, int32_t channels, int32_t rate,
                                                               int32_t bits) {
    return Open(index, true, channels, rate, bits);
}

std::unique_ptr<CAudioStream> DriverProbePortAudio::OpenInput(int32_t index, int32_t channels, int32_t rate,
                                                              int32_t bits) {
    return Open(index, false, channels, rate, bits);
}

#include "loudness/MeterWorker.h"

#include <ebur128.h>

#include <algorithm>
#include <cstring>

namespace {

ebur128_state* St(void* p) { return static_cast<ebur128_state*>(p); }

void Destroy(void*& p) {
    if (!p) return;
    ebur128_state* st = St(p);
    ebur128_destroy(&st);
    p = nullptr;
}

// A state that measures the true and sample peak of every channel and no loudness.
void* PeakState(unsigned channels, int32_t rate) {
    ebur128_state* st = ebur128_init(channels, static_cast<unsigned long>(rate), EBUR128_MODE_TRUE_PEAK);
    if (st)
        for (unsigned c = 0; c < channels; ++c) ebur128_set_channel(st, c, EBUR128_UNUSED);
    return st;
}

} // namespace

MeterWorker::~MeterWorker() {
    Stop();
    Destroy(m_own);
    Destroy(m_theirs);
}

void MeterWorker::Stop() {
    if (!m_worker.joinable()) return;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_quit = true;
    }
    m_changed.notify_all();
    m_worker.join();
}

bool MeterWorker::Start(unsigned channels, int32_t rate, void* loudness, bool truePeak) {
    Stop();
    Destroy(m_own);
    Destroy(m_theirs);
    m_channels = channels;
    m_loudness = loudness;
    if (truePeak) {
        m_own = PeakState(channels, rate);
        m_theirs = PeakState(channels, rate);
        if (!m_own || !m_theirs) {
            Destroy(m_own);
            Destroy(m_theirs);
            return false;
        }
    }
    m_history.assign(kPrime * channels, 0.0f);
    for (int c = 0; c < 2; ++c) m_ownTp[c] = m_ownSp[c] = m_theirTp[c] = m_theirSp[c] = 0.0;
    m_head = m_count = 0;
    m_busy = m_quit = m_workerWaited = false;
    // The worker has the loudness as well: the caller starts with less than half the peaks.
    if (!m_fixed) m_share = loudness ? 0.4 : 0.5;
    m_worker = std::thread([this] { Run(); });
    return true;
}

void MeterWorker::MeasurePeaks(void* state, const float* primed, size_t frames, double* tp, double* sp) const {
    ebur128_add_frames_float(St(state), primed, kPrime);
    ebur128_add_frames_float(St(state), primed + kPrime * m_channels, frames);
    for (unsigned c = 0; c < m_channels; ++c) {
        double v = 0.0;
        if (ebur128_prev_true_peak(St(state), c, &v) == EBUR128_SUCCESS) tp[c] = std::max(tp[c], v);
        if (ebur128_prev_sample_peak(St(state), c, &v) == EBUR128_SUCCESS) sp[c] = std::max(sp[c], v);
    }
}

void MeterWorker::Run() {
    std::unique_lock<std::mutex> hold(m_lock);
    for (;;) {
        if (m_count == 0 && !m_quit) {
            m_workerWaited = true;
            m_changed.wait(hold, [this] { return m_count > 0 || m_quit; });
        }
        if (m_count == 0) return;
        const Part& part = m_parts[m_head];
        m_busy = true;
        hold.unlock();
        const float* block = part.data.data() + kPrime * m_channels;
        if (m_loudness) ebur128_add_frames_float(St(m_loudness), block, part.frames);
        double tp[2] = {0, 0}, sp[2] = {0, 0};
        if (m_theirs && part.own < part.frames)
            MeasurePeaks(m_theirs, part.data.data() + part.own * m_channels, part.frames - part.own, tp, sp);
        hold.lock();
        for (unsigned c = 0; c < m_channels; ++c) {
            m_theirTp[c] = std::max(m_theirTp[c], tp[c]);
            m_theirSp[c] = std::max(m_theirSp[c], sp[c]);
        }
        m_head = (m_head + 1) % kParts;
        --m_count;
        m_busy = false;
        m_changed.notify_all();
    }
}

void MeterWorker::Add(const float* data, size_t frames) {
    if (!m_worker.joinable() || !data || frames == 0) return;
    const size_t ch = m_channels;
    std::unique_lock<std::mutex> hold(m_lock);
    const bool full = m_count == kParts;
    m_changed.wait(hold, [this] { return m_count < kParts; });
    Part& part = m_parts[(m_head + m_count) % kParts];
    hold.unlock();
    // The block behind the last kPrime frames of the stream: every part of it has its priming
    // right in front of it.
    part.data.resize((kPrime + frames) * ch);
    std::memcpy(part.data.data(), m_history.data(), kPrime * ch * sizeof(float));
    std::memcpy(part.data.data() + kPrime * ch, data, frames * ch * sizeof(float));
    part.frames = frames;
    part.own = m_own ? std::min(frames, static_cast<size_t>(m_share * static_cast<double>(frames) + 0.5)) : 0;
    hold.lock();
    ++m_count;
    // Balance: whoever waited for the other had too little to do.
    if (!m_fixed && m_own) {
        if (full) m_share = std::min(1.0, m_share + 0.01);
        else if (m_workerWaited) m_share = std::max(0.0, m_share - 0.01);
    }
    m_workerWaited = false;
    hold.unlock();
    m_changed.notify_all();
    // The worker only reads the part; so does this thread, before the next Add may reuse it.
    if (part.own > 0) MeasurePeaks(m_own, part.data.data(), part.own, m_ownTp, m_ownSp);
    if (frames >= kPrime) {
        std::memcpy(m_history.data(), data + (frames - kPrime) * ch, kPrime * ch * sizeof(float));
    } else {
        std::memmove(m_history.data(), m_history.data() + frames * ch, (kPrime - frames) * ch * sizeof(float));
        std::memcpy(m_history.data() + (kPrime - frames) * ch, data, frames * ch * sizeof(float));
    }
}

void MeterWorker::Wait() const {
    std::unique_lock<std::mutex> hold(m_lock);
    m_changed.wait(hold, [this] { return m_count == 0 && !m_busy; });
}

void MeterWorker::Peaks(double truePeak[2], double samplePeak[2]) const {
    Wait();
    std::lock_guard<std::mutex> hold(m_lock);
    for (unsigned c = 0; c < 2; ++c) {
        const bool has = c < m_channels;
        samplePeak[c] = has ? std::max(m_ownSp[c], m_theirSp[c]) : 0.0;
        truePeak[c] = has ? std::max({m_ownTp[c], m_theirTp[c], samplePeak[c]}) : 0.0;
    }
}

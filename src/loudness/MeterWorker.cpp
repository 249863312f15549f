#include "loudness/MeterWorker.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>

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

// The bound for PeakBound, found with a mono peak state of the library at rate.
double FindPeakBound(unsigned long rate) {
    ebur128_state* st = ebur128_init(1, rate, EBUR128_MODE_TRUE_PEAK);
    if (!st) return 0.0;
    auto peakOf = [st](const float* x, size_t n) {
        double v = 0.0;
        ebur128_add_frames_float(st, x, n);
        return ebur128_prev_true_peak(st, 0, &v) == EBUR128_SUCCESS ? v : -1.0;
    };
    // The impulse response, a frame at a time: each frame's largest output over the phases.
    // Their sum bounds every phase's sum of magnitudes; the response's length is the memory.
    constexpr size_t kLongest = 64;
    const float one = 1.0f, zero = 0.0f;
    double loose = 0.0;
    size_t memory = 0;
    for (size_t k = 0; k < kLongest; ++k) {
        const double v = peakOf(k == 0 ? &one : &zero, 1);
        if (v < 0.0) {
            ebur128_destroy(&st);
            return 0.0;
        }
        loose += v;
        if (v > 0.0) memory = k + 1;
    }
    double bound = loose;
    if (memory == kLongest) bound = 0.0; // longer than looked at: no bound
    // A short memory is searched whole: every pattern of full-scale samples of either sign
    // over it, after silence. The one whose signs match a phase's coefficients gives that
    // phase's sum of magnitudes, and no output can be larger: the largest found is the bound.
    if (bound > 0.0 && memory <= 14) {
        std::vector<float> x(memory), rest(memory + 4, 0.0f);
        double exact = 0.0;
        for (uint32_t m = 0; m < (1u << memory); ++m) {
            for (size_t k = 0; k < memory; ++k) x[k] = (m >> k) & 1 ? 1.0f : -1.0f;
            exact = std::max({exact, peakOf(x.data(), memory), peakOf(rest.data(), rest.size())});
        }
        bound = std::min(bound, exact);
    }
    ebur128_destroy(&st);
    return bound;
}

void RaiseTo(std::atomic<double>& known, double v) {
    double was = known.load(std::memory_order_relaxed);
    while (v > was && !known.compare_exchange_weak(was, v, std::memory_order_relaxed)) {
    }
}

} // namespace

double MeterWorker::PeakBound(int32_t rate) {
    static std::mutex lock;
    static std::map<int32_t, double> found;
    std::lock_guard<std::mutex> hold(lock);
    const auto at = found.find(rate);
    if (at != found.end()) return at->second;
    const double bound = rate > 0 ? FindPeakBound(static_cast<unsigned long>(rate)) : 0.0;
    found[rate] = bound;
    return bound;
}

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
    for (int c = 0; c < 2; ++c) {
        m_ownTp[c] = m_ownSp[c] = m_theirTp[c] = m_theirSp[c] = 0.0;
        m_knownTp[c].store(0.0, std::memory_order_relaxed);
        m_knownSp[c].store(0.0, std::memory_order_relaxed);
    }
    m_skipped.store(0, std::memory_order_relaxed);
    // A little above the bound: the library's rounding may lift a peak by a few units in the
    // last place of its sum.
    m_bound = truePeak && !m_neverSkip ? PeakBound(rate) * (1.0 + 1e-4) : 0.0;
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

bool MeterWorker::Skippable(const float* primed, size_t frames) const {
    if (m_bound <= 0.0) return false;
    const unsigned ch = m_channels;
    float largest[2] = {0.0f, 0.0f};
    const size_t n = (kPrime + frames) * ch;
    for (size_t i = 0; i < n; i += ch)
        for (unsigned c = 0; c < ch; ++c) largest[c] = std::max(largest[c], std::fabs(primed[i + c]));
    for (unsigned c = 0; c < ch; ++c) {
        const double a = largest[c];
        if (a * m_bound > m_knownTp[c].load(std::memory_order_relaxed)) return false;
        if (a > m_knownSp[c].load(std::memory_order_relaxed)) return false;
    }
    m_skipped.fetch_add(1, std::memory_order_relaxed);
    return true;
}

void MeterWorker::Found(const double* tp, const double* sp) {
    for (unsigned c = 0; c < m_channels; ++c) {
        RaiseTo(m_knownTp[c], tp[c]);
        RaiseTo(m_knownSp[c], sp[c]);
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
        const float* theirs = part.data.data() + part.own * m_channels;
        if (m_theirs && part.own < part.frames && !Skippable(theirs, part.frames - part.own)) {
            MeasurePeaks(m_theirs, theirs, part.frames - part.own, tp, sp);
            Found(tp, sp);
        }
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
    if (part.own > 0 && !Skippable(part.data.data(), part.own)) {
        MeasurePeaks(m_own, part.data.data(), part.own, m_ownTp, m_ownSp);
        Found(m_ownTp, m_ownSp);
    }
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

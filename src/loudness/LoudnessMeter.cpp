#include "loudness/LoudnessMeter.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "loudness/MeterWorker.h"

namespace {

int ModeFor(int what) {
    int mode = 0;
    if (what & kLoudnessMomentary) mode |= EBUR128_MODE_S;
    if (what & kLoudnessIntegrated) mode |= EBUR128_MODE_I;
    if (what & kLoudnessRange) mode |= EBUR128_MODE_LRA;
    if (what & kLoudnessSamplePeak) mode |= EBUR128_MODE_SAMPLE_PEAK;
    if (what & kLoudnessTruePeak) mode |= EBUR128_MODE_TRUE_PEAK;
    if (what & kLoudnessStreaming) mode |= EBUR128_MODE_HISTOGRAM;
    return mode == 0 ? EBUR128_MODE_M : mode;
}

ebur128_state* St(void* p) { return static_cast<ebur128_state*>(p); }

double Db(double linear) { return linear > 0.0 ? 20.0 * std::log10(linear) : -LoudnessFigures::kSilence; }

// The library says -HUGE_VAL for a programme with nothing above the gate.
double Lufs(double value) { return std::isfinite(value) ? value : -LoudnessFigures::kSilence; }

void Destroy(void*& p) {
    if (!p) return;
    ebur128_state* st = St(p);
    ebur128_destroy(&st);
    p = nullptr;
}

} // namespace

LoudnessMeter::LoudnessMeter() = default;

LoudnessMeter::~LoudnessMeter() {
    m_worker.reset(); // it may be feeding the state
    Destroy(m_state);
}

LoudnessMeter::LoudnessMeter(LoudnessMeter&& other) noexcept
    : m_state(std::exchange(other.m_state, nullptr)), m_channels(other.m_channels), m_what(other.m_what),
      m_worker(std::move(other.m_worker)), m_monoBlock(std::move(other.m_monoBlock)) {}

LoudnessMeter& LoudnessMeter::operator=(LoudnessMeter&& other) noexcept {
    if (this != &other) {
        m_worker.reset(); // it may be feeding the state
        Destroy(m_state);
        m_state = std::exchange(other.m_state, nullptr);
        m_channels = other.m_channels;
        m_what = other.m_what;
        m_worker = std::move(other.m_worker);
        m_monoBlock = std::move(other.m_monoBlock);
    }
    return *this;
}

bool LoudnessMeter::Start(unsigned channels, int32_t rate, int what, std::string& error) {
    m_worker.reset();
    Destroy(m_state);
    if (channels < 1 || channels > 2 || rate < 8000 || rate > 768000) {
        error = "can't measure the loudness of " + std::to_string(channels) + " channels at " + std::to_string(rate) +
                " Hz";
        return false;
    }
    // A parallel meter's true peak, and with it the sample peak, comes from its worker; the
    // state measures the loudness.
    const bool parallel = what & kLoudnessParallel;
    const bool splitPeak = parallel && (what & kLoudnessTruePeak);
    m_state = ebur128_init(channels, static_cast<unsigned long>(rate),
                           ModeFor(splitPeak ? what & ~(kLoudnessTruePeak | kLoudnessSamplePeak) : what));
    if (m_state && parallel) {
        m_worker = std::make_unique<MeterWorker>();
        if (!m_worker->Start(channels, rate, m_state, splitPeak)) {
            m_worker.reset();
            Destroy(m_state);
        }
    }
    if (!m_state) {
        error = "out of memory for the loudness meter";
        return false;
    }
    m_channels = channels;
    m_what = what;
    return true;
}

void LoudnessMeter::AddStereo(const float* interleaved, size_t frames) {
    if (!m_state || !interleaved) return;
    if (m_worker) {
        const float* data = interleaved;
        if (m_channels == 1) {
            m_monoBlock.resize(frames);
            for (size_t i = 0; i < frames; ++i) m_monoBlock[i] = interleaved[2 * i];
            data = m_monoBlock.data();
        }
        m_worker->Add(data, frames);
        return;
    }
    if (m_channels == 2) {
        ebur128_add_frames_float(St(m_state), interleaved, frames);
        return;
    }
    const size_t part = sizeof m_mono / sizeof m_mono[0];
    for (size_t done = 0; done < frames; done += part) {
        const size_t n = std::min(part, frames - done);
        for (size_t i = 0; i < n; ++i) m_mono[i] = interleaved[2 * (done + i)];
        ebur128_add_frames_float(St(m_state), m_mono, n);
    }
}

LoudnessFigures LoudnessMeter::Figures() const {
    LoudnessFigures f;
    if (!m_state) return f;
    if (m_worker) m_worker->Wait();
    double v = 0.0;
    if ((m_what & kLoudnessIntegrated) && ebur128_loudness_global(St(m_state), &v) == EBUR128_SUCCESS)
        f.integrated = Lufs(v);
    if ((m_what & kLoudnessRange) && ebur128_loudness_range(St(m_state), &v) == EBUR128_SUCCESS) f.range = v;
    double sp = 0.0, tp = 0.0;
    const bool splitPeak = m_worker && (m_what & kLoudnessTruePeak);
    if (splitPeak) {
        double tps[2], sps[2];
        m_worker->Peaks(tps, sps);
        sp = std::max(sps[0], sps[1]);
        tp = std::max(tps[0], tps[1]);
    }
    for (unsigned c = 0; c < m_channels && !splitPeak; ++c) {
        if ((m_what & (kLoudnessSamplePeak | kLoudnessTruePeak)) &&
            ebur128_sample_peak(St(m_state), c, &v) == EBUR128_SUCCESS)
            sp = std::max(sp, v);
        if ((m_what & kLoudnessTruePeak) && ebur128_true_peak(St(m_state), c, &v) == EBUR128_SUCCESS)
            tp = std::max(tp, v);
    }
    if (m_what & (kLoudnessSamplePeak | kLoudnessTruePeak)) f.samplePeak = Db(sp);
    // The true peak is never below the sample peak, whatever the oversampling found between.
    if (m_what & kLoudnessTruePeak) f.truePeak = Db(std::max(sp, tp));
    return f;
}

double LoudnessMeter::Momentary() const {
    if (m_worker) m_worker->Wait();
    double v = 0.0;
    if (!m_state || ebur128_loudness_momentary(St(m_state), &v) != EBUR128_SUCCESS) return -LoudnessFigures::kSilence;
    return Lufs(v);
}

double LoudnessMeter::ShortTerm() const {
    if (m_worker) m_worker->Wait();
    double v = 0.0;
    if (!m_state || !(m_what & kLoudnessMomentary) || ebur128_loudness_shortterm(St(m_state), &v) != EBUR128_SUCCESS)
        return -LoudnessFigures::kSilence;
    return Lufs(v);
}

LoudnessFigures LoudnessMeter::Together(const std::vector<const LoudnessMeter*>& meters) {
    LoudnessFigures f;
    std::vector<ebur128_state*> states;
    int what = kLoudnessAll;
    double sp = -LoudnessFigures::kSilence, tp = -LoudnessFigures::kSilence;
    for (const LoudnessMeter* m : meters) {
        if (!m || !m->m_state) continue;
        states.push_back(St(m->m_state));
        what &= m->m_what;
        const LoudnessFigures one = m->Figures();
        sp = std::max(sp, one.samplePeak);
        tp = std::max(tp, one.truePeak);
    }
    if (states.empty()) return f;
    double v = 0.0;
    if ((what & kLoudnessIntegrated) &&
        ebur128_loudness_global_multiple(states.data(), states.size(), &v) == EBUR128_SUCCESS)
        f.integrated = Lufs(v);
    if ((what & kLoudnessRange) && ebur128_loudness_range_multiple(states.data(), states.size(), &v) == EBUR128_SUCCESS)
        f.range = v;
    f.samplePeak = sp;
    f.truePeak = tp;
    return f;
}

std::string LoudnessText(double value, const char* unit) {
    if (!std::isfinite(value)) return std::string(value < 0 ? "-inf " : "inf ") + unit;
    char buf[64];
    // Rounding may leave "-0.0" for a tiny negative figure; a reader wants "0.0".
    double shown = std::round(value * 10.0) / 10.0;
    if (shown == 0.0) shown = 0.0;
    std::snprintf(buf, sizeof buf, "%.1f %s", shown, unit);
    return buf;
}

#include "loudness/LoudnessMeter.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <thread>
#include <utility>

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

LoudnessMeter::~LoudnessMeter() {
    Destroy(m_state);
    Destroy(m_peakStates[0]);
    Destroy(m_peakStates[1]);
}

LoudnessMeter::LoudnessMeter(LoudnessMeter&& other) noexcept
    : m_state(std::exchange(other.m_state, nullptr)), m_channels(other.m_channels), m_what(other.m_what) {
    for (int c = 0; c < 2; ++c) {
        m_peakStates[c] = std::exchange(other.m_peakStates[c], nullptr);
        m_split[c] = std::move(other.m_split[c]);
    }
}

LoudnessMeter& LoudnessMeter::operator=(LoudnessMeter&& other) noexcept {
    if (this != &other) {
        Destroy(m_state);
        m_state = std::exchange(other.m_state, nullptr);
        m_channels = other.m_channels;
        m_what = other.m_what;
        for (int c = 0; c < 2; ++c) {
            Destroy(m_peakStates[c]);
            m_peakStates[c] = std::exchange(other.m_peakStates[c], nullptr);
            m_split[c] = std::move(other.m_split[c]);
        }
    }
    return *this;
}

bool LoudnessMeter::Start(unsigned channels, int32_t rate, int what, std::string& error) {
    Destroy(m_state);
    Destroy(m_peakStates[0]);
    Destroy(m_peakStates[1]);
    if (channels < 1 || channels > 2 || rate < 8000 || rate > 768000) {
        error = "can't measure the loudness of " + std::to_string(channels) + " channels at " + std::to_string(rate) +
                " Hz";
        return false;
    }
    const bool parallel = (what & kLoudnessParallelPeak) && (what & kLoudnessTruePeak) && channels == 2;
    m_state = ebur128_init(channels, static_cast<unsigned long>(rate),
                           ModeFor(parallel ? (what & ~kLoudnessTruePeak) | kLoudnessSamplePeak : what));
    if (parallel)
        for (void*& p : m_peakStates) p = ebur128_init(1, static_cast<unsigned long>(rate), EBUR128_MODE_TRUE_PEAK);
    if (!m_state || (parallel && (!m_peakStates[0] || !m_peakStates[1]))) {
        Destroy(m_state);
        Destroy(m_peakStates[0]);
        Destroy(m_peakStates[1]);
        error = "out of memory for the loudness meter";
        return false;
    }
    m_channels = channels;
    m_what = what;
    return true;
}

void LoudnessMeter::AddStereo(const float* interleaved, size_t frames) {
    if (!m_state || !interleaved) return;
    if (m_channels == 2 && m_peakStates[0]) {
        // Each channel's true peak on its own state: the right one on a second thread while
        // this one measures the loudness and the left one.
        for (int c = 0; c < 2; ++c) {
            m_split[c].resize(frames);
            for (size_t i = 0; i < frames; ++i) m_split[c][i] = interleaved[2 * i + c];
        }
        std::thread right([this, frames] { ebur128_add_frames_float(St(m_peakStates[1]), m_split[1].data(), frames); });
        ebur128_add_frames_float(St(m_state), interleaved, frames);
        ebur128_add_frames_float(St(m_peakStates[0]), m_split[0].data(), frames);
        right.join();
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
    double v = 0.0;
    if ((m_what & kLoudnessIntegrated) && ebur128_loudness_global(St(m_state), &v) == EBUR128_SUCCESS)
        f.integrated = Lufs(v);
    if ((m_what & kLoudnessRange) && ebur128_loudness_range(St(m_state), &v) == EBUR128_SUCCESS) f.range = v;
    double sp = 0.0, tp = 0.0;
    for (unsigned c = 0; c < m_channels; ++c) {
        if ((m_what & (kLoudnessSamplePeak | kLoudnessTruePeak)) &&
            ebur128_sample_peak(St(m_state), c, &v) == EBUR128_SUCCESS)
            sp = std::max(sp, v);
        if ((m_what & kLoudnessTruePeak) && !m_peakStates[0] &&
            ebur128_true_peak(St(m_state), c, &v) == EBUR128_SUCCESS)
            tp = std::max(tp, v);
        if (m_peakStates[0] && ebur128_true_peak(St(m_peakStates[c]), 0, &v) == EBUR128_SUCCESS) tp = std::max(tp, v);
    }
    if (m_what & (kLoudnessSamplePeak | kLoudnessTruePeak)) f.samplePeak = Db(sp);
    // The true peak is never below the sample peak, whatever the oversampling found between.
    if (m_what & kLoudnessTruePeak) f.truePeak = Db(std::max(sp, tp));
    return f;
}

double LoudnessMeter::Momentary() const {
    double v = 0.0;
    if (!m_state || ebur128_loudness_momentary(St(m_state), &v) != EBUR128_SUCCESS) return -LoudnessFigures::kSilence;
    return Lufs(v);
}

double LoudnessMeter::ShortTerm() const {
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

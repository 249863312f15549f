#include "dsp/CDSPEngine.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#define SONQUIL_HAVE_SSE2 1
#else
#define SONQUIL_HAVE_SSE2 0
#endif

namespace {

// Beyond this the curve equals ±1 in float; clamping first keeps u^4 finite.
constexpr float kValveLimit = 1.0e6f;

// Min and max with the SSE operand rule (a < b ? a : b), so a NaN lands on the limit in both
// paths alike.
inline float MinLikeSse(float a, float b) { return a < b ? a : b; }
inline float MaxLikeSse(float a, float b) { return a > b ? a : b; }

inline float ValveOne(float x, float drive, float& peak) {
    float u = MaxLikeSse(MinLikeSse(x * drive, kValveLimit), -kValveLimit);
    float m = std::fabs(u);
    peak = MaxLikeSse(m, peak);
    double d = u;
    double q = d * d;
    return static_cast<float>(d / std::sqrt(std::sqrt(1.0 + q * q)));
}

inline float GainStep(float p, float g, float threshold, float attack, float release, float ratio,
                      bool opto, float& target) {
    if (p < 0.0001f) p = 0.0001f;
    target = p > threshold ? (threshold + (p - threshold) / ratio) / p : 1.0f;
    int k = static_cast<int>(release);
    if (target > 0.5f) k = opto ? k * 4 : k / 4;
    if (k < 1) k = 1; // a release below four samples would divide by zero
    if (target >= g)
        g = g + (target - g) / static_cast<float>(k);
    else
        g = g - (g - target) / attack;
    return g;
}

} // namespace

float CompressorGainStep(float p, float g, float threshold, float attack, float release, float ratio, bool opto,
                         float& target) {
    return GainStep(p, g, threshold, attack, release, ratio, opto, target);
}

float ValveCurve(float u) {
    float peak = 0.0f;
    return ValveOne(u, 1.0f, peak);
}

CDSPEngine::CDSPEngine() = default;

CDSPEngine::~CDSPEngine() { FreeWorkBuffers(); }

bool CDSPEngine::Load(std::string& message) {
    message.clear();
    m_loaded = true;
    return true;
}

void CDSPEngine::Unload() {
    FreeWorkBuffers();
    m_loaded = false;
}

bool CDSPEngine::AllocWorkBuffers() {
    for (int i = 0; i < kWorkBuffers; ++i) {
        if (m_work[i]) continue;
        m_work[i] = static_cast<float*>(AllocMem(kWorkBytes));
        if (!m_work[i]) {
            FreeWorkBuffers();
            return false;
        }
    }
    return true;
}

void CDSPEngine::FreeWorkBuffers() {
    for (auto& w : m_work) {
        FreeMem(w);
        w = nullptr;
    }
}

void* CDSPEngine::AllocMem(size_t size) const {
    if (size == 0) size = 1;
    if (size > (static_cast<size_t>(1) << 40)) return nullptr;
    size_t rounded = (size + kAlignment - 1) / kAlignment * kAlignment;
    void* p = std::aligned_alloc(kAlignment, rounded);
    if (p) std::memset(p, 0, rounded);
    return p;
}

void CDSPEngine::FreeMem(void* p) const { std::free(p); }

uint8_t CDSPEngine::SSESupport() const {
#if SONQUIL_HAVE_SSE2
    __builtin_cpu_init();
    return __builtin_cpu_supports("sse2") ? 1 : 0;
#else
    return 0;
#endif
}

void CDSPEngine::UseSSE(uint8_t on) {
    m_useSSE.store((on && SSESupport()) ? 1 : 0, std::memory_order_relaxed);
}

void CDSPEngine::Sum(float* dst, const float* src, int n) const {
    int i = 0;
#if SONQUIL_HAVE_SSE2
    if (UsingSSE())
        for (; i + 4 <= n; i += 4)
            _mm_storeu_ps(dst + i, _mm_add_ps(_mm_loadu_ps(dst + i), _mm_loadu_ps(src + i)));
#endif
    for (; i < n; ++i) dst[i] += src[i];
}

void CDSPEngine::Sub(float* dst, const float* src, int n) const {
    int i = 0;
#if SONQUIL_HAVE_SSE2
    if (UsingSSE())
        for (; i + 4 <= n; i += 4)
            _mm_storeu_ps(dst + i, _mm_sub_ps(_mm_loadu_ps(dst + i), _mm_loadu_ps(src + i)));
#endif
    for (; i < n; ++i) dst[i] -= src[i];
}

void CDSPEngine::Scale(float* buf, int n, float factor) const {
    int i = 0;
#if SONQUIL_HAVE_SSE2
    if (UsingSSE()) {
        __m128 f = _mm_set1_ps(factor);
        for (; i + 4 <= n; i += 4) _mm_storeu_ps(buf + i, _mm_mul_ps(_mm_loadu_ps(buf + i), f));
    }
#endif
    for (; i < n; ++i) buf[i] *= factor;
}

void CDSPEngine::ClipAtDb(float* buf, int n, float ceilingDb) const {
    const float hi = static_cast<float>(std::pow(10.0, static_cast<double>(ceilingDb) / 20.0));
    const float lo = -hi;
    int i = 0;
#if SONQUIL_HAVE_SSE2
    if (UsingSSE()) {
        __m128 vh = _mm_set1_ps(hi), vl = _mm_set1_ps(lo);
        for (; i + 4 <= n; i += 4)
            _mm_storeu_ps(buf + i, _mm_max_ps(_mm_min_ps(_mm_loadu_ps(buf + i), vh), vl));
    }
#endif
    for (; i < n; ++i) buf[i] = MaxLikeSse(MinLikeSse(buf[i], hi), lo);
}

void CDSPEngine::Valve(float* buf, int n, int sampleRate, float drive, float* peak) const {
    float pk = 0.0f;
    int i = 0;
#if SONQUIL_HAVE_SSE2
    if (UsingSSE()) {
        const __m128 vd = _mm_set1_ps(drive);
        const __m128d one = _mm_set1_pd(1.0);
        const __m128 lim = _mm_set1_ps(kValveLimit), nlim = _mm_set1_ps(-kValveLimit);
        const __m128 absMask = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
        __m128 vp = _mm_setzero_ps();
        for (; i + 4 <= n; i += 4) {
            __m128 u = _mm_max_ps(_mm_min_ps(_mm_mul_ps(_mm_loadu_ps(buf + i), vd), lim), nlim);
            vp = _mm_max_ps(_mm_and_ps(u, absMask), vp);
            // In double, like the plain path, so rounding cannot break monotonicity near ±1.
            __m128d lo = _mm_cvtps_pd(u), hi = _mm_cvtps_pd(_mm_movehl_ps(u, u));
            __m128d qlo = _mm_mul_pd(lo, lo), qhi = _mm_mul_pd(hi, hi);
            __m128d dlo = _mm_sqrt_pd(_mm_sqrt_pd(_mm_add_pd(one, _mm_mul_pd(qlo, qlo))));
            __m128d dhi = _mm_sqrt_pd(_mm_sqrt_pd(_mm_add_pd(one, _mm_mul_pd(qhi, qhi))));
            __m128 ylo = _mm_cvtpd_ps(_mm_div_pd(lo, dlo)), yhi = _mm_cvtpd_ps(_mm_div_pd(hi, dhi));
            _mm_storeu_ps(buf + i, _mm_movelh_ps(ylo, yhi));
        }
        alignas(16) float lanes[4];
        _mm_store_ps(lanes, vp);
        for (float l : lanes) pk = MaxLikeSse(l, pk);
    }
#endif
    for (; i < n; ++i) buf[i] = ValveOne(buf[i], drive, pk);
    if (peak) *peak = pk;
}

void CDSPEngine::Compress(float* left, float* right, int n, float* gain, float* scratch, float threshold,
                          float attack, float release, float ratio, float* minGain, uint8_t opto) const {
    // The gain follows the signal sample by sample, so the recursion itself is serial; the SSE
    // path only forms the stereo peaks four at a time (max and abs are exact, so both agree).
    float g = *gain;
    float m = minGain ? *minGain : 1.0f;
    float target = scratch ? *scratch : 1.0f;
    const bool op = opto != 0;
    int i = 0;
#if SONQUIL_HAVE_SSE2
    if (UsingSSE()) {
        const __m128 absMask = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
        alignas(16) float p4[4];
        for (; i + 4 <= n; i += 4) {
            __m128 p = _mm_max_ps(_mm_and_ps(_mm_loadu_ps(left + i), absMask),
                                  _mm_and_ps(_mm_loadu_ps(right + i), absMask));
            _mm_store_ps(p4, p);
            for (int j = 0; j < 4; ++j) {
                g = GainStep(p4[j], g, threshold, attack, release, ratio, op, target);
                if (g < m) m = g;
                left[i + j] *= g;
                right[i + j] *= g;
            }
        }
    }
#endif
    for (; i < n; ++i) {
        float p = MaxLikeSse(std::fabs(left[i]), std::fabs(right[i]));
        g = GainStep(p, g, threshold, attack, release, ratio, op, target);
        if (g < m) m = g;
        left[i] *= g;
        right[i] *= g;
    }
    *gain = g;
    if (scratch) *scratch = target;
    if (minGain) *minGain = m;
}

CDSPEngine& DSPEngine() {
    static CDSPEngine engine;
    return engine;
}

#include "dsp/CDSPEngine.h"

#include "dsp/BiquadLanes.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#define SONQUIL_HAVE_SSE2 1
#else
#define SONQUIL_HAVE_SSE2 0
#endif
#if SONQUIL_HAVE_SSE2 && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define SONQUIL_HAVE_AVX 1
#else
#define SONQUIL_HAVE_AVX 0
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

#if SONQUIL_HAVE_AVX
// The valve curve four samples at a time with the double part on 256-bit vectors: the same
// operations as the SSE2 loop below, twice as wide, where the processor has them. Returns how
// many samples it did; *vp collects the magnitudes for the peak.
__attribute__((target("avx"))) int ValveAvx(float* buf, int n, float drive, __m128* vp) {
    const __m128 vd = _mm_set1_ps(drive);
    const __m256d one = _mm256_set1_pd(1.0);
    const __m128 lim = _mm_set1_ps(kValveLimit), nlim = _mm_set1_ps(-kValveLimit);
    const __m128 absMask = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    __m128 peak = *vp;
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128 u = _mm_max_ps(_mm_min_ps(_mm_mul_ps(_mm_loadu_ps(buf + i), vd), lim), nlim);
        peak = _mm_max_ps(_mm_and_ps(u, absMask), peak);
        const __m256d d = _mm256_cvtps_pd(u);
        const __m256d q = _mm256_mul_pd(d, d);
        const __m256d r = _mm256_sqrt_pd(_mm256_sqrt_pd(_mm256_add_pd(one, _mm256_mul_pd(q, q))));
        _mm_storeu_ps(buf + i, _mm256_cvtpd_ps(_mm256_div_pd(d, r)));
    }
    *vp = peak;
    return i;
}

// The whole valve stage in one pass; see CDSPEngine::ValveStage. The high-pass recursion is
// serial and waits on its own latency, so the saturation of the four bands rides along in its
// shadow instead of taking passes of its own.
__attribute__((target("avx"))) void ValveStageAvx(float* left, float* right, int n, const BiquadCoefs& c,
                                                  BiquadHistory& hl, BiquadHistory& hr, float drive,
                                                  float peaks[4]) {
    auto f = [](double v) { return static_cast<float>(v); };
    const __m128 b0 = _mm_set1_ps(f(c.b0)), b1 = _mm_set1_ps(f(c.b1));
    const __m128 a1 = _mm_set1_ps(f(c.a1)), a2 = _mm_set1_ps(f(c.a2));
    __m128 x1 = _mm_setr_ps(hl.x1, hr.x1, 0.0f, 0.0f), x2 = _mm_setr_ps(hl.x2, hr.x2, 0.0f, 0.0f);
    __m128 y1 = _mm_setr_ps(hl.y1, hr.y1, 0.0f, 0.0f), y2 = _mm_setr_ps(hl.y2, hr.y2, 0.0f, 0.0f);
    const __m128 vd = _mm_set1_ps(drive);
    const __m256d one = _mm256_set1_pd(1.0);
    const __m128 lim = _mm_set1_ps(kValveLimit), nlim = _mm_set1_ps(-kValveLimit);
    const __m128 absMask = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    __m128 peak = _mm_setzero_ps();
    for (int i = 0; i < n; ++i) {
        // The split: y = b0·(x + x2) + b1·x1 − a1·y1 − a2·y2 on (left, right).
        const __m128 x = _mm_unpacklo_ps(_mm_load_ss(left + i), _mm_load_ss(right + i));
        __m128 y = _mm_mul_ps(b0, _mm_add_ps(x, x2));
        y = _mm_add_ps(y, _mm_mul_ps(b1, x1));
        y = _mm_sub_ps(y, _mm_mul_ps(a1, y1));
        y = _mm_sub_ps(y, _mm_mul_ps(a2, y2));
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        // Low left, low right, high left, high right through the curve.
        const __m128 bands = _mm_movelh_ps(_mm_sub_ps(x, y), y);
        const __m128 u = _mm_max_ps(_mm_min_ps(_mm_mul_ps(bands, vd), lim), nlim);
        peak = _mm_max_ps(_mm_and_ps(u, absMask), peak);
        const __m256d d = _mm256_cvtps_pd(u);
        const __m256d q = _mm256_mul_pd(d, d);
        const __m256d r = _mm256_sqrt_pd(_mm256_sqrt_pd(_mm256_add_pd(one, _mm256_mul_pd(q, q))));
        const __m128 v = _mm256_cvtpd_ps(_mm256_div_pd(d, r));
        // Low plus high.
        const __m128 sum = _mm_add_ps(v, _mm_movehl_ps(v, v));
        _mm_store_ss(left + i, sum);
        _mm_store_ss(right + i, _mm_shuffle_ps(sum, sum, _MM_SHUFFLE(1, 1, 1, 1)));
    }
    alignas(16) float h[4][4];
    _mm_store_ps(h[0], x1);
    _mm_store_ps(h[1], x2);
    _mm_store_ps(h[2], y1);
    _mm_store_ps(h[3], y2);
    hl = {h[0][0], h[1][0], h[2][0], h[3][0]};
    hr = {h[0][1], h[1][1], h[2][1], h[3][1]};
    _mm_storeu_ps(peaks, peak);
}

bool HaveAvx() {
    static const bool have = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx") != 0;
    }();
    return have;
}
#endif

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
#if SONQUIL_HAVE_AVX
        if (HaveAvx()) i = ValveAvx(buf, n, drive, &vp);
#endif
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

namespace {

void CompressPlain(float* left, float* right, int n, float* gain, float* scratch, float threshold, float attack,
                   float release, float ratio, float* minGain, bool opto) {
    float g = *gain;
    float m = minGain ? *minGain : 1.0f;
    float target = scratch ? *scratch : 1.0f;
    for (int i = 0; i < n; ++i) {
        float p = MaxLikeSse(std::fabs(left[i]), std::fabs(right[i]));
        g = GainStep(p, g, threshold, attack, release, ratio, opto, target);
        if (g < m) m = g;
        left[i] *= g;
        right[i] *= g;
    }
    *gain = g;
    if (scratch) *scratch = target;
    if (minGain) *minGain = m;
}

#if SONQUIL_HAVE_SSE2
inline __m128 Select(__m128 mask, __m128 a, __m128 b) {
    return _mm_or_ps(_mm_and_ps(mask, a), _mm_andnot_ps(mask, b));
}

// The gain computer of GainStep on one band per lane. The gain recursion is serial within a band
// but independent across bands, so the lanes run side by side; the wanted gains and release
// divisors depend on the signal only and are formed four samples at a time per band, off the
// recursion's path. Every lane does GainStep's operations in its order, so the results match the
// plain path bit for bit. Lanes past the last band see silence and are never stored.
class GainLanes {
public:
    GainLanes(int bands, const float* gain, const float* scratch, const float* minGain, float threshold, float attack,
              float release, float ratio, bool opto)
        : m_bands(bands), m_T(_mm_set1_ps(threshold)), m_R(_mm_set1_ps(ratio)), m_A(_mm_set1_ps(attack)) {
        // GainStep's release divisors: one while more than about 6 dB of reduction is wanted,
        // the other (four times longer or shorter) below that; never below one sample.
        int k = static_cast<int>(release);
        int kLess = opto ? k * 4 : k / 4;
        if (kLess < 1) kLess = 1;
        if (k < 1) k = 1;
        m_kMore = _mm_set1_ps(static_cast<float>(k));
        m_kLess = _mm_set1_ps(static_cast<float>(kLess));
        alignas(16) float g[4] = {1.0f, 1.0f, 1.0f, 1.0f}, m[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        alignas(16) float t[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        for (int b = 0; b < bands; ++b) {
            g[b] = gain[b];
            if (minGain) m[b] = minGain[b];
            if (scratch) t[b] = scratch[b];
        }
        m_G = _mm_load_ps(g);
        m_M = _mm_load_ps(m);
        m_last = _mm_load_ps(t);
    }

    // The stereo peak of four samples of a band.
    [[gnu::always_inline]] static inline __m128 Peak(__m128 l, __m128 r) {
        const __m128 absMask = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
        return _mm_max_ps(_mm_and_ps(l, absMask), _mm_and_ps(r, absMask));
    }

    // p[b]: the peaks of the next four samples of band b; gs[b] receives their gains. Inlined, so
    // the gains stay in registers from one group to the next.
    [[gnu::always_inline]] inline void Group(const __m128 p[4], __m128 gs[4]) {
        const __m128 floorP = _mm_set1_ps(0.0001f), one = _mm_set1_ps(1.0f), half = _mm_set1_ps(0.5f);
        __m128 tg[4], kd[4];
        for (int b = 0; b < 4; ++b) {
            const __m128 q = _mm_max_ps(floorP, p[b]); // floor > p ? floor : p, so a NaN stays as GainStep keeps it
            const __m128 reduced = _mm_div_ps(_mm_add_ps(m_T, _mm_div_ps(_mm_sub_ps(q, m_T), m_R)), q);
            tg[b] = Select(_mm_cmpgt_ps(q, m_T), reduced, one);
            kd[b] = Select(_mm_cmpgt_ps(tg[b], half), m_kLess, m_kMore);
        }
        // From one vector per band to one vector per sample.
        _MM_TRANSPOSE4_PS(tg[0], tg[1], tg[2], tg[3]);
        _MM_TRANSPOSE4_PS(kd[0], kd[1], kd[2], kd[3]);
        for (int j = 0; j < 4; ++j) {
            // Recovering, G + (t − G) / k; attacking, G − (G − t) / attack, which is the same
            // number as G + (t − G) / attack: there t < G, and rounding is symmetric, so G − t is
            // exactly −(t − G) and so is its quotient. One division on the recursion's path.
            const __m128 t = tg[j];
            const __m128 up = _mm_cmpge_ps(t, m_G);
            m_G = _mm_add_ps(m_G, _mm_div_ps(_mm_sub_ps(t, m_G), Select(up, kd[j], m_A)));
            m_M = _mm_min_ps(m_G, m_M); // G < M ? G : M
            gs[j] = m_G;
        }
        m_last = tg[3];
        _MM_TRANSPOSE4_PS(gs[0], gs[1], gs[2], gs[3]);
    }

    void Store(float* gain, float* scratch, float* minGain) const {
        alignas(16) float g[4], m[4], t[4];
        _mm_store_ps(g, m_G);
        _mm_store_ps(m, m_M);
        _mm_store_ps(t, m_last);
        for (int b = 0; b < m_bands; ++b) {
            gain[b] = g[b];
            if (scratch) scratch[b] = t[b];
            if (minGain) minGain[b] = m[b];
        }
    }

private:
    int m_bands;
    __m128 m_T, m_R, m_A, m_kMore, m_kLess;
    __m128 m_G, m_M, m_last;
};

// The last samples of a block, fewer than a group, one band at a time.
void CompressTail(float* const* left, float* const* right, int bands, int from, int n, float* gain, float* scratch,
                  float threshold, float attack, float release, float ratio, float* minGain, bool opto) {
    for (int b = 0; b < bands; ++b) {
        float target = scratch ? scratch[b] : 1.0f;
        CompressPlain(left[b] + from, right[b] + from, n - from, &gain[b], &target, threshold, attack, release, ratio,
                      minGain ? &minGain[b] : nullptr, opto);
        if (scratch) scratch[b] = target;
    }
}

void CompressLanes(float* const* left, float* const* right, int bands, int n, float* gain, float* scratch,
                   float threshold, float attack, float release, float ratio, float* minGain, bool opto) {
    GainLanes lanes(bands, gain, scratch, minGain, threshold, attack, release, ratio, opto);
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        __m128 l[4], r[4], p[4], gs[4];
        for (int b = 0; b < 4; ++b) {
            p[b] = _mm_setzero_ps();
            if (b >= bands) continue;
            l[b] = _mm_loadu_ps(left[b] + i);
            r[b] = _mm_loadu_ps(right[b] + i);
            p[b] = GainLanes::Peak(l[b], r[b]);
        }
        lanes.Group(p, gs);
        for (int b = 0; b < bands; ++b) {
            _mm_storeu_ps(left[b] + i, _mm_mul_ps(l[b], gs[b]));
            _mm_storeu_ps(right[b] + i, _mm_mul_ps(r[b], gs[b]));
        }
    }
    lanes.Store(gain, scratch, minGain);
    CompressTail(left, right, bands, i, n, gain, scratch, threshold, attack, release, ratio, minGain, opto);
}

// The compressor's multi-band path in one pass: the two splits in series run a group ahead of
// the gain computers, which take the bands as the splits make them and add them back at once.
// Both recursions wait on their own latency, so together they take little more than the slower.
void CompressSplitLanes(float* left, float* right, float* mhLeft, float* mhRight, float* highLeft,
                        float* highRight, int n, const BiquadCoefs& first, const BiquadCoefs& second,
                        BiquadHistory* firstHist, BiquadHistory* secondHist, float* gain, float* scratch,
                        float threshold, float attack, float release, float ratio, float* minGain, bool opto) {
    // The first sample of the first split alone, then both splits one sample apart.
    RunBiquadSymmetricPair(first, firstHist[0], firstHist[1], left, right, mhLeft, mhRight, 1);
    const BiquadCoefs* const coefs[4] = {&first, &first, &second, &second};
    BiquadHistory* const hist[4] = {&firstHist[0], &firstHist[1], &secondHist[0], &secondHist[1]};
    SymmetricLanes split;
    split.Load(coefs, hist);
    GainLanes lanes(3, gain, scratch, minGain, threshold, attack, release, ratio, opto);
    // The split outputs go from register to register: the bands of a group are gathered from the
    // four steps that made them (mid+high of its first sample from the step before), never read
    // back from memory right after single-value stores.
    __m128 lastMid = _mm_unpacklo_ps(_mm_load_ss(mhLeft), _mm_load_ss(mhRight)); // mid+high (left, right) of sample i
    int i = 0;
    for (; i + 4 < n; i += 4) {
        // Mid+high for samples i + 1 to i + 4, high for samples i to i + 3.
        __m128 y[4];
        for (int j = 0; j < 4; ++j) {
            const int t = i + 1 + j;
            y[j] = split.Step(_mm_movelh_ps(LoadPair(left, right, t), split.y1));
            _mm_store_ss(mhLeft + t, y[j]);
            _mm_store_ss(mhRight + t, _mm_shuffle_ps(y[j], y[j], _MM_SHUFFLE(1, 1, 1, 1)));
            _mm_store_ss(highLeft + t - 1, _mm_shuffle_ps(y[j], y[j], _MM_SHUFFLE(2, 2, 2, 2)));
            _mm_store_ss(highRight + t - 1, _mm_shuffle_ps(y[j], y[j], _MM_SHUFFLE(3, 3, 3, 3)));
        }
        _MM_TRANSPOSE4_PS(y[0], y[1], y[2], y[3]);
        // y[0], y[1]: mid+high left and right of samples i + 1 to i + 4; y[2], y[3]: high of i to i + 3.
        const __m128 shiftedL = _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(y[0]), 4));
        const __m128 shiftedR = _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(y[1]), 4));
        const __m128 ml = _mm_move_ss(shiftedL, lastMid);
        const __m128 mr = _mm_move_ss(shiftedR, _mm_shuffle_ps(lastMid, lastMid, _MM_SHUFFLE(1, 1, 1, 1)));
        lastMid = _mm_unpackhi_ps(_mm_shuffle_ps(y[0], y[0], _MM_SHUFFLE(3, 3, 3, 3)),
                                  _mm_shuffle_ps(y[1], y[1], _MM_SHUFFLE(3, 3, 3, 3)));
        const __m128 hl = y[2], hr = y[3];
        const __m128 xl = _mm_loadu_ps(left + i), xr = _mm_loadu_ps(right + i);
        // Low = input − mid+high, mid = mid+high − high, as the Sub kernel forms them.
        const __m128 lowL = _mm_sub_ps(xl, ml), lowR = _mm_sub_ps(xr, mr);
        const __m128 midL = _mm_sub_ps(ml, hl), midR = _mm_sub_ps(mr, hr);
        const __m128 p[4] = {GainLanes::Peak(lowL, lowR), GainLanes::Peak(midL, midR), GainLanes::Peak(hl, hr),
                             _mm_setzero_ps()};
        __m128 gs[4];
        lanes.Group(p, gs);
        // (low + mid) + high, each at its gain, the order of the two Sum passes.
        _mm_storeu_ps(left + i,
                      _mm_add_ps(_mm_add_ps(_mm_mul_ps(lowL, gs[0]), _mm_mul_ps(midL, gs[1])), _mm_mul_ps(hl, gs[2])));
        _mm_storeu_ps(right + i,
                      _mm_add_ps(_mm_add_ps(_mm_mul_ps(lowR, gs[0]), _mm_mul_ps(midR, gs[1])), _mm_mul_ps(hr, gs[2])));
    }
    for (int t = i + 1; t < n; ++t) SeriesStep(split, left, right, mhLeft, mhRight, highLeft, highRight, t);
    split.Store(hist);
    RunBiquadSymmetricPair(second, secondHist[0], secondHist[1], mhLeft + n - 1, mhRight + n - 1, highLeft + n - 1,
                           highRight + n - 1, 1);
    lanes.Store(gain, scratch, minGain);
    // The rest step by step.
    for (int k = i; k < n; ++k) {
        left[k] -= mhLeft[k];
        right[k] -= mhRight[k];
        mhLeft[k] -= highLeft[k];
        mhRight[k] -= highRight[k];
    }
    float* const bl[3] = {left, mhLeft, highLeft};
    float* const br[3] = {right, mhRight, highRight};
    CompressTail(bl, br, 3, i, n, gain, scratch, threshold, attack, release, ratio, minGain, opto);
    for (int k = i; k < n; ++k) {
        left[k] = (left[k] + mhLeft[k]) + highLeft[k];
        right[k] = (right[k] + mhRight[k]) + highRight[k];
    }
}
#endif

} // namespace

void CDSPEngine::CompressSplit(float* left, float* right, float* mhLeft, float* mhRight, float* highLeft,
                               float* highRight, int n, const BiquadCoefs& first, const BiquadCoefs& second,
                               BiquadHistory firstHist[2], BiquadHistory secondHist[2], float* gain, float* scratch,
                               float threshold, float attack, float release, float ratio, float* minGain,
                               uint8_t opto) const {
    if (n <= 0 || !left || !right || !mhLeft || !mhRight || !highLeft || !highRight || !gain) return;
#if SONQUIL_HAVE_SSE2
    if (UsingSSE()) {
        CompressSplitLanes(left, right, mhLeft, mhRight, highLeft, highRight, n, first, second, firstHist, secondHist,
                           gain, scratch, threshold, attack, release, ratio, minGain, opto != 0);
        return;
    }
#endif
    RunBiquadSymmetricSeries(first, second, firstHist, secondHist, left, right, mhLeft, mhRight, highLeft, highRight,
                             n);
    Sub(left, mhLeft, n);
    Sub(right, mhRight, n);
    Sub(mhLeft, highLeft, n);
    Sub(mhRight, highRight, n);
    float* const bandLeft[3] = {left, mhLeft, highLeft};
    float* const bandRight[3] = {right, mhRight, highRight};
    CompressBands(bandLeft, bandRight, 3, n, gain, scratch, threshold, attack, release, ratio, minGain, opto);
    Sum(left, mhLeft, n);
    Sum(right, mhRight, n);
    Sum(left, highLeft, n);
    Sum(right, highRight, n);
}

void CDSPEngine::ValveStage(float* left, float* right, float* highLeft, float* highRight, int n, int sampleRate,
                            const BiquadCoefs& split, BiquadHistory& histLeft, BiquadHistory& histRight, float drive,
                            float peaks[4]) const {
    for (int i = 0; i < 4; ++i) peaks[i] = 0.0f;
    if (n <= 0 || !left || !right) return;
#if SONQUIL_HAVE_AVX
    if (UsingSSE() && HaveAvx()) {
        ValveStageAvx(left, right, n, split, histLeft, histRight, drive, peaks);
        return;
    }
#endif
    if (!highLeft || !highRight) return;
    RunBiquadSymmetricPair(split, histLeft, histRight, left, right, highLeft, highRight, n);
    Sub(left, highLeft, n);
    Sub(right, highRight, n);
    Valve(left, n, sampleRate, drive, &peaks[0]);
    Valve(right, n, sampleRate, drive, &peaks[1]);
    Valve(highLeft, n, sampleRate, drive, &peaks[2]);
    Valve(highRight, n, sampleRate, drive, &peaks[3]);
    Sum(left, highLeft, n);
    Sum(right, highRight, n);
}

void CDSPEngine::Compress(float* left, float* right, int n, float* gain, float* scratch, float threshold,
                          float attack, float release, float ratio, float* minGain, uint8_t opto) const {
    if (!gain || !left || !right || n <= 0) return;
#if SONQUIL_HAVE_SSE2
    if (UsingSSE()) {
        CompressLanes(&left, &right, 1, n, gain, scratch, threshold, attack, release, ratio, minGain, opto != 0);
        return;
    }
#endif
    CompressPlain(left, right, n, gain, scratch, threshold, attack, release, ratio, minGain, opto != 0);
}

void CDSPEngine::CompressBands(float* const* left, float* const* right, int bands, int n, float* gain,
                               float* scratch, float threshold, float attack, float release, float ratio,
                               float* minGain, uint8_t opto) const {
    if (!left || !right || !gain || n <= 0 || bands <= 0) return;
    if (bands > kMaxBands) bands = kMaxBands;
    for (int b = 0; b < bands; ++b)
        if (!left[b] || !right[b]) return;
#if SONQUIL_HAVE_SSE2
    if (UsingSSE()) {
        CompressLanes(left, right, bands, n, gain, scratch, threshold, attack, release, ratio, minGain, opto != 0);
        return;
    }
#endif
    for (int b = 0; b < bands; ++b)
        CompressPlain(left[b], right[b], n, &gain[b], scratch ? &scratch[b] : nullptr, threshold, attack, release,
                      ratio, minGain ? &minGain[b] : nullptr, opto != 0);
}

CDSPEngine& DSPEngine() {
    static CDSPEngine engine;
    return engine;
}

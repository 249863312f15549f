#include "export/ChunkStage.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The conversion kernel: v × scale in double, held to [−scale − 1, scale], truncated toward
// zero. Branch-free because these loops touch every exported sample; NaN (never produced by
// the render) becomes 0 instead of an undefined conversion.
inline int32_t Held(double v, double scale) {
    const double lo = -scale - 1.0;
    double s = v * scale;
    s = s == s ? s : 0.0;
    s = s < scale ? s : scale;
    s = s > lo ? s : lo;
    return static_cast<int32_t>(s);
}

double ScaleOf(int32_t bits) { return bits == 8 ? 127.0 : bits == 24 ? 8388607.0 : 32767.0; }

#if defined(__SSE2__)
// Four samples at a time, the same operations as Held in the same order: widen to double,
// multiply, zero NaN, hold (minpd / maxpd pick the bound exactly where Held does), truncate.
inline __m128i Held4(const float* in, __m128d scale, __m128d lo) {
    const __m128 f = _mm_loadu_ps(in);
    __m128d a = _mm_mul_pd(_mm_cvtps_pd(f), scale);
    __m128d b = _mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(f, f)), scale);
    a = _mm_max_pd(_mm_min_pd(_mm_and_pd(a, _mm_cmpord_pd(a, a)), scale), lo);
    b = _mm_max_pd(_mm_min_pd(_mm_and_pd(b, _mm_cmpord_pd(b, b)), scale), lo);
    return _mm_unpacklo_epi64(_mm_cvttpd_epi32(a), _mm_cvttpd_epi32(b));
}
#endif

// Stereo: every sample on its own. Each group is loaded before its slots are stored, so the
// output may be the input buffer itself (the int32 case converts in place).
void ConvertStereo32(const float* in, int32_t samples, double scale, void* out) {
    int32_t i = 0;
#if defined(__SSE2__)
    const __m128d sc = _mm_set1_pd(scale), lo = _mm_set1_pd(-scale - 1.0);
    auto* o = static_cast<unsigned char*>(out);
    for (; i + 4 <= samples; i += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 4 * static_cast<size_t>(i)), Held4(in + i, sc, lo));
#endif
    for (; i < samples; ++i) {
        const int32_t v = Held(in[i], scale);
        std::memcpy(static_cast<unsigned char*>(out) + 4 * static_cast<size_t>(i), &v, 4);
    }
}

void ConvertStereo16(const float* in, int32_t samples, int16_t* out) {
    int32_t i = 0;
#if defined(__SSE2__)
    const __m128d sc = _mm_set1_pd(32767.0), lo = _mm_set1_pd(-32768.0);
    // The values are already in the 16-bit range, so the saturating pack only narrows.
    for (; i + 8 <= samples; i += 8)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_packs_epi32(Held4(in + i, sc, lo), Held4(in + i + 4, sc, lo)));
#endif
    for (; i < samples; ++i) out[i] = static_cast<int16_t>(Held(in[i], 32767.0));
}

// Mono: the mean of left and right, computed in double.
template <typename Out> void ConvertMono(const float* in, int32_t frames, double scale, Out* out) {
    for (int32_t i = 0; i < frames; ++i)
        out[i] = static_cast<Out>(Held((static_cast<double>(in[2 * i]) + in[2 * i + 1]) * 0.5, scale));
}

} // namespace

int16_t FloatToInt16(double v) { return static_cast<int16_t>(Held(v, 32767.0)); }

int32_t FloatToIntBits(double v, int32_t bits) { return Held(v, ScaleOf(bits)); }

void ConvertToInt16(const float* in, int32_t frames, uint32_t channels, int16_t* out) {
    if (channels == 1) {
        ConvertMono(in, frames, 32767.0, out);
    } else {
        ConvertStereo16(in, 2 * frames, out);
    }
}

void ConvertToInt32InPlace(float* buffer, int32_t frames, uint32_t channels, int32_t bits) {
    const double scale = ScaleOf(bits);
    if (channels == 1) {
        // Output slot i comes from input slots 2i and 2i + 1, at or after it. A block of frames
        // is converted into a local array and then copied down: its input is read whole before
        // any of it is overwritten. The integers go in through memcpy: the objects are floats.
        constexpr int32_t kBlock = 256;
        int32_t tmp[kBlock];
        for (int32_t at = 0; at < frames; at += kBlock) {
            const int32_t n = frames - at < kBlock ? frames - at : kBlock;
            ConvertMono(buffer + 2 * at, n, scale, tmp);
            std::memcpy(buffer + at, tmp, static_cast<size_t>(n) * 4);
        }
    } else {
        ConvertStereo32(buffer, 2 * frames, scale, buffer);
    }
}

bool ChunkStage::Reset(int32_t chunkSamples) {
    m_fill = 0;
    if (chunkSamples < 1 || chunkSamples > kStageSamples) return false;
    m_chunk = chunkSamples;
    return true;
}

#include "audiofile/Pcm16Copy.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "audiofile/PeakFile.h"

namespace {

inline uint16_t Swap16(uint16_t v) { return static_cast<uint16_t>((v << 8) | (v >> 8)); }

// The largest |x| of each channel over samples values (interleaved when stereo).
void Maxima(const int16_t* p, int64_t samples, int channels, int32_t& left, int32_t& right) {
    int32_t a = 0, b = 0;
    int64_t i = 0;
#if defined(__SSE2__)
    if (samples % 8 == 0) {
        // The largest and the smallest value of every lane; |x| at its largest is the larger
        // of the two magnitudes. Lanes alternate left and right.
        __m128i hi = _mm_set1_epi16(INT16_MIN), lo = _mm_set1_epi16(INT16_MAX);
        for (; i < samples; i += 8) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            hi = _mm_max_epi16(hi, x);
            lo = _mm_min_epi16(lo, x);
        }
        alignas(16) int16_t h[8], l[8];
        _mm_store_si128(reinterpret_cast<__m128i*>(h), hi);
        _mm_store_si128(reinterpret_cast<__m128i*>(l), lo);
        for (int k = 0; k < 8; k += 2) {
            a = std::max({a, static_cast<int32_t>(h[k]), -static_cast<int32_t>(l[k])});
            b = std::max({b, static_cast<int32_t>(h[k + 1]), -static_cast<int32_t>(l[k + 1])});
        }
    }
#endif
    for (; i < samples; i += channels) {
        a = std::max(a, std::abs(static_cast<int32_t>(p[i])));
        if (channels == 2) b = std::max(b, std::abs(static_cast<int32_t>(p[i + 1])));
    }
    if (channels == 1) b = a = std::max(a, b);
    left = a;
    right = b;
}

// The sums of |x| of each channel over samples values.
void Sums(const int16_t* p, int64_t samples, int channels, int64_t& left, int64_t& right) {
    int64_t a = 0, b = 0;
    int64_t i = 0;
#if defined(__SSE2__)
    if (samples % 8 == 0 && samples <= 65536) {
        // |x| as an unsigned 16-bit value (|−32768| = 32768 fits), widened to 32 bits: lanes
        // 0 and 2 gather the left channel, 1 and 3 the right. 65536 values of at most 32768
        // stay below 2^31 per lane.
        const __m128i zero = _mm_setzero_si128();
        __m128i acc = zero;
        for (; i < samples; i += 8) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            const __m128i s = _mm_srai_epi16(x, 15);
            const __m128i m = _mm_sub_epi16(_mm_xor_si128(x, s), s);
            acc = _mm_add_epi32(acc, _mm_unpacklo_epi16(m, zero));
            acc = _mm_add_epi32(acc, _mm_unpackhi_epi16(m, zero));
        }
        alignas(16) int32_t v[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(v), acc);
        a = static_cast<int64_t>(v[0]) + v[2];
        b = static_cast<int64_t>(v[1]) + v[3];
    }
#endif
    for (; i < samples; i += channels) {
        a += std::abs(static_cast<int32_t>(p[i]));
        if (channels == 2) b += std::abs(static_cast<int32_t>(p[i + 1]));
    }
    if (channels == 1) b = a = a + b;
    left = a;
    right = b;
}

// x − sign(x) for every value, then into the target's byte order.
void Narrow(int16_t* p, int64_t samples, bool swapOut) {
    int64_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; i + 8 <= samples; i += 8) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i positive = _mm_cmpgt_epi16(x, zero); // −1 where x > 0
        const __m128i negative = _mm_srai_epi16(x, 15);    // −1 where x < 0
        x = _mm_sub_epi16(_mm_add_epi16(x, positive), negative);
        if (swapOut) x = _mm_or_si128(_mm_slli_epi16(x, 8), _mm_srli_epi16(x, 8));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), x);
    }
#endif
    for (; i < samples; ++i) {
        const int32_t x = p[i];
        const int16_t y = static_cast<int16_t>(x - (x > 0) + (x < 0));
        p[i] = swapOut ? static_cast<int16_t>(Swap16(static_cast<uint16_t>(y))) : y;
    }
}

constexpr float kInv32768 = 1.0f / 32768.0f;

} // namespace

bool CopiesAsPcm16(SampleCoding from, SampleCoding to) {
    const auto is16 = [](SampleCoding c) { return c == SampleCoding::S16LE || c == SampleCoding::S16BE; };
    return std::endian::native == std::endian::little && is16(from) && is16(to);
}

void CopyPcm16Block(void* bytes, int32_t frames, int channels, SampleCoding from, SampleCoding to, PeakBuffers& buffers,
                    int32_t framesPerEntry, int32_t framesPerLevel) {
    if (bytes == nullptr || frames <= 0 || (channels != 1 && channels != 2)) return;
    auto* p = static_cast<int16_t*>(bytes);
    const int64_t samples = static_cast<int64_t>(frames) * channels;
    if (from == SampleCoding::S16BE)
        for (int64_t i = 0; i < samples; ++i) p[i] = static_cast<int16_t>(Swap16(static_cast<uint16_t>(p[i])));

    // Whole entries and whole level blocks only, counted afresh for every block.
    if (framesPerEntry > 0) {
        const int64_t per = static_cast<int64_t>(framesPerEntry) * channels;
        for (int64_t at = 0; at + per <= samples; at += per) {
            int32_t l = 0, r = 0;
            Maxima(p + at, per, channels, l, r);
            AppendPeakEntry(buffers, static_cast<float>(l) * kInv32768, static_cast<float>(r) * kInv32768);
        }
    }
    if (framesPerLevel > 0) {
        const int64_t per = static_cast<int64_t>(framesPerLevel) * channels;
        for (int64_t at = 0; at + per <= samples; at += per) {
            int64_t l = 0, r = 0;
            Sums(p + at, per, channels, l, r);
            AppendLevelPair(buffers, static_cast<double>(l) / 32768.0 / framesPerLevel,
                            static_cast<double>(r) / 32768.0 / framesPerLevel);
        }
    }
    Narrow(p, samples, to == SampleCoding::S16BE);
}

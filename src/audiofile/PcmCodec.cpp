#include "audiofile/PcmCodec.h"

#include <algorithm>
#include <bit>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr float kInv128 = 1.0f / 128.0f;
constexpr float kInv32768 = 1.0f / 32768.0f;
constexpr float kInv8388608 = 1.0f / 8388608.0f;
constexpr double kInv2147483648 = 1.0 / 2147483648.0;

inline int32_t LoadInt(const uint8_t* p, SampleCoding c) {
    switch (c) {
    case SampleCoding::U8: return static_cast<int32_t>(p[0]) - 128;
    case SampleCoding::S8: return static_cast<int8_t>(p[0]);
    case SampleCoding::S16LE: return static_cast<int16_t>(p[0] | (p[1] << 8));
    case SampleCoding::S16BE: return static_cast<int16_t>((p[0] << 8) | p[1]);
    case SampleCoding::S24LE: {
        uint32_t u = p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16);
        return static_cast<int32_t>(u << 8) >> 8;
    }
    case SampleCoding::S24BE: {
        uint32_t u = (static_cast<uint32_t>(p[0]) << 16) | (p[1] << 8) | p[2];
        return static_cast<int32_t>(u << 8) >> 8;
    }
    case SampleCoding::S32LE:
    case SampleCoding::F32LE:
        return static_cast<int32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24));
    case SampleCoding::S32BE:
    case SampleCoding::F32BE:
        return static_cast<int32_t>((static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]);
    }
    return 0;
}

inline float ToFloat(int32_t x, SampleCoding c) {
    switch (c) {
    case SampleCoding::U8:
    case SampleCoding::S8: return static_cast<float>(x) * kInv128;
    case SampleCoding::S16LE:
    case SampleCoding::S16BE: return static_cast<float>(x) * kInv32768;
    case SampleCoding::S24LE:
    case SampleCoding::S24BE: return static_cast<float>(x) * kInv8388608;
    case SampleCoding::S32LE:
    case SampleCoding::S32BE: return static_cast<float>(static_cast<double>(x) * kInv2147483648);
    case SampleCoding::F32LE:
    case SampleCoding::F32BE: {
        float f;
        std::memcpy(&f, &x, 4);
        return f;
    }
    }
    return 0.0f;
}

// f is a float sample or the exact mean of two; only the float codings round it to float.
inline void StoreSample(uint8_t* p, double f, SampleCoding c) {
    switch (c) {
    case SampleCoding::U8: p[0] = static_cast<uint8_t>(ScaleTrunc(f, 127.0, 128.0, 0, 255)); break;
    case SampleCoding::S8: p[0] = static_cast<uint8_t>(ScaleTrunc(f, 127.0, 0.0, -128, 127)); break;
    case SampleCoding::S16LE:
    case SampleCoding::S16BE: {
        uint16_t v = static_cast<uint16_t>(ScaleTrunc(f, 32767.0, 0.0, -32768, 32767));
        if (c == SampleCoding::S16LE) {
            p[0] = static_cast<uint8_t>(v);
            p[1] = static_cast<uint8_t>(v >> 8);
        } else {
            p[0] = static_cast<uint8_t>(v >> 8);
            p[1] = static_cast<uint8_t>(v);
        }
        break;
    }
    case SampleCoding::S24LE:
    case SampleCoding::S24BE: {
        uint32_t v = static_cast<uint32_t>(ScaleTrunc(f, 8388607.0, 0.0, -8388608, 8388607));
        if (c == SampleCoding::S24LE) {
            p[0] = static_cast<uint8_t>(v);
            p[1] = static_cast<uint8_t>(v >> 8);
            p[2] = static_cast<uint8_t>(v >> 16);
        } else {
            p[0] = static_cast<uint8_t>(v >> 16);
            p[1] = static_cast<uint8_t>(v >> 8);
            p[2] = static_cast<uint8_t>(v);
        }
        break;
    }
    case SampleCoding::S32LE:
    case SampleCoding::S32BE:
    case SampleCoding::F32LE:
    case SampleCoding::F32BE: {
        uint32_t v;
        if (c == SampleCoding::S32LE || c == SampleCoding::S32BE) {
            v = static_cast<uint32_t>(ScaleTrunc(f, 2147483648.0, 0.0, INT32_MIN, INT32_MAX));
        } else {
            const float asFloat = static_cast<float>(f);
            std::memcpy(&v, &asFloat, 4);
        }
        if (c == SampleCoding::S32LE || c == SampleCoding::F32LE) {
            for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
        } else {
            for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
        }
        break;
    }
    }
}

// Float output keeps the float mean. Integer output takes the mean in double, where it is
// exact: a float sum would round before the scaling and move the truncated integer by one in
// a few samples out of a thousand.
inline double MonoMean(float l, float r, SampleCoding c) {
    if (c == SampleCoding::F32LE || c == SampleCoding::F32BE) return (l + r) / 2.0f;
    return (static_cast<double>(l) + static_cast<double>(r)) * 0.5;
}

} // namespace

int BytesPerSample(SampleCoding c) {
    switch (c) {
    case SampleCoding::U8:
    case SampleCoding::S8: return 1;
    case SampleCoding::S16LE:
    case SampleCoding::S16BE: return 2;
    case SampleCoding::S24LE:
    case SampleCoding::S24BE: return 3;
    default: return 4;
    }
}

void DecodeToFloat(void* buffer, int64_t frames, int channels, SampleCoding c) {
    uint8_t* bytes = static_cast<uint8_t*>(buffer);
    float* out = static_cast<float*>(buffer);
    const int bps = BytesPerSample(c);
    const int64_t frameBytes = static_cast<int64_t>(bps) * channels;
    if (std::endian::native == std::endian::little && channels == 2 && c == SampleCoding::S16LE) {
        // Backward in blocks through a small array (the output overlaps the input in place).
        int16_t tmp[256];
        for (int64_t end = 2 * frames; end > 0; end -= 256) {
            const int64_t at = std::max<int64_t>(0, end - 256);
            const int n = static_cast<int>(end - at);
            std::memcpy(tmp, bytes + 2 * at, static_cast<size_t>(n) * 2); // little-endian host
            int k = 0;
#if defined(__SSE2__)
            const __m128 inv = _mm_set1_ps(kInv32768);
            for (; k + 8 <= n; k += 8) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(tmp + k));
                const __m128i lo = _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16);
                const __m128i hi = _mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16);
                _mm_storeu_ps(out + at + k, _mm_mul_ps(_mm_cvtepi32_ps(lo), inv));
                _mm_storeu_ps(out + at + k + 4, _mm_mul_ps(_mm_cvtepi32_ps(hi), inv));
            }
#endif
            for (; k < n; ++k) out[at + k] = ToFloat(tmp[k], c);
        }
        return;
    }
    // From the end: frame i's output (bytes 8i..8i+7) never lies below an unread input byte.
    for (int64_t i = frames - 1; i >= 0; --i) {
        const uint8_t* p = bytes + i * frameBytes;
        float l = ToFloat(LoadInt(p, c), c);
        float r = channels == 2 ? ToFloat(LoadInt(p + bps, c), c) : l;
        out[2 * i] = l;
        out[2 * i + 1] = r;
    }
}

void DecodeToInt(void* buffer, int64_t frames, int channels, SampleCoding c) {
    uint8_t* bytes = static_cast<uint8_t*>(buffer);
    int32_t* out = static_cast<int32_t*>(buffer);
    const int bps = BytesPerSample(c);
    const int64_t frameBytes = static_cast<int64_t>(bps) * channels;
    for (int64_t i = frames - 1; i >= 0; --i) {
        const uint8_t* p = bytes + i * frameBytes;
        int32_t l = LoadInt(p, c);
        int32_t r = channels == 2 ? LoadInt(p + bps, c) : l;
        out[2 * i] = l;
        out[2 * i + 1] = r;
    }
}

void EncodeFromFloat(void* buffer, int64_t frames, int channels, SampleCoding c) {
    uint8_t* bytes = static_cast<uint8_t*>(buffer);
    const float* in = static_cast<const float*>(buffer);
    const int bps = BytesPerSample(c);
    const int64_t frameBytes = static_cast<int64_t>(bps) * channels;
    if (std::endian::native == std::endian::little && channels == 2 && c == SampleCoding::S16LE) {
        // The storage format of most imports, spelled out so that the compiler sees one simple
        // loop; the values are those of the general path.
        // Clamping before the truncation gives ScaleTrunc's results (NaN reads as 0) without
        // its branches, so the loop vectorises. Blocks go through a small array because the
        // output overlaps the input in place.
        int16_t tmp[256];
        for (int64_t at = 0; at < 2 * frames; at += 256) {
            const int n = static_cast<int>(std::min<int64_t>(256, 2 * frames - at));
            int k = 0;
#if defined(__SSE2__)
            const __m128d scale = _mm_set1_pd(32767.0), lo = _mm_set1_pd(-32768.0), hi = _mm_set1_pd(32767.0);
            for (; k + 4 <= n; k += 4) {
                const __m128 f = _mm_loadu_ps(in + at + k);
                __m128d a = _mm_mul_pd(_mm_cvtps_pd(f), scale);
                __m128d b = _mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(f, f)), scale);
                a = _mm_and_pd(a, _mm_cmpord_pd(a, a)); // NaN → 0
                b = _mm_and_pd(b, _mm_cmpord_pd(b, b));
                a = _mm_min_pd(_mm_max_pd(a, lo), hi);
                b = _mm_min_pd(_mm_max_pd(b, lo), hi);
                const __m128i ia = _mm_cvttpd_epi32(a), ib = _mm_cvttpd_epi32(b);
                const __m128i both = _mm_unpacklo_epi64(ia, ib);
                _mm_storel_epi64(reinterpret_cast<__m128i*>(tmp + k), _mm_packs_epi32(both, both));
            }
#endif
            for (; k < n; ++k) {
                double v = static_cast<double>(in[at + k]) * 32767.0;
                v = v == v ? v : 0.0;
                v = v < -32768.0 ? -32768.0 : v;
                v = v > 32767.0 ? 32767.0 : v;
                tmp[k] = static_cast<int16_t>(static_cast<int32_t>(v));
            }
            std::memcpy(bytes + 2 * at, tmp, static_cast<size_t>(n) * 2); // little-endian host
        }
        return;
    }
    // Forward: frame i's output ends at or before byte 8i + 8, where frame i + 1's input starts.
    for (int64_t i = 0; i < frames; ++i) {
        float l = in[2 * i];
        float r = in[2 * i + 1];
        uint8_t* p = bytes + i * frameBytes;
        if (channels == 2) {
            StoreSample(p, l, c);
            StoreSample(p + bps, r, c);
        } else {
            StoreSample(p, MonoMean(l, r, c), c);
        }
    }
}

#pragma once
// Conversion between stored PCM samples and the stereo float buffer (interleaved left/right
// 32-bit floats, full scale ±1.0, two values per frame even for mono material).
//
// Reading widens in place from the last sample back to the first, so a buffer of n × 8 bytes
// that holds n frames of narrower stored samples at its start becomes n stereo float frames
// without a second buffer. Writing narrows in place walking forward. Mono is duplicated on
// reading and is the mean of left and right on writing.

#include <cstdint>

enum class SampleCoding : uint8_t { U8, S8, S16LE, S16BE, S24LE, S24BE, S32LE, S32BE, F32LE, F32BE };

int BytesPerSample(SampleCoding c);

// Stored bytes at the start of buffer → stereo floats (buffer holds frames × 8 bytes).
void DecodeToFloat(void* buffer, int64_t frames, int channels, SampleCoding c);
// Stored bytes → stereo int32: each sample sign-extended at its stored width (8-bit unsigned
// samples are centred first), float samples keep their bit pattern.
void DecodeToInt(void* buffer, int64_t frames, int channels, SampleCoding c);
// Stereo floats → stored bytes at the start of buffer.
void EncodeFromFloat(void* buffer, int64_t frames, int channels, SampleCoding c);

// A sample times an integer scale, computed in double and truncated toward zero, held within
// [lo, hi]. A float sample times any of the scales is exact in double. The mean of two floats
// is exact in double too (for samples within 2^28 of each other in size), and its product
// rounds only in the last of 53 bits, so the truncation sees the true value. Out-of-range
// input (above full scale, NaN) saturates instead of wrapping.
inline int64_t ScaleTrunc(double f, double scale, double offset, int64_t lo, int64_t hi) {
    double v = f * scale + offset;
    if (!(v == v)) return offset > 0 ? static_cast<int64_t>(offset) : 0;
    if (v >= static_cast<double>(hi)) return hi;
    if (v <= static_cast<double>(lo)) return lo;
    return static_cast<int64_t>(v);
}

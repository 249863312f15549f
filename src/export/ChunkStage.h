#pragma once
// Sample conversion and chunked staging shared by the compressed writers.
//
// Export hands every writer interleaved stereo float in the render's block size (4096 or
// 8192 frames); encoders want their own chunk sizes. The chunked writers collect 16-bit PCM
// in a 16384-byte staging area and hand it on one whole chunk at a time.
//
// Conversions: stereo is each sample × 32767, mono is (left + right) × 0.5 × 32767, both
// computed in double and truncated toward zero. Values beyond full scale are held at the
// largest code instead of wrapping: the render clips at 0 dB, but a writer fed anything else
// must not turn an over a hair too loud into a full-scale click of the other sign. NaN, which
// has no integer, becomes silence.
//
// Threading: one thread at a time per object.

#include <cstdint>

constexpr int32_t kStageBytes = 16384;
constexpr int32_t kStageSamples = kStageBytes / 2;

// One sample as int16: v × 32767 truncated, held to the 16-bit range.
int16_t FloatToInt16(double v);
// One sample as int32 at bits (8, 16 or 24): v × (2^(bits−1) − 1) truncated, held to range.
int32_t FloatToIntBits(double v, int32_t bits);
// Stereo float frames to int16 (two per frame, or one per frame for mono).
void ConvertToInt16(const float* in, int32_t frames, uint32_t channels, int16_t* out);
// Stereo float frames to int32 at bits, in place: the first frames × channels int32 values
// of the buffer receive the result.
void ConvertToInt32InPlace(float* buffer, int32_t frames, uint32_t channels, int32_t bits);

class ChunkStage {
public:
    // chunkSamples: the encoder's chunk in int16 samples of all channels (1..kStageSamples).
    bool Reset(int32_t chunkSamples);
    int32_t ChunkSamples() const { return m_chunk; }
    int32_t Fill() const { return m_fill; }
    const int16_t* Data() const { return m_area; }
    void Clear() { m_fill = 0; }

    // Converts and appends frames; whenever a whole chunk is there it calls
    // encode(const int16_t* samples, int32_t count) and empties the area. Stops and returns
    // false as soon as encode returns false.
    template <typename Encode> bool Push(const float* in, int32_t frames, uint32_t channels, Encode&& encode) {
        // Converts whole runs up to the end of the current chunk at a time (the per-sample loop
        // with its chunk check cost more than the conversion). A chunk of an odd count in stereo
        // ends one sample past the count, as the frame that crosses it is stored whole.
        const int32_t per = channels == 1 ? 1 : 2;
        while (frames > 0) {
            const int32_t want = (m_chunk - m_fill + per - 1) / per; // frames that complete the chunk
            const int32_t n = want < 1 ? 1 : want < frames ? want : frames;
            ConvertToInt16(in, n, channels, m_area + m_fill);
            m_fill += n * per;
            in += 2 * static_cast<int64_t>(n);
            frames -= n;
            if (m_fill >= m_chunk) {
                const int32_t count = m_fill;
                m_fill = 0;
                if (!encode(static_cast<const int16_t*>(m_area), count)) return false;
            }
        }
        return true;
    }

private:
    int16_t m_area[kStageSamples] = {};
    int32_t m_chunk = kStageSamples;
    int32_t m_fill = 0;
};

#include "export/ChunkStage.h"

#include <cstring>

int16_t FloatToInt16(double v) {
    const double s = v * 32767.0;
    if (s >= 32767.0) return 32767;
    if (s <= -32768.0) return -32768;
    return static_cast<int16_t>(s);
}

int32_t FloatToIntBits(double v, int32_t bits) {
    const double scale = bits == 8 ? 127.0 : bits == 24 ? 8388607.0 : 32767.0;
    const double lo = -scale - 1.0;
    const double s = v * scale;
    if (s >= scale) return static_cast<int32_t>(scale);
    if (s <= lo) return static_cast<int32_t>(lo);
    return static_cast<int32_t>(s);
}

void ConvertToInt16(const float* in, int32_t frames, uint32_t channels, int16_t* out) {
    if (channels == 1) {
        for (int32_t i = 0; i < frames; ++i)
            out[i] = FloatToInt16((static_cast<double>(in[2 * i]) + in[2 * i + 1]) * 0.5);
    } else {
        for (int32_t i = 0; i < 2 * frames; ++i) out[i] = FloatToInt16(in[i]);
    }
}

void ConvertToInt32InPlace(float* buffer, int32_t frames, uint32_t channels, int32_t bits) {
    // Each output slot lies at or before the input it comes from, so reading ahead of writing
    // in one forward pass is safe; the value is read before its slot is overwritten.
    // The integers are stored through memcpy: the buffer's objects are floats.
    if (channels == 1) {
        for (int32_t i = 0; i < frames; ++i) {
            const double m = (static_cast<double>(buffer[2 * i]) + buffer[2 * i + 1]) * 0.5;
            const int32_t v = FloatToIntBits(m, bits);
            std::memcpy(buffer + i, &v, 4);
        }
    } else {
        for (int32_t i = 0; i < 2 * frames; ++i) {
            const int32_t v = FloatToIntBits(buffer[i], bits);
            std::memcpy(buffer + i, &v, 4);
        }
    }
}

bool ChunkStage::Reset(int32_t chunkSamples) {
    m_fill = 0;
    if (chunkSamples < 1 || chunkSamples > kStageSamples) return false;
    m_chunk = chunkSamples;
    return true;
}

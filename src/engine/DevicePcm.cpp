#include "engine/DevicePcm.h"

#include <cmath>

namespace {

inline int64_t Scale(double x, double scale, int64_t lo, int64_t hi) {
    const double v = std::trunc(x * scale);
    if (!(v >= static_cast<double>(lo))) return v > 0 ? hi : lo; // NaN counts as the low end
    if (v > static_cast<double>(hi)) return hi;
    return static_cast<int64_t>(v);
}

inline void Put(uint8_t*& out, double x, int32_t bits) {
    switch (bits) {
    case 16: {
        const int64_t v = Scale(x, 32767.0, -32768, 32767);
        out[0] = static_cast<uint8_t>(v);
        out[1] = static_cast<uint8_t>(v >> 8);
        out += 2;
        break;
    }
    case 24: {
        const int64_t v = Scale(x, 8388607.0, -8388608, 8388607);
        out[0] = static_cast<uint8_t>(v);
        out[1] = static_cast<uint8_t>(v >> 8);
        out[2] = static_cast<uint8_t>(v >> 16);
        out += 3;
        break;
    }
    default: {
        const int64_t v = Scale(x, 2147483648.0, INT32_MIN, INT32_MAX);
        const uint32_t u = static_cast<uint32_t>(v);
        out[0] = static_cast<uint8_t>(u);
        out[1] = static_cast<uint8_t>(u >> 8);
        out[2] = static_cast<uint8_t>(u >> 16);
        out[3] = static_cast<uint8_t>(u >> 24);
        out += 4;
        break;
    }
    }
}

inline float Get(const uint8_t*& in, int32_t bits) {
    switch (bits) {
    case 16: {
        const int16_t v = static_cast<int16_t>(in[0] | (in[1] << 8));
        in += 2;
        return static_cast<float>(v / 32768.0);
    }
    case 24: {
        int32_t v = in[0] | (in[1] << 8) | (in[2] << 16);
        if (v & 0x800000) v -= 0x1000000;
        in += 3;
        return static_cast<float>(v / 8388608.0);
    }
    default: {
        const uint32_t u = in[0] | (in[1] << 8) | (in[2] << 16) | (static_cast<uint32_t>(in[3]) << 24);
        in += 4;
        return static_cast<float>(static_cast<int32_t>(u) / 2147483648.0);
    }
    }
}

} // namespace

int32_t EncodeDevicePcm(const float* block, int32_t frames, int32_t bits, int32_t channels, uint8_t* out) {
    uint8_t* start = out;
    for (int32_t i = 0; i < frames; ++i) {
        const double l = block[2 * i], r = block[2 * i + 1];
        if (channels == 1) {
            Put(out, (l + r) / 2.0, bits);
        } else {
            Put(out, l, bits);
            Put(out, r, bits);
        }
    }
    return static_cast<int32_t>(out - start);
}

void DecodeDevicePcm(const uint8_t* in, int32_t frames, int32_t bits, int32_t channels, float* block) {
    for (int32_t i = 0; i < frames; ++i) {
        const float l = Get(in, bits);
        const float r = channels == 1 ? l : Get(in, bits);
        block[2 * i] = l;
        block[2 * i + 1] = r;
    }
}

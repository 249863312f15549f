#pragma once
// The device format: the PCM the sound card takes and gives, converted in our own code so
// that every driver only moves bytes. Products are formed in double and truncated toward
// zero: 16-bit trunc(x × 32767), 24-bit trunc(x × 8388607) in three bytes low first, 32-bit
// trunc(x × 2147483648); mono is the mean of left and right. Values beyond full scale are held
// at the largest code instead of wrapping round to the opposite sign.
//
// Threading: pure functions.

#include <cstdint>

// Bytes of one frame.
inline int32_t DeviceFrameBytes(int32_t bits, int32_t channels) { return bits / 8 * channels; }
// frames of interleaved stereo into out; returns the bytes written.
int32_t EncodeDevicePcm(const float* block, int32_t frames, int32_t bits, int32_t channels, uint8_t* out);
// frames of device PCM into interleaved stereo (scaled by 1/32768, 1/8388608, 1/2147483648;
// mono copied to both sides).
void DecodeDevicePcm(const uint8_t* in, int32_t frames, int32_t bits, int32_t channels, float* block);

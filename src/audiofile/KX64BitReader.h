#pragma once
// KX64BitReader: the bit reader of KX64 channel payloads, and the residual code read with it
// (the code is described in KX64BitWriter.h).
//
// The payload comes from outside: every code is checked against the payload's length, and a
// malformed code or one that runs past the end stops the decoding.
//
// Threading: no state; any thread.

#include <cstdint>

class KX64BitReader {
public:
    // Zero bytes the caller keeps after a payload's last byte: the reader loads eight bytes at
    // a time and may look up to sixteen bytes past the payload.
    static constexpr int kPadding = 16;

    // Decodes up to n residuals with parameter k (0 to 31) from payloadBytes bytes of payload
    // into x; returns how many were decoded, fewer than n when the payload ran out or a code
    // was malformed.
    static int ReadResiduals(const uint8_t* payload, uint32_t payloadBytes, int k, int32_t* x, int n);
};

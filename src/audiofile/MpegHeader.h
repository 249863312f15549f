#pragma once
// MPEG audio Layer III frame headers: the four bytes that start every frame. The MP3 reader
// finds the first frame, estimates the length and seeks by walking these headers itself;
// only the audio inside the frames goes to the decoder.

#include <cstdint>

struct MpegHeader {
    int version = 1;        // 1 MPEG-1, 2 MPEG-2, 3 MPEG-2.5
    int32_t kbps = 0;       // bit rate; free format counts as 128
    int32_t rate = 0;       // Hz
    uint32_t channels = 2;  // 1 for single channel mode
    int32_t padding = 0;    // 0 or 1
    int32_t frameBytes = 0; // whole frame, header included
    int32_t samples = 0;    // per channel: 1152 (MPEG-1) or 576
};

// The two bytes that may start a Layer III frame (with or without CRC).
bool IsMpegSync(uint8_t b0, uint8_t b1);
// Decodes four header bytes; false when a field holds a value that makes the scan go on.
bool DecodeMpegHeader(const uint8_t h[4], MpegHeader& out);

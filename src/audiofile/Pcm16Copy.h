#pragma once
// The import's short way for its most common case: 16-bit PCM from a plain PCM file into a
// 16-bit PCM file, with the peaks and levels of the block taken on the way, in one pass over
// the stored bytes instead of widening to floats, building peaks and narrowing again.
//
// The results are bit for bit those of the float path (ReadFloat, BuildPeaks, WriteFloat). A
// 16-bit sample x reads as x / 32768, exactly; stored again it is trunc(x / 32768 × 32767),
// which is x − 1 for x > 0, x + 1 for x < 0 and 0 for 0. Its magnitude |x| / 32768 is exact
// in float, and a level block's sum of such magnitudes is exact in double, so maxima and sums
// can be found on the integers and scaled once.
//
// Threading: none kept; any thread.

#include <cstdint>

#include "audiofile/PcmCodec.h"

struct PeakBuffers;

// Both codings are 16-bit integers (either byte order) and the host can take the short way.
bool CopiesAsPcm16(SampleCoding from, SampleCoding to);

// Converts frames of stored samples (channels 1 or 2) in place from `from` to `to` as the
// float path would, and appends the block's peak entries and level pairs as BuildPeaks would
// for the same block. Needs CopiesAsPcm16(from, to).
void CopyPcm16Block(void* bytes, int32_t frames, int channels, SampleCoding from, SampleCoding to, PeakBuffers& buffers,
                    int32_t framesPerEntry, int32_t framesPerLevel);

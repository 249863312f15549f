#pragma once
// Format codes: the small integer that names a file format. Every sample stores the code of its
// file; exports and clones choose their writer by it.
#include <cstdint>

enum FormatCode : int32_t {
    kFormatWav = 0,
    kFormatAiff = 1,
    kFormatMp3 = 2,
    kFormatKX64 = 3,
    kFormatAac = 4,
    kFormatWma = 5,
    kFormatVorbis = 6,
    kFormatFlac = 7,
    kFormatSun = 8,
    kFormatRaw = 9,
    // Any other file, decoded by FFmpeg; never the storage of an import.
    kFormatFFmpeg = 10,
};

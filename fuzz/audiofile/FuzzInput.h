#pragma once
// The fuzz input as a file the readers can open by folder and name: an in-memory file
// reached through /proc/self/fd, rewritten for every input.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "audiofile/AudioFile.h"

inline std::string FuzzFile(const uint8_t* data, size_t size) {
    static int fd = memfd_create("sonquil-fuzz", 0);
    if (fd < 0) std::abort();
    if (ftruncate(fd, 0) != 0) std::abort();
    size_t done = 0;
    while (done < size) {
        ssize_t n = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        if (n <= 0) std::abort();
        done += static_cast<size_t>(n);
    }
    return std::to_string(fd);
}

inline const char* FuzzFolder() { return "/proc/self/fd"; }

// Reads everything, seeks to a few places and reads again; the data must never exceed the
// buffer and every count must stay within the request.
inline void Exercise(AudioFile& f, const uint8_t* data, size_t size) {
    std::vector<float> buf(2 * 4096);
    std::vector<int32_t> ints(2 * 1000);
    int64_t total = 0;
    for (int guard = 0; guard < 100000; ++guard) {
        int32_t n = f.ReadFloat(buf.data(), 4096);
        if (n < 0 || n > 4096) std::abort();
        if (n == 0) break;
        total += n;
    }
    if (total > f.frames) std::abort();
    int64_t at = size >= 2 ? (data[size - 1] | (data[size - 2] << 8)) * 37 : 0;
    f.SeekFrame(at);
    int32_t n = f.ReadInt(ints.data(), 1000);
    if (n < 0 || n > 1000) std::abort();
    f.SeekFrame(f.frames / 2);
    n = f.ReadFloat(buf.data(), 4096);
    if (n < 0 || n > 4096) std::abort();
    f.Close();
}

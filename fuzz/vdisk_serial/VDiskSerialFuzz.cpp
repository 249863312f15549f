// Feeds arbitrary bytes to the readers of a VDisk's "Serial" file, both directly and through a
// file on disk, and checks that a parsed serial reads back the same.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unistd.h>

#include "library/CVDisk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    int32_t number = 0, word = 0;
    bool haveNumber = CVDisk::ParseSerialNumber(text, number);
    bool haveWord = CVDisk::ParseSerialWord(text, word);
    // Whenever the check reads a number, the locate dialogue reads the same one.
    if (haveNumber && (!haveWord || word != number)) std::abort();

    static std::string path = "/tmp/fuzz-serial-" + std::to_string(getpid());
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
        std::string read;
        if (!CVDisk::ReadSerialFile(path, read) || read.size() > 256) std::abort();
        if (read != text.substr(0, read.size())) std::abort();
    }
    return 0;
}

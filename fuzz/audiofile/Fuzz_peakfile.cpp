#include "FuzzInput.h"
#include "audiofile/PeakFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint16_t> pairs;
    if (ReadPeakPairs(FuzzFolder(), FuzzFile(data, size), pairs)) {
        if (pairs.size() % 2 != 0 || pairs.size() * 2 > size) std::abort();
    }
    return 0;
}

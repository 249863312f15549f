#include "FuzzInput.h"
#include "audiofile/AudioFileRaw.h"

// The raw reader takes its layout from the caller: the first byte chooses it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const int32_t bits[] = {8, 16, 24, 32, 12, 0, 40, 64};
    static const int32_t codes[] = {16, 17, 20, 21};
    AudioFileRaw f(FuzzFolder(), FuzzFile(data + 1, size - 1));
    f.bits = bits[data[0] & 7];
    f.sampleType = codes[(data[0] >> 3) & 3];
    f.channels = (data[0] >> 5) & 3;
    f.rate = (data[0] & 0x80) ? 0 : 44100;
    if (f.OpenRead()) Exercise(f, data, size);
    f.Close();
    return 0;
}

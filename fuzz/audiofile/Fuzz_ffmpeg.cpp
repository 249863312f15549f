#include "FuzzInput.h"
#include "audiofile/AudioFileFFmpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    AudioFileFFmpeg f(FuzzFolder(), FuzzFile(data, size));
    if (f.OpenRead()) Exercise(f, data, size);
    f.Close();
    return 0;
}

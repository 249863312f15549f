#include "FuzzInput.h"
#include "audiofile/FormatProbe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string message;
    int code = ProbeFormat(FuzzFolder(), FuzzFile(data, size), message);
    if (code < 0 && message.empty()) std::abort();
    return 0;
}

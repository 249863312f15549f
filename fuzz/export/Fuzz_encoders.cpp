// "Encoders.dat" from any bytes: the list never exceeds 64 profiles or its fields' widths,
// and what was read writes back as whole records.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "export/ExtEncoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ExtEncoderList list;
    std::string error;
    list.Parse(data, size, error);
    if (list.Count() > kEncMaxProfiles) std::abort();
    for (int i = 0; i < list.Count(); ++i) {
        const ExtEncoderProfile& p = list.At(i);
        if (p.folder.size() > kEncFolderSize || p.program.size() > kEncProgramSize ||
            p.arguments.size() > kEncArgumentsSize || p.extension.size() > kEncExtensionSize ||
            p.name.size() > kEncNameSize)
            std::abort();
        list.UsesBitRate(i);
    }
    if (list.Serialize().size() != 8 + static_cast<size_t>(list.Count()) * kEncRecordSize) std::abort();
    return 0;
}

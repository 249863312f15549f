// Feeds arbitrary bytes to the database decoder, which must reject damage without crashing,
// hanging or allocating beyond what the input holds.
#include <cstddef>
#include <cstdint>
#include <string>

#include "library/CDatabase.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DbContents contents;
    std::string error;
    CDatabase::Decode(data, size, contents, error);
    return 0;
}

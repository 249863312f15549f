// The tag texts: ID3v1 blocks, genre texts and the Latin-1 / UTF-8 decision.
#include <cstdlib>
#include <cstring>
#include <string>

#include "FuzzInput.h"
#include "audiofile/Id3Tag.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint8_t block[kId3Bytes] = {'T', 'A', 'G'};
    std::memcpy(block + 3, data, size < kId3Bytes - 3 ? size : kId3Bytes - 3);
    TagSet t;
    if (!ParseId3v1(block, t)) std::abort();
    uint8_t again[kId3Bytes];
    BuildId3v1(t, again);
    TagSet u;
    if (!ParseId3v1(again, u) || u.year < 0 || u.year > 9999 || u.track < 0 || u.track > 99) std::abort();
    const std::string text(reinterpret_cast<const char*>(data), size);
    GenreFromText(text);
    const std::string utf = TextAsUtf8(text);
    if (TextAsUtf8(utf) != utf) std::abort(); // converting twice changes nothing
    return 0;
}

#include "common/FixedText.h"

#include <cstring>

std::string CutUtf8(std::string_view text, size_t maxBytes) {
    if (text.size() <= maxBytes) return std::string(text);
    size_t n = maxBytes;
    // Step back over continuation bytes (10xxxxxx) to the start of the cut character.
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    return std::string(text.substr(0, n));
}

void SetFixedText(char* field, size_t size, std::string_view text) {
    if (size == 0) return;
    std::memset(field, 0, size);
    // A NUL inside the text ends it, as it would in the field.
    size_t nul = text.find('\0');
    if (nul != std::string_view::npos) text = text.substr(0, nul);
    std::string cut = CutUtf8(text, size - 1);
    std::memcpy(field, cut.data(), cut.size());
}

std::string GetFixedText(const char* field, size_t size) {
    const void* nul = std::memchr(field, 0, size);
    size_t n = nul ? static_cast<size_t>(static_cast<const char*>(nul) - field) : size;
    return std::string(field, n);
}

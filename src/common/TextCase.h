#pragma once
// Case-blind tests on file names and extensions, which people write in either case.

#include <cctype>
#include <cstring>
#include <string>

// Whether s ends with tail, ignoring the case of s; tail is given in lower case (".cue").
inline bool EndsWithNoCase(const std::string& s, const char* tail) {
    const size_t n = std::strlen(tail);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) != tail[i]) return false;
    return true;
}

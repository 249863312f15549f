#include "common/TimeFormat.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

std::string StrFormat(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    va_list ap2;
    va_copy(ap2, ap);
    int n = std::vsnprintf(nullptr, 0, fmt, ap);
    va_end(ap);
    std::string out;
    if (n > 0) {
        std::vector<char> buf(static_cast<size_t>(n) + 1);
        std::vsnprintf(buf.data(), buf.size(), fmt, ap2);
        out.assign(buf.data(), static_cast<size_t>(n));
    }
    va_end(ap2);
    return out;
}

std::string FormatTime(int64_t frames, int sampleRate) {
    if (sampleRate <= 0 || frames < 0) frames = 0;
    int64_t rate = sampleRate > 0 ? sampleRate : 1;
    int64_t seconds = frames / rate;
    int64_t hundredths = (frames % rate) * 100 / rate;
    int64_t hours = seconds / 3600;
    int64_t minutes = (seconds / 60) % 60;
    seconds %= 60;
    return StrFormat("%01d:%02d:%02d:%02d", static_cast<int>(hours), static_cast<int>(minutes),
                     static_cast<int>(seconds), static_cast<int>(hundredths));
}

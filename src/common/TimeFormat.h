#pragma once
#include <cstdint>
#include <string>

// Frames at a sample rate as "%01d:%02d:%02d:%02d": hours, minutes, seconds, hundredths.
// A rate of 0 or less shows 0:00:00:00.
std::string FormatTime(int64_t frames, int sampleRate);

// printf-style formatting into a std::string.
std::string StrFormat(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

#include "common/Clock.h"

#include <atomic>
#include <mutex>

namespace {
std::mutex g_mutex;
bool g_fixed = false;
std::time_t g_fixedSeconds = 0;

std::time_t ToSeconds(const LocalDateTime& t) {
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}
} // namespace

LocalDateTime Clock::FromSeconds(std::time_t s) {
    std::tm tm{};
    localtime_r(&s, &tm);
    LocalDateTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    return t;
}

std::time_t Clock::NowSeconds() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_fixed ? g_fixedSeconds : std::time(nullptr);
}

LocalDateTime Clock::Now() { return FromSeconds(NowSeconds()); }

void Clock::SetFixed(const LocalDateTime& t) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_fixed = true;
    g_fixedSeconds = ToSeconds(t);
}

void Clock::ClearFixed() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_fixed = false;
}

int32_t MakeDateStamp(int year, int month, int day) { return year * 65536 + month * 256 + day; }

int32_t TodayStamp() {
    LocalDateTime t = Clock::Now();
    return MakeDateStamp(t.year, t.month, t.day);
}

int32_t YesterdayStamp() {
    LocalDateTime t = Clock::Now();
    // Step back from noon of today so that a daylight-saving change cannot skip a day.
    LocalDateTime noon = t;
    noon.hour = 12;
    noon.minute = noon.second = 0;
    LocalDateTime y = Clock::FromSeconds(ToSeconds(noon) - 24 * 3600);
    return MakeDateStamp(y.year, y.month, y.day);
}

#pragma once
// The clock that "today" and "now" come from. Tests set a fixed local date and time;
// the program uses the system's local time.

#include <cstdint>
#include <ctime>

struct LocalDateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

class Clock {
public:
    // Current local date and time (fixed time when set, advanced by any offset added).
    static LocalDateTime Now();
    // Seconds since the epoch behind Now().
    static std::time_t NowSeconds();
    static void SetFixed(const LocalDateTime& t);
    static void ClearFixed();
    static LocalDateTime FromSeconds(std::time_t t);
};

// Date stamp of the library: year × 65536 + month × 256 + day.
int32_t MakeDateStamp(int year, int month, int day);
int32_t TodayStamp();
// The stamp of the day before today (calendar aware).
int32_t YesterdayStamp();

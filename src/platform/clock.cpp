#include "platform/clock.hpp"

#include <chrono>
#include <ctime>
#include <thread>

namespace zarvo::platform {

uint32_t SystemClock::ticks() {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<uint32_t>(ms.count());
}

void SystemClock::sleep(uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

namespace {

LocalTime fromTm(const std::tm& tm) {
    LocalTime lt;
    lt.year = tm.tm_year + 1900;
    lt.month = tm.tm_mon + 1;
    lt.day = tm.tm_mday;
    lt.hour = tm.tm_hour;
    lt.minute = tm.tm_min;
    lt.second = tm.tm_sec;
    lt.weekday = tm.tm_wday;
    return lt;
}

}  // namespace

LocalTime SystemClock::localTime() {
    return localTimeOf(static_cast<int64_t>(std::time(nullptr)));
}

LocalTime localTimeOf(int64_t epochSeconds) {
    std::time_t t = static_cast<std::time_t>(epochSeconds);
    std::tm tm{};
    localtime_r(&t, &tm);
    return fromTm(tm);
}

int64_t calendarSeconds(const LocalTime& time) {
    std::tm tm{};
    tm.tm_year = time.year - 1900;
    tm.tm_mon = time.month - 1;
    tm.tm_mday = time.day;
    tm.tm_hour = time.hour;
    tm.tm_min = time.minute;
    tm.tm_sec = time.second;
    return static_cast<int64_t>(timegm(&tm));
}

LocalTime calendarTime(int64_t seconds) {
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    return fromTm(tm);
}

}  // namespace zarvo::platform

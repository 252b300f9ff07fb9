// Time as the player sees it. The desktop uses the system clock; the headless host a virtual one
// that moves only when the player waits, so whole stories run in milliseconds.
#pragma once
#include <cstdint>

namespace zarvo::platform {

struct LocalTime {
    int year = 0, month = 0, day = 0;  // month 1..12, day 1..31
    int hour = 0, minute = 0, second = 0;
    int weekday = 0;  // 0 = Sunday .. 6 = Saturday
};

class Clock {
  public:
    virtual ~Clock() = default;
    // Milliseconds; unsigned 32-bit and wrapping, so compare with unsigned differences.
    virtual uint32_t ticks() = 0;
    virtual void sleep(uint32_t ms) = 0;
    virtual LocalTime localTime() = 0;
};

// True when `now` has reached `start + length` in wrapping 32-bit arithmetic.
inline bool tickReached(uint32_t now, uint32_t start, uint32_t length) {
    return static_cast<uint32_t>(now - start) >= length;
}

class SystemClock final : public Clock {
  public:
    uint32_t ticks() override;
    void sleep(uint32_t ms) override;
    LocalTime localTime() override;
};

// Local date and time of a moment given as seconds since the epoch.
LocalTime localTimeOf(int64_t epochSeconds);

// Calendar arithmetic with no time zone: a date and time as a count of seconds and back, so a
// virtual clock shows the same local time on every machine.
int64_t calendarSeconds(const LocalTime& time);
LocalTime calendarTime(int64_t seconds);

}  // namespace zarvo::platform

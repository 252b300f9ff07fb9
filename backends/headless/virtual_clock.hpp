// The headless host's clock: time moves only when the player waits (sleep) or the host advances
// it, so effects and waits cost no real time.
#pragma once
#include "platform/clock.hpp"

namespace zarvo::platform {

class VirtualClock final : public Clock {
  public:
    static constexpr LocalTime kDefaultStart{2026, 1, 1, 0, 0, 0, 4};

    // Local time starts at `start` and advances with the virtual ticks, the same on every
    // machine whatever its time zone.
    explicit VirtualClock(uint32_t startTicks = 0, const LocalTime& start = kDefaultStart)
        : ticks_(startTicks), start_(startTicks), startSeconds_(calendarSeconds(start)) {}

    uint32_t ticks() override { return ticks_; }
    void sleep(uint32_t ms) override { ticks_ += ms; }
    LocalTime localTime() override {
        return calendarTime(startSeconds_ + static_cast<uint32_t>(ticks_ - start_) / 1000);
    }

    void advance(uint32_t ms) { ticks_ += ms; }
    void setTicks(uint32_t t) { ticks_ = t; }

  private:
    uint32_t ticks_;
    uint32_t start_;
    int64_t startSeconds_;
};

}  // namespace zarvo::platform

// The headless host's clock: time moves only when the player waits (sleep) or the host advances
// it, so effects and waits cost no real time.
#pragma once
#include "platform/clock.hpp"

namespace zarvo::platform {

class VirtualClock final : public Clock {
public:
    // Local time starts at `epochSeconds` and advances with the virtual ticks.
    explicit VirtualClock(uint32_t startTicks = 0, int64_t epochSeconds = 1767225600 /*2026-01-01*/)
        : ticks_(startTicks), start_(startTicks), epoch_(epochSeconds) {}

    uint32_t ticks() override { return ticks_; }
    void sleep(uint32_t ms) override { ticks_ += ms; }
    LocalTime localTime() override {
        return localTimeOf(epoch_ + static_cast<uint32_t>(ticks_ - start_) / 1000);
    }

    void advance(uint32_t ms) { ticks_ += ms; }
    void setTicks(uint32_t t) { ticks_ = t; }

private:
    uint32_t ticks_;
    uint32_t start_;
    int64_t epoch_;
};

}  // namespace zarvo::platform

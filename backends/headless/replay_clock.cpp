#include "backends/headless/replay_clock.hpp"

#include <algorithm>

namespace zarvo::platform {

ReplayClock::ReplayClock(Clock& real)
    : real_(real), realStart_(real.ticks()), start_(real.localTime()) {
    startSeconds_ = calendarSeconds(start_);
}

LocalTime ReplayClock::localTime() {
    return calendarTime(startSeconds_ + now_ / 1000);
}

void ReplayClock::pace() {
    uint32_t real = realElapsed();
    uint32_t due = now_ + lag_;  // the real time this clock's present belongs to
    if (real < due)
        real_.sleep(due - real);
    else
        lag_ = real - now_;
}

void ReplayClock::sleep(uint32_t ms) {
    now_ += ms;
    pace();
}

void ReplayClock::pump() {
    now_ += 1;
    pace();
    pumped_ = true;
    lastPump_ = now_;
}

void ReplayClock::idle(uint32_t limit) {
    uint32_t real = realElapsed();
    if (real <= lag_) return;
    uint32_t caughtUp = std::min(real - lag_, limit);
    if (caughtUp > now_) now_ = caughtUp;
}

uint32_t ReplayClock::realWaitUntil(uint32_t at) {
    uint32_t real = realElapsed();
    uint32_t due = at + lag_;
    return due > real ? due - real : 0;
}

uint32_t ReplayClock::idleArrival(uint32_t limit) {
    idle(limit);
    if (pumped_ && now_ <= lastPump_) now_ = lastPump_ + 1;
    return now_;
}

}  // namespace zarvo::platform

// The clock of a recorded desktop run: the time its headless replay will have, so that every
// wait, effect step, timer tick and input falls at the same moment when the record is played
// back. A replay's virtual clock moves 1 ms for each round of messages the player asks for and
// by the length of each sleep, and while the player is idle jumps to the next input or timer
// tick. This clock counts the same way; it paces itself so it never runs ahead of real time,
// and falls behind by whatever real time a replay does not see (busy work, open dialogs).
#pragma once
#include <cstdint>

#include "platform/clock.hpp"

namespace zarvo::platform {

class ReplayClock final : public Clock {
  public:
    // Starts at 0, its local time at `real`'s local time now.
    explicit ReplayClock(Clock& real);

    uint32_t ticks() override { return now_; }
    void sleep(uint32_t ms) override;
    // The start's local time advanced by the ticks, as the replay's virtual clock shows it.
    LocalTime localTime() override;
    const LocalTime& startTime() const { return start_; }

    // One round of messages asked for by the player: a millisecond passes.
    void pump();
    // While idle: catch up with real time, but not past `limit` (the next timer tick).
    void idle(uint32_t limit);
    // Real milliseconds until an idle wait reaches `at`.
    uint32_t realWaitUntil(uint32_t at);
    // The moment of an input that arrives while idle (no later than `limit`): after the last
    // round of messages, which would have taken it on replay.
    uint32_t idleArrival(uint32_t limit);

  private:
    uint32_t realElapsed() { return real_.ticks() - realStart_; }
    void pace();

    Clock& real_;
    uint32_t realStart_;
    uint32_t now_ = 0;
    uint32_t lag_ = 0;  // real ms behind which this clock runs
    bool pumped_ = false;
    uint32_t lastPump_ = 0;
    LocalTime start_;
    int64_t startSeconds_;
};

}  // namespace zarvo::platform

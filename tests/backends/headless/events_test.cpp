// The events file: what a recorded run writes, a headless run reads back unchanged.
#include "backends/headless/events.hpp"

#include <gtest/gtest.h>

#include "backends/headless/replay_clock.hpp"
#include "backends/headless/virtual_clock.hpp"
#include "support/temp_dir.hpp"

namespace zarvo::platform {
namespace {

using Kind = HeadlessEvent::Kind;

TEST(EventsFile, EveryEventReadsBackAsWritten) {
    std::string text =
        "0 date 2026-12-07 09:49:31\n"
        "10 click 320 180\n"
        "10 rclick 0 479\n"
        "15 move 5 6\n"
        "20 key ctrl\n"
        "20 key a\n"
        "25 keyup ctrl\n"
        "30 answer abort\n"
        "30 input   名前 \n"
        "31 input \n"
        "31 input-cancel\n"
        "40 shot out/a b.png\n"
        "41 mclick 7 8\n"
        "42 wheel up 3\n"
        "42 wheel down 1\n"
        "43 key f1\n"
        "43 key pagedown\n"
        "43 key 7\n"
        "44 pad start\n"
        "44 padup lb\n"
        "45 resize 1280 720\n"
        "50 quit\n";
    std::vector<HeadlessEvent> events;
    std::string error;
    ASSERT_TRUE(parseEvents(text, events, error)) << error;
    ASSERT_EQ(events.size(), 22u);
    EXPECT_EQ(events[0].date.weekday, 1);  // a Monday
    EXPECT_EQ(events[4].key, 17);
    EXPECT_EQ(events[5].key, 'A');
    EXPECT_EQ(events[6].kind, Kind::KeyUp);
    EXPECT_EQ(events[13].steps, 3);
    EXPECT_EQ(events[14].steps, -1);
    EXPECT_EQ(events[15].key, 112);
    EXPECT_EQ(events[18].pad, PadButton::Start);
    // Input text is UTF-8 in the file and code page 932 inside, blanks and all.
    EXPECT_EQ(events[8].text, test::sjis("  名前 "));
    std::string written;
    for (const auto& ev : events) written += formatEvent(ev) + "\n";
    EXPECT_EQ(written, text);
}

TEST(EventsFile, BadLinesAreRefusedWithTheirNumber) {
    std::vector<HeadlessEvent> events;
    std::string error;
    for (const char* bad :
         {"5 key 0", "5 key 300", "5 keyup", "5 date 2026-13-01 00:00:00", "5 date 2026-01-01",
          "5 input-cancel now", "-1 click 1 1", "5 key f13", "5 key f01", "5 wheel sideways",
          "5 wheel up 0", "5 pad z", "5 resize 0 10"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(parseEvents(std::string("# comment\n") + bad + "\n", events, error));
        EXPECT_NE(error.find("line 2"), std::string::npos) << error;
    }
}

// A real clock that only moves when slept on or told to.
class FakeRealClock final : public Clock {
  public:
    uint32_t ticks() override { return now; }
    void sleep(uint32_t ms) override { now += ms; }
    LocalTime localTime() override { return VirtualClock::kDefaultStart; }
    uint32_t now = 5000;
};

TEST(ReplayClock, CountsLikeAReplayAndNeverRunsAheadOfRealTime) {
    FakeRealClock real;
    ReplayClock clock(real);
    EXPECT_EQ(clock.ticks(), 0u);
    // Quick rounds of messages cost a millisecond each, paced to real time.
    for (int i = 0; i < 10; ++i) clock.pump();
    EXPECT_EQ(clock.ticks(), 10u);
    EXPECT_EQ(real.now, 5010u);
    // Busy work the replay does not see: this clock falls behind instead of jumping.
    real.now += 300;
    clock.pump();
    EXPECT_EQ(clock.ticks(), 11u);
    clock.sleep(50);
    EXPECT_EQ(clock.ticks(), 61u);
    EXPECT_EQ(real.now, 5360u);  // a sleep still takes its real time
    // Idle: catches up with real time less the lag, never past the next tick.
    real.now += 100;
    clock.idle(200);
    EXPECT_EQ(clock.ticks(), 161u);
    EXPECT_EQ(clock.realWaitUntil(200), 39u);
    real.now += 1000;
    clock.idle(200);
    EXPECT_EQ(clock.ticks(), 200u);
    // Input right after a round of messages comes after it, even within the same millisecond.
    clock.pump();
    EXPECT_EQ(clock.idleArrival(400), 202u);
    EXPECT_EQ(clock.localTime().second, 0);
}

}  // namespace
}  // namespace zarvo::platform

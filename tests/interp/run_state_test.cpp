#include <gtest/gtest.h>

#include "interp/run_state.hpp"
#include "backends/headless/recording_dialogs.hpp"
#include "backends/headless/virtual_clock.hpp"
#include "support/temp_dir.hpp"

namespace zarvo {
namespace {

struct ProcessFixture : ::testing::Test {
    platform::VirtualClock clock{0xFFFFFF00u};  // a quarter second before the tick count wraps
    platform::RecordingDialogs dialogs;
    CallStack stack;
    RunState process;
    ProcessFixture() {
        process.setClock(&clock);
        process.setStack(&stack);
        process.setDialogs(&dialogs);
    }
    bool noWaitFlags() const { return !process.activeClick() && !process.anykeyClick() && !process.timer(); }
};

TEST_F(ProcessFixture, ModesAndEndWait) {
    EXPECT_FALSE(process.CanStep());  // created Running
    process.EndStep();
    EXPECT_TRUE(process.BeginStep());
    EXPECT_FALSE(process.BeginStep());

    process.BeginWait();  // nothing set: never ends by itself
    clock.advance(100000);
    EXPECT_FALSE(process.CanStep());
    EXPECT_EQ(process.ClickWaitState(), 1);
    process.EnableActiveClick();
    process.EnableAnykeyClick();
    EXPECT_EQ(process.ClickWaitState(), 2);
    EXPECT_TRUE(process.InputEndsWait());
    process.EndWait();
    EXPECT_EQ(process.playerMode(), PlayerMode::Ready);
    EXPECT_TRUE(noWaitFlags());

    process.BeginMessageEffect(2, "layer");
    process.EnableAnykeyClick();
    process.EndWait();  // Message is no wait
    EXPECT_EQ(process.playerMode(), PlayerMode::Message);
    EXPECT_FALSE(process.InputEndsWait());
    process.BeginMessageWait();
    EXPECT_FALSE(process.anykeyClick());
    process.EnableActiveClick();
    EXPECT_EQ(process.ClickWaitState(), 0);
    process.EndWait();
    EXPECT_EQ(process.playerMode(), PlayerMode::Message);
    EXPECT_TRUE(noWaitFlags());
    process.EndMessageEffect();
    EXPECT_EQ(process.playerMode(), PlayerMode::Ready);
    EXPECT_EQ(process.layerName(), "");
}

TEST_F(ProcessFixture, WaitTimersEndAcrossTheTickWrap) {
    process.BeginWait();
    process.StartWaitTimer(1000);
    EXPECT_FALSE(process.CanStep());
    clock.advance(999);  // past zero, one millisecond short
    EXPECT_FALSE(process.CanStep());
    clock.advance(1);
    EXPECT_TRUE(process.BeginStep());
    EXPECT_TRUE(noWaitFlags());
    EXPECT_TRUE(process.TakeTimerExpired());
    EXPECT_FALSE(process.TakeTimerExpired());

    process.BeginMessageEffect(0, "t");
    process.BeginMessageWait();
    EXPECT_FALSE(process.MessageCanAdvance());  // no timer: only input or skip go on
    process.StartWaitTimer(300);
    clock.advance(299);
    EXPECT_FALSE(process.MessageCanAdvance());
    clock.advance(1);
    EXPECT_TRUE(process.MessageCanAdvance());
    EXPECT_EQ(process.playerMode(), PlayerMode::Message);

    process.SetMessageSkip();
    process.BeginMessageWait();  // keeps the skip
    EXPECT_TRUE(process.MessageCanAdvance());
    process.BeginWait();
    EXPECT_FALSE(process.messageSkip());
    process.StartWaitTimer(-5);  // over at once, not after ~49 days
    EXPECT_TRUE(process.CanStep());
}

TEST_F(ProcessFixture, HalfSecondAndRemainingSecondsAcrossTheWrap) {
    EXPECT_TRUE(process.HalfSecondElapsed());
    clock.advance(100);
    EXPECT_FALSE(process.HalfSecondElapsed());
    clock.advance(400);  // past zero, exactly 500 ms on
    EXPECT_FALSE(process.HalfSecondElapsed());
    clock.advance(1);
    EXPECT_TRUE(process.HalfSecondElapsed());

    platform::VirtualClock zero(0);
    RunState fresh;
    fresh.setClock(&zero);
    EXPECT_TRUE(fresh.HalfSecondElapsed());

    clock.setTicks(0xFFFFFF00u);
    EXPECT_EQ(process.RemainingWaitSeconds(), 0);
    process.StartWaitTimer(2500);
    EXPECT_EQ(process.RemainingWaitSeconds(), 2);
    clock.advance(600);
    EXPECT_EQ(process.RemainingWaitSeconds(), 1);
    clock.advance(5000);
    EXPECT_EQ(process.RemainingWaitSeconds(), 0);
}

TEST_F(ProcessFixture, StateRoundTripsThroughTheFrame) {
    process.BeginMessageEffect(3, "msg");
    process.BeginMessageWait();
    process.EnableAnykeyClick();
    process.StartWaitTimer(700);
    process.SaveState();
    process.Reset();
    process.LoadState();
    EXPECT_EQ(process.playerMode(), PlayerMode::MessageWait);
    EXPECT_EQ(process.waitTime(), 700);
    EXPECT_TRUE(process.anykeyClick() && process.timer() && !process.activeClick());
    EXPECT_EQ(process.windowIndex(), 3);
    EXPECT_EQ(process.layerName(), "msg");

    stack.ClearFrame();  // a plain call's frame: defaults
    process.LoadState();
    EXPECT_EQ(process.playerMode(), PlayerMode::Ready);
    EXPECT_TRUE(noWaitFlags());
    EXPECT_EQ(process.layerName(), "");
    stack.SetFrameValue("stack.playermode", 9);  // no step leaves an unknown mode
    process.LoadState();
    EXPECT_EQ(process.playerMode(), PlayerMode::Ready);
}

TEST_F(ProcessFixture, LoadInfoPopsTheSavedPositionOrAsksTheOwnerToEnd) {
    MemorySaveContainer save;
    save.sections["stack.info"] = {"Stack.CommandIndex=4", "Stack.PlayerMode=2", "@StackBorder",
                                   "@StackBorder", "Stack.PageName=caller", "@StackBorder"};
    ASSERT_TRUE(process.LoadInfo(save));
    EXPECT_EQ(process.playerMode(), PlayerMode::Waiting);
    EXPECT_EQ(stack.GetFrameValue("Stack.CommandIndex", 0), 4);
    EXPECT_TRUE(dialogs.shown().empty());

    MemorySaveContainer noSection;  // the running stack is used, here an empty frame next
    EXPECT_FALSE(process.LoadInfo(noSection));
    ASSERT_EQ(dialogs.shown().size(), 1u);
    EXPECT_EQ(dialogs.shown()[0].kind, platform::BoxKind::Plain);
    EXPECT_EQ(dialogs.shown()[0].text, test::sjis("セーブファイルが異常です。スタックの取得に失敗しました。\n"
                                                  "処理を続けることができません。"));
    ASSERT_TRUE(process.LoadInfo(noSection));
    EXPECT_EQ(stack.GetFrameText("Stack.PageName", ""), "caller");
}

}  // namespace
}  // namespace zarvo

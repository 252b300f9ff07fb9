#include "interp/run_state.hpp"

#include <gtest/gtest.h>

#include "backends/headless/virtual_clock.hpp"
#include "support/notices.hpp"
#include "support/temp_dir.hpp"

namespace zarvo {
namespace {

struct ProcessFixture : ::testing::Test {
    platform::VirtualClock clock{0xFFFFFF00u};  // a quarter second before the tick count wraps
    test::RecordedNotices boxes;
    platform::RecordingDialogs& dialogs = boxes.dialogs;
    CallStack stack;
    RunState process{stack, clock, boxes};
    bool noWaitFlags() const {
        return !process.activeClick() && !process.anykeyClick() && !process.timer();
    }
};

TEST_F(ProcessFixture, ModesAndEndWait) {
    EXPECT_FALSE(process.canStep());  // created Running
    process.endStep();
    EXPECT_TRUE(process.beginStep());
    EXPECT_FALSE(process.beginStep());

    process.beginWait();  // nothing set: never ends by itself
    clock.advance(100000);
    EXPECT_FALSE(process.canStep());
    EXPECT_EQ(process.clickWaitState(), ClickWait::Plain);
    process.enableActiveClick();
    process.enableAnykeyClick();
    EXPECT_EQ(process.clickWaitState(), ClickWait::Layers);
    EXPECT_TRUE(process.inputEndsWait());
    process.endWait();
    EXPECT_EQ(process.playerMode(), PlayerMode::Ready);
    EXPECT_TRUE(noWaitFlags());

    process.beginMessageEffect(2, "layer");
    process.enableAnykeyClick();
    process.endWait();  // Message is no wait
    EXPECT_EQ(process.playerMode(), PlayerMode::Message);
    EXPECT_FALSE(process.inputEndsWait());
    process.beginMessageWait();
    EXPECT_FALSE(process.anykeyClick());
    process.enableActiveClick();
    EXPECT_EQ(process.clickWaitState(), ClickWait::None);
    process.endWait();
    EXPECT_EQ(process.playerMode(), PlayerMode::Message);
    EXPECT_TRUE(noWaitFlags());
    process.endMessageEffect();
    EXPECT_EQ(process.playerMode(), PlayerMode::Ready);
    EXPECT_EQ(process.layerName(), "");
}

TEST_F(ProcessFixture, WaitTimersEndAcrossTheTickWrap) {
    process.beginWait();
    process.startWaitTimer(1000);
    EXPECT_FALSE(process.canStep());
    clock.advance(999);  // past zero, one millisecond short
    EXPECT_FALSE(process.canStep());
    clock.advance(1);
    EXPECT_TRUE(process.beginStep());
    EXPECT_TRUE(noWaitFlags());
    EXPECT_TRUE(process.takeTimerExpired());
    EXPECT_FALSE(process.takeTimerExpired());

    process.beginMessageEffect(0, "t");
    process.beginMessageWait();
    EXPECT_FALSE(process.messageCanAdvance());  // no timer: only input or skip go on
    process.startWaitTimer(300);
    clock.advance(299);
    EXPECT_FALSE(process.messageCanAdvance());
    clock.advance(1);
    EXPECT_TRUE(process.messageCanAdvance());
    EXPECT_EQ(process.playerMode(), PlayerMode::Message);

    process.setMessageSkip();
    process.beginMessageWait();  // keeps the skip
    EXPECT_TRUE(process.messageCanAdvance());
    process.beginWait();
    EXPECT_FALSE(process.messageSkip());
    process.startWaitTimer(-5);  // over at once, not after ~49 days
    EXPECT_TRUE(process.canStep());
}

TEST_F(ProcessFixture, HalfSecondAndRemainingSecondsAcrossTheWrap) {
    EXPECT_TRUE(process.halfSecondElapsed());
    clock.advance(100);
    EXPECT_FALSE(process.halfSecondElapsed());
    clock.advance(400);  // past zero, exactly 500 ms on
    EXPECT_FALSE(process.halfSecondElapsed());
    clock.advance(1);
    EXPECT_TRUE(process.halfSecondElapsed());

    platform::VirtualClock zero(0);
    RunState fresh(stack, zero, boxes);
    EXPECT_TRUE(fresh.halfSecondElapsed());

    clock.setTicks(0xFFFFFF00u);
    EXPECT_EQ(process.remainingWaitSeconds(), 0);
    process.startWaitTimer(2500);
    EXPECT_EQ(process.remainingWaitSeconds(), 2);
    clock.advance(600);
    EXPECT_EQ(process.remainingWaitSeconds(), 1);
    clock.advance(5000);
    EXPECT_EQ(process.remainingWaitSeconds(), 0);
}

TEST_F(ProcessFixture, StateRoundTripsThroughTheFrame) {
    process.beginMessageEffect(3, "msg");
    process.beginMessageWait();
    process.enableAnykeyClick();
    process.startWaitTimer(700);
    process.saveState();
    process.reset();
    process.loadState();
    EXPECT_EQ(process.playerMode(), PlayerMode::MessageWait);
    EXPECT_EQ(process.waitTime(), 700);
    EXPECT_TRUE(process.anykeyClick() && process.timer() && !process.activeClick());
    EXPECT_EQ(process.windowIndex(), 3);
    EXPECT_EQ(process.layerName(), "msg");

    stack.clearFrame();  // a plain call's frame: defaults
    process.loadState();
    EXPECT_EQ(process.playerMode(), PlayerMode::Ready);
    EXPECT_TRUE(noWaitFlags());
    EXPECT_EQ(process.layerName(), "");
    stack.setFrameValue("stack.playermode", 9);  // no step leaves an unknown mode
    process.loadState();
    EXPECT_EQ(process.playerMode(), PlayerMode::Ready);
}

TEST_F(ProcessFixture, LoadInfoPopsTheSavedPositionOrAsksTheOwnerToEnd) {
    MemorySaveContainer save;
    save.sections["stack.info"] = {"Stack.CommandIndex=4", "Stack.PlayerMode=2",    "@StackBorder",
                                   "@StackBorder",         "Stack.PageName=caller", "@StackBorder"};
    ASSERT_TRUE(process.loadInfo(save));
    EXPECT_EQ(process.playerMode(), PlayerMode::Waiting);
    EXPECT_EQ(stack.getFrameValue("Stack.CommandIndex", 0), 4);
    EXPECT_TRUE(dialogs.shown().empty());

    MemorySaveContainer noSection;  // the running stack is used, here an empty frame next
    EXPECT_FALSE(process.loadInfo(noSection));
    ASSERT_EQ(dialogs.shown().size(), 1u);
    EXPECT_EQ(dialogs.shown()[0].kind, platform::BoxKind::Plain);
    EXPECT_EQ(dialogs.shown()[0].text,
              test::sjis("セーブファイルが異常です。スタックの取得に失敗しました。\n"
                         "処理を続けることができません。"));
    ASSERT_TRUE(process.loadInfo(noSection));
    EXPECT_EQ(stack.getFrameText("Stack.PageName", ""), "caller");
}

}  // namespace
}  // namespace zarvo

#include <gtest/gtest.h>

#include "backends/headless/virtual_clock.hpp"
#include "interp/run_state.hpp"
#include "support/notices.hpp"

namespace zarvo {
namespace {

void pushPosition(CallStack& stack, const char* book, const char* page, int index) {
    stack.setFrameText(CallStack::kBookName, book);
    stack.setFrameText(CallStack::kPageName, page);
    stack.setFrameValue(CallStack::kCommandIndex, index);
    stack.push();
}

TEST(ProcessStack, StateKeepingFrameIsSavedTopFirstInReverseFrameOrder) {
    CallStack stack;
    platform::VirtualClock clock(0);
    test::RecordedNotices boxes;
    RunState process(stack, clock, boxes);
    process.beginMessageEffect(0, "text");
    process.beginMessageWait();
    process.startWaitTimer(300);
    process.saveState();  // the state goes in before the position
    pushPosition(stack, "book", "page", 7);
    EXPECT_TRUE(stack.frame().empty());

    MemorySaveContainer save;
    ASSERT_TRUE(stack.saveInfo(save));
    EXPECT_EQ(save.sections["stack.info"],
              (StringList{"Stack.CommandIndex=7", "Stack.PageName=page", "Stack.BookName=book",
                          "Stack.MessageEffect.LayerName=text", "Stack.MessageEffect.WindowIndex=0",
                          "Stack.WaitCancel.Timer=1", "Stack.WaitCancel.AnykeyClick=0",
                          "Stack.WaitCancel.ActiveClick=0", "Stack.WaitTime=300",
                          "Stack.PlayerMode=4", "@StackBorder"}));
}

TEST(ProcessStack, NestedFramesPopNewestFirstThenUnderflow) {
    CallStack stack;
    pushPosition(stack, "outer", "p1", 3);
    pushPosition(stack, "inner", "p2", 5);
    EXPECT_EQ(stack.lineCount(), 8u);

    ASSERT_TRUE(stack.pop());
    EXPECT_EQ(stack.frame().front(), "Stack.CommandIndex=5");
    EXPECT_EQ(stack.getFrameText("Stack.BookName", ""), "inner");
    ASSERT_TRUE(stack.pop());
    EXPECT_EQ(stack.getFrameText("Stack.PageName", ""), "p1");
    EXPECT_FALSE(stack.pop());
    EXPECT_TRUE(stack.frame().empty());
}

TEST(ProcessStack, BordersAndEmptyLinesEndAPopAndAreConsumed) {
    CallStack stack;
    MemorySaveContainer save;
    save.sections["stack.info"] = {"@StackBorder", "A=1", "", "B=2", "@StackBorder"};
    ASSERT_TRUE(stack.loadInfo(save));
    MemorySaveContainer noSection;
    EXPECT_FALSE(stack.loadInfo(noSection));  // keeps the stack

    EXPECT_FALSE(stack.pop());  // the top border alone: an empty frame
    StringList lines;
    stack.getStackLines(lines);
    EXPECT_EQ(lines, (StringList{"A=1", "", "B=2", "@StackBorder"}));
    ASSERT_TRUE(stack.pop());
    EXPECT_EQ(stack.frame(), StringList{"A=1"});
    ASSERT_TRUE(stack.pop());
    EXPECT_EQ(stack.frame(), StringList{"B=2"});
    EXPECT_EQ(stack.lineCount(), 0u);
}

TEST(ProcessStack, FrameNamesIgnoreLetterCaseAndReplaceInPlace) {
    CallStack stack;
    stack.setFrameText("Stack.BookName", "one");
    stack.setFrameText("Stack.PageName", "page");
    stack.setFrameText("STACK.bookname", "two");
    EXPECT_EQ(stack.frame(), (StringList{"STACK.bookname=two", "Stack.PageName=page"}));
    EXPECT_EQ(stack.getFrameText("stack.BOOKNAME", ""), "two");
    stack.setFrameText("Bad", "12x");
    EXPECT_EQ(stack.getFrameValue("bad", 9), 9);
    EXPECT_TRUE(stack.getFrameFlag("missing", true));
}

}  // namespace
}  // namespace zarvo

#include <gtest/gtest.h>

#include "interp/run_state.hpp"

namespace zarvo {
namespace {

void pushPosition(CallStack& stack, const char* book, const char* page, int index) {
    stack.SetFrameText(CallStack::kBookName, book);
    stack.SetFrameText(CallStack::kPageName, page);
    stack.SetFrameValue(CallStack::kCommandIndex, index);
    stack.Push();
}

TEST(ProcessStack, StateKeepingFrameIsSavedTopFirstInReverseFrameOrder) {
    CallStack stack;
    RunState process;
    process.setStack(&stack);
    process.BeginMessageEffect(0, "text");
    process.BeginMessageWait();
    process.StartWaitTimer(300);
    process.SaveState();  // the state goes in before the position
    pushPosition(stack, "book", "page", 7);
    EXPECT_TRUE(stack.frame().empty());

    MemorySaveContainer save;
    ASSERT_TRUE(stack.SaveInfo(save));
    EXPECT_EQ(save.sections["stack.info"],
              (StringList{"Stack.CommandIndex=7", "Stack.PageName=page", "Stack.BookName=book",
                          "Stack.MessageEffect.LayerName=text", "Stack.MessageEffect.WindowIndex=0",
                          "Stack.WaitCancel.Timer=1", "Stack.WaitCancel.AnykeyClick=0",
                          "Stack.WaitCancel.ActiveClick=0", "Stack.WaitTime=300", "Stack.PlayerMode=4",
                          "@StackBorder"}));
}

TEST(ProcessStack, NestedFramesPopNewestFirstThenUnderflow) {
    CallStack stack;
    pushPosition(stack, "outer", "p1", 3);
    pushPosition(stack, "inner", "p2", 5);
    EXPECT_EQ(stack.lineCount(), 8u);

    ASSERT_TRUE(stack.Pop());
    EXPECT_EQ(stack.frame().front(), "Stack.CommandIndex=5");
    EXPECT_EQ(stack.GetFrameText("Stack.BookName", ""), "inner");
    ASSERT_TRUE(stack.Pop());
    EXPECT_EQ(stack.GetFrameText("Stack.PageName", ""), "p1");
    EXPECT_FALSE(stack.Pop());
    EXPECT_TRUE(stack.frame().empty());
}

TEST(ProcessStack, BordersAndEmptyLinesEndAPopAndAreConsumed) {
    CallStack stack;
    MemorySaveContainer save;
    save.sections["stack.info"] = {"@StackBorder", "A=1", "", "B=2", "@StackBorder"};
    ASSERT_TRUE(stack.LoadInfo(save));
    MemorySaveContainer noSection;
    EXPECT_FALSE(stack.LoadInfo(noSection));  // keeps the stack

    EXPECT_FALSE(stack.Pop());  // the top border alone: an empty frame
    StringList lines;
    stack.GetStackLines(lines);
    EXPECT_EQ(lines, (StringList{"A=1", "", "B=2", "@StackBorder"}));
    ASSERT_TRUE(stack.Pop());
    EXPECT_EQ(stack.frame(), StringList{"A=1"});
    ASSERT_TRUE(stack.Pop());
    EXPECT_EQ(stack.frame(), StringList{"B=2"});
    EXPECT_EQ(stack.lineCount(), 0u);
}

TEST(ProcessStack, FrameNamesIgnoreLetterCaseAndReplaceInPlace) {
    CallStack stack;
    stack.SetFrameText("Stack.BookName", "one");
    stack.SetFrameText("Stack.PageName", "page");
    stack.SetFrameText("STACK.bookname", "two");
    EXPECT_EQ(stack.frame(), (StringList{"STACK.bookname=two", "Stack.PageName=page"}));
    EXPECT_EQ(stack.GetFrameText("stack.BOOKNAME", ""), "two");
    stack.SetFrameText("Bad", "12x");
    EXPECT_EQ(stack.GetFrameValue("bad", 9), 9);
    EXPECT_TRUE(stack.GetFrameFlag("missing", true));
}

}  // namespace
}  // namespace zarvo

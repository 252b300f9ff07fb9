// Controls without a mouse and the reader's settings menu, played on the headless host.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/story.hpp"

namespace zarvo::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;

std::string book(const std::string& startLines, const std::string& morePages = "") {
    return storyScript("<Book=\"スタートブック\">\n<Page=\"スタートページ\">\n" + startLines +
                       "<Page End>\n" + morePages + "<Book End>\n");
}

std::string page(const std::string& name, const std::string& lines) {
    return "<Page=\"" + name + "\">\n" + lines + "<Page End>\n";
}

std::string setValue(const std::string& var, const std::string& value) {
    return "ValueCtrl.ValueVar=%" + var + "%\nValueCtrl.LeftValue=" + value + "\n@ValueCtrl\n";
}

// Three choices, one under the other from (100, 50), each leading to a page that records it.
std::string threeChoices() {
    return book("Select.Area.Left=100\nSelect.Area.Top=50\nSelect.Area.Width=200\n"
                "Select.Text1=一\nSelect.Page1=p1\nSelect.Text2=二\nSelect.Page2=p2\n"
                "Select.Text3=三\nSelect.Page3=p3\n@Select\n",
                page("p1", setValue("answer", "1")) + page("p2", setValue("answer", "2")) +
                    page("p3", setValue("answer", "3")));
}

// Events at 1000, 1100, ... ms.
std::string timed(const std::vector<std::string>& lines) {
    std::string events;
    for (size_t i = 0; i < lines.size(); ++i)
        events += std::to_string(1000 + 100 * i) + " " + lines[i] + "\n";
    return events;
}

TEST(ControlsStory, EveryChoiceCanBeChosenByKeyboardOrPadAlone) {
    StoryBuilder s;
    std::string project = s.writeScript(threeChoices());
    for (int choice = 1; choice <= 3; ++choice) {
        const std::string answer = "%answer%=" + std::to_string(choice);
        const std::string pageReached = "スタートブック/p" + std::to_string(choice) + "#0 @ValueCtrl";
        // Tab steps down from nothing pointed at; Space clicks.
        std::vector<std::string> tabs(choice, "key tab");
        tabs.push_back("key space");
        StoryRun r = s.run(project, timed(tabs));
        EXPECT_EQ(r.status, kExitEnded) << choice;
        EXPECT_THAT(r.userDump(), ElementsAre(answer));
        EXPECT_TRUE(r.hasCommand(pageReached));
        // The arrow keys go the other way round from the last; Enter clicks.
        std::vector<std::string> ups(4 - choice, "key up");
        ups.push_back("key enter");
        r = s.run(project, timed(ups));
        EXPECT_THAT(r.userDump(), ElementsAre(answer));
        // The pad's d-pad and A.
        std::vector<std::string> pad(choice, "pad down");
        pad.push_back("pad a");
        r = s.run(project, timed(pad));
        EXPECT_THAT(r.userDump(), ElementsAre(answer));
        EXPECT_TRUE(r.hasCommand(pageReached));
    }
    // Shift+Tab goes back, and past the first round to the last.
    StoryRun r = s.run(project, timed({"key tab", "key shift", "key tab", "keyup shift",
                                       "key enter"}));
    EXPECT_THAT(r.userDump(), ElementsAre("%answer%=3"));
    // Tab wraps after the last.
    r = s.run(project, timed({"key tab", "key tab", "key tab", "key tab", "key space"}));
    EXPECT_THAT(r.userDump(), ElementsAre("%answer%=1"));
}

TEST(ControlsStory, KeyboardAndPointerShareOnePointedAtChoice) {
    StoryBuilder s;
    std::string project = s.writeScript(threeChoices());
    std::string byKey = s.dir.file("key.png"), byMouse = s.dir.file("mouse.png");
    // A 16-point line is 21 pixels: choice 2 lies in 71 .. 92.
    StoryRun r = s.run(project, timed({"key down", "key down", "shot " + byKey, "move 5 5",
                                       "move 290 80", "shot " + byMouse, "key down", "key space"}));
    // The keyboard shows the choice as the pointer does, the cursor included.
    Surface key, mouse;
    ASSERT_TRUE(readPngFile(byKey, key));
    ASSERT_TRUE(readPngFile(byMouse, mouse));
    EXPECT_EQ(key.getPixel(290, 80), 0xFE7E7Eu);
    for (int y = 40; y < 130; y += 3)
        for (int x = 90; x < 310; x += 3) ASSERT_EQ(key.getPixel(x, y), mouse.getPixel(x, y));
    EXPECT_THAT(r.cursors, Contains("1000 cursor select"));
    // The keyboard goes on from where the pointer left it.
    EXPECT_THAT(r.userDump(), ElementsAre("%answer%=3"));
}

}  // namespace
}  // namespace zarvo::test

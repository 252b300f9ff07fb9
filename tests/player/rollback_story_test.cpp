// Rollback on the headless host: Backspace and the backlog go back to an earlier message, the
// story's whole state (the random generator included) as it was then.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "support/story.hpp"

namespace zarvo::test {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;

std::string draw(const std::string& var) {
    return "ValueCtrl.ValueVar=%" + var + "%\nValueCtrl.LeftValue=%@乱数%\n@ValueCtrl\n";
}

std::string set(const std::string& var, const std::string& value) {
    return "ValueCtrl.ValueVar=%" + var + "%\nValueCtrl.LeftValue=" + value + "\n@ValueCtrl\n";
}

std::string message(const std::string& text) {
    return "MessageDraw.Text=" + text + "\n@MessageDraw\n";
}

std::string picture(const std::string& file) {
    return "GraphicDraw.FileName=" + file + "\n@GraphicDraw\n";
}

// A message over a picture, a random number, a question and a choice between two pages that
// each show another picture, draw another number and end on a message.
std::string choiceStory() {
    const std::string end = "Wait.InputBreak=1\n@Wait\n";
    return storyScript("<Book=\"スタートブック\">\n<Page=\"スタートページ\">\n" +
                       picture("one.png") + message("one<KEY>") + draw("r1") +
                       message("which way?") +
                       "Select.Area.Left=100\nSelect.Area.Top=100\nSelect.Area.Width=200\n"
                       "Select.Text1=A\nSelect.Page1=a\nSelect.Text2=B\nSelect.Page2=b\n@Select\n"
                       "<Page End>\n<Page=\"a\">\n" +
                       picture("two.png") + set("path", "1") + draw("r2") + message("went A<KEY>") +
                       end + "<Page End>\n<Page=\"b\">\n" + set("path", "2") + draw("r2") +
                       message("went B<KEY>") + end + "<Page End>\n<Book End>\n");
}

// Choice A lies at (110, 105), B a line lower.
constexpr const char* kChooseA = "110 105";
constexpr const char* kChooseB = "110 126";

TEST(RollbackStory, GoingBackBeforeAChoiceLetsTheReaderChooseAgainAndReplaysTheSameRun) {
    StoryBuilder s;
    s.writePicture("one.png", 640, 480, 0x603020);
    s.writePicture("two.png", 640, 480, 0x206030);
    const std::string project = s.writeScript(choiceStory());
    const std::string a = std::string("2000 click ") + kChooseA + "\n";
    const std::string shown = s.dir.file("shown.png"), again = s.dir.file("again.png");
    // The question's first letter shows at the tick after the click.
    const StoryRun plain = s.run(project, "1000 click 1 1\n1010 shot " + shown + "\n" + a +
                                              "3000 click 1 1\n4000 click 1 1\n");
    ASSERT_EQ(plain.status, kExitEnded);
    EXPECT_THAT(plain.player, ::testing::IsEmpty());

    // A, then back one message (to the question): the choice is offered again and B taken. The
    // question begins to type again over the first picture, as it did the first time.
    StoryRun r =
        s.run(project, "1000 click 1 1\n" + a + "3000 key backspace\n3000 shot " + again +
                           "\n4000 click " + kChooseB + "\n5000 click 1 1\n6000 click 1 1\n");
    ASSERT_EQ(r.status, kExitEnded);
    EXPECT_THAT(r.player, ElementsAre("3000 player rollback 1"));
    Surface first, second;
    ASSERT_TRUE(readPngFile(shown, first));
    ASSERT_TRUE(readPngFile(again, second));
    EXPECT_EQ(first.getPixel(630, 5), 0x603020u);
    ASSERT_EQ(second.width(), first.width());
    for (int32_t y = 0; y < first.height(); ++y)
        ASSERT_TRUE(std::equal(first.row(y), first.row(y) + first.width(), second.row(y)))
            << "row " << y;
    EXPECT_THAT(r.commands, ::testing::IsSupersetOf({"スタートブック/a#3 @MessageDraw",
                                                     "スタートブック/b#2 @MessageDraw"}));
    EXPECT_EQ(r.commands.back(), "スタートブック/b#3 @Wait");
    EXPECT_THAT(r.userDump(), ::testing::Contains("%path%=2"));

    // Back and A again: the same run, the number drawn after the choice too, though the
    // generator had drawn it once already.
    r = s.run(project, "1000 click 1 1\n" + a + "3000 key backspace\n4000 click " + kChooseA +
                           "\n5000 click 1 1\n6000 click 1 1\n");
    ASSERT_EQ(r.status, kExitEnded);
    EXPECT_EQ(r.userDump(), plain.userDump());

    // Twice back, to the first message: it types again and the first number is drawn again.
    // A third Backspace finds nothing older, says so and changes nothing.
    r = s.run(project, "1000 click 1 1\n" + a +
                           "2500 key backspace\n2600 key backspace\n2700 key backspace\n"
                           "3000 click 1 1\n4000 click " +
                           kChooseA + "\n5000 click 1 1\n6000 click 1 1\n");
    ASSERT_EQ(r.status, kExitEnded);
    EXPECT_THAT(r.player, ElementsAre("2500 player rollback 1", "2600 player rollback 1",
                                      "2700 player notice これより前には戻れません"));
    EXPECT_EQ(r.userDump(), plain.userDump());

    // The backlog: the first message chosen with the arrows and Enter (two messages back from the
    // one shown), then B.
    r = s.run(project,
              "1000 click 1 1\n" + a +
                  "2500 wheel up\n2600 key up\n2800 key enter\n3000 click 1 1\n4000 click " +
                  kChooseB + "\n5000 click 1 1\n6000 click 1 1\n");
    ASSERT_EQ(r.status, kExitEnded);
    EXPECT_THAT(r.player, ElementsAre(EndsWith("backlog open"), "2800 player backlog close",
                                      "2800 player rollback 2"));
    EXPECT_THAT(r.userDump(), ::testing::Contains("%path%=2"));
    EXPECT_EQ(r.userDump().front(), plain.userDump().front());  // %r1% drawn again, the same

    // A save state loaded is another run: what came before it is not its past, so Backspace
    // right after F9 finds nothing to go back to.
    s.settings.readFolder = s.dir.file("data/zarvoplay");
    r = s.run(project, "1000 click 1 1\n1500 key f5\n" + a +
                           "2500 key f9\n2600 key backspace\n3000 click " + kChooseB +
                           "\n4000 click 1 1\n5000 click 1 1\n");
    ASSERT_EQ(r.status, kExitEnded);
    EXPECT_THAT(r.player, ElementsAre("1500 player state save 0", "2500 player state load 0",
                                      "2600 player notice これより前には戻れません"));
    EXPECT_THAT(r.userDump(), ::testing::Contains("%path%=2"));
}

}  // namespace
}  // namespace zarvo::test

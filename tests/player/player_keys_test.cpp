// The player's own keys, sent through the events file of a headless run.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "base/sjis.hpp"
#include "support/player.hpp"
#include "support/story.hpp"
#include "zarvo/texts.hpp"

namespace zarvo::test {
namespace {

using ::testing::Contains;
using ::testing::Not;

std::string book(const std::string& lines, const std::string& head = "FileType=QZ7\n") {
    return storyScript("<Book=\"スタートブック\">\n<Page=\"スタートページ\">\n" + lines +
                           "<Page End>\n<Book End>\n",
                       head);
}

// The frame of the player's notices, in its top left corner.
constexpr uint32_t kNoticeBorder = 0xDCB4A0;  // as getPixel gives it, 0x00BBGGRR

const std::string kClickWait = "Wait.InputBreak=1\n@Wait\n";
const std::string kDone = "ValueCtrl.ValueVar=%done%\nValueCtrl.LeftValue=1\n@ValueCtrl\n";

std::string message(const std::string& text) {
    return "MessageDraw.Text=" + text + "\n@MessageDraw\n";
}

TEST(PlayerKeys, F11AndAltEnterToggleFullScreenWithoutEndingTheWait) {
    StoryBuilder s;
    std::string project = s.writeScript(book(kClickWait + kDone));
    // On with F11, off with Alt+Enter, on again; then a plain Enter ends the wait.
    StoryRun r = s.run(project,
                       "100 key f11\n300 key alt\n300 key enter\n300 keyup alt\n500 key f11\n"
                       "700 key enter\n");
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_THAT(r.dump, Contains("%_fullscreen%=1"));
    EXPECT_GE(r.timeOf("ValueCtrl"), 700);
}

TEST(PlayerKeys, HeldCtrlSkipsMessagesUntilReleasedOrClicked) {
    StoryBuilder s;
    std::string timed = "Wait.TimeBreak=1\nWait.Time=500\n@Wait\n";
    // Held throughout: both messages' key waits pass, also after the wait that turns skipping off.
    std::string project =
        s.writeScript(book(message("あ<KEY>い") + timed + message("う<KEY>え") + kDone));
    StoryRun r = s.run(project, "100 key ctrl\n");
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_THAT(r.dump, Contains("%done%=1"));

    // Let go before the second message: it waits for its key.
    r = s.run(project, "100 key ctrl\n800 keyup ctrl\n");
    EXPECT_EQ(r.status, kExitTimeout);
    EXPECT_THAT(r.dump, Not(Contains("%done%=1")));
    EXPECT_EQ(r.commands.back(), "スタートブック/スタートページ#2 @MessageDraw");

    // A click ends the skip although Ctrl is still down.
    project = s.writeScript(book(message("あ<KEY>い") + kClickWait + message("う<KEY>え") + kDone));
    r = s.run(project, "100 key ctrl\n1000 click 1 1\n");
    EXPECT_EQ(r.status, kExitTimeout);
    EXPECT_THAT(r.dump, Not(Contains("%done%=1")));
    EXPECT_EQ(r.commands.back(), "スタートブック/スタートページ#2 @MessageDraw");
}

TEST(PlayerKeys, ShoulderButtonsSkipWhileEitherIsHeld) {
    StoryBuilder s;
    std::string timed = "Wait.TimeBreak=1\nWait.Time=500\n@Wait\n";
    std::string project =
        s.writeScript(book(message("あ<KEY>い") + timed + message("う<KEY>え") + kDone));
    // LB let go while RB is still down: the skip goes on through the second message.
    StoryRun r = s.run(project, "100 pad lb\n200 pad rb\n800 padup lb\n");
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_THAT(r.dump, Contains("%done%=1"));

    // Both let go before the second message: it waits for its key.
    r = s.run(project, "100 pad lb\n200 pad rb\n800 padup lb\n800 padup rb\n");
    EXPECT_EQ(r.status, kExitTimeout);
    EXPECT_THAT(r.dump, Not(Contains("%done%=1")));
    EXPECT_EQ(r.commands.back(), "スタートブック/スタートページ#2 @MessageDraw");
}

// F12 puts numbered shots in the reader's pictures folder under the story's title, never in the
// story's folder, and says where in a notice drawn over the story for two seconds; the notice
// shows in the window's frame but not in the next shot taken while it is up.
TEST(PlayerKeys, F12SavesInThePicturesFolderAndANoticeSaysWhereForTwoSeconds) {
    StoryBuilder s;
    s.writePicture("bg.png", 640, 480, 0x00FF00);
    std::string project = s.writeScript(
        book("GraphicDraw.FileName=bg.png\n@GraphicDraw\nWait.TimeBreak=1\nWait.Time=5000\n@Wait\n",
             "FileType=QZ7\nTitle=題名/第1話\n"));
    s.settings.picturesFolder = s.dir.file("pictures");
    const std::string during = s.dir.file("during.png"), after = s.dir.file("after.png"),
                      skip = s.dir.file("skip.png");
    StoryRun r = s.run(project, "500 key f12\n700 key f12\n800 shot " + during + "\n2750 shot " +
                                    after + "\n3000 key s\n3050 shot " + skip + "\n");
    EXPECT_EQ(r.status, kExitEnded);
    // The virtual clock starts at 2026-01-01 00:00:00; a second shot in that second is numbered.
    const std::string folder = s.dir.file("pictures/zarvoplay/題名_第1話");
    const std::string first = folder + "/20260101-000000.png",
                      second = folder + "/20260101-000000-2.png";
    Surface shot, shot2, shown, gone, skipping;
    ASSERT_TRUE(readPngFile(first, shot));
    ASSERT_TRUE(readPngFile(second, shot2));
    EXPECT_FALSE(std::filesystem::exists(s.dir.file("story/screenshots")));
    EXPECT_THAT(r.player,
                Contains("700 player notice スクリーンショットを保存しました：" + second));
    // The notice is up in the window's frame, in its top left corner, and gone after two seconds;
    // the second shot was taken while the first one's notice was up, without it.
    ASSERT_TRUE(readPngFile(during, shown));
    ASSERT_TRUE(readPngFile(after, gone));
    EXPECT_EQ(shown.getPixel(8, 8), kNoticeBorder);
    EXPECT_EQ(gone.getPixel(8, 8), 0x00FF00u);
    EXPECT_EQ(shot2.getPixel(8, 8), 0x00FF00u);
    EXPECT_EQ(shot.getPixel(8, 8), 0x00FF00u);
    // The skip toggle says so the same way.
    ASSERT_TRUE(readPngFile(skip, skipping));
    EXPECT_EQ(skipping.getPixel(8, 8), kNoticeBorder);

    // A pictures folder that cannot be made says so, in the reader's language, and the file in
    // its way stays.
    writeFile(s.dir.file("blocked"), "not a folder");
    s.settings.picturesFolder = s.dir.file("blocked");
    s.english = true;
    r = s.run(project, "100 key f12\n");
    EXPECT_THAT(r.player, Contains(::testing::StartsWith("100 player notice Could not save the "
                                                         "screenshot: ")));
    EXPECT_EQ(readFile(s.dir.file("blocked")), "not a folder");
}

// A story that ends while Ctrl skips keeps its last frame, with a notice, until a click or a
// key: held Ctrl would otherwise race through the last message and close the window unseen.
TEST(PlayerKeys, StorySkippedToItsEndWaitsForTheReaderBeforeClosing) {
    StoryBuilder s;
    std::string project = s.writeScript(book(message("あ<KEY>い") + message("う<KEY>え") + kDone));
    StoryRun r = s.run(project, "100 key ctrl\n");
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_THAT(r.dump, Contains("%done%=1"));
    EXPECT_THAT(r.player, Contains(::testing::HasSubstr("player notice 物語は終わりました")));
    EXPECT_THAT(r.player, Not(Contains(::testing::HasSubstr("player quit"))));
    // The notice is on the last frame; letting go of Ctrl does not close it, a key does.
    EXPECT_EQ(r.shot.getPixel(8, 8), kNoticeBorder);
    r = s.run(project, "100 key ctrl\n2000 keyup ctrl\n3000 key space\n");
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_GE(r.timeOf("player quit"), 3000);

    // Auto mode too; read at the reader's pace, the story ends as it always did.
    s.english = true;
    r = s.run(project, "100 key a\n");
    EXPECT_THAT(r.player, Contains(::testing::HasSubstr("player notice The story has ended.")));
    r = s.run(project, "100 key space\n300 key space\n500 key space\n700 key space\n");
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_THAT(r.player, Not(Contains(::testing::HasSubstr("has ended"))));
}

// The save states (F2): saving into a slot says so in the overlay's footer for two seconds,
// over its help line and clear of its title and tabs, which stay as they were.
TEST(PlayerKeys, SavingInTheStateOverlayTellsInItsFooterNotOverItsTitle) {
    StoryBuilder s;
    s.writePicture("bg.png", 640, 480, 0x00FF00);
    std::string project =
        s.writeScript(book("GraphicDraw.FileName=bg.png\n@GraphicDraw\n" + kClickWait));
    s.settings.readFolder = s.dir.file("data/zarvoplay");
    s.english = true;
    const std::string before = s.dir.file("before.png"), saved = s.dir.file("saved.png"),
                      later = s.dir.file("later.png");
    // Open, Tab twice to the save mode, Enter on the first slot.
    StoryRun r = s.run(project, "100 key f2\n200 key tab\n300 key tab\n400 shot " + before +
                                    "\n500 key enter\n600 shot " + saved + "\n2600 shot " + later +
                                    "\n3000 key escape\n");
    EXPECT_THAT(r.player, Contains("500 player state save 1"));
    Surface b, n, l;
    ASSERT_TRUE(readPngFile(before, b));
    ASSERT_TRUE(readPngFile(saved, n));
    ASSERT_TRUE(readPngFile(later, l));
    auto differing = [](const Surface& x, const Surface& y, int top, int bottom) {
        int count = 0;
        for (int row = top; row < bottom; ++row)
            for (int col = 0; col < x.width(); ++col)
                count += x.getPixel(col, row) != y.getPixel(col, row);
        return count;
    };
    // The title row: the same with the notice up, and not empty.
    EXPECT_EQ(differing(b, n, 0, 50), 0);
    EXPECT_NE(n.getPixel(8, 8), kNoticeBorder);
    Surface panel;
    panel.setSize(640, 480);
    panel.fillRect(0, 0, 640, 480, b.getPixel(12, 50));
    EXPECT_GT(differing(b, panel, 14, 42), 500);
    // The footer: the notice instead of the help, then the help again.
    EXPECT_GT(differing(b, n, 440, 480), 500);
    EXPECT_EQ(differing(b, l, 440, 480), 0);
}

}  // namespace
}  // namespace zarvo::test

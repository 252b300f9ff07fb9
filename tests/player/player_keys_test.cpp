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

TEST(PlayerKeys, F12SavesNumberedScreenshotsAndShowsWhereForTwoSeconds) {
    StoryBuilder s;
    std::string project = s.writeScript(
        book("Wait.TimeBreak=1\nWait.Time=5000\n@Wait\n", "FileType=QZ7\nTitle=題名\n"));
    std::vector<platform::HeadlessEvent> events;
    std::string error;
    ASSERT_TRUE(platform::parseEvents("100 key f12\n300 key f12\n", events, error)) << error;
    TestPlayer p(project, s.programDir, events);
    p.run(1000);
    // In the story's data folder, made on demand.
    std::string folder = s.dir.file("story/screenshots");
    // The virtual clock starts at 2026-01-01 00:00:00; a second shot in that second is numbered.
    std::string first = folder + "/20260101-000000.png", second = folder + "/20260101-000000-2.png";
    Surface shot;
    ASSERT_TRUE(readPngFile(first, shot));
    EXPECT_EQ(shot.width(), 640);
    ASSERT_TRUE(std::filesystem::exists(second));
    std::string caption = sjisToUtf8(p.host.caption());
    EXPECT_EQ(caption, sjisToUtf8(texts::kScreenshotSaved) + second);
    p.run(2400);  // two seconds after the last shot
    EXPECT_EQ(sjisToUtf8(p.host.caption()), "題名");
}

TEST(PlayerKeys, F12ThatCannotWriteSaysSoAndKeepsWhatIsThere) {
    StoryBuilder s;
    std::string project = s.writeScript(book(kClickWait));
    std::filesystem::create_directory(s.dir.file("story"));
    writeFile(s.dir.file("story/screenshots"), "not a folder");
    std::vector<platform::HeadlessEvent> events;
    std::string error;
    ASSERT_TRUE(platform::parseEvents("100 key f12\n", events, error)) << error;
    TestPlayer p(project, s.programDir, events);
    p.run(1000);
    EXPECT_THAT(sjisToUtf8(p.host.caption()),
                ::testing::StartsWith(sjisToUtf8(texts::kScreenshotFailed)));
    EXPECT_EQ(readFile(s.dir.file("story/screenshots")), "not a folder");
}

}  // namespace
}  // namespace zarvo::test

// Controls without a mouse and the reader's settings menu, played on the headless host.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "player/player_settings.hpp"
#include "support/player.hpp"
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
    return book(
        "Select.Area.Left=100\nSelect.Area.Top=50\nSelect.Area.Width=200\n"
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
        const std::string pageReached =
            "スタートブック/p" + std::to_string(choice) + "#0 @ValueCtrl";
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
    StoryRun r =
        s.run(project, timed({"key tab", "key shift", "key tab", "keyup shift", "key enter"}));
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

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The menu's rows from the top: text speed, auto delay, auto delay per character, skip read
// only, copy each message, line breaking, music, music volume, sound, sound volume, full
// screen, scaling, saves, back, quit. On a 640 x 480 story the rows are 26 pixels high from
// y = 58 and the values start at x = 376.
constexpr int kMusicVolumeRow = 7;
int rowY(int row) {
    return 58 + 26 * row + 13;
}

TEST(ControlsStory, MenuHoldsTheStoryAndChangesMusicVolumeAsTheStoryWould) {
    StoryBuilder s;
    std::string project =
        s.writeScript(book("Wait.TimeBreak=1\nWait.Time=2000\n@Wait\n" + setValue("after", "1")));
    std::vector<std::string> events{"key escape"};
    for (int i = 0; i < kMusicVolumeRow; ++i) events.push_back("key down");
    events.push_back("key left");
    events.push_back("key left");
    events.push_back("key right");
    StoryRun r = s.run(project, timed(events) + "5000 key f1\n");
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_THAT(r.trace, Contains("1000 player settings open"));
    EXPECT_THAT(r.trace, Contains("1800 player setting music-volume=90"));
    EXPECT_THAT(r.trace, Contains("1900 player setting music-volume=80"));
    EXPECT_THAT(r.trace, Contains("2000 player setting music-volume=90"));
    EXPECT_THAT(r.trace, Contains("5000 player settings close"));
    EXPECT_THAT(r.dump, Contains("%_musicvolume%=90"));
    // The story's two seconds ran out under the menu, and it went on only when it closed.
    EXPECT_GE(r.timeOf("@ValueCtrl"), 5000);

    // The story keeps the volume in its own settings file, as after "@System".
    r = s.run(project, "");
    EXPECT_THAT(r.dump, Contains("%_musicvolume%=90"));

    // By the pad: Start, the d-pad and B; by the pointer: the left of a value steps back, the
    // rest of the row on, the right button closes.
    r = s.run(project, timed({"pad start", "pad down", "pad up", "pad right", "pad b", "key escape",
                              "click 380 " + std::to_string(rowY(kMusicVolumeRow)),
                              "click 590 " + std::to_string(rowY(kMusicVolumeRow)),
                              "click 590 " + std::to_string(rowY(kMusicVolumeRow)), "rclick 5 5"}));
    EXPECT_THAT(r.trace, Contains("1300 player setting text-speed=fast"));
    EXPECT_THAT(r.trace, Contains("1600 player setting music-volume=80"));
    EXPECT_THAT(r.trace, Contains("1700 player setting music-volume=90"));
    EXPECT_THAT(r.trace, Contains("1800 player setting music-volume=100"));
    EXPECT_THAT(r.trace, Contains("1900 player settings close"));
    EXPECT_THAT(r.dump, Contains("%_musicvolume%=100"));
}

TEST(ControlsStory, ReaderSettingsSurviveARestartAndADamagedFile) {
    StoryBuilder s;
    std::string project = s.writeScript(book("Wait.InputBreak=1\n@Wait\n"));
    const std::string speedUp = timed({"key escape", "key enter", "key escape", "key space"});
    // Text speed goes from the story's own to fast; the next run starts from there.
    StoryRun r = s.run(project, speedUp);
    EXPECT_THAT(r.trace, Contains("1100 player setting text-speed=fast"));
    EXPECT_THAT(readText(s.settingsPath()), ::testing::HasSubstr("text-speed=fast\n"));
    r = s.run(project, speedUp);
    EXPECT_THAT(r.trace, Contains("1100 player setting text-speed=instant"));
    // Also when the program ends with the menu open.
    r = s.run(project, timed({"key escape", "key enter", "quit"}));
    EXPECT_THAT(readText(s.settingsPath()), ::testing::HasSubstr("text-speed=slow\n"));
    // The menu's last row ends the program as the story's end does, the settings written.
    r = s.run(project, timed({"key escape", "key enter", "key end", "key enter"}));
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_THAT(r.trace, Contains("1300 player quit"));
    EXPECT_THAT(readText(s.settingsPath()), ::testing::HasSubstr("text-speed=story\n"));
    // Two rows above it, the saves row closes the menu for the save states.
    r = s.run(project, timed({"key escape", "key end", "key up", "key up", "key enter"}));
    EXPECT_THAT(r.trace, Contains("1400 player settings close"));
    EXPECT_THAT(r.trace, Contains("1400 player states open"));

    // A damaged file keeps what it still says and is written back whole, without the damage.
    std::ofstream(s.settingsPath(), std::ios::binary | std::ios::trunc)
        << "text-speed=slow\n\x01\xFFgarbage\nauto-delay=-5\nscaling";
    r = s.run(project, speedUp);
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_THAT(r.trace, Contains("1100 player setting text-speed=story"));
    std::string written = readText(s.settingsPath());
    EXPECT_THAT(written, ::testing::HasSubstr("text-speed=story\nauto-delay=800\n"));
    EXPECT_EQ(written.find("garbage"), std::string::npos);

    // One that is no settings file at all gives the defaults.
    std::ofstream(s.settingsPath(), std::ios::binary | std::ios::trunc)
        << std::string(100000, '\0');
    r = s.run(project, speedUp);
    EXPECT_THAT(r.trace, Contains("1100 player setting text-speed=fast"));
    EXPECT_EQ(std::filesystem::file_size(s.settingsPath()), formatPlayerSettings([] {
                                                                PlayerSettings fast;
                                                                fast.textSpeed = TextSpeed::Fast;
                                                                return fast;
                                                            }())
                                                                .size());
}

TEST(ControlsStory, MenuShowsInTheReadersLanguageOverTheStory) {
    StoryBuilder s;
    s.writePicture("bg.png", 640, 480, 0x00FF00);
    std::string project = s.writeScript(
        book("GraphicDraw.FileName=bg.png\n@GraphicDraw\nWait.InputBreak=1\n@Wait\n"));
    const std::string japanese = s.dir.file("ja.png"), english = s.dir.file("en.png");
    s.run(project, timed({"key escape", "shot " + japanese}));
    s.english = true;
    StoryRun r = s.run(project, timed({"key escape", "shot " + english, "key escape"}));
    Surface ja, en;
    ASSERT_TRUE(readPngFile(japanese, ja));
    ASSERT_TRUE(readPngFile(english, en));
    // Outside the panel the story shows dimmed; closed, it is as it was.
    EXPECT_EQ(en.getPixel(10, 10), 0x007F00u);
    EXPECT_EQ(r.shot.getPixel(10, 10), 0x00FF00u);
    // The texts differ by language; the panel and the pointed-at first row do not.
    int differing = 0;
    for (int y = 30; y < 450; ++y)
        for (int x = 40; x < 600; ++x) differing += ja.getPixel(x, y) != en.getPixel(x, y);
    EXPECT_GT(differing, 500);
    EXPECT_EQ(ja.getPixel(45, rowY(0)), en.getPixel(45, rowY(0)));
    EXPECT_NE(ja.getPixel(45, rowY(0)), ja.getPixel(45, rowY(1)));
}

TEST(ControlsStory, WindowSizeIsKeptPerStory) {
    StoryBuilder s;
    std::string project = s.writeScript(book("Wait.InputBreak=1\n@Wait\n"));
    s.run(project, "1000 resize 900 700\n1100 resize 1000 720\n");
    EXPECT_THAT(readText(s.dir.file("story/c_save00.svi")),
                ::testing::HasSubstr("System.Width=1000\r\nSystem.Height=720\r\n"));
    // The next run opens the window at that size.
    TestPlayer again(project, s.programDir);
    int width = 0, height = 0;
    EXPECT_TRUE(again.host.windowSize(width, height));
    EXPECT_EQ(width, 1000);
    EXPECT_EQ(height, 720);
}

}  // namespace
}  // namespace zarvo::test

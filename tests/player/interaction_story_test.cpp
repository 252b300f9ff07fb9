#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "support/story.hpp"

namespace zarvo::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr uint32_t kWhite = 0xFFFFFF, kRed = 0x0000FF, kGreen = 0x00FF00;
constexpr int kLine = 21;  // a 16-point line at 96 dpi

std::string book(const std::string& startLines, const std::string& morePages = "",
                 const std::string& heads = "") {
    return storyScript(heads + "<Book=\"スタートブック\">\n<Page=\"スタートページ\">\n" +
                       startLines + "<Page End>\n" + morePages + "<Book End>\n");
}

std::string page(const std::string& name, const std::string& lines) {
    return "<Page=\"" + name + "\">\n" + lines + "<Page End>\n";
}

std::string setValue(const std::string& var, const std::string& value) {
    return "ValueCtrl.ValueVar=%" + var + "%\nValueCtrl.LeftValue=" + value + "\n@ValueCtrl\n";
}

// A choice list at (left, top), `width` wide.
std::string select(const std::vector<std::pair<std::string, std::string>>& choices, int left,
                   int top, int width, const std::string& extra = "") {
    std::string s = "Select.Area.Left=" + std::to_string(left) +
                    "\nSelect.Area.Top=" + std::to_string(top) +
                    "\nSelect.Area.Width=" + std::to_string(width) + "\n";
    for (size_t i = 0; i < choices.size(); ++i) {
        s += "Select.Text" + std::to_string(i + 1) + "=" + choices[i].first + "\n";
        s += "Select.Page" + std::to_string(i + 1) + "=" + choices[i].second + "\n";
    }
    return s + extra + "@Select\n";
}

std::string dynamicImage(const std::string& file, int left, int top, const std::string& extra) {
    return "DynamicLayer.Type=Image\nDynamicLayer.Image.FileName=" + file +
           "\nDynamicLayer.Area.Left=" + std::to_string(left) +
           "\nDynamicLayer.Area.Top=" + std::to_string(top) + "\n" + extra + "@DynamicLayer\n";
}

int countColor(const Surface& g, uint32_t color, int x0 = 0, int y0 = 0, int x1 = 640,
               int y1 = 480) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += g.getPixel(x, y) == color;
    return n;
}

int countNot(const Surface& g, uint32_t color, int x0, int y0, int x1, int y1) {
    return (x1 - x0) * (y1 - y0) - countColor(g, color, x0, y0, x1, y1);
}

Surface load(const std::string& path) {
    Surface g;
    readPngFile(path, g);
    return g;
}

// A picture of two halves side by side, as markers and two-frame buttons are drawn.
void writeTwoFrames(StoryBuilder& s, const std::string& name, int cell, uint32_t first,
                    uint32_t second) {
    Surface g;
    g.setSize(2 * cell, cell);
    g.fillRect(0, 0, cell, cell, first);
    g.fillRect(cell, 0, cell, cell, second);
    writePngFile(s.dir.file(name), g);
}

TEST(InteractionStory, ClickedChoiceJumpsToItsPageWithTheCursorFollowing) {
    StoryBuilder s;
    std::string script =
        book(select({{"はい", "yes"}, {"いいえ", "no"}}, 100, 50, 200) + setValue("fell", "1"),
             page("yes", setValue("answer", "1")) + page("no", setValue("answer", "2")));
    std::string project = s.writeScript(script);
    std::string shot = s.dir.file("hover.png");
    // Choice 2 lies in 50 + 21 .. 50 + 42.
    StoryRun r = s.run(project, "1000 move 290 80\n1100 shot " + shot +
                                    "\n1200 move 5 5\n1300 move 290 80\n1400 click 290 80\n");
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_THAT(r.userDump(), ElementsAre("%answer%=2"));
    EXPECT_TRUE(r.hasCommand("スタートブック/no#0 @ValueCtrl"));
    EXPECT_THAT(r.cursors, ElementsAre("1000 cursor select", "1200 cursor default",
                                       "1300 cursor select", "1400 cursor default"));
    // The pointed-at choice lies on a half-transparent blue bar; the other shows no bar.
    Surface hover = load(shot);
    EXPECT_EQ(hover.getPixel(290, 80), 0xFE7E7Eu);
    EXPECT_EQ(hover.getPixel(290, 60), kWhite);
    EXPECT_EQ(hover.getPixel(301, 80), kWhite);
    EXPECT_GT(countNot(hover, kWhite, 100, 50, 150, 50 + kLine), 10);  // the text of choice 1
    // Both items went with the click.
    EXPECT_EQ(countNot(r.shot, kWhite, 0, 0, 640, 480), 0);

    // A click where a choice has appeared counts without a move first.
    r = s.run(project, "1000 click 120 55\n");
    EXPECT_THAT(r.userDump(), ElementsAre("%answer%=1"));
}

TEST(InteractionStory, ChoiceListsStopAtAnEmptyPageAndAtTwenty) {
    StoryBuilder s;
    // An empty first page offers nothing, and still waits; clicks do not end the wait.
    std::string project = s.writeScript(book(
        select({{"A", ""}, {"B", "b"}}, 0, 0, 0) + setValue("fell", "1"), page("b", "@rem\n")));
    StoryRun r = s.run(project, "1000 click 5 5\n1200 key space\n");
    EXPECT_EQ(r.status, kExitTimeout);
    EXPECT_THAT(r.userDump(), IsEmpty());
    EXPECT_EQ(countNot(r.shot, kWhite, 0, 0, 640, 480), 0);

    // An empty text skips its choice without ending the list or taking room.
    project = s.writeScript(book(select({{"", "a"}, {"B", "b"}}, 0, 0, 0),
                                 page("a", setValue("p", "1")) + page("b", setValue("p", "2"))));
    r = s.run(project, "1000 click 5 5\n");
    EXPECT_THAT(r.userDump(), ElementsAre("%p%=2"));

    // Twenty-one choices show twenty.
    std::vector<std::pair<std::string, std::string>> choices;
    std::string pages;
    for (int i = 1; i <= 21; ++i) {
        choices.push_back({"選択肢", "p" + std::to_string(i)});
        pages += page("p" + std::to_string(i), setValue("picked", std::to_string(i)));
    }
    project = s.writeScript(book(select(choices, 0, 0, 0), pages));
    r = s.run(project, "1000 click 5 " + std::to_string(20 * kLine + 5) + "\n");
    EXPECT_EQ(r.status, kExitTimeout);  // below the twentieth: nothing there
    EXPECT_THAT(r.userDump(), IsEmpty());
    EXPECT_GT(countNot(r.shot, kWhite, 0, 19 * kLine, 640, 20 * kLine), 10);
    EXPECT_EQ(countNot(r.shot, kWhite, 0, 20 * kLine, 640, 480), 0);
    r = s.run(project, "1000 click 5 " + std::to_string(19 * kLine + 5) + "\n");
    EXPECT_THAT(r.userDump(), ElementsAre("%picked%=20"));
}

TEST(InteractionStory, TimedChoiceEndsWithItsItemsGoneAndTheStoryGoesOn) {
    StoryBuilder s;
    std::string project =
        s.writeScript(book(select({{"はい", "yes"}, {"いいえ", "no"}}, 0, 100, 300,
                                  "Select.Timeout=1\nSelect.Time=2000\n") +
                               setValue("after", "1") + "Wait.TimeBreak=1\nWait.Time=1000\n@Wait\n",
                           page("yes", setValue("answer", "1"))));
    std::string during = s.dir.file("during.png");
    StoryRun r = s.run(project, "1000 shot " + during + "\n");
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_THAT(r.dump, ElementsAre("%after%=1"));
    // The gauge page of the system library ran inside the choice and returned to its wait.
    ASSERT_GE(r.commands.size(), 3u);
    EXPECT_EQ(r.commands[2], "_system/_timer#0 @Return");
    int after = -1;
    for (const auto& line : r.trace)
        if (line.find("@ValueCtrl") != std::string::npos) after = std::stoi(line);
    EXPECT_GE(after, 2000);
    EXPECT_LE(after, 2400);
    EXPECT_GT(countNot(load(during), kWhite, 0, 100, 300, 100 + 2 * kLine), 20);
    EXPECT_EQ(countNot(r.shot, kWhite, 0, 0, 640, 480), 0);
    EXPECT_THAT(r.boxes, IsEmpty());
}

#ifdef ZARVO_SYSTEM_LIBRARY
TEST(InteractionStory, SystemLibraryGaugeCountsDownAndGoesWithTheChoices) {
    StoryBuilder s;
    std::filesystem::copy_file(ZARVO_SYSTEM_LIBRARY, s.programDir + "/zarvoplay.zvl",
                               std::filesystem::copy_options::overwrite_existing);
    std::string project = s.writeScript(
        book(select({{"はい", "yes"}}, 0, 100, 300, "Select.Timeout=1\nSelect.Time=30000\n") +
                 setValue("after", "1"),
             page("yes", setValue("answer", "1") + "Wait.TimeBreak=1\nWait.Time=1000\n@Wait\n")));
    // The gauge (8, 8), 128 x 12 a frame, its bar inside a two-pixel rim: full until ten
    // seconds are left, then a tenth shorter each second.
    auto barEnd = [](const Surface& g) {
        int x = 10;
        for (uint32_t c = g.getPixel(x, 14); x < 134 && (c & 0xFF) != ((c >> 8) & 0xFF);
             c = g.getPixel(++x, 14)) {
        }
        return x - 10;
    };
    std::string full = s.dir.file("full.png"), late = s.dir.file("late.png");
    StoryRun r = s.run(project, "5000 shot " + full + "\n25000 shot " + late +
                                    "\n26000 move 50 105\n26100 click 50 105\n");
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_THAT(r.dump, ElementsAre("%answer%=1"));
    EXPECT_EQ(barEnd(load(full)), 124);
    EXPECT_EQ(barEnd(load(late)), 124 * 5 / 10);  // 5 s left: frame 5
    // The click took the gauge along with the choice.
    EXPECT_EQ(countNot(r.shot, kWhite, 0, 0, 640, 480), 0);

    // Markers come from the library too: the only pixels of colour beside black text.
    auto tinted = [](const Surface& g) {
        int n = 0;
        for (int y = 0; y < kLine; ++y)
            for (int x = 0; x < 100; ++x) {
                uint32_t c = g.getPixel(x, y);
                n += (c & 0xFF) != (c >> 16);
            }
        return n;
    };
    project = s.writeScript(book("MessageDraw.Text=あ<KEY>い\n@MessageDraw\n"));
    // It blinks: one of two shots half a blink apart shows it.
    std::string wait1 = s.dir.file("wait1.png"), wait2 = s.dir.file("wait2.png");
    r = s.run(project, "1000 shot " + wait1 + "\n1600 shot " + wait2 + "\n2000 click 1 1\n");
    EXPECT_EQ(r.status, kExitEnded);
    int shown1 = tinted(load(wait1)), shown2 = tinted(load(wait2));
    EXPECT_TRUE((shown1 > 10 && shown2 == 0) || (shown1 == 0 && shown2 > 10))
        << shown1 << " " << shown2;
    EXPECT_EQ(tinted(r.shot), 0);
}
#endif

TEST(InteractionStory, KeyMarkerBlinksDuringTheKeyWaitAndGoesAfter) {
    StoryBuilder s;
    writeTwoFrames(s, "_keywait_char.png", 8, kRed, kGreen);
    std::string project = s.writeScript(
        book("MessageDraw.Text=あい<KEY>うえ\n@MessageDraw\n" + setValue("done", "1")));
    std::string a = s.dir.file("a.png"), b = s.dir.file("b.png");
    StoryRun r = s.run(project, "1000 shot " + a + "\n1600 shot " + b + "\n3000 click 1 1\n");
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_THAT(r.dump, ElementsAre("%done%=1"));
    Surface first = load(a), second = load(b);
    // One frame of 8 x 8, resting on the bottom of the first line, after the characters.
    EXPECT_EQ(countColor(first, kRed) + countColor(first, kGreen), 64);
    EXPECT_EQ(countColor(first, kRed, 30, kLine - 8, 640, kLine) +
                  countColor(first, kGreen, 30, kLine - 8, 640, kLine),
              64);
    EXPECT_NE(countColor(first, kRed), countColor(second, kRed));  // it blinks
    EXPECT_EQ(countColor(r.shot, kRed) + countColor(r.shot, kGreen), 0);
}

TEST(InteractionStory, ClickableLayersCallMoveAndKeepTheWait) {
    StoryBuilder s;
    s.writePicture("button.png", 40, 20, kRed);
    auto story = [&](const std::string& clickable) {
        return s.writeScript(book(
            dynamicImage(
                "button.png", 10, 10,
                "DynamicLayer.Clickable.Mode=All\nDynamicLayer.Clickable.BookName=スタートブック\n"
                "DynamicLayer.Clickable.PageName=sub\n" +
                    clickable) +
                "Wait.InputBreak=1\n@Wait\n" + setValue("after", "1"),
            page("sub", setValue("sub", "1") + "@Return\n")));
    };
    // A call leaves the wait behind: the return goes on after it.
    StoryRun r = s.run(story("DynamicLayer.Clickable.Move=Call\n"), "1000 click 20 20\n");
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_THAT(r.userDump(), ElementsAre("%sub%=1", "%after%=1"));
    EXPECT_EQ(countColor(r.shot, kRed), 800);  // the button stays without its clear flag

    // Keeping the state: the return waits again, and a key ends that wait.
    r = s.run(story("DynamicLayer.Clickable.Move=Call\nDynamicLayer.Clickable.KeepExecuteMode=1\n"),
              "1000 click 20 20\n3000 key space\n");
    EXPECT_THAT(r.userDump(), ElementsAre("%sub%=1", "%after%=1"));
    ASSERT_FALSE(r.trace.empty());
    EXPECT_GE(std::stoi(r.trace.back()), 3000);

    // A right click never ends a wait; a click beside the button ends a key-ending wait only.
    r = s.run(story("DynamicLayer.Clickable.Clear=1\n"), "1000 rclick 20 20\n");
    EXPECT_EQ(r.status, kExitTimeout);
    EXPECT_THAT(r.userDump(), IsEmpty());
    r = s.run(story("DynamicLayer.Clickable.Clear=1\n"), "1000 click 20 20\n");
    EXPECT_THAT(r.userDump(), ElementsAre("%sub%=1"));  // a move: no return to come back to
    EXPECT_EQ(countColor(r.shot, kRed), 0);             // cleared with its group
    r = s.run(story(""), "1000 click 300 300\n");
    EXPECT_THAT(r.userDump(), ElementsAre("%after%=1"));
}

TEST(InteractionStory, DynamicLayerGroupsGoByIdAndExpiredOnesWithTheNextWait) {
    StoryBuilder s;
    s.writePicture("red.png", 10, 10, kRed);
    s.writePicture("green.png", 10, 10, kGreen);
    std::string wait = "Wait.TimeBreak=1\nWait.Time=500\n@Wait\n";
    std::string project =
        s.writeScript(book(dynamicImage("red.png", 0, 0, "DynamicLayer.AttrID=2000\n") +
                           dynamicImage("green.png", 20, 0, "") +
                           dynamicImage("green.png", 40, 0, "DynamicLayer.AttrID=3\n") +
                           "@Effect\n" + wait + "@Effect\n@DynamicLayerClear\n@Effect\n"));
    std::string before = s.dir.file("before.png"), mid = s.dir.file("mid.png");
    StoryRun r = s.run(project, "300 shot " + before + "\n1100 shot " + mid + "\n");
    EXPECT_EQ(r.status, kExitEnded);
    Surface b = load(before), m = load(mid);
    EXPECT_EQ(countColor(b, kRed), 100);
    EXPECT_EQ(countColor(b, kGreen), 200);
    EXPECT_EQ(countColor(m, kRed), 0);  // gone when the wait ended
    EXPECT_EQ(countColor(m, kGreen), 200);
    EXPECT_EQ(countColor(r.shot, kGreen, 0, 0, 30, 10), 0);  // id 0 cleared by default
    EXPECT_EQ(countColor(r.shot, kGreen, 40, 0, 50, 10), 100);

    // Waits that a key or a click ends leave them up; the next wait whose time runs out takes them.
    project = s.writeScript(book(dynamicImage("red.png", 0, 0, "DynamicLayer.AttrID=2000\n") +
                                 "Wait.InputBreak=1\n@Wait\n@Effect\nWait.InputBreak=1\n@Wait\n" +
                                 "@Effect\n@Effect\n" + wait));
    r = s.run(project, "1000 key enter\n1500 click 300 300\n1700 shot " + mid + "\n");
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_EQ(countColor(load(mid), kRed), 100);
    EXPECT_EQ(countColor(r.shot, kRed), 0);

    // A picture that does not load leaves its name as text and no dialog.
    project = s.writeScript(book(dynamicImage("none.png", 0, 0, "")));
    r = s.run(project);
    EXPECT_THAT(r.boxes, IsEmpty());
    EXPECT_GT(countNot(r.shot, kWhite, 0, 0, 640, kLine), 50);
}

TEST(InteractionStory, LayerCtrlChangesOnlyWhatItIsAskedButAlwaysRefreshes) {
    StoryBuilder s;
    s.writePicture("green.png", 100, 60, kGreen);
    std::string heads = "<Head=\"LayerList\">\nLayerCount=2\nLayer.1.LayerName=A\n<Head End>\n";
    std::string picture =
        "GraphicDraw.FileName=green.png\nGraphicDraw.Layer=A\nGraphicDraw.Layer.Move=1\n"
        "GraphicDraw.Area.Left=300\nGraphicDraw.Area.Top=200\n@GraphicDraw\n"
        "MessageDraw.Text=文字\nMessageDraw.Effect=None\n@MessageDraw\n";
    // Only the name: the text layer is hidden and the screen refreshed, the layer untouched.
    StoryRun r = s.run(s.writeScript(book(picture + "Layer.Name=A\n@LayerCtrl\n", "", heads)));
    EXPECT_EQ(countNot(r.shot, kWhite, 0, 0, 100, kLine), 0);
    EXPECT_EQ(countColor(r.shot, kGreen, 300, 200, 400, 260), 6000);
    EXPECT_THAT(r.boxes, IsEmpty());

    // Without a refresh nothing shows yet; moved by a variable, then emptied ("Clear" is the
    // default file name) and hidden.
    std::string script =
        book(picture + setValue("x", "10") +
                 "Layer.Name=A\nLayer.Pos.Change=1\nLayer.Pos.Left=%x%\nLayer.Pos.Top=20\n"
                 "Layer.ScrnRefresh=0\n@LayerCtrl\n@Effect\n"
                 "Layer.Name=A\n@LayerCtrl\n@Effect\n"
                 "Layer.Name=A\nLayer.Image.Change=1\n@LayerCtrl\n@Effect\n"
                 "Layer.Name=A\nLayer.Visible.Change=1\nLayer.Visible.Show=0\n@LayerCtrl\n",
             "", heads);
    std::string unrefreshed = s.dir.file("unrefreshed.png"), moved = s.dir.file("moved.png"),
                cleared = s.dir.file("cleared.png");
    r = s.run(s.writeScript(script),
              "300 shot " + unrefreshed + "\n500 shot " + moved + "\n700 shot " + cleared + "\n");
    Surface u = load(unrefreshed), m = load(moved), c = load(cleared);
    EXPECT_EQ(countColor(u, kGreen, 300, 200, 400, 260), 6000);
    EXPECT_GT(countNot(u, kWhite, 0, 0, 100, kLine), 10);
    EXPECT_EQ(countColor(m, kGreen, 10, 20, 110, 80), 6000);
    EXPECT_EQ(countColor(m, kGreen, 300, 200, 400, 260), 0);
    EXPECT_EQ(countColor(c, kGreen), 0);
    EXPECT_EQ(countColor(r.shot, kGreen), 0);
    EXPECT_THAT(r.boxes, IsEmpty());

    // An unknown layer is reported once, whatever it was asked.
    r = s.run(s.writeScript(
        book("Layer.Name=B\nLayer.Pos.Change=1\nLayer.Size.Change=1\n@LayerCtrl\n", "", heads)));
    EXPECT_THAT(r.boxes, ElementsAre("box plain: debug - error:\\n layername not found:B"));
}

}  // namespace
}  // namespace zarvo::test

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "archive/package_fixtures.hpp"
#include "formats/bmp.hpp"
#include "support/story.hpp"

namespace zarvo::test {
namespace {

using ::testing::ElementsAre;

std::string startPage(const std::string& lines) {
    return "<Book=\"スタートブック\">\n<Page=\"スタートページ\">\n" + lines +
           "<Page End>\n<Book End>\n";
}

constexpr uint32_t kRed = 0x0000FF, kBlue = 0xFF0000, kGreen = 0x00FF00;

std::string draw(const std::string& file, const std::string& effect,
                 const std::string& extra = "") {
    return "GraphicDraw.FileName=" + file + "\nGraphicDraw.EffectType=" + effect + "\n" + extra +
           "@GraphicDraw\n";
}

TEST(ScreenStory, EveryEffectEndsExactlyOnTheComposedPicture) {
    StoryBuilder s;
    s.writePicture("red.png", 640, 480, kRed);
    s.writePicture("blue.png", 640, 480, kBlue);
    s.writePicture("small.png", 100, 60, kGreen);
    for (const char* effect :
         {"Fadein", "LeftTo", "TopTo", "RndPanel", "Blind", "Square", "Wave", "Mosaic", "Nope"}) {
        std::string body = draw("red.png", "None") + draw("blue.png", effect) +
                           draw("small.png", effect,
                                "GraphicDraw.Layer=A\nGraphicDraw.Layer.Move=1\n"
                                "GraphicDraw.Area.Left=300\nGraphicDraw.Area.Top=200\n"
                                "GraphicDraw.EffectAreaLimit=1\n");
        std::string head = "FileType=QZ7\n";
        std::string script =
            storyScript("<Head=\"LayerList\">\nLayerCount=2\nLayer.1.LayerName=A\n<Head End>\n" +
                            startPage(body),
                        head);
        StoryRun r = s.run(s.writeScript(script));
        ASSERT_EQ(r.status, kExitEnded) << effect;
        ASSERT_EQ(r.shot.width(), 640) << effect;
        EXPECT_EQ(r.shot.getPixel(0, 0), kBlue) << effect;
        EXPECT_EQ(r.shot.getPixel(639, 479), kBlue) << effect;
        EXPECT_EQ(r.shot.getPixel(300, 200), kGreen) << effect;
        EXPECT_EQ(r.shot.getPixel(399, 259), kGreen) << effect;
        EXPECT_EQ(r.shot.getPixel(400, 260), kBlue) << effect;
    }
}

TEST(ScreenStory, EffectsTakeTheirTimeOnTheVirtualClock) {
    StoryBuilder s;
    s.writePicture("red.png", 640, 480, kRed);
    std::string body = draw("red.png", "Wave") + "@rem\n";
    StoryRun r = s.run(s.writeScript(storyScript(startPage(body))));
    ASSERT_EQ(r.commands.size(), 3u);
    // The two-second wave runs inside the tick that started it.
    int start = std::stoi(r.trace[1]);
    int after = std::stoi(r.trace[2]);
    EXPECT_GE(after - start, 2000);
    EXPECT_LT(after - start, 2100);
}

TEST(ScreenStory, MessageRevealsUpToKeyWaitThenTheRestAfterAClick) {
    StoryBuilder s;
    s.writePicture("black.png", 640, 480, 0x000000);
    std::string body = draw("black.png", "None") +
                       "MessageDraw.Text=<clWhite>一行目<KEY>#二行目#三行目\n@MessageDraw\n"
                       "ValueCtrl.ValueVar=%done%\nValueCtrl.LeftValue=1\n@ValueCtrl\n";
    std::string project = s.writeScript(storyScript(startPage(body)));
    auto whiteIn = [](const Surface& g, int x0, int y0, int x1, int y1) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += g.getPixel(x, y) == 0xFFFFFF;
        return n;
    };
    // Before the click: line 1 is shown, lines 2 and 3 are not, and the story waits.
    StoryRun r = s.run(project, "", 5000);
    EXPECT_EQ(r.status, kExitTimeout);
    EXPECT_GT(whiteIn(r.shot, 0, 0, 100, 21), 20);
    EXPECT_EQ(whiteIn(r.shot, 0, 21, 640, 480), 0);
    EXPECT_TRUE(r.userDump().empty());
    // After the click the rest is revealed and the story goes on.
    r = s.run(project, "3000 click 1 1\n");
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_GT(whiteIn(r.shot, 0, 21, 100, 42), 20);
    EXPECT_GT(whiteIn(r.shot, 0, 42, 100, 63), 20);
    EXPECT_THAT(r.userDump(), ElementsAre("%done%=1"));
}

TEST(ScreenStory, SizeZeroMeansTheWindowsDefaultSize) {
    StoryBuilder s;
    s.writePicture("black.png", 640, 480, 0x000000);
    auto shown = [&](const std::string& tags) {
        std::string body = draw("black.png", "None") + "MessageDraw.Text=<clWhite>" + tags +
                           "あいう漢字ABC\n@MessageDraw\n";
        StoryRun r = s.run(s.writeScript(storyScript(startPage(body))));
        EXPECT_EQ(r.status, kExitEnded) << tags;
        std::vector<uint32_t> pixels;
        for (int y = 0; y < r.shot.height(); ++y)
            for (int x = 0; x < r.shot.width(); ++x) pixels.push_back(r.shot.getPixel(x, y));
        return pixels;
    };
    std::vector<uint32_t> plain = shown("");
    ASSERT_GT(std::count(plain.begin(), plain.end(), 0xFFFFFFu), 100);
    for (const char* tags : {"<*0>", "<*ab>", "<*5><-5>", "<*00>"})
        EXPECT_TRUE(shown(tags) == plain) << tags;
}

TEST(ScreenStory, LongMessageBreaksPagesAndWaitsForAClick) {
    StoryBuilder s;
    std::string lines;
    for (int i = 0; i < 30; ++i) lines += "行" + std::to_string(i) + "#";
    std::string body = "MessageDraw.Text=" + lines +
                       "最後\n@MessageDraw\n"
                       "ValueCtrl.ValueVar=%done%\nValueCtrl.LeftValue=1\n@ValueCtrl\n";
    std::string project = s.writeScript(storyScript(startPage(body)));
    StoryRun r = s.run(project, "", 10000);
    EXPECT_EQ(r.status, kExitTimeout);  // waiting at the page break
    // Two clicks: the page break, then the next page's layout; the second page then ends.
    r = s.run(project, "3000 click 1 1\n4000 click 1 1\n");
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_THAT(r.userDump(), ElementsAre("%done%=1"));
}

TEST(ScreenStory, MissingPictureReportsAndTheStoryGoesOn) {
    StoryBuilder s;
    std::string body = draw("nowhere.png", "Fadein") +
                       "ValueCtrl.ValueVar=%after%\nValueCtrl.LeftValue=1\n@ValueCtrl\n";
    StoryRun r = s.run(s.writeScript(storyScript(startPage(body))));
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_THAT(r.boxes, ElementsAre("box error-abort-ignore: "
                                     "画像ファイル「nowhere."
                                     "png」の読み込みに失敗しました\\nこのファイルが存在しないか、"
                                     "このファイルを読み込むためのSusieプラグインが必要です。",
                                     "box error: 画像「nowhere.png」の読み込みができません"));
    EXPECT_THAT(r.dump, ElementsAre("%after%=1"));
    // Abort ends the program as a fatal error, with no box after it and no command.
    std::string loadBox = r.boxes[0];
    r = s.run(s.writeScript(storyScript(startPage(body))), "0 answer abort\n");
    EXPECT_EQ(r.status, kExitFatal);
    EXPECT_THAT(r.boxes, ElementsAre(loadBox));
    EXPECT_TRUE(r.userDump().empty());
}

TEST(ScreenStory, ScreenshotsDuringAnEffectShowTheFrameOnScreen) {
    StoryBuilder s;
    s.writePicture("red.png", 640, 480, kRed);
    s.writePicture("blue.png", 640, 480, kBlue);
    std::string mid = s.dir.file("mid.png");
    // The fade runs from about 200 ms for 1.2 s; halfway it shows neither picture whole.
    StoryRun r = s.run(
        s.writeScript(storyScript(startPage(draw("red.png", "None") + draw("blue.png", "Fadein")))),
        "700 shot " + mid + "\n700 key f12\n");
    EXPECT_EQ(r.status, kExitEnded);
    Surface event, key;
    ASSERT_TRUE(readPngFile(mid, event));
    ASSERT_TRUE(readPngFile(s.dir.file("pictures/zarvoplay/story/20260101-000000.png"), key));
    for (const Surface* shot : {&event, &key}) {
        uint32_t c = shot->getPixel(320, 240);
        EXPECT_GT(c & 0xFF, 0u) << std::hex << c;  // some red left
        EXPECT_GT(c >> 16, 0u) << std::hex << c;   // some blue come
    }
    EXPECT_EQ(r.shot.getPixel(320, 240), kBlue);
}

TEST(ScreenStory, PicturesResolveJapaneseNamesBackslashesAndLetterCase) {
    StoryBuilder s;
    std::filesystem::create_directories(s.dir.file("story/画像"));
    s.writePicture("story/画像/ソフト.png", 640, 480, kGreen);  // ソ ends in byte 0x5C
    s.writePicture("story/表紙.PNG", 640, 480, kRed);           // 表 too
    std::string body = draw("画像\\ソフト.png", "None") + "@Effect\n" + draw("表紙.png", "None");
    std::string project = s.writeScript(storyScript(startPage(body)));
    StoryRun r = s.run(project, "250 shot " + s.dir.file("first.png") + "\n");
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.shot.getPixel(10, 10), kRed);
    Surface first;
    ASSERT_TRUE(readPngFile(s.dir.file("first.png"), first));
    EXPECT_EQ(first.getPixel(10, 10), kGreen);
}

TEST(ScreenStory, RootedAndDriveNamesStayInsideTheFolderTheyAreAppendedTo) {
    StoryBuilder s;
    std::filesystem::create_directories(s.dir.file("data/img"));
    s.writePicture("data/img/green.png", 640, 480, kGreen);
    s.writePicture("blue.png", 640, 480, kBlue);  // beside the project
    std::string head = "FileType=QZ7\nDataDirectory=\\data\n";
    for (std::string name :
         {"\\img\\green.png", "C:\\img\\\\green.png", "\\..\\..\\img\\green.png"}) {
        StoryRun r = s.run(s.writeScript(storyScript(startPage(draw(name, "None")), head)));
        EXPECT_TRUE(r.boxes.empty()) << name;
        EXPECT_EQ(r.shot.getPixel(10, 10), kGreen) << name;
    }
    // The project's folder is still searched after the data folder.
    StoryRun r = s.run(s.writeScript(storyScript(startPage(draw("\\blue.png", "None")), head)));
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.shot.getPixel(10, 10), kBlue);
}

TEST(ScreenStory, PackagedPicturesReadWholeWhateverTheirRecordedSize) {
    StoryBuilder s;
    auto bmp = [](uint32_t color) {
        Picture p{640, 480, std::vector<uint32_t>(640 * 480, color)};
        return encodeBmp(p);
    };
    std::string blue = bmp(0x0000FF), green = bmp(kGreen);  // BMP colours are 0x00RRGGBB
    std::string body = draw("zero.bmp", "None") + "@Effect\n" + draw("bomb.bmp", "None");
    // Packers that record 0 or too small a size, and a picture followed by a gigabyte of zeros:
    // the picture takes what its headers ask for and no more.
    writeFile(
        s.dir.file("game.zp7"),
        chainPackage({{"zarvo.zf7", 0, readFile(s.writeScript(storyScript(startPage(body)))), 0},
                      {"zero.bmp", kPackageFlagCompressed, zlibCompress(blue), 0},
                      {"bomb.bmp", kPackageFlagCompressed, inflatingBomb(green, 1024), 100}}));
    StoryRun r = s.run(s.dir.file("game.zp7"), "250 shot " + s.dir.file("first.png") + "\n");
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.shot.getPixel(10, 10), kGreen);
    Surface first;
    ASSERT_TRUE(readPngFile(s.dir.file("first.png"), first));
    EXPECT_EQ(first.getPixel(10, 10), kBlue);
}

TEST(ScreenStory, OpeningPictureAndTitle) {
    StoryBuilder s;
    s.writePicture("open.png", 640, 480, kGreen);
    StoryRun r =
        s.run(s.writeScript(storyScript(startPage("@rem\n"), "FileType=QZ7\nOpening=open.png\n")));
    EXPECT_EQ(r.shot.getPixel(320, 240), kGreen);
    r = s.run(s.writeScript(storyScript(startPage("@rem\n"), "FileType=QZ7\nOpening=Default\n")));
    EXPECT_EQ(r.shot.getPixel(320, 240), 0xFFFFFFu);
    EXPECT_TRUE(r.boxes.empty());
}

}  // namespace
}  // namespace zarvo::test

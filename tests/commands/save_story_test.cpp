#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "archive/package.hpp"
#include "base/name_value.hpp"
#include "formats/bmp.hpp"
#include "support/story.hpp"

namespace zarvo::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr uint32_t kRed = 0x0000FF, kBlue = 0xFF0000, kWhite = 0xFFFFFF, kGrey = 0x808080;

std::string setValue(const std::string& var, const std::string& value) {
    return "ValueCtrl.ValueVar=%" + var + "%\nValueCtrl.LeftValue=" + value + "\n@ValueCtrl\n";
}

std::string saveCtrl(const std::string& command, const std::string& extra) {
    return "SaveCtrl.Command=" + command + "\n" + extra + "@SaveCtrl\n";
}

std::string draw(const std::string& file) {
    return "GraphicDraw.FileName=" + file + "\n@GraphicDraw\n";
}

std::string pages(const std::string& start, const std::string& more) {
    return "<Book=\"スタートブック\">\n<Page=\"スタートページ\">\n" + start + "<Page End>\n" +
           more + "<Book End>\n";
}

std::string page(const std::string& name, const std::string& lines) {
    return "<Page=\"" + name + "\">\n" + lines + "<Page End>\n";
}

// A BMP of 100 x 60 pixels (0x00RRGGBB): `field`, with a square of `square` in its middle.
void writeBmp(StoryBuilder& s, const std::string& name, uint32_t field, uint32_t square) {
    Picture p;
    p.width = 100;
    p.height = 60;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 100; ++x)
            p.pixels.push_back(x >= 30 && x < 70 && y >= 10 && y < 50 ? square : field);
    writeFile(s.dir.file(name), encodeBmp(p));
}

int count(const Surface& g, uint32_t color, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += g.getPixel(x, y) == color;
    return n;
}

TEST(SaveStory, PlaysSavesChangesLoadsAndGoesOnAfterTheCallingCommand) {
    StoryBuilder s;
    s.writeLibrary(
        "<Book=\"_system\">\n<Page=\"_init\">\n@Return\n<Page End>\n"
        "<Page=\"_reload\">\n" +
        setValue("reloaded", "1") +
        "@Return\n<Page End>\n"
        "<Book End>\n");
    s.writePicture("red.png", 640, 480, kRed);
    s.writePicture("blue.png", 640, 480, kBlue);
    // The first time through, the story changes everything and loads the save made in "menu";
    // what it learnt is kept in the settings, which a load leaves alone.
    std::string start = draw("red.png") + setValue("hp", "10") +
                        "Call.BookName=スタートブック\nCall.PageName=menu\n@Call\n" +
                        saveCtrl("LoadValue", "SaveCtrl.Key=loaded\nSaveCtrl.Variable=%loaded%\n") +
                        "if.Variable1=%loaded%\nif.Variable2=0\n@if\n" +
                        saveCtrl("SaveValue", "SaveCtrl.Key=loaded\nSaveCtrl.Value=1\n") +
                        setValue("hp", "99") + draw("blue.png") +
                        saveCtrl("AutoLoad", "SaveCtrl.FileName=slot1.sav\n") +
                        setValue("never", "1") + "@endif\n" + setValue("final", "%hp%");
    std::string project = s.writeScript(storyScript(pages(
        start, page("menu", saveCtrl("AutoSave", "SaveCtrl.FileName=slot1.sav\n") + "@Return\n"))));
    StoryRun r = s.run(project, "", 60000);
    EXPECT_EQ(r.status, 0);
    // The save asked to make the data folder; nothing else was said.
    EXPECT_THAT(r.boxes,
                ElementsAre("box warning-yes-no: セーブファイルの保存のため\\n\"" +
                            s.dir.file("story") + "\" フォルダを作成します。\\nよろしいですか？"));
    // After the load "_reload" ran, then the command after the Call, with the saved values.
    std::vector<std::string> tail(r.commands.end() - 6, r.commands.end());
    EXPECT_THAT(tail, ElementsAre("スタートブック/スタートページ#8 @SaveCtrl",
                                  "_system/_reload#0 @ValueCtrl", "_system/_reload#1 @Return",
                                  "スタートブック/スタートページ#3 @SaveCtrl",
                                  "スタートブック/スタートページ#4 @if",
                                  "スタートブック/スタートページ#11 @ValueCtrl"));
    EXPECT_THAT(r.dump, Contains("%hp%=10"));
    EXPECT_THAT(r.dump, Contains("%final%=10"));
    EXPECT_THAT(r.dump, Contains("%loaded%=1"));
    EXPECT_THAT(r.dump, Contains("%reloaded%=1"));
    for (const auto& line : r.dump) EXPECT_NE(line, "%never%=1");
    // The background shows the saved picture again.
    EXPECT_EQ(count(r.shot, kRed, 0, 0, 640, 480), 640 * 480);
}

TEST(SaveStory, ASaveMadeInTheMainFlowResumesAfterItsCommandWithItsPicturesAsTheyWere) {
    StoryBuilder s;
    s.writeLibrary(
        "<Book=\"_system\">\n<Page=\"_init\">\n@Return\n<Page End>\n"
        "<Page=\"_reload\">\n" +
        setValue("reloaded", "1") + "@Return\n<Page End>\n<Book End>\n");
    s.writePicture("red.png", 640, 480, kRed);
    writeBmp(s, "key.bmp", 0xFF00FF, 0x00FF00);   // magenta, the key colour, round green
    writeBmp(s, "half.bmp", 0x0000FF, 0x0000FF);  // all blue
    auto sprite = [](const std::string& file, const std::string& layer, const std::string& left,
                     const std::string& extra) {
        return "GraphicDraw.FileName=" + file + "\nGraphicDraw.Layer=" + layer +
               "\nGraphicDraw.Layer.Move=1\nGraphicDraw.Area.Left=" + left +
               "\nGraphicDraw.Area.Top=100\n" + extra + "@GraphicDraw\n";
    };
    // After "_init" returned the stack is empty. A variable named with "=" and a layer wider
    // than any screen are the story's own and come back with the rest.
    std::string start =
        draw("red.png") +
        sprite("key.bmp", "A", "100",
               "GraphicDraw.Transparent=1\nGraphicDraw.AutoSize=0\n"
               "GraphicDraw.Area.Width=9000\nGraphicDraw.Area.Height=9000\n") +
        sprite("half.bmp", "B", "300", "GraphicDraw.Translucent=1\n") + setValue("a=b", "5") +
        setValue("hp", "10") + saveCtrl("AutoSave", "SaveCtrl.FileName=main.sav\n") +
        saveCtrl("LoadValue", "SaveCtrl.Key=loaded\nSaveCtrl.Variable=%loaded%\n") +
        "if.Variable1=%loaded%\nif.Variable2=0\n@if\n" +
        saveCtrl("SaveValue", "SaveCtrl.Key=loaded\nSaveCtrl.Value=1\n") + setValue("hp", "99") +
        saveCtrl("AutoLoad", "SaveCtrl.FileName=main.sav\n") + setValue("never", "1") + "@endif\n" +
        setValue("final", "%hp%");
    StoryRun r = s.run(s.writeScript(
        storyScript("<Head=\"LayerList\">\nLayerCount=3\nLayer.1.LayerName=A\nLayer.2.LayerName=B\n"
                    "<Head End>\n" +
                    pages(start, ""))));
    EXPECT_EQ(r.status, 0);
    ASSERT_EQ(r.boxes.size(), 1u);  // only the question before making the data folder
    EXPECT_THAT(r.boxes[0], ::testing::StartsWith("box warning-yes-no: "));
    EXPECT_TRUE(r.hasCommand("_system/_reload#1 @Return"));
    EXPECT_THAT(r.dump, Contains("%reloaded%=1"));
    EXPECT_THAT(r.dump, Contains("%final%=10"));
    EXPECT_THAT(r.dump, Not(Contains("%never%=1")));
    // The key colour is see-through again, the square shows, the blue lets the red through.
    EXPECT_EQ(count(r.shot, kRed, 100, 100, 200, 160), 100 * 60 - 40 * 40);
    EXPECT_EQ(count(r.shot, 0x00FF00, 130, 110, 170, 150), 40 * 40);
    uint32_t half = r.shot.getPixel(310, 110);
    EXPECT_GT(half & 0xFF, 0x40u);
    EXPECT_GT(half >> 16, 0x40u);
}

// The saved stack names a page the story no longer has below the place it resumes at.
TEST(SaveStory, AStoryChangedSinceTheSaveLoadsItAndTellsOfAMissingPageWhenItReturnsThere) {
    StoryBuilder s;
    std::string call = "Call.BookName=スタートブック\nCall.PageName=";
    std::string first =
        pages(call + "A\n@Call\n",
              page("A", call + "B\n@Call\n@Return\n") +
                  page("B", saveCtrl("AutoSave", "SaveCtrl.FileName=s.sav\n") + "@Return\n"));
    std::filesystem::create_directories(s.dir.file("story"));
    StoryRun r = s.run(s.writeScript(storyScript(first)));
    ASSERT_EQ(r.status, 0);

    std::string changed =
        "<Book=\"スタートブック\">\n" +
        page("load", saveCtrl("AutoLoad", "SaveCtrl.FileName=s.sav\n") + setValue("refused", "1")) +
        page("A", setValue("old", "1") + setValue("resumed", "1") + "@Return\n") + "<Book End>\n";
    r = s.run(s.writeScript(storyScript(changed, "FileType=QZ7\nStartPage=load\n")));
    EXPECT_THAT(r.userDump(), ElementsAre("%resumed%=1"));
    EXPECT_THAT(r.boxes, ElementsAre("box error: 存在しないページへのアクセスが発生しました。\\n"
                                     "「スタートブック」ブック、「スタートページ」ページ"));
}

TEST(SaveStory, AMessageWaitingForAClickIsWaitingAgainAfterALoadInTheNextRun) {
    StoryBuilder s;
    s.writePicture("grey.png", 640, 480, kGrey);
    // A button that saves from inside the message's key wait, keeping the run state.
    auto script = [](const std::string& startPage) {
        return storyScript(
            pages(draw("grey.png") +
                      "DynamicLayer.Type=Text\nDynamicLayer.Text.Text=セーブ\n"
                      "DynamicLayer.Area.Left=500\nDynamicLayer.Area.Top=400\n"
                      "DynamicLayer.Area.Width=100\nDynamicLayer.Clickable.Mode=All\n"
                      "DynamicLayer.ActiveMode=Always\nDynamicLayer.Clickable.BookName="
                      "スタートブック\n"
                      "DynamicLayer.Clickable.PageName=save\nDynamicLayer.Clickable.Move=Call\n"
                      "DynamicLayer.Clickable.KeepExecuteMode=1\n@DynamicLayer\n"
                      "MessageDraw.Text=<clWhite>一行目<KEY>#二行目\n@MessageDraw\n" +
                      setValue("done", "1"),
                  page("save", saveCtrl("AutoSave", "SaveCtrl.FileName=m.sav\n") + "@Return\n") +
                      page("load", saveCtrl("AutoLoad", "SaveCtrl.FileName=m.sav\n"))),
            "FileType=QZ7\nStartPage=" + startPage + "\n");
    };
    StoryRun r = s.run(s.writeScript(script("スタートページ")), "1000 click 510 405\n", 3000);
    EXPECT_EQ(r.status, 3);  // still in the key wait after saving
    EXPECT_THAT(r.dump, IsEmpty());
    EXPECT_TRUE(r.hasCommand("スタートブック/save#0 @SaveCtrl"));

    // The next run loads at once: the story waits for the click it waited for.
    std::string project = s.writeScript(script("load"));
    r = s.run(project, "", 3000);
    EXPECT_EQ(r.status, 3);
    EXPECT_THAT(r.dump, IsEmpty());
    EXPECT_EQ(r.commands.back(), "_system/_reload#0 @Return");
    EXPECT_GT(count(r.shot, 0x000000, 500, 400, 600, 421), 10);  // the button came back
    EXPECT_EQ(count(r.shot, kWhite, 0, 0, 640, 480), 0);         // the message starts afresh
    // The message starts over: its first key wait, then the rest, then the story goes on.
    r = s.run(project, "1000 click 1 1\n2000 click 1 1\n", 60000);
    EXPECT_EQ(r.status, 0);
    EXPECT_THAT(r.dump, Contains("%done%=1"));
    EXPECT_GT(count(r.shot, kWhite, 0, 0, 100, 21), 20);
    EXPECT_GT(count(r.shot, kWhite, 0, 21, 100, 42), 20);
}

// The story has no data folder: the settings make one.
TEST(SaveStory, ValuesSavedWithNoFileOpenComeBackInTheNextRun) {
    StoryBuilder s;
    std::string first = pages(
        setValue("n", "3") + saveCtrl("SaveValue", "SaveCtrl.Key=name\nSaveCtrl.Value=太郎%n%\n"),
        "");
    StoryRun r = s.run(s.writeScript(storyScript(first)));
    EXPECT_EQ(r.status, 0);
    StringList settings = splitLines(readFile(s.dir.file("story/c_save00.svi")));
    EXPECT_EQ(readListString(settings, "name", ""), sjis("太郎3"));
    EXPECT_EQ(readListString(settings, "System.MusicVolume", ""), "100");

    auto load = [](const std::string& key, const std::string& variable) {
        return saveCtrl("LoadValue",
                        "SaveCtrl.Key=" + key + "\nSaveCtrl.Variable=" + variable + "\n");
    };
    std::string second =
        pages(load("name", "$name$") + load("name", "%name%") + load("missing", "%m%") +
                  load("missing", "$t$") + load("name", "name") + setValue("after", "1"),
              "");
    r = s.run(s.writeScript(storyScript(second)));
    EXPECT_EQ(r.status, 0);
    EXPECT_THAT(r.dump, ElementsAre("%_musicvolume%=100", "%_soundvolume%=100", "$name$=太郎3",
                                    "%name%=0", "%m%=0", "$t$=", "%after%=1"));
    EXPECT_THAT(r.boxes,
                ElementsAre("box warning: セーブコントロール：\\n代入先の変数名が不正です"));
}

// A slot that cannot be opened lends no values of another file or of the settings, and a save
// whose entries cannot be read is never replaced by an append.
TEST(SaveStory, AFailedOpenOrAppendReadsAndWritesNoValuesAndLeavesTheFileAlone) {
    StoryBuilder s;
    std::filesystem::create_directories(s.dir.file("story"));
    writeFile(s.dir.file("story/c_save00.svi"), sjis("name=設定\r\n"));
    PackageWriter writer;
    initWriter(writer);
    setMagic(writer, "QZ7SAVE");
    ASSERT_TRUE(createPackage(test::localFiles(), writer, s.dir.file("story/cut.sav")));
    writeStreamEntry(writer, sjis("name=切れた\r\n"), "savefile.info");
    finishPackage(writer);
    std::string cut = readFile(s.dir.file("story/cut.sav"));
    cut.resize(cut.size() - 2);  // without its end marker
    writeFile(s.dir.file("story/cut.sav"), cut);

    auto load = [](const std::string& variable) {
        return saveCtrl("LoadValue", "SaveCtrl.Key=name\nSaveCtrl.Variable=" + variable + "\n");
    };
    auto store = [](const std::string& key) {
        return saveCtrl("SaveValue", "SaveCtrl.Key=" + key + "\nSaveCtrl.Value=1\n");
    };
    std::string start = saveCtrl("Open", "SaveCtrl.FileName=never.sav\n") + load("$a$") +
                        store("leak1") + saveCtrl("Append", "SaveCtrl.FileName=cut.sav\n") +
                        load("$b$") + store("leak2") + saveCtrl("Close", "") + load("$c$");
    StoryRun r = s.run(s.writeScript(storyScript(pages(start, ""))));
    EXPECT_EQ(r.status, 0);
    EXPECT_THAT(r.userDump(), ElementsAre("$a$=", "$b$=", "$c$=設定"));
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_THAT(r.boxes[0],
                ::testing::StartsWith("box error: セーブファイルの中身を読み取れないため"));
    EXPECT_EQ(readFile(s.dir.file("story/cut.sav")), cut);
    StringList settings = splitLines(readFile(s.dir.file("story/c_save00.svi")));
    EXPECT_LT(findNameLine(settings, "leak1"), 0);
    EXPECT_LT(findNameLine(settings, "leak2"), 0);
    EXPECT_FALSE(std::filesystem::exists(s.dir.file("story/never.sav")));
}

}  // namespace
}  // namespace zarvo::test

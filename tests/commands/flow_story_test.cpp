#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "archive/package.hpp"
#include "backends/posix/local_file_system.hpp"
#include "base/sjis.hpp"
#include "story/story_finder.hpp"
#include "support/player.hpp"
#include "support/story.hpp"

namespace zarvo::test {
namespace {

using ::testing::ElementsAre;

// One page "スタートページ" of the default start book holding `lines`, plus any extra pages.
std::string startPage(const std::string& lines, const std::string& morePages = "") {
    return "<Book=\"スタートブック\">\n<Page=\"スタートページ\">\n" + lines + "<Page End>\n" +
           morePages + "<Book End>\n";
}

std::string page(const std::string& name, const std::string& lines) {
    return "<Page=\"" + name + "\">\n" + lines + "<Page End>\n";
}

std::string setValue(const std::string& var, const std::string& left, const std::string& calc = "",
                     const std::string& right = "") {
    return "ValueCtrl.ValueVar=%" + var + "%\nValueCtrl.LeftValue=" + left +
           "\nValueCtrl.RightValue=" + right + "\nValueCtrl.Calc=" + calc + "\n@ValueCtrl\n";
}

std::string ifValue(const std::string& a, const std::string& cmp, const std::string& b) {
    return "if.VariableType=Value\nif.Compare=" + cmp + "\nif.Variable1=" + a +
           "\nif.Variable2=" + b + "\n@if\n";
}

TEST(StoryFlow, IfElseEndifRunsOneBranchAndSkipsNestedBlocks) {
    StoryBuilder s;
    std::string body =
        setValue("n", "3") + ifValue("%n%", "Down", "10") +  // false: skip to @else
        ifValue("1", "Equal", "1") +                         // nested, skipped with its block
        setValue("wrong", "1") + "@else\n" + setValue("wrong", "2") + "@endif\n" + "@else\n" +
        ifValue("%n%", "UpEqual", "3") +  // true
        setValue("inner", "1") + "@else\n" + setValue("inner", "2") + "@endif\n" + "@endif\n" +
        "if.VariableType=Text\nif.Compare=in\nif.Variable1=abcdef\nif.Variable2=cd\n@if\n" +
        setValue("text", "1") + "@endif\n" +
        "if.VariableType=Text\nif.Compare=in\nif.Variable1=abcdef\nif.Variable2=\n@if\n" +
        setValue("empty", "1") + "@endif\n" + ifValue("%n%", "Unequal", "letters") +
        setValue("letters", "1") + "@endif\n";
    StoryRun r = s.run(s.writeScript(storyScript(startPage(body))));
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_THAT(r.dump, ElementsAre("%n%=3", "%inner%=1", "%text%=1", "%letters%=1"));
    EXPECT_TRUE(r.boxes.empty());
}

TEST(StoryVariables, NamesIgnoreTheCaseOfDoubleByteLettersButNotOfTrailBytes) {
    StoryBuilder s;
    std::string body =
        setValue("ＳＣＯＲＥ", "1") + setValue("ｓｃｏｒｅ", "%Ｓｃｏｒｅ%", "Add", "1") +
        setValue("ΑΒΓ", "5") + setValue("αβγ", "%αβγ%", "Add", "1") + setValue("ЖЁЯ", "7") +
        setValue("жёя", "%жёя%", "Add", "1") + setValue("ア", "1") + setValue("ヂ", "2");
    StoryRun r = s.run(s.writeScript(storyScript(startPage(body))));
    EXPECT_EQ(r.status, kExitEnded);
    // One variable each, under the name last written.
    EXPECT_THAT(r.dump, ElementsAre("%ｓｃｏｒｅ%=2", "%αβγ%=6", "%жёя%=8", "%ア%=1", "%ヂ%=2"));
}

TEST(StoryFlow, IfWithoutEndifReportsAndRunsTheBlock) {
    StoryBuilder s;
    std::string body = ifValue("1", "Equal", "2") + setValue("ran", "1");
    StoryRun r = s.run(s.writeScript(storyScript(startPage(body))));
    EXPECT_THAT(
        r.boxes,
        ElementsAre(
            "box error: ブロック構文エラー\\nＩＦコマンドに対応するＥＮＤＩＦがありません"));
    EXPECT_THAT(r.dump, ElementsAre("%ran%=1"));

    std::string elseBody = ifValue("1", "Equal", "1") + "@else\n" + setValue("ran", "1");
    r = s.run(s.writeScript(storyScript(startPage(elseBody))));
    EXPECT_THAT(
        r.boxes,
        ElementsAre(
            "box error: ブロック構文エラー\\nＥＬＳＥコマンドに対応するＥＮＤＩＦがありません"));
}

TEST(StoryFlow, CallsNestAndReturnAfterTheCallingCommand) {
    StoryBuilder s;
    std::string callSub = "Call.BookName=スタートブック\nCall.PageName=sub\n@Call\n";
    std::string callDeep = "Call.BookName=本\nCall.PageName=深い\n@Call\n";
    std::string script =
        startPage(setValue("a", "1") + callSub + setValue("c", "%a%", "Add", "100"),
                  page("sub", callDeep + setValue("a", "%a%", "Mul", "10") + "@Return\n")) +
        "<Book=\"本\">\n" + page("深い", setValue("a", "%a%", "Add", "1") + "@Return\n") +
        "<Book End>\n";
    StoryRun r = s.run(s.writeScript(storyScript(script)));
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_THAT(r.dump, ElementsAre("%a%=20", "%c%=120"));
    EXPECT_THAT(
        r.commands,
        ElementsAre("_system/_init#0 @Return", "スタートブック/スタートページ#0 @ValueCtrl",
                    "スタートブック/スタートページ#1 @Call", "スタートブック/sub#0 @Call",
                    "本/深い#0 @ValueCtrl", "本/深い#1 @Return", "スタートブック/sub#1 @ValueCtrl",
                    "スタートブック/sub#2 @Return", "スタートブック/スタートページ#2 @ValueCtrl"));
}

TEST(StoryFlow, ReturnWithoutCallWarnsAndGoesOn) {
    StoryBuilder s;
    // Without the library nothing is on the stack.
    std::filesystem::remove(s.programDir + "/zarvoplay.zvl");
    StoryRun r = s.run(s.writeScript(storyScript(startPage("@Return\n" + setValue("after", "1")))));
    EXPECT_THAT(
        r.boxes,
        ElementsAre("box error: Zarvoライブラリが開けません\\nCan't open - \"zarvoplay.zvl\"",
                    "box warning: "
                    "スタックアンダーフローです。\\nサブルーチンコールが行われていないのに\\n復帰し"
                    "ようとしました。"));
    EXPECT_THAT(r.dump, ElementsAre("%after%=1"));
    EXPECT_EQ(r.status, kExitEnded);
}

TEST(StoryFlow, ACommandThatFailsIsReportedWithItsPlaceAndTheStoryGoesOn) {
#ifdef __EMSCRIPTEN__
    GTEST_SKIP() << "the web build is compiled without catching exceptions";
#endif
    StoryBuilder s;
    std::string project =
        s.writeScript(storyScript(startPage("@rem\n@Return\n" + setValue("after", "1"))));
    TestPlayer p(project, s.programDir);
    // The host fails once, inside the Return command's warning box.
    bool failed = false;
    p.dialogs.onShown = [&](const platform::ShownBox&) {
        if (!failed) {
            failed = true;
            throw std::runtime_error("no box today");
        }
    };
    EXPECT_EQ(p.run(), platform::HeadlessHost::RunEnd::Terminated);
    ASSERT_EQ(p.dialogs.shown().size(), 2u);
    const platform::ShownBox& report = p.dialogs.shown()[1];
    EXPECT_EQ(report.kind, platform::BoxKind::ErrorOk);
    EXPECT_EQ(sjisToUtf8(report.text),
              "コマンドの実行中にエラーが発生しました。\r\n"
              "「スタートブック」ブック、「スタートページ」ページ、2行目の「@Return」\r\n"
              "(no box today)\r\nこのコマンドを打ち切って続きを実行します。");
    EXPECT_EQ(p.vars().getValue("%after%"), 1);
    EXPECT_FALSE(p.main().endedByFatalError());
}

TEST(StoryFlow, InitPageRunsBeforeTheStartPage) {
    StoryBuilder s;
    s.writeLibrary("<Book=\"_system\">\n<Page=\"_init\">\n" + setValue("init", "7") +
                   "@Return\n<Page End>\n<Book End>\n");
    StoryRun r = s.run(s.writeScript(storyScript(startPage(setValue("start", "%init%")))));
    EXPECT_THAT(r.userDump(), ElementsAre("%init%=7", "%start%=7"));
    // A story's own "_system" book wins over the library's.
    std::string own = startPage(setValue("start", "%init%")) + "<Book=\"_system\">\n" +
                      page("_init", setValue("init", "1") + "@Return\n") + "<Book End>\n";
    r = s.run(s.writeScript(storyScript(own)));
    EXPECT_THAT(r.userDump(), ElementsAre("%init%=1", "%start%=1"));
}

TEST(StoryVariables, ValueCtrlWrapsDividesTowardZeroAndRefusesZero) {
    StoryBuilder s;
    std::string body =
        setValue("wrap", "2147483647", "Add", "1") + setValue("mul", "65536", "Mul", "65536") +
        setValue("div", "-7", "Div", "2") + setValue("mod", "-7", "Mod", "3") +
        setValue("min", "-2147483648", "Div", "-1") +
        setValue("minmod", "-2147483648", "Mod", "-1") + setValue("left", "0x10") +
        setValue("z", "5") + setValue("z", "1", "Div", "0") + setValue("after", "%z%", "Sub", "6");
    StoryRun r = s.run(s.writeScript(storyScript(startPage(body))));
    EXPECT_THAT(r.dump,
                ElementsAre("%wrap%=-2147483648", "%mul%=0", "%div%=-3", "%mod%=-1",
                            "%min%=-2147483648", "%minmod%=0", "%left%=16", "%z%=5", "%after%=-1"));
    EXPECT_THAT(r.boxes, ElementsAre("box plain: debug: error report:\\n ０で除算しました"));
    // The division by zero ends the tick: the next command waits for the next timer tick.
    ASSERT_GE(r.trace.size(), 2u);
    EXPECT_NE(r.trace.back().substr(0, 3), r.trace.front().substr(0, 3));
}

TEST(StoryVariables, StringCtrlAndStringInput) {
    StoryBuilder s;
    std::string body = "StringCtrl.StringVar=$名$\nStringCtrl.Text=太郎\n@StringCtrl\n" +
                       setValue("n", "3") +
                       "StringCtrl.StringVar=$msg$\nStringCtrl.Text=$名$は%n%歳\n@StringCtrl\n" +
                       "StringInput.StringVar=$名$\nStringInput.Caption=名前\nStringInput.Text="
                       "入力\n@StringInput\n" +
                       "StringInput.StringVar=$msg$\n@StringInput\n";
    StoryRun r = s.run(s.writeScript(storyScript(startPage(body))), "0 input 花子\n");
    EXPECT_THAT(r.dump, ElementsAre("$名$=花子", "%n%=3", "$msg$=太郎は3歳"));
}

TEST(StoryWaits, WaitEndsByTimeKeysAndLeftClickButNotRightClick) {
    StoryBuilder s;
    std::string timed = "Wait.TimeBreak=1\nWait.Time=1000\n@Wait\n" + setValue("done", "1");
    StoryRun r = s.run(s.writeScript(storyScript(startPage(timed))));
    ASSERT_EQ(r.status, kExitEnded);
    ASSERT_FALSE(r.trace.empty());
    // Started at the first tick (200 ms); over at 1200; seen by the tick at 1400.
    EXPECT_EQ(r.trace.back(), "1400 スタートブック/スタートページ#1 @ValueCtrl");

    std::string input = "Wait.InputBreak=1\n@Wait\n" + setValue("done", "1");
    std::string project = s.writeScript(storyScript(startPage(input)));
    for (const char* events : {"1000 key space\n", "1000 key enter\n", "1000 click 5 5\n"}) {
        r = s.run(project, events);
        EXPECT_EQ(r.status, kExitEnded) << events;
        EXPECT_EQ(r.trace.back().substr(0, 5), "1000 ") << events;
    }
    r = s.run(project, "1000 rclick 5 5\n1200 key 65\n");
    EXPECT_EQ(r.status, kExitTimeout);  // still waiting: no input is left
    EXPECT_TRUE(r.userDump().empty());

    std::string clickable =
        "Wait.InputBreak=1\nWait.Input=Clickable\n@Wait\n" + setValue("done", "1");
    r = s.run(s.writeScript(storyScript(startPage(clickable))), "1000 key space\n1000 click 1 1\n",
              5000);
    EXPECT_EQ(r.status, kExitTimeout);

    std::string zero = "Wait.TimeBreak=1\nWait.Time=0\n@Wait\n" + setValue("done", "1");
    r = s.run(s.writeScript(storyScript(startPage(zero))));
    EXPECT_EQ(r.trace.back().substr(0, 4), "202 ");  // same tick
}

TEST(StoryEnd, UnknownCommandsMissingPagesAndNoOpKeywords) {
    StoryBuilder s;
    std::string body = "@rem\n@Unknown\n@effect\n@Effect\n" + setValue("x", "1") +
                       "Move.BookName=スタートブック\nMove.PageName=無い\n@Move\n";
    StoryRun r = s.run(s.writeScript(storyScript(startPage(body))));
    EXPECT_EQ(r.status, kExitFatal);  // the story did not end where it was written to
    EXPECT_THAT(r.boxes, ElementsAre("box plain: debug error : unknown command - MainLoop_Step()",
                                     "box plain: debug error : unknown command - MainLoop_Step()",
                                     "box error: "
                                     "存在しないページへのアクセスが発生しました。\\n「スタートブッ"
                                     "ク」ブック、「無い」ページ"));
    EXPECT_THAT(r.dump, ElementsAre("%x%=1"));

    // So does a page refused for holding too many commands; an empty page is a plain end.
    std::string crowded;
    for (int i = 0; i < 501; ++i) crowded += "@rem\n";
    body = "Move.BookName=スタートブック\nMove.PageName=多い\n@Move\n";
    r = s.run(s.writeScript(storyScript(startPage(body, page("多い", crowded)))));
    EXPECT_EQ(r.status, kExitFatal);
    EXPECT_THAT(r.boxes, ElementsAre("box error: １ページあたりのコマンド数が多すぎます"));
    body = "Move.BookName=スタートブック\nMove.PageName=空\n@Move\n";
    r = s.run(s.writeScript(storyScript(startPage(body, page("空", "")))));
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_TRUE(r.boxes.empty());
}

TEST(StoryOpening, MissingOrForeignProjectsAreFatal) {
    StoryBuilder s;
    StoryRun r = s.run(s.dir.file("nothing.zp7"));
    EXPECT_EQ(r.status, kExitFatal);
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(r.boxes[0], "box error: " + s.dir.file("nothing.zp7") + "が見つかりません");

    writeFile(s.dir.file("foreign.zp7"), "<html>\r\n");
    r = s.run(s.dir.file("foreign.zp7"));
    EXPECT_EQ(r.status, kExitFatal);
    EXPECT_THAT(r.boxes, ElementsAre("box error: "
                                     "ファイルのヘッダIDが違います。\\nこのファイルはZarvo３で利用"
                                     "できるファイルではありません"));
    EXPECT_TRUE(r.commands.empty());
}

// A package project with the script and entries flagged for extraction.
std::string writePackageProjectAt(
    const std::string& path, const std::string& script,
    const std::vector<std::pair<std::string, std::string>>& files = {}) {
    PackageWriter w;
    initWriter(w);
    setMagic(w, "QZ7PKG");
    EXPECT_TRUE(createPackage(test::localFiles(), w, path));
    writeStreamEntry(w, sjis(script), "zarvo.zf7");
    w.autoExtract = true;
    for (const auto& [name, bytes] : files) writeStreamEntry(w, bytes, sjis(name));
    EXPECT_TRUE(finishPackage(w));
    return path;
}

std::string writePackageProject(StoryBuilder& s, const std::string& script,
                                const std::vector<std::pair<std::string, std::string>>& files) {
    return writePackageProjectAt(s.dir.file("game.zp7"), script, files);
}

// A folder given as the story plays the story nearest its top: a script, a package or a program
// with a package behind its stub; with several equally near the reader chooses from their titles
// (keys, pointer or pad), with none the box names what the folder holds.
TEST(StoryOpening, FolderPlaysTheStoryNearestItsTopOrOffersAChoice) {
    StoryBuilder s;
    std::filesystem::create_directories(s.dir.file("one/data"));
    std::string story = s.writeScript(storyScript(startPage(setValue("ran", "1"))), "one/Game.ZP7");
    writeFile(s.dir.file("one/readme.txt"), "x");
    StoryRun r = s.run(s.dir.file("one"));
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_THAT(r.dump, ElementsAre("%ran%=1"));
    EXPECT_TRUE(r.boxes.empty());

    writeFile(s.dir.file("one/data/notes.txt"), "x");
    std::filesystem::create_directories(s.dir.file("one/data/pictures"));
    r = s.run(s.dir.file("one/data"));
    EXPECT_EQ(r.status, kExitFatal);
    EXPECT_THAT(r.boxes, ElementsAre("box error: フォルダ「" + s.dir.file("one/data") +
                                     "」に物語（「///」で始まるスクリプト、パッケージ、パッケージ"
                                     "付きの実行ファイル）がありません。中にあるもの：\\nnotes.txt"
                                     "\\npictures/"));

    // Deeper down: the program holding a package wins over the script further down; what only
    // looks like a story (a program without a package, the system library) is passed over.
    std::filesystem::create_directories(s.dir.file("deep/disc/game"));
    std::filesystem::create_directories(s.dir.file("deep/disc/extra/more"));
    writeFile(s.dir.file("deep/disc/setup.exe"), "MZ a program and nothing behind it");
    writeFile(s.dir.file("deep/disc/system.zp7"), "QZ7LIB and the rest");
    const std::string package = writePackageProjectAt(
        s.dir.file("deep/packaged.zp7"), storyScript(startPage(setValue("packaged", "1"))));
    writeFile(
        s.dir.file("deep/disc/game/GAME.EXE"),
        std::string("MZ\x90 a small program") + std::string(255, '-') + "+" + readFile(package));
    std::filesystem::remove(package);
    std::filesystem::copy_file(story, s.dir.file("deep/disc/extra/more/story.zp7"));
    r = s.run(s.dir.file("deep"));
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_THAT(r.dump, ElementsAre("%packaged%=1"));

    // Two at the top: the chooser lists their titles (the file name where the head has none).
    s.writeScript(storyScript(startPage(setValue("b", "1")), "FileType=QZ7\nTitle=物語B\n"),
                  "one/b.zp7");
    r = s.run(s.dir.file("one"), "100 key down\n200 key enter\n");
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_THAT(r.dump, ElementsAre("%b%=1"));
    EXPECT_THAT(r.player,
                ElementsAre("0 player chooser open", "200 player chosen " + s.dir.file("one/b.zp7"),
                            "200 player chooser close"));
    EXPECT_TRUE(r.boxes.empty());
    r = s.run(s.dir.file("one"), "100 pad a\n");
    EXPECT_THAT(r.userDump(), ElementsAre("%ran%=1"));
    // The second row is picked by a click on it.
    r = s.run(s.dir.file("one"), "100 click 320 265\n");
    EXPECT_THAT(r.userDump(), ElementsAre("%b%=1"));
    // Escape chooses nothing and ends the program; no story ran.
    r = s.run(s.dir.file("one"), "100 key escape\n");
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_TRUE(r.commands.empty());

    // Two discs of one title are told apart by their folders; a title of its own stays as it is.
    const std::string head = "FileType=QZ7\nTitle=物語B\n";
    std::filesystem::create_directories(s.dir.file("set/disc1"));
    std::filesystem::create_directories(s.dir.file("set/disc2"));
    s.writeScript(storyScript(startPage(""), head), "set/disc1/game.zp7");
    s.writeScript(storyScript(startPage(""), head), "set/disc2/game.zp7");
    platform::LocalFileSystem local;
    std::vector<std::string> titles;
    for (const std::string& title : storyTitles(
             local, {s.dir.file("set/disc1/game.zp7"), s.dir.file("set/disc2/game.zp7"), story}))
        titles.push_back(sjisToUtf8(title));
    EXPECT_THAT(titles,
                ElementsAre("物語B (disc1/game.zp7)", "物語B (disc2/game.zp7)", "Game.ZP7"));
}

TEST(StoryOpening, FileTypeAndCommandVersionQuestions) {
    StoryBuilder s;
    std::string project =
        s.writeScript(storyScript(startPage(setValue("ran", "1")), "CommandVersion=21\n"));
    StoryRun r = s.run(project, "0 answer abort\n");
    EXPECT_EQ(r.status, kExitFatal);
    EXPECT_THAT(
        r.boxes,
        ElementsAre("box error-abort-ignore: "
                    "ファイルタイプが違います\\nこのファイルは正常に読み込めないかもしれません"));
    EXPECT_TRUE(r.dump.empty());

    r = s.run(project, "0 answer ignore\n0 answer abort\n");
    EXPECT_EQ(r.status, kExitFatal);
    ASSERT_EQ(r.boxes.size(), 2u);
    EXPECT_EQ(r.boxes[1],
              "box error-abort-ignore: "
              "このファイルには現バージョンで対応していない\\nコマンドが含まれている可能性がありま"
              "す\\n最新版のZarvoを入手することをおすすめします");

    r = s.run(project);  // unanswered: Ignore, twice
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_THAT(r.dump, ElementsAre("%ran%=1"));
}

TEST(StoryOpening, PackageExtractsOnceAndNeverOverwritesOrEscapes) {
    StoryBuilder s;
    std::string script =
        storyScript(startPage(setValue("x", "1")), "FileType=QZ7\nAutoExtract=1\n");
    std::string project = writePackageProject(
        s, script, {{"音楽.txt", "new music"}, {"keep.txt", "new"}, {"..\\escape.txt", "bad"}});
    std::filesystem::create_directory(s.dir.file("game"));
    writeFile(s.dir.file("game/keep.txt"), "old");

    StoryRun r = s.run(project);
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_EQ(readFile(s.dir.file("game/音楽.txt")), "new music");
    EXPECT_EQ(readFile(s.dir.file("game/keep.txt")), "old");
    EXPECT_FALSE(std::filesystem::exists(s.dir.file("escape.txt")));
    EXPECT_THAT(
        r.boxes,
        ElementsAre(
            "box error: 展開できないファイル名です（フォルダの外を指しています）：..\\escape.txt"));
    EXPECT_THAT(r.dump, ElementsAre("%x%=1"));
}

TEST(StoryOpening, ExtractionAsksBeforeCreatingTheFolder) {
    StoryBuilder s;
    std::string script =
        storyScript(startPage(setValue("x", "1")), "FileType=QZ7\nAutoExtract=1\n");
    std::string project = writePackageProject(s, script, {{"a.txt", "a"}});
    StoryRun r = s.run(project, "0 answer no\n");
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(
        r.boxes[0].rfind(
            "box warning-yes-no: 実行に必要なファイルの展開や、セーブファイルの保存のため\\n\"", 0),
        0u);
    EXPECT_FALSE(std::filesystem::exists(s.dir.file("game")));
    r = s.run(project);  // unanswered: Yes
    EXPECT_EQ(readFile(s.dir.file("game/a.txt")), "a");
}

// The real-time cost of such a run is measured by bench_interpreter.
TEST(StoryFlow, ThousandCommandStoryRunsToItsEnd) {
    StoryBuilder s;
    std::string body;
    for (int i = 0; i < 499; ++i) body += setValue("n", "%n%", "Add", "1");
    body += "Move.BookName=スタートブック\nMove.PageName=後半\n@Move\n";
    std::string second;
    for (int i = 0; i < 500; ++i) second += setValue("n", "%n%", "Add", "1");
    std::string project = s.writeScript(storyScript(startPage(body, page("後半", second))));
    StoryRun r = s.run(project);
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_THAT(r.dump, ElementsAre("%n%=999"));
    EXPECT_EQ(r.commands.size(), 1001u);  // with "_init"
}

TEST(StoryEnd, EndlessLoopStopsAtTheTimeLimitAndQuitEndsTheStory) {
    StoryBuilder s;
    std::string loop = setValue("n", "%n%", "Add", "1") +
                       "Move.BookName=スタートブック\nMove.PageName=スタートページ\n@Move\n";
    std::string project = s.writeScript(storyScript(startPage(loop)));
    StoryRun r = s.run(project, "", 1000);
    EXPECT_EQ(r.status, kExitTimeout);
    r = s.run(project, "500 quit\n");
    EXPECT_EQ(r.status, kExitEnded);
    ASSERT_EQ(r.userDump().size(), 1u);
    EXPECT_GT(r.userDump()[0].size(), 4u);
}

}  // namespace
}  // namespace zarvo::test

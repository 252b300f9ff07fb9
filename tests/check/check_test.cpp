// Checking whole stories: one seeded with a fault of every kind, clean ones (plain and packaged)
// and the report's format and exit status.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "archive/package.hpp"
#include "check/project_check.hpp"
#include "support/temp_dir.hpp"

namespace zarvo {
namespace {

using test::sjis;

std::string scriptText(const std::vector<std::string>& utf8Lines) {
    std::string text;
    for (const std::string& line : utf8Lines) text += line + "\r\n";
    return sjis(text);
}

struct Entry {
    std::string name;  // UTF-8
    std::string bytes;
    bool autoExtract = false;
};

void writePackage(const std::string& path, std::string_view magic,
                  const std::vector<Entry>& entries) {
    PackageWriter w;
    setMagic(w, magic);
    ASSERT_TRUE(createPackage(test::localFiles(), w, path));
    for (const Entry& e : entries) {
        w.autoExtract = e.autoExtract;
        w.compressed = true;
        ASSERT_TRUE(writeStreamEntry(w, e.bytes, sjis(e.name)));
    }
    ASSERT_TRUE(finishPackage(w));
}

// A program folder with a small system library: the book "_system" and one marker picture.
void writeLibrary(const test::TempDir& dir) {
    std::filesystem::create_directories(dir.file("bin"));
    writePackage(dir.file("bin/zarvoplay.zvl"), "QZ7LIB",
                 {{"system.zf7", scriptText({"///", "<Book=\"_system\">", "<Page=\"_init\">",
                                             "@Return", "<Page End>", "<Page=\"_timer\">",
                                             "@Return", "<Page End>", "<Book End>"})},
                  {"_keywait_char.png", "not decoded"}});
}

struct Seen {
    int32_t line;
    std::string fragment;
};

// Every problem matches one expectation, in order: its line and a piece of its message.
void expectProblems(const CheckReport& report, const std::vector<Seen>& expected,
                    const std::string& file) {
    ASSERT_TRUE(report.opened);
    std::string all;
    for (const CheckProblem& p : report.problems) all += formatProblem(p) + "\n";
    ASSERT_EQ(report.problems.size(), expected.size()) << all;
    for (size_t i = 0; i < expected.size(); ++i) {
        const CheckProblem& p = report.problems[i];
        EXPECT_EQ(p.line, expected[i].line) << formatProblem(p);
        EXPECT_EQ(p.file, file) << formatProblem(p);
        EXPECT_NE(p.message.find(expected[i].fragment), std::string::npos)
            << formatProblem(p) << "\nexpected: " << expected[i].fragment;
    }
}

TEST(CheckStory, EveryKindOfFaultIsListedOnItsLine) {
    test::TempDir dir;
    writeLibrary(dir);
    std::filesystem::create_directories(dir.file("story"));
    test::writeFile(dir.file("story/here.png"), "x");  // data folder
    test::writeFile(dir.file("Beside.BMP"), "x");      // project folder, other letter case
    test::writeFile(dir.file("story/theme.ogg"), "x");
    std::vector<std::string> lines = {
        /*  1 */ "/// Game Creative Tool - Zarvo Third -",
        /*  2 */ "<Head=\"Zarvo\">",
        /*  3 */ "FileType=QZ6",
        /*  4 */ "CommandVersion=21",
        /*  5 */ "Opening=nothere.png",
        /*  6 */ "<Head End>",
        /*  7 */ "<Book=\"スタートブック\">",
        /*  8 */ "<Page=\"スタートページ\">",
        /*  9 */ "MessageDraw.Text=こんにちは $名前",
        /* 10 */ "@MessageDraw",
        /* 11 */ "  @Mvoe  ",
        /* 12 */ "if.Variable1=%count%",
        /* 13 */ "if.Variable2=3",
        /* 14 */ "@if",
        /* 15 */ "GraphicDraw.FileName=missing.png",
        /* 16 */ "@GraphicDraw",
        /* 17 */ "GraphicDraw.FileName=here.png",
        /* 18 */ "@GraphicDraw",
        /* 19 */ "graphicdraw.filename=beside.bmp",
        /* 20 */ "@GraphicDraw",
        /* 21 */ "GraphicDraw.FileName=%背景%.png",
        /* 22 */ "@GraphicDraw",
        /* 23 */ "Layer.Name=背景レイヤー",
        /* 24 */ "Layer.Image.Change=1",
        /* 25 */ "Layer.Image.FileName=gone.bmp",
        /* 26 */ "@LayerCtrl",
        /* 27 */ "DynamicLayer.Type=Image",
        /* 28 */ "DynamicLayer.Image.FileName=button.png",
        /* 29 */ "DynamicLayer.Clickable.Mode=All",
        /* 30 */ "DynamicLayer.Clickable.BookName=スタートブック",
        /* 31 */ "DynamicLayer.Clickable.PageName=どこにもない",
        /* 32 */ "@DynamicLayer",
        /* 33 */ "Music.FileName=theme.ogg",
        /* 34 */ "@Music",
        /* 35 */ "Music.FileName=nosuch.ogg",
        /* 36 */ "@Music",
        /* 37 */ "Sound.FileName=bell.wav",
        /* 38 */ "@Sound",
        /* 39 */ "Select.Text1=はい",
        /* 40 */ "Select.Page1=次",
        /* 41 */ "Select.Text2=いいえ",
        /* 42 */ "Select.Page2=ない",
        /* 43 */ "@Select",
        /* 44 */ "<Page End>",
        /* 45 */ "<Page=\"次\">",
        /* 46 */ "@endif",
        /* 47 */ "Move.BookName=スタートブック",
        /* 48 */ "Move.PageName=無いページ",
        /* 49 */ "@Move",
        /* 50 */ "Call.PageName=何か",
        /* 51 */ "Call.BookName=無いブック",
        /* 52 */ "@Call",
        /* 53 */ "@else",
        /* 54 */ "Move.BookName=スタートブック",
        /* 55 */ "Move.PageName=長い",
        /* 56 */ "@Move",
        /* 57 */ "<Page End>",
        /* 58 */ "<Page=\"長い\">",
    };
    for (int i = 0; i < 501; ++i) lines.push_back("@rem");  // lines 59 to 559
    lines.push_back("<Page End>");                          // 560
    lines.push_back("<Book End>");                          // 561
    lines.push_back("<Bok End>");                           // 562
    test::writeFile(dir.file("story.zf7"), scriptText(lines));

    expectProblems(
        checkStory(test::localFiles(), dir.file("story.zf7"), dir.file("bin")),
        {
            {3, "FileType is \"QZ6\", not \"QZ7\""},
            {4, "CommandVersion \"21\" is newer than this player's 20"},
            {5, "opening picture \"nothere.png\" is not found"},
            {9, "\"$\" signs do not pair up in MessageDraw.Text"},
            {11, "unknown command \"@Mvoe\""},
            {14, "\"@if\" without \"@endif\""},
            {15, "picture \"missing.png\" is not found"},
            {25, "picture \"gone.bmp\" is not found"},
            {28, "picture \"button.png\" is not found"},
            {31, "page \"どこにもない\" of book \"スタートブック\" does not exist"},
            {35, "music file \"nosuch.ogg\" is not found"},
            {37, "sound file \"bell.wav\" is not found"},
            {42, "page \"ない\" of book \"スタートブック\" does not exist (Select.Page2)"},
            {46, "\"@endif\" without \"@if\""},
            {48, "page \"無いページ\" of book \"スタートブック\" does not exist"},
            {51, "book \"無いブック\" does not exist (Call.BookName)"},
            {53, "\"@else\" without \"@if\""},
            {559, "has more than 500 commands"},
            {562, "unknown block marker"},
        },
        dir.file("story.zf7"));
}

TEST(CheckStory, MisusedVariablesLayersAndCommandWordsAreListed) {
    test::TempDir dir;
    writeLibrary(dir);
    test::writeFile(dir.file("s.zf7"), scriptText({
                                           /*  1 */ "///",
                                           /*  2 */ "<Head=\"Zarvo\">",
                                           /*  3 */ "FileType=QZ7",
                                           /*  4 */ "StartBook=b",
                                           /*  5 */ "StartPage=p",
                                           /*  6 */ "<Head End>",
                                           /*  7 */ "<Book=\"b\">",
                                           /*  8 */ "<Page=\"p\">",
                                           /*  9 */ "ValueCtrl.ValueVar=count",
                                           /* 10 */ "ValueCtrl.LeftValue=%count",
                                           /* 11 */ "ValueCtrl.RightValue=%a%%b%",
                                           /* 12 */ "ValueCtrl.Calc=Plus",
                                           /* 13 */ "@ValueCtrl",
                                           /* 14 */ "StringCtrl.StringVar=$name$",
                                           /* 15 */ "StringCtrl.Text=%count%%",
                                           /* 16 */ "@StringCtrl",
                                           /* 17 */ "GraphicDraw.FileName=_keywait_char.png",
                                           /* 18 */ "GraphicDraw.Layer=前景",
                                           /* 19 */ "GraphicDraw.EffectType=FadeIn",
                                           /* 20 */ "@GraphicDraw",
                                           /* 21 */ "System.Command=FullScreen",
                                           /* 22 */ "@System",
                                           /* 23 */ "System.Command=Fullscreen",
                                           /* 24 */ "@System",
                                           /* 25 */ "@move",
                                           /* 26 */ "SaveCtrl.Command=LoadValue",
                                           /* 27 */ "SaveCtrl.Variable=x",
                                           /* 28 */ "@SaveCtrl",
                                           /* 29 */ "<Page End>",
                                           /* 30 */ "<Page=\"p\">",
                                           /* 31 */ "<Page End>",
                                           /* 32 */ "<Page=\"open\">",
                                       }));
    expectProblems(checkStory(test::localFiles(), dir.file("s.zf7"), dir.file("bin")),
                   {
                       {7, "Book block is not closed before the end of the file"},
                       {9, "ValueCtrl.ValueVar \"count\" is not a \"%name%\" variable"},
                       {10, "ValueCtrl.LeftValue \"%count\" is neither a number nor one"},
                       {11, "ValueCtrl.RightValue \"%a%%b%\" is neither"},
                       {12, "unknown calculation \"Plus\""},
                       {15, "\"%\" signs do not pair up in StringCtrl.Text"},
                       {18, "the main screen has no layer \"前景\""},
                       {19, "unknown effect \"FadeIn\""},
                       {23, "unknown system command \"Fullscreen\""},
                       {25, "(keywords are case-sensitive: \"@Move\")"},
                       {27, "SaveCtrl.Variable \"x\" is not a \"%name%\" or \"$name$\" variable"},
                       {30,
                        "page \"p\" of book \"b\" is defined again; the player only uses the "
                        "one at line 8"},
                       {32, "Page block is not closed before the end of the file"},
                   },
                   dir.file("s.zf7"));
}

TEST(CheckStory, CleanStoryHasNoProblems) {
    test::TempDir dir;
    writeLibrary(dir);
    std::filesystem::create_directories(dir.file("data"));
    test::writeFile(dir.file("data/bg.png"), "x");
    test::writeFile(dir.file("data/se.wav"), "x");
    test::writeFile(dir.file("title.bmp"), "x");
    test::writeFile(dir.file("clean.zf7"), scriptText({
                                               "/// Game Creative Tool - Zarvo Third -",
                                               "<Head=\"Zarvo\">",
                                               "FileType=QZ7",
                                               "CommandVersion=20",
                                               "DataDirectory=data",
                                               "Opening=title.bmp",
                                               "<Head End>",
                                               "<Head=\"LayerList\">",
                                               "LayerCount=2",
                                               "Layer.1.LayerName=人物",
                                               "<Head End>",
                                               "<Book=\"スタートブック\">",
                                               "<Page=\"スタートページ\">",
                                               "GraphicDraw.FileName=bg.png",
                                               "GraphicDraw.Layer=人物",
                                               "@GraphicDraw",
                                               "MessageDraw.Text=$@Zarvo:Title$ %@乱数% $name$",
                                               "@MessageDraw",
                                               "Sound.FileName=se.wav",
                                               "@Sound",
                                               "Music.FileName=$曲$",
                                               "@Music",
                                               "if.VariableType=Text",
                                               "if.Compare=in",
                                               "if.Variable1=$name$",
                                               "@if",
                                               "  if.Variable1=%a%",
                                               "  @if",
                                               "  @else",
                                               "  @endif",
                                               "@else",
                                               "@endif",
                                               "DynamicLayer.Type=Image",
                                               "DynamicLayer.Image.FileName=_keywait_char.png",
                                               "DynamicLayer.Clickable.Mode=Opaque",
                                               "DynamicLayer.Clickable.BookName=_system",
                                               "DynamicLayer.Clickable.PageName=_timer",
                                               "DynamicLayer.Area.Left=%x%",
                                               "@DynamicLayer",
                                               "Select.Text1=一",
                                               "Select.Page1=二",
                                               "Select.Page3=無い",
                                               "@Select",
                                               "@Return",
                                               "<Page End>",
                                               "<Page=\"二\">",
                                               "<Page End>",
                                               "<Book End>",
                                           }));
    std::ostringstream out;
    EXPECT_EQ(checkProject(test::localFiles(), dir.file("clean.zf7"), dir.file("bin"), out),
              kCheckClean)
        << out.str();
    EXPECT_EQ(out.str(), "");
}

TEST(CheckStory, PackagedStoryIsCheckedAgainstItsEntriesWithoutWritingAnything) {
    test::TempDir dir;
    writeLibrary(dir);
    test::writeFile(dir.file("disk.png"), "x");  // pictures of a package come from the package
    writePackage(dir.file("game.zp7"), "QZ7PKG",
                 {{"zarvo.zf7", scriptText({
                                    /*  1 */ "///",
                                    /*  2 */ "<Head=\"Zarvo\">",
                                    /*  3 */ "FileType=QZ7",
                                    /*  4 */ "AutoExtract=1",
                                    /*  5 */ "Opening=Title.PNG",
                                    /*  6 */ "<Head End>",
                                    /*  7 */ "<Book=\"スタートブック\">",
                                    /*  8 */ "<Page=\"スタートページ\">",
                                    /*  9 */ "Music.FileName=theme.ogg",
                                    /* 10 */ "@Music",
                                    /* 11 */ "Sound.FileName=bell.wav",
                                    /* 12 */ "@Sound",
                                    /* 13 */ "GraphicDraw.FileName=disk.png",
                                    /* 14 */ "@GraphicDraw",
                                    /* 15 */ "<Page End>",
                                    /* 16 */ "<Book End>",
                                })},
                  {"title.png", "x"},
                  {"theme.ogg", "x", true},
                  {"bell.wav", "x"}});
    CheckReport report = checkStory(test::localFiles(), dir.file("game.zp7"), dir.file("bin"));
    expectProblems(
        report,
        {
            {11, "it is in the package, but music and sounds play from files on disk"},
            {13, "picture \"disk.png\" is not found in the package or the system library"},
        },
        "zarvo.zf7");
    // Opening the story as the player does would have made the extraction folder.
    EXPECT_FALSE(std::filesystem::exists(dir.file("game")));
}

TEST(CheckStory, CleanPackagedStory) {
    test::TempDir dir;
    writeLibrary(dir);
    writePackage(
        dir.file("ok.zp7"), "QZ7PKG",
        {{"zarvo.zf7", scriptText({"///", "<Head=\"Zarvo\">", "FileType=QZ7", "<Head End>",
                                   "<Book=\"スタートブック\">", "<Page=\"スタートページ\">",
                                   "GraphicDraw.FileName=pic\\a.bmp", "@GraphicDraw", "<Page End>",
                                   "<Book End>"})},
         {"PIC\\A.BMP", "x"}});
    std::ostringstream out;
    EXPECT_EQ(checkProject(test::localFiles(), dir.file("ok.zp7"), dir.file("bin"), out),
              kCheckClean)
        << out.str();
}

TEST(CheckProject, ReportFormatAndExitStatus) {
    test::TempDir dir;
    writeLibrary(dir);
    std::ostringstream out;
    EXPECT_EQ(checkProject(test::localFiles(), dir.file("none.zf7"), dir.file("bin"), out),
              kCheckUsage);
    EXPECT_EQ(out.str(), dir.file("none.zf7") + ": cannot read the project file\n");

    test::writeFile(dir.file("text.txt"), "hello\r\n");
    out.str("");
    EXPECT_EQ(checkProject(test::localFiles(), dir.file("text.txt"), dir.file("bin"), out),
              kCheckProblems);
    EXPECT_EQ(out.str().rfind(dir.file("text.txt") + ":1: not a story file: \"", 0), 0u)
        << out.str();

    // No Zarvo block at all: the file type is missing, the start page does not exist, and the
    // library (looked for in the wrong folder) is reported as a whole-file problem.
    test::writeFile(dir.file("bare.zf7"), "///\r\n");
    out.str("");
    EXPECT_EQ(checkProject(test::localFiles(), dir.file("bare.zf7"), dir.path(), out),
              kCheckProblems);
    std::string text = out.str();
    EXPECT_EQ(text.rfind(dir.file("zarvoplay.zvl") + ": the system library cannot be opened", 0),
              0u)
        << text;
    EXPECT_NE(text.find(dir.file("bare.zf7") + ": FileType is missing, not \"QZ7\""),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(dir.file("bare.zf7") + ": the start page"), std::string::npos) << text;
}

}  // namespace
}  // namespace zarvo

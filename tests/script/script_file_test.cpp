#include "script/script_file.hpp"

#include <gtest/gtest.h>

#include "script_test_util.hpp"
#include "support/notices.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {
namespace {

using platform::BoxKind;
using test::script;
using test::sjis;

std::string damaged(std::string_view tag) {
    return std::string(texts::kFileDamaged) + "\r\n" + std::string(tag);
}

const std::string kStory = script({
    "/// Game Creative Tool - Zarvo Third -",  // 0
    "/// test",                                // 1
    "<Head=\"Zarvo\">",                        // 2
    "Title=物語",                              // 3
    "ImageWidth=640",                          // 4
    "Spaced= 12",                              // 5
    "Trail=5 ",                                // 6
    "Hex=$1F",                                 // 7
    "Title=second",                            // 8
    "  Indented=1",                            // 9
    "Flag=0",                                  // 10
    "<Head End>",                              // 11
    "<Book=\"本\">",                           // 12
    "<Page=\"開始\">",                         // 13
    "  Line one  ",                            // 14
    "",                                        // 15
    "@MessageDraw",                            // 16
    "<Page End>",                              // 17
    "<Page=\"空\">",                           // 18
    "<Page End>",                              // 19
    "<Book End>",                              // 20
});

TEST(ZarvoFile, IndexFollowsTheEndMarkers) {
    test::RecordedNotices boxes;
    ScriptFile f(boxes);
    f.loadFromStream(kStory);
    StringList expected = {"Zarvo/:2,11", sjis("本/開始:13,17"), sjis("本/空:18,19"),
                           sjis("本:12,20")};
    EXPECT_EQ(f.index(), expected);
    int32_t s, e;
    ASSERT_TRUE(f.findBook(sjis("本"), s, e));
    EXPECT_EQ(s, 12);
    EXPECT_EQ(e, 20);
    ASSERT_TRUE(f.findPage(sjis("本"), sjis("開始"), s, e));
    EXPECT_EQ(s, 13);
    EXPECT_EQ(e, 17);
    EXPECT_FALSE(f.findHead(sjis("本"), s, e));
    EXPECT_FALSE(f.findBook("Zarvo", s, e));
}

TEST(ZarvoFile, HeadValuesTakeTheFirstExactKeyUntrimmed) {
    test::RecordedNotices boxes;
    ScriptFile f(boxes);
    f.loadFromStream(kStory);
    EXPECT_EQ(f.readHeadString("Zarvo", "Title", "d"), sjis("物語"));  // first line wins
    EXPECT_EQ(f.readHeadString("Zarvo", "Spaced", "d"), " 12");
    EXPECT_EQ(f.readHeadString("Zarvo", "Titl", "d"), "d");
    EXPECT_EQ(f.readHeadString("Zarvo", "title", "d"), "d");     // keys are exact
    EXPECT_EQ(f.readHeadString("Zarvo", "Indented", "d"), "d");  // leading blank never matches
    EXPECT_EQ(f.readHeadString("Missing", "Title", "d"), "d");
    EXPECT_EQ(f.readHeadInt("Zarvo", "ImageWidth", 0), 640);
    EXPECT_EQ(f.readHeadInt("Zarvo", "Trail", -1), -1);  // trailing blank
    EXPECT_EQ(f.readHeadInt("Zarvo", "Hex", -1), 31);
    EXPECT_EQ(f.readHeadInt("Zarvo", "Title", 7), 7);
    EXPECT_FALSE(f.readHeadBool("Zarvo", "Flag", true));
    EXPECT_TRUE(f.readHeadBool("Zarvo", "Nothing", true));
}

TEST(ZarvoFile, PageLinesAreUntrimmedAndBoundsAreSafe) {
    test::RecordedNotices boxes;
    ScriptFile f(boxes);
    f.loadFromStream(kStory);
    const std::string book = sjis("本"), page = sjis("開始");
    EXPECT_EQ(f.getPageLineCount(book, page), 3);
    EXPECT_EQ(f.getPageLine(book, page, 0), "  Line one  ");
    EXPECT_EQ(f.getPageLine(book, page, 1), "");
    EXPECT_EQ(f.getPageLine(book, page, 2), "@MessageDraw");
    // Outside the page: never the neighbouring marker lines.
    EXPECT_EQ(f.getPageLine(book, page, 3), "");
    EXPECT_EQ(f.getPageLine(book, page, -1), "");
    EXPECT_EQ(f.getPageLine(book, page, 1 << 30), "");
    EXPECT_EQ(f.getPageLineCount(book, sjis("空")), 0);  // adjacent markers
    EXPECT_EQ(f.getPageLine(book, "nope", 0), "");
    EXPECT_EQ(f.getPageLineCount(book, "nope"), 0);
}

TEST(ZarvoFile, FirstMatchAndFilingRules) {
    test::RecordedNotices boxes;
    ScriptFile f(boxes);
    f.loadFromStream(script({
        "<Book=\"A\">", "<Page=\"p\">", "x", "<Page End>", "<Book End>",  // 0-4
        "<Book=\"A\">", "<Page=\"q\">", "<Page End>", "<Book End>",       // 5-8
        "<Page=\"after\">", "<Page End>",                                 // 9-10: filed under A
        "<Book=AB>", "<Book End>",                                        // 11-12: unquoted
        "<Head=\"A\">", "<Head End>",                                     // 13-14
    }));
    int32_t s, e;
    ASSERT_TRUE(f.findBook("A", s, e));
    EXPECT_EQ(s, 0);  // the book whose end marker comes first
    EXPECT_EQ(e, 4);
    ASSERT_TRUE(f.findBook("AB", s, e));
    EXPECT_EQ(s, 11);
    ASSERT_TRUE(f.findPage("A", "after", s, e));
    EXPECT_EQ(s, 9);
    ASSERT_TRUE(f.findHead("A", s, e));
    EXPECT_EQ(s, 13);
    // The index is searched by key prefix: a page entry answers for a book named "A/p".
    ASSERT_TRUE(f.findBook("A/p", s, e));
    EXPECT_EQ(s, 1);
    EXPECT_FALSE(f.bookExists("A/p"));

    StringList books, pages;
    f.getBookList(books);
    EXPECT_EQ(books, (StringList{"A", "A", "AB"}));
    f.getPageList("A", pages);
    EXPECT_EQ(pages, (StringList{"p", "q", "after"}));  // the Head "A" is not a page
    EXPECT_TRUE(f.pageExists("A", "q"));
    EXPECT_FALSE(f.pageExists("AB", "p"));
    EXPECT_TRUE(f.bookExists("AB"));
    EXPECT_FALSE(f.bookExists("a"));
}

TEST(ZarvoFile, MarkerNamesAndEndMarkerWording) {
    test::RecordedNotices boxes;
    ScriptFile f(boxes);
    f.loadFromStream(script({
        "<Page=\"lonely\">", "<Page End>",                // before any book: book ""
        "<Book= \"spaced name\" >", "  <Book Finish>  ",  // any word after the space closes
        "<Book= bare >", "<Book End>", "<Book=\"open", "<Book End>",  // no ">": the empty name
        "\t<Page=\"p\"> \t", "<Page End>",                            // blanks around a marker
    }));
    EXPECT_TRUE(boxes.dialogs.shown().empty());
    int32_t s, e;
    EXPECT_TRUE(f.findPage("", "lonely", s, e));
    EXPECT_TRUE(f.findBook("spaced name", s, e));
    EXPECT_TRUE(f.findBook(" bare ", s, e));
    ASSERT_TRUE(f.findBook("", s, e));
    EXPECT_EQ(s, 6);
    EXPECT_TRUE(f.findPage("", "p", s, e));  // the last book start was the empty name
    StringList books;
    f.getBookList(books);
    EXPECT_EQ(books, (StringList{"spaced name", " bare ", ""}));
}

struct Fault {
    std::vector<std::string_view> lines;
    const char* tag;
};

TEST(ZarvoFile, EachIntegrityFaultHasItsMessage) {
    const Fault faults[] = {
        {{"<Head=\"a\">", "<Head=\"b\">"}, "[Header block miss close flag]"},
        {{"<Head End>"}, "[Header block miss start flag]"},
        {{"<Book=\"a\">", "<Book=\"b\">"}, "[Book block miss close flag]"},
        {{"x", "<Book End>"}, "[Book block miss start flag]"},
        {{"<Page=\"a\">", "<Page=\"b\">"}, "[Page block miss close flag]"},
        {{"<Book=\"a\">", "<Page End>"}, "[Page block miss start flag]"},
    };
    for (const Fault& fault : faults) {
        std::string text;
        for (auto l : fault.lines) text.append(l).append("\r\n");
        test::RecordedNotices boxes;
        ScriptFile f(boxes);
        f.loadFromStream(text);
        ASSERT_EQ(boxes.dialogs.shown().size(), 1u) << fault.tag;
        EXPECT_EQ(boxes.dialogs.shown()[0].kind, BoxKind::ErrorOk);
        EXPECT_EQ(boxes.dialogs.shown()[0].text, damaged(fault.tag));
    }
}

TEST(ZarvoFile, UnknownBlocksStopTheIndexWithTheLineAsStored) {
    for (std::string_view bad :
         {"<BookEnd>", "<Book =\"x\">", "  <Chapter=\"x\">", "<", "< Book End>"}) {
        test::RecordedNotices boxes;
        ScriptFile f(boxes);
        f.loadFromStream(std::string("<Book=\"x\">\r\n") + std::string(bad) + "\r\n<Book End>\r\n");
        ASSERT_EQ(boxes.dialogs.shown().size(), 1u) << bad;
        EXPECT_EQ(boxes.dialogs.shown()[0].kind, BoxKind::ErrorOk);
        EXPECT_EQ(boxes.dialogs.shown()[0].text,
                  std::string(texts::kUnknownBlock) + std::string(bad));
    }
}

TEST(ZarvoFile, ADamagedIndexKeepsEarlierBlocksAndReportsAgain) {
    test::RecordedNotices boxes;
    ScriptFile f(boxes);
    f.loadFromStream(script({"<Book=\"ok\">", "<Page=\"p\">", "<Page End>", "<Book End>",
                             "<Page End>", "<Book=\"late\">", "<Book End>"}));
    EXPECT_EQ(boxes.dialogs.shown().size(), 1u);
    int32_t s, e;
    EXPECT_TRUE(f.findBook("ok", s, e));  // rebuilt, reported again
    EXPECT_EQ(boxes.dialogs.shown().size(), 2u);
    EXPECT_TRUE(f.findBook("ok", s, e));  // the cached answer needs no index
    EXPECT_EQ(boxes.dialogs.shown().size(), 2u);
    EXPECT_FALSE(f.findBook("late", s, e));
    EXPECT_EQ(boxes.dialogs.shown().size(), 3u);
    EXPECT_EQ(boxes.dialogs.shown()[2].text, damaged("[Page block miss start flag]"));

    // Kinds are tracked on their own: interleaved blocks are no fault.
    boxes.dialogs.clear();
    f.loadFromStream(script({"<Head=\"h\">", "<Book=\"b\">", "<Head End>", "<Book End>"}));
    EXPECT_TRUE(boxes.dialogs.shown().empty());
    EXPECT_TRUE(f.findHead("h", s, e));
    EXPECT_TRUE(f.findBook("b", s, e));

    // Faults are told, never fatal.
    test::RecordedNotices quietBoxes;
    ScriptFile quiet(quietBoxes);
    quiet.loadFromStream("<Page End>\r\n<Odd>\r\n");
    EXPECT_FALSE(quiet.findPage("", "", s, e));
}

TEST(ZarvoFile, NewScriptAndLoadingFromFiles) {
    test::RecordedNotices boxes;
    ScriptFile f(boxes);
    ASSERT_EQ(f.lines().size(), 2u);
    EXPECT_EQ(f.lines()[0], "/// Game Creative Tool - Zarvo Third -");
    EXPECT_EQ(f.lines()[1].substr(0, 3), "///");
    EXPECT_TRUE(f.index().empty());

    test::TempDir dir;
    test::writeFile(dir.file("story.zf7"), kStory);
    ASSERT_TRUE(f.loadFromFile(test::localFiles(), dir.file("story.zf7")));
    EXPECT_TRUE(f.bookExists(sjis("本")));
    // A file that cannot be read leaves the script as it was.
    EXPECT_FALSE(f.loadFromFile(test::localFiles(), dir.file("missing.zf7")));
    EXPECT_FALSE(f.loadFromFile(test::localFiles(), dir.path()));  // a folder
    EXPECT_TRUE(f.bookExists(sjis("本")));
    f.newScript();
    EXPECT_FALSE(f.bookExists(sjis("本")));
}

TEST(ZarvoFile, ImportBookAddsOnlyAMissingBook) {
    test::RecordedNotices boxes;
    ScriptFile story(boxes), library(boxes);
    story.loadFromStream(
        script({"<Book=\"main\">", "<Page=\"p\">", "story", "<Page End>", "<Book End>"}));
    library.loadFromStream(
        script({"<Book=\"main\">", "<Page=\"p\">", "library", "<Page End>", "<Book End>",
                "<Book=\"_system\">", "<Page=\"_init\">", "@Return", "<Page End>",
                "<Page=\"_timer\">", "<Page End>", "<Book End>"}));
    story.importBook("main", library);
    EXPECT_EQ(story.lines().size(), 5u);
    EXPECT_EQ(story.getPageLine("main", "p", 0), "story");
    story.importBook("nothing", library);
    EXPECT_EQ(story.lines().size(), 5u);

    story.importBook("_system", library);
    EXPECT_EQ(story.lines().size(), 12u);
    EXPECT_EQ(story.getPageLine("_system", "_init", 0), "@Return");
    StringList pages;
    story.getPageList("_system", pages);
    EXPECT_EQ(pages, (StringList{"_init", "_timer"}));

    StringList lines = {"kept"};
    ASSERT_TRUE(story.getBookLines("main", lines));
    EXPECT_EQ(lines, (StringList{"kept", "<Book=\"main\">", "<Page=\"p\">", "story", "<Page End>",
                                 "<Book End>"}));
    EXPECT_FALSE(story.getBookLines("none", lines));
}

}  // namespace
}  // namespace zarvo

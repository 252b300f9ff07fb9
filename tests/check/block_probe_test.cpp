// Marker faults located on their line, and blocks left open at the end of the file, always as
// the player's own script reader sees them.
#include "check/block_probe.hpp"

#include <gtest/gtest.h>

#include "script/script_file.hpp"
#include "support/notices.hpp"

namespace zarvo {
namespace {

// What the player itself shows first when it indexes these lines.
std::string playerMessage(const StringList& lines) {
    test::RecordedNotices boxes;
    ScriptFile file(boxes);
    file.loadFromStream(joinLines(lines));
    const auto& shown = boxes.dialogs.shown();
    return shown.empty() ? std::string() : shown.front().text;
}

TEST(BlockFault, EachKindIsFoundOnItsLineWithThePlayersMessage) {
    struct Case {
        StringList lines;
        int32_t line;
        std::string_view tag;
    };
    const Case cases[] = {
        {{"///", "<Head=\"A\">", "k=v", "<Head=\"B\">", "<Head End>"},
         3,
         "[Header block miss close flag]"},
        {{"///", "<Head End>"}, 1, "[Header block miss start flag]"},
        {{"<Book=\"A\">", "<Page=\"p\">", "<Page End>", "<Book=\"B\">"},
         3,
         "[Book block miss close flag]"},
        {{"<Book=\"A\">", "<Book End>", "  <Book End>  "}, 2, "[Book block miss start flag]"},
        {{"<Book=\"A\">", "<Page=\"p\">", "@rem", "", "<Page=\"q\">"},
         4,
         "[Page block miss close flag]"},
        // Only the first fault counts: the build stops there.
        {{"<Book=\"A\">", "<Page End>", "<Page End>", "<Head End>"},
         1,
         "[Page block miss start flag]"},
        // Unknown kinds: no space after the kind, a blank before "=", a lone "<".
        {{"<Book=\"A\">", "<BookEnd>"}, 1, ""},
        {{"a", "b", "<Book =\"A\">"}, 2, ""},
        {{"<"}, 0, ""},
    };
    for (const Case& c : cases) {
        BlockFault fault = findBlockFault(c.lines);
        EXPECT_EQ(fault.line, c.line) << joinLines(c.lines);
        EXPECT_EQ(fault.text, playerMessage(c.lines));
        EXPECT_NE(fault.text.find(c.tag), std::string::npos) << fault.text;
        EXPECT_TRUE(
            findBlockFault(StringList(c.lines.begin(), c.lines.begin() + c.line)).text.empty())
            << "the lines before the fault are clean";
    }
}

TEST(BlockFault, CleanScriptsHaveNone) {
    EXPECT_EQ(findBlockFault({}).line, -1);
    EXPECT_EQ(findBlockFault({"///", "<Head=\"Zarvo\">", "<Head End>", "<Book=\"b\">",
                              "<Page=\"p\">", "@rem", "<Page End>", "<Book End>"})
                  .line,
              -1);
    // A long clean script and one whose only fault is its very last line.
    StringList lines;
    for (int i = 0; i < 5000; ++i) {
        lines.push_back("<Page=\"p" + std::to_string(i) + "\">");
        lines.push_back("<Page End>");
    }
    EXPECT_EQ(findBlockFault(lines).line, -1);
    lines.push_back("<Page End>");
    EXPECT_EQ(findBlockFault(lines).line, 10000);
}

TEST(OpenBlocks, BlocksLeftOpenAtTheEndAreListedWithTheirStartLine) {
    EXPECT_TRUE(
        findOpenBlocks({"<Book=\"b\">", "<Page=\"p\">", "<Page End>", "<Book End>"}).empty());

    std::vector<OpenBlock> open =
        findOpenBlocks({"<Head=\"h\">", "<Head End>", "<Book=\"b\">", "<Page=\"p\">", "<Page End>",
                        "<Page=\"q\">", "@rem"});
    ASSERT_EQ(open.size(), 2u);
    EXPECT_EQ(open[0].kind, "Book");
    EXPECT_EQ(open[0].startLine, 2);
    EXPECT_EQ(open[1].kind, "Page");
    EXPECT_EQ(open[1].startLine, 5);

    open = findOpenBlocks({"<Head=\"h\">", "x=1"});
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0].kind, "Head");
    EXPECT_EQ(open[0].startLine, 0);
}

}  // namespace
}  // namespace zarvo

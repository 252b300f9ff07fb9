// Message layout with the box font engine, so every position, step and pixel below is exact.
#include "graphics/text_layout.hpp"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "base/sjis.hpp"
#include "graphics/surface.hpp"
#include "support/box_font_engine.hpp"
#include "support/temp_dir.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {
namespace {

using test::sjis;

using test::BoxFontEngine;

using Op = RevealOp;
using Steps = std::vector<std::pair<RevealOp, int32_t>>;

class TextLayoutTest : public ::testing::Test {
  protected:
    void SetUp() override {
        layout.font.name = "Box";
        layout.font.size = 12;  // 16 pixels at 96 dpi
    }

    Steps steps() const {
        Steps s;
        for (int i = 0; i < layout.revealCount(); ++i) s.push_back(layout.revealEntry(i));
        return s;
    }
    // The steps after the leading (SpeedNormal) and the per-line headers, for compact checks.
    Steps charSteps() const {
        Steps s;
        for (auto e : steps())
            if (e.first == Op::Char) s.push_back(e);
        return s;
    }
    int32_t sized(std::string_view t, int32_t width = 200, int32_t limit = 0) {
        layout.text = std::string(t);
        return layout.drawSized(g, engine, width, limit);
    }
    int32_t paged(std::string_view t, int32_t width, int32_t height) {
        g.setSize(width, height);
        layout.text = std::string(t);
        return layout.draw(g, engine);
    }

    BoxFontEngine engine;
    Surface g;
    TextLayout layout;
};

TEST_F(TextLayoutTest, LinesBreakAtHashAndWidthWithExactSteps) {
    EXPECT_EQ(sized("ab#c"), 32);
    EXPECT_EQ(g.width(), 200);
    EXPECT_EQ(g.height(), 32);
    Steps expected = {{Op::SpeedNormal, 0}, {Op::SetLeft, 0},    {Op::SetWidth, 0},
                      {Op::SetTop, 0},      {Op::SetHeight, 16}, {Op::Char, 8},
                      {Op::Char, 16},       {Op::Char, 16},      {Op::SetLeft, 0},
                      {Op::SetWidth, 0},    {Op::SetTop, 16},    {Op::SetHeight, 16},
                      {Op::Char, 8},        {Op::Char, 8},       {Op::End, 0}};
    EXPECT_EQ(steps(), expected);
    EXPECT_TRUE(layout.text.empty());
    EXPECT_EQ(layout.layoutText, "ab#c");

    // 20 pixels hold two 8-pixel characters; the third gets its step where it does not fit.
    EXPECT_EQ(sized("abcd", 20), 32);
    EXPECT_EQ(charSteps(), (Steps{{Op::Char, 8},
                                  {Op::Char, 16},
                                  {Op::Char, 24},
                                  {Op::Char, 8},
                                  {Op::Char, 16},
                                  {Op::Char, 16}}));

    // A two-byte character is one step of full width.
    EXPECT_EQ(sized(sjis("あa")), 16);
    EXPECT_EQ(charSteps(), (Steps{{Op::Char, 16}, {Op::Char, 24}, {Op::Char, 24}}));
}

TEST_F(TextLayoutTest, EmptyLinesAreOnePixelHigh) {
    EXPECT_EQ(sized("a##b"), 33);
    EXPECT_EQ(sized(""), 1);
    EXPECT_EQ(sized("#"), 1);
    EXPECT_EQ(sized("a#"), 16);
    EXPECT_EQ(sized("<B>#a"), 17);  // a line holding only a tag is empty too
}

TEST_F(TextLayoutTest, DrawSizedTakesWidthAndHeightOfTheLines) {
    EXPECT_EQ(sized("one#two#six", 200, 0), 48);
    EXPECT_EQ(g.width(), 200);
    EXPECT_EQ(g.height(), 48);
    ASSERT_EQ(engine.calls.size(), 3u);
    EXPECT_EQ(engine.calls[2].text, "six");
    EXPECT_EQ(engine.calls[2].y, 32);
    // Only the text is opaque: the first character cell of line 2 and the gap to its right.
    EXPECT_EQ(g.maskRow(20)[0], 255);
    EXPECT_EQ(g.maskRow(20)[23], 255);
    EXPECT_EQ(g.maskRow(20)[24], 0);
    EXPECT_EQ(g.row(20)[0], 0u);          // black text
    EXPECT_EQ(g.row(20)[24], 0xFFFFFFu);  // white background
}

TEST_F(TextLayoutTest, DrawClearsTheSurfaceAndAlignsSegmentsAtTheLineBottom) {
    g.setSize(100, 60);
    g.fillRect(0, 0, 100, 60, 0x0000FF);
    layout.text = "a<*24>b";  // 24 pt = 32 px
    EXPECT_EQ(layout.draw(g, engine), 32);
    EXPECT_EQ(g.alphaMode(), AlphaMode::Mask);
    ASSERT_EQ(engine.calls.size(), 2u);
    EXPECT_EQ(engine.calls[0].x, 0);
    EXPECT_EQ(engine.calls[0].y, 16);
    EXPECT_EQ(engine.calls[1].x, 8);
    EXPECT_EQ(engine.calls[1].y, 0);
    EXPECT_EQ(engine.calls[1].font.pixelHeight, 32);
    EXPECT_EQ(g.row(50)[50], 0xFFFFFFu);
    EXPECT_EQ(g.maskRow(50)[50], 0);
    EXPECT_EQ(g.maskRow(0)[0], 0);  // above the small "a"
    EXPECT_EQ(g.maskRow(20)[0], 255);
}

TEST_F(TextLayoutTest, SizeStyleAndColourTags) {
    // Size: "+" and "-" relative, "*" absolute, only two digits read.
    sized("<+4>a<-8>b<*6>c<+100>d<*x>e");
    ASSERT_EQ(engine.calls.size(), 5u);
    EXPECT_EQ(engine.calls[0].font.pixelHeight, 21);  // 16 pt
    EXPECT_EQ(engine.calls[1].font.pixelHeight, 10);  // 8 pt
    EXPECT_EQ(engine.calls[2].font.pixelHeight, 8);   // 6 pt
    EXPECT_EQ(engine.calls[3].font.pixelHeight, 21);  // 6 + 10 pt
    EXPECT_EQ(engine.calls[4].font.pixelHeight, 16);  // 0 pt: the default size, 12 pt

    // Style: B then I gives both; N returns to plain.
    engine.calls.clear();
    sized("a<B>b<I>c<N>d<I>e");
    ASSERT_EQ(engine.calls.size(), 5u);
    EXPECT_FALSE(engine.calls[0].font.bold);
    EXPECT_TRUE(engine.calls[1].font.bold && !engine.calls[1].font.italic);
    EXPECT_TRUE(engine.calls[2].font.bold && engine.calls[2].font.italic);
    EXPECT_TRUE(!engine.calls[3].font.bold && !engine.calls[3].font.italic);
    EXPECT_TRUE(!engine.calls[4].font.bold && engine.calls[4].font.italic);

    // Colour: names of any letter case after "cl", hex as 0x00BBGGRR; pixels are 0x00RRGGBB.
    engine.calls.clear();
    sized("<clRed>a<0x00FF00>b<clblue>c<CLRED>d<clNoSuch>e<0xZZ>f<0x>g");
    ASSERT_EQ(engine.calls.size(), 7u);
    EXPECT_EQ(engine.calls[0].colour, 0xFF0000u);
    EXPECT_EQ(engine.calls[1].colour, 0x00FF00u);
    EXPECT_EQ(engine.calls[2].colour, 0x0000FFu);
    // Unknown or unreadable colours are ignored whole: the colour stays blue.
    for (int i = 3; i < 7; ++i)
        EXPECT_EQ(engine.calls[static_cast<size_t>(i)].colour, 0x0000FFu) << i;
    EXPECT_EQ(g.row(8)[8], 0x00FF00u);
    EXPECT_EQ(g.maskRow(8)[8], 255);

    // Unknown tags are ignored and occupy no space.
    engine.calls.clear();
    sized("a<nothing>b<>c");
    ASSERT_EQ(engine.calls.size(), 3u);
    EXPECT_EQ(engine.calls[1].x, 8);
    EXPECT_EQ(engine.calls[2].x, 16);
}

TEST_F(TextLayoutTest, RevealTagsRecordOnlyWhileDrawing) {
    sized("a<FAST>b<KEY>c<SLOW><W15><NORMAL><W><Wx>#d");
    Steps expected = {{Op::SpeedNormal, 0}, {Op::SetLeft, 0},       {Op::SetWidth, 0},
                      {Op::SetTop, 0},      {Op::SetHeight, 16},    {Op::Char, 8},
                      {Op::SpeedFast, 0},   {Op::Char, 16},         {Op::ShowKeyMarker, 0},
                      {Op::KeyWait, 0},     {Op::HideKeyMarker, 0}, {Op::Char, 24},
                      {Op::SpeedSlow, 0},   {Op::TimedWait, 1500},  {Op::SpeedNormal, 0},
                      {Op::TimedWait, 0},   {Op::TimedWait, 0},     {Op::Char, 24},
                      {Op::SetLeft, 0},     {Op::SetWidth, 0},      {Op::SetTop, 16},
                      {Op::SetHeight, 16},  {Op::Char, 8},          {Op::Char, 8},
                      {Op::End, 0}};
    EXPECT_EQ(steps(), expected);
    // Tags are compared exactly.
    sized("<fast><Key>");
    EXPECT_EQ(steps().size(), 7u);
}

TEST_F(TextLayoutTest, UnclosedTagSwallowsOneCharacter) {
    sized("ab<cde");
    ASSERT_EQ(engine.calls.size(), 2u);
    EXPECT_EQ(engine.calls[0].text, "ab");
    EXPECT_EQ(engine.calls[1].text, "de");
    EXPECT_EQ(engine.calls[1].x, 16);

    // The character after "<" goes whole, never half of a two-byte character.
    engine.calls.clear();
    sized(sjis("<あい"));
    ASSERT_EQ(engine.calls.size(), 1u);
    EXPECT_EQ(engine.calls[0].text, sjis("い"));

    engine.calls.clear();
    EXPECT_EQ(sized("a<"), 16);
    ASSERT_EQ(engine.calls.size(), 1u);
    EXPECT_EQ(engine.calls[0].text, "a");

    // Runs of unclosed tags go two bytes at a time; a ">" anywhere later closes the tag, even
    // past a line end.
    engine.calls.clear();
    sized("<<<<a");
    sized("a<<#x>b");
    ASSERT_EQ(engine.calls.size(), 3u);
    EXPECT_EQ(engine.calls[0].text, "a");
    EXPECT_EQ(engine.calls[2].text, "b");
    EXPECT_EQ(engine.calls[2].x, 8);
    EXPECT_EQ(g.height(), 16);
}

TEST_F(TextLayoutTest, NextRevealStepReplaysCells) {
    sized("ab<FAST>#<KEY>c");
    // op, stepX, stepY, stepWidth, stepHeight, stepSpeed after each returned step
    using Cell = std::array<int32_t, 6>;
    std::vector<Cell> replay;
    for (int i = 0; i < 10; ++i) {
        RevealStep r = layout.nextRevealStep();
        replay.push_back({int32_t(r.op), r.stepX, r.stepY, r.stepWidth, r.stepHeight, r.stepSpeed});
    }
    auto op = [](Op o) { return int32_t(o); };
    std::vector<Cell> expected = {
        {op(Op::Char), 0, 0, 8, 16, 60},           {op(Op::Char), 8, 0, 8, 16, 60},
        {op(Op::Char), 16, 0, 0, 16, 20},  // the "#": an empty cell after the text
        {op(Op::ShowKeyMarker), 0, 16, 0, 16, 20}, {op(Op::KeyWait), 0, 16, 0, 16, 20},
        {op(Op::HideKeyMarker), 0, 16, 0, 16, 20}, {op(Op::Char), 0, 16, 8, 16, 20},
        {op(Op::Char), 8, 16, 0, 16, 20},          {op(Op::End), 8, 16, 0, 16, 20},
        {op(Op::End), 8, 16, 0, 16, 20},  // End stays
    };
    EXPECT_EQ(replay, expected);

    layout.resetReveal();
    RevealStep r = layout.nextRevealStep();
    EXPECT_EQ(r.op, Op::End);
    EXPECT_EQ(r.stepSpeed, 60);
    EXPECT_EQ(r.stepX, 0);
}

TEST_F(TextLayoutTest, PageOverflowCarriesTheStateToTheRest) {
    // Two 16-pixel lines fit into 40; the third starts the next page.
    EXPECT_EQ(paged("a#b#c#d", 100, 40), 32);
    EXPECT_EQ(layout.text, "<*12><clBlack>c#d");
    Steps s = steps();
    ASSERT_GE(s.size(), 5u);
    Steps tail(s.end() - 5, s.end());
    EXPECT_EQ(tail, (Steps{{Op::ShowPageMarker, 0},
                           {Op::PageWait, 0},
                           {Op::HidePageMarker, 0},
                           {Op::NextPage, 40},
                           {Op::End, 0}}));

    layout.font.size = 16;
    paged("<0x00FF0000><B><I>a#b#c", 100, 60);  // 21-pixel lines: two fit
    EXPECT_EQ(layout.text, "<*16><0x00ff0000><B><I>c");
    engine.calls.clear();
    EXPECT_EQ(layout.draw(g, engine), 21);
    ASSERT_EQ(engine.calls.size(), 1u);
    EXPECT_EQ(engine.calls[0].text, "c");
    EXPECT_EQ(engine.calls[0].colour, 0x0000FFu);
    EXPECT_TRUE(engine.calls[0].font.bold && engine.calls[0].font.italic);
    EXPECT_TRUE(layout.text.empty());
    EXPECT_EQ(layout.layoutText, "<*16><0x00ff0000><B><I>c");

    // A named colour stays a name.
    layout.font.size = 12;
    paged("<clRed>a#b", 100, 20);
    EXPECT_EQ(layout.text, "<*12><clRed>b");

    // Sizes beyond two digits survive as several steps.
    paged("<*99><+21>a#b", 1000, 200);  // 120 pt = 160 px
    EXPECT_EQ(layout.text, "<*0><+99><+21><clBlack>b");
    engine.calls.clear();
    g.setSize(1000, 200);
    layout.draw(g, engine);
    ASSERT_EQ(engine.calls.size(), 1u);
    EXPECT_EQ(engine.calls[0].font.pixelHeight, 160);
    paged("<*0><-15>a#b", 1000, 20);  // -15 pt
    EXPECT_EQ(layout.text, "<*0><-15><clBlack>b");
}

TEST_F(TextLayoutTest, LayoutThatCannotProgressEnds) {
    // The first line is taller than the limit: nothing is laid out, the text is kept as it was
    // and no page break is recorded (it would never end).
    EXPECT_EQ(paged("abc", 100, 10), 0);
    EXPECT_EQ(layout.text, "abc");
    EXPECT_EQ(steps(), (Steps{{Op::SpeedNormal, 0}, {Op::End, 0}}));
    EXPECT_TRUE(engine.calls.empty());
    EXPECT_EQ(layout.draw(g, engine), 0);
    EXPECT_EQ(layout.text, "abc");

    // Not one character fits the width.
    EXPECT_EQ(sized("abc", 4), 0);
    EXPECT_EQ(g.height(), 0);
    EXPECT_EQ(layout.text, "abc");

    // Replaying page after page as the message display does ends after the part that fits.
    g.setSize(12, 100);
    layout.text = sjis("a#あb");
    int pages = 0;
    for (bool more = true; more && pages < 10; ++pages) {
        layout.draw(g, engine);
        more = false;
        for (RevealStep s = layout.nextRevealStep(); s.op != Op::End; s = layout.nextRevealStep())
            if (s.op == Op::NextPage) more = true;
    }
    EXPECT_EQ(pages, 2);
    EXPECT_EQ(layout.text, "<*12><clBlack>" + sjis("あb"));
}

TEST_F(TextLayoutTest, LimitsOfLinesAndSteps) {
    // 300 lines at most; the rest waits for the next page.
    std::string hashes(400, '#');
    EXPECT_EQ(sized(hashes, 100, 0), 300);
    EXPECT_EQ(layout.text, "<*12><clBlack>" + std::string(100, '#'));

    // A full reveal list still ends with the page break, so the rest is shown.
    std::string text(5000, 'a');
    text += "#b#c";
    layout.font.size = 6;  // 8-pixel lines, 4-pixel characters
    EXPECT_EQ(paged(text, 20000, 20), 16);
    ASSERT_EQ(layout.revealCount(), TextLayout::kRevealCapacity);
    Steps s = steps();
    Steps tail(s.end() - 5, s.end());
    EXPECT_EQ(tail, (Steps{{Op::ShowPageMarker, 0},
                           {Op::PageWait, 0},
                           {Op::HidePageMarker, 0},
                           {Op::NextPage, 20},
                           {Op::End, 0}}));
    EXPECT_EQ(layout.text, "<*6><clBlack>c");
    for (int i = 0; i < TextLayout::kRevealCapacity + 10; ++i) layout.nextRevealStep();
    EXPECT_EQ(layout.nextRevealStep().op, Op::End);
}

TEST_F(TextLayoutTest, MeasuresEachCharacterOnce) {
    // Growing segments are measured by their new character only.
    std::string text(2000, 'a');
    engine.measureCalls = 0;
    sized(text, 20000, 0);
    EXPECT_LE(engine.measureCalls, 2 * 2000 + 10);
}

TEST_F(TextLayoutTest, FixedWidthEngineLaysOutWithoutDrawing) {
    FixedWidthFontEngine fixed;
    layout.text = "abcd#x#y";
    EXPECT_EQ(layout.drawSized(g, fixed, 20, 0), 64);  // fixed widths: two characters a line
    EXPECT_EQ(g.height(), 64);
    EXPECT_EQ(g.maskRow(8)[4], 0);  // nothing drawn
    // A new layout starts in the system face at 10 points, 96 dpi.
    TextLayout fresh;
    EXPECT_EQ(fresh.font.name, texts::kDefaultSystemFont);
    EXPECT_EQ(fresh.font.size * 1000 + fresh.font.dpi, 10096);
}

TEST(ColorTable, NamesAndNumbers) {
    const std::pair<const char*, uint32_t> good[] = {{"clBlack", 0},
                                                     {"clRed", 0x0000FF},
                                                     {"CLBLUE", 0xFF0000},
                                                     {"clSilver", 0xC0C0C0},
                                                     {"clNone", 0x1FFFFFFF},
                                                     {"clWindow", 0xFFFFFF},
                                                     {"clWindowText", 0},
                                                     {"0x00123456", 0x123456},
                                                     {"0xFFFFFFFF", 0xFFFFFFFF},
                                                     {"255", 255}};
    for (auto [text, value] : good) {
        uint32_t c = 7;
        EXPECT_TRUE(colorFromText(text, c)) << text;
        EXPECT_EQ(c, value) << text;
    }
    uint32_t c = 7;
    for (const char* bad : {"clNoSuch", "0x", "0x123456789", "0xGG", "", "red", "cl"})
        EXPECT_FALSE(colorFromText(bad, c)) << bad;
    EXPECT_EQ(c, 7u);

    EXPECT_EQ(colorToText(0), "clBlack");
    EXPECT_EQ(colorToText(0xFF0000), "clBlue");
    EXPECT_EQ(colorToText(0x1FFFFFFF), "clNone");
    EXPECT_EQ(colorToText(0x00ABCDEF), "0x00abcdef");
    for (uint32_t v : {0x00ABCDEFu, 0x90000000u, 0xC0C0C0u}) {
        ASSERT_TRUE(colorFromText(colorToText(v), c));
        EXPECT_EQ(c, v);
    }
}

}  // namespace
}  // namespace zarvo

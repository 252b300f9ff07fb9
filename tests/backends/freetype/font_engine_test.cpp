// The FreeType engine with the installed IPA faces (skipped where they are not installed), and
// its fallbacks without any font.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "backends/freetype/freetype_font_engine.hpp"
#include "support/temp_dir.hpp"

namespace zarvo::platform {
namespace {

using test::sjis;

constexpr uint32_t kPaper = 0x123456;

struct Canvas {
    Canvas(int w, int h)
        : width(w), height(h), pixels(size_t(w * h), kPaper), mask(size_t(w * h), 0) {}
    GlyphTarget target() {
        return GlyphTarget{pixels.data(), width, mask.data(), width, width, height};
    }
    int ink() const { return int(std::count(mask.begin(), mask.end(), 255)); }
    // Bounding box of the touched pixels: left, top, right (exclusive), bottom (exclusive).
    std::array<int, 4> box() const {
        std::array<int, 4> b{width, height, 0, 0};
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (mask[size_t(y * width + x)]) {
                    b[0] = std::min(b[0], x);
                    b[1] = std::min(b[1], y);
                    b[2] = std::max(b[2], x + 1);
                    b[3] = std::max(b[3], y + 1);
                }
        return b;
    }
    int width, height;
    std::vector<uint32_t> pixels;
    std::vector<uint8_t> mask;
};

class IpaFontTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (engine().resolvedFamily(gothic()) != "IPAGothic")
            GTEST_SKIP() << "IPA fonts are not installed";
    }
    static FreeTypeFontEngine& engine() {
        static FreeTypeFontEngine e;
        return e;
    }
    static std::string gothic() { return sjis("ＭＳ ゴシック"); }
    static FontSpec fontSpec(int h = 16, bool bold = false, bool italic = false) {
        return FontSpec{gothic(), h, bold, italic};
    }
};

TEST_F(IpaFontTest, WindowsFacesMapToIpaFaces) {
    EXPECT_EQ(engine().resolvedFamily(sjis("ＭＳ Ｐゴシック")), "IPAPGothic");
    EXPECT_EQ(engine().resolvedFamily(sjis("ＭＳ 明朝")), "IPAMincho");
    EXPECT_EQ(engine().resolvedFamily(sjis("ＭＳ Ｐ明朝")), "IPAPMincho");
    EXPECT_EQ(engine().resolvedFamily("IPAMincho"), "IPAMincho");
    EXPECT_EQ(engine().resolvedFamily(sjis("IPA明朝")), "IPA明朝");
    // A face nobody installed is drawn with the default Japanese face.
    EXPECT_EQ(engine().resolvedFamily("No Such Face 123"), "IPAGothic");

    StringList faces = engine().faces();
    for (const char* name :
         {"ＭＳ ゴシック", "ＭＳ Ｐゴシック", "ＭＳ 明朝", "ＭＳ Ｐ明朝", "IPAゴシック"})
        EXPECT_NE(std::find(faces.begin(), faces.end(), sjis(name)), faces.end()) << name;
    EXPECT_TRUE(engine().hasFace(gothic()));
    EXPECT_TRUE(engine().hasFace("ipagothic"));
    EXPECT_FALSE(engine().hasFace("No Such Face 123"));
    EXPECT_FALSE(engine().hasFace(""));
}

TEST_F(IpaFontTest, MeasuresFullAndHalfWidths) {
    TextExtent half = engine().measure(fontSpec(), "a");
    TextExtent full = engine().measure(fontSpec(), sjis("あ"));
    EXPECT_EQ(half.cy, 16);
    EXPECT_EQ(full.cy, 16);
    EXPECT_EQ(half.cx, 8);
    EXPECT_EQ(full.cx, 16);
    // Half-width katakana is half width; the advances add up.
    EXPECT_EQ(engine().measure(fontSpec(), sjis("ｱ")).cx, 8);
    EXPECT_EQ(engine().measure(fontSpec(), sjis("aあｱ漢")).cx, 48);
    EXPECT_EQ(engine().measure(fontSpec(24), sjis("あ")).cx, 24);
    // The proportional face has narrow and wide letters.
    FontSpec p{sjis("ＭＳ Ｐゴシック"), 16, false, false};
    EXPECT_LT(engine().measure(p, "i").cx, engine().measure(p, "W").cx);

    // Bold is wider; italic keeps the advance.
    EXPECT_GT(engine().measure(fontSpec(16, true), sjis("あ")).cx, 16);
    EXPECT_EQ(engine().measure(fontSpec(16, false, true), sjis("あ")).cx, 16);
}

TEST_F(IpaFontTest, DrawsSolidGlyphsInsideTheirBox) {
    Canvas c(64, 40);
    engine().draw(fontSpec(), sjis("あ"), 10, 8, 0x00FF00, c.target());
    ASSERT_GT(c.ink(), 20);
    auto b = c.box();
    EXPECT_GE(b[0], 10);
    EXPECT_GE(b[1], 8);
    EXPECT_LE(b[2], 26);
    EXPECT_LE(b[3], 24);
    // Every pixel is either text in the colour, with its mask set, or untouched.
    for (size_t i = 0; i < c.pixels.size(); ++i) {
        if (c.mask[i] == 255)
            EXPECT_EQ(c.pixels[i], 0x00FF00u);
        else
            EXPECT_EQ(c.pixels[i], kPaper);
    }

    // A line of text stays inside the height it measures.
    Canvas line(200, 40);
    TextExtent e = engine().measure(fontSpec(), sjis("gjpqy漢字"));
    engine().draw(fontSpec(), sjis("gjpqy漢字"), 0, 10, 0, line.target());
    b = line.box();
    EXPECT_GE(b[1], 10);
    EXPECT_LE(b[3], 10 + e.cy);
    EXPECT_LE(b[2], e.cx);
}

TEST_F(IpaFontTest, BoldIsHeavierAndItalicLeans) {
    Canvas regular(40, 30), bold(40, 30), italic(40, 30);
    engine().draw(fontSpec(), sjis("国"), 4, 4, 0, regular.target());
    engine().draw(fontSpec(16, true), sjis("国"), 4, 4, 0, bold.target());
    engine().draw(fontSpec(16, false, true), sjis("国"), 4, 4, 0, italic.target());
    EXPECT_GT(bold.ink(), regular.ink() * 11 / 10);
    EXPECT_GE(bold.box()[2], regular.box()[2]);
    EXPECT_NE(italic.mask, regular.mask);
    // The top leans right of the upright glyph, the bottom stays about in place.
    EXPECT_GT(italic.box()[2], regular.box()[2]);
}

TEST_F(IpaFontTest, ClipsAndSurvivesOddInput) {
    Canvas c(20, 10);
    // Partly and wholly outside: no write outside the buffers (the sanitizer build checks).
    for (auto [x, y] : {std::pair{-8, -8}, {12, 4}, {-1000, 0}, {0, 1000}, {2147483000, 0}})
        engine().draw(fontSpec(), sjis("漢字ab"), x, y, 0, c.target());
    EXPECT_GT(c.ink(), 0);
    // Undefined bytes, a lone lead byte, control characters and a huge size.
    std::string odd = std::string("\x80\xA0\xFD\xFF\x01\t", 6) + sjis("あ") + "\x82";
    TextExtent e = engine().measure(fontSpec(), odd);
    EXPECT_GT(e.cx, 0);
    engine().draw(fontSpec(), odd, 0, 0, 0, c.target());
    engine().draw(fontSpec(5000), "W", -100, -100, 0, c.target());
    EXPECT_EQ(engine().measure(fontSpec(5000), "").cy, FreeTypeFontEngine::kMaxPixelHeight);
    engine().draw(fontSpec(0), "a", 0, 0, 0, c.target());
    GlyphTarget noMask{c.pixels.data(), 20, nullptr, 0, 20, 10};
    engine().draw(fontSpec(), "abc", 0, 0, 0, noMask);
    // Many sizes in turn: the cache starts over and still answers the same.
    for (int h = 1; h <= 150; ++h)
        engine().draw(fontSpec(h, h % 2 == 0), sjis("あ"), 0, 0, 0, c.target());
    EXPECT_EQ(engine().measure(fontSpec(), sjis("aあ")).cx, 24);
}

// Where there is no fontconfig the IPA files are opened by a fixed map; a story must look the
// same either way, and the English names of the Windows faces are those faces.
TEST_F(IpaFontTest, FixedFontMapDrawsWhatFontconfigDraws) {
    FreeTypeFontEngine fixed(makeFixedFontLocator());
    const std::string message = sjis("あア漢字、Ａｂｃ ①ｱ\\ 123");
    auto drawn = [&](FreeTypeFontEngine& e, const FontSpec& f) {
        Canvas c(420, 40);
        e.draw(f, message, 2, 4, 0xFFFFFF, c.target());
        EXPECT_GT(c.ink(), 100) << f.face;
        EXPECT_EQ(e.measure(f, message).cx, engine().measure(f, message).cx) << f.face;
        return c.pixels;
    };
    for (const char* face : {"ＭＳ ゴシック", "ＭＳ Ｐゴシック", "ＭＳ 明朝", "ＭＳ Ｐ明朝",
                             "MS PMincho", "IPA明朝", "No Such Face 123"})
        for (const auto& [bold, italic] : {std::pair{false, false}, std::pair{true, true}}) {
            const FontSpec f{sjis(face), 24, bold, italic};
            EXPECT_EQ(fixed.resolvedFamily(f.face), engine().resolvedFamily(f.face)) << face;
            EXPECT_TRUE(drawn(fixed, f) == drawn(engine(), f)) << face << bold;
        }
    const FontSpec mincho{sjis("ＭＳ 明朝"), 24, false, false};
    const FontSpec english{"ms mincho", 24, false, false};
    EXPECT_TRUE(drawn(fixed, english) == drawn(fixed, mincho));
    EXPECT_FALSE(drawn(fixed, english) == drawn(fixed, fontSpec(24)));
    EXPECT_TRUE(fixed.hasFace(sjis("ＭＳ Ｐ明朝")));
    EXPECT_TRUE(fixed.hasFace("MS Gothic"));
    EXPECT_FALSE(fixed.hasFace("No Such Face 123"));

    // Without the files there is nothing to draw with, and measuring still answers.
    test::TempDir empty;
    FreeTypeFontEngine none(makeFixedFontLocator(empty.path()));
    EXPECT_EQ(none.resolvedFamily(mincho.face), "");
    EXPECT_TRUE(none.faces().empty());
    EXPECT_EQ(none.measure(mincho, sjis("aあ")).cx, 36);
}

TEST(FontEngineWithoutFonts, MeasuresFixedWidthsAndDrawsNothing) {
    FreeTypeFontEngine engine(false);
    FontSpec fontSpec{sjis("ＭＳ ゴシック"), 16, false, false};
    TextExtent e = engine.measure(fontSpec, sjis("aあ"));
    EXPECT_EQ(engine.measure(fontSpec, "").cx, 0);
    EXPECT_EQ(e.cx, 24);
    EXPECT_EQ(e.cy, 16);
    Canvas c(40, 20);
    engine.draw(fontSpec, "abc", 0, 0, 0, c.target());
    EXPECT_EQ(c.ink(), 0);
    EXPECT_TRUE(engine.faces().empty());
    EXPECT_FALSE(engine.hasFace(fontSpec.face));
    EXPECT_EQ(engine.resolvedFamily(fontSpec.face), "");
}

TEST(Cp932, CharactersMapToUnicode) {
    EXPECT_EQ(cp932ToUnicode(sjis("あ"), 0), U'あ');
    EXPECT_EQ(cp932ToUnicode(sjis("ソ"), 0), U'ソ');  // trail byte 0x5C
    EXPECT_EQ(cp932ToUnicode("\\", 0), U'\\');
    EXPECT_EQ(cp932ToUnicode(sjis("ｱ"), 0), U'ｱ');
    EXPECT_EQ(cp932ToUnicode(sjis("①"), 0), U'①');  // NEC extension
    EXPECT_EQ(cp932ToUnicode(sjis("a漢"), 1), U'漢');
    EXPECT_EQ(cp932ToUnicode("\x82", 0), 0u);  // lone lead byte
    EXPECT_EQ(cp932ToUnicode("a", 5), 0u);
}

}  // namespace
}  // namespace zarvo::platform

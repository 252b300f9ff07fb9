#include "base/text.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/sjis.hpp"
#include "support/temp_dir.hpp"

namespace zarvo {
namespace {

TEST(IntegerParsing, AcceptsDecimalHexSignAndLeadingSpaces) {
    EXPECT_EQ(parseInt("42", -1), 42);
    EXPECT_EQ(parseInt("  -42", -1), -42);
    EXPECT_EQ(parseInt("+7", -1), 7);
    EXPECT_EQ(parseInt("$1F", -1), 31);
    EXPECT_EQ(parseInt("x1f", -1), 31);
    EXPECT_EQ(parseInt("X10", -1), 16);
    EXPECT_EQ(parseInt("0x10", -1), 16);
    EXPECT_EQ(parseInt("0X7fffffff", -1), 2147483647);
    EXPECT_EQ(parseInt("-$10", -1), -16);
    EXPECT_EQ(parseInt("007", -1), 7);
}

TEST(IntegerParsing, RejectsWithTheCallersDefault) {
    EXPECT_EQ(parseInt("", -9), -9);
    EXPECT_EQ(parseInt("   ", -9), -9);
    EXPECT_EQ(parseInt("12 ", -9), -9);   // trailing blank
    EXPECT_EQ(parseInt("\t12", -9), -9);  // only spaces may lead
    EXPECT_EQ(parseInt("1.5", -9), -9);
    EXPECT_EQ(parseInt("-", -9), -9);
    EXPECT_EQ(parseInt("$", -9), -9);
    EXPECT_EQ(parseInt("0x", -9), -9);
    EXPECT_EQ(parseInt("12abc", -9), -9);
    EXPECT_EQ(parseInt("ABC", -9), -9);  // hex digits without a prefix
    EXPECT_EQ(parseInt("--1", -9), -9);
}

TEST(IntegerParsing, KeepsToTheSigned32BitRange) {
    EXPECT_EQ(parseInt("2147483647", -9), 2147483647);
    EXPECT_EQ(parseInt("-2147483648", -9), INT32_MIN);
    EXPECT_EQ(parseInt("2147483648", -9), -9);
    EXPECT_EQ(parseInt("-2147483649", -9), -9);
    EXPECT_EQ(parseInt("$80000000", -9), -9);
    EXPECT_EQ(parseInt("99999999999999999999999", -9), -9);
}

TEST(NameComparison, FoldsAsciiAndDoubleByteLettersButNeverTrailBytes) {
    EXPECT_TRUE(sameText("MessageDraw.Text", "messagedraw.TEXT"));
    EXPECT_FALSE(sameText("abc", "abd"));
    EXPECT_FALSE(sameText("abc", "abcd"));
    // Two-byte characters that differ only in a trail byte of "A" versus "a".
    std::string upperTrail = "\x82\x41";  // two-byte character with trail byte 'A'
    std::string lowerTrail = "\x82\x61";  // same lead byte, trail byte 'a'
    EXPECT_FALSE(sameText(upperTrail, lowerTrail));
    EXPECT_TRUE(sameText(upperTrail + "x", upperTrail + "X"));
    // A single-byte letter right after a two-byte character still folds.
    EXPECT_TRUE(sameText(test::sjis("変数a"), test::sjis("変数A")));
    // The double-byte Latin, Greek and Cyrillic letters fold as on Japanese Windows; the
    // Cyrillic rows are split around the trail byte 0x7F.
    EXPECT_TRUE(sameText(test::sjis("ＡＺ変数ａｚ"), test::sjis("ａｚ変数ＡＺ")));
    EXPECT_TRUE(sameText(test::sjis("ΑΩ"), test::sjis("αω")));
    EXPECT_TRUE(sameText(test::sjis("АЁНОЯ"), test::sjis("аёноя")));
    EXPECT_FALSE(sameText(test::sjis("Ａ"), "A"));               // width still counts
    EXPECT_FALSE(sameText(test::sjis("Н"), test::sjis("о")));    // neighbours across the split
    EXPECT_FALSE(sameText(test::sjis("ア"), test::sjis("ヂ")));  // 83 41 versus 83 61
    EXPECT_FALSE(sameText(test::sjis("Ａ"), test::sjis("ａａ")));
    // Package entry names fold ASCII letters only.
    EXPECT_TRUE(sameAsciiText("Title.PNG", "title.png"));
    EXPECT_FALSE(sameAsciiText(test::sjis("Ａ.png"), test::sjis("ａ.png")));
    EXPECT_FALSE(sameAsciiText(upperTrail, lowerTrail));
}

// The comparison walks ASCII by bytes and the rest by characters: every text of up to three
// bytes drawn from the edges of the letter, lead and trail ranges compares as the plain walk
// of folded characters does.
TEST(NameComparison, AgreesWithTheWalkOfFoldedCharacters) {
    auto walk = [](std::string_view a, std::string_view b) {
        size_t i = 0, j = 0;
        while (i < a.size() && j < b.size()) {
            size_t na, nb;
            if (foldedChar(a, i, na) != foldedChar(b, j, nb)) return false;
            i += na;
            j += nb;
        }
        return i == a.size() && j == b.size();
    };
    // 'A'/'a', 'Z'/'z', "Ａ" 82 60 / "ａ" 82 81, "А" 84 40 / "а" 84 70, and their neighbours.
    const std::string bytes = "\x40\x41\x5A\x60\x61\x70\x7A\x81\x82\x84\x9F\xE0";
    std::vector<std::string> texts{""};
    for (size_t n = 0; n < texts.size(); ++n)
        if (texts[n].size() < 3)
            for (char c : bytes) texts.push_back(texts[n] + c);
    size_t folded = 0, wrong = 0;
    for (const std::string& a : texts)
        for (const std::string& b : texts) {
            const bool expected = walk(a, b);
            if (sameText(a, b) != expected && ++wrong <= 5)
                ADD_FAILURE() << testing::PrintToString(a) << " " << testing::PrintToString(b);
            folded += expected && a != b;
        }
    EXPECT_EQ(wrong, 0u);
    EXPECT_GT(folded, 0u);
}

TEST(ShiftJis, LeadBytesAndConversionAtTheEdges) {
    EXPECT_TRUE(isLeadByte(0x81));
    EXPECT_TRUE(isLeadByte(0x9F));
    EXPECT_TRUE(isLeadByte(0xE0));
    EXPECT_TRUE(isLeadByte(0xFC));
    EXPECT_FALSE(isLeadByte(0x80));
    EXPECT_FALSE(isLeadByte(0xA0));  // half-width katakana are single bytes
    EXPECT_FALSE(isLeadByte(0xDF));
    EXPECT_FALSE(isLeadByte('\\'));

    std::string so = test::sjis("ソ");
    ASSERT_EQ(so, "\x83\x5C");  // trail byte is the backslash
    EXPECT_EQ(sjisToUtf8(so), "ソ");
    EXPECT_EQ(sjisToUtf8("\\"), "\\");            // code page 932 keeps 0x5C as backslash
    EXPECT_EQ(sjisToUtf8(test::sjis("①")), "①");  // NEC extension
    // A cut-off lead byte does not stop the conversion.
    EXPECT_EQ(sjisToUtf8("a\x83"), "a\xEF\xBF\xBD");
    std::string out = "kept";
    EXPECT_FALSE(utf8ToSjis("한", out));
    EXPECT_EQ(out, "kept");
}

TEST(Blanks, TrimRemovesEveryControlAndSpace) {
    EXPECT_EQ(trimBlanks(" \t\x01@if\r "), "@if");
    EXPECT_EQ(trimBlanks("   "), "");
    EXPECT_EQ(trimBlanks(test::sjis("　全角")), test::sjis("　全角"));  // ideographic space stays
}

}  // namespace
}  // namespace zarvo

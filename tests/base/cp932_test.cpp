// The engine's code page 932 converter against glibc's CP932, which the desktop build used to
// call: every code, every code point and the malformed inputs must come out the same. Built
// only where iconv has CP932.
#include "base/cp932.hpp"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "base/sjis.hpp"

namespace zarvo {
namespace {

class Iconv {
  public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (ok()) iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // The whole input converted in one go, or nothing when any of it fails.
    std::optional<std::string> convert(std::string_view in) {
        std::string out;
        return step(in, out) == Step::Done ? std::optional(out) : std::nullopt;
    }

    // The conversion sjisToUtf8 was built on: a character iconv rejects (a lead byte with the
    // byte after it) becomes U+FFFD and the conversion goes on.
    std::string convertReplacing(std::string_view in) {
        std::string out;
        while (step(in, out) != Step::Done) {
            size_t skip = isLeadByte(static_cast<unsigned char>(in[0])) && in.size() >= 2 ? 2 : 1;
            in.remove_prefix(skip);
            out += "\xEF\xBF\xBD";
        }
        return out;
    }

  private:
    enum class Step { Done, Failed };
    // Converts as far as it can, appending to out and leaving `in` at the failing byte.
    Step step(std::string_view& in, std::string& out) {
        std::string buffer(in);
        char* src = buffer.data();
        size_t left = buffer.size();
        char chunk[64];
        Step result = Step::Done;
        while (left > 0) {
            char* dst = chunk;
            size_t room = sizeof chunk;
            size_t r = iconv(cd_, &src, &left, &dst, &room);
            out.append(chunk, sizeof chunk - room);
            if (r == static_cast<size_t>(-1) && errno != E2BIG) {
                result = Step::Failed;
                break;
            }
        }
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        in.remove_prefix(buffer.size() - left);
        return result;
    }
    iconv_t cd_;
};

std::string utf8Of(char32_t u) {
    char32_t one[1] = {u};
    static Iconv toUtf8("UTF-8", "UTF-32LE");
    return *toUtf8.convert(std::string_view(reinterpret_cast<const char*>(one), 4));
}

std::string bytesOf(uint32_t code) {
    if (code < 0x100) return std::string(1, static_cast<char>(code));
    return {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

TEST(Cp932, EveryCodeDecodesAsGlibcDoes) {
    Iconv toUtf32("UTF-32LE", "CP932"), toUtf8("UTF-8", "CP932");
    ASSERT_TRUE(toUtf32.ok() && toUtf8.ok());
    int mapped[3] = {}, failures = 0;
    // Every single byte, then every pair of bytes.
    for (size_t length : {1, 2}) {
        for (uint32_t v = 0; v < (length == 1 ? 0x100u : 0x10000u); ++v) {
            std::string in =
                length == 1 ? bytesOf(v)
                            : std::string{static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)};
            // A code is one character made of all its bytes ("\0" and a byte are two).
            char32_t expected = kNoCodePoint;
            if (auto out = toUtf32.convert(in); out && out->size() == 4)
                expected = static_cast<unsigned char>((*out)[0]) |
                           static_cast<unsigned char>((*out)[1]) << 8;
            bool isCode = length == 1 || v >= 0x100;
            mapped[length] += isCode && expected != kNoCodePoint;
            std::string utf8 = toUtf8.convertReplacing(in);
            bool same = (!isCode || cp932CodePoint(v) == expected) && sjisToUtf8(in) == utf8;
            if (!same && ++failures <= 10)
                ADD_FAILURE() << "bytes " << std::hex << v << ": " << uint32_t{cp932CodePoint(v)}
                              << " vs " << uint32_t{expected} << ", \"" << sjisToUtf8(in)
                              << "\" vs \"" << utf8 << "\"";
        }
    }
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(cp932CodePoint(0x10000), kNoCodePoint);
    std::printf(
        "compared 256 single bytes and 65536 byte pairs: %d single-byte and %d two-byte "
        "codes mapped\n",
        mapped[1], mapped[2]);
}

TEST(Cp932, EveryCodePointEncodesAsGlibcDoes) {
    Iconv fromUtf32("CP932", "UTF-32LE"), fromUtf8("CP932", "UTF-8"), back("UTF-32LE", "CP932");
    ASSERT_TRUE(fromUtf32.ok() && fromUtf8.ok() && back.ok());
    // How many codes decode to each code point, to count the code points with several.
    std::map<char32_t, int> codesOf;
    for (uint32_t code = 0; code < 0x10000; ++code)
        if (code >= 0x100 || cp932CodePoint(code) != kNoCodePoint) ++codesOf[cp932CodePoint(code)];
    int encoded = 0, several = 0, oneWay = 0, failures = 0;
    for (char32_t u = 0; u < 0x110000; ++u) {
        if (u >= 0xD800 && u <= 0xDFFF) continue;
        char32_t one[1] = {u};
        auto expected = fromUtf32.convert(std::string_view(reinterpret_cast<char*>(one), 4));
        uint16_t code = cp932Code(u);
        std::string ours = code == kNoCp932Code ? std::string() : bytesOf(code);
        std::string viaUtf8 = "kept";
        bool ok = utf8ToSjis(utf8Of(u), viaUtf8);
        bool same = expected ? (isLanguageTag(u) ? expected->empty() && code == kNoCp932Code
                                                 : *expected == ours) &&
                                   ok && viaUtf8 == *expected
                             : code == kNoCp932Code && !ok && viaUtf8 == "kept";
        if (!same && ++failures <= 10)
            ADD_FAILURE() << "U+" << std::hex << static_cast<uint32_t>(u) << ": code " << code;
        if (code == kNoCp932Code) continue;
        ++encoded;
        several += codesOf[u] > 1;
        oneWay += cp932CodePoint(code) != u;
    }
    EXPECT_EQ(failures, 0);
    std::printf(
        "compared %d code points: %d have a code, %d of them several, %d written as a "
        "look-alike\n",
        0x110000 - 0x800, encoded, several, oneWay);
}

// Malformed UTF-8 (overlong forms, surrogates, cut-off and stray bytes) fails as in glibc, and
// no disguised form of a character gets through.
TEST(Cp932, MalformedUtf8FailsAsGlibcDoes) {
    Iconv fromUtf8("CP932", "UTF-8");
    ASSERT_TRUE(fromUtf8.ok());
    int failures = 0;
    auto check = [&](const std::string& in) {
        auto expected = fromUtf8.convert(in);
        std::string out = "kept";
        bool ok = utf8ToSjis(in, out);
        if ((expected ? ok && out == *expected : !ok && out == "kept") || ++failures > 10) return;
        ADD_FAILURE() << "input of " << in.size() << " bytes starting " << std::hex
                      << +static_cast<unsigned char>(in[0]);
    };
    for (unsigned a = 0; a < 0x100; ++a) {
        for (unsigned b = 0; b < 0x100; ++b) {
            std::string s{static_cast<char>(a), static_cast<char>(b)};
            check(s);
            if (a < 0xE0 || a > 0xF4) continue;
            for (unsigned c : {0x41u, 0x80u, 0x8Fu, 0x90u, 0xBFu, 0xC0u}) {
                check(s + static_cast<char>(c));
                for (unsigned d : {0x41u, 0x80u, 0x81u, 0xBFu})
                    check(s + static_cast<char>(c) + static_cast<char>(d));
            }
        }
    }
    EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace zarvo

#include "base/sjis.hpp"

#include "base/cp932.hpp"

namespace zarvo {
namespace {

void appendUtf8(std::string& out, char32_t u) {
    if (u < 0x80) {
        out += static_cast<char>(u);
    } else if (u < 0x800) {
        out += static_cast<char>(0xC0 | u >> 6);
        out += static_cast<char>(0x80 | (u & 0x3F));
    } else if (u < 0x10000) {
        out += static_cast<char>(0xE0 | u >> 12);
        out += static_cast<char>(0x80 | (u >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | u >> 18);
        out += static_cast<char>(0x80 | (u >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (u >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (u & 0x3F));
    }
}

// Code point of the UTF-8 sequence at s[i], advancing i past it; kNoCodePoint for anything but
// the shortest form of a scalar value (overlong forms, surrogates, cut-off sequences), so no
// disguised byte ever slips through.
char32_t nextUtf8(std::string_view s, size_t& i) {
    auto b0 = static_cast<unsigned char>(s[i++]);
    if (b0 < 0x80) return b0;
    size_t more;
    char32_t u, min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        more = 1, u = b0 & 0x1F, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        more = 2, u = b0 & 0x0F, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        more = 3, u = b0 & 0x07, min = 0x10000;
    } else {
        return kNoCodePoint;
    }
    if (s.size() - i < more) return kNoCodePoint;
    for (size_t k = 0; k < more; ++k) {
        auto b = static_cast<unsigned char>(s[i++]);
        if ((b & 0xC0) != 0x80) return kNoCodePoint;
        u = u << 6 | (b & 0x3F);
    }
    if (u < min || u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF)) return kNoCodePoint;
    return u;
}

}  // namespace

std::string sjisToUtf8(std::string_view sjis) {
    std::string out;
    out.reserve(sjis.size() + sjis.size() / 2);
    for (size_t i = 0; i < sjis.size();) {
        auto b = static_cast<unsigned char>(sjis[i]);
        if (b < 0x80) {
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        // A lead byte takes the next byte with it even when the pair has no character, so one
        // bad character never turns its trail byte into a stray ASCII character.
        size_t length = charLength(sjis, i);
        uint32_t code = length == 2 ? b << 8 | static_cast<unsigned char>(sjis[i + 1]) : b;
        char32_t u = cp932CodePoint(code);
        appendUtf8(out, u == kNoCodePoint ? U'\uFFFD' : u);
        i += length;
    }
    return out;
}

bool utf8ToSjis(std::string_view utf8, std::string& out) {
    std::string result;
    result.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            result += static_cast<char>(b);
            ++i;
            continue;
        }
        char32_t u = nextUtf8(utf8, i);
        if (isLanguageTag(u)) continue;
        uint16_t code = u == kNoCodePoint ? kNoCp932Code : cp932Code(u);
        if (code == kNoCp932Code) return false;
        if (code > 0xFF) result += static_cast<char>(code >> 8);
        result += static_cast<char>(code & 0xFF);
    }
    out = std::move(result);
    return true;
}

}  // namespace zarvo

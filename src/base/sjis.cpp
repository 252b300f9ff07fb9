#include "base/sjis.hpp"

#include "base/cp932.hpp"

namespace zarvo {
namespace {

// Writes a BMP code point as UTF-8 at o; returns the end.
char* putUtf8(char* o, char32_t u) {
    if (u < 0x80) {
        *o++ = static_cast<char>(u);
    } else if (u < 0x800) {
        *o++ = static_cast<char>(0xC0 | u >> 6);
        *o++ = static_cast<char>(0x80 | (u & 0x3F));
    } else {
        *o++ = static_cast<char>(0xE0 | u >> 12);
        *o++ = static_cast<char>(0x80 | (u >> 6 & 0x3F));
        *o++ = static_cast<char>(0x80 | (u & 0x3F));
    }
    return o;
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
    // Plain ASCII is the common case (keywords, names) and stays as it is.
    bool ascii = true;
    for (unsigned char c : sjis) ascii = ascii && c < 0x80;
    if (ascii) return std::string(sjis);
    // Every byte gives at most three: a single byte decodes to at most U+FFFF (U+FFFD or a
    // half-width kana), a pair to at most U+FFFF too.
    std::string out(sjis.size() * 3, '\0');
    char* o = out.data();
    const auto* p = reinterpret_cast<const unsigned char*>(sjis.data());
    const auto* end = p + sjis.size();
    while (p < end) {
        unsigned b = *p;
        if (b < 0x80) {
            *o++ = static_cast<char>(b);
            ++p;
            continue;
        }
        // A lead byte takes the next byte with it even when the pair has no character (as in
        // charLength), so one bad character never turns its trail byte into a stray ASCII one.
        uint16_t u;
        if (unsigned row = cp932_tables::kRowOf[b]; row != 0 && end - p >= 2) {
            u = cp932_tables::kDouble[row * 256 + p[1]];
            p += 2;
        } else {
            u = cp932_tables::kSingle[b];
            ++p;
        }
        o = putUtf8(o, u == cp932_tables::kNone ? U'\uFFFD' : u);
    }
    out.resize(static_cast<size_t>(o - out.data()));
    return out;
}

bool utf8ToSjis(std::string_view utf8, std::string& out) {
    // No character takes more bytes in code page 932 than in UTF-8.
    std::string result(utf8.size(), '\0');
    char* o = result.data();
    const auto* begin = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto* end = begin + utf8.size();
    for (const auto* p = begin; p < end;) {
        unsigned b = *p;
        if (b < 0x80) {
            *o++ = static_cast<char>(b);
            ++p;
            continue;
        }
        char32_t u;
        if (b >= 0xE1 && b <= 0xEF && b != 0xED && end - p >= 3 && (p[1] & 0xC0) == 0x80 &&
            (p[2] & 0xC0) == 0x80) {
            // The common case, kana, kanji and full-width forms: three bytes, with these lead
            // bytes never an overlong form or a surrogate.
            u = (b & 0x0F) << 12 | (p[1] & 0x3F) << 6 | (p[2] & 0x3F);
            p += 3;
        } else {
            size_t i = static_cast<size_t>(p - begin);
            u = nextUtf8(utf8, i);
            p = begin + i;
            if (isLanguageTag(u)) continue;
        }
        uint16_t code = cp932Code(u);  // kNoCp932Code for kNoCodePoint too
        if (code == kNoCp932Code) return false;
        if (code > 0xFF) *o++ = static_cast<char>(code >> 8);
        *o++ = static_cast<char>(code & 0xFF);
    }
    result.resize(static_cast<size_t>(o - result.data()));
    out = std::move(result);
    return true;
}

}  // namespace zarvo

#include "base/text.hpp"

#include "base/sjis.hpp"

namespace zarvo {

namespace {
unsigned char asciiLower(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c;
}
}  // namespace

uint32_t foldedChar(std::string_view s, size_t i, size_t& length) {
    const auto lead = static_cast<unsigned char>(s[i]);
    length = charLength(s, i);
    if (length == 1) return lead >= 'A' && lead <= 'Z' ? lead + 32u : lead;
    const auto trail = static_cast<unsigned char>(s[i + 1]);
    uint32_t code = uint32_t{lead} << 8 | trail;
    // Upper-case rows of code page 932 and the distance to their lower-case letters. Cyrillic
    // lower case skips the trail byte 0x7F, so its upper case comes in two runs.
    if (code >= 0x8260 && code <= 0x8279) return code + 0x21;  // Ａ-Ｚ
    if (code >= 0x839F && code <= 0x83B6) return code + 0x20;  // Α-Ω
    if (code >= 0x8440 && code <= 0x844E) return code + 0x30;  // А-Н
    if (code >= 0x844F && code <= 0x8460) return code + 0x31;  // О-Я
    return code;
}

bool sameText(std::string_view a, std::string_view b) {
    // Folding keeps every character's byte length (codes below 256 are one byte, the others
    // two), so texts of different lengths never match and both stay at the same offset. Names
    // are looked up for every parameter a command reads: most candidates end here.
    if (a.size() != b.size()) return false;
    if (a == b) return true;  // names are mostly written as the commands spell them
    for (size_t i = 0; i < a.size();) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if (ca < 0x80 && cb < 0x80) {  // two ASCII characters
            if (ca != cb && asciiLower(ca) != asciiLower(cb)) return false;
            ++i;
            continue;
        }
        size_t na, nb;
        if (foldedChar(a, i, na) != foldedChar(b, i, nb)) return false;
        i += na;
    }
    return true;
}

bool sameAsciiText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size();) {
        size_t n = charLength(a, i);
        if (n == 2) {
            if (a.compare(i, 2, b.substr(i, 2)) != 0) return false;
        } else {
            auto ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[i]);
            if (ca >= 'a' && ca <= 'z') ca -= 32;
            if (cb >= 'a' && cb <= 'z') cb -= 32;
            if (ca != cb) return false;
        }
        i += n;
    }
    return true;
}

std::string_view trimBlanks(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
    return s.substr(b, e - b);
}

bool tryParseInt(std::string_view s, int32_t& value) {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    int base = 10;
    if (i < s.size() && (s[i] == '$' || s[i] == 'x' || s[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == s.size()) return false;
    // Accumulate in 64 bits and stop as soon as the magnitude leaves the 32-bit range.
    int64_t magnitude = 0;
    const int64_t limit = negative ? 2147483648LL : 2147483647LL;
    for (; i < s.size(); ++i) {
        char c = s[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        magnitude = magnitude * base + digit;
        if (magnitude > limit) return false;
    }
    value = static_cast<int32_t>(negative ? -magnitude : magnitude);
    return true;
}

}  // namespace zarvo

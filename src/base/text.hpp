// Byte-string helpers shared by every part of the player: the case-insensitive name comparison,
// blank trimming and the one integer parsing rule.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace zarvo {

// Case-insensitive comparison of parameter, variable, frame and list names, as Japanese Windows
// compares them: ASCII letters fold, and so do the double-byte Latin, Greek and Cyrillic
// letters of code page 932. Text is walked by characters, so a trail byte that happens to be an
// ASCII letter never folds.
bool sameText(std::string_view a, std::string_view b);

// The same comparison with only single-byte ASCII letters folded (package entry names).
// Two-byte characters compare exactly.
bool sameAsciiText(std::string_view a, std::string_view b);

// The character starting at s[i] in its lower-case form, as one code: a single byte, or lead
// byte * 256 + trail byte. `length` receives its byte length (1, or 2 for a whole two-byte
// character).
uint32_t foldedChar(std::string_view s, size_t i, size_t& length);

// Removes leading and trailing blanks: every byte with a code of 32 or less.
std::string_view trimBlanks(std::string_view s);

// Integer parsing used wherever a text becomes a number: optional leading spaces, an optional
// sign, then decimal digits or hexadecimal digits after "$", "x", "X", "0x" or "0X". The whole
// text must be consumed and the value must fit in signed 32 bits; otherwise the default.
bool tryParseInt(std::string_view s, int32_t& value);
inline int32_t parseInt(std::string_view s, int32_t fallback) {
    int32_t v;
    return tryParseInt(s, v) ? v : fallback;
}

inline std::string intToStr(int64_t v) {
    return std::to_string(v);
}
inline std::string_view boolToText(bool b) {
    return b ? "1" : "0";
}

}  // namespace zarvo

// The engine's code page 932 converter: every code maps exactly as the desktop's own converter
// (glibc's CP932) maps it, from tables generated from that converter at build time, so every
// platform converts alike without iconv.
#pragma once
#include <cstdint>

namespace zarvo {

inline constexpr char32_t kNoCodePoint = 0xFFFFFFFF;
inline constexpr uint16_t kNoCp932Code = 0xFFFF;

// Code point of a code page 932 code: a single byte (below 0x100) or lead << 8 | trail.
// kNoCodePoint for unassigned codes, lone lead bytes and anything above 0xFFFF.
char32_t cp932CodePoint(uint32_t code);

// Code page 932 code of a code point, in the same form; kNoCp932Code when it has none. Where
// several codes decode to the code point, this is the one the desktop's converter writes
// (e.g. U+2170 gives 0xFA40, not 0xEEEF); a few code points are written as a look-alike
// (U+00A5 as 0x5C, U+2014 as 0x815C) that decodes to another code point.
uint16_t cp932Code(char32_t codePoint);

// Language tags (U+E0000..U+E007F) are invisible and have no code; converting text to code
// page 932 drops them, as the desktop's converter does, rather than failing.
inline bool isLanguageTag(char32_t codePoint) {
    return codePoint >= 0xE0000 && codePoint <= 0xE007F;
}

}  // namespace zarvo

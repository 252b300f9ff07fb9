// Shift_JIS (code page 932) helpers. Script text stays as raw bytes; these are the edges where it
// is walked character by character or converted for the desktop.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace zarvo {

// Lead byte of a two-byte character in code page 932.
inline bool isLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Byte length of the character starting at s[i]: 2 for a lead byte with a byte after it, else 1.
inline size_t charLength(std::string_view s, size_t i) {
    return isLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
}

// Code page 932 to UTF-8. A character with no mapping (a lead byte takes the byte after it, as
// in charLength) becomes one U+FFFD, so the result is always usable in traces and dialogs.
std::string sjisToUtf8(std::string_view sjis);

// UTF-8 to code page 932; false (and out unchanged) when a character has no code page 932 form
// or the UTF-8 is malformed. Language tags are dropped (see isLanguageTag).
bool utf8ToSjis(std::string_view utf8, std::string& out);

}  // namespace zarvo

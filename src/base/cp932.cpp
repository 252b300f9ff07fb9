#include "base/cp932.hpp"

#include "zarvo/cp932_tables.hpp"

namespace zarvo {

char32_t cp932CodePoint(uint32_t code) {
    using namespace cp932_tables;
    uint16_t u = kNone;
    if (code < 0x100) {
        u = kSingle[code];
    } else if (code <= 0xFFFF) {
        unsigned lead = code >> 8, trail = code & 0xFF;
        // Rows of lead bytes 0x81..0x9F then 0xE0..0xFC, trail bytes 0x40..0xFC.
        unsigned row = lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + 31;
        bool isPair = ((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC)) &&
                      trail >= 0x40 && trail <= 0xFC;
        if (isPair) u = kDouble[row * 189 + (trail - 0x40)];
    }
    return u == kNone ? kNoCodePoint : u;
}

uint16_t cp932Code(char32_t codePoint) {
    using namespace cp932_tables;
    if (codePoint > 0xFFFF) return kNoCp932Code;
    static_assert(kNone == kNoCp932Code);
    return kPages[kPageOf[codePoint >> 8]][codePoint & 0xFF];
}

}  // namespace zarvo

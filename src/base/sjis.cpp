#include "base/sjis.hpp"

#include <errno.h>
#include <iconv.h>

namespace zarvo {
namespace {

// One conversion; returns false on any unconvertible input. On failure with skipBad, the bad
// character is replaced and conversion continues.
bool convert(const char* to, const char* from, std::string_view in, std::string& out,
             bool replaceBad) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::string result;
    std::string buffer(in);
    char* src = buffer.data();
    size_t srcLeft = buffer.size();
    char chunk[1024];
    bool ok = true;
    while (srcLeft > 0) {
        char* dst = chunk;
        size_t dstLeft = sizeof chunk;
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        result.append(chunk, sizeof chunk - dstLeft);
        if (r != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        if (!replaceBad) {
            ok = false;
            break;
        }
        // EILSEQ or EINVAL: skip the offending character (both bytes of a lead-byte pair).
        size_t skip = isLeadByte(static_cast<unsigned char>(*src)) && srcLeft >= 2 ? 2 : 1;
        src += skip;
        srcLeft -= skip;
        result += "\xEF\xBF\xBD";
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    if (ok) out = std::move(result);
    return ok;
}

}  // namespace

std::string sjisToUtf8(std::string_view sjis) {
    // Plain ASCII is the common case (keywords, names); skip iconv for it.
    bool ascii = true;
    for (unsigned char c : sjis) ascii = ascii && c < 0x80;
    if (ascii) return std::string(sjis);
    std::string out;
    convert("UTF-8", "CP932", sjis, out, true);
    return out;
}

bool utf8ToSjis(std::string_view utf8, std::string& out) {
    return convert("CP932", "UTF-8", utf8, out, false);
}

}  // namespace zarvo

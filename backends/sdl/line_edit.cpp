#include "backends/sdl/line_edit.hpp"

#include <cstdint>

#include "base/sjis.hpp"

namespace zarvo::platform {
namespace {

bool isContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Length a UTF-8 lead byte announces (1 for a stray byte, so walking always advances).
size_t sequenceLength(unsigned char c) {
    if (c >= 0xF0 && c <= 0xF4) return 4;
    if (c >= 0xE0) return c <= 0xEF ? 3 : 1;
    if (c >= 0xC2) return 2;
    return 1;
}

}  // namespace

size_t previousCharStart(std::string_view s, size_t pos) {
    if (pos > s.size()) pos = s.size();
    if (pos == 0) return 0;
    size_t p = pos - 1;
    // At most three continuation bytes belong to one character.
    for (int n = 0; n < 3 && p > 0 && isContinuation(static_cast<unsigned char>(s[p])); ++n) --p;
    if (nextCharEnd(s, p) != pos) return pos - 1;  // a broken sequence: step one byte
    return p;
}

size_t nextCharEnd(std::string_view s, size_t pos) {
    if (pos >= s.size()) return s.size();
    size_t len = sequenceLength(static_cast<unsigned char>(s[pos]));
    if (pos + len > s.size()) return pos + 1;
    for (size_t i = 1; i < len; ++i)
        if (!isContinuation(static_cast<unsigned char>(s[pos + i]))) return pos + 1;
    return pos + len;
}

LineEdit::LineEdit(std::string utf8) : text_(std::move(utf8)), caret_(text_.size()) {}

void LineEdit::insert(std::string_view utf8) {
    std::string clean;
    for (size_t i = 0; i < utf8.size();) {
        size_t next = nextCharEnd(utf8, i);
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (!(next == i + 1 && (c < 0x20 || c == 0x7F))) clean.append(utf8.substr(i, next - i));
        i = next;
    }
    // Only whole characters fit below the limit.
    size_t room = text_.size() < kMaxBytes ? kMaxBytes - text_.size() : 0;
    if (clean.size() > room) {
        size_t cut = 0;
        while (cut < clean.size() && nextCharEnd(clean, cut) <= room) cut = nextCharEnd(clean, cut);
        clean.resize(cut);
    }
    if (clean.empty()) return;
    text_.insert(caret_, clean);
    caret_ += clean.size();
    edited_ = true;
}

void LineEdit::backspace() {
    if (caret_ == 0) return;
    size_t start = previousCharStart(text_, caret_);
    text_.erase(start, caret_ - start);
    caret_ = start;
    edited_ = true;
}

void LineEdit::deleteForward() {
    if (caret_ >= text_.size()) return;
    text_.erase(caret_, nextCharEnd(text_, caret_) - caret_);
    edited_ = true;
}

InputConversion convertInput(std::string_view utf8) {
    InputConversion r;
    if (utf8ToSjis(utf8, r.sjis)) {
        r.ok = true;
        return r;
    }
    r.sjis.clear();
    std::string one;
    for (size_t i = 0; i < utf8.size();) {
        size_t next = nextCharEnd(utf8, i);
        if (!utf8ToSjis(utf8.substr(i, next - i), one)) {
            r.badChar = std::string(utf8.substr(i, next - i));
            return r;
        }
        i = next;
    }
    // Every character converts alone but not together: cannot happen with a stateless code page;
    // still refuse rather than guess.
    return r;
}

std::string characterName(std::string_view c) {
    static const char hex[] = "0123456789ABCDEF";
    auto hexOf = [&](uint32_t v, int minDigits) {
        std::string h;
        while (v != 0 || static_cast<int>(h.size()) < minDigits) {
            h.insert(h.begin(), hex[v & 15]);
            v >>= 4;
        }
        return h;
    };
    if (c.empty()) return {};
    size_t len = nextCharEnd(c, 0);
    auto b0 = static_cast<unsigned char>(c[0]);
    if (len == 1 && b0 >= 0x80) return "0x" + hexOf(b0, 2);
    uint32_t cp = len == 1 ? b0 : len == 2 ? (b0 & 0x1F) : len == 3 ? (b0 & 0x0F) : (b0 & 0x07);
    for (size_t i = 1; i < len; ++i) cp = (cp << 6) | (static_cast<unsigned char>(c[i]) & 0x3F);
    return "U+" + hexOf(cp, 4);
}

std::string displaySjis(std::string_view utf8) {
    std::string out;
    if (utf8ToSjis(utf8, out)) return out;
    out.clear();
    std::string one;
    for (size_t i = 0; i < utf8.size();) {
        size_t next = nextCharEnd(utf8, i);
        out += utf8ToSjis(utf8.substr(i, next - i), one) ? one : std::string("?");
        i = next;
    }
    return out;
}

}  // namespace zarvo::platform

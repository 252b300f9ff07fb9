// Message text layout: the measuring and drawing passes, the inline tags and the reveal steps.
#include "graphics/text_layout.hpp"

#include <algorithm>
#include <cstdio>

#include "base/sjis.hpp"
#include "base/text.hpp"
#include "graphics/surface.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {
namespace {

// Sizes are kept within what can be drawn and written back as tags; pixel heights beyond this
// only cost memory.
constexpr int32_t kMaxFontSize = 999;
constexpr int32_t kMaxPixelHeight = 1000;

struct NamedColor {
    std::string_view name;
    uint32_t value;  // 0x00BBGGRR
};

// The basic colours, then the desktop colours with the values of a default Windows desktop
// (there is no desktop scheme to ask), then "no colour".
constexpr NamedColor kColors[] = {
    {"clBlack", 0x000000},         {"clMaroon", 0x000080},
    {"clGreen", 0x008000},         {"clOlive", 0x008080},
    {"clNavy", 0x800000},          {"clPurple", 0x800080},
    {"clTeal", 0x808000},          {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},        {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},          {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},          {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},          {"clWhite", 0xFFFFFF},
    {"clScrollBar", 0xC8C8C8},     {"clBackground", 0x000000},
    {"clActiveCaption", 0xD1B499}, {"clInactiveCaption", 0xDBCDBF},
    {"clMenu", 0xF0F0F0},          {"clWindow", 0xFFFFFF},
    {"clWindowFrame", 0x646464},   {"clMenuText", 0x000000},
    {"clWindowText", 0x000000},    {"clCaptionText", 0x000000},
    {"clActiveBorder", 0xB4B4B4},  {"clInactiveBorder", 0xFCF7F4},
    {"clAppWorkSpace", 0xABABAB},  {"clHighlight", 0xFF9933},
    {"clHighlightText", 0xFFFFFF}, {"clBtnFace", 0xF0F0F0},
    {"clBtnShadow", 0xA0A0A0},     {"clGrayText", 0x6D6D6D},
    {"clBtnText", 0x000000},       {"clInactiveCaptionText", 0x544E43},
    {"clBtnHighlight", 0xFFFFFF},  {"cl3DDkShadow", 0x696969},
    {"cl3DLight", 0xE3E3E3},       {"clInfoText", 0x000000},
    {"clInfoBk", 0xE1FFFF},        {"clNone", 0x1FFFFFFF},
};

// Points at a resolution -> the character height in pixels, |size * dpi div 72|.
int64_t heightOf(const FontStatus& f) {
    int64_t h = static_cast<int64_t>(f.size) * f.dpi / 72;
    return h < 0 ? -h : h;
}

// The pixel height of the layout font. A height of 0 ("<*0>", or a size tag whose digits read
// as 0) asks for the default size, as on Windows: the surface's own text size, else 10 points.
int pixelHeightOf(const FontStatus& f, const FontStatus& defaults) {
    int64_t h = heightOf(f);
    if (h == 0) h = heightOf(defaults);
    if (h == 0) h = heightOf(FontStatus{});
    return static_cast<int>(std::clamp<int64_t>(h, 1, kMaxPixelHeight));
}

platform::FontSpec specOf(const FontStatus& f, const FontStatus& defaults) {
    platform::FontSpec fontSpec;
    fontSpec.face = f.name;
    fontSpec.pixelHeight = pixelHeightOf(f, defaults);
    fontSpec.bold = f.bold;
    fontSpec.italic = f.italic;
    return fontSpec;
}

// The tag number: the (at most two) characters after the first, 0 when they are no integer.
int32_t tagNumber(std::string_view tag) {
    return parseInt(tag.substr(1, 2), 0);
}

// "<*n>" tags for a size; a tag carries only two digits, so larger sizes are reached in steps.
std::string sizeTags(int32_t size) {
    if (size >= 0 && size <= 99) return "<*" + std::to_string(size) + ">";
    std::string tags = "<*0>";
    char sign = size > 0 ? '+' : '-';
    int32_t rest = size > 0 ? size : -size;
    while (rest > 0) {
        int32_t step = std::min<int32_t>(rest, 99);
        tags += '<';
        tags += sign;
        tags += std::to_string(step);
        tags += '>';
        rest -= step;
    }
    return tags;
}

// Japanese line breaking: characters that never begin a line and those that never end one, as
// code page 932 characters.
std::vector<std::string> sjisCharacters(std::string_view utf8) {
    std::string sjis;
    utf8ToSjis(utf8, sjis);
    std::vector<std::string> out;
    for (size_t i = 0; i < sjis.size(); i += charLength(sjis, i))
        out.push_back(sjis.substr(i, charLength(sjis, i)));
    return out;
}

bool isOneOf(std::string_view c, const std::vector<std::string>& set) {
    return std::find(set.begin(), set.end(), c) != set.end();
}

bool neverBeginsLine(std::string_view c) {
    static const std::vector<std::string> kClosing = sjisCharacters(
        "、。，．・：；？！ー」』）】〉》〕］｝ぁぃぅぇぉっゃゅょゎァィゥェォッャュョヮヵヶ");
    return c.size() == 2 && isOneOf(c, kClosing);
}

bool neverEndsLine(std::string_view c) {
    static const std::vector<std::string> kOpening = sjisCharacters("「『（【〈《〔［｛");
    return c.size() == 2 && isOneOf(c, kOpening);
}

}  // namespace

bool colorFromText(std::string_view text, uint32_t& color) {
    for (const auto& c : kColors) {
        if (sameText(text, c.name)) {
            color = c.value;
            return true;
        }
    }
    // "0x" / "$" hexadecimal takes all 32 bits, so every colour written by colorToText reads back.
    std::string_view digits;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        digits = text.substr(2);
    else if (text.size() > 1 && text[0] == '$')
        digits = text.substr(1);
    if (!digits.empty()) {
        if (digits.size() > 8) return false;
        uint32_t v = 0;
        for (char ch : digits) {
            int d;
            if (ch >= '0' && ch <= '9')
                d = ch - '0';
            else if (ch >= 'a' && ch <= 'f')
                d = ch - 'a' + 10;
            else if (ch >= 'A' && ch <= 'F')
                d = ch - 'A' + 10;
            else
                return false;
            v = v << 4 | static_cast<uint32_t>(d);
        }
        color = v;
        return true;
    }
    int32_t v;
    if (!tryParseInt(text, v)) return false;
    color = static_cast<uint32_t>(v);
    return true;
}

std::string colorToText(uint32_t color) {
    for (const auto& c : kColors)
        if (c.value == color) return std::string(c.name);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08x", color);
    return buffer;
}

platform::TextExtent FixedWidthFontEngine::measure(const platform::FontSpec& font,
                                                   std::string_view text) {
    return {text.size() > 1 ? font.pixelHeight : font.pixelHeight / 2, font.pixelHeight};
}

TextLayout::TextLayout() {
    font.name = std::string(texts::kDefaultSystemFont);
}

void TextLayout::resetReveal() {
    step_ = RevealStep{};
    step_.stepSpeed = 60;
    reveal_.clear();
    revealPos_ = 0;
    recordEnd_ = 0;
}

TextLayout::State TextLayout::state() const {
    State s;
    s.font = cur_;
    s.reveal.reserve(reveal_.size());
    for (const RevealEntry& e : reveal_)
        s.reveal.push_back({static_cast<int32_t>(e.op), e.value, static_cast<int32_t>(e.textEnd)});
    s.lineStarts = lineStarts_;
    s.revealPos = revealPos_;
    s.recordEnd = recordEnd_;
    s.pageEnd = pageEnd_;
    s.step = step_;
    s.lineStuck = lineStuck_;
    s.colorNumeric = curColorNumeric_;
    return s;
}

bool TextLayout::fits(const State& s) const {
    auto known = [](int32_t op) {
        return op >= static_cast<int32_t>(RevealOp::End) &&
               op <= static_cast<int32_t>(RevealOp::NextPage) && op != 6;
    };
    if (s.reveal.size() > kRevealCapacity || s.revealPos > s.reveal.size() ||
        s.recordEnd > layoutText.size() || s.pageEnd > layoutText.size() ||
        !known(static_cast<int32_t>(s.step.op)) || s.lineStarts.size() > kMaxLines + 1)
        return false;
    for (const auto& [op, value, end] : s.reveal)
        if (!known(op) || end < 0 || static_cast<size_t>(end) > layoutText.size()) return false;
    for (size_t start : s.lineStarts)
        if (start > layoutText.size()) return false;
    return true;
}

void TextLayout::setState(const State& s) {
    cur_ = s.font;
    reveal_.clear();
    for (const auto& [op, value, end] : s.reveal)
        reveal_.push_back({static_cast<RevealOp>(op), value, static_cast<uint32_t>(end)});
    lineStarts_ = s.lineStarts;
    revealPos_ = s.revealPos;
    recordEnd_ = s.recordEnd;
    pageEnd_ = s.pageEnd;
    step_ = s.step;
    lineStuck_ = s.lineStuck;
    curColorNumeric_ = s.colorNumeric;
}

size_t TextLayout::shownBytes() const {
    const bool ended = revealPos_ >= reveal_.size() || reveal_[revealPos_].op == RevealOp::End;
    if (ended || revealPos_ == 0) return std::min(pageEnd_, layoutText.size());
    return std::min<size_t>({reveal_[revealPos_ - 1].textEnd, pageEnd_, layoutText.size()});
}

void TextLayout::record(RevealOp op, int32_t value) {
    if (reveal_.size() >= kRevealCapacity) return;
    reveal_.push_back(RevealEntry{op, value, recordEnd_});
}

void TextLayout::resetTextState() {
    cur_ = font;
    curColorNumeric_ = false;
}

RevealStep TextLayout::nextRevealStep() {
    for (;;) {
        RevealStep result = step_;
        // Past the recorded steps there is nothing but the end.
        if (revealPos_ >= reveal_.size()) {
            result.op = RevealOp::End;
            result.value = 0;
            return result;
        }
        const RevealEntry e = reveal_[revealPos_];
        if (e.op == RevealOp::End) {
            result.op = RevealOp::End;
            result.value = 0;
            return result;
        }
        ++revealPos_;
        switch (e.op) {
            case RevealOp::SetTop:
                step_.stepY = e.value;
                continue;
            case RevealOp::SetLeft:
                step_.stepX = e.value;
                continue;
            case RevealOp::SetWidth:
                step_.stepWidth = e.value;
                continue;
            case RevealOp::SetHeight:
                step_.stepHeight = e.value;
                continue;
            case RevealOp::SpeedNormal:
                step_.stepSpeed = 60;
                continue;
            case RevealOp::SpeedFast:
                step_.stepSpeed = 20;
                continue;
            case RevealOp::SpeedSlow:
                step_.stepSpeed = 120;
                continue;
            case RevealOp::Char:
                step_.stepX += step_.stepWidth;
                step_.stepWidth = e.value - step_.stepX;
                break;
            default:
                break;
        }
        result = step_;
        result.op = e.op;
        result.value = e.value;
        return result;
    }
}

void TextLayout::applyTag(std::string_view tag, bool drawing) {
    if (tag.empty()) return;
    auto setSize = [this](int64_t size) {
        cur_.size = static_cast<int32_t>(std::clamp<int64_t>(size, -kMaxFontSize, kMaxFontSize));
    };
    const char first = tag[0];
    if (first == '+') return setSize(static_cast<int64_t>(cur_.size) + tagNumber(tag));
    if (first == '-') return setSize(static_cast<int64_t>(cur_.size) - tagNumber(tag));
    if (first == '*') return setSize(tagNumber(tag));
    if (tag == "B") {
        cur_.bold = true;
        return;
    }
    if (tag == "I") {
        cur_.italic = true;
        return;
    }
    if (tag == "N") {
        cur_.bold = false;
        cur_.italic = false;
        return;
    }
    if (tag == "FAST") {
        if (drawing) record(RevealOp::SpeedFast, 0);
        return;
    }
    if (tag == "NORMAL") {
        if (drawing) record(RevealOp::SpeedNormal, 0);
        return;
    }
    if (tag == "SLOW") {
        if (drawing) record(RevealOp::SpeedSlow, 0);
        return;
    }
    if (tag == "KEY") {
        if (drawing) {
            record(RevealOp::ShowKeyMarker, 0);
            record(RevealOp::KeyWait, 0);
            record(RevealOp::HideKeyMarker, 0);
        }
        return;
    }
    if (first == 'W') {
        if (drawing) record(RevealOp::TimedWait, tagNumber(tag) * 100);
        return;
    }
    if (tag.size() >= 2 && (tag.substr(0, 2) == "cl" || tag.substr(0, 2) == "0x")) {
        // A colour that cannot be read leaves the colour as it was.
        uint32_t color;
        if (colorFromText(tag, color)) {
            cur_.color = color;
            curColorNumeric_ = tag[0] == '0';
        }
    }
}

int32_t TextLayout::layOutLine(Surface& target, platform::FontEngine& fonts, std::string& s,
                               int32_t width, int32_t bottom, bool drawing) {
    lineStuck_ = false;
    // While drawing, `s` is what is left of layoutText: steps record where in it they end.
    const size_t base = drawing && s.size() <= layoutText.size() ? layoutText.size() - s.size() : 0;
    auto textEnd = [base](size_t end) {
        return static_cast<uint32_t>(std::min<size_t>(base + end, UINT32_MAX));
    };
    platform::FontSpec fontSpec = specOf(cur_, font);
    int64_t x = 0;  // left of the current segment
    int32_t lineHeight = 1;
    size_t start = 0, n = 0;  // current segment: s[start, start + n)
    int64_t segCx = 0;        // its width, grown one character at a time
    int32_t segCy = 0;
    size_t lastLen = 0;  // the segment's last character: its length and the width before it
    int64_t lastCx = 0;
    int hanging = 0;  // closing punctuation hanging past the right edge; the line ends after it
    size_t consumed = 0;
    // No ">" lies at or after this index: many unclosed tags cost one search, not one each.
    size_t noCloseFrom = s.size();
    for (bool lineEnd = false; !lineEnd;) {
        const size_t p = start + n;
        enum class Kind { Char, Hash, Tag, End } kind;
        size_t charLen = 0, next = p;
        std::string_view tag;
        if (p >= s.size()) {
            kind = Kind::End;
        } else if (s[p] == '#') {
            kind = Kind::Hash;
            next = p + 1;
        } else if (s[p] == '<') {
            kind = Kind::Tag;
            size_t close = std::string::npos;
            if (p + 2 < noCloseFrom) {
                close = s.find('>', p + 2);
                if (close == std::string::npos) noCloseFrom = p + 2;
            }
            if (close != std::string::npos) {
                tag = std::string_view(s).substr(p + 1, close - p - 1);
                next = close + 1;
            } else {
                // An unclosed tag swallows the "<" and the whole character after it.
                next = p + 1 < s.size() ? p + 1 + charLength(s, p + 1) : p + 1;
            }
        } else {
            kind = Kind::Char;
            charLen = charLength(s, p);
        }

        int64_t cx = segCx;
        int32_t cy = segCy;
        if (kind == Kind::Char) {
            platform::TextExtent e =
                fonts.measure(fontSpec, std::string_view(s).substr(p, charLen));
            cx = segCx + e.cx;
            cy = std::max(segCy, e.cy);
        }
        if (drawing && kind != Kind::Tag) {
            recordEnd_ = textEnd(kind == Kind::Char ? p + charLen : kind == Kind::Hash ? next : p);
            record(RevealOp::Char,
                   static_cast<int32_t>(std::clamp<int64_t>(x + cx, INT32_MIN, INT32_MAX)));
        }
        const bool fits = x + cx <= width || (hanging > 0 && kind != Kind::Char);
        const std::string_view ch = std::string_view(s).substr(p, charLen);
        // Closing punctuation that does not fit stays on its line rather than beginning the next.
        // At most two, as "」。": a long run of "ー" must still break.
        const bool hangs = kind == Kind::Char && !fits && lineBreakRules && hanging < 2 &&
                           (x > 0 || n > 0) && neverBeginsLine(ch);
        if (kind == Kind::Char && (fits || hangs)) {
            hanging += hangs ? 1 : 0;
            lastLen = charLen;
            lastCx = segCx;
            n += charLen;
            segCx = cx;
            segCy = cy;
            continue;
        }
        // An opening bracket that would end the line goes to the next one with what it opens.
        if (kind == Kind::Char && !fits && lineBreakRules && lastLen > 0 &&
            (x > 0 || n > lastLen) &&
            neverEndsLine(std::string_view(s).substr(start + n - lastLen, lastLen))) {
            n -= lastLen;
            segCx = lastCx;
            lastLen = 0;
            // Its reveal step moves along: the cell recorded on this line would show nothing.
            size_t k = reveal_.size();
            if (drawing && k >= 2 && reveal_[k - 1].op == RevealOp::Char &&
                reveal_[k - 2].op == RevealOp::Char)
                reveal_.erase(reveal_.end() - 2);
        }

        // The segment ends here: at a tag, "#", the end, or a character that does not fit.
        lineHeight = std::max(lineHeight, cy);
        if (drawing && n > 0 && target.width() > 0 && target.height() > 0) {
            platform::GlyphTarget glyphs;
            glyphs.pixels = target.row(0);
            glyphs.stride = target.width();
            if (target.hasMask()) {
                glyphs.mask = target.maskRow(0);
                glyphs.maskStride = target.width();
            }
            glyphs.width = target.width();
            glyphs.height = target.height();
            fonts.draw(fontSpec, std::string_view(s).substr(start, n), static_cast<int>(x),
                       bottom - cy, colorToPixel(cur_.color & 0xFFFFFF), glyphs);
        }
        x += segCx;
        if (!fits) {
            // The character (or tag) stays for the next line, with an opening bracket before it.
            if (x == 0 && n == 0) lineStuck_ = true;
            consumed = start + n;
            break;
        }
        switch (kind) {
            case Kind::End:
                consumed = p;
                lineEnd = true;
                break;
            case Kind::Hash:
                consumed = next;
                lineEnd = true;
                break;
            case Kind::Tag:
                if (drawing) recordEnd_ = textEnd(next);
                applyTag(tag, drawing);
                fontSpec = specOf(cur_, font);
                start = next;
                n = 0;
                lastLen = 0;
                segCx = 0;
                segCy = 0;
                break;
            case Kind::Char:
                break;
        }
    }
    s.erase(0, consumed);
    return lineHeight;
}

int32_t TextLayout::layOut(Surface& target, platform::FontEngine& fonts, int32_t width,
                           int32_t limit, bool sized) {
    target.setAlphaMode(AlphaMode::Mask);
    layoutText = text;
    std::string work = text;
    if (!sized) {
        target.fillRect(0, 0, target.width(), target.height(), 0xFFFFFF);
        target.clearMask();
    }

    // Measuring pass: which lines fit, and where each one's bottom lies.
    resetTextState();
    std::vector<int32_t> bottoms;
    int64_t total = 0;
    for (int i = 0; i < kMaxLines; ++i) {
        int32_t h = layOutLine(target, fonts, work, width, 0, false);
        // A line where not even one character fits would repeat unchanged forever.
        if (lineStuck_) break;
        if (limit > 0 && total + h > limit) break;
        total += h;
        bottoms.push_back(static_cast<int32_t>(total));
        if (work.empty()) break;
    }

    if (sized) target.setSize(std::max(width, 0), static_cast<int32_t>(total));

    // Drawing pass.
    resetTextState();
    resetReveal();
    record(RevealOp::SpeedNormal, 0);
    int32_t top = 0;
    lineStarts_.clear();
    for (int32_t bottom : bottoms) {
        lineStarts_.push_back(layoutText.size() - text.size());
        record(RevealOp::SetLeft, 0);
        record(RevealOp::SetWidth, 0);
        record(RevealOp::SetTop, top);
        record(RevealOp::SetHeight, bottom - top);
        layOutLine(target, fonts, text, width, bottom, true);
        top = bottom;
    }

    pageEnd_ = layoutText.size() - std::min(text.size(), layoutText.size());
    recordEnd_ = static_cast<uint32_t>(std::min<size_t>(pageEnd_, UINT32_MAX));

    // A page that laid out nothing keeps its text and ends: breaking to a next page would show
    // the same nothing again and again.
    if (!text.empty() && !bottoms.empty()) {
        // The page break must survive a full list, or the rest of the text would never show.
        if (reveal_.size() > kRevealCapacity - 5) reveal_.resize(kRevealCapacity - 5);
        record(RevealOp::ShowPageMarker, 0);
        record(RevealOp::PageWait, 0);
        record(RevealOp::HidePageMarker, 0);
        record(RevealOp::NextPage, limit);
        // The colour is repeated the way the text wrote it: a number stays a number.
        char number[16];
        std::snprintf(number, sizeof number, "0x%08x", cur_.color);
        std::string state = sizeTags(cur_.size) + "<" +
                            (curColorNumeric_ ? std::string(number) : colorToText(cur_.color)) +
                            ">";
        if (cur_.bold) state += "<B>";
        if (cur_.italic) state += "<I>";
        text = state + text;
    }
    record(RevealOp::End, 0);

    // Glyph edges count as text wherever they touched the mask.
    if (target.hasMask()) {
        for (int32_t y = 0; y < target.height(); ++y) {
            uint8_t* m = target.maskRow(y);
            for (int32_t x = 0; x < target.width(); ++x)
                if (m[x]) m[x] = 255;
        }
    }
    return static_cast<int32_t>(total);
}

int32_t TextLayout::draw(Surface& target, platform::FontEngine& fonts) {
    const int32_t width = wrapWidth > 0 ? std::min(wrapWidth, target.width()) : target.width();
    return layOut(target, fonts, width, target.height(), false);
}

int32_t TextLayout::drawSized(Surface& target, platform::FontEngine& fonts, int32_t width,
                              int32_t limit) {
    return layOut(target, fonts, width, limit, true);
}

}  // namespace zarvo

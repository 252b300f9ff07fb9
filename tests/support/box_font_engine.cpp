#include "support/box_font_engine.hpp"

#include <algorithm>

#include "base/sjis.hpp"

namespace zarvo::test {

platform::TextExtent BoxFontEngine::measure(const platform::FontSpec& font, std::string_view text) {
    ++measureCalls;
    platform::TextExtent e{0, font.pixelHeight};
    for (size_t i = 0; i < text.size(); i += charLength(text, i)) e.cx += advance(font, text, i);
    return e;
}

void BoxFontEngine::draw(const platform::FontSpec& font, std::string_view text, int x, int y,
                         uint32_t colour, const platform::GlyphTarget& t) {
    calls.push_back({std::string(text), x, y, colour, font});
    for (size_t i = 0; i < text.size(); i += charLength(text, i)) {
        int w = advance(font, text, i);
        for (int py = std::max(0, y); py < std::min(t.height, y + font.pixelHeight); ++py)
            for (int px = std::max(0, x); px < std::min(t.width, x + w); ++px) {
                t.pixels[py * t.stride + px] = colour;
                if (t.mask) t.mask[py * t.maskStride + px] = 255;
            }
        x += w;
    }
}

int BoxFontEngine::advance(const platform::FontSpec& font, std::string_view text, size_t i) {
    return charLength(text, i) == 2 ? font.pixelHeight : font.pixelHeight / 2;
}

}  // namespace zarvo::test

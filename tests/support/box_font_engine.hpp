// A font engine of fixed advances (half the height for single-byte characters, the full height
// for two-byte ones) that draws a solid box per character and records its calls, so positions,
// steps and pixels of laid-out text are exact in tests. Its one face is "Box".
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "platform/font_engine.hpp"

namespace zarvo::test {

class BoxFontEngine : public platform::FontEngine {
  public:
    struct DrawCall {
        std::string text;
        int x, y;
        uint32_t colour;
        platform::FontSpec font;
    };

    StringList faces() override { return {"Box"}; }
    bool hasFace(std::string_view face) override { return face == "Box"; }
    platform::TextExtent measure(const platform::FontSpec& font, std::string_view text) override;
    void draw(const platform::FontSpec& font, std::string_view text, int x, int y, uint32_t colour,
              const platform::GlyphTarget& target) override;
    static int advance(const platform::FontSpec& font, std::string_view text, size_t i);

    std::vector<DrawCall> calls;
    int measureCalls = 0;
};

}  // namespace zarvo::test

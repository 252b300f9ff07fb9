// Text measuring and drawing for the player's pictures. Texts are code page 932 bytes; faces are
// named as stories name them (Windows names such as "ＭＳ ゴシック" included). Both hosts use
// the same engine so headless pictures match the desktop.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "base/string_list.hpp"

namespace zarvo::platform {

struct FontSpec {
    std::string face;      // code page 932
    int pixelHeight = 16;  // character height in pixels (a Windows height of -pixelHeight)
    bool bold = false;
    bool italic = false;
};

struct TextExtent {
    int cx = 0;  // advance width of the text
    int cy = 0;  // line height: the character height in pixels
};

// A target of glyph drawing: rows of 32-bit pixels (0x00RRGGBB) and, optionally, an 8-bit mask
// of the same size whose touched bytes are set to 255.
struct GlyphTarget {
    uint32_t* pixels = nullptr;
    int stride = 0;  // in pixels
    uint8_t* mask = nullptr;
    int maskStride = 0;
    int width = 0, height = 0;
};

class FontEngine {
  public:
    virtual ~FontEngine() = default;
    // Installed faces as stories may name them (code page 932).
    virtual StringList faces() = 0;
    virtual bool hasFace(std::string_view face) = 0;
    virtual TextExtent measure(const FontSpec& font, std::string_view text) = 0;
    // Draws `text` with its top-left corner at (x, y) in `colour` (0x00RRGGBB), clipped to the
    // target; no background. Glyph edges are drawn solid (a pixel is either text or not).
    virtual void draw(const FontSpec& font, std::string_view text, int x, int y, uint32_t colour,
                      const GlyphTarget& target) = 0;
};

}  // namespace zarvo::platform

// The text engine of both hosts: a font locator finds the faces (fontconfig on a desktop),
// FreeType measures and draws them.
// Stories name Windows faces ("ＭＳ ゴシック" ...); those map to the IPA faces, every other name
// is looked up by family. Glyphs are drawn solid (monochrome) because the picture's mask treats
// every touched pixel as opaque.
#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "backends/freetype/font_locator.hpp"
#include "platform/font_engine.hpp"

namespace zarvo::platform {

class FreeTypeFontEngine final : public FontEngine {
  public:
    // Without installed fonts (useInstalledFonts false, or none found) measuring still works
    // with fixed widths and drawing does nothing.
    explicit FreeTypeFontEngine(bool useInstalledFonts = true);
    // Faces found by `locator`; none (null) is as useInstalledFonts false.
    explicit FreeTypeFontEngine(std::unique_ptr<FontLocator> locator);
    ~FreeTypeFontEngine() override;
    FreeTypeFontEngine(const FreeTypeFontEngine&) = delete;
    FreeTypeFontEngine& operator=(const FreeTypeFontEngine&) = delete;

    StringList faces() override;
    bool hasFace(std::string_view face) override;
    TextExtent measure(const FontSpec& font, std::string_view text) override;
    void draw(const FontSpec& font, std::string_view text, int x, int y, uint32_t colour,
              const GlyphTarget& target) override;

    // The family (UTF-8) that text in `face` (code page 932) is drawn with; empty when no font
    // file is available.
    std::string resolvedFamily(std::string_view face);

    // Largest pixel height drawn; larger requests are drawn at this height.
    static constexpr int kMaxPixelHeight = 2048;

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

// Unicode code point of the code page 932 character at s[i] (0 when it has none).
char32_t cp932ToUnicode(std::string_view s, size_t i);

}  // namespace zarvo::platform

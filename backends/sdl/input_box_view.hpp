// The one-line input box as the player draws it over its own picture: a framed panel with the
// caption, the prompt, the edit field (with the text being composed by an input method) and
// OK / Cancel buttons. Drawn with the player's font engine, so Japanese looks as in the story.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "backends/sdl/line_edit.hpp"
#include "platform/font_engine.hpp"

namespace zarvo::platform {

struct BoxRect {
    int x = 0, y = 0, w = 0, h = 0;
    bool contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
};

// The panel in story pixels, centred and never larger than the picture; the other rectangles
// relative to the panel's top-left corner.
struct InputBoxLayout {
    BoxRect panel, titleBar, prompt, field, okButton, cancelButton;
};

InputBoxLayout inputBoxLayout(int pictureW, int pictureH, int promptLines);

class InputBoxView {
  public:
    static constexpr int kFontHeight = 12;

    InputBoxView(FontEngine& fonts, int pictureW, int pictureH, std::string_view captionSjis,
                 std::string_view promptSjis);

    const InputBoxLayout& layout() const { return layout_; }

    // Draws the panel for the field's present state. `composition` is the input method's
    // unconfirmed text (UTF-8), shown underlined at the caret.
    void draw(const LineEdit& edit, std::string_view composition);

    // The panel's pixels: layout().panel.h rows of layout().panel.w words, 0x00RRGGBB.
    const std::vector<uint32_t>& pixels() const { return pixels_; }

    // Caret position of the last draw, in story pixels (for placing the candidate window).
    BoxRect caret() const { return caret_; }

  private:
    void fill(const BoxRect& r, uint32_t colour);
    void frame(const BoxRect& r, uint32_t colour);
    void text(const BoxRect& clip, int x, int y, std::string_view sjis, uint32_t colour);
    void button(const BoxRect& r, std::string_view label, bool isDefault);

    FontEngine& fonts_;
    FontSpec font_;
    std::string caption_;
    std::vector<std::string> promptLines_;
    InputBoxLayout layout_;
    std::vector<uint32_t> pixels_;
    BoxRect caret_;
};

}  // namespace zarvo::platform

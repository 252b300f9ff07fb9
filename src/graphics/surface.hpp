// The one picture type of the player: a 32-bit colour picture with an optional 8-bit coverage
// mask. Layers, screen buffers, loaded images and laid-out text are all Surface. It copies
// and blends rectangles honouring its mask, loads PNG itself, and lays out message text with
// inline tags, recording the reveal steps the message display replays.
//
// Pixels are 0x00RRGGBB words (blue in the low byte). Colours given by scripts and callers are
// platform colours 0x00BBGGRR; the surface converts.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formats/picture.hpp"

namespace zarvo {

namespace platform {
class Canvas;
class FontEngine;
}  // namespace platform

// Reveal step op codes recorded by the text layout.
enum class RevealOp : int32_t {
    End = 0,
    SetTop = 1,
    SetLeft = 2,
    SetWidth = 3,
    SetHeight = 4,
    Char = 5,
    SpeedNormal = 7,
    SpeedFast = 8,
    SpeedSlow = 9,
    ShowKeyMarker = 10,
    HideKeyMarker = 11,
    ShowPageMarker = 12,
    HidePageMarker = 13,
    KeyWait = 14,
    PageWait = 15,
    TimedWait = 16,
    NextPage = 17,
};

struct FontStatus {
    std::string name;  // face, code page 932
    int32_t size = 10;  // points
    int32_t dpi = 96;
    uint32_t color = 0;  // platform colour 0x00BBGGRR
    bool bold = false;
    bool italic = false;
};

struct RevealStep {
    RevealOp op = RevealOp::End;
    int32_t value = 0;
    int32_t stepX = 0, stepY = 0, stepHeight = 0, stepWidth = 0, stepSpeed = 60;
};

// Platform colour (0x00BBGGRR) <-> pixel word (0x00RRGGBB).
inline uint32_t colorToPixel(uint32_t c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
inline uint32_t pixelToColor(uint32_t p) { return colorToPixel(p & 0xFFFFFF); }

class Surface {
public:
    static constexpr int kRevealCapacity = 4096;
    static constexpr int kMaxLines = 300;

    Surface();  // 10 x 10, white, AlphaMode::None

    // --- picture and mask (surface.cpp) ---
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    AlphaMode alphaMode() const { return alphaMode_; }
    void setSize(int32_t width, int32_t height);
    void setAlphaMode(AlphaMode mode);
    void assign(const Surface& other);
    // Takes a decoded picture's pixels, and its mask and alpha mode. A decoder that handed over
    // fewer pixels than its size leaves the rest white (and opaque).
    void assignPicture(const Picture& picture);
    void assignPicture(Picture&& picture);
    // The pixels and mask as they are, for encoders.
    PictureView view() const {
        return {picture_.data(), hasMask() ? mask_.data() : nullptr, width_, height_};
    }
    // Rows of the picture and mask (the mask is empty while the mode is None).
    uint32_t* row(int32_t y) { return picture_.data() + static_cast<size_t>(y) * width_; }
    const uint32_t* row(int32_t y) const { return picture_.data() + static_cast<size_t>(y) * width_; }
    uint8_t* maskRow(int32_t y) { return mask_.data() + static_cast<size_t>(y) * width_; }
    const uint8_t* maskRow(int32_t y) const { return mask_.data() + static_cast<size_t>(y) * width_; }
    bool hasMask() const { return alphaMode_ != AlphaMode::None; }

    void copyTo(Surface& dest, int32_t dx, int32_t dy, int32_t width, int32_t height,
                int32_t sx, int32_t sy) const;
    void blendTo(Surface& dest, int32_t dx, int32_t dy, int32_t width, int32_t height,
                 int32_t sx, int32_t sy, int32_t opacity) const;
    void fillRect(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t color);
    uint32_t getPixel(int32_t x, int32_t y) const;  // platform colour; 0 outside
    bool hitTest(int32_t x, int32_t y) const;
    void drawTo(platform::Canvas& canvas) const;
    void makeColorKeyTransparent();
    void makeTranslucent();
    void clearMask();

    // --- text layout (text_layout.cpp) ---
    // The engine that measures and draws text; set once by the owner, shared by all surfaces.
    static void setFontEngine(platform::FontEngine* engine);
    int32_t drawText();
    int32_t drawTextSized(int32_t width, int32_t limit);
    RevealStep nextRevealStep();
    void resetReveal();
    int32_t revealCount() const { return revealCount_; }
    std::pair<RevealOp, int32_t> revealEntry(int i) const {
        return {reveal_[static_cast<size_t>(i)].op, reveal_[static_cast<size_t>(i)].value};
    }

    std::string text;        // to lay out; after a page overflow, the rest
    std::string layoutText;  // the text as the last layout began
    FontStatus font;  // text defaults ("ＭＳ ゴシック", 10 pt, 96 dpi, black)

private:
    // --- picture state ---
    int32_t width_ = 0, height_ = 0;
    std::vector<uint32_t> picture_;
    std::vector<uint8_t> mask_;
    AlphaMode alphaMode_ = AlphaMode::None;

    // --- text layout state (text_layout.cpp) ---
    struct RevealEntry {
        RevealOp op = RevealOp::End;
        int32_t value = 0;
    };
    void record(RevealOp op, int32_t value);
    int32_t layOutLine(std::string& s, int32_t width, int32_t bottom, bool drawing);
    void applyTag(std::string_view tag, bool drawing);
    void resetTextState();
    // Both passes of DrawText / drawTextSized (sized: the surface takes the laid-out height).
    int32_t layOut(int32_t width, int32_t limit, bool sized);

    FontStatus cur_;
    std::array<RevealEntry, kRevealCapacity> reveal_{};
    int32_t revealCount_ = 0;
    int32_t revealPos_ = 0;
    RevealStep step_;
    bool lineStuck_ = false;  // the last line ended before even one character fitted
    bool curColorNumeric_ = false;  // the current colour was set by a "0x" tag
};

// The colour table of text tags and settings: "clBlack" ... and "0x" hexadecimal. False when the
// text is neither a known name nor a valid number.
bool colorFromText(std::string_view text, uint32_t& color);
// The name of a colour in the table, or "0x" and eight lower-case hex digits.
std::string colorToText(uint32_t color);

}  // namespace zarvo

// The one picture type of the player: a 32-bit colour picture with an optional 8-bit coverage
// mask. Layers, screen buffers, loaded images and laid-out text are all Surface. It copies
// and blends rectangles honouring its mask; text is laid out onto it by TextLayout.
//
// Pixels are 0x00RRGGBB words (blue in the low byte). Colours given by scripts and callers are
// platform colours 0x00BBGGRR; the surface converts.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/picture.hpp"

namespace zarvo {

namespace platform {
class Canvas;
}  // namespace platform

// Platform colour (0x00BBGGRR) <-> pixel word (0x00RRGGBB).
inline uint32_t colorToPixel(uint32_t c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
inline uint32_t pixelToColor(uint32_t p) {
    return colorToPixel(p & 0xFFFFFF);
}

class Surface {
  public:
    Surface();  // 10 x 10, white, AlphaMode::None
    Surface(const Surface&) = default;
    Surface& operator=(const Surface&) = default;
    // A moved-from surface is empty, and not taken for the one it was.
    Surface(Surface&& other) noexcept;
    Surface& operator=(Surface&& other) noexcept;

    // What the pixels are: two surfaces of one stamp hold the same picture (a copy keeps the
    // stamp, any change gives another), so a snapshot need not copy or compare a picture it
    // has kept before. Worked out when asked, so that changes cost nothing.
    uint64_t stamp() const;

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
    // The writable rows count as a change.
    uint32_t* row(int32_t y) {
        stamp_ = 0;
        return picture_.data() + static_cast<size_t>(y) * width_;
    }
    const uint32_t* row(int32_t y) const {
        return picture_.data() + static_cast<size_t>(y) * width_;
    }
    uint8_t* maskRow(int32_t y) {
        stamp_ = 0;
        return mask_.data() + static_cast<size_t>(y) * width_;
    }
    const uint8_t* maskRow(int32_t y) const {
        return mask_.data() + static_cast<size_t>(y) * width_;
    }
    bool hasMask() const { return alphaMode_ != AlphaMode::None; }

    void copyTo(Surface& dest, int32_t dx, int32_t dy, int32_t width, int32_t height, int32_t sx,
                int32_t sy) const;
    void blendTo(Surface& dest, int32_t dx, int32_t dy, int32_t width, int32_t height, int32_t sx,
                 int32_t sy, int32_t opacity) const;
    void fillRect(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t color);
    uint32_t getPixel(int32_t x, int32_t y) const;  // platform colour; 0 outside
    bool hitTest(int32_t x, int32_t y) const;
    void drawTo(platform::Canvas& canvas) const;
    void makeColorKeyTransparent();
    void makeTranslucent();
    void clearMask();

  private:
    int32_t width_ = 0, height_ = 0;
    std::vector<uint32_t> picture_;
    std::vector<uint8_t> mask_;
    AlphaMode alphaMode_ = AlphaMode::None;
    mutable uint64_t stamp_ = 0;  // 0: changed since last asked
};

// Area average of `g` into a width x height picture: a thumbnail that keeps thin lines.
Picture shrinkPicture(const Surface& g, int32_t width, int32_t height);

}  // namespace zarvo

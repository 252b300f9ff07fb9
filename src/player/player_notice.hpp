// A short line the player shows over the story: for a moment after a screenshot, full screen,
// skip or auto mode on or off, or, at the end of a story that was skipped to, until the reader
// answers. It is drawn into the frame the window shows, so full screen and screenshots show it
// too, and it takes no input: the story goes on under it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "player/overlay.hpp"

namespace zarvo {

namespace platform {
class FontEngine;
}

// Drawn over the overlays, outside their list: it is never the open overlay that takes input.
class PlayerNotice final : public Overlay {
  public:
    // `face` names the font as stories do (code page 932); without `fonts` only the panel shows.
    PlayerNotice(platform::FontEngine* fonts, std::string face);

    // Shows `sjisText` from `now` for `lengthMs`, or with 0 until hide().
    void show(std::string sjisText, uint32_t now, uint32_t lengthMs);
    void hide() { text_.clear(); }
    // Hides a timed notice whose time is up at `now`; true when it did.
    bool expire(uint32_t now);
    const std::string& text() const { return text_; }
    // True while a timed notice is up: time has to pass for it to go.
    bool expires() const { return !text_.empty() && length_ != 0; }
    // Milliseconds until a timed notice goes, at least 1.
    uint32_t remaining(uint32_t now) const {
        const uint32_t gone = now - start_;
        return gone < length_ ? length_ - gone : 1;
    }

    bool isOpen() const override { return !text_.empty(); }
    void draw(Surface& frame) override;

  private:
    // The text cut into lines no wider than `width` pixels (a long path wraps).
    std::vector<std::string> lines(int fontHeight, int width) const;

    platform::FontEngine* fonts_;
    std::string face_;
    std::string text_;
    uint32_t start_ = 0, length_ = 0;
};

}  // namespace zarvo

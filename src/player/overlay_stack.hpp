// The player's own overlays over the story's screen, bottom first, and the reader's notice drawn
// over them all. The topmost open overlay takes the input and holds the story still. Screen 0
// presents through the stack, which keeps the story's last frame: an overlay opening, closing or
// changing shows that frame again with the overlays as they are now.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "player/overlay.hpp"

namespace zarvo {

namespace platform {
class Canvas;
class FontEngine;
}  // namespace platform

class PlayerNotice;

class OverlayStack {
  public:
    OverlayStack();
    ~OverlayStack();

    // At the first show, when the story's system font is known. Returns where screen 0 presents:
    // through the stack to `canvas`; none without one.
    platform::Canvas* setUp(platform::FontEngine* fonts, const std::string& face,
                            platform::Canvas* canvas);

    Overlay& add(std::unique_ptr<Overlay> overlay);
    // The topmost open overlay; none when the story has the input.
    Overlay* open() const;
    // Shows the story's frame again with the overlays as they are now.
    void present();
    // None before setUp().
    PlayerNotice* notice() const { return notice_.get(); }

    // What the window shows; none before the first frame (or without a canvas).
    const Surface* shownFrame() const;
    // What the window shows without the notice; false before the first frame.
    bool shownFrameWithoutNotice(Surface& out) const;

  private:
    class ShownCanvas;

    std::vector<std::unique_ptr<Overlay>> overlays_;
    std::unique_ptr<PlayerNotice> notice_;  // drawn over the overlays, never one of them
    std::unique_ptr<ShownCanvas> shown_;    // between screen 0 and the host's canvas
};

}  // namespace zarvo

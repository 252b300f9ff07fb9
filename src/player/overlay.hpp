// Something the player itself shows over the story's screen (the backlog, the settings menu).
// While one is open it takes all input and the story does not advance; it is drawn over a copy of
// the frame the story shows, so closing it brings back the story's screen exactly, and a
// screenshot shows what the window shows, overlay included.
#pragma once
#include <string>

#include "graphics/surface.hpp"
#include "platform/host.hpp"

namespace zarvo {

class Overlay {
  public:
    virtual ~Overlay() = default;
    virtual bool isOpen() const = 0;
    virtual void draw(Surface& frame) = 0;
    // The player's notice (`sjisText`) while this is the topmost open overlay: one with a place
    // of its own for it, clear of its title and controls, draws it there and returns true;
    // otherwise the notice goes over it at the top left.
    virtual bool drawNotice(Surface& frame, const std::string& sjisText) {
        (void)frame;
        (void)sjisText;
        return false;
    }

    // Input while open.
    virtual void onKeyDown(int key) { (void)key; }
    virtual void onKeyUp(int key) { (void)key; }
    virtual void onMouseDown(platform::MouseButton button, int x, int y) {
        (void)button;
        (void)x;
        (void)y;
    }
    virtual void onMouseMove(int x, int y) {
        (void)x;
        (void)y;
    }
    virtual void onWheel(int steps) { (void)steps; }
    virtual void onPadButton(platform::PadButton button, bool down) {
        (void)button;
        (void)down;
    }
};

}  // namespace zarvo

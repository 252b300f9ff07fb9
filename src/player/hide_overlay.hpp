// Key H or a middle click: the scene without the text over it (text layers, markers and the
// other dynamic layers, and the message window's picture) until the next click or key. The story
// holds still meanwhile.
#pragma once
#include <functional>
#include <string>

#include "player/overlay.hpp"

namespace zarvo {

class Layer;
class LayerStack;
class Screen;

class HideOverlay final : public Overlay {
  public:
    // `messageLayer` is the player's: the layer of the last message.
    HideOverlay(Screen& screen, const std::string& messageLayer, std::function<void(bool)> onChange)
        : screen_(screen), messageLayer_(messageLayer), onChange_(std::move(onChange)) {}

    void open();
    bool isOpen() const override { return open_; }
    void draw(Surface& frame) override;
    void onKeyDown(int) override { close(); }
    void onMouseDown(platform::MouseButton, int, int) override { close(); }
    void onPadButton(platform::PadButton, bool down) override {
        if (down) close();
    }

  private:
    // The picture the message sits on, if it is to go with the text.
    Layer* messageWindow(LayerStack& stack) const;
    void close();

    Screen& screen_;
    const std::string& messageLayer_;
    std::function<void(bool)> onChange_;
    bool open_ = false;
};

}  // namespace zarvo

// The backlog: the last messages of the story on a dark panel over the dimmed scene, each in its
// own colours, sizes and styles (outlined where a colour would not stand out), newest at the
// bottom, with a bar on the right showing where the reader is in the history. Wheel up or Page Up
// opens it; the wheel, the arrows and Page Up/Down scroll; wheel down past the newest, a right
// click, Escape or Enter close it.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "base/string_list.hpp"
#include "graphics/text_layout.hpp"
#include "player/overlay.hpp"

namespace zarvo {

namespace platform {
class FontEngine;
}

class Backlog final : public Overlay {
  public:
    static constexpr size_t kLimit = 500;

    // `history` holds the raw messages (code page 932, tags kept), oldest first; it lives in the
    // save files so that it comes back with a saved game.
    Backlog(StringList& history, platform::FontEngine& fonts) : history_(history), fonts_(fonts) {}

    // Keeps a completed message in `history`; the oldest go past kLimit.
    static void record(StringList& history, const std::string& sjisText);
    // Opens at the newest message with the font the story's messages use now. Nothing to show:
    // stays closed.
    void open(const FontStatus& font);
    void close();

    bool isOpen() const override { return open_; }
    void draw(Surface& frame) override;
    void onKeyDown(int key) override;
    void onMouseDown(platform::MouseButton button, int x, int y) override;
    void onWheel(int steps) override;
    void onPadButton(platform::PadButton button, bool down) override;

    std::function<void(bool open)> onOpenChange;
    // A message chosen, `back` messages before the newest (0: the newest). The backlog stays
    // open: the player closes it when it goes back.
    std::function<void(int back)> onChoose;

  private:
    void scroll(int entries);
    void choose(int back);

    StringList& history_;
    platform::FontEngine& fonts_;
    FontStatus font_;
    bool open_ = false;
    int scrolled_ = 0;  // messages hidden below the bottom: 0 shows the newest
    // Where the last picture drew each message, for a click: its top and bottom and how far back.
    struct Shown {
        int32_t top, bottom;
        int back;
    };
    std::vector<Shown> shown_;
};

}  // namespace zarvo

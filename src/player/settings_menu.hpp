// The reader's settings menu: a list of rows over the story, each a setting with its value or an
// action, worked by the pointer, the keyboard and a game controller alike. What the rows do is
// the player's business (player_settings_menu.cpp); the menu only shows them and passes steps on.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "player/overlay.hpp"

namespace zarvo {

namespace platform {
class FontEngine;
}

// The language of the player's own texts; the desktop decides it from the locale.
enum class MenuLanguage : uint8_t { Japanese, English };

class SettingsMenu final : public Overlay {
  public:
    struct Row {
        std::string label;                     // code page 932
        std::function<std::string()> value;    // code page 932; none: an action row
        std::function<void(int step)> change;  // +1 or -1 for a setting; the action of a row
    };

    // `face` names the font as stories do (code page 932); without `fonts` the texts are left
    // out and the rows still work.
    SettingsMenu(std::string title, std::vector<Row> rows, platform::FontEngine* fonts,
                 std::string face);

    void open();
    void close();
    bool isOpen() const override { return open_; }
    int selected() const { return selected_; }
    // Told when the menu opens (true) or closes (false).
    std::function<void(bool open)> onOpenChange;

    void draw(Surface& frame) override;
    void onKeyDown(int key) override;
    void onMouseDown(platform::MouseButton button, int x, int y) override;
    void onMouseMove(int x, int y) override;
    void onWheel(int steps) override;
    void onPadButton(platform::PadButton button, bool down) override;

  private:
    void select(int row);
    void change(int step);
    // The row under (x, y) as last drawn, or -1.
    int rowAt(int x, int y) const;

    std::string title_;
    std::vector<Row> rows_;
    platform::FontEngine* fonts_;
    std::string face_;
    bool open_ = false;
    int selected_ = 0;
    // Where the rows were drawn last, for the pointer.
    int left_ = 0, right_ = 0, valueLeft_ = 0, rowsTop_ = 0, rowHeight_ = 1;
};

}  // namespace zarvo

// The save-state overlay (F2, the pad's Back, the settings menu's "Saves"): the 24 slots in
// pages of six, each with its thumbnail, when it was saved and the first characters of its
// message; the mode (save, load, delete) chosen above them. Saving over a used slot and deleting
// ask first. Keyboard: arrows choose a slot (past the side: the next page), Page Up/Down the
// page, Tab the mode, Enter acts, Escape closes; the mouse clicks what it points at (right click
// closes, the wheel turns pages); the pad: the cross, A acts, X the mode, shoulders the page,
// B and Back close.
#pragma once
#include <array>
#include <functional>
#include <string>

#include "player/overlay.hpp"
#include "player/save_states.hpp"
#include "player/settings_menu.hpp"

namespace zarvo {

namespace platform {
class FontEngine;
}

class SaveStatesOverlay final : public Overlay {
  public:
    static constexpr int kPerPage = 6;
    static constexpr int kPages = SaveStates::kSlots / kPerPage;
    enum class Mode : uint8_t { Save, Load, Delete };

    struct Actions {
        std::function<SaveStates::Slot(int slot)> slot;
        std::function<bool(int slot)> save, load, remove;
        std::function<void(bool open)> openChange;
    };

    SaveStatesOverlay(Actions actions, platform::FontEngine* fonts, std::string face,
                      MenuLanguage language);

    void open(Mode mode);
    void close();
    bool isOpen() const override { return open_; }
    int selectedSlot() const { return page_ * kPerPage + cell_ + 1; }

    void draw(Surface& frame) override;
    // In the footer, over the help line, clear of the title and the tabs.
    bool drawNotice(Surface& frame, const std::string& sjisText) override;
    void onKeyDown(int key) override;
    void onMouseDown(platform::MouseButton button, int x, int y) override;
    void onMouseMove(int x, int y) override;
    void onWheel(int steps) override;
    void onPadButton(platform::PadButton button, bool down) override;

  private:
    void reload();
    void turn(int pages);
    void move(int dx, int dy);
    // Enter, A or a click on the selected slot: acts, or asks first.
    void act();
    void answer(bool yes);
    std::string text(std::string_view japanese, std::string_view english) const;
    // The cell at (x, y) as last drawn, or -1; -2 for a mode tab (`tab` set).
    int cellAt(int x, int y, int& tab) const;

    Actions actions_;
    platform::FontEngine* fonts_;
    std::string face_;
    MenuLanguage language_;
    bool open_ = false;
    Mode mode_ = Mode::Load;
    int page_ = 0, cell_ = 0;
    bool asking_ = false;  // the confirmation is up
    std::array<SaveStates::Slot, kPerPage> slots_;
    // Where the last frame put the cells and the tabs, for the pointer.
    int gridLeft_ = 0, gridTop_ = 0, cellWidth_ = 1, cellHeight_ = 1;
    int tabsTop_ = 0, tabWidth_ = 1, tabHeight_ = 1, tabsLeft_ = 0;
    // The help line's place in the last frame, where a notice goes.
    int footerLeft_ = 0, footerTop_ = 0, footerWidth_ = 0, line_ = 0;
};

}  // namespace zarvo

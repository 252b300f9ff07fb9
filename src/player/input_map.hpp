// Which of the reader's keys, buttons and wheel turns mean which of the player's own actions, and
// what is held meanwhile: the modifiers, Ctrl (which skips once held a moment, unless it is part
// of a chord such as Ctrl+C) and the pad's shoulder buttons (which skip at once). It only maps;
// the player does the action. Input reaches it only while no overlay takes it.
#pragma once
#include <cstdint>

#include "platform/host.hpp"

namespace zarvo {

enum class PlayerAction {
    None,
    Click,          // a left click: ends every skip and auto mode, then advances where it points
    Advance,        // finishes typing, clicks the pointed-at button or ends the wait
    ToggleSkip,     // skips until a click, a key, a choice or an unread message
    ToggleAuto,     // key waits end by themselves
    HideText,       // the picture without its text until the next click or key
    CopyMessage,    // the message as far as it shows, to the clipboard
    FocusNext,      // points at the next button that responds now
    FocusPrevious,  //   or the one before
    OpenSettings,
    OpenBacklog,
    ToggleFullScreen,
    Screenshot,
    AwaitSkipHold,  // Ctrl went down: it skips once held for kCtrlSkipDelayMs
    HoldSkip,       // a shoulder button went down: skips at once
    ReleaseSkip,    // Ctrl or the last shoulder button let go
    QuickSave,      // the run to the quick save state
    QuickLoad,      //   and back to it
    OpenStates,     // the save-state overlay
    RollBack,       // back to the message before the one shown
};

// A key or button that went down, as the player takes it.
struct PlayerInput {
    PlayerAction action = PlayerAction::None;
    // Any key but a modifier ends the skip toggle and auto mode, unless it is their own key.
    bool endsModes = false;
};

class InputMap {
  public:
    // How long Ctrl is held before it skips: a chord such as Ctrl+C never skips.
    static constexpr uint32_t kCtrlSkipDelayMs = 150;

    PlayerInput keyDown(int key, uint32_t now);
    PlayerAction keyUp(int key);
    PlayerInput padButton(platform::PadButton button, bool down, uint32_t now);
    PlayerAction mouseDown(platform::MouseButton button);
    static PlayerAction wheel(int steps) {
        return steps > 0 ? PlayerAction::OpenBacklog : PlayerAction::None;
    }

    // Ctrl is held and no chord so far: it skips once its moment has passed.
    bool ctrlMaySkip() const { return ctrlHeld_ && !ctrlChord_; }
    bool ctrlSkipDue(uint32_t now) const;

  private:
    bool altHeld_ = false;
    bool ctrlHeld_ = false;
    bool shiftHeld_ = false;
    bool ctrlChord_ = false;  // another key went down with Ctrl held: no skip for this hold
    uint32_t ctrlDownAt_ = 0;
    int shouldersHeld_ = 0;
};

}  // namespace zarvo

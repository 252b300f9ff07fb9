#include "player/input_map.hpp"

#include <algorithm>

#include "platform/clock.hpp"

namespace zarvo {

namespace keys = platform::keys;
using platform::PadButton;

namespace {

// A binding holds when its modifier is held too; the first that holds wins, so a key with a
// modifier comes before the same key alone.
enum class Held { Any, Ctrl, Alt, Shift };

struct KeyBinding {
    int key;
    Held held;
    PlayerAction action;
};

constexpr int letter(char c) {
    return keys::kA + (c - 'a');
}

constexpr KeyBinding kKeyBindings[] = {
    {letter('c'), Held::Ctrl, PlayerAction::CopyMessage},
    {letter('a'), Held::Any, PlayerAction::ToggleAuto},
    {letter('h'), Held::Any, PlayerAction::HideText},
    {letter('s'), Held::Any, PlayerAction::ToggleSkip},
    {keys::kTab, Held::Shift, PlayerAction::FocusPrevious},
    {keys::kTab, Held::Any, PlayerAction::FocusNext},
    {keys::kUp, Held::Any, PlayerAction::FocusPrevious},
    {keys::kLeft, Held::Any, PlayerAction::FocusPrevious},
    {keys::kDown, Held::Any, PlayerAction::FocusNext},
    {keys::kRight, Held::Any, PlayerAction::FocusNext},
    {keys::kEscape, Held::Any, PlayerAction::OpenSettings},
    {keys::kF1, Held::Any, PlayerAction::OpenSettings},
    {keys::kPageUp, Held::Any, PlayerAction::OpenBacklog},
    {keys::kF11, Held::Any, PlayerAction::ToggleFullScreen},
    {keys::kF12, Held::Any, PlayerAction::Screenshot},
    {keys::kF2, Held::Any, PlayerAction::OpenStates},
    {keys::kF5, Held::Any, PlayerAction::QuickSave},
    {keys::kF9, Held::Any, PlayerAction::QuickLoad},
    {keys::kBackspace, Held::Any, PlayerAction::RollBack},
    {keys::kEnter, Held::Alt, PlayerAction::ToggleFullScreen},
    {keys::kSpace, Held::Any, PlayerAction::Advance},
    {keys::kEnter, Held::Any, PlayerAction::Advance},
};

struct PadBinding {
    PadButton button;
    PlayerAction action;
};

// The pad's A is Space itself (padButton); its shoulders hold the skip.
// One binding a line, so that adding one is one line.
// clang-format off
constexpr PadBinding kPadBindings[] = {
    {PadButton::B, PlayerAction::OpenBacklog},
    {PadButton::X, PlayerAction::HideText},
    {PadButton::Y, PlayerAction::ToggleAuto},
    {PadButton::Start, PlayerAction::OpenSettings},
    {PadButton::Up, PlayerAction::FocusPrevious},
    {PadButton::Left, PlayerAction::FocusPrevious},
    {PadButton::Down, PlayerAction::FocusNext},
    {PadButton::Right, PlayerAction::FocusNext},
    {PadButton::Back, PlayerAction::OpenStates},
};
// clang-format on

}  // namespace

PlayerInput InputMap::keyDown(int key, uint32_t now) {
    const bool modifier = key == keys::kControl || key == keys::kAlt || key == keys::kShift;
    PlayerInput input{PlayerAction::None, !modifier};
    // Ctrl with another key is a chord (Ctrl+C), not a skip.
    if (ctrlHeld_ && key != keys::kControl) ctrlChord_ = true;
    switch (key) {
        case keys::kAlt:
            altHeld_ = true;
            return input;
        case keys::kShift:
            shiftHeld_ = true;
            return input;
        case keys::kControl:
            if (ctrlHeld_) return input;  // the key repeats while held
            ctrlHeld_ = true;
            ctrlChord_ = false;
            ctrlDownAt_ = now;
            input.action = PlayerAction::AwaitSkipHold;
            return input;
        default:
            break;
    }
    const auto holds = [this](Held held) {
        switch (held) {
            case Held::Ctrl:
                return ctrlHeld_;
            case Held::Alt:
                return altHeld_;
            case Held::Shift:
                return shiftHeld_;
            case Held::Any:
                break;
        }
        return true;
    };
    for (const KeyBinding& binding : kKeyBindings)
        if (binding.key == key && holds(binding.held)) {
            input.action = binding.action;
            break;
        }
    return input;
}

PlayerAction InputMap::keyUp(int key) {
    if (key == keys::kAlt) altHeld_ = false;
    if (key == keys::kShift) shiftHeld_ = false;
    if (key != keys::kControl) return PlayerAction::None;
    ctrlHeld_ = false;
    ctrlChord_ = false;
    return PlayerAction::ReleaseSkip;
}

PlayerInput InputMap::padButton(PadButton button, bool down, uint32_t now) {
    if (button == PadButton::LeftShoulder || button == PadButton::RightShoulder) {
        // Skips while either is held, as Ctrl does; a held Ctrl keeps its own skip.
        shouldersHeld_ = std::max(0, shouldersHeld_ + (down ? 1 : -1));
        if (down && shouldersHeld_ == 1 && !ctrlHeld_) return {PlayerAction::HoldSkip, false};
        if (!down && shouldersHeld_ == 0 && !ctrlHeld_) return {PlayerAction::ReleaseSkip, false};
        return {};
    }
    if (!down) return {};
    // As Space: finishes typing, clicks the pointed-at button or ends the wait.
    if (button == PadButton::A) return keyDown(keys::kSpace, now);
    for (const PadBinding& binding : kPadBindings)
        if (binding.button == button) return {binding.action, false};
    return {};
}

PlayerAction InputMap::mouseDown(platform::MouseButton button) {
    switch (button) {
        case platform::MouseButton::Middle:
            return PlayerAction::HideText;
        case platform::MouseButton::Left:
            // A click ends the skip even while Ctrl is held, until Ctrl goes down again.
            ctrlChord_ = ctrlHeld_;
            return PlayerAction::Click;
        default:
            return PlayerAction::None;
    }
}

bool InputMap::ctrlSkipDue(uint32_t now) const {
    return ctrlMaySkip() && platform::tickReached(now, ctrlDownAt_, kCtrlSkipDelayMs);
}

}  // namespace zarvo

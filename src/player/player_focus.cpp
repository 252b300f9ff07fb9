// Buttons and choices without a mouse: the keyboard and a game controller move the same
// pointed-at state the pointer does, so a button looks and clicks the same whichever pointed at
// it.
#include <algorithm>

#include "player/player.hpp"

namespace zarvo {

using platform::PadButton;

bool Player::moveFocus(bool forward) {
    const ClickWait state = execution_->state().clickWaitState();
    DynamicLayer* layers = screen_->dynamicLayers(0);
    if (state == ClickWait::None || !layers) return false;
    if (layers->focusNext(forward, state == ClickWait::Layers)) screen_->refreshAndPaint(0);
    if (!layers->hasActive()) return false;
    setCursor(layers->activeCursor() ? platform::Cursor::Select : platform::Cursor::Default);
    return true;
}

void Player::padButton(PadButton button, bool down) {
    switch (button) {
        case PadButton::LeftShoulder:
        case PadButton::RightShoulder:
            // Skips while either is held, as Ctrl does.
            padSkipHeld_ = std::max(0, padSkipHeld_ + (down ? 1 : -1));
            if (down && padSkipHeld_ == 1 && !ctrlHeld_) holdSkip(true);
            if (!down && padSkipHeld_ == 0 && !ctrlHeld_) holdSkip(false);
            return;
        default:
            break;
    }
    if (!down) return;
    switch (button) {
        case PadButton::A:
            // As Space: finishes typing, clicks the pointed-at button or ends the wait.
            onKeyDown(platform::keys::kSpace);
            return;
        case PadButton::B:
            openBacklog();
            return;
        case PadButton::X:
            hideText();
            return;
        case PadButton::Y:
            setAutoMode(!autoMode_);
            return;
        case PadButton::Start:
            openSettingsMenu();
            return;
        case PadButton::Up:
        case PadButton::Left:
            moveFocus(false);
            return;
        case PadButton::Down:
        case PadButton::Right:
            moveFocus(true);
            return;
        default:
            return;
    }
}

}  // namespace zarvo

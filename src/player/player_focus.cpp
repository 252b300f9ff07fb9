// Buttons and choices without a mouse: the keyboard and a game controller move the same
// pointed-at state the pointer does, so a button looks and clicks the same whichever pointed at
// it.
#include "player/player.hpp"

namespace zarvo {

bool Player::moveFocus(bool forward) {
    const ClickWait state = parts_.execution->state().clickWaitState();
    DynamicLayer* layers = parts_.screen->dynamicLayers(0);
    if (state == ClickWait::None || !layers) return false;
    if (layers->focusNext(forward, state == ClickWait::Layers)) parts_.screen->refreshAndPaint(0);
    if (!layers->hasActive()) return false;
    setCursor(layers->activeCursor() ? platform::Cursor::Select : platform::Cursor::Default);
    return true;
}

}  // namespace zarvo

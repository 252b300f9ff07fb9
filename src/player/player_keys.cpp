// The reader's input: to the open overlay, else through the input map to the player's own
// actions (full screen, the reading modes, screenshots in player_notices.cpp, ...), and the keys
// that end a wait to the story. The story sees no key itself.
#include "platform/clock.hpp"
#include "player/player.hpp"
#include "player/player_notice.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {

void Player::onKeyDown(int key) {
    if (Overlay* overlay = overlays_.open()) {
        overlay->onKeyDown(key);
        overlays_.present();
        return;
    }
    const PlayerInput input = input_.keyDown(key, services_.clock.ticks());
    if (input.endsModes) modes_.keyPressed(input.action);
    perform(input.action);
}

void Player::onKeyUp(int key) {
    if (Overlay* overlay = overlays_.open()) overlay->onKeyUp(key);
    perform(input_.keyUp(key));
}

void Player::onWheel(int steps) {
    if (Overlay* overlay = overlays_.open()) {
        overlay->onWheel(steps);
        overlays_.present();
        return;
    }
    perform(InputMap::wheel(steps));
}

void Player::onPadButton(platform::PadButton button, bool down) {
    if (Overlay* overlay = overlays_.open()) {
        overlay->onPadButton(button, down);
        overlays_.present();
        return;
    }
    const PlayerInput input = input_.padButton(button, down, services_.clock.ticks());
    if (input.endsModes) modes_.keyPressed(input.action);
    perform(input.action);
}

void Player::perform(PlayerAction action, int x, int y) {
    switch (action) {
        case PlayerAction::None:
            return;
        case PlayerAction::Click: {
            modes_.clicked();
            if (modes_.hurryTyping()) return;
            RunState& process = parts_.execution->state();
            const ClickWait state = process.clickWaitState();
            DynamicLayer* layers = parts_.screen->dynamicLayers(0);
            // The click counts where it happens, also when the pointer has not moved since the
            // layer appeared under it.
            if (state != ClickWait::None && layers &&
                layers->hitTest(x, y, state == ClickWait::Layers))
                parts_.screen->refreshAndPaint(0);
            if (clickActiveLayer()) return;
            if (process.inputEndsWait()) {
                process.endWait();
                answerInput();
            }
            return;
        }
        case PlayerAction::Advance:
            advance();
            return;
        case PlayerAction::ToggleSkip:
            modes_.toggleSkip();
            return;
        case PlayerAction::ToggleAuto:
            modes_.toggleAuto();
            return;
        case PlayerAction::HideText:
            modes_.hideText();
            return;
        case PlayerAction::CopyMessage:
            messages_.copy();
            return;
        case PlayerAction::FocusNext:
        case PlayerAction::FocusPrevious:
            moveFocus(action == PlayerAction::FocusNext);
            return;
        case PlayerAction::OpenSettings:
            openSettingsMenu();
            return;
        case PlayerAction::OpenBacklog:
            messages_.openBacklog();
            return;
        case PlayerAction::RollBack:
            rollBack(1);
            return;
        case PlayerAction::ToggleFullScreen:
            toggleFullScreen();
            return;
        case PlayerAction::Screenshot:
            takeScreenshot();
            return;
        case PlayerAction::AwaitSkipHold:
            // The skip begins once the key has been held a moment (tickPlayerKeys).
            services_.host.wakeAfter(InputMap::kCtrlSkipDelayMs);
            return;
        case PlayerAction::HoldSkip:
            modes_.holdSkip();
            return;
        case PlayerAction::ReleaseSkip:
            modes_.releaseSkip();
            return;
        case PlayerAction::QuickSave:
            saveState(0);
            return;
        case PlayerAction::QuickLoad:
            loadState(0);
            return;
        case PlayerAction::OpenStates:
            openSaveStates();
            return;
    }
}

void Player::advance() {
    if (modes_.hurryTyping()) return;
    // The pointed-at button, whether the pointer or the keyboard pointed at it, takes the key.
    if (clickActiveLayer()) return;
    RunState& process = parts_.execution->state();
    if (process.inputEndsWait()) {
        process.endWait();
        answerInput();
    }
}

void Player::tickPlayerKeys() {
    const uint32_t now = services_.clock.ticks();
    modes_.tick(input_.ctrlSkipDue(now));
    PlayerNotice* notice = overlays_.notice();
    if (notice && notice->expire(services_.clock.ticks()))
        overlays_.present();
    else if (notice && notice->expires())
        services_.host.wakeAfter(notice->remaining(services_.clock.ticks()));
}

void Player::toggleFullScreen() {
    if (window_.fullScreen)
        leaveFullScreen();
    else
        enterFullScreen();
    if (window_.fullScreen)
        showNotice(texts::kNoticeFullScreenOn, texts::kNoticeFullScreenOnEn);
    else
        showNotice(texts::kNoticeFullScreenOff, texts::kNoticeFullScreenOffEn);
}

}  // namespace zarvo

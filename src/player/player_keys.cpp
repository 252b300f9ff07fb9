// Keys the player answers itself, whatever the story does: full screen, message skip while Ctrl
// is held, and screenshots (player_notices.cpp). The story sees none of them.
#include "base/sjis.hpp"
#include "platform/clock.hpp"
#include "platform/file_system.hpp"
#include "player/player.hpp"
#include "player/player_notice.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {

namespace keys = platform::keys;

namespace {
constexpr int kSkipKey = keys::kA + ('s' - 'a');
constexpr int kAutoKey = keys::kA;
constexpr int kHideKey = keys::kA + ('h' - 'a');
constexpr int kCopyKey = keys::kA + ('c' - 'a');
}  // namespace

void Player::onKeyDown(int key) {
    if (Overlay* overlay = openOverlay()) {
        overlay->onKeyDown(key);
        showOverlays();
        return;
    }
    RunState& process = execution_->state();
    // Any other key ends the skip toggle.
    const bool modifier = key == keys::kControl || key == keys::kAlt || key == keys::kShift;
    if (skipToggle_ && !modifier && key != kSkipKey) setSkipToggle(false);
    if (autoMode_ && !modifier && key != kAutoKey) setAutoMode(false);
    // Ctrl with another key is a chord (Ctrl+C), not a skip.
    if (ctrlHeld_ && key != keys::kControl) {
        ctrlChord_ = true;
        if (key == kCopyKey) {
            copyMessage();
            return;
        }
    }
    switch (key) {
        case kAutoKey:
            setAutoMode(!autoMode_);
            return;
        case kHideKey:
            hideText();
            return;
        case kSkipKey:
            setSkipToggle(!skipToggle_);
            return;
        case keys::kAlt:
            altHeld_ = true;
            return;
        case keys::kShift:
            shiftHeld_ = true;
            return;
        case keys::kControl:
            if (ctrlHeld_) return;  // the key repeats while held
            ctrlHeld_ = true;
            ctrlChord_ = false;
            ctrlDownAt_ = services_.clock.ticks();
            // The skip begins once the key has been held a moment (tickPlayerKeys).
            services_.host.wakeAfter(kCtrlSkipDelayMs);
            return;
        case keys::kTab:
            moveFocus(!shiftHeld_);
            return;
        case keys::kUp:
        case keys::kLeft:
            moveFocus(false);
            return;
        case keys::kDown:
        case keys::kRight:
            moveFocus(true);
            return;
        case keys::kEscape:
        case keys::kF1:
            openSettingsMenu();
            return;
        case keys::kPageUp:
            openBacklog();
            return;
        case keys::kBackspace:
            rollBack(1);
            return;
        case keys::kF11:
            toggleFullScreen();
            return;
        case keys::kF12:
            takeScreenshot();
            return;
        case keys::kEnter:
            if (altHeld_) {
                toggleFullScreen();
                return;
            }
            break;
        default:
            break;
    }
    if (key != keys::kSpace && key != keys::kEnter) return;
    if (hurryTyping()) return;
    // The pointed-at button, whether the pointer or the keyboard pointed at it, takes the key.
    if (clickActiveLayer()) return;
    if (process.inputEndsWait()) {
        process.endWait();
        answerInput();
    }
}

// A shoulder button of a game controller held: skips at once, as a held Ctrl does after its
// moment (a pad has no chords to tell apart).
void Player::holdSkip(bool on) {
    RunState& process = execution_->state();
    if (on) {
        // A skip the story turned on itself stays on when the button is let go.
        if (!process.messageSkip()) {
            process.setMessageSkip();
            ctrlSkips_ = true;
            traceSkip();
        }
        return;
    }
    if (ctrlSkips_ && !skipToggle_) process.clearMessageSkip();
    ctrlSkips_ = false;
    traceSkip();
}

void Player::onWheel(int steps) {
    if (Overlay* overlay = openOverlay()) {
        overlay->onWheel(steps);
        showOverlays();
        return;
    }
    if (steps > 0) openBacklog();
}

void Player::onPadButton(platform::PadButton button, bool down) {
    if (Overlay* overlay = openOverlay()) {
        overlay->onPadButton(button, down);
        showOverlays();
        return;
    }
    padButton(button, down);
}

void Player::onKeyUp(int key) {
    if (Overlay* overlay = openOverlay()) overlay->onKeyUp(key);
    if (key == keys::kAlt) altHeld_ = false;
    if (key == keys::kShift) shiftHeld_ = false;
    if (key != keys::kControl) return;
    ctrlHeld_ = false;
    ctrlChord_ = false;
    if (ctrlSkips_ && !skipToggle_) execution_->state().clearMessageSkip();
    ctrlSkips_ = false;
    traceSkip();
}

void Player::tickPlayerKeys() {
    // Every wait turns the skip off; while Ctrl is held the next tick turns it on again.
    RunState& process = execution_->state();
    // A skip the story turned on itself stays on when the key is let go.
    if (ctrlHeld_ && !ctrlSkips_ && !ctrlChord_ && !process.messageSkip() &&
        platform::tickReached(services_.clock.ticks(), ctrlDownAt_, kCtrlSkipDelayMs)) {
        ctrlSkips_ = true;
        traceSkip();
    }
    if (ctrlSkips_ || skipToggle_) process.setMessageSkip();
    if (readerNotice_ && readerNotice_->expire(services_.clock.ticks()))
        showOverlays();
    else if (readerNotice_ && readerNotice_->expires())
        services_.host.wakeAfter(readerNotice_->remaining(services_.clock.ticks()));
}

void Player::toggleFullScreen() {
    if (fullScreen_)
        leaveFullScreen();
    else
        enterFullScreen();
    if (fullScreen_)
        showNotice(texts::kNoticeFullScreenOn, texts::kNoticeFullScreenOnEn);
    else
        showNotice(texts::kNoticeFullScreenOff, texts::kNoticeFullScreenOffEn);
}

}  // namespace zarvo

#include "interp/run_state.hpp"

#include <string>

namespace zarvo {

bool RunState::waitTimerOver() const {
    uint32_t length = waitTime_ > 0 ? static_cast<uint32_t>(waitTime_) : 0;
    return platform::tickReached(now(), waitStart_, length);
}

bool RunState::canStep() {
    if (playerMode_ == PlayerMode::Ready) return true;
    if (playerMode_ == PlayerMode::Waiting && timer_ && waitTimerOver()) {
        playerMode_ = PlayerMode::Ready;
        clearWaitFlags();
        timerExpired_ = true;
        return true;
    }
    return false;
}

bool RunState::beginStep() {
    if (!canStep()) return false;
    playerMode_ = PlayerMode::Running;
    return true;
}

void RunState::endStep() {
    if (playerMode_ == PlayerMode::Running) playerMode_ = PlayerMode::Ready;
}

bool RunState::takeTimerExpired() {
    bool expired = timerExpired_;
    timerExpired_ = false;
    return expired;
}

void RunState::reset() {
    playerMode_ = PlayerMode::Ready;
    waitTime_ = 0;
    clearWaitFlags();
    windowIndex_ = 0;
    layerName_.clear();
}

void RunState::beginWait() {
    clearWaitFlags();
    messageSkip_ = false;
    playerMode_ = PlayerMode::Waiting;
}

void RunState::startWaitTimer(int32_t milliseconds) {
    waitStart_ = now();
    waitTime_ = milliseconds;
    timer_ = true;
}

void RunState::endWait() {
    if (playerMode_ == PlayerMode::Waiting) {
        clearWaitFlags();
        playerMode_ = PlayerMode::Ready;
    } else if (playerMode_ == PlayerMode::MessageWait) {
        clearWaitFlags();
        playerMode_ = PlayerMode::Message;
    }
}

bool RunState::inputEndsWait() const {
    return (playerMode_ == PlayerMode::Waiting || playerMode_ == PlayerMode::MessageWait) &&
           anykeyClick_;
}

ClickWait RunState::clickWaitState() const {
    if (activeClick_)
        return playerMode_ == PlayerMode::Waiting ? ClickWait::Layers : ClickWait::None;
    return playerMode_ == PlayerMode::Waiting || playerMode_ == PlayerMode::MessageWait
               ? ClickWait::Plain
               : ClickWait::None;
}

void RunState::beginMessageEffect(int32_t windowIndex, std::string_view layerName) {
    windowIndex_ = windowIndex;
    layerName_ = layerName;
    playerMode_ = PlayerMode::Message;
}

void RunState::beginMessageWait() {
    clearWaitFlags();
    playerMode_ = PlayerMode::MessageWait;
}

bool RunState::messageCanAdvance() {
    if (playerMode_ != PlayerMode::Message && playerMode_ != PlayerMode::MessageWait) return false;
    if (messageSkip_) playerMode_ = PlayerMode::Message;
    if (playerMode_ == PlayerMode::MessageWait) {
        if (!timer_ || !waitTimerOver()) return false;
        playerMode_ = PlayerMode::Message;
        clearWaitFlags();
    }
    return true;
}

void RunState::endMessageEffect() {
    if (playerMode_ == PlayerMode::Message || playerMode_ == PlayerMode::MessageWait)
        playerMode_ = PlayerMode::Ready;
    windowIndex_ = 0;
    layerName_.clear();
}

bool RunState::halfSecondElapsed() {
    // Measured from the last true answer by unsigned difference: a "now > next" comparison
    // would answer true on every step for the half second after next wrapped past zero.
    uint32_t t = now();
    if (halfSecondStarted_ && static_cast<uint32_t>(t - lastHalfSecond_) <= 500) return false;
    halfSecondStarted_ = true;
    lastHalfSecond_ = t;
    return true;
}

int32_t RunState::remainingWaitSeconds() {
    if (!timer_ || waitTime_ <= 0) return 0;
    uint32_t elapsed = now() - waitStart_;
    uint32_t length = static_cast<uint32_t>(waitTime_);
    if (elapsed >= length) return 0;
    return static_cast<int32_t>((length - elapsed) / 1000);
}

void RunState::saveState() {
    stack_.setFrameValue(kPlayerMode, static_cast<int32_t>(playerMode_));
    stack_.setFrameValue(kWaitTime, waitTime_);
    stack_.setFrameFlag(kActiveClick, activeClick_);
    stack_.setFrameFlag(kAnykeyClick, anykeyClick_);
    stack_.setFrameFlag(kTimer, timer_);
    stack_.setFrameValue(kWindowIndex, windowIndex_);
    stack_.setFrameText(kLayerName, layerName_);
}

void RunState::loadState() {
    int32_t mode = stack_.getFrameValue(kPlayerMode, 0);
    // A mode no step knows would stop the player for good: nothing leaves it.
    bool known = mode >= static_cast<int32_t>(PlayerMode::Ready) &&
                 mode <= static_cast<int32_t>(PlayerMode::MessageWait);
    playerMode_ = known ? static_cast<PlayerMode>(mode) : PlayerMode::Ready;
    waitTime_ = stack_.getFrameValue(kWaitTime, 0);
    activeClick_ = stack_.getFrameFlag(kActiveClick, false);
    anykeyClick_ = stack_.getFrameFlag(kAnykeyClick, false);
    timer_ = stack_.getFrameFlag(kTimer, false);
    windowIndex_ = stack_.getFrameValue(kWindowIndex, 0);
    layerName_ = stack_.getFrameText(kLayerName, "");
}

RunState::Snapshot RunState::snapshot() const {
    const uint32_t t = now();
    return {playerMode_,        waitTime_,           t - waitStart_,
            halfSecondStarted_, t - lastHalfSecond_, timerExpired_,
            activeClick_,       anykeyClick_,        timer_,
            messageSkip_,       windowIndex_,        layerName_};
}

void RunState::restore(const Snapshot& s) {
    const uint32_t t = now();
    playerMode_ = s.playerMode;
    waitTime_ = s.waitTime;
    waitStart_ = t - s.waitElapsed;
    halfSecondStarted_ = s.halfSecondStarted;
    lastHalfSecond_ = t - s.halfSecondElapsed;
    timerExpired_ = s.timerExpired;
    activeClick_ = s.activeClick;
    anykeyClick_ = s.anykeyClick;
    timer_ = s.timer;
    messageSkip_ = s.messageSkip;
    windowIndex_ = s.windowIndex;
    layerName_ = s.layerName;
}

bool RunState::saveInfo(SaveContainer& save) {
    return stack_.saveInfo(save);
}

bool RunState::loadInfo(SaveContainer& save) {
    // A missing section leaves the running stack in place; only an empty result is fatal.
    stack_.loadInfo(save);
    if (stack_.pop()) {
        loadState();
        return true;
    }
    notices_.tell(platform::Notice::BrokenStack);
    return false;
}

}  // namespace zarvo

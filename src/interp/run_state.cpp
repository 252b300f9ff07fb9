#include "interp/run_state.hpp"

#include <string>

#include "zarvo/texts.hpp"

namespace zarvo {

bool RunState::waitTimerOver() const {
    uint32_t length = waitTime_ > 0 ? static_cast<uint32_t>(waitTime_) : 0;
    return platform::tickReached(now(), waitStart_, length);
}

bool RunState::CanStep() {
    if (playerMode_ == PlayerMode::Ready) return true;
    if (playerMode_ == PlayerMode::Waiting && timer_ && waitTimerOver()) {
        playerMode_ = PlayerMode::Ready;
        clearWaitFlags();
        timerExpired_ = true;
        return true;
    }
    return false;
}

bool RunState::BeginStep() {
    if (!CanStep()) return false;
    playerMode_ = PlayerMode::Running;
    return true;
}

void RunState::EndStep() {
    if (playerMode_ == PlayerMode::Running) playerMode_ = PlayerMode::Ready;
}

bool RunState::TakeTimerExpired() {
    bool expired = timerExpired_;
    timerExpired_ = false;
    return expired;
}

void RunState::Reset() {
    playerMode_ = PlayerMode::Ready;
    waitTime_ = 0;
    clearWaitFlags();
    windowIndex_ = 0;
    layerName_.clear();
}

void RunState::BeginWait() {
    clearWaitFlags();
    messageSkip_ = false;
    playerMode_ = PlayerMode::Waiting;
}

void RunState::StartWaitTimer(int32_t milliseconds) {
    waitStart_ = now();
    waitTime_ = milliseconds;
    timer_ = true;
}

void RunState::EndWait() {
    if (playerMode_ == PlayerMode::Waiting) {
        clearWaitFlags();
        playerMode_ = PlayerMode::Ready;
    } else if (playerMode_ == PlayerMode::MessageWait) {
        clearWaitFlags();
        playerMode_ = PlayerMode::Message;
    }
}

bool RunState::InputEndsWait() const {
    return (playerMode_ == PlayerMode::Waiting || playerMode_ == PlayerMode::MessageWait) && anykeyClick_;
}

int RunState::ClickWaitState() const {
    if (activeClick_) return playerMode_ == PlayerMode::Waiting ? 2 : 0;
    return playerMode_ == PlayerMode::Waiting || playerMode_ == PlayerMode::MessageWait ? 1 : 0;
}

void RunState::BeginMessageEffect(int32_t windowIndex, std::string_view layerName) {
    windowIndex_ = windowIndex;
    layerName_ = layerName;
    playerMode_ = PlayerMode::Message;
}

void RunState::BeginMessageWait() {
    clearWaitFlags();
    playerMode_ = PlayerMode::MessageWait;
}

bool RunState::MessageCanAdvance() {
    if (playerMode_ != PlayerMode::Message && playerMode_ != PlayerMode::MessageWait) return false;
    if (messageSkip_) playerMode_ = PlayerMode::Message;
    if (playerMode_ == PlayerMode::MessageWait) {
        if (!timer_ || !waitTimerOver()) return false;
        playerMode_ = PlayerMode::Message;
        clearWaitFlags();
    }
    return true;
}

void RunState::EndMessageEffect() {
    if (playerMode_ == PlayerMode::Message || playerMode_ == PlayerMode::MessageWait)
        playerMode_ = PlayerMode::Ready;
    windowIndex_ = 0;
    layerName_.clear();
}

bool RunState::HalfSecondElapsed() {
    // Measured from the last true answer by unsigned difference: a "now > next" comparison
    // would answer true on every step for the half second after next wrapped past zero.
    uint32_t t = now();
    if (halfSecondStarted_ && static_cast<uint32_t>(t - lastHalfSecond_) <= 500) return false;
    halfSecondStarted_ = true;
    lastHalfSecond_ = t;
    return true;
}

int32_t RunState::RemainingWaitSeconds() {
    if (!timer_ || waitTime_ <= 0) return 0;
    uint32_t elapsed = now() - waitStart_;
    uint32_t length = static_cast<uint32_t>(waitTime_);
    if (elapsed >= length) return 0;
    return static_cast<int32_t>((length - elapsed) / 1000);
}

void RunState::SaveState() {
    if (!stack_) return;
    stack_->SetFrameValue(kPlayerMode, static_cast<int32_t>(playerMode_));
    stack_->SetFrameValue(kWaitTime, waitTime_);
    stack_->SetFrameFlag(kActiveClick, activeClick_);
    stack_->SetFrameFlag(kAnykeyClick, anykeyClick_);
    stack_->SetFrameFlag(kTimer, timer_);
    stack_->SetFrameValue(kWindowIndex, windowIndex_);
    stack_->SetFrameText(kLayerName, layerName_);
}

void RunState::LoadState() {
    if (!stack_) return;
    int32_t mode = stack_->GetFrameValue(kPlayerMode, 0);
    // A mode no step knows would stop the player for good: nothing leaves it.
    bool known = mode >= static_cast<int32_t>(PlayerMode::Ready) &&
                 mode <= static_cast<int32_t>(PlayerMode::MessageWait);
    playerMode_ = known ? static_cast<PlayerMode>(mode) : PlayerMode::Ready;
    waitTime_ = stack_->GetFrameValue(kWaitTime, 0);
    activeClick_ = stack_->GetFrameFlag(kActiveClick, false);
    anykeyClick_ = stack_->GetFrameFlag(kAnykeyClick, false);
    timer_ = stack_->GetFrameFlag(kTimer, false);
    windowIndex_ = stack_->GetFrameValue(kWindowIndex, 0);
    layerName_ = stack_->GetFrameText(kLayerName, "");
}

bool RunState::SaveInfo(SaveContainer& save) {
    return stack_ && stack_->SaveInfo(save);
}

bool RunState::LoadInfo(SaveContainer& save) {
    if (stack_) {
        // A missing section leaves the running stack in place; only an empty result is fatal.
        stack_->LoadInfo(save);
        if (stack_->Pop()) {
            LoadState();
            return true;
        }
    }
    if (dialogs_) dialogs_->showMessage(platform::BoxKind::Plain, texts::kBrokenStack);
    return false;
}

}  // namespace zarvo

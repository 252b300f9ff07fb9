// The player's part of its save states: taking one between two steps and going back to one.
#include "audio/music_control.hpp"
#include "player/player.hpp"
#include "save/save_files.hpp"

namespace zarvo {

PlayerState Player::captureState() {
    if (stepping_ || !screen_->screen(0)) return {};
    ReaderState reader{messagePending_, pendingText_, lastMessageLayer_};
    return zarvo::captureState(
        {*story_, *execution_, *screen_, *music_, save_->messageHistory(), reader});
}

StateRefusal Player::restoreState(const PlayerState& state) {
    if (stepping_) return StateRefusal::Busy;
    ReaderState reader;
    const StateRefusal refusal = zarvo::restoreState(
        {*story_, *execution_, *screen_, *music_, save_->messageHistory(), reader}, state);
    if (refusal != StateRefusal::None) return refusal;
    messagePending_ = reader.messagePending;
    pendingText_ = std::move(reader.pendingText);
    lastMessageLayer_ = std::move(reader.lastMessageLayer);
    // The reader goes on reading at their own pace from here.
    ctrlSkips_ = false;
    setSkipToggle(false);
    execution_->state().clearMessageSkip();
    traceSkip();
    setAutoMode(false);
    autoArmed_ = false;
    storyEndHeld_ = false;
    screen_->paint(0);
    showOverlays();
    afterSteps();
    return StateRefusal::None;
}

}  // namespace zarvo

// The player's part of its save states: taking one between two steps, going back to one, and
// the reader's slots (F5, F9 and the save-state overlay).
#include <cstdio>

#include "audio/music_control.hpp"
#include "base/sjis.hpp"
#include "platform/clock.hpp"
#include "player/notices.hpp"
#include "player/player.hpp"
#include "player/save_states.hpp"
#include "save/save_files.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {
namespace {

// A host path in a box: in the code page where it can be.
std::string forDisplay(const std::string& path) {
    std::string sjis;
    return utf8ToSjis(path, sjis) ? sjis : path;
}

}  // namespace

SaveStates& Player::saveStates() {
    if (!states_) states_ = std::make_unique<SaveStates>(services_.files);
    return *states_;
}

void Player::keepSaveStates(const std::string& dataFolder) {
    saveStates().useFolder(SaveStates::folderFor(services_.files, dataFolder, projectPath_));
}

PlayerState Player::captureState(PictureStorage pictures) {
    if (stepping_ || !screen_->screen(0)) return {};
    SaveStates& states = saveStates();
    if (states.storyId.empty()) states.storyId = storyIdentity(*story_);
    ReaderState reader{messagePending_, pendingText_, lastMessageLayer_};
    return zarvo::captureState(
        {*story_, *execution_, *screen_, *music_, save_->messageHistory(), reader, states.storyId},
        pictures);
}

StateRefusal Player::restoreState(const PlayerState& state) {
    if (stepping_) return StateRefusal::Busy;
    SaveStates& states = saveStates();
    if (states.storyId.empty()) states.storyId = storyIdentity(*story_);
    ReaderState reader;
    const StateRefusal refusal = zarvo::restoreState(
        {*story_, *execution_, *screen_, *music_, save_->messageHistory(), reader, states.storyId},
        state);
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

bool Player::saveState(int slot) {
    SaveStates& states = saveStates();
    if (slot < 0 || slot > SaveStates::kSlots) return false;
    if (stepping_) {
        states.pending = slot + 1;
        return false;
    }
    if (!states.kept()) {
        showNotice(texts::kStatesNotKept, texts::kStatesNotKeptEn, {}, false);
        return false;
    }
    PlayerState state = captureState();
    std::string message;
    if (const Layer* layer = screen_->findLayer(0, lastMessageLayer_))
        message = layer->text.layoutText.substr(0, layer->text.shownBytes());
    const platform::LocalTime t = services_.clock.localTime();
    char date[32];
    std::snprintf(date, sizeof date, "%04d/%02d/%02d %02d:%02d:%02d", t.year % 10000, t.month % 100,
                  t.day % 100, t.hour % 100, t.minute % 100, t.second % 100);
    if (state.empty() ||
        !states.write(slot, std::move(state), screen_->screen(0)->output(), date, message)) {
        notices_->tell(platform::Notice::StateWriteFailed, {forDisplay(states.pathOf(slot))});
        return false;
    }
    tellPlayerEvent("state save " + std::to_string(slot));
    showNotice(texts::kStateSaved, texts::kStateSavedEn, std::to_string(slot), false);
    return true;
}

bool Player::loadState(int slot) {
    SaveStates& states = saveStates();
    if (slot < 0 || slot > SaveStates::kSlots) return false;
    if (stepping_) {
        states.pending = -slot - 1;
        return false;
    }
    if (!states.exists(slot)) {
        showNotice(texts::kStateEmpty, texts::kStateEmptyEn, std::to_string(slot), false);
        return false;
    }
    PlayerState state;
    StateRefusal refusal = states.read(slot, state) ? restoreState(state) : StateRefusal::Damaged;
    switch (refusal) {
        case StateRefusal::None:
            tellPlayerEvent("state load " + std::to_string(slot));
            showNotice(texts::kStateLoaded, texts::kStateLoadedEn, std::to_string(slot), false);
            return true;
        case StateRefusal::OtherStory:
            notices_->tell(platform::Notice::StateOtherStory);
            break;
        case StateRefusal::OtherPlayer:
            notices_->tell(platform::Notice::StateOtherPlayer);
            break;
        case StateRefusal::Damaged:
        case StateRefusal::Busy:
            notices_->tell(platform::Notice::StateDamaged, {forDisplay(states.pathOf(slot))});
            break;
    }
    return false;
}

void Player::runPendingState() {
    if (!states_ || states_->pending == 0 || stepping_) return;
    const int pending = states_->pending;
    states_->pending = 0;
    if (pending > 0)
        saveState(pending - 1);
    else
        loadState(-pending - 1);
}

}  // namespace zarvo

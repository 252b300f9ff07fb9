// The player's part of its save states: taking one between two steps, going back to one, and
// the reader's slots (F5, F9 and the save-state overlay).
#include <cstdio>

#include "audio/music_control.hpp"
#include "base/sjis.hpp"
#include "platform/clock.hpp"
#include "player/notices.hpp"
#include "player/player.hpp"
#include "player/save_states.hpp"
#include "player/save_states_overlay.hpp"
#include "player/settings_keeper.hpp"
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
    if (choosingStory()) {
        chooser_.readFolder = dataFolder;  // for the story once it is chosen
        return;
    }
    saveStates().useFolder(
        SaveStates::folderFor(services_.files, dataFolder, parts_.story->projectPath()));
}

PlayerState Player::captureState() {
    if (run_.stepping || !parts_.screen->screen(0)) return {};
    SaveStates& states = saveStates();
    if (states.storyId.empty()) states.storyId = storyIdentity(*parts_.story);
    ReaderState reader = messages_.readerState();
    return zarvo::captureState({*parts_.story, *parts_.execution, *parts_.screen, *parts_.music,
                                parts_.save->messageHistory(), reader, states.storyId});
}

StateRefusal Player::restoreState(const PlayerState& state, SnapshotPictures* shared) {
    if (run_.stepping) return StateRefusal::Busy;
    SaveStates& states = saveStates();
    if (states.storyId.empty()) states.storyId = storyIdentity(*parts_.story);
    ReaderState reader;
    const StateRefusal refusal =
        zarvo::restoreState({*parts_.story, *parts_.execution, *parts_.screen, *parts_.music,
                             parts_.save->messageHistory(), reader, states.storyId},
                            state, shared);
    if (refusal != StateRefusal::None) return refusal;
    messages_.restore(std::move(reader));
    // The reader goes on reading at their own pace from here.
    modes_.clicked();
    run_.storyEndHeld = false;
    parts_.screen->paint(0);
    overlays_.present();
    modes_.afterSteps();
    return StateRefusal::None;
}

bool Player::saveState(int slot) {
    SaveStates& states = saveStates();
    if (slot < 0 || slot > SaveStates::kSlots) return false;
    if (run_.stepping) {
        states.pending = slot + 1;
        return false;
    }
    if (!states.kept()) {
        showNotice(texts::kStatesNotKept, texts::kStatesNotKeptEn, {}, false);
        return false;
    }
    PlayerState state = captureState();
    std::string message;
    if (const Layer* layer = parts_.screen->findLayer(0, messages_.layer()))
        message = layer->text.layoutText.substr(0, layer->text.shownBytes());
    const platform::LocalTime t = services_.clock.localTime();
    char date[32];
    std::snprintf(date, sizeof date, "%04d/%02d/%02d %02d:%02d:%02d", t.year % 10000, t.month % 100,
                  t.day % 100, t.hour % 100, t.minute % 100, t.second % 100);
    if (state.empty() ||
        !states.write(slot, std::move(state), parts_.screen->screen(0)->output(), date, message)) {
        parts_.notices->tell(platform::Notice::StateWriteFailed, {forDisplay(states.pathOf(slot))});
        return false;
    }
    tellPlayerEvent("state save " + std::to_string(slot));
    showNotice(texts::kStateSaved, texts::kStateSavedEn, std::to_string(slot), false);
    return true;
}

bool Player::loadState(int slot) {
    SaveStates& states = saveStates();
    if (slot < 0 || slot > SaveStates::kSlots) return false;
    if (run_.stepping) {
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
            forgetRollback();
            tellPlayerEvent("state load " + std::to_string(slot));
            showNotice(texts::kStateLoaded, texts::kStateLoadedEn, std::to_string(slot), false);
            return true;
        case StateRefusal::OtherStory:
            parts_.notices->tell(platform::Notice::StateOtherStory);
            break;
        case StateRefusal::OtherPlayer:
            parts_.notices->tell(platform::Notice::StateOtherPlayer);
            break;
        case StateRefusal::Damaged:
        case StateRefusal::Busy:
            parts_.notices->tell(platform::Notice::StateDamaged, {forDisplay(states.pathOf(slot))});
            break;
    }
    return false;
}

void Player::runPendingState() {
    if (!states_ || states_->pending == 0 || run_.stepping) return;
    const int pending = states_->pending;
    states_->pending = 0;
    if (pending > 0)
        saveState(pending - 1);
    else
        loadState(-pending - 1);
}

void Player::openSaveStates() {
    SaveStates& states = saveStates();
    if (overlays_.open()) return;
    if (!states.overlay) {
        SaveStatesOverlay::Actions actions;
        actions.slot = [this](int slot) { return saveStates().slot(slot); };
        actions.save = [this](int slot) { return saveState(slot); };
        actions.load = [this](int slot) { return loadState(slot); };
        actions.remove = [this](int slot) {
            const bool removed = saveStates().remove(slot);
            if (removed) tellPlayerEvent("state delete " + std::to_string(slot));
            return removed;
        };
        actions.openChange = [this](bool open) {
            tellPlayerEvent(open ? "states open" : "states close");
        };
        auto overlay = std::make_unique<SaveStatesOverlay>(
            std::move(actions), services_.fonts, parts_.story->systemFont, settings_.language());
        states.overlay = overlay.get();
        overlays_.add(std::move(overlay));
    }
    static_cast<SaveStatesOverlay*>(states.overlay)->open(SaveStatesOverlay::Mode::Load);
    overlays_.present();
}

}  // namespace zarvo

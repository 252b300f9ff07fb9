// Reading pace: the reader's settings taking effect, and input answered within a frame.
#include "player/player.hpp"

namespace zarvo {

void Player::forceTextSpeed(TextSpeed speed) {
    settings_.forceTextSpeed(speed);
}

void Player::usePlayerSettings(const PlayerSettings& settings) {
    settings_.use(settings);
}

void Player::keepReadMessages(const std::string& folder) {
    if (choosingStory()) {
        chooser_.readFolder = folder;  // for the story once it is chosen
        return;
    }
    messages_.keepRead(folder, projectPath_, parts_.story->projectPath());
}

void Player::answerInput() {
    // Inside a round of steps (input pumped during an effect) the round itself goes on.
    if (run_.stepping || run_.firstActivationPending) return;
    PlayerMode mode = parts_.execution->state().playerMode();
    if (mode == PlayerMode::Ready || mode == PlayerMode::Message) runSteps();
}

}  // namespace zarvo

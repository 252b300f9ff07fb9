// Music and sound: files are looked up like every data file; one that is found nowhere is
// silently not played.
#include "audio/music_control.hpp"
#include "player/player.hpp"

namespace zarvo {

bool Player::runMusic(const Command& command) {
    std::string path = access_->resolveDataFile(command.getParamText("Music.FileName", ""));
    if (path != Story::kNoEntry)
        music_->playMusic(path, command.getParamValue("Music.Loop", 0));
    return true;
}

bool Player::runSound(const Command& command) {
    std::string path = access_->resolveDataFile(command.getParamText("Sound.FileName", ""));
    SoundMode mode = command.getParamFlag("Sound.Wait", false)      ? SoundMode::Wait
                     : command.getParamFlag("Sound.Protect", true) ? SoundMode::Protect
                                                                    : SoundMode::Free;
    if (path != Story::kNoEntry) music_->playSound(path, mode);
    return true;
}

bool Player::runMusicStop(const Command&) {
    music_->stopMusic();
    return true;
}

}  // namespace zarvo

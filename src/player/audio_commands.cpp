// Music and sound: files are looked up like every data file; one that is found nowhere is
// silently not played.
#include "audio/music_control.hpp"
#include "player/player.hpp"

namespace zarvo {

bool Player::runMusic(const Command& command) {
    std::string path = access_->ResolveDataFile(command.GetParamText("Music.FileName", ""));
    if (path != Story::kNoEntry)
        music_->PlayMusic(path, command.GetParamValue("Music.Loop", 0));
    return true;
}

bool Player::runSound(const Command& command) {
    std::string path = access_->ResolveDataFile(command.GetParamText("Sound.FileName", ""));
    SoundMode mode = command.GetParamFlag("Sound.Wait", false)      ? SoundMode::Wait
                     : command.GetParamFlag("Sound.Protect", true) ? SoundMode::Protect
                                                                    : SoundMode::Free;
    if (path != Story::kNoEntry) music_->PlaySound(path, mode);
    return true;
}

bool Player::runMusicStop(const Command&) {
    music_->StopMusic();
    return true;
}

}  // namespace zarvo

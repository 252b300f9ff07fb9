// Music and sound: files are looked up like every data file; one that is found nowhere is
// silently not played.
#include "audio/music_control.hpp"
#include "player/player.hpp"

namespace zarvo {

bool TfrmMain::Music(const TZarvoCommand& command) {
    std::string path = access_->ResolveDataFile(command.GetParamText("Music.FileName", ""));
    if (path != TZarvoAccessControl::kNoEntry)
        music_->PlayMusic(path, command.GetParamValue("Music.Loop", 0));
    return true;
}

bool TfrmMain::Sound(const TZarvoCommand& command) {
    std::string path = access_->ResolveDataFile(command.GetParamText("Sound.FileName", ""));
    SoundMode mode = command.GetParamFlag("Sound.Wait", false)      ? SoundMode::Wait
                     : command.GetParamFlag("Sound.Protect", true) ? SoundMode::Protect
                                                                    : SoundMode::Free;
    if (path != TZarvoAccessControl::kNoEntry) music_->PlaySound(path, mode);
    return true;
}

bool TfrmMain::MusicStop(const TZarvoCommand&) {
    music_->StopMusic();
    return true;
}

}  // namespace zarvo

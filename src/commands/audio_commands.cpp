// Music and sound: files are looked up like every data file; one that is found nowhere is
// silently not played.
#include <optional>
#include <string>

#include "audio/music_control.hpp"
#include "commands/interpreter.hpp"
#include "story/story.hpp"

namespace zarvo {

bool Interpreter::runMusic(const Command& command) {
    if (std::optional<std::string> path =
            story_.findDataFile(command.text(params::music::kFileName)))
        music_.playMusic(*path, command.number(params::music::kLoop));
    return true;
}

bool Interpreter::runSound(const Command& command) {
    std::optional<std::string> path = story_.findDataFile(command.text(params::sound::kFileName));
    SoundMode mode = command.flag(params::sound::kWait)      ? SoundMode::Wait
                     : command.flag(params::sound::kProtect) ? SoundMode::Protect
                                                             : SoundMode::Free;
    if (path) music_.playSound(*path, mode);
    return true;
}

bool Interpreter::runMusicStop(const Command&) {
    music_.stopMusic();
    return true;
}

}  // namespace zarvo

// Save files, keyed values and player-wide switches. The save system reports its own failures;
// these handlers go on whatever it answers.
#include <string>

#include "audio/music_control.hpp"
#include "base/text.hpp"
#include "commands/interpreter.hpp"
#include "graphics/screen.hpp"
#include "interp/execution.hpp"
#include "platform/notice_sink.hpp"
#include "save/save_files.hpp"
#include "story/story.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {

using platform::Notice;

bool Interpreter::runSaveCtrl(const Command& command) {
    namespace p = params::save_ctrl;
    SaveFiles& save = saves_;
    Variables& vars = story_.variables();
    SaveCommand what = command.choice(p::kCommand, SaveCommand::Other);
    // The file commands act on a file in the data folder; without a name there is none (the
    // folder itself must never be taken for a save file).
    bool error;
    std::string name = vars.expandText(command.text(p::kFileName), error);
    std::string path = name.empty() ? std::string() : save.saveFilePath(name);
    using Mode = SaveFiles::FileMode;
    switch (what) {
        case SaveCommand::Open:
        case SaveCommand::Create:
        case SaveCommand::Append: {
            Mode mode = what == SaveCommand::Open     ? Mode::Read
                        : what == SaveCommand::Create ? Mode::Create
                                                      : Mode::Append;
            if (!path.empty()) save.openSaveFile(path, mode);
            break;
        }
        case SaveCommand::Close:
            save.closeSaveFile();
            break;
        case SaveCommand::AutoSave:
            if (!path.empty()) save.autoSave(path);
            break;
        case SaveCommand::AutoLoad:
            if (!path.empty()) save.autoLoad(path);
            break;
        case SaveCommand::LoadValue: {
            std::string value = save.loadValue(command.text(p::kKey));
            std::string variable = command.text(p::kVariable);
            if (variable.starts_with('%')) {
                vars.setValue(variable, parseInt(value, 0));
            } else if (variable.starts_with('$')) {
                vars.setText(variable, value);
            } else {
                notices_.tell(Notice::LoadValueBadVariable);
                return false;
            }
            break;
        }
        case SaveCommand::SaveValue:
            save.saveValue(command.text(p::kKey), vars.expandText(command.text(p::kValue), error));
            break;
        case SaveCommand::Other:
            return false;
    }
    return true;
}

bool Interpreter::runSystem(const Command& command) {
    namespace p = params::system;
    SystemCommand what = command.choice(p::kCommand, SystemCommand::Other);
    if (what == SystemCommand::Other) {
        notices_.tell(Notice::UnknownSystemCommand, {command.text(p::kCommand)});
        return false;
    }
    const bool takesVolume =
        what == SystemCommand::MusicVolume || what == SystemCommand::SoundVolume;
    return runSystemAction(what, takesVolume ? command.number(p::kVolume) : 0);
}

bool Interpreter::runSystemAction(SystemCommand what, int32_t volume) {
    Variables& vars = story_.variables();
    switch (what) {
        case SystemCommand::MessageSkip:
            execution_.state().setMessageSkip();
            break;
        case SystemCommand::MessageEffect:
            screen_.messageMode = Screen::MessageMode::Effect;
            break;
        case SystemCommand::MessageDirect:
            screen_.messageMode = Screen::MessageMode::Direct;
            break;
        case SystemCommand::MusicEnable:
        case SystemCommand::MusicDisable:
            music_.setMusicEnabled(what == SystemCommand::MusicEnable);
            break;
        case SystemCommand::SoundEnable:
        case SystemCommand::SoundDisable:
            music_.setSoundEnabled(what == SystemCommand::SoundEnable);
            break;
        case SystemCommand::MusicVolume:
            music_.setMusicVolume(volume);
            vars.setValue("%_musicvolume%", volume);
            break;
        case SystemCommand::SoundVolume:
            music_.setSoundVolume(volume);
            vars.setValue("%_soundvolume%", volume);
            break;
        case SystemCommand::FullScreen:
            program_.enterFullScreen();
            break;
        case SystemCommand::WindowMode:
            program_.leaveFullScreen();
            break;
        case SystemCommand::Other:
            return false;
    }
    return true;
}

}  // namespace zarvo

// Save files, keyed values and player-wide switches. The save system reports its own failures;
// these handlers go on whatever it answers.
#include <string>

#include "audio/music_control.hpp"
#include "base/text.hpp"
#include "platform/dialogs.hpp"
#include "save/save_files.hpp"
#include "player/player.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {

using platform::BoxKind;

bool Player::runSaveCtrl(const Command& command) {
    SaveFiles& save = *save_;
    Variables& vars = access_->variables();
    std::string what = command.getParamText("SaveCtrl.Command", "");
    // The file commands act on a file in the data folder; without a name there is none (the
    // folder itself must never be taken for a save file).
    bool error;
    std::string name = vars.expandText(command.getParamText("SaveCtrl.FileName", ""), error);
    std::string path = name.empty() ? std::string() : save.saveFilePath(name);
    if (what == "Open" || what == "Create" || what == "Append") {
        int mode = what == "Open"     ? SaveFiles::kRead
                   : what == "Create" ? SaveFiles::kCreate
                                      : SaveFiles::kAppend;
        if (!path.empty()) save.openSaveFile(path, mode);
    } else if (what == "Close") {
        save.closeSaveFile();
    } else if (what == "AutoSave") {
        if (!path.empty()) save.autoSave(path);
    } else if (what == "AutoLoad") {
        if (!path.empty()) save.autoLoad(path);
    } else if (what == "LoadValue") {
        std::string value = save.loadValue(command.getParamText("SaveCtrl.Key", ""));
        std::string variable = command.getParamText("SaveCtrl.Variable", "");
        if (variable.starts_with('%')) {
            vars.setValue(variable, parseInt(value, 0));
        } else if (variable.starts_with('$')) {
            vars.setText(variable, value);
        } else {
            services_.dialogs->showMessage(BoxKind::WarningOk, texts::kLoadValueBadVariable);
            return false;
        }
    } else if (what == "SaveValue") {
        save.saveValue(command.getParamText("SaveCtrl.Key", ""),
                       vars.expandText(command.getParamText("SaveCtrl.Value", ""), error));
    } else {
        return false;
    }
    return true;
}

bool Player::runSystem(const Command& command) {
    std::string what = command.getParamText("System.Command", "");
    Variables& vars = access_->variables();
    if (what == "MessageSkip") {
        access_->process().setMessageSkip();
    } else if (what == "MessageEffect") {
        screen_->messageMode = Screen::MessageMode::Effect;
    } else if (what == "MessageDirect") {
        screen_->messageMode = Screen::MessageMode::Direct;
    } else if (what == "MusicEnable" || what == "MusicDisable") {
        music_->setMusicEnabled(what == "MusicEnable");
    } else if (what == "SoundEnable" || what == "SoundDisable") {
        music_->setSoundEnabled(what == "SoundEnable");
    } else if (what == "MusicVolume") {
        int32_t volume = command.getParamValue("System.Volume", 100);
        music_->setMusicVolume(volume);
        vars.setValue("%_musicvolume%", volume);
    } else if (what == "SoundVolume") {
        int32_t volume = command.getParamValue("System.Volume", 100);
        music_->setSoundVolume(volume);
        vars.setValue("%_soundvolume%", volume);
    } else if (what == "FullScreen") {
        enterFullScreen();
    } else if (what == "WindowMode") {
        leaveFullScreen();
    } else {
        std::string text(texts::kUnknownSystemCommandBefore);
        text.append(what).append(texts::kUnknownSystemCommandAfter);
        services_.dialogs->showMessage(BoxKind::Plain, text);
        return false;
    }
    return true;
}

}  // namespace zarvo

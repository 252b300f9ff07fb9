#include "player/settings_keeper.hpp"

#include <vector>

#include "graphics/screen.hpp"

namespace zarvo {

void SettingsKeeper::read(const Warn& warn) {
    if (path_.empty()) return;
    std::vector<std::string> problems;
    PlayerSettings read;
    if (!loadPlayerSettings(files_, path_, read, problems)) {
        // Unreadable or far too large: the defaults, and the file is replaced at the next change.
        if (warn) warn("cannot read the settings " + path_ + "; using defaults");
        use(settings_);
        return;
    }
    use(read);
    for (const auto& problem : problems)
        if (warn) warn(path_ + ": ignored " + problem);
}

void SettingsKeeper::write(const Warn& warn) {
    if (!dirty_ || path_.empty()) return;
    dirty_ = false;
    if (!savePlayerSettings(files_, path_, settings_) && warn)
        warn("cannot write the settings " + path_);
}

void SettingsKeeper::use(const PlayerSettings& settings) {
    settings_ = settings;
    // The command line's speed holds for this run only; the file keeps the reader's own.
    const TextSpeed speed = textSpeedOverride_.value_or(settings.textSpeed);
    switch (speed) {
        case TextSpeed::Instant:
            screen_.charWaitPercent = 0;
            break;
        case TextSpeed::Slow:
            screen_.charWaitPercent = 200;
            break;
        case TextSpeed::Story:
            screen_.charWaitPercent = 100;
            break;
        case TextSpeed::Fast:
            screen_.charWaitPercent = 50;
            break;
    }
    screen_.lineBreakRules = settings.lineBreakRules;
}

void SettingsKeeper::forceTextSpeed(TextSpeed speed) {
    textSpeedOverride_ = speed;
    use(settings_);
}

bool SettingsKeeper::change(const std::string& name, const std::string& value) {
    if (!settings_.set(name, value)) return false;
    dirty_ = true;
    use(settings_);  // the reading pace follows at once
    return true;
}

}  // namespace zarvo

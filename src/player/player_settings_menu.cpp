// The reader's settings menu and the file that keeps the reader's settings between runs. The
// settings the story can see (music, sound, full screen) change through the same paths as its
// "@System" command, so its variables follow; the rest never reach the story.
#include <algorithm>

#include "audio/music_control.hpp"
#include "platform/file_system.hpp"
#include "player/player.hpp"
#include "player/settings_menu.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {
namespace {

// A text of the player's own in the reader's language.
class MenuTexts {
  public:
    explicit MenuTexts(MenuLanguage language) : english_(language == MenuLanguage::English) {}
    std::string operator()(std::string_view japanese, std::string_view english) const {
        return std::string(english_ ? english : japanese);
    }

  private:
    bool english_;
};

#define ZARVO_MENU_TEXT(name) texts::kMenu##name, texts::kMenu##name##En

std::string flagWord(bool on) {
    return on ? "on" : "off";
}

int32_t stepped(int32_t value, int step, int32_t by, int32_t low, int32_t high) {
    return std::clamp(value + step * by, low, high);
}

}  // namespace

void Player::readPlayerSettings() {
    if (settingsPath_.empty()) return;
    std::vector<std::string> problems;
    PlayerSettings read;
    if (!loadPlayerSettings(services_.files, settingsPath_, read, problems)) {
        // Unreadable or far too large: the defaults, and the file is replaced at the next change.
        if (onWarning) onWarning("cannot read the settings " + settingsPath_ + "; using defaults");
        usePlayerSettings(settings_);
        return;
    }
    usePlayerSettings(read);
    for (const auto& problem : problems)
        if (onWarning) onWarning(settingsPath_ + ": ignored " + problem);
}

void Player::settingChanged(const std::string& name, const std::string& value) {
    tellPlayerEvent("setting " + name + "=" + value);
}

void Player::settingsMenuOpened(bool open) {
    tellPlayerEvent(open ? "settings open" : "settings close");
    if (!open) writePlayerSettings();
}

void Player::writePlayerSettings() {
    if (!settingsDirty_ || settingsPath_.empty()) return;
    settingsDirty_ = false;
    if (!savePlayerSettings(services_.files, settingsPath_, settings_) && onWarning)
        onWarning("cannot write the settings " + settingsPath_);
}

void Player::openSettingsMenu() {
    if (!menu_ || openOverlay()) return;
    menu_->open();
    showOverlays();
}

void Player::buildSettingsMenu() {
    if (menu_) return;
    const MenuTexts text(language_);
    using Row = SettingsMenu::Row;
    std::vector<Row> rows;
    const std::string on = text(ZARVO_MENU_TEXT(On)), off = text(ZARVO_MENU_TEXT(Off));
    auto onOff = [on, off](bool value) { return value ? on : off; };

    // A reader's setting: changes settings_ by name, so the file and the trace use one spelling.
    auto readerSetting = [this](const std::string& name, const std::string& value) {
        if (!settings_.set(name, value)) return;
        settingsDirty_ = true;
        usePlayerSettings(settings_);  // the reading pace follows at once
        settingChanged(name, value);
    };

    const std::vector<std::string> speeds{
        text(ZARVO_MENU_TEXT(SpeedInstant)), text(ZARVO_MENU_TEXT(SpeedSlow)),
        text(ZARVO_MENU_TEXT(SpeedStory)), text(ZARVO_MENU_TEXT(SpeedFast))};
    static constexpr std::string_view kSpeedNames[] = {"instant", "slow", "story", "fast"};
    rows.push_back({text(ZARVO_MENU_TEXT(TextSpeed)),
                    [this, speeds] { return speeds[static_cast<size_t>(settings_.textSpeed)]; },
                    [this, readerSetting](int step) {
                        const int next = (static_cast<int>(settings_.textSpeed) + step + 4) % 4;
                        readerSetting("text-speed", std::string(kSpeedNames[next]));
                    }});
    rows.push_back({text(ZARVO_MENU_TEXT(AutoDelay)),
                    [this] { return std::to_string(settings_.autoDelayMs) + " ms"; },
                    [this, readerSetting](int step) {
                        readerSetting("auto-delay",
                                      std::to_string(stepped(settings_.autoDelayMs, step, 100, 0,
                                                             PlayerSettings::kMaxDelayMs)));
                    }});
    rows.push_back({text(ZARVO_MENU_TEXT(AutoPerChar)),
                    [this] { return std::to_string(settings_.autoPerCharMs) + " ms"; },
                    [this, readerSetting](int step) {
                        readerSetting("auto-per-char",
                                      std::to_string(stepped(settings_.autoPerCharMs, step, 10, 0,
                                                             PlayerSettings::kMaxDelayMs)));
                    }});
    auto readerFlag = [&](std::string_view label, std::string_view labelEn, const char* name,
                          bool PlayerSettings::*member) {
        rows.push_back({text(label, labelEn),
                        [this, onOff, member] { return onOff(settings_.*member); },
                        [this, readerSetting, name, member](int) {
                            readerSetting(name, flagWord(!(settings_.*member)));
                        }});
    };
    readerFlag(ZARVO_MENU_TEXT(SkipReadOnly), "skip-read-only", &PlayerSettings::skipReadOnly);
    readerFlag(ZARVO_MENU_TEXT(CopyEachMessage), "copy-each-message",
               &PlayerSettings::copyEachMessage);
    readerFlag(ZARVO_MENU_TEXT(LineBreakRules), "line-break-rules",
               &PlayerSettings::lineBreakRules);

    // The story's own settings, through "@System"; they persist in the story's settings file.
    rows.push_back({text(ZARVO_MENU_TEXT(Music)),
                    [this, onOff] { return onOff(music_->musicEnabled()); },
                    [this](int) {
                        const bool now = !music_->musicEnabled();
                        interpreter_->runSystemAction(now ? SystemCommand::MusicEnable
                                                          : SystemCommand::MusicDisable);
                        settingChanged("music", flagWord(now));
                    }});
    rows.push_back({text(ZARVO_MENU_TEXT(MusicVolume)),
                    [this] { return std::to_string(music_->getMusicVolume()); },
                    [this](int step) {
                        const int32_t volume = stepped(music_->getMusicVolume(), step, 10, 0, 100);
                        interpreter_->runSystemAction(SystemCommand::MusicVolume, volume);
                        settingChanged("music-volume", std::to_string(volume));
                    }});
    rows.push_back({text(ZARVO_MENU_TEXT(Sound)),
                    [this, onOff] { return onOff(music_->soundEnabled()); },
                    [this](int) {
                        const bool now = !music_->soundEnabled();
                        interpreter_->runSystemAction(now ? SystemCommand::SoundEnable
                                                          : SystemCommand::SoundDisable);
                        settingChanged("sound", flagWord(now));
                    }});
    rows.push_back({text(ZARVO_MENU_TEXT(SoundVolume)),
                    [this] { return std::to_string(music_->getSoundVolume()); },
                    [this](int step) {
                        const int32_t volume = stepped(music_->getSoundVolume(), step, 10, 0, 100);
                        interpreter_->runSystemAction(SystemCommand::SoundVolume, volume);
                        settingChanged("sound-volume", std::to_string(volume));
                    }});
    rows.push_back({text(ZARVO_MENU_TEXT(FullScreen)), [this, onOff] { return onOff(fullScreen_); },
                    [this](int) {
                        interpreter_->runSystemAction(fullScreen_ ? SystemCommand::WindowMode
                                                                  : SystemCommand::FullScreen);
                        settingChanged("fullscreen", flagWord(fullScreen_));
                    }});
    const std::vector<std::string> scalings{text(ZARVO_MENU_TEXT(ScalingSharp)),
                                            text(ZARVO_MENU_TEXT(ScalingWhole)),
                                            text(ZARVO_MENU_TEXT(ScalingSmooth))};
    static constexpr std::string_view kScalingNames[] = {"sharp", "whole", "smooth"};
    rows.push_back({text(ZARVO_MENU_TEXT(Scaling)),
                    [this, scalings] { return scalings[static_cast<size_t>(settings_.scaling)]; },
                    [this, readerSetting](int step) {
                        const int next = (static_cast<int>(settings_.scaling) + step + 3) % 3;
                        readerSetting("scaling", std::string(kScalingNames[next]));
                        services_.host.setScaling(settings_.scaling);
                    }});
    rows.push_back({text(ZARVO_MENU_TEXT(Back)), nullptr, [this](int) { menu_->close(); }});
    rows.push_back({text(ZARVO_MENU_TEXT(Quit)), nullptr, [this](int) { quit(); }});

    auto menu = std::make_unique<SettingsMenu>(text(ZARVO_MENU_TEXT(Title)), std::move(rows),
                                               services_.fonts, story_->systemFont);
    menu->onOpenChange = [this](bool open) { settingsMenuOpened(open); };
    menu_ = menu.get();
    addOverlay(std::move(menu));
    services_.host.setScaling(settings_.scaling);
}

}  // namespace zarvo

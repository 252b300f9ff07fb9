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

void Player::settingChanged(const std::string& name, const std::string& value) {
    tellPlayerEvent("setting " + name + "=" + value);
}

void Player::settingsMenuOpened(bool open) {
    tellPlayerEvent(open ? "settings open" : "settings close");
    if (!open) settings_.write([this](const std::string& utf8) { warn(utf8); });
}

void Player::warn(const std::string& utf8) {
    if (onWarning) onWarning(utf8);
}

void Player::openSettingsMenu() {
    SettingsMenu* menu = settings_.menu();
    if (!menu || overlays_.open()) return;
    menu->open();
    overlays_.present();
}

void Player::buildSettingsMenu() {
    if (settings_.menu()) return;
    const MenuTexts text(settings_.language());
    using Row = SettingsMenu::Row;
    std::vector<Row> rows;
    const std::string on = text(ZARVO_MENU_TEXT(On)), off = text(ZARVO_MENU_TEXT(Off));
    auto onOff = [on, off](bool value) { return value ? on : off; };

    // A reader's setting, by name, so the file and the trace use one spelling.
    auto readerSetting = [this](const std::string& name, const std::string& value) {
        if (settings_.change(name, value)) settingChanged(name, value);
    };

    const std::vector<std::string> speeds{
        text(ZARVO_MENU_TEXT(SpeedInstant)), text(ZARVO_MENU_TEXT(SpeedSlow)),
        text(ZARVO_MENU_TEXT(SpeedStory)), text(ZARVO_MENU_TEXT(SpeedFast))};
    static constexpr std::string_view kSpeedNames[] = {"instant", "slow", "story", "fast"};
    rows.push_back(
        {text(ZARVO_MENU_TEXT(TextSpeed)),
         [this, speeds] { return speeds[static_cast<size_t>(settings_.settings().textSpeed)]; },
         [this, readerSetting](int step) {
             const int next = (static_cast<int>(settings_.settings().textSpeed) + step + 4) % 4;
             readerSetting("text-speed", std::string(kSpeedNames[next]));
         }});
    rows.push_back({text(ZARVO_MENU_TEXT(AutoDelay)),
                    [this] { return std::to_string(settings_.settings().autoDelayMs) + " ms"; },
                    [this, readerSetting](int step) {
                        readerSetting("auto-delay",
                                      std::to_string(stepped(settings_.settings().autoDelayMs, step,
                                                             100, 0, PlayerSettings::kMaxDelayMs)));
                    }});
    rows.push_back({text(ZARVO_MENU_TEXT(AutoPerChar)),
                    [this] { return std::to_string(settings_.settings().autoPerCharMs) + " ms"; },
                    [this, readerSetting](int step) {
                        readerSetting("auto-per-char", std::to_string(stepped(
                                                           settings_.settings().autoPerCharMs, step,
                                                           10, 0, PlayerSettings::kMaxDelayMs)));
                    }});
    auto readerFlag = [&](std::string_view label, std::string_view labelEn, const char* name,
                          bool PlayerSettings::*member) {
        rows.push_back({text(label, labelEn),
                        [this, onOff, member] { return onOff(settings_.settings().*member); },
                        [this, readerSetting, name, member](int) {
                            readerSetting(name, flagWord(!(settings_.settings().*member)));
                        }});
    };
    readerFlag(ZARVO_MENU_TEXT(SkipReadOnly), "skip-read-only", &PlayerSettings::skipReadOnly);
    readerFlag(ZARVO_MENU_TEXT(CopyEachMessage), "copy-each-message",
               &PlayerSettings::copyEachMessage);
    readerFlag(ZARVO_MENU_TEXT(LineBreakRules), "line-break-rules",
               &PlayerSettings::lineBreakRules);

    // The story's own settings, through "@System"; they persist in the story's settings file.
    rows.push_back({text(ZARVO_MENU_TEXT(Music)),
                    [this, onOff] { return onOff(parts_.music->musicEnabled()); },
                    [this](int) {
                        const bool now = !parts_.music->musicEnabled();
                        parts_.interpreter->runSystemAction(now ? SystemCommand::MusicEnable
                                                                : SystemCommand::MusicDisable);
                        settingChanged("music", flagWord(now));
                    }});
    rows.push_back({text(ZARVO_MENU_TEXT(MusicVolume)),
                    [this] { return std::to_string(parts_.music->getMusicVolume()); },
                    [this](int step) {
                        const int32_t volume =
                            stepped(parts_.music->getMusicVolume(), step, 10, 0, 100);
                        parts_.interpreter->runSystemAction(SystemCommand::MusicVolume, volume);
                        settingChanged("music-volume", std::to_string(volume));
                    }});
    rows.push_back({text(ZARVO_MENU_TEXT(Sound)),
                    [this, onOff] { return onOff(parts_.music->soundEnabled()); },
                    [this](int) {
                        const bool now = !parts_.music->soundEnabled();
                        parts_.interpreter->runSystemAction(now ? SystemCommand::SoundEnable
                                                                : SystemCommand::SoundDisable);
                        settingChanged("sound", flagWord(now));
                    }});
    rows.push_back({text(ZARVO_MENU_TEXT(SoundVolume)),
                    [this] { return std::to_string(parts_.music->getSoundVolume()); },
                    [this](int step) {
                        const int32_t volume =
                            stepped(parts_.music->getSoundVolume(), step, 10, 0, 100);
                        parts_.interpreter->runSystemAction(SystemCommand::SoundVolume, volume);
                        settingChanged("sound-volume", std::to_string(volume));
                    }});
    rows.push_back(
        {text(ZARVO_MENU_TEXT(FullScreen)), [this, onOff] { return onOff(window_.fullScreen); },
         [this](int) {
             parts_.interpreter->runSystemAction(window_.fullScreen ? SystemCommand::WindowMode
                                                                    : SystemCommand::FullScreen);
             settingChanged("fullscreen", flagWord(window_.fullScreen));
         }});
    const std::vector<std::string> scalings{text(ZARVO_MENU_TEXT(ScalingSharp)),
                                            text(ZARVO_MENU_TEXT(ScalingWhole)),
                                            text(ZARVO_MENU_TEXT(ScalingSmooth))};
    static constexpr std::string_view kScalingNames[] = {"sharp", "whole", "smooth"};
    rows.push_back(
        {text(ZARVO_MENU_TEXT(Scaling)),
         [this, scalings] { return scalings[static_cast<size_t>(settings_.settings().scaling)]; },
         [this, readerSetting](int step) {
             const int next = (static_cast<int>(settings_.settings().scaling) + step + 3) % 3;
             readerSetting("scaling", std::string(kScalingNames[next]));
             services_.host.setScaling(settings_.settings().scaling);
         }});
    rows.push_back({text(ZARVO_MENU_TEXT(States)), nullptr, [this](int) {
                        settings_.menu()->close();
                        openSaveStates();
                    }});
    rows.push_back(
        {text(ZARVO_MENU_TEXT(Back)), nullptr, [this](int) { settings_.menu()->close(); }});
    rows.push_back({text(ZARVO_MENU_TEXT(Quit)), nullptr, [this](int) { quit(); }});

    auto menu = std::make_unique<SettingsMenu>(text(ZARVO_MENU_TEXT(Title)), std::move(rows),
                                               services_.fonts, parts_.story->systemFont);
    menu->onOpenChange = [this](bool open) { settingsMenuOpened(open); };
    settings_.setMenu(*menu);
    overlays_.add(std::move(menu));
    services_.host.setScaling(settings_.settings().scaling);
}

}  // namespace zarvo

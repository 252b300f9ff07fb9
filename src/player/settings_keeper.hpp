// The reader's own settings, the same for every story: kept in a file between runs (read at the
// first show, written whole when the menu changed them), in effect on the screen at once, in the
// reader's language, and changed through the settings menu.
#pragma once
#include <functional>
#include <optional>
#include <string>

#include "player/player_settings.hpp"
#include "player/settings_menu.hpp"

namespace zarvo {

namespace platform {
class FileSystem;
}

class Screen;

class SettingsKeeper {
  public:
    using Warn = std::function<void(const std::string& utf8)>;

    SettingsKeeper(platform::FileSystem& files, Screen& screen) : files_(files), screen_(screen) {}

    // No path: the defaults, nothing written.
    void useFile(const std::string& path) { path_ = path; }
    // Reads the file; what cannot be read is told and left at the defaults.
    void read(const Warn& warn);
    // Writes the settings when they changed since they were read or written.
    void write(const Warn& warn);

    const PlayerSettings& settings() const { return settings_; }
    // The settings take effect at once (text speed, line breaking, ...).
    void use(const PlayerSettings& settings);
    // This run types at `speed` whatever the settings say; the file keeps its own.
    void forceTextSpeed(TextSpeed speed);
    // A change from the menu by name, so the file and the trace use one spelling; false when
    // `value` is not one the setting takes.
    bool change(const std::string& name, const std::string& value);

    MenuLanguage language() const { return language_; }
    void setLanguage(MenuLanguage language) { language_ = language; }
    // The menu that changes them, once built; owned by the overlays.
    SettingsMenu* menu() const { return menu_; }
    void setMenu(SettingsMenu& menu) { menu_ = &menu; }

  private:
    platform::FileSystem& files_;
    Screen& screen_;
    PlayerSettings settings_;
    std::optional<TextSpeed> textSpeedOverride_;
    std::string path_;
    bool dirty_ = false;  // changed since read: written when the menu closes
    MenuLanguage language_ = MenuLanguage::Japanese;
    SettingsMenu* menu_ = nullptr;
};

}  // namespace zarvo

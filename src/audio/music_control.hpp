// One background music track and one sound effect at a time, each on its own media player.
// The music keeps its logical state (file, playing, plays left) while music output is switched
// off, so switching it on again resumes a playing track from its beginning.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "base/string_list.hpp"
#include "platform/media_player.hpp"

namespace zarvo {

namespace platform {
class Clock;
class Host;
}  // namespace platform

enum class SoundMode : uint8_t {
    Wait = 0,     // the command returns when the sound has ended
    Protect = 1,  // the next sound waits for this one to end
    Free = 2,     // the next sound cuts this one off
};

// A volume in percent as the players take it: hundredths of a decibel, v * 100 - 10000.
// False when the result lies outside -10000 .. 0, that is v outside 0 .. 100.
bool percentToHundredthsOfDecibel(int32_t percent, int32_t& level);

class MusicControl {
  public:
    struct Services {
        platform::MediaPlayerFactory* players = nullptr;  // none: both channels stay silent
        platform::Host& host;                             // pumped while a sound is waited for
        platform::Clock& clock;  // sleeps between the checks of such a wait
    };
    static constexpr uint32_t kWaitSleep = 100;  // ms between the checks of a sound wait

    explicit MusicControl(const Services& services);
    ~MusicControl();

    // Plays `path` `loops` times (0 or less: without end). While music is switched off only the
    // logical state is recorded and the result is true.
    bool playMusic(const std::string& path, int32_t loops);
    // Ends the track; while music is switched off only the logical state changes.
    void stopMusic();
    // Once per main-loop step: restarts a finished track or stops it after its last play.
    void pollMusic();
    void setMusicEnabled(bool enabled);

    // Does nothing while sound is switched off.
    void playSound(const std::string& path, SoundMode mode);
    void stopSound();
    void setSoundEnabled(bool enabled) { soundEnabled_ = enabled; }

    // Stores the percent value even when it is out of range; true when the player took it.
    bool setMusicVolume(int32_t percent);
    bool setSoundVolume(int32_t percent);
    int32_t getMusicVolume() const { return musicVolume_; }
    int32_t getSoundVolume() const { return soundVolume_; }

    // The save file's music keys, replacing lines of the same names or appending them.
    bool writeMusicInfo(StringList& list) const;
    bool readMusicInfo(const StringList& list);

    // What the two channels play and where they are, for the player's save states.
    struct Snapshot {
        std::string musicFile;
        bool musicPlaying = false;
        int32_t musicLoopsLeft = 0;
        uint32_t musicPositionMs = 0;
        std::string soundFile;
        bool soundPlaying = false;
        SoundMode soundMode = SoundMode::Free;
        uint32_t soundPositionMs = 0;
        int32_t musicVolume = 100, soundVolume = 100;
    };
    Snapshot snapshot() const;
    // Plays on from where the snapshot was taken (from the start where a player cannot seek).
    void restore(const Snapshot& snapshot);

    const std::string& musicFile() const { return musicFile_; }
    bool musicPlaying() const { return musicPlaying_; }
    int32_t musicLoopsLeft() const { return musicLoopsLeft_; }
    bool musicEnabled() const { return musicEnabled_; }
    bool soundPlaying() const { return soundPlaying_; }
    SoundMode soundMode() const { return soundMode_; }
    bool soundEnabled() const { return soundEnabled_; }

  private:
    void waitForSoundEnd();

    Services services_;
    std::unique_ptr<platform::MediaPlayer> musicPlayer_;
    std::unique_ptr<platform::MediaPlayer> soundPlayer_;
    std::string musicFile_;
    std::string soundFile_;
    bool musicPlaying_ = false;
    bool soundPlaying_ = false;
    int32_t musicLoopsLeft_ = 0;
    SoundMode soundMode_ = SoundMode::Free;
    int32_t musicVolume_ = 100;
    int32_t soundVolume_ = 100;
    bool musicEnabled_ = true;
    bool soundEnabled_ = true;
};

}  // namespace zarvo

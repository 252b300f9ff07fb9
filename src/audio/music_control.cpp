#include "audio/music_control.hpp"

#include "base/name_value.hpp"
#include "platform/clock.hpp"
#include "platform/host.hpp"

namespace zarvo {
namespace {

// Stands in for a channel when no player service was given: nothing opens, nothing plays.
class NoPlayer final : public platform::MediaPlayer {
  public:
    bool open(const std::string&) override { return false; }
    void play() override {}
    void stop() override {}
    void seekToStart() override {}
    bool isComplete() override { return true; }
    bool setVolume(int32_t) override { return false; }
};

std::unique_ptr<platform::MediaPlayer> makePlayer(platform::MediaPlayerFactory* factory,
                                                  platform::MediaChannel channel) {
    std::unique_ptr<platform::MediaPlayer> player;
    if (factory) player = factory->createPlayer(channel);
    if (!player) player = std::make_unique<NoPlayer>();
    return player;
}

bool applyVolume(platform::MediaPlayer& player, int32_t percent) {
    int32_t level;
    return percentToHundredthsOfDecibel(percent, level) && player.setVolume(level);
}

}  // namespace

bool percentToHundredthsOfDecibel(int32_t percent, int32_t& level) {
    // In 64 bits: a huge percent value must not wrap around into the valid range.
    int64_t v = int64_t{percent} * 100 - 10000;
    if (v < platform::kVolumeSilent || v > platform::kVolumeFull) return false;
    level = static_cast<int32_t>(v);
    return true;
}

MusicControl::MusicControl(const Services& services)
    : services_(services),
      musicPlayer_(makePlayer(services.players, platform::MediaChannel::Music)),
      soundPlayer_(makePlayer(services.players, platform::MediaChannel::Sound)) {}

MusicControl::~MusicControl() = default;

bool MusicControl::playMusic(const std::string& path, int32_t loops) {
    bool opened = true;
    if (musicEnabled_) {
        stopMusic();
        opened = musicPlayer_->open(path);
        if (opened) {
            applyVolume(*musicPlayer_, musicVolume_);
            musicPlayer_->play();
        }
    }
    musicFile_ = path;
    musicPlaying_ = true;
    musicLoopsLeft_ = loops;
    return opened;
}

void MusicControl::stopMusic() {
    if (!musicPlaying_) return;
    // While music is off the player is silent already, but the track still ends: switching
    // music on again or saving must not bring back what the story stopped.
    if (musicEnabled_) musicPlayer_->stop();
    musicPlaying_ = false;
    musicLoopsLeft_ = 0;
}

void MusicControl::pollMusic() {
    // While music is off nothing plays, so nothing can end: a channel that never opened a file
    // reports itself complete and would otherwise count the plays down in silence.
    if (!musicEnabled_ || !musicPlaying_ || !musicPlayer_->isComplete()) return;
    if (musicLoopsLeft_ > 0 && --musicLoopsLeft_ == 0) {
        stopMusic();
        return;
    }
    musicPlayer_->seekToStart();
    musicPlayer_->play();
}

void MusicControl::setMusicEnabled(bool enabled) {
    if (enabled == musicEnabled_) return;
    if (musicPlaying_) {
        if (enabled && !musicFile_.empty()) {
            musicPlayer_->open(musicFile_);
            applyVolume(*musicPlayer_, musicVolume_);
            musicPlayer_->play();
        } else if (!enabled) {
            musicPlayer_->stop();
        }
    }
    musicEnabled_ = enabled;
}

void MusicControl::playSound(const std::string& path, SoundMode mode) {
    if (!soundEnabled_) return;
    if (soundMode_ == SoundMode::Protect && soundPlaying_) waitForSoundEnd();
    stopSound();
    if (!soundPlayer_->open(path)) return;
    applyVolume(*soundPlayer_, soundVolume_);
    soundPlayer_->play();
    soundFile_ = path;
    soundPlaying_ = true;
    soundMode_ = mode;
    if (mode == SoundMode::Wait) {
        waitForSoundEnd();
        stopSound();
        soundMode_ = SoundMode::Free;
    }
}

void MusicControl::stopSound() {
    if (!soundEnabled_ || !soundPlaying_) return;
    soundPlayer_->stop();
    soundPlaying_ = false;
    soundMode_ = SoundMode::Free;
}

void MusicControl::waitForSoundEnd() {
    platform::Host& host = services_.host;
    // Input and paint go on meanwhile; a closing window does not wait for the sound's end.
    while (!soundPlayer_->isComplete() && !host.isTerminating()) {
        host.processMessages();
        services_.clock.sleep(kWaitSleep);
    }
}

MusicControl::Snapshot MusicControl::snapshot() const {
    Snapshot s;
    s.musicFile = musicFile_;
    s.musicPlaying = musicPlaying_;
    s.musicLoopsLeft = musicLoopsLeft_;
    if (musicPlaying_ && musicEnabled_) s.musicPositionMs = musicPlayer_->positionMs();
    // A sound that has ended is over even before the next poll would notice.
    s.soundPlaying = soundPlaying_ && soundEnabled_ && !soundPlayer_->isComplete();
    if (s.soundPlaying) {
        s.soundFile = soundFile_;
        s.soundMode = soundMode_;
        s.soundPositionMs = soundPlayer_->positionMs();
    }
    s.musicVolume = musicVolume_;
    s.soundVolume = soundVolume_;
    return s;
}

void MusicControl::restore(const Snapshot& s) {
    stopMusic();
    stopSound();
    setMusicVolume(s.musicVolume);
    setSoundVolume(s.soundVolume);
    musicFile_ = s.musicFile;
    musicPlaying_ = s.musicPlaying;
    musicLoopsLeft_ = s.musicLoopsLeft;
    if (musicPlaying_ && musicEnabled_ && musicPlayer_->open(musicFile_)) {
        applyVolume(*musicPlayer_, musicVolume_);
        musicPlayer_->seekTo(s.musicPositionMs);
        musicPlayer_->play();
    }
    if (s.soundPlaying && soundEnabled_ && soundPlayer_->open(s.soundFile)) {
        applyVolume(*soundPlayer_, soundVolume_);
        soundPlayer_->seekTo(s.soundPositionMs);
        soundPlayer_->play();
        soundFile_ = s.soundFile;
        soundPlaying_ = true;
        soundMode_ = s.soundMode;
    }
}

bool MusicControl::setMusicVolume(int32_t percent) {
    musicVolume_ = percent;
    return applyVolume(*musicPlayer_, percent);
}

bool MusicControl::setSoundVolume(int32_t percent) {
    soundVolume_ = percent;
    return applyVolume(*soundPlayer_, percent);
}

bool MusicControl::writeMusicInfo(StringList& list) const {
    writeListString(list, "Music.FileName", musicFile_);
    writeListBool(list, "Music.Playing", musicPlaying_);
    writeListInt(list, "Music.Loop", musicLoopsLeft_);
    writeListInt(list, "Music.Volume", musicVolume_);
    writeListInt(list, "Sound.Volume", soundVolume_);
    return true;
}

bool MusicControl::readMusicInfo(const StringList& list) {
    stopMusic();
    stopSound();
    std::string file = readListString(list, "Music.FileName", "");
    bool playing = readListBool(list, "Music.Playing", false);
    int32_t loops = readListInt(list, "Music.Loop", 0);
    setMusicVolume(readListInt(list, "Music.Volume", 100));
    setSoundVolume(readListInt(list, "Sound.Volume", 100));
    if (!file.empty() && playing) playMusic(file, loops);
    return true;
}

}  // namespace zarvo

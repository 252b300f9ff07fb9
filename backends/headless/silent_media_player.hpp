// Media players of the headless host: nothing is heard, but each file plays for its real
// duration on the host's clock, so sound waits and music loops take the time they take on the
// desktop. What the players did stays visible for tests.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "formats/media_duration.hpp"
#include "platform/media_player.hpp"

namespace zarvo::platform {

class Clock;

class SilentMediaPlayer final : public MediaPlayer {
  public:
    explicit SilentMediaPlayer(Clock& clock) : clock_(clock) {}

    bool open(const std::string& path) override;
    void play() override;
    void stop() override;
    void seekToStart() override;
    bool isComplete() override;
    bool setVolume(int32_t hundredthsOfDecibel) override;

    const std::string& path() const { return path_; }  // empty with nothing open
    MediaFormat format() const { return format_; }
    uint32_t durationMs() const { return durationMs_; }
    bool running() const { return running_; }
    // Milliseconds played since the last start from the beginning, at most the duration.
    uint32_t positionMs() override;
    bool seekTo(uint32_t ms) override;
    int32_t volume() const { return volume_; }  // the last level taken
    // Playbacks begun from the start since the file was opened: a music loop adds one a round.
    int starts() const { return starts_; }
    uint32_t lastStartTick() const { return startTick_; }

  private:
    Clock& clock_;
    std::string path_;
    MediaFormat format_ = MediaFormat::Unknown;
    uint32_t durationMs_ = 0;
    bool open_ = false;
    bool running_ = false;
    uint32_t startTick_ = 0;
    uint32_t startAt_ = 0;  // where a stopped player's next play() begins
    int32_t volume_ = kVolumeFull;
    int starts_ = 0;
};

class SilentMediaPlayerFactory final : public MediaPlayerFactory {
  public:
    explicit SilentMediaPlayerFactory(Clock& clock) : clock_(clock) {}
    std::unique_ptr<MediaPlayer> createPlayer(MediaChannel channel) override;
    // The player last created for a channel, or null; owned by whoever asked for it.
    SilentMediaPlayer* player(MediaChannel channel) const {
        return players_[static_cast<size_t>(channel)];
    }

  private:
    Clock& clock_;
    std::array<SilentMediaPlayer*, 2> players_{};
};

}  // namespace zarvo::platform

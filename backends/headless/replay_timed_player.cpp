#include "backends/headless/replay_timed_player.hpp"

#include "backends/headless/silent_media_player.hpp"

namespace zarvo::platform {
namespace {

class ReplayTimedPlayer final : public MediaPlayer {
  public:
    ReplayTimedPlayer(std::unique_ptr<MediaPlayer> audible, Clock& clock)
        : audible_(std::move(audible)), timing_(clock) {}

    // The replay's answers throughout: a file the desktop cannot play still takes its time.
    bool open(const std::string& path) override {
        audible_->open(path);
        return timing_.open(path);
    }
    void play() override {
        audible_->play();
        timing_.play();
    }
    void stop() override {
        audible_->stop();
        timing_.stop();
    }
    void seekToStart() override {
        audible_->seekToStart();
        timing_.seekToStart();
    }
    bool isComplete() override { return timing_.isComplete(); }
    uint32_t positionMs() override { return timing_.positionMs(); }
    bool seekTo(uint32_t ms) override {
        audible_->seekTo(ms);
        return timing_.seekTo(ms);
    }
    bool setVolume(int32_t level) override {
        audible_->setVolume(level);
        return timing_.setVolume(level);
    }

  private:
    std::unique_ptr<MediaPlayer> audible_;
    SilentMediaPlayer timing_;
};

}  // namespace

std::unique_ptr<MediaPlayer> ReplayTimedPlayerFactory::createPlayer(MediaChannel channel) {
    return std::make_unique<ReplayTimedPlayer>(audible_.createPlayer(channel), clock_);
}

}  // namespace zarvo::platform

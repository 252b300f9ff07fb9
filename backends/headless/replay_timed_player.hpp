// Players for a recorded desktop run: the sound comes from the desktop's players, but whether a
// file has finished is answered by a silent player on the recording's clock, as it will be on
// replay, so sound waits and music loops end at the same moment in both.
#pragma once
#include <memory>

#include "platform/media_player.hpp"

namespace zarvo::platform {

class Clock;

class ReplayTimedPlayerFactory final : public MediaPlayerFactory {
  public:
    ReplayTimedPlayerFactory(MediaPlayerFactory& audible, Clock& clock)
        : audible_(audible), clock_(clock) {}
    std::unique_ptr<MediaPlayer> createPlayer(MediaChannel channel) override;

  private:
    MediaPlayerFactory& audible_;
    Clock& clock_;
};

}  // namespace zarvo::platform

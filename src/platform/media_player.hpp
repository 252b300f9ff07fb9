// Playing one music or sound file from disk. The audio control drives one player per channel;
// the desktop plays through SDL_mixer, the headless host through silent players that keep each
// file's real duration on the virtual clock.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace zarvo::platform {

// Volumes are hundredths of a decibel: 0 is full level, -10000 silence.
inline constexpr int32_t kVolumeFull = 0;
inline constexpr int32_t kVolumeSilent = -10000;

enum class MediaChannel { Music, Sound };

class MediaPlayer {
  public:
    virtual ~MediaPlayer() = default;
    // Releases the current file and opens `path` (a host path), stopped at its start. False when
    // the file cannot be played; the player then holds nothing.
    virtual bool open(const std::string& path) = 0;
    // Starts from the current position; nothing while already running or with nothing open.
    virtual void play() = 0;
    // Stops and rewinds to the start.
    virtual void stop() = 0;
    // Rewinds; a running player plays again from the start.
    virtual void seekToStart() = 0;
    // True when nothing is open or a running playback has reached its end; false while it plays
    // and while it is stopped.
    virtual bool isComplete() = 0;
    // False with nothing open or a level outside kVolumeSilent .. kVolumeFull.
    virtual bool setVolume(int32_t hundredthsOfDecibel) = 0;
    // Milliseconds into the file while it plays (a save state keeps where the music was); 0
    // when stopped or when the player cannot tell.
    virtual uint32_t positionMs() { return 0; }
    // Moves to `ms` into the file; a stopped player starts there at its next play(). False when
    // the player cannot seek: it then plays from the start.
    virtual bool seekTo(uint32_t /*ms*/) { return false; }
};

class MediaPlayerFactory {
  public:
    virtual ~MediaPlayerFactory() = default;
    // One player per channel: the two channels play at the same time.
    virtual std::unique_ptr<MediaPlayer> createPlayer(MediaChannel channel) = 0;
};

}  // namespace zarvo::platform

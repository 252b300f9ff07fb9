// Desktop playback through SDL_mixer. The music channel streams from its file (Mix_Music); the
// sound channel decodes its file into memory and plays it on a mixer channel of its own, so
// both sound at once. WAV, Ogg Vorbis, MP3 and MIDI (through FluidSynth and a General MIDI
// sound font) are played, with whatever else the installed SDL_mixer reads.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/media_player.hpp"

namespace zarvo::platform {

class FileSystem;

// SDL_mixer's 0 .. 128 for a level in hundredths of a decibel: silence only at -10000, every
// other level stays audible however quiet (at least 1).
int mixerVolumeOf(int32_t hundredthsOfDecibel);

class SdlMediaPlayerFactory final : public MediaPlayerFactory {
  public:
    // Opens the audio device. Without one every player refuses to open files: the story runs
    // on in silence. Files are read through `files` (the story's: an archive's entries too).
    explicit SdlMediaPlayerFactory(const FileSystem& files);
    ~SdlMediaPlayerFactory() override;  // after every player it made is gone
    SdlMediaPlayerFactory(const SdlMediaPlayerFactory&) = delete;
    SdlMediaPlayerFactory& operator=(const SdlMediaPlayerFactory&) = delete;

    bool audioOpen() const { return audioOpen_; }
    // Why there is no sound, when there is none.
    const std::string& error() const { return error_; }
    // The first music player streams; any further player gets a mixer channel.
    std::unique_ptr<MediaPlayer> createPlayer(MediaChannel channel) override;

  private:
    const FileSystem& files_;
    bool audioOpen_ = false;
    std::string error_;
    bool streamTaken_ = false;
    int nextChannel_ = 0;
};

}  // namespace zarvo::platform

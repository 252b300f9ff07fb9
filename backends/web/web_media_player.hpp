// Browser playback through Web Audio. The engine's players hand each file's bytes to the page's
// audio module (web/audio.js): the browser decodes WAV, Ogg and MP3 itself, MIDI goes to a
// SoundFont synthesizer. Playing time is kept by that module, so a story may start music before
// the reader's first click, when browsers let nothing sound yet: the track is then heard from
// where it has got to. The format and playing time of a file are read here from its bytes, so
// open() answers at once although the browser decodes later.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "formats/media_duration.hpp"
#include "platform/media_player.hpp"

namespace zarvo::platform {

class FileSystem;

// True when the page has loaded its audio module; without it no file opens.
bool webAudioAvailable();

class WebMediaPlayer final : public MediaPlayer {
  public:
    WebMediaPlayer(const FileSystem& files, MediaChannel channel);
    ~WebMediaPlayer() override;
    WebMediaPlayer(const WebMediaPlayer&) = delete;
    WebMediaPlayer& operator=(const WebMediaPlayer&) = delete;

    bool open(const std::string& path) override;
    void play() override;
    void stop() override;
    void seekToStart() override;
    bool isComplete() override;
    bool setVolume(int32_t hundredthsOfDecibel) override;

    // Milliseconds played since the last start from the beginning (0 while stopped), also before
    // the browser lets anything sound.
    uint32_t positionMs() override;
    uint32_t durationMs() const { return durationMs_; }
    MediaFormat format() const { return format_; }

  private:
    void release();

    const FileSystem& files_;
    int id_ = 0;  // the audio module's player; 0 without the module
    bool open_ = false;
    MediaFormat format_ = MediaFormat::Unknown;
    uint32_t durationMs_ = 0;
};

class WebMediaPlayerFactory final : public MediaPlayerFactory {
  public:
    // Files are read through `files`, which must outlive every player made.
    explicit WebMediaPlayerFactory(const FileSystem& files) : files_(files) {}
    std::unique_ptr<MediaPlayer> createPlayer(MediaChannel channel) override;

  private:
    const FileSystem& files_;
};

}  // namespace zarvo::platform

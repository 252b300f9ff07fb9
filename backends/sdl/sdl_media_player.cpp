#include "backends/sdl/sdl_media_player.hpp"

#include <SDL.h>
#include <SDL_mixer.h>
#ifdef ZARVO_HAVE_ALSA
#include <alsa/asoundlib.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "base/limits.hpp"
#include "formats/media_duration.hpp"
#include "platform/file_system.hpp"

namespace zarvo::platform {
namespace {

constexpr int kChannels = 8;  // mixer channels; all reserved, each player owns one

// FluidSynth needs a General MIDI sound font; SDL_mixer itself looks only for FluidR3.
void chooseSoundFont() {
    if (std::getenv("SDL_SOUNDFONTS")) return;
    for (const char* path :
         {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/TimGM6mb.sf2",
          "/usr/share/sounds/sf2/FluidR3_GM.sf2"}) {
        std::error_code ec;
        if (std::filesystem::exists(path, ec)) {
            Mix_SetSoundFonts(path);
            return;
        }
    }
}

// The length of a MIDI sequence in ms, or 0 for any other file. FluidSynth keeps a finished
// sequence going for about three seconds of silence; a looping track would pause that long, so
// MIDI ends where its last event is, as the headless players count it.
uint32_t midiSequenceMs(const std::string& bytes) {
    if (bytes.size() < 12 ||
        (bytes.compare(0, 4, "MThd") != 0 &&
         (bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "RMID") != 0)))
        return 0;
    MediaFormat format;
    double seconds;
    if (!probeMediaDuration(bytes, format, seconds) || format != MediaFormat::Midi) return 0;
    return static_cast<uint32_t>(std::lround(std::min(seconds, 86400.0) * 1000));
}

#ifdef ZARVO_HAVE_ALSA
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}
#endif

// Without a sound card ALSA's library writes several lines of its own while SDL looks for a
// device; the factory says what matters in one.
class QuietAlsa {
  public:
#ifdef ZARVO_HAVE_ALSA
    QuietAlsa() {
        snd_lib_error_set_handler(quietAlsa);
    }
    ~QuietAlsa() {
        snd_lib_error_set_handler(nullptr);
    }
#endif
};

bool validLevel(int32_t level) {
    return level >= kVolumeSilent && level <= kVolumeFull;
}

// A media file's bytes, read through the story's file system (an archive's entries have no
// path SDL could open). False when it cannot be read or is beyond any sound's size.
bool readMedia(const FileSystem& files, const std::string& path, std::string& bytes) {
    return readFileAtMost(files, path, kMaxEntryBytes, bytes) && !bytes.empty();
}

SDL_RWops* memoryOf(const std::string& bytes) {
    return SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
}

// The one streamed track of SDL_mixer.
class StreamPlayer final : public MediaPlayer {
  public:
    StreamPlayer(const FileSystem& files, bool audioOpen, bool& taken)
        : files_(files), audioOpen_(audioOpen), taken_(taken) {}
    ~StreamPlayer() override {
        release();
        taken_ = false;
    }
    bool open(const std::string& path) override {
        release();
        if (!audioOpen_ || !readMedia(files_, path, bytes_)) return false;
        // The music streams from these bytes while it plays: they live as long as it does.
        if (SDL_RWops* rw = memoryOf(bytes_)) music_ = Mix_LoadMUS_RW(rw, 1);
        volume_ = MIX_MAX_VOLUME;
        endMs_ = music_ ? midiSequenceMs(bytes_) : 0;
        if (!music_) std::string().swap(bytes_);
        return music_ != nullptr;
    }
    void play() override {
        if (!music_ || running_) return;
        start();
    }
    void stop() override {
        if (running_) Mix_HaltMusic();
        running_ = false;
        startAt_ = 0;
    }
    void seekToStart() override {
        if (running_) start();
    }
    uint32_t positionMs() override { return running_ ? SDL_GetTicks() - startTicks_ : 0; }
    bool seekTo(uint32_t ms) override {
        if (!music_) return false;
        startAt_ = ms;
        if (running_) start();
        return true;
    }
    // A track that failed to start counts as ended, so nothing waits for it.
    bool isComplete() override {
        if (!music_) return true;
        if (!running_) return false;
        return !Mix_PlayingMusic() || (endMs_ != 0 && SDL_GetTicks() - startTicks_ >= endMs_);
    }
    bool setVolume(int32_t level) override {
        if (!music_ || !validLevel(level)) return false;
        volume_ = mixerVolumeOf(level);
        Mix_VolumeMusic(volume_);
        return true;
    }

  private:
    void start() {
        Mix_VolumeMusic(volume_);
        Mix_PlayMusic(music_, 0);
        // Formats the mixer cannot seek in start from their beginning.
        uint32_t at = startAt_ > 0 && Mix_SetMusicPosition(startAt_ / 1000.0) == 0 ? startAt_ : 0;
        startAt_ = 0;
        startTicks_ = SDL_GetTicks() - at;
        running_ = true;
    }
    void release() {
        stop();
        if (music_) Mix_FreeMusic(music_);
        music_ = nullptr;
        std::string().swap(bytes_);
    }

    const FileSystem& files_;
    bool audioOpen_;
    bool& taken_;
    std::string bytes_;  // what music_ streams from
    Mix_Music* music_ = nullptr;
    uint32_t endMs_ = 0;  // MIDI: where the sequence ends
    uint32_t startTicks_ = 0;
    uint32_t startAt_ = 0;  // where the next start begins
    bool running_ = false;
    int volume_ = MIX_MAX_VOLUME;
};

// A file decoded into memory, played on its own mixer channel.
class ChannelPlayer final : public MediaPlayer {
  public:
    ChannelPlayer(const FileSystem& files, bool audioOpen, int channel)
        : files_(files), audioOpen_(audioOpen), channel_(channel) {}
    ~ChannelPlayer() override { release(); }
    bool open(const std::string& path) override {
        release();
        if (!audioOpen_ || channel_ >= kChannels) return false;
        std::string bytes;
        if (!readMedia(files_, path, bytes)) return false;
        if (SDL_RWops* rw = memoryOf(bytes)) chunk_ = Mix_LoadWAV_RW(rw, 1);  // decoded whole
        volume_ = MIX_MAX_VOLUME;
        if (!chunk_) return false;
        if (uint32_t ms = midiSequenceMs(bytes)) cutChunk(ms);
        return true;
    }
    void play() override {
        if (!chunk_ || running_) return;
        start();
    }
    void stop() override {
        if (running_) Mix_HaltChannel(channel_);
        running_ = false;
        startAt_ = 0;
    }
    void seekToStart() override {
        if (running_) start();
    }
    bool isComplete() override { return !chunk_ || (running_ && !Mix_Playing(channel_)); }
    uint32_t positionMs() override { return running_ ? SDL_GetTicks() - startTicks_ : 0; }
    bool seekTo(uint32_t ms) override {
        if (!chunk_) return false;
        startAt_ = ms;
        if (running_) start();
        return true;
    }
    bool setVolume(int32_t level) override {
        if (!chunk_ || !validLevel(level)) return false;
        volume_ = mixerVolumeOf(level);
        Mix_Volume(channel_, volume_);
        return true;
    }

  private:
    // Drops the decoded silence after a MIDI sequence's end.
    void cutChunk(uint32_t ms) {
        int rate, channels;
        Uint16 format;
        if (!Mix_QuerySpec(&rate, &format, &channels)) return;
        uint64_t frame = uint64_t{SDL_AUDIO_BITSIZE(format) / 8u} * static_cast<uint32_t>(channels);
        uint64_t bytes = uint64_t{ms} * static_cast<uint32_t>(rate) / 1000 * frame;
        if (bytes < chunk_->alen) chunk_->alen = static_cast<Uint32>(bytes);
    }
    void start() {
        Mix_HaltChannel(channel_);  // before the part it may be playing goes
        freeTail();
        Mix_Volume(channel_, volume_);
        const uint32_t at = startAt_;
        startAt_ = 0;
        startTicks_ = SDL_GetTicks() - at;
        running_ = true;
        if (at == 0) {
            Mix_PlayChannel(channel_, chunk_, 0);
            return;
        }
        // From `at` on: a chunk over the same samples (the mixer frees only its own struct).
        // A position past the end plays nothing: the sound had ended there.
        int rate, channels;
        Uint16 format;
        if (!Mix_QuerySpec(&rate, &format, &channels)) return;
        const uint64_t frame =
            uint64_t{SDL_AUDIO_BITSIZE(format) / 8u} * static_cast<uint32_t>(channels);
        const uint64_t offset = uint64_t{at} * static_cast<uint32_t>(rate) / 1000 * frame;
        if (offset >= chunk_->alen) return;
        tail_ =
            Mix_QuickLoad_RAW(chunk_->abuf + offset, static_cast<Uint32>(chunk_->alen - offset));
        if (tail_) {
            tail_->volume = chunk_->volume;
            Mix_PlayChannel(channel_, tail_, 0);
        }
    }
    void freeTail() {
        if (tail_) Mix_FreeChunk(tail_);
        tail_ = nullptr;
    }
    void release() {
        if (chunk_) {
            Mix_HaltChannel(channel_);
            freeTail();
            Mix_FreeChunk(chunk_);
        }
        chunk_ = nullptr;
        running_ = false;
        startAt_ = 0;
    }

    const FileSystem& files_;
    bool audioOpen_;
    int channel_;
    Mix_Chunk* chunk_ = nullptr;
    Mix_Chunk* tail_ = nullptr;  // the part after a position seeked to, while it plays
    uint32_t startTicks_ = 0;
    uint32_t startAt_ = 0;  // where the next start begins
    bool running_ = false;
    int volume_ = MIX_MAX_VOLUME;
};

}  // namespace

int mixerVolumeOf(int32_t level) {
    if (level <= kVolumeSilent) return 0;
    if (level >= kVolumeFull) return MIX_MAX_VOLUME;
    double gain = std::pow(10.0, level / 2000.0);
    return std::clamp(static_cast<int>(std::lround(gain * MIX_MAX_VOLUME)), 1, MIX_MAX_VOLUME);
}

SdlMediaPlayerFactory::SdlMediaPlayerFactory(const FileSystem& files) : files_(files) {
    QuietAlsa quiet;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        error_ = SDL_GetError();
        return;
    }
    Mix_Init(MIX_INIT_OGG | MIX_INIT_MP3 | MIX_INIT_MID);
    chooseSoundFont();
    if (Mix_OpenAudio(44100, MIX_DEFAULT_FORMAT, 2, 2048) != 0) {
        error_ = Mix_GetError();
        Mix_Quit();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return;
    }
    Mix_AllocateChannels(kChannels);
    Mix_ReserveChannels(kChannels);
    audioOpen_ = true;
}

SdlMediaPlayerFactory::~SdlMediaPlayerFactory() {
    if (!audioOpen_) return;
    Mix_CloseAudio();
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

std::unique_ptr<MediaPlayer> SdlMediaPlayerFactory::createPlayer(MediaChannel channel) {
    if (channel == MediaChannel::Music && !streamTaken_) {
        streamTaken_ = true;
        return std::make_unique<StreamPlayer>(files_, audioOpen_, streamTaken_);
    }
    return std::make_unique<ChannelPlayer>(files_, audioOpen_, nextChannel_++);
}

}  // namespace zarvo::platform

#include "backends/web/web_media_player.hpp"

#include <emscripten/emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "platform/file_system.hpp"

// The bridge to the page's audio module (globalThis.zarvoAudio, set by web/audio.js). Every
// call tolerates its absence: the story then runs on in silence.
// clang-format off
EM_JS(int, zarvo_audio_available, (), {
    return globalThis.zarvoAudio ? 1 : 0;
});
EM_JS(int, zarvo_audio_create, (int music), {
    return globalThis.zarvoAudio ? globalThis.zarvoAudio.create(music !== 0) : 0;
});
EM_JS(void, zarvo_audio_destroy, (int id), {
    if (globalThis.zarvoAudio) globalThis.zarvoAudio.destroy(id);
});
EM_JS(int, zarvo_audio_open, (int id, const uint8_t* bytes, int size, int midi, double ms), {
    if (!globalThis.zarvoAudio) return 0;
    // A copy: the module keeps the bytes after the engine's buffer is gone.
    return globalThis.zarvoAudio.open(id, HEAPU8.slice(bytes, bytes + size), midi !== 0, ms) ? 1 : 0;
});
EM_JS(void, zarvo_audio_close, (int id), {
    if (globalThis.zarvoAudio) globalThis.zarvoAudio.close(id);
});
EM_JS(void, zarvo_audio_play, (int id), {
    if (globalThis.zarvoAudio) globalThis.zarvoAudio.play(id);
});
EM_JS(void, zarvo_audio_stop, (int id), {
    if (globalThis.zarvoAudio) globalThis.zarvoAudio.stop(id);
});
EM_JS(void, zarvo_audio_rewind, (int id), {
    if (globalThis.zarvoAudio) globalThis.zarvoAudio.rewind(id);
});
EM_JS(double, zarvo_audio_position, (int id), {
    return globalThis.zarvoAudio ? globalThis.zarvoAudio.positionMs(id) : 0;
});
EM_JS(int, zarvo_audio_complete, (int id), {
    return !globalThis.zarvoAudio || globalThis.zarvoAudio.isComplete(id) ? 1 : 0;
});
EM_JS(void, zarvo_audio_gain, (int id, double gain), {
    if (globalThis.zarvoAudio) globalThis.zarvoAudio.setGain(id, gain);
});
// clang-format on

namespace zarvo::platform {
namespace {

constexpr int64_t kMaxMediaBytes = int64_t{1} << 30;

bool validLevel(int32_t level) {
    return level >= kVolumeSilent && level <= kVolumeFull;
}

// A RIFF MIDI file (RMID) carries a Standard MIDI File in its "data" chunk; the synthesizer reads
// only the latter. Empty when the chunk is missing or runs past the file.
std::string_view midiData(std::string_view bytes) {
    if (bytes.size() < 12 || bytes.substr(0, 4) != "RIFF" || bytes.substr(8, 4) != "RMID")
        return bytes;
    size_t at = 12;
    while (bytes.size() - at >= 8) {
        uint32_t size = 0;
        for (int i = 3; i >= 0; --i)
            size = size << 8 | static_cast<uint8_t>(bytes[at + 4 + static_cast<size_t>(i)]);
        std::string_view id = bytes.substr(at, 4);
        at += 8;
        if (size > bytes.size() - at) return {};
        if (id == "data") return bytes.substr(at, size);
        at += size + (size & 1);
        if (at > bytes.size()) return {};
    }
    return {};
}

}  // namespace

bool webAudioAvailable() {
    return zarvo_audio_available() != 0;
}

WebMediaPlayer::WebMediaPlayer(const FileSystem& files, MediaChannel channel)
    : files_(files), id_(zarvo_audio_create(channel == MediaChannel::Music ? 1 : 0)) {}

WebMediaPlayer::~WebMediaPlayer() {
    if (id_ != 0) zarvo_audio_destroy(id_);
}

void WebMediaPlayer::release() {
    if (open_) zarvo_audio_close(id_);
    open_ = false;
    format_ = MediaFormat::Unknown;
    durationMs_ = 0;
}

bool WebMediaPlayer::open(const std::string& path) {
    release();
    if (id_ == 0) return false;
    auto file = files_.openRead(path);
    if (!file || file->size() > kMaxMediaBytes) return false;
    std::string bytes(static_cast<size_t>(file->size()), '\0');
    if (file->readAt(0, bytes.data(), bytes.size()) != bytes.size()) return false;
    MediaFormat format;
    double seconds;
    if (!probeMediaDuration(bytes, format, seconds)) return false;
    std::string_view data = bytes;
    if (format == MediaFormat::Midi) data = midiData(data);
    if (data.empty()) return false;
    // Durations beyond the 32-bit tick range would never end a wait; they are cut to a day.
    uint32_t ms = static_cast<uint32_t>(std::llround(std::min(seconds, 86400.0) * 1000));
    if (!zarvo_audio_open(id_, reinterpret_cast<const uint8_t*>(data.data()),
                          static_cast<int>(data.size()), format == MediaFormat::Midi ? 1 : 0, ms))
        return false;
    open_ = true;
    format_ = format;
    durationMs_ = ms;
    return true;
}

void WebMediaPlayer::play() {
    if (open_) zarvo_audio_play(id_);
}

void WebMediaPlayer::stop() {
    if (open_) zarvo_audio_stop(id_);
}

void WebMediaPlayer::seekToStart() {
    if (open_) zarvo_audio_rewind(id_);
}

bool WebMediaPlayer::isComplete() {
    return !open_ || zarvo_audio_complete(id_) != 0;
}

bool WebMediaPlayer::setVolume(int32_t level) {
    if (!open_ || !validLevel(level)) return false;
    // Hundredths of a decibel as an amplitude; only -10000 is silence.
    double gain = level <= kVolumeSilent ? 0.0 : std::pow(10.0, level / 2000.0);
    zarvo_audio_gain(id_, gain);
    return true;
}

uint32_t WebMediaPlayer::positionMs() {
    if (!open_) return 0;
    double ms = zarvo_audio_position(id_);
    return static_cast<uint32_t>(std::clamp(ms, 0.0, static_cast<double>(durationMs_)));
}

std::unique_ptr<MediaPlayer> WebMediaPlayerFactory::createPlayer(MediaChannel channel) {
    return std::make_unique<WebMediaPlayer>(files_, channel);
}

}  // namespace zarvo::platform

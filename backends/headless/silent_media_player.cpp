#include "backends/headless/silent_media_player.hpp"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "platform/clock.hpp"

namespace zarvo::platform {
namespace {

constexpr uintmax_t kMaxMediaBytes = uintmax_t{1} << 30;

bool readMediaFile(const std::string& path, std::string& bytes) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxMediaBytes) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

}  // namespace

bool SilentMediaPlayer::open(const std::string& path) {
    open_ = running_ = false;
    startAt_ = 0;
    path_.clear();
    format_ = MediaFormat::Unknown;
    durationMs_ = 0;
    starts_ = 0;
    volume_ = kVolumeFull;  // a newly opened file plays at full level
    std::string bytes;
    double seconds;
    MediaFormat format;
    if (!readMediaFile(path, bytes) || !probeMediaDuration(bytes, format, seconds)) return false;
    open_ = true;
    path_ = path;
    format_ = format;
    // Durations beyond the 32-bit tick range would never end a wait; they are cut to a day.
    durationMs_ = static_cast<uint32_t>(std::llround(std::min(seconds, 86400.0) * 1000));
    return true;
}

void SilentMediaPlayer::play() {
    if (!open_ || running_) return;
    // Stopped players stand at the start, or where a seek put them.
    running_ = true;
    startTick_ = clock_.ticks() - startAt_;
    startAt_ = 0;
    ++starts_;
}

void SilentMediaPlayer::stop() {
    running_ = false;
    startAt_ = 0;
}

bool SilentMediaPlayer::seekTo(uint32_t ms) {
    if (!open_) return false;
    ms = std::min(ms, durationMs_);
    if (running_)
        startTick_ = clock_.ticks() - ms;
    else
        startAt_ = ms;
    return true;
}

void SilentMediaPlayer::seekToStart() {
    if (!running_) return;
    startTick_ = clock_.ticks();
    ++starts_;
}

bool SilentMediaPlayer::isComplete() {
    if (!open_) return true;
    return running_ && tickReached(clock_.ticks(), startTick_, durationMs_);
}

uint32_t SilentMediaPlayer::positionMs() {
    if (!running_) return 0;
    return std::min(clock_.ticks() - startTick_, durationMs_);
}

bool SilentMediaPlayer::setVolume(int32_t level) {
    if (!open_ || level < kVolumeSilent || level > kVolumeFull) return false;
    volume_ = level;
    return true;
}

std::unique_ptr<MediaPlayer> SilentMediaPlayerFactory::createPlayer(MediaChannel channel) {
    auto player = std::make_unique<SilentMediaPlayer>(clock_);
    players_[static_cast<size_t>(channel)] = player.get();
    return player;
}

}  // namespace zarvo::platform

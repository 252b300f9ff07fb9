// The browser's music and sound players driven from a page (check.html) by check.mjs: the test
// media are written into the page's memory file system, and each call below is one player call.
#include <emscripten/emscripten.h>

#include <memory>
#include <string>

#include "backends/posix/local_file_system.hpp"
#include "backends/web/web_media_player.hpp"
#include "support/test_media.hpp"

namespace {

using zarvo::platform::MediaChannel;
using zarvo::platform::WebMediaPlayer;

zarvo::platform::LocalFileSystem files;
std::unique_ptr<WebMediaPlayer> players[2];

WebMediaPlayer& player(int music) {
    auto& p = players[music ? 1 : 0];
    if (!p)
        p = std::make_unique<WebMediaPlayer>(files,
                                             music ? MediaChannel::Music : MediaChannel::Sound);
    return *p;
}

// Twelve piano chords, a tempo change after the first: 0.5 s at 120 beats a minute, then 0.25 s
// each, 3.25 s in all.
std::string song() {
    using zarvo::test::MidiEvent;
    std::vector<MidiEvent> events = {{0, {0xFF, 0x51, 3, 0x07, 0xA1, 0x20}}, {0, {0xC0, 0}}};
    uint32_t delta = 0;
    for (int chord = 0; chord < 12; ++chord) {
        uint8_t root = static_cast<uint8_t>(60 + chord % 3 * 4);
        uint8_t third = static_cast<uint8_t>(root + 4), fifth = static_cast<uint8_t>(root + 7);
        events.push_back({delta, {0x90, root, 100}});
        events.push_back({0, {third, 100}});  // running status
        events.push_back({0, {fifth, 100}});
        events.push_back({480, {0x80, root, 0}});
        events.push_back({0, {0x80, third, 0}});
        events.push_back({0, {0x80, fifth, 0}});
        delta = 0;
        if (chord == 0) events.push_back({0, {0xFF, 0x51, 3, 0x03, 0xD0, 0x90}});
    }
    events.push_back({0, {0xFF, 0x2F, 0}});
    return zarvo::test::midiFile(0, 480, {zarvo::test::midiTrack(events)});
}

// A chord for the first second (at 60 beats a minute), then eight seconds without a note: a
// player started two seconds in has nothing to play.
std::string chordThenRest() {
    return zarvo::test::midiFile(0, 480,
                                 {zarvo::test::midiTrack({{0, {0xFF, 0x51, 3, 0x0F, 0x42, 0x40}},
                                                          {0, {0xC0, 0}},
                                                          {0, {0x90, 60, 100}},
                                                          {0, {0x90, 64, 100}},
                                                          {480, {0x80, 60, 0}},
                                                          {0, {0x80, 64, 0}},
                                                          {3840, {0xB0, 7, 100}},
                                                          {0, {0xFF, 0x2F, 0}}})});
}

}  // namespace

extern "C" {
EMSCRIPTEN_KEEPALIVE int check_open(int music, const char* path) {
    return player(music).open(path) ? 1 : 0;
}
EMSCRIPTEN_KEEPALIVE void check_play(int music) {
    player(music).play();
}
EMSCRIPTEN_KEEPALIVE void check_stop(int music) {
    player(music).stop();
}
EMSCRIPTEN_KEEPALIVE void check_rewind(int music) {
    player(music).seekToStart();
}
EMSCRIPTEN_KEEPALIVE int check_complete(int music) {
    return player(music).isComplete() ? 1 : 0;
}
EMSCRIPTEN_KEEPALIVE int check_position(int music) {
    return static_cast<int>(player(music).positionMs());
}
EMSCRIPTEN_KEEPALIVE int check_duration(int music) {
    return static_cast<int>(player(music).durationMs());
}
EMSCRIPTEN_KEEPALIVE int check_volume(int music, int level) {
    return player(music).setVolume(level) ? 1 : 0;
}
}

int main() {
    files.makeDirectory("/media");
    files.writeFile("/media/tone.wav", zarvo::test::wavFile(44100, 2, 16, 44100 * 3));
    files.writeFile("/media/short.wav", zarvo::test::wavFile(22050, 1, 16, 22050 * 2 / 5));
    files.writeFile("/media/tone.ogg", zarvo::test::oggVorbisFile(3.0, 44100, 2));
    files.writeFile("/media/song.mid", song());
    files.writeFile("/media/rest.mid", chordThenRest());
    files.writeFile("/media/broken.wav", "RIFF....WAVEjunk");
    EM_ASM(globalThis.checkReady = true;);
    return 0;
}

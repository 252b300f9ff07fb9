// Media files made by the tests themselves, with known playing times.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace zarvo::test {

// PCM WAV of `frames` sample frames: a quiet 440 Hz tone.
std::string wavFile(uint32_t rate, uint16_t channels, uint16_t bits, uint32_t frames);
// A WAV of about `ms` milliseconds (8 kHz mono 8 bit), for timing tests.
std::string wavOfMs(uint32_t ms);

// One MIDI event for midiFile: a delta time in ticks and the raw bytes after it.
struct MidiEvent {
    uint32_t delta;
    std::vector<uint8_t> bytes;
};
std::string midiTrack(const std::vector<MidiEvent>& events);  // an MTrk chunk
// A Standard MIDI File with the given format, division and MTrk chunks.
std::string midiFile(uint16_t format, uint16_t division, const std::vector<std::string>& tracks);
// The variable-length quantity of a delta time or meta length.
std::vector<uint8_t> varLength(uint32_t value);

// `count` MPEG-1 layer III frames of 128 kbit/s at 44.1 kHz (1152 samples each), payload zeroed;
// with `xingFrames` the first frame carries a Xing header giving that frame count instead.
std::string mp3Frames(uint32_t count, bool mono = false, uint32_t xingFrames = 0);

// Ogg Vorbis of `seconds` of a tone, encoded with libvorbisenc.
std::string oggVorbisFile(double seconds, uint32_t rate, int channels, int serial = 12345);

}  // namespace zarvo::test

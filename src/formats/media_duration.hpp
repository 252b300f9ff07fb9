// The playing time of a music or sound file, read from its own bytes: the headless host's
// silent players run for as long as the desktop would play. Untrusted input: every read is
// bounds-checked, and anything unknown or damaged beyond use is refused.
#pragma once
#include <string_view>

namespace zarvo::platform {

enum class MediaFormat { Unknown, Wave, OggVorbis, OggOpus, Mp3, Midi };

// WAV (from its header, also RIFF MIDI), Ogg Vorbis and Opus (the last granule position of each
// chained stream), MP3 (a Xing/Info or VBRI header when present, else the sum of its frames) and
// Standard MIDI Files (the last event through the tempo map). False for anything else.
bool probeMediaDuration(std::string_view bytes, MediaFormat& format, double& seconds);

}  // namespace zarvo::platform

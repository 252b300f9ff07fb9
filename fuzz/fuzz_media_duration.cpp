// Playing-time probes on arbitrary bytes: WAV, Ogg, MP3 and MIDI headers come from story files
// nobody checked. An accepted file must have a finite, non-negative length.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "formats/media_duration.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    zarvo::platform::MediaFormat format;
    double seconds;
    if (zarvo::platform::probeMediaDuration(bytes, format, seconds) &&
        (!std::isfinite(seconds) || seconds < 0 || format == zarvo::platform::MediaFormat::Unknown))
        abort();
    return 0;
}

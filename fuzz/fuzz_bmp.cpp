// BMP decoding on arbitrary bytes; every picture it accepts must survive an encode and decode.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "formats/bmp.hpp"

using namespace zarvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    BmpInfo info;
    if (!readBmpInfo(bytes, info)) return 0;
    // Tiny compressed images may declare up to the decoder's full limit of pixels; clearing
    // gigabytes per input would only slow the search down.
    if (int64_t(info.width) * info.height > (int64_t(1) << 16)) return 0;
    Picture pic;
    if (!decodeBmp(bytes, pic)) abort();
    if (pic.width != info.width || pic.height != info.height ||
        pic.pixels.size() != size_t(pic.width) * size_t(pic.height))
        abort();
    Picture back;
    if (!decodeBmp(encodeBmp(pic), back) || back.pixels != pic.pixels) abort();
    for (uint32_t px : pic.pixels)
        if (px >> 24) abort();
    return 0;
}

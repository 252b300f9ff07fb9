// MAG decoding on arbitrary bytes: both outputs (picture and BMP image) must agree on success
// and on failure, and the BMP image must read back as the same picture.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "formats/bmp.hpp"
#include "formats/mag_decoder.hpp"

using namespace zarvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    MagLayout layout;
    const MagCheck check = checkMagHeader(bytes, layout);
    // Small files may declare the decoder's full limit of pixels; filling gigabytes per input
    // would only slow the search down.
    if (check == kMagGood && int64_t(layout.width) * layout.height > (int64_t(1) << 18)) return 0;
    Picture pic;
    const bool ok = decodeMag(bytes, pic);
    if (ok && check != kMagGood) abort();
    std::string bmp;
    const int result = MagDecoder::magToBmp(bytes, bmp);
    if ((result == 0) != ok) abort();
    if (!ok) return 0;
    if (pic.width != layout.width || pic.height != layout.height ||
        pic.pixels.size() != size_t(pic.width) * size_t(pic.height) ||
        bmp.size() != MagDecoder::bitmapSize(bytes))
        abort();
    Picture back;
    if (!decodeBmp(bmp, back) || back.pixels != pic.pixels) abort();
    return 0;
}

// Feeds arbitrary bytes to the PNG reader of the picture surface. A picture that loads is then
// copied, blended and tested, so every row and mask byte it claims to have is touched.
//
// The mutator rewrites the chunk checksums after each mutation; otherwise nearly every mutated
// input stops at the first checksum test and the decoder behind it is never reached.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "formats/png.hpp"
#include "graphics/surface.hpp"

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

namespace {

uint32_t readBig(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

void fixChecksums(uint8_t* data, size_t size) {
    size_t at = 8;
    while (at + 12 <= size) {
        const uint32_t length = readBig(data + at);
        if (length > size - at - 12) break;
        const uLong crc = crc32(0, data + at + 4, static_cast<uInt>(length + 4));
        uint8_t* out = data + at + 8 + length;
        for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
        at += 12 + length;
    }
}

}  // namespace

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize,
                                          unsigned int) {
    size = LLVMFuzzerMutate(data, size, maxSize);
    fixChecksums(data, size);
    return size;
}

volatile uint32_t fuzzPngSink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zarvo::Picture decoded;
    if (zarvo::decodePng(std::string_view(reinterpret_cast<const char*>(data), size), decoded) !=
        zarvo::PngError::None)
        return 0;
    zarvo::Surface picture;
    picture.assignPicture(std::move(decoded));
    zarvo::Surface screen;
    screen.setAlphaMode(zarvo::AlphaMode::Mask);
    screen.setSize(64, 48);
    picture.copyTo(screen, -3, -2, 0, 0, 0, 0);
    picture.copyTo(screen, 5, 4, 0, 0, picture.width() - 1, picture.height() - 1);
    picture.blendTo(screen, 0, 0, 0, 0, 0, 0, 100);
    uint32_t sum = picture.getPixel(picture.width() - 1, picture.height() - 1);
    sum += picture.hitTest(picture.width() - 1, picture.height() - 1);
    if (picture.hasMask()) sum += picture.maskRow(picture.height() - 1)[picture.width() - 1];
    fuzzPngSink = sum;  // keeps the reads
    return 0;
}

// Windows BMP images: the pictures of the data folder and packages, and the thumbnail and
// background images inside save files.
//
// Read: the 12-byte core header (OS/2 1.x) and the 40, 52, 56, 108 and 124-byte information
// headers; 1, 4 and 8 bits with a colour table, 16 and 32 bits with default or explicit colour
// masks, 24 bits; RLE8 and RLE4; bottom-up and top-down rows. Anything damaged or out of range
// gives false and a short English text, and the output picture is left as it was.
//
// Partial data: an uncompressed image whose pixel rows do not all fit in the file is rejected
// (only the padding of the very last row may be missing). Compressed data is read as far as it
// goes: a stream that stops early, runs past the end of a row (clipped) or moves above the top
// row (ignored) still gives a picture, and every pixel it never set (skipped by a move or an
// end of line too) has colour index 0.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "base/limits.hpp"
#include "formats/picture.hpp"

namespace zarvo {

enum BmpCompression : uint32_t {
    kBmpRgb = 0,
    kBmpRle8 = 1,
    kBmpRle4 = 2,
    kBmpBitfields = 3,
    kBmpAlphaBitfields = 6,
};

// What the headers declare, after the same checks that decoding makes.
struct BmpInfo {
    int32_t width = 0;
    int32_t height = 0;  // always positive
    bool topDown = false;
    uint32_t headerSize = 0;
    uint16_t bitCount = 0;
    uint32_t compression = kBmpRgb;
};

bool readBmpInfo(std::string_view bytes, BmpInfo& info, std::string* error = nullptr);
// Most bytes a BMP file whose first bytes are `head` (at least its file and information
// headers) can take up, with room to spare; UINT64_MAX when the head tells nothing.
uint64_t bmpSizeLimit(std::string_view head);
// The head bmpSizeLimit needs.
inline constexpr size_t kBmpHeadSize = 14 + 40;
bool decodeBmp(std::string_view bytes, Picture& out, std::string* error = nullptr);

// A 24-bit bottom-up uncompressed image with a 40-byte header, as saves store their pictures.
// An empty picture, one beyond the size limits, or one whose pixel count does not match its
// size gives the empty string.
std::string encodeBmp(const Picture& picture);

}  // namespace zarvo

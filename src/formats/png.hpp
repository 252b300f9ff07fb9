// PNG through libpng, on bytes only: the caller reads the file or the package entry and writes
// what the encoder returns.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "formats/picture.hpp"

namespace zarvo {

enum class PngError : uint8_t {
    None = 0,
    NotPng,    // no PNG signature
    Damaged,   // cut short, a bad chunk, an unexpected layout
    TooLarge,  // a side above kMaxPictureSide, or more than kMaxPictureBytes decoded
    OutOfMemory,
};

// Every colour type and depth ends as 0x00RRGGBB pixels; transparency (an alpha channel, or a
// tRNS chunk) becomes the mask, with AlphaMode::Alpha or AlphaMode::Mask. On any error `out` is
// left as it was.
PngError decodePng(std::string_view bytes, Picture& out);

// An 8-bit RGB picture, or RGBA with the mask as alpha when the view has one. False (and `bytes`
// unchanged) for an empty picture or when memory runs out.
bool encodePng(const PictureView& picture, std::string& bytes);

}  // namespace zarvo

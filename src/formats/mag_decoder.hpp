// MAG pictures ("MAKI02  "): 16 or 256 colours, coded as flag lines that say which 2-byte units
// repeat a unit nearby and a stream of the units that do not.
//
// The picture area is the declared rectangle widened to whole units (8 pixels for 16 colours,
// 4 for 256). Copies are taken in the picture's own line order, top line first: a unit n lines
// up and some bytes to the left, counted through line ends as one run of bytes. Anything that
// would read outside the file or the picture -- a copy from before the first line, a flag or
// pixel stream running past its declared size, an area outside the file -- fails the picture.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "formats/picture.hpp"

namespace zarvo {

// Results of the header check.
enum MagCheck : int {
    kMagGood = 0,
    kMagIncomplete = 1,  // the palette, flag or pixel areas reach past the end of the file
    kMagNoTextEnd = 2,   // no 0x1A ending the text part, or no room for the header after it
    kMagNotMag = 3,      // wrong signature
    kMagBadHeader = 4,   // header start byte, reversed or oversized rectangle
};

// The header and what follows from it; offsets are absolute positions in the file.
struct MagLayout {
    bool colors256 = false;
    uint32_t headerPos = 0;  // first byte after the 0x1A
    int32_t left = 0, top = 0;
    int32_t width = 0, height = 0;  // width rounded to whole units
    uint32_t stride = 0;            // bytes per line: width, or width / 2 for 16 colours
    uint64_t flagAPos = 0;
    uint64_t flagBPos = 0, flagBSize = 0;
    uint64_t pixelPos = 0, pixelSize = 0;
    uint32_t paletteEntries() const { return colors256 ? 256 : 16; }
};

// Checks the header of a whole file (or of its beginning, where kMagIncomplete is expected).
MagCheck checkMagHeader(std::string_view bytes, MagLayout& layout);

// Decodes a whole file. On failure `out` is left as it was and `error` gets a short text.
bool decodeMag(std::string_view bytes, Picture& out, std::string* error = nullptr);

// What loading a file as MAG came to.
enum class MagLoad {
    Loaded,   // the picture is in `out`
    NotMag,   // no MAG picture at all: other readers may try it
    Damaged,  // a MAG picture that cannot be expanded
};

// The MAG decoder of the story's picture loading: bytes in, a picture or a result out.
class MagDecoder {
  public:
    // File contents into `out`; `out` is left as it was unless the result is Loaded.
    static MagLoad loadMagBytes(std::string_view bytes, Picture& out);

    // Size of the BMP image the file gives, or 0 when it is no MAG picture. Only the text part
    // and the header are looked at.
    static uint32_t bitmapSize(std::string_view bytes);
    // The BMP image of a whole file into `out` (resized to fit): 0, or -1 on failure.
    static int magToBmp(std::string_view bytes, std::string& out);
};

}  // namespace zarvo

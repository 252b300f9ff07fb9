#include "debug/debug_icons.hpp"

namespace zarvo {
namespace {

using Art = const char* const[kDebugIconSize];
constexpr const char* kPalette = ".kwsrgbcyop";

// One letter a pixel; '.' is clear.
uint32_t colourOf(char c) {
    switch (c) {
        case 'k':
            return 0xFF303030;  // outline
        case 'w':
            return 0xFFFFFFFF;
        case 's':
            return 0xFFB0B0B0;  // grey
        case 'r':
            return 0xFF3030D0;  // red
        case 'g':
            return 0xFF30A030;  // green
        case 'b':
            return 0xFFD07030;  // blue
        case 'c':
            return 0xFFF0D890;  // light blue
        case 'y':
            return 0xFF30D0F0;  // yellow
        case 'o':
            return 0xFF2080F0;  // orange
        case 'p':
            return 0xFFC050A0;  // purple
        default:
            return 0;
    }
}

constexpr Art kArt[kDebugIconCount] = {
    {// stack line: a pile of frames
     "................", "................", ".kkkkkkkkkkkkkk.", ".kcccccccccccck.",
     ".kkkkkkkkkkkkkk.", "................", ".kkkkkkkkkkkkkk.", ".kcccccccccccck.",
     ".kkkkkkkkkkkkkk.", "................", ".kkkkkkkkkkkkkk.", ".kbbbbbbbbbbbbk.",
     ".kkkkkkkkkkkkkk.", "................", "................", "................"},
    {// book
     "................", "...kkkkkkkkkk...", "..krrrrrrrrrrk..", "..krrwwwwwwrrk..",
     "..krrrrrrrrrrk..", "..krrwwwwrrrrk..", "..krrrrrrrrrrk..", "..krrrrrrrrrrk..",
     "..krrrrrrrrrrk..", "..krrrrrrrrrrk..", "..krrrrrrrrrrk..", "..krrrrrrrrrrk..",
     "..kwwwwwwwwwwk..", "..kswswswswswk..", "...kkkkkkkkkkk..", "................"},
    {// page: a sheet with a folded corner
     "................", "..kkkkkkkkk.....", "..kwwwwwwwkk....", "..kwwwwwwwksk...",
     "..kwsssswwkkkk..", "..kwwwwwwwwwwk..", "..kwsssssssswk..", "..kwwwwwwwwwwk..",
     "..kwsssssssswk..", "..kwwwwwwwwwwk..", "..kwsssssssswk..", "..kwwwwwwwwwwk..",
     "..kwssssswwwwk..", "..kwwwwwwwwwwk..", "..kkkkkkkkkkkk..", "................"},
    {// command index: an arrow at a line
     "................", "................", "................", "........k.......",
     "........kk......", "........kyk.....", ".kkkkkkkkyyk....", ".kyyyyyyyyyyk...",
     ".kyyyyyyyyyyyk..", ".kyyyyyyyyyyk...", ".kkkkkkkkyyk....", "........kyk.....",
     "........kk......", "........k.......", "................", "................"},
    {// layer: two sheets, one over the other
     "................", "................", ".....kkkkkkkkkk.", ".....kccccccccck",
     ".....kccccccccck", "..kkkkkkkkkkck.k", "..kbbbbbbbbbkk.k", "..kbbbbbbbbbkcck",
     "..kbbbbbbbbbkkkk", "..kbbbbbbbbbk...", "..kbbbbbbbbbk...", "..kbbbbbbbbbk...",
     "..kkkkkkkkkkk...", "................", "................", "................"},
    {// dynamic layer: a sheet with a spark
     "..........y.....", "..........y.....", "........yyyyy...", "..........y.....",
     "..kkkkkkkkky....", "..koooooooook...", "..koooooooook...", "..koooooooook...",
     "..koooooooook...", "..koooooooook...", "..koooooooook...", "..koooooooook...",
     "..koooooooook...", "..kkkkkkkkkkk...", "................", "................"},
    {// numeric variable: a green tile with a digit
     "................", ".kkkkkkkkkkkkkk.", ".kggggggggggggk.", ".kggggggwwggggk.",
     ".kgggggwwwggggk.", ".kggggwwwwggggk.", ".kggggggwwggggk.", ".kggggggwwggggk.",
     ".kggggggwwggggk.", ".kggggggwwggggk.", ".kgggggwwwwgggk.", ".kggggggggggggk.",
     ".kkkkkkkkkkkkkk.", "................", "................", "................"},
    {// string variable: a purple tile with text lines
     "................", ".kkkkkkkkkkkkkk.", ".kppppppppppppk.", ".kpwwwwwwwwwwpk.",
     ".kppppppppppppk.", ".kpwwwwwwwwpppk.", ".kppppppppppppk.", ".kpwwwwwwwwwwpk.",
     ".kppppppppppppk.", ".kpwwwwwppppppk.", ".kppppppppppppk.", ".kppppppppppppk.",
     ".kkkkkkkkkkkkkk.", "................", "................", "................"},
    {// run: a green triangle
     "................", "...k............", "...kk...........", "...kgk..........",
     "...kggk.........", "...kgggk........", "...kggggk.......", "...kgggggk......",
     "...kgggggk......", "...kggggk.......", "...kgggk........", "...kggk.........",
     "...kgk..........", "...kk...........", "...k............", "................"},
    {// step: a triangle against a bar
     "................", "..k.......kkk...", "..kk......kbk...", "..kgk.....kbk...",
     "..kggk....kbk...", "..kgggk...kbk...", "..kggggk..kbk...", "..kgggggk.kbk...",
     "..kgggggk.kbk...", "..kggggk..kbk...", "..kgggk...kbk...", "..kggk....kbk...",
     "..kgk.....kbk...", "..kk......kbk...", "..k.......kkk...", "................"},
    {// pause: two bars
     "................", "................", "...kkkk..kkkk...", "...kbbk..kbbk...",
     "...kbbk..kbbk...", "...kbbk..kbbk...", "...kbbk..kbbk...", "...kbbk..kbbk...",
     "...kbbk..kbbk...", "...kbbk..kbbk...", "...kbbk..kbbk...", "...kbbk..kbbk...",
     "...kbbk..kbbk...", "...kkkk..kkkk...", "................", "................"},
};

// Every row 16 letters of the palette: a slip in the pictures fails the build.
constexpr bool artIsWellFormed() {
    for (const Art& art : kArt) {
        for (const char* row : art) {
            int length = 0;
            for (; row[length] != '\0'; ++length) {
                bool known = false;
                for (const char* p = kPalette; *p; ++p) known = known || *p == row[length];
                if (!known) return false;
            }
            if (length != kDebugIconSize) return false;
        }
    }
    return true;
}
static_assert(artIsWellFormed());

}  // namespace

DebugIconPixels debugIconPixels(DebugIcon icon) {
    DebugIconPixels pixels{};
    int n = static_cast<int>(icon);
    if (n < 0 || n >= kDebugIconCount) return pixels;
    for (int y = 0; y < kDebugIconSize; ++y) {
        const char* row = kArt[n][y];
        for (int x = 0; x < kDebugIconSize; ++x)
            pixels[static_cast<size_t>(y * kDebugIconSize + x)] = colourOf(row[x]);
    }
    return pixels;
}

}  // namespace zarvo

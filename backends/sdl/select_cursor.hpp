// The pointing-hand cursor shown over clickable layers, drawn here as a 1-bit picture so it looks
// the same on every desktop.
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

namespace zarvo::platform {

// A cursor in the form SDL_CreateCursor takes: rows of bits, most significant bit first, width a
// multiple of 8. data 1 + mask 1 is black, data 0 + mask 1 white, mask 0 transparent.
struct CursorBitmap {
    int width = 0, height = 0;
    int hotX = 0, hotY = 0;
    std::vector<uint8_t> data, mask;
    bool opaqueAt(int x, int y) const;
    bool blackAt(int x, int y) const;
};

// Builds a cursor from rows of 'X' (black), '.' (white) and anything else (transparent); short
// rows are padded.
CursorBitmap cursorFromArt(const std::vector<std::string_view>& rows, int hotX, int hotY);

// The selection (hand) cursor.
const CursorBitmap& selectCursorBitmap();

}  // namespace zarvo::platform

#include "backends/sdl/select_cursor.hpp"

#include <algorithm>

namespace zarvo::platform {

bool CursorBitmap::opaqueAt(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return false;
    return mask[y * (width / 8) + x / 8] & (0x80 >> (x % 8));
}

bool CursorBitmap::blackAt(int x, int y) const {
    if (!opaqueAt(x, y)) return false;
    return data[y * (width / 8) + x / 8] & (0x80 >> (x % 8));
}

CursorBitmap cursorFromArt(const std::vector<std::string_view>& rows, int hotX, int hotY) {
    CursorBitmap c;
    size_t widest = 0;
    for (auto r : rows) widest = std::max(widest, r.size());
    c.width = static_cast<int>((widest + 7) / 8 * 8);
    c.height = static_cast<int>(rows.size());
    c.hotX = hotX;
    c.hotY = hotY;
    c.data.assign(c.width / 8 * c.height, 0);
    c.mask.assign(c.data.size(), 0);
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < static_cast<int>(rows[y].size()); ++x) {
            size_t at = y * (c.width / 8) + x / 8;
            uint8_t bit = 0x80 >> (x % 8);
            if (rows[y][x] == 'X') {
                c.data[at] |= bit;
                c.mask[at] |= bit;
            } else if (rows[y][x] == '.') {
                c.mask[at] |= bit;
            }
        }
    return c;
}

const CursorBitmap& selectCursorBitmap() {
    // A hand pointing up; the hot spot is the tip of the index finger.
    // clang-format off
    static const CursorBitmap hand = cursorFromArt({
        "      XX",
        "     X..X",
        "     X..X",
        "     X..X",
        "     X..X",
        "     X..XXX",
        "     X..X..XXX",
        "     X..X..X..XX",
        "     X..X..X..X.X",
        " XXX X..X..X..X..X",
        " X..XX........X..X",
        " X...X...........X",
        "  X..X...........X",
        "   X.............X",
        "   X.............X",
        "    X............X",
        "    X...........X",
        "     X..........X",
        "     X.........X",
        "      X........X",
        "      X........X",
        "      XXXXXXXXXX",
    }, 6, 0);
    // clang-format on
    return hand;
}

}  // namespace zarvo::platform

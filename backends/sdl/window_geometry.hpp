// Where the story's picture sits in the desktop window: at a whole scale factor or as large as
// fits; centred, the aspect ratio kept. Pointer positions map back to story pixels.
#pragma once
#include <vector>

namespace zarvo::platform {

struct Viewport {
    int x = 0, y = 0;  // top-left of the picture in window pixels
    int scale = 1;     // the whole factor; for a fitted picture the whole part of its factor
    int w = 0, h = 0;  // the drawn size; 0: the picture's size times `scale`
};

// Largest whole factor from 1 to `maxScale` at which a picture of pictureW x pictureH fits into
// usableW x usableH (the display's usable area less the window frame); 1 when nothing larger fits.
int chooseScale(int pictureW, int pictureH, int usableW, int usableH, int maxScale = 4);

// The picture drawn at `scale` (0: the largest whole factor that fits, at least 1) centred in an
// output of outW x outH. A picture larger than the output gets a negative offset and is cropped
// evenly on both sides.
// With `fit` the picture is drawn as large as fits instead, at any factor, centred.
Viewport fitPicture(int outW, int outH, int pictureW, int pictureH, int scale, bool fit = false);

// The whole factor a sharply scaled picture is enlarged by (square pixels) before it is filtered
// to `view`: the largest that fits, but 2 rather than 1 for a view up to twice the picture's
// size, so that filtering never spreads an edge over more than about one window pixel. Kept to
// pictures of at most `maxSide` pixels a side.
int sharpFactor(const Viewport& view, int pictureW, int pictureH, int maxSide = 8192);

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    bool operator==(const Rect&) const = default;
};
// The window frame's thickness on each side of the client area.
struct Frame {
    int top = 0, left = 0, bottom = 0, right = 0;
};

// A window's client area (as kept between runs) moved, and shrunk when it must, so that it and
// its frame lie on one display's usable area: the display it overlaps most, else the first. A
// saved place on a display since removed or made smaller comes back into view.
Rect keepOnDisplay(Rect client, Frame frame, const std::vector<Rect>& usable);

struct StoryPoint {
    bool inside = false;  // false: the position is on the border around the picture
    int x = 0, y = 0;
};

// Story pixel under window position (x, y). Positions off the picture (the black border of full
// screen) are reported as outside and not clamped: the player never saw a pointer there, as a
// windowed player gets no events outside its client area.
StoryPoint mapWindowToStory(int x, int y, const Viewport& view, int pictureW, int pictureH);

}  // namespace zarvo::platform

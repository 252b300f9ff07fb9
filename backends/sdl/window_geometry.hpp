// Where the story's picture sits in the desktop window: a whole scale factor (pixels stay sharp)
// or, when the reader asks for it, as large as fits (smoothly filtered); centred, the aspect
// ratio kept. Pointer positions map back to story pixels.
#pragma once

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

struct StoryPoint {
    bool inside = false;  // false: the position is on the border around the picture
    int x = 0, y = 0;
};

// Story pixel under window position (x, y). Positions off the picture (the black border of full
// screen) are reported as outside and not clamped: the player never saw a pointer there, as a
// windowed player gets no events outside its client area.
StoryPoint mapWindowToStory(int x, int y, const Viewport& view, int pictureW, int pictureH);

}  // namespace zarvo::platform

#include "backends/sdl/window_geometry.hpp"

#include <algorithm>

namespace zarvo::platform {

int chooseScale(int pictureW, int pictureH, int usableW, int usableH, int maxScale) {
    if (pictureW <= 0 || pictureH <= 0) return 1;
    int best = 1;
    for (int k = 2; k <= maxScale; ++k)
        // 64-bit products: a hostile story size times the factor must not wrap.
        if (static_cast<long long>(pictureW) * k <= usableW &&
            static_cast<long long>(pictureH) * k <= usableH)
            best = k;
    return best;
}

Viewport fitPicture(int outW, int outH, int pictureW, int pictureH, int scale) {
    Viewport v;
    if (pictureW <= 0 || pictureH <= 0) return v;
    v.scale = scale > 0 ? scale : std::max(1, std::min(outW / pictureW, outH / pictureH));
    long long w = static_cast<long long>(pictureW) * v.scale;
    long long h = static_cast<long long>(pictureH) * v.scale;
    v.x = static_cast<int>((outW - w) / 2);
    v.y = static_cast<int>((outH - h) / 2);
    return v;
}

StoryPoint mapWindowToStory(int x, int y, const Viewport& view, int pictureW, int pictureH) {
    StoryPoint p;
    int scale = std::max(1, view.scale);
    long long dx = static_cast<long long>(x) - view.x;
    long long dy = static_cast<long long>(y) - view.y;
    // Checked before dividing: division truncates toward zero, so -1 / 2 would land on pixel 0.
    if (dx < 0 || dy < 0) return p;
    p.x = static_cast<int>(dx / scale);
    p.y = static_cast<int>(dy / scale);
    p.inside = p.x < pictureW && p.y < pictureH;
    if (!p.inside) p.x = p.y = 0;
    return p;
}

}  // namespace zarvo::platform

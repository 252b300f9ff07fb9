#include "backends/sdl/window_geometry.hpp"

#include <algorithm>
#include <cstdint>

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

Viewport fitPicture(int outW, int outH, int pictureW, int pictureH, int scale, bool fit) {
    Viewport v;
    if (pictureW <= 0 || pictureH <= 0) return v;
    if (fit && outW > 0 && outH > 0) {
        // The side that runs out first decides; the other keeps the aspect ratio.
        long long w = outW, h = static_cast<long long>(pictureH) * outW / pictureW;
        if (h > outH) {
            h = outH;
            w = static_cast<long long>(pictureW) * outH / pictureH;
        }
        v.w = static_cast<int>(std::max(1LL, w));
        v.h = static_cast<int>(std::max(1LL, h));
        v.scale = std::max(1, v.w / pictureW);
        v.x = (outW - v.w) / 2;
        v.y = (outH - v.h) / 2;
        return v;
    }
    v.scale = scale > 0 ? scale : std::max(1, std::min(outW / pictureW, outH / pictureH));
    long long w = static_cast<long long>(pictureW) * v.scale;
    long long h = static_cast<long long>(pictureH) * v.scale;
    v.x = static_cast<int>((outW - w) / 2);
    v.y = static_cast<int>((outH - h) / 2);
    v.w = static_cast<int>(std::min<long long>(w, INT32_MAX));
    v.h = static_cast<int>(std::min<long long>(h, INT32_MAX));
    return v;
}

int sharpFactor(const Viewport& view, int pictureW, int pictureH, int maxSide) {
    if (pictureW <= 0 || pictureH <= 0) return 1;
    long long k = std::min(view.w / pictureW, view.h / pictureH);
    // Below twice the size the whole part would be 1 and filtering the picture up would blur it
    // as much as smooth scaling: twice, filtered down, instead.
    if (k < 2) k = view.w > pictureW || view.h > pictureH ? 2 : 1;
    const long long limit = std::max(1, maxSide / std::max(pictureW, pictureH));
    return static_cast<int>(std::min(k, limit));
}

Rect keepOnDisplay(Rect client, Frame frame, const std::vector<Rect>& usable) {
    if (usable.empty()) return client;
    // Values from a file: far beyond any desktop, but never overflowing below.
    constexpr int kFar = 1 << 24, kLarge = 1 << 16;
    client = {std::clamp(client.x, -kFar, kFar), std::clamp(client.y, -kFar, kFar),
              std::clamp(client.w, 1, kLarge), std::clamp(client.h, 1, kLarge)};
    Rect outer{client.x - frame.left, client.y - frame.top, client.w + frame.left + frame.right,
               client.h + frame.top + frame.bottom};
    auto overlap = [&](const Rect& d) {
        long long w = std::min<long long>(outer.x + outer.w, d.x + d.w) - std::max(outer.x, d.x);
        long long h = std::min<long long>(outer.y + outer.h, d.y + d.h) - std::max(outer.y, d.y);
        return w > 0 && h > 0 ? w * h : 0;
    };
    const Rect* best = &usable.front();
    long long bestArea = overlap(*best);
    for (const Rect& d : usable) {
        long long area = overlap(d);
        if (area > bestArea) best = &d, bestArea = area;
    }
    const Rect& d = *best;
    outer.w = std::min(outer.w, d.w);
    outer.h = std::min(outer.h, d.h);
    outer.x = std::clamp(outer.x, d.x, d.x + d.w - outer.w);
    outer.y = std::clamp(outer.y, d.y, d.y + d.h - outer.h);
    return Rect{outer.x + frame.left, outer.y + frame.top,
                std::max(1, outer.w - frame.left - frame.right),
                std::max(1, outer.h - frame.top - frame.bottom)};
}

StoryPoint mapWindowToStory(int x, int y, const Viewport& view, int pictureW, int pictureH) {
    StoryPoint p;
    if (pictureW <= 0 || pictureH <= 0) return p;
    const long long scale = std::max(1, view.scale);
    const long long w = view.w > 0 ? view.w : pictureW * scale;
    const long long h = view.h > 0 ? view.h : pictureH * scale;
    long long dx = static_cast<long long>(x) - view.x;
    long long dy = static_cast<long long>(y) - view.y;
    // Checked before dividing: division truncates toward zero, so -1 / 2 would land on pixel 0.
    if (dx < 0 || dy < 0 || dx >= w || dy >= h) return p;
    // Story pixel j covers window pixels j * w / pictureW up to (j + 1) * w / pictureW, as the
    // renderer stretches the picture; at a whole factor this is plain division.
    p.x = static_cast<int>(dx * pictureW / w);
    p.y = static_cast<int>(dy * pictureH / h);
    p.inside = p.x < pictureW && p.y < pictureH;
    if (!p.inside) p.x = p.y = 0;
    return p;
}

}  // namespace zarvo::platform

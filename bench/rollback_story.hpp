// The rollback benchmark's picture story: a full-screen scene that changes at every message,
// drawn here (a sky gradient, hills, discs and boxes, and grain), over a character and a message
// window that stay.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "formats/picture.hpp"

namespace zarvo::bench {

inline constexpr int kSceneWidth = 640, kSceneHeight = 480;

struct Lcg {
    uint32_t s;
    uint32_t next() { return s = s * 1664525u + 1013904223u; }
    int below(int n) { return static_cast<int>((next() >> 8) % static_cast<uint32_t>(n)); }
};

inline uint32_t rgb(int r, int g, int b) {
    auto c = [](int v) { return static_cast<uint32_t>(std::clamp(v, 0, 255)); };
    return (c(r) << 16) | (c(g) << 8) | c(b);
}

// Scene `index`: no two alike.
inline Picture scenePicture(int index, int width = kSceneWidth, int height = kSceneHeight) {
    Picture p;
    p.width = width;
    p.height = height;
    p.pixels.resize(static_cast<size_t>(width) * height);
    Lcg rng{static_cast<uint32_t>(index) * 2654435761u + 17};
    const int r0 = rng.below(200), g0 = rng.below(200), b0 = 80 + rng.below(170);
    const int r1 = 150 + rng.below(100), g1 = 100 + rng.below(150), b1 = rng.below(120);
    const double phase = rng.below(628) / 100.0, freq = 0.005 + rng.below(20) / 1000.0;
    const int horizon = height / 2 + rng.below(height / 4);
    const uint32_t hill = rgb(20 + rng.below(80), 60 + rng.below(120), 20 + rng.below(60));
    for (int y = 0; y < height; ++y) {
        const double t = static_cast<double>(y) / height;
        for (int x = 0; x < width; ++x) {
            const double u = static_cast<double>(x) / width;
            const int ground = horizon + static_cast<int>(40 * std::sin(x * freq + phase));
            uint32_t c;
            if (y >= ground) {
                const int shade = (y - ground) / 4;
                c = rgb(static_cast<int>((hill >> 16) & 0xFF) - shade,
                        static_cast<int>((hill >> 8) & 0xFF) - shade,
                        static_cast<int>(hill & 0xFF) - shade / 2);
            } else {
                c = rgb(static_cast<int>(r0 + (r1 - r0) * t + 20 * u),
                        static_cast<int>(g0 + (g1 - g0) * t), static_cast<int>(b0 + (b1 - b0) * t));
            }
            p.pixels[static_cast<size_t>(y) * width + x] = c;
        }
    }
    // Shapes: discs (a sun, trees) and boxes (houses).
    for (int k = 0, n = 4 + rng.below(6); k < n; ++k) {
        const int cx = rng.below(width), cy = rng.below(height), r = 10 + rng.below(60);
        const uint32_t c = rgb(rng.below(256), rng.below(256), rng.below(256));
        for (int y = std::max(0, cy - r); y < std::min(height, cy + r); ++y)
            for (int x = std::max(0, cx - r); x < std::min(width, cx + r); ++x)
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r)
                    p.pixels[static_cast<size_t>(y) * width + x] = c;
    }
    for (int k = 0, n = 2 + rng.below(5); k < n; ++k) {
        const int left = rng.below(width), top = rng.below(height);
        const int w = 20 + rng.below(120), h = 20 + rng.below(100);
        const uint32_t c = rgb(rng.below(256), rng.below(256), rng.below(256));
        for (int y = top; y < std::min(height, top + h); ++y)
            for (int x = left; x < std::min(width, left + w); ++x)
                p.pixels[static_cast<size_t>(y) * width + x] =
                    c ^ ((y - top) % 8 == 0 ? 0x202020 : 0);
    }
    // Grain, as a photo or a painted background has: a few levels up or down.
    for (uint32_t& px : p.pixels) {
        const int n = static_cast<int>(rng.next() >> 29) - 3;
        px = rgb(static_cast<int>((px >> 16) & 0xFF) + n, static_cast<int>((px >> 8) & 0xFF) + n,
                 static_cast<int>(px & 0xFF) + n);
    }
    return p;
}

// The script (UTF-8): the window and the character once, then `messages` messages, each over a
// new scene "scene_N.bmp", each ending with a short timed wait, so the story plays by itself;
// then a wait for a click.
inline std::string pictureStoryScript(int messages) {
    std::string s =
        "/// Game Creative Tool - Zarvo Third -\n/// rollback "
        "benchmark\n<Head=\"Zarvo\">\nFileType=QZ7\nImageWidth=640\nImageHeight=480\n"
        "<Head End>\n<Head=\"LayerList\">\nLayerCount=3\nLayer.1.LayerName=キャラクター\n"
        "Layer.2.LayerName=ウィンドウ\n<Head End>\n<Book=\"スタートブック\">\n"
        "<Page=\"スタートページ\">\n"
        "GraphicDraw.FileName=chara.bmp\nGraphicDraw.Layer=キャラクター\nGraphicDraw.Layer.Move=1\n"
        "GraphicDraw.Area.Left=400\nGraphicDraw.Area.Top=60\n@GraphicDraw\n"
        "GraphicDraw.FileName=window.bmp\nGraphicDraw.Layer=ウィンドウ\nGraphicDraw.Layer.Move=1\n"
        "GraphicDraw.Area.Left=20\nGraphicDraw.Area.Top=340\n@GraphicDraw\n";
    for (int i = 0; i < messages; ++i) {
        s += "GraphicDraw.FileName=scene_" + std::to_string(i) +
             ".bmp\nGraphicDraw.EffectType=None\n@GraphicDraw\n";
        s += "MessageDraw.Text=<clWhite>" + std::to_string(i + 1) +
             "番目の場面。丘の向こうに、まだ見たことのない町がある。<W300>\n"
             "MessageDraw.Layer.Move=1\nMessageDraw.Area.Left=40\nMessageDraw.Area.Top=352\n"
             "MessageDraw.Area.Width=560\nMessageDraw.Area.Height=110\n@MessageDraw\n";
    }
    s += "Wait.InputBreak=1\n@Wait\n<Page End>\n<Book End>\n";
    return s;
}

}  // namespace zarvo::bench

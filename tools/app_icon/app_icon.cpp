// Draws the player's icon at every size the desktop asks for: a night-blue card with a moon and
// a message window, the two things every story of ours shows. Each size is drawn from the same
// shapes (sampled 4 x 4 times per pixel), not scaled from another size, so small ones stay sharp.
//   app_icon OUTPUT_DIR   writes OUTPUT_DIR/SIZExSIZE/zarvoplay.png for each size
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "backends/posix/local_file_system.hpp"
#include "formats/png.hpp"
#include "graphics/surface.hpp"

namespace {

struct Rgba {
    double r, g, b, a;
};

// Signed distance to a rounded rectangle; negative inside. Coordinates are in icon units (0..1).
double roundedBox(double x, double y, double left, double top, double right, double bottom,
                  double radius) {
    double cx = (left + right) / 2, cy = (top + bottom) / 2;
    double hx = (right - left) / 2 - radius, hy = (bottom - top) / 2 - radius;
    double qx = std::abs(x - cx) - hx, qy = std::abs(y - cy) - hy;
    double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
    return outside + std::min(std::max(qx, qy), 0.0) - radius;
}

Rgba over(Rgba top, Rgba below) {
    double a = top.a + below.a * (1 - top.a);
    if (a <= 0) return {0, 0, 0, 0};
    auto ch = [&](double t, double b) { return (t * top.a + b * below.a * (1 - top.a)) / a; };
    return {ch(top.r, below.r), ch(top.g, below.g), ch(top.b, below.b), a};
}

// The icon at one point.
Rgba sample(double x, double y) {
    Rgba out{0, 0, 0, 0};
    if (roundedBox(x, y, 0.04, 0.04, 0.96, 0.96, 0.16) > 0) return out;
    // The card: a night sky, lighter towards the bottom.
    out = {0.10 + 0.20 * y, 0.12 + 0.16 * y, 0.36 + 0.30 * y, 1};
    // The moon: a disc with a bite taken out of it.
    if (std::hypot(x - 0.66, y - 0.30) < 0.17 && std::hypot(x - 0.74, y - 0.24) > 0.15)
        out = over({1.0, 0.92, 0.60, 1}, out);
    // Two stars.
    for (auto [sx, sy] : {std::pair{0.24, 0.22}, std::pair{0.38, 0.40}})
        if (std::abs(x - sx) + std::abs(y - sy) < 0.045) out = over({1, 1, 0.9, 1}, out);
    // The message window, translucent white, with three lines of "text".
    if (roundedBox(x, y, 0.12, 0.56, 0.88, 0.88, 0.06) < 0) {
        out = over({1, 1, 1, 0.88}, out);
        for (double line : {0.65, 0.72, 0.79}) {
            double end = line > 0.78 ? 0.56 : 0.80;
            if (std::abs(y - line) < 0.018 && x > 0.20 && x < end)
                out = over({0.18, 0.20, 0.42, 1}, out);
        }
    }
    return out;
}

zarvo::Surface draw(int size) {
    zarvo::Surface g;
    g.setSize(size, size);
    g.setAlphaMode(zarvo::AlphaMode::Alpha);
    constexpr int kSamples = 4;
    for (int py = 0; py < size; ++py)
        for (int px = 0; px < size; ++px) {
            double r = 0, gr = 0, b = 0, a = 0;
            for (int sy = 0; sy < kSamples; ++sy)
                for (int sx = 0; sx < kSamples; ++sx) {
                    Rgba c = sample((px + (sx + 0.5) / kSamples) / size,
                                    (py + (sy + 0.5) / kSamples) / size);
                    r += c.r * c.a, gr += c.g * c.a, b += c.b * c.a, a += c.a;
                }
            auto byte = [](double v) {
                return static_cast<uint32_t>(std::clamp(std::lround(v * 255), 0L, 255L));
            };
            // Colour weighted by coverage, so edges do not darken.
            uint32_t pixel = a > 0 ? (byte(r / a) << 16) | (byte(gr / a) << 8) | byte(b / a) : 0;
            g.row(py)[px] = pixel;
            g.maskRow(py)[px] = static_cast<uint8_t>(byte(a / (kSamples * kSamples)));
        }
    return g;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: app_icon OUTPUT_DIR [SIZE...]\n");
        return 2;
    }
    // The sizes of the desktop's icon theme, or those asked for (the web page's 192 and 512).
    std::vector<int> sizes = {16, 22, 24, 32, 48, 64, 128, 256};
    if (argc > 2) sizes.clear();
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size < 16 || size > 1024) {
            std::fprintf(stderr, "app_icon: a size is 16 to 1024 pixels, not %s\n", argv[i]);
            return 2;
        }
        sizes.push_back(size);
    }
    zarvo::platform::LocalFileSystem files;
    const std::string root = argv[1];
    files.makeDirectory(root);
    for (int size : sizes) {
        const std::string dir = root + "/" + std::to_string(size) + "x" + std::to_string(size);
        std::string bytes;
        if (!files.makeDirectory(dir) || !zarvo::encodePng(draw(size).view(), bytes) ||
            !files.writeFile(dir + "/zarvoplay.png", bytes)) {
            std::fprintf(stderr, "app_icon: cannot write the icons into %s\n", dir.c_str());
            return 1;
        }
    }
    return 0;
}

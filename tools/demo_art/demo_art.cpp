// Draws the demo story's pictures: backgrounds, a character, a message window. Everything is
// computed here, so the demo ships no third-party art.
//   demo_art OUTPUT_DIR
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "backends/freetype/freetype_font_engine.hpp"
#include "backends/posix/local_file_system.hpp"
#include "base/sjis.hpp"
#include "formats/png.hpp"
#include "graphics/surface.hpp"
#include "graphics/text_layout.hpp"

namespace {

using zarvo::AlphaMode;
using zarvo::Surface;

constexpr double kPi = 3.14159265358979323846;

uint32_t rgb(int r, int g, int b) {
    auto c = [](int v) { return static_cast<uint32_t>(std::clamp(v, 0, 255)); };
    return (c(r) << 16) | (c(g) << 8) | c(b);  // pixel word 0x00RRGGBB
}

uint32_t mix(uint32_t a, uint32_t b, double t) {
    auto ch = [&](int shift) {
        double x = ((a >> shift) & 0xFF) * (1 - t) + ((b >> shift) & 0xFF) * t;
        return static_cast<int>(std::lround(x));
    };
    return rgb(ch(16), ch(8), ch(0));
}

// A small deterministic generator, so every build draws the same stars.
struct Lcg {
    uint32_t s;
    uint32_t next() { return s = s * 1664525u + 1013904223u; }
};

void verticalGradient(Surface& g, uint32_t top, uint32_t bottom) {
    for (int y = 0; y < g.height(); ++y) {
        uint32_t c = mix(top, bottom, static_cast<double>(y) / (g.height() - 1));
        std::fill(g.row(y), g.row(y) + g.width(), c);
    }
}

void disc(Surface& g, double cx, double cy, double r, uint32_t c) {
    for (int y = std::max(0, int(cy - r)); y <= std::min(g.height() - 1, int(cy + r)); ++y)
        for (int x = std::max(0, int(cx - r)); x <= std::min(g.width() - 1, int(cx + r)); ++x)
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) g.row(y)[x] = c;
}

void hills(Surface& g, double base, double amp, double freq, double phase, uint32_t c) {
    for (int x = 0; x < g.width(); ++x) {
        int top = static_cast<int>(base + amp * std::sin(x * freq + phase));
        for (int y = std::max(0, top); y < g.height(); ++y) g.row(y)[x] = c;
    }
}

Surface morning() {
    Surface g;
    g.setSize(640, 480);
    verticalGradient(g, rgb(70, 140, 230), rgb(250, 220, 190));
    disc(g, 500, 110, 46, rgb(255, 240, 170));
    hills(g, 330, 28, 0.012, 0.5, rgb(110, 170, 100));
    hills(g, 380, 22, 0.02, 2.0, rgb(70, 140, 80));
    return g;
}

Surface night() {
    Surface g;
    g.setSize(640, 480);
    verticalGradient(g, rgb(8, 10, 40), rgb(40, 50, 110));
    Lcg lcg{12345};
    for (int i = 0; i < 160; ++i) {
        int x = lcg.next() % 640, y = lcg.next() % 300;
        g.row(y)[x] = rgb(255, 255, 220);
    }
    disc(g, 120, 100, 34, rgb(240, 240, 210));
    disc(g, 134, 92, 30, rgb(20, 25, 70));  // crescent
    hills(g, 350, 24, 0.015, 1.0, rgb(20, 30, 50));
    return g;
}

Surface room() {
    Surface g;
    g.setSize(640, 480);
    g.fillRect(0, 0, 640, 330, 0xC8DCEB);  // wall (platform colour 0x00BBGGRR)
    for (int x = 0; x < 640; x += 32) g.fillRect(x, 0, 2, 330, 0xB4C8D7);
    g.fillRect(0, 330, 640, 150, 0x3C5A82);   // floor
    g.fillRect(400, 60, 180, 150, 0x503C28);  // window frame
    g.fillRect(410, 70, 160, 130, 0xF0C88C);  // sky seen through it
    g.fillRect(488, 70, 4, 130, 0x503C28);
    return g;
}

// A simple figure with soft edges: an RGBA picture, so it keeps its own transparency.
Surface character() {
    Surface g;
    g.setSize(200, 300);
    g.setAlphaMode(AlphaMode::Alpha);
    for (int y = 0; y < 300; ++y) std::fill(g.maskRow(y), g.maskRow(y) + 200, 0);
    auto paint = [&](int x, int y, uint32_t c, double cover) {
        if (x < 0 || y < 0 || x >= 200 || y >= 300) return;
        uint8_t a = static_cast<uint8_t>(std::clamp(cover, 0.0, 1.0) * 255);
        if (a >= g.maskRow(y)[x]) {
            g.row(y)[x] = c;
            g.maskRow(y)[x] = a;
        }
    };
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 200; ++x) {
            double hd = std::hypot(x - 100.0, y - 70.0);
            if (hd < 46) paint(x, y, hd < 40 ? rgb(250, 220, 200) : rgb(60, 40, 30), 46 - hd);
            if (hd < 46 && y < 50 + (x - 100) * (x - 100) / 120.0 - 8)
                paint(x, y, rgb(60, 40, 30), 1.0);  // hair
            if (y >= 112) {
                double half = 30 + (y - 112) * 0.35;
                double edge = half - std::abs(x - 100.0);
                if (edge > 0)
                    paint(x, y, mix(rgb(200, 60, 80), rgb(120, 30, 60), (y - 112) / 188.0), edge);
            }
        }
    disc(g, 86, 66, 4, rgb(40, 30, 30));
    disc(g, 114, 66, 4, rgb(40, 30, 30));
    return g;
}

// The message window: a dark, half-transparent panel with a light border.
Surface messageWindow() {
    Surface g;
    g.setSize(600, 130);
    g.setAlphaMode(AlphaMode::Alpha);
    for (int y = 0; y < 130; ++y)
        for (int x = 0; x < 600; ++x) {
            bool border = x < 3 || y < 3 || x >= 597 || y >= 127;
            g.row(y)[x] =
                border ? rgb(230, 230, 255) : mix(rgb(20, 30, 80), rgb(10, 10, 40), y / 130.0);
            g.maskRow(y)[x] = border ? 255 : 170;
        }
    return g;
}

// A menu button strip: the idle look above, the pointed-at look below, with a centred label.
Surface button(zarvo::platform::FontEngine& fonts, const char* utf8Label) {
    constexpr int kW = 200, kH = 44;
    Surface g;
    g.setSize(kW, kH * 2);
    g.setAlphaMode(AlphaMode::Alpha);
    for (int row = 0; row < 2; ++row) {
        uint32_t top = row ? rgb(255, 190, 90) : rgb(60, 80, 160);
        uint32_t bottom = row ? rgb(220, 120, 40) : rgb(30, 40, 100);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                // Rounded corners of radius 10: outside them the button is transparent.
                int cx = std::clamp(x, 10, kW - 11), cy = std::clamp(y, 10, kH - 11);
                double d = std::hypot(x - cx, y - cy);
                bool border = d > 8 || x < 2 || y < 2 || x >= kW - 2 || y >= kH - 2;
                g.row(row * kH + y)[x] =
                    border ? rgb(255, 255, 255) : mix(top, bottom, y / double(kH));
                g.maskRow(row * kH + y)[x] = d > 10 ? 0 : 255;
            }
    }
    Surface label;
    zarvo::TextLayout layout;
    layout.font.size = 14;
    layout.font.color = 0xFFFFFF;
    std::string text;
    zarvo::utf8ToSjis(utf8Label, text);
    layout.text = text;
    int32_t h = layout.drawSized(label, fonts, kW, 0);
    // The label's own width: the rightmost column it drew in.
    int32_t w = 0;
    for (int y = 0; y < label.height(); ++y)
        for (int x = 0; x < label.width(); ++x)
            if (label.maskRow(y)[x]) w = std::max(w, x + 1);
    for (int row = 0; row < 2; ++row)
        label.copyTo(g, (kW - w) / 2, row * kH + (kH - h) / 2, w, h, 0, 0);
    return g;
}

// A four-frame twinkling star, frames side by side.
Surface star() {
    constexpr int kSize = 48;
    Surface g;
    g.setSize(kSize * 4, kSize);
    g.setAlphaMode(AlphaMode::Alpha);
    for (int f = 0; f < 4; ++f) {
        double turn = f * kPi / 10, scale = 1.0 - 0.12 * (f % 2);
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) {
                double dx = x - kSize / 2.0 + 0.5, dy = y - kSize / 2.0 + 0.5;
                double a = std::atan2(dy, dx) + turn, r = std::hypot(dx, dy);
                // Radius of a five-pointed star at this angle.
                double edge = scale * 22 * (0.55 + 0.45 * std::pow(std::abs(std::cos(2.5 * a)), 3));
                double cover = std::clamp(edge - r + 0.5, 0.0, 1.0);
                g.row(y)[f * kSize + x] = mix(rgb(255, 250, 200), rgb(255, 200, 40), r / 22);
                g.maskRow(y)[f * kSize + x] = static_cast<uint8_t>(cover * 255);
            }
    }
    return g;
}

// Pictures with a mask are written with it as their alpha channel.
bool save(const Surface& g, const std::string& dir, const char* name) {
    std::string bytes;
    zarvo::platform::LocalFileSystem files;
    return zarvo::encodePng(g.view(), bytes) && files.writeFile(dir + "/" + name, bytes);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: demo_art OUTPUT_DIR\n");
        return 2;
    }
    std::string dir = argv[1];
    zarvo::platform::FreeTypeFontEngine fonts;
    bool ok = save(morning(), dir, "bg_morning.png") && save(night(), dir, "bg_night.png") &&
              save(room(), dir, "bg_room.png") && save(character(), dir, "chara.png") &&
              save(messageWindow(), dir, "window.png") &&
              save(button(fonts, "はじめる"), dir, "button_start.png") &&
              save(button(fonts, "画面効果"), dir, "button_effects.png") &&
              save(button(fonts, "おわる"), dir, "button_end.png") &&
              save(button(fonts, "セーブとロード"), dir, "button_save.png") &&
              save(star(), dir, "sprite_star.png");
    if (!ok) std::fprintf(stderr, "demo_art: cannot write the pictures into %s\n", dir.c_str());
    return ok ? 0 : 1;
}

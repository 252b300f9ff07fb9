// Draws the pictures of the system library: the blinking key and page markers of the message
// display and the strip of the choice's countdown gauge. Run by the build; writes RGBA PNGs into
// the folder given as its one argument.
#include <png.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 0;
};

struct Image {
    int width, height;
    std::vector<Rgba> pixels;
    Image(int w, int h) : width(w), height(h), pixels(static_cast<size_t>(w) * h) {}
    Rgba& at(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
};

bool writePng(const std::string& path, Image& image) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
                 static_cast<png_uint_32>(image.height), 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y)
        png_write_row(png, reinterpret_cast<png_const_bytep>(&image.at(0, y)));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

// Fills a cell with a shape: light inside, a dark rim where the shape meets the outside, so the
// marker reads on bright and dark backgrounds alike.
void drawShape(Image& image, int cellX, int size, const std::function<bool(int, int)>& inside) {
    const Rgba fill{255, 255, 255, 255}, rim{32, 32, 48, 255};
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            if (!inside(x, y)) continue;
            bool edge =
                !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
            image.at(cellX + x, y) = edge ? rim : fill;
        }
}

// A downward triangle with its tip at `tipY`, `half` pixels wide on each side at its top.
bool inTriangle(int x, int y, int topY, int tipY, int half) {
    if (y < topY || y > tipY) return false;
    double reach = half * static_cast<double>(tipY - y) / (tipY - topY);
    return std::fabs(x - 7.5) <= reach + 0.5;
}

// Two frames of 16 x 16: the shape, then nothing, so the marker blinks.
Image keyMarker() {
    Image image(32, 16);
    drawShape(image, 0, 16, [](int x, int y) { return inTriangle(x, y, 3, 13, 7); });
    return image;
}

Image pageMarker() {
    Image image(32, 16);
    drawShape(image, 0, 16,
              [](int x, int y) { return inTriangle(x, y, 1, 7, 6) || inTriangle(x, y, 8, 14, 6); });
    return image;
}

// Ten frames of a bar that shrinks by a tenth each: the gauge steps one frame a second
// through the last ten seconds of a choice's time.
Image timerGauge() {
    constexpr int kFrames = 10, kWidth = 128, kHeight = 12;
    Image image(kFrames * kWidth, kHeight);
    for (int f = 0; f < kFrames; ++f) {
        const int x0 = f * kWidth;
        const int inner = kWidth - 4;
        const int bar = inner * (kFrames - f) / kFrames;
        // Green while there is time, turning red as it runs out.
        const uint8_t red = static_cast<uint8_t>(40 + 200 * f / (kFrames - 1));
        const uint8_t green = static_cast<uint8_t>(200 - 150 * f / (kFrames - 1));
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                Rgba& p = image.at(x0 + x, y);
                if (x == 0 || y == 0 || x == kWidth - 1 || y == kHeight - 1)
                    p = {240, 240, 240, 255};
                else if (x == 1 || y == 1 || x == kWidth - 2 || y == kHeight - 2)
                    p = {24, 24, 24, 255};
                else if (x - 2 < bar)
                    p = {red, green, 48, 255};
                else
                    p = {0, 0, 0, 128};
            }
    }
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_system_pictures OUTPUT_FOLDER\n");
        return 2;
    }
    const std::string dir = argv[1];
    struct Output {
        const char* name;
        Image image;
    } outputs[] = {
        {"_keywait_char.png", keyMarker()},
        {"_pagewait_char.png", pageMarker()},
        {"_timer_gauge.png", timerGauge()},
    };
    for (auto& o : outputs) {
        if (!writePng(dir + "/" + o.name, o.image)) {
            std::fprintf(stderr, "gen_system_pictures: cannot write %s/%s\n", dir.c_str(), o.name);
            return 1;
        }
    }
    return 0;
}

// PNG decoding: a 1920x1080 RGBA picture read by the surface, against a plain libpng read of
// the same bytes into one buffer (the least any loader must do).
#include <benchmark/benchmark.h>
#include <png.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "backends/posix/local_file_system.hpp"
#include "formats/png.hpp"
#include "graphics/surface.hpp"

namespace zarvo {
namespace {

// Decodes into the surface as the story's loader does.
bool loadPng(Surface& g, std::string_view bytes) {
    Picture picture;
    if (decodePng(bytes, picture) != PngError::None) return false;
    g.assignPicture(std::move(picture));
    return true;
}

// Encodes and writes as a screenshot is.
bool savePng(const Surface& g, const std::string& path) {
    std::string bytes;
    platform::LocalFileSystem files;
    return encodePng(g.view(), bytes) && files.writeFile(path, bytes);
}

constexpr uint32_t kW = 1920, kH = 1080;

void appendBytes(png_structp png, png_bytep data, size_t n) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), n);
}

bool encode(png_structp png, png_infop info, std::vector<png_bytep>& rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, kW, kH, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    return true;
}

// A picture with gradients, soft shapes and a little noise, so it compresses like artwork.
const std::string& samplePng() {
    static const std::string bytes = [] {
        std::vector<uint8_t> pixels(size_t{kW} * kH * 4);
        std::mt19937 gen(3);
        for (uint32_t y = 0; y < kH; ++y)
            for (uint32_t x = 0; x < kW; ++x) {
                uint8_t* p = &pixels[(size_t{y} * kW + x) * 4];
                const int dx = int(x) - 960, dy = int(y) - 540;
                const bool inside = dx * dx / 4 + dy * dy < 300 * 300;
                p[0] = uint8_t(x / 8 + (gen() & 3));
                p[1] = uint8_t(y / 5 + (inside ? 90 : 0));
                p[2] = uint8_t((x + y) / 12);
                p[3] = inside ? 255 : uint8_t(std::min<int>(255, std::abs(dy) / 3));
            }
        std::vector<png_bytep> rows(kH);
        for (uint32_t y = 0; y < kH; ++y) rows[y] = &pixels[size_t{y} * kW * 4];
        std::string out;
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_set_write_fn(png, &out, appendBytes, nullptr);
        if (!encode(png, info, rows)) std::abort();
        png_destroy_write_struct(&png, &info);
        return out;
    }();
    return bytes;
}

struct Cursor {
    const std::string* bytes;
    size_t pos;
};

void readBytes(png_structp png, png_bytep data, size_t n) {
    auto* c = static_cast<Cursor*>(png_get_io_ptr(png));
    if (n > c->bytes->size() - c->pos) png_error(png, "short");
    std::memcpy(data, c->bytes->data() + c->pos, n);
    c->pos += n;
}

bool plainRead(png_structp png, png_infop info, std::vector<uint8_t>& buffer,
               std::vector<png_bytep>& rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    png_set_bgr(png);
    png_read_update_info(png, info);
    const size_t stride = png_get_rowbytes(png, info), h = png_get_image_height(png, info);
    buffer.resize(stride * h);
    rows.resize(h);
    for (size_t y = 0; y < h; ++y) rows[y] = &buffer[y * stride];
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    return true;
}

// libpng alone: header, rows into a caller's buffer, end.
void plainDecode(const std::string& bytes) {
    Cursor c{&bytes, 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_read_fn(png, &c, readBytes);
    std::vector<uint8_t> buffer;
    std::vector<png_bytep> rows;
    if (!plainRead(png, info, buffer, rows)) std::abort();
    benchmark::DoNotOptimize(buffer.data());
    png_destroy_read_struct(&png, &info, nullptr);
}

double cpuSeconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void BM_LoadPngVsPlainLibpng(benchmark::State& state) {
    const std::string& bytes = samplePng();
    double ours = 0, plain = 0;
    for (auto _ : state) {
        const double t0 = cpuSeconds();
        Surface g;
        if (!loadPng(g, bytes) || g.alphaMode() != AlphaMode::Alpha) std::abort();
        const double t1 = cpuSeconds();
        plainDecode(bytes);
        plain += cpuSeconds() - t1;
        ours += t1 - t0;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["load_ms"] = ours / n * 1e3;
    state.counters["libpng_ms"] = plain / n * 1e3;
    state.counters["ratio"] = ours / plain;
    state.counters["png_kB"] = static_cast<double>(bytes.size()) / 1024;
}
BENCHMARK(BM_LoadPngVsPlainLibpng)->Unit(benchmark::kMillisecond);

void BM_LoadPngFromMemory(benchmark::State& state) {
    const std::string& bytes = samplePng();
    Surface g;
    for (auto _ : state) benchmark::DoNotOptimize(loadPng(g, bytes));
}
BENCHMARK(BM_LoadPngFromMemory)->Unit(benchmark::kMillisecond);

void BM_SavePng(benchmark::State& state) {
    Surface g;
    if (!loadPng(g, samplePng())) std::abort();
    const std::string path = "/tmp/zarvo_bench_save_" + std::to_string(::getpid()) + ".png";
    for (auto _ : state) benchmark::DoNotOptimize(savePng(g, path));
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        std::fseek(f, 0, SEEK_END);
        state.counters["file_kB"] = static_cast<double>(std::ftell(f)) / 1024;
        std::fclose(f);
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_SavePng)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zarvo

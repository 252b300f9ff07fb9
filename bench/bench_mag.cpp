// Decoding a 640 x 400 MAG picture (the usual full screen of the format) into a picture, and
// into a BMP image, in both depths. Bytes processed = bytes of the finished picture.
#include <benchmark/benchmark.h>

#include <array>
#include <random>

#include "../tests/formats/mag_encoder.hpp"
#include "formats/mag_decoder.hpp"

namespace {

using namespace zarvo;

// Drawn-looking content: flat areas and gradients in bands, dithered edges, some noise.
const std::string& file(bool colors256) {
    static const std::array<std::string, 2> files = [] {
        std::array<std::string, 2> out;
        for (int depth = 0; depth < 2; ++depth) {
            test::MagImage img;
            img.colors256 = depth == 1;
            img.width = 640;
            img.height = 400;
            const uint32_t colours = img.colors256 ? 256 : 16;
            for (uint32_t i = 0; i < colours; ++i) img.palette.push_back(i * 0x010101u);
            std::mt19937 gen(7);
            img.indices.resize(640 * 400);
            for (int y = 0; y < 400; ++y)
                for (int x = 0; x < 640; ++x) {
                    uint32_t v = uint32_t(y / 25 * 13 + (x > 320 ? x / 40 : 0));
                    if ((x + y) % 2 && (x / 16 + y / 16) % 5 == 0) v += 1;  // dithering
                    if (gen() % 16 == 0) v = gen();                         // noise
                    img.indices[size_t(y) * 640 + size_t(x)] = uint8_t(v % colours);
                }
            out[depth] = test::encodeMag(img).bytes;
        }
        return out;
    }();
    return files[colors256 ? 1 : 0];
}

void BM_DecodeMag(benchmark::State& state) {
    const std::string& bytes = file(state.range(0) == 256);
    Picture pic;
    for (auto _ : state) {
        if (!decodeMag(bytes, pic)) state.SkipWithError("decoding failed");
        benchmark::DoNotOptimize(pic.pixels.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 640 * 400 * 4);
    state.counters["file_bytes"] = double(bytes.size());
}
BENCHMARK(BM_DecodeMag)->Arg(256)->Arg(16)->Unit(benchmark::kMicrosecond);

void BM_MagToBmp(benchmark::State& state) {
    const std::string& bytes = file(state.range(0) == 256);
    std::string bmp;
    for (auto _ : state) {
        if (MagDecoder::magToBmp(bytes, bmp) != 0) state.SkipWithError("decoding failed");
        benchmark::DoNotOptimize(bmp.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bmp.size()));
}
BENCHMARK(BM_MagToBmp)->Arg(256)->Arg(16)->Unit(benchmark::kMicrosecond);

}  // namespace

// Decoding and encoding a 1920 x 1080 picture, against a plain copy of the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

#include "formats/bmp.hpp"

namespace {

using namespace zarvo;

Picture noise(int32_t w, int32_t h) {
    Picture p;
    p.width = w;
    p.height = h;
    std::mt19937 gen(3);
    p.pixels.resize(size_t(w) * size_t(h));
    for (uint32_t& px : p.pixels) px = gen() & 0xFFFFFF;
    return p;
}

const std::string& file24() {
    static const std::string f = encodeBmp(noise(1920, 1080));
    return f;
}

void BM_Decode24(benchmark::State& state) {
    Picture out;
    for (auto _ : state) {
        decodeBmp(file24(), out);
        benchmark::DoNotOptimize(out.pixels.data());
    }
}
BENCHMARK(BM_Decode24)->Unit(benchmark::kMillisecond);

void BM_Encode24(benchmark::State& state) {
    const Picture pic = noise(1920, 1080);
    for (auto _ : state) benchmark::DoNotOptimize(encodeBmp(pic));
}
BENCHMARK(BM_Encode24)->Unit(benchmark::kMillisecond);

// The floor: allocating the output and copying the file's pixel bytes once.
void BM_CopyBytes(benchmark::State& state) {
    std::vector<uint32_t> out;
    for (auto _ : state) {
        out.assign(1920 * 1080, 0);
        std::memcpy(out.data(), file24().data() + 54, file24().size() - 54);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_CopyBytes)->Unit(benchmark::kMillisecond);

}  // namespace

// Composition speed of the picture surface: six 640x480 layers (one opaque, five sprite-like
// masked ones) copied onto a screen, measured against memcpy of the same bytes in the same run,
// and a full-frame constant-opacity blend.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "graphics/pixel_kernels.hpp"
#include "graphics/surface.hpp"

namespace zarvo {
namespace {

constexpr int kW = 640, kH = 480;

void paint(Surface& g, uint32_t seed) {
    std::mt19937 gen(seed);
    for (int y = 0; y < g.height(); ++y)
        for (int x = 0; x < g.width(); ++x) g.row(y)[x] = gen() & 0xFFFFFF;
}

// A layer with a few upright ellipses of coverage, like standing characters, rest empty.
Surface spriteLayer(uint32_t seed, AlphaMode mode) {
    Surface g;
    g.setAlphaMode(mode);
    g.setSize(kW, kH);
    paint(g, seed);
    g.clearMask();
    std::mt19937 gen(seed * 7 + 1);
    for (int s = 0; s < 2; ++s) {
        const int cx = 80 + static_cast<int>(gen() % 480), cy = 120 + static_cast<int>(gen() % 240);
        const int rx = 50 + static_cast<int>(gen() % 40), ry = 110 + static_cast<int>(gen() % 60);
        for (int y = std::max(0, cy - ry); y < std::min(kH, cy + ry); ++y)
            for (int x = std::max(0, cx - rx); x < std::min(kW, cx + rx); ++x) {
                const double dx = double(x - cx) / rx, dy = double(y - cy) / ry;
                const double r = dx * dx + dy * dy;
                if (r < 1.0)
                    g.maskRow(y)[x] = r > 0.9 ? static_cast<uint8_t>((1.0 - r) * 2550) : 255;
            }
    }
    return g;
}

struct Scene {
    Surface screen, background;
    std::vector<Surface> layers;
    explicit Scene(AlphaMode mode) {
        screen.setSize(kW, kH);
        background.setSize(kW, kH);
        paint(background, 1);
        for (uint32_t i = 0; i < 5; ++i) layers.push_back(spriteLayer(10 + i, mode));
    }
    void compose() {
        background.copyTo(screen, 0, 0, 0, 0, 0, 0);
        for (const auto& layer : layers) layer.copyTo(screen, 0, 0, 0, 0, 0, 0);
    }
};

// The same bytes the composition reads: six whole frames into one.
struct MemcpyScene {
    std::vector<std::vector<uint32_t>> sources{6, std::vector<uint32_t>(kW* kH, 0x123456)};
    std::vector<uint32_t> dest = std::vector<uint32_t>(kW * kH);
    void copy() {
        for (const auto& s : sources) std::memcpy(dest.data(), s.data(), s.size() * 4);
        benchmark::DoNotOptimize(dest.data());
    }
};

// Thread CPU time, so that other work on the machine does not tilt the ratio.
double cpuSeconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double secondsOf(auto&& f) {
    const double t0 = cpuSeconds();
    f();
    return cpuSeconds() - t0;
}

void composeAgainstMemcpy(benchmark::State& state, AlphaMode mode) {
    Scene scene(mode);
    MemcpyScene plain;
    double composeTime = 0, memcpyTime = 0;
    for (auto _ : state) {
        composeTime += secondsOf([&] { scene.compose(); });
        memcpyTime += secondsOf([&] { plain.copy(); });
        benchmark::ClobberMemory();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["compose_us"] = composeTime / n * 1e6;
    state.counters["memcpy_us"] = memcpyTime / n * 1e6;
    state.counters["ratio"] = composeTime / memcpyTime;
    state.SetLabel(pixels::bestRowKernels().name);
}

void BM_ComposeSixMaskedLayersVsMemcpy(benchmark::State& state) {
    composeAgainstMemcpy(state, AlphaMode::Mask);
}
BENCHMARK(BM_ComposeSixMaskedLayersVsMemcpy)->Unit(benchmark::kMicrosecond);

void BM_ComposeSixAlphaLayersVsMemcpy(benchmark::State& state) {
    composeAgainstMemcpy(state, AlphaMode::Alpha);
}
BENCHMARK(BM_ComposeSixAlphaLayersVsMemcpy)->Unit(benchmark::kMicrosecond);

void BM_ComposeSixMaskedLayers(benchmark::State& state) {
    Scene scene(AlphaMode::Mask);
    for (auto _ : state) {
        scene.compose();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ComposeSixMaskedLayers)->Unit(benchmark::kMicrosecond);

void BM_MemcpySixFrames(benchmark::State& state) {
    MemcpyScene plain;
    for (auto _ : state) plain.copy();
}
BENCHMARK(BM_MemcpySixFrames)->Unit(benchmark::kMicrosecond);

void BM_BlendFullFrame(benchmark::State& state) {
    Surface screen, picture;
    screen.setSize(kW, kH);
    picture.setSize(kW, kH);
    paint(screen, 2);
    paint(picture, 3);
    for (auto _ : state) {
        picture.blendTo(screen, 0, 0, 0, 0, 0, 0, 127);
        benchmark::ClobberMemory();
    }
    state.SetLabel(pixels::bestRowKernels().name);
}
BENCHMARK(BM_BlendFullFrame)->Unit(benchmark::kMicrosecond);

// One masked sprite layer per kernel version, for comparing the versions on this machine.
void BM_MaskedLayerByVersion(benchmark::State& state) {
    const auto level = static_cast<pixels::KernelLevel>(state.range(0));
    if (!pixels::kernelLevelSupported(level)) {
        state.SkipWithError("not supported on this machine");
        return;
    }
    const pixels::RowKernels& k = pixels::rowKernels(level);
    const Surface layer = spriteLayer(20, AlphaMode::Mask);
    const Surface alpha = spriteLayer(21, AlphaMode::Alpha);
    Surface screen;
    screen.setSize(kW, kH);
    for (auto _ : state) {
        for (int y = 0; y < kH; ++y)
            k.copyMasked(screen.row(y), layer.row(y), layer.maskRow(y), kW);
        for (int y = 0; y < kH; ++y)
            k.blendAlpha(screen.row(y), alpha.row(y), alpha.maskRow(y), kW);
        benchmark::ClobberMemory();
    }
    state.SetLabel(k.name);
}
BENCHMARK(BM_MaskedLayerByVersion)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace zarvo

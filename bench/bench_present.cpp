// Presenting one story frame in the desktop window: a 640 x 480 frame uploaded and drawn into a
// 1920 x 1080 window, per scaling. Without SDL_VIDEODRIVER set it runs on SDL's dummy driver and
// software renderer (no display needed); SDL_VIDEODRIVER=x11 under a desktop measures the real
// renderer. The label names the renderer measured.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "backends/sdl/sdl_canvas.hpp"
#include "backends/sdl/sdl_host.hpp"

namespace {

using zarvo::platform::SdlHost;
using zarvo::platform::WindowScaling;

// One host for every run: SDL's X11 driver cannot start its video a second time in a process.
SdlHost& sharedHost() {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    static SdlHost host(1);
    return host;
}

void BM_Present640x480In1920x1080(benchmark::State& state) {
    SdlHost& host = sharedHost();
    if (!host.ok()) {
        state.SkipWithError(host.error().c_str());
        return;
    }
    host.setScaling(static_cast<WindowScaling>(state.range(0)));
    host.setClientSize(640, 480);
    SDL_SetWindowSize(host.window(), 1920, 1080);
    host.processMessages();
    // A picture with detail everywhere, changed a little every frame as a story's is.
    std::vector<uint32_t> frame(640 * 480);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint32_t>(i * 2654435761u);
    uint32_t n = 0;
    for (auto _ : state) {
        frame[n % frame.size()] ^= 0xFFFFFF;
        ++n;
        host.canvas().present(frame.data(), 640, 480, 640);
    }
    SDL_RendererInfo info{};
    SDL_GetRendererInfo(SDL_GetRenderer(host.window()), &info);
    state.SetLabel(info.name ? info.name : "?");
}
BENCHMARK(BM_Present640x480In1920x1080)
    ->ArgName("scaling")
    ->Arg(static_cast<int>(WindowScaling::Sharp))
    ->Arg(static_cast<int>(WindowScaling::Whole))
    ->Arg(static_cast<int>(WindowScaling::Smooth))
    ->Unit(benchmark::kMillisecond);

}  // namespace

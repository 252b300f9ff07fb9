// Transition effects: step by step, old is changed toward the freshly composed picture inside an
// effect area and painted after every step, paced against the millisecond tick count.
//
// Every effect paints a whole surface on the canvas at (0, 0) after each step and then waits until
// t0 + k * stepTime (absolute targets, so a slow step shortens the next wait). The caller composes
// and paints the exact new picture afterwards, so an effect need not end on it.
//
// Area handling, the same for every effect:
// - Copies never reach outside either surface; a piece partly outside is cut, and the source
//   origin moves with the cut, so what shows is always the part of the new picture at that spot.
// - An area, or a piece of it, of zero or negative size copies nothing (the screen turns a zero
//   area into the whole screen before calling), and a piece one pixel wide or high is exactly one
//   pixel, not the surface's "as far as it goes" rule.
// - LeftTo and TopTo sweep only the part of the area that lies on the surfaces, so a picture much
//   larger than the screen does not keep the screen frozen for steps that could show nothing.
#pragma once
#include <cstdint>
#include <functional>
#include <string_view>

namespace zarvo {

class Surface;
namespace platform {
class Canvas;
class Clock;
}  // namespace platform

struct EffectContext {
    platform::Canvas* canvas = nullptr;  // null: nothing is painted, pacing still runs
    platform::Clock* clock = nullptr;    // null: no pacing
    // The host's pending-message pump, run while a step waits for its time. Empty: the effect
    // sleeps until the step's time instead.
    std::function<void()> pumpMessages;
};

// The transitions in the order of the picture command's effect names (kEffectNames).
enum class EffectType : int8_t {
    None,
    Fadein,
    LeftTo,
    TopTo,
    RndPanel,
    Blind,
    Square,
    Wave,
    Mosaic,
};

// The effect of a name ("Fadein" ... "Mosaic", compared exactly); None for any other.
EffectType effectTypeFromName(std::string_view name);

// Runs effect `type` over the area; None (or a value outside the list) does nothing.
void runTransition(EffectType type, const EffectContext& ctx, Surface& old, const Surface& fresh,
                   int x, int y, int width, int height);

namespace effects {
// 8 steps of 150 ms: a copy of old with fresh blended over the area at opacity 31, 63 ... 255.
void fadein(const EffectContext& ctx, Surface& old, const Surface& fresh, int x, int y, int width,
            int height);
// Two-pixel columns in ten staggered sweeps, 40 ms a step: a ragged edge moving right.
void leftTo(const EffectContext& ctx, Surface& old, const Surface& fresh, int x, int y, int width,
            int height);
// The same with two-pixel rows, moving down.
void topTo(const EffectContext& ctx, Surface& old, const Surface& fresh, int x, int y, int width,
           int height);
// A 12 x 12 grid of panels in random order, 12 a step, 12 steps of 30 ms.
void rndPanel(const EffectContext& ctx, Surface& old, const Surface& fresh, int x, int y, int width,
              int height);
// Bands of 20 rows filled two rows a step, 10 steps of 40 ms.
void blind(const EffectContext& ctx, Surface& old, const Surface& fresh, int x, int y, int width,
           int height);
// A grid of lines 20 pixels apart thickening two pixels a step, 10 steps of 40 ms.
void square(const EffectContext& ctx, Surface& old, const Surface& fresh, int x, int y, int width,
            int height);
// Rows of fresh rotated by a sine wave whose amplitude falls to zero, 20 steps of 100 ms.
void wave(const EffectContext& ctx, Surface& old, const Surface& fresh, int x, int y, int width,
          int height);
// Old pixelated ever coarser, then fresh ever finer, 9 steps of 200 ms.
void mosaic(const EffectContext& ctx, Surface& old, const Surface& fresh, int x, int y, int width,
            int height);
}  // namespace effects

}  // namespace zarvo

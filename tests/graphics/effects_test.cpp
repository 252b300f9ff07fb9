#include "graphics/effects.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <vector>

#include "graphics/surface.hpp"
#include "platform/canvas.hpp"
#include "platform/clock.hpp"

namespace zarvo {
namespace {

class FakeClock final : public platform::Clock {
  public:
    uint32_t now = 1000;
    int sleeps = 0;
    uint32_t ticks() override { return now; }
    void sleep(uint32_t ms) override { ++sleeps, now += ms; }
    platform::LocalTime localTime() override { return {}; }
};

// Keeps the last frame and the tick of every present; onFrame(k) runs after frame k arrives.
class RecordingCanvas final : public platform::Canvas {
  public:
    explicit RecordingCanvas(FakeClock& clock) : clock_(clock) {}
    void present(const uint32_t* pixels, int width, int height, int stride) override {
        w = width, h = height;
        last.assign(static_cast<size_t>(width) * height, 0);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                last[static_cast<size_t>(y) * width + x] = pixels[y * stride + x] & 0xFFFFFF;
        times.push_back(clock_.now);
        if (onFrame) onFrame(static_cast<int>(times.size()));
    }
    uint32_t at(int x, int y) const { return last[static_cast<size_t>(y) * w + x]; }

    int w = 0, h = 0;
    std::vector<uint32_t> last;
    std::vector<uint32_t> times;
    std::function<void(int)> onFrame;

  private:
    FakeClock& clock_;
};

// The headless pump: one virtual millisecond per call.
struct Rig {
    FakeClock clock;
    RecordingCanvas canvas{clock};
    int pumps = 0;
    EffectContext ctx{&canvas, &clock, [this] { ++pumps, clock.now += 1; }};
    uint32_t start = 0;

    void run(EffectType type, Surface& old, const Surface& fresh, int x, int y, int w, int h) {
        start = clock.now;
        runTransition(type, ctx, old, fresh, x, y, w, h);
    }
    uint32_t elapsed() const { return clock.now - start; }
};

// Every pixel of both pictures is distinct, so a pixel tells where it was copied from.
uint32_t oldCode(int x, int y) {
    return 0x400000u | (uint32_t(y) << 10) | uint32_t(x);
}
uint32_t newCode(int x, int y) {
    return 0x800000u | (uint32_t(x) << 9) | uint32_t(y);
}

Surface picture(int w, int h, uint32_t (*code)(int, int)) {
    Surface g;
    g.setSize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) g.row(y)[x] = code ? code(x, y) : 0;
    return g;
}
uint32_t px(const Surface& g, int x, int y) {
    return g.row(y)[x] & 0xFFFFFF;
}

// Counts pixels of a w x h picture that differ from `expected`, reporting the first.
int mismatches(int w, int h, const std::function<uint32_t(int, int)>& actual,
               const std::function<uint32_t(int, int)>& expected) {
    int bad = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (actual(x, y) != expected(x, y) && bad++ == 0)
                ADD_FAILURE() << "first mismatch at (" << x << ", " << y << "): " << std::hex
                              << actual(x, y) << " != " << expected(x, y);
    return bad;
}
bool inside(int px, int py, int x, int y, int w, int h) {
    return px >= x && px < x + w && py >= y && py < y + h;
}

TEST(EffectPacing, FrameCountsAndAbsoluteStepTimes) {
    struct Case {
        int type, presents, steps;
        uint32_t step;
    };
    for (auto c :
         {Case{0, 8, 8, 150}, Case{1, 41, 41, 40}, Case{2, 33, 33, 40}, Case{3, 13, 12, 30},
          Case{4, 10, 10, 40}, Case{5, 10, 10, 40}, Case{6, 21, 20, 100}, Case{7, 9, 9, 200}}) {
        SCOPED_TRACE(c.type);
        Rig rig;
        Surface old = picture(640, 480, oldCode), fresh = picture(640, 480, newCode);
        rig.run(static_cast<EffectType>(c.type + 1), old, fresh, 0, 0, 640, 480);
        ASSERT_EQ(rig.canvas.times.size(), size_t(c.presents));
        for (int k = 0; k < c.presents; ++k)
            EXPECT_EQ(rig.canvas.times[k] - rig.start, std::min(k, c.steps) * c.step);
        EXPECT_EQ(rig.elapsed(), c.steps * c.step);
        EXPECT_EQ(rig.pumps, int(rig.elapsed()));  // waited by pumping, never slept
    }
    Rig rig;
    Surface old = picture(64, 48, oldCode), fresh = picture(64, 48, newCode);
    rig.run(EffectType::None, old, fresh, 0, 0, 64, 48);
    rig.run(static_cast<EffectType>(9), old, fresh, 0, 0, 64, 48);
    EXPECT_TRUE(rig.canvas.times.empty());
    EXPECT_EQ(effectTypeFromName("Mosaic"), EffectType::Mosaic);
    EXPECT_EQ(effectTypeFromName("Fadein"), EffectType::Fadein);
    EXPECT_EQ(effectTypeFromName("fadein"), EffectType::None);
    EXPECT_EQ(effectTypeFromName("None"), EffectType::None);
}

TEST(EffectPacing, SlowStepsShortenLaterWaitsAndTicksWrap) {
    Surface old = picture(32, 32, oldCode), fresh = picture(32, 32, newCode);
    Rig rig;  // frame 3 takes 100 ms, frame 5 takes longer than two steps
    rig.canvas.onFrame = [&](int k) { rig.clock.now += k == 3 ? 100 : k == 5 ? 400 : 0; };
    rig.run(EffectType::Fadein, old, fresh, 0, 0, 32, 32);
    std::vector<uint32_t> at;
    for (uint32_t t : rig.canvas.times) at.push_back(t - rig.start);
    EXPECT_EQ(at, (std::vector<uint32_t>{0, 150, 300, 450, 600, 1000, 1000, 1050}));
    EXPECT_EQ(rig.elapsed(), 1200u);

    Rig wrap;
    wrap.clock.now = 0xFFFFFF00u;
    wrap.run(EffectType::Blind, old, fresh, 0, 0, 32, 32);
    EXPECT_EQ(wrap.elapsed(), 400u);

    // Without a pump the effect sleeps once a step; a pump that lets no time pass cannot spin.
    for (bool stuckPump : {false, true}) {
        Rig quiet;
        int calls = 0;
        if (stuckPump)
            quiet.ctx.pumpMessages = [&] {
                if (++calls > 100000) throw std::runtime_error("spinning");
            };
        else
            quiet.ctx.pumpMessages = nullptr;
        EXPECT_NO_THROW(quiet.run(EffectType::Fadein, old, fresh, 0, 0, 32, 32));
        EXPECT_EQ(quiet.elapsed(), 1200u);
        EXPECT_EQ(quiet.clock.sleeps, stuckPump ? 1200 : 8);
    }
    // No canvas, no clock: nothing to paint or wait for, and nothing breaks.
    EffectContext bare;
    for (int type = 1; type <= 8; ++type)
        runTransition(static_cast<EffectType>(type), bare, old, fresh, 0, 0, 32, 32);
    EXPECT_EQ(px(old, 5, 5), newCode(5, 5));
}

TEST(EffectFrames, FadeinBlendsOverTheAreaWithRisingOpacity) {
    Rig rig;
    Surface old = picture(64, 48, nullptr), fresh = picture(64, 48, newCode);
    rig.canvas.onFrame = [&](int k) {
        const uint32_t opacity = (32 * k - 1) % 256;  // 31, 63 ... 223, 255
        EXPECT_EQ(mismatches(
                      64, 48, [&](int x, int y) { return rig.canvas.at(x, y); },
                      [&](int x, int y) -> uint32_t {
                          if (!inside(x, y, 8, 4, 40, 30)) return 0;
                          uint32_t out = 0;  // black below: each channel o * s / 256
                          for (int sh : {0, 8, 16})
                              out |= ((opacity * ((newCode(x, y) >> sh) & 255)) >> 8) << sh;
                          return out;
                      }),
                  0)
            << "frame " << k;
    };
    rig.run(EffectType::Fadein, old, fresh, 8, 4, 40, 30);
    EXPECT_EQ(rig.canvas.times.size(), 8u);
}

TEST(EffectFrames, LeftToAndTopToSweepStaggeredStrips) {
    Rig rig;
    Surface old = picture(642, 480, oldCode), fresh = picture(642, 480, newCode);
    rig.canvas.onFrame = [&](int k) {
        if (k == 1) {  // only sweep 9 has started: strip 9
            for (int x = 0; x < 642; ++x)
                EXPECT_EQ(px(old, x, 7) == newCode(x, 7), x == 18 || x == 19) << x;
        }
        if (k == 40 || k == 41) {  // sweep 0's last strip, 310
            EXPECT_EQ(px(old, 620, 100) == newCode(620, 100), k == 41);
        }
    };
    rig.run(EffectType::LeftTo, old, fresh, 0, 0, 641,
            480);  // odd last column left to the final paint
    EXPECT_EQ(rig.canvas.times.size(), 41u);
    EXPECT_EQ(mismatches(
                  642, 480, [&](int x, int y) { return px(old, x, y); },
                  [](int x, int y) { return x < 640 ? newCode(x, y) : oldCode(x, y); }),
              0);

    Rig down;
    old = picture(640, 480, oldCode);
    down.canvas.onFrame = [&](int k) {
        if (k == 32 || k == 33) {  // sweep 0's last strip, 230
            EXPECT_EQ(px(old, 5, 461) == newCode(5, 461), k == 33);
        }
    };
    down.run(EffectType::TopTo, old, fresh, 0, 0, 640, 480);
    EXPECT_EQ(down.canvas.times.size(), 33u);
}

TEST(EffectFrames, RndPanelRevealsTwelveGridPanelsAStep) {
    Rig rig;
    const int X = 20, Y = 10, W = 650, H = 490;  // panels 54 x 40, last column 56, last row 50
    Surface old = picture(700, 520, oldCode), fresh = picture(700, 520, newCode);
    rig.canvas.onFrame = [&](int k) {
        if (k > 12) return;
        int revealed = 0;
        for (int c = 0; c < 12; ++c)
            for (int r = 0; r < 12; ++r) revealed += px(old, X + 54 * c, Y + 40 * r) >> 23;
        EXPECT_EQ(revealed, 12 * k);
        EXPECT_EQ(mismatches(
                      700, 520, [&](int x, int y) { return px(old, x, y); },
                      [&](int x, int y) {
                          if (!inside(x, y, X, Y, W, H)) return oldCode(x, y);
                          const int c = std::min((x - X) / 54, 11);
                          const int r = std::min((y - Y) / 40, 11);
                          return px(old, X + 54 * c, Y + 40 * r) >> 23 ? newCode(x, y)
                                                                       : oldCode(x, y);
                      }),
                  0)
            << "frame " << k;
    };
    rig.run(EffectType::RndPanel, old, fresh, X, Y, W, H);
    EXPECT_EQ(rig.canvas.at(699, 519), newCode(699, 519));  // then the new picture is painted
}

TEST(EffectFrames, BlindAndSquareThickenLinesTwoPixelsAStep) {
    Rig rig;
    Surface old = picture(640, 490, oldCode), fresh = picture(640, 490, newCode);
    rig.canvas.onFrame = [&](int k) {
        for (int y = 0; y < 490; ++y)  // the partial band 480..489 is never copied
            EXPECT_EQ(px(old, 3, y) >> 23, unsigned(y < 480 && y % 20 < 2 * k)) << k << " " << y;
    };
    rig.run(EffectType::Blind, old, fresh, 0, 0, 640, 490);

    Rig sq;
    old = picture(640, 490, oldCode);
    const int X = 20, Y = 30, W = 200, H = 110;
    sq.canvas.onFrame = [&](int k) {
        EXPECT_EQ(mismatches(
                      640, 490, [&](int x, int y) { return px(old, x, y); },
                      [&](int x, int y) {
                          const int u = x - X, v = y - Y;
                          // lines start every 20 pixels up to and including the far edge
                          const bool col = u >= 0 && u < 220 && u % 20 < 2 * k && v >= 0 && v < H;
                          const bool row = v >= 0 && v < 120 && v % 20 < 2 * k && u >= 0 && u < W;
                          return col || row ? newCode(x, y) : oldCode(x, y);
                      }),
                  0)
            << "frame " << k;
    };
    sq.run(EffectType::Square, old, fresh, X, Y, W, H);
}

TEST(EffectFrames, WaveRotatesRowsBySineOfFallingAmplitude) {
    Rig rig;
    const int X = 10, Y = 4, W = 600;
    Surface old = picture(640, 480, oldCode), fresh = picture(640, 480, newCode);
    rig.canvas.onFrame = [&](int k) {
        if (k != 1) return;  // n = 19: amplitude and phase 38
        const std::pair<int, int> shifts[] = {{0, -22}, {1, -11}, {3, 11}, {5, 30}};
        for (auto [i, f] : shifts) {
            const int y = Y + 2 * i + 1;
            for (int j = 0; j < W; ++j)
                EXPECT_EQ(px(old, X + j, y), newCode(X + ((j - f) % W + W) % W, y))
                    << "row " << i << " column " << j;
        }
        EXPECT_EQ(px(old, X - 1, Y), oldCode(X - 1, Y));
        EXPECT_EQ(px(old, X + W, Y), oldCode(X + W, Y));
    };
    rig.run(EffectType::Wave, old, fresh, X, Y, W, 400);
    EXPECT_EQ(rig.canvas.times.size(), 21u);
}

TEST(EffectFrames, MosaicCellsStartAtTheOriginAndSampleInsideTheSource) {
    Rig rig;
    Surface old = picture(640, 480, oldCode), fresh = picture(640, 480, newCode);
    auto cells = [&](int c, uint32_t (*code)(int, int)) {
        return [=](int x, int y) -> uint32_t {
            if (x >= 320 || y >= 240) return 0xFFFFFF;  // white outside the area's size
            return code(x / c * c + c / 2, y / c * c + c / 2);
        };
    };
    rig.canvas.onFrame = [&](int k) {
        const int sizes[] = {2, 4, 8, 16, 32, 32, 16, 8, 4};
        EXPECT_EQ(mismatches(
                      640, 480, [&](int x, int y) { return rig.canvas.at(x, y); },
                      cells(sizes[k - 1], k <= 5 ? oldCode : newCode)),
                  0)
            << "frame " << k;
    };
    rig.run(EffectType::Mosaic, old, fresh, 160, 120, 320, 240);
    EXPECT_EQ(rig.canvas.times.size(), 9u);

    // A cell whose centre lies past the picture's edge takes the nearest edge pixel.
    Rig edge;
    old = picture(50, 50, oldCode);
    edge.canvas.onFrame = [&](int k) {
        if (k != 4) return;  // cells of 16: the last ones start at 48, centres at 56
        EXPECT_EQ(edge.canvas.at(49, 0), oldCode(49, 8));
        EXPECT_EQ(edge.canvas.at(0, 49), oldCode(8, 49));
        EXPECT_EQ(edge.canvas.at(49, 49), oldCode(49, 49));
    };
    edge.run(EffectType::Mosaic, old, fresh, 0, 0, 50, 50);
}

// After the effect, old shows the new picture over the whole area (where the area meets the
// surface, at the same positions: no shift for an area starting off the picture) and is untouched
// elsewhere, so the caller's final paint only settles details.
TEST(EffectAreas, CoveringEffectsEndOnTheNewPictureInsideTheAreaOnly) {
    struct Area {
        int x, y, w, h;
    };
    for (auto a : {Area{0, 0, 320, 240}, Area{30, 20, 200, 140}, Area{-30, -26, 200, 180},
                   Area{250, 150, 400, 300}}) {
        for (EffectType type : {EffectType::LeftTo, EffectType::TopTo, EffectType::RndPanel,
                                EffectType::Blind, EffectType::Wave, EffectType::Square}) {
            SCOPED_TRACE(testing::Message()
                         << "type " << static_cast<int>(type) << " at " << a.x << "," << a.y);
            Rig rig;
            Surface old = picture(320, 240, oldCode), fresh = picture(320, 240, newCode);
            rig.run(type, old, fresh, a.x, a.y, a.w, a.h);
            EXPECT_EQ(mismatches(
                          320, 240, [&](int x, int y) { return px(old, x, y); },
                          [&](int x, int y) {
                              if (inside(x, y, a.x, a.y, a.w, a.h)) return newCode(x, y);
                              // Square's lines reach one band past the area
                              return type == EffectType::Square ? px(old, x, y) : oldCode(x, y);
                          }),
                      0);
        }
    }
}

// Areas of a width or height of 1 to 39 give panel and wave pieces one pixel wide, or shifts
// larger than the area: nothing outside the area may change at any step.
TEST(EffectAreas, NarrowAreasStayInsideAndWaveRowsStayRotations) {
    for (EffectType type : {EffectType::RndPanel, EffectType::Wave, EffectType::Fadein}) {
        for (int w : {1, 13, 20, 39}) {
            SCOPED_TRACE(testing::Message() << "type " << static_cast<int>(type) << " width " << w);
            Rig rig;
            const int X = 100, Y = 50, H = 14;
            Surface old = picture(200, 100, oldCode), fresh = picture(200, 100, newCode);
            rig.canvas.onFrame = [&](int k) {
                if (k > (type == EffectType::RndPanel ? 12 : 20))
                    return;  // the closing new picture
                EXPECT_EQ(mismatches(
                              200, 100, [&](int x, int y) { return rig.canvas.at(x, y); },
                              [&](int x, int y) {
                                  const uint32_t seen = rig.canvas.at(x, y);
                                  if (!inside(x, y, X, Y, w, H)) return oldCode(x, y);
                                  if (type != EffectType::Wave) return seen;
                                  // new pixels from the same row of the area
                                  const int from = int(seen >> 9 & 1023);
                                  return (seen >> 23) && newCode(from, y) == seen &&
                                                 inside(from, y, X, Y, w, H)
                                             ? seen
                                             : ~0u;
                              }),
                          0);
            };
            rig.run(type, old, fresh, X, Y, w, H);
        }
    }
}

TEST(EffectAreas, AnyAreaIsSafeOnMismatchedSurfaces) {
    struct Area {
        int x, y, w, h;
    };
    const Area areas[] = {{0, 0, 0, 0},
                          {-5, -5, 1, 1},
                          {0, 0, -20, -30},
                          {35, 25, 100, 100},
                          {-100, -50, 300, 200},
                          {-5000, -5000, 10, 10},
                          {0, 0, INT_MAX, INT_MAX},
                          {INT_MIN, INT_MIN, INT_MAX, INT_MAX},
                          {INT_MAX - 5, INT_MAX - 5, 100, 100},
                          {INT_MIN, 0, -1, INT_MAX}};
    for (int type = 1; type <= 8; ++type) {
        for (auto a : areas) {
            SCOPED_TRACE(testing::Message() << "type " << type << " area " << a.x << "," << a.y
                                            << " " << a.w << "x" << a.h);
            Rig rig;
            rig.canvas.onFrame = [](int k) {
                if (k > 50) throw std::runtime_error("endless effect");
            };
            Surface old = picture(40, 30, oldCode), fresh = picture(30, 40, newCode);
            EXPECT_NO_THROW(rig.run(static_cast<EffectType>(type), old, fresh, a.x, a.y, a.w, a.h));
            EXPECT_LE(rig.elapsed(), 2000u);  // huge areas do not stretch the sweeps
            EXPECT_EQ(old.width(), 40);
            EXPECT_EQ(old.height(), 30);
        }
    }
}

}  // namespace
}  // namespace zarvo

#include "graphics/effects.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <utility>

#include "graphics/surface.hpp"
#include "platform/canvas.hpp"
#include "platform/clock.hpp"
#include "script/command_table.hpp"

namespace zarvo {

namespace {

// Coordinates are worked out in 64 bits: an area of any int32 size must not overflow on the way.
using i64 = int64_t;

i64 floorDiv(i64 a, i64 b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}
i64 ceilDiv(i64 a, i64 b) {
    return -floorDiv(-a, b);
}

// Waits after each step until t0 + k * stepTime, pumping the host's messages meanwhile.
class Pacer {
  public:
    Pacer(const EffectContext& ctx, uint32_t stepMs)
        : ctx_(ctx), stepMs_(stepMs), t0_(ctx.clock ? ctx.clock->ticks() : 0) {}

    void afterStep(uint32_t k) const {
        platform::Clock* clock = ctx_.clock;
        if (!clock) return;
        const uint32_t target = k * stepMs_;
        for (;;) {
            const uint32_t now = clock->ticks();
            if (platform::tickReached(now, t0_, target)) return;
            if (ctx_.pumpMessages) {
                ctx_.pumpMessages();
                // A pump that returned at once would spin the processor for the whole effect.
                if (clock->ticks() == now) clock->sleep(1);
            } else {
                clock->sleep(target - static_cast<uint32_t>(now - t0_));
            }
        }
    }

  private:
    const EffectContext& ctx_;
    uint32_t stepMs_;
    uint32_t t0_;
};

void paint(const EffectContext& ctx, const Surface& surface) {
    if (ctx.canvas) surface.drawTo(*ctx.canvas);
}

// Copies (or, with opacity >= 0, blends) exactly the rectangle w x h at (sx, sy) of src to
// (dx, dy) of dst. The surface's own operations read a width or height of 1 or less as "as far as
// the surfaces go" and keep reading from sx when dx is negative; the effects want neither, so the
// rectangle is cut to both surfaces here first, moving both origins together.
void copyExact(const Surface& src, Surface& dst, i64 dx, i64 dy, i64 w, i64 h, i64 sx, i64 sy,
               int opacity = -1) {
    if (w <= 0 || h <= 0) return;
    auto cut = [](i64& d, i64& s, i64& len, i64 dLimit, i64 sLimit) {
        if (d < 0) {
            s -= d;
            len += d;
            d = 0;
        }
        if (s < 0) {
            d -= s;
            len += s;
            s = 0;
        }
        len = std::min({len, dLimit - d, sLimit - s});
    };
    cut(dx, sx, w, dst.width(), src.width());
    cut(dy, sy, h, dst.height(), src.height());
    if (w <= 0 || h <= 0) return;

    const auto D = [](i64 v) { return static_cast<int32_t>(v); };
    // A length of 1 is exact when it ends on an edge of either surface.
    const bool exactW = w >= 2 || dx + w == dst.width() || sx + w == src.width();
    const bool exactH = h >= 2 || dy + h == dst.height() || sy + h == src.height();
    if ((exactW && exactH) || src.alphaMode() == AlphaMode::Alpha) {
        // A thin piece of a source with per-pixel opacity keeps the surface's rule (it cannot be
        // staged without blending it twice); it still stays inside the surfaces.
        if (opacity >= 0)
            src.blendTo(dst, D(dx), D(dy), D(w), D(h), D(sx), D(sy), opacity);
        else
            src.copyTo(dst, D(dx), D(dy), D(w), D(h), D(sx), D(sy));
        return;
    }
    // A thin piece goes through a surface of exactly its size, whose edges bound both copies.
    Surface piece;
    if (src.hasMask()) piece.setAlphaMode(AlphaMode::Mask);
    piece.setSize(D(w), D(h));
    src.copyTo(piece, 0, 0, D(w), D(h), D(sx), D(sy));
    if (opacity >= 0)
        piece.blendTo(dst, D(dx), D(dy), D(w), D(h), 0, 0, opacity);
    else
        piece.copyTo(dst, D(dx), D(dy), D(w), D(h), 0, 0);
}

// Same place in both surfaces, as most effects copy.
void copyArea(const Surface& fresh, Surface& old, i64 x, i64 y, i64 w, i64 h) {
    copyExact(fresh, old, x, y, w, h, x, y);
}

// Indices j in [0, count) whose span [start + pitch * j, start + pitch * j + extent) can meet
// [0, limit): loops over bands, lines and rows skip the ones that could not touch the surfaces,
// so a huge area costs no more than the surface.
std::pair<i64, i64> indexRange(i64 start, i64 pitch, i64 extent, i64 count, i64 limit) {
    i64 lo = floorDiv(-start - extent, pitch) + 1;
    i64 hi = ceilDiv(limit - start, pitch);
    lo = std::clamp<i64>(lo, 0, std::max<i64>(count, 0));
    hi = std::clamp<i64>(hi, lo, std::max<i64>(count, lo));
    return {lo, hi};
}

i64 commonWidth(const Surface& a, const Surface& b) {
    return std::min(a.width(), b.width());
}
i64 commonHeight(const Surface& a, const Surface& b) {
    return std::min(a.height(), b.height());
}

// LeftTo and TopTo: ten sweeps over two-pixel strips across the area, `horizontal` meaning columns
// moving right.
void sweep(const EffectContext& ctx, Surface& old, const Surface& fresh, i64 x, i64 y, i64 w, i64 h,
           bool horizontal) {
    const Pacer pacer(ctx, 40);
    // Only the part on the surfaces is swept; the other direction is cut by the copies.
    i64& pos = horizontal ? x : y;
    i64& len = horizontal ? w : h;
    if (len > 0) {
        const i64 limit = horizontal ? commonWidth(old, fresh) : commonHeight(old, fresh);
        const i64 end = std::min(pos + len, limit);
        pos = std::max<i64>(pos, 0);
        len = std::max<i64>(end - pos, 0);
    }
    const i64 n = len / 2;  // an odd last pixel line is left to the final paint

    std::array<i64, 10> cursor;
    cursor.fill(-1);
    int started = 0;
    uint32_t step = 0;
    while (cursor[0] < n) {
        if (started <= 9) {
            cursor[9 - started] = 9 - started;
            ++started;
        }
        for (i64& c : cursor) {
            if (c < 0 || c >= n) continue;
            if (horizontal)
                copyArea(fresh, old, x + 2 * c, y, 2, h);
            else
                copyArea(fresh, old, x, y + 2 * c, w, 2);
            c += 10;
        }
        paint(ctx, old);
        pacer.afterStep(++step);
    }
}

// Fills work with cells c x c from the origin over width x height, each of the source's colour at
// the cell's centre. Cells are cut at width and height, so everything outside that rectangle stays
// white even when the size is not a multiple of c. A centre past the source's edge takes the
// nearest edge pixel, so a cell cut by the edge shows the colour next to it.
void pixelate(const Surface& source, Surface& work, i64 width, i64 height, int c) {
    const i64 w = std::min<i64>(width, work.width());
    const i64 h = std::min<i64>(height, work.height());
    const i64 maxX = std::max<i64>(source.width() - 1, 0);
    const i64 maxY = std::max<i64>(source.height() - 1, 0);
    for (i64 X = 0; X < w; X += c) {
        const auto sx = static_cast<int32_t>(std::min(X + c / 2, maxX));
        const auto cw = static_cast<int32_t>(std::min<i64>(c, w - X));
        for (i64 Y = 0; Y < h; Y += c) {
            const auto sy = static_cast<int32_t>(std::min(Y + c / 2, maxY));
            const auto ch = static_cast<int32_t>(std::min<i64>(c, h - Y));
            work.fillRect(static_cast<int32_t>(X), static_cast<int32_t>(Y), cw, ch,
                          source.getPixel(sx, sy));
        }
    }
}

}  // namespace

EffectType effectTypeFromName(std::string_view name) {
    return choiceOf(params::graphic_draw::kEffectType, name, EffectType::None);
}

void runTransition(EffectType type, const EffectContext& ctx, Surface& old, const Surface& fresh,
                   int x, int y, int width, int height) {
    using Effect = void (*)(const EffectContext&, Surface&, const Surface&, int, int, int, int);
    // Indexed by EffectType; None runs nothing.
    static constexpr std::array<Effect, 9> kEffects = {
        nullptr,        effects::fadein, effects::leftTo, effects::topTo, effects::rndPanel,
        effects::blind, effects::square, effects::wave,   effects::mosaic};
    static_assert(std::size(kEffectNames) == kEffects.size());
    auto i = static_cast<size_t>(type);
    if (i >= kEffects.size() || !kEffects[i]) return;
    kEffects[i](ctx, old, fresh, x, y, width, height);
}

namespace effects {

void fadein(const EffectContext& ctx, Surface& old, const Surface& fresh, int x, int y, int width,
            int height) {
    const Pacer pacer(ctx, 150);
    Surface work;
    for (uint32_t k = 1; k <= 8; ++k) {
        work.assign(old);
        copyExact(fresh, work, x, y, width, height, x, y, static_cast<int>((32 * k - 1) % 256));
        paint(ctx, work);
        pacer.afterStep(k);
    }
}

void leftTo(const EffectContext& ctx, Surface& old, const Surface& fresh, int x, int y, int width,
            int height) {
    sweep(ctx, old, fresh, x, y, width, height, true);
}

void topTo(const EffectContext& ctx, Surface& old, const Surface& fresh, int x, int y, int width,
           int height) {
    sweep(ctx, old, fresh, x, y, width, height, false);
}

void rndPanel(const EffectContext& ctx, Surface& old, const Surface& fresh, int x, int y, int width,
              int height) {
    const Pacer pacer(ctx, 30);
    constexpr int kPanels = 144;
    std::array<int, kPanels> column{}, row{};
    for (int i = 0; i < kPanels; ++i) {
        column[static_cast<size_t>(i)] = i / 12;
        row[static_cast<size_t>(i)] = i % 12;
    }
    std::minstd_rand random(ctx.clock ? ctx.clock->ticks() : 1u);
    for (size_t i = 0; i < kPanels; ++i) {
        // mod 143: the last panel only moves when i reaches it, as the order has always been.
        const size_t j = random() % 143;
        std::swap(column[i], column[j]);
        std::swap(row[i], row[j]);
    }

    const i64 pw = width / 12, ph = height / 12;
    for (size_t i = 0; i < kPanels; ++i) {
        const i64 c = column[i], r = row[i];
        const i64 w = pw + (c == 11 ? width % 12 : 0);
        const i64 h = ph + (r == 11 ? height % 12 : 0);
        copyArea(fresh, old, x + c * pw, y + r * ph, w, h);
        if (i % 12 == 11) {
            paint(ctx, old);
            pacer.afterStep(static_cast<uint32_t>(i / 12 + 1));
        }
    }
    paint(ctx, fresh);
}

void blind(const EffectContext& ctx, Surface& old, const Surface& fresh, int x, int y, int width,
           int height) {
    const Pacer pacer(ctx, 40);
    // Rows of a last partial band are left to the final paint.
    const auto [lo, hi] = indexRange(y, 20, 20, height / 20, commonHeight(old, fresh));
    for (uint32_t k = 0; k < 10; ++k) {
        for (i64 j = lo; j < hi; ++j) copyArea(fresh, old, x, i64{y} + 2 * k + 20 * j, width, 2);
        paint(ctx, old);
        pacer.afterStep(k + 1);
    }
}

void square(const EffectContext& ctx, Surface& old, const Surface& fresh, int x, int y, int width,
            int height) {
    const Pacer pacer(ctx, 40);
    // Both counts include the band that starts at the area's far edge: a partial last band is
    // covered, and for a multiple of 20 the lines of one band past the area are copied too.
    const auto [colLo, colHi] = indexRange(x, 20, 20, width / 20 + 1, commonWidth(old, fresh));
    const auto [rowLo, rowHi] = indexRange(y, 20, 20, height / 20 + 1, commonHeight(old, fresh));
    for (uint32_t k = 0; k < 10; ++k) {
        for (i64 j = colLo; j < colHi; ++j)
            copyArea(fresh, old, i64{x} + 2 * k + 20 * j, y, 2, height);
        for (i64 j = rowLo; j < rowHi; ++j)
            copyArea(fresh, old, x, i64{y} + 2 * k + 20 * j, width, 2);
        paint(ctx, old);
        pacer.afterStep(k + 1);
    }
}

void wave(const EffectContext& ctx, Surface& old, const Surface& fresh, int x, int y, int width,
          int height) {
    const Pacer pacer(ctx, 100);
    std::array<double, 20> sine{};
    for (size_t k = 0; k < sine.size(); ++k)
        sine[k] = std::sin(static_cast<double>(k) * std::numbers::pi / 10.0);

    const auto [lo, hi] = indexRange(y, 2, 2, height / 2, commonHeight(old, fresh));
    const i64 w = width;
    uint32_t step = 0;
    for (int n = 19; n >= 0; --n) {
        const int amplitude = 2 * n, phase = 2 * n;
        for (i64 i = lo; i < hi && w > 0; ++i) {
            const i64 rowY = y + 2 * i;
            const auto f =
                static_cast<i64>(amplitude * sine[static_cast<size_t>((phase + i) % 20)]);
            // A shift of the whole width or more is the same rotation as its remainder; taken
            // literally it would ask for pieces of negative width.
            const i64 r = (f < 0 ? -f : f) % w;
            if (r == 0) {
                copyArea(fresh, old, x, rowY, w, 2);
            } else if (f < 0) {  // rotated left by r
                copyExact(fresh, old, x, rowY, w - r, 2, x + r, rowY);
                copyExact(fresh, old, x + w - r, rowY, r, 2, x, rowY);
            } else {  // rotated right by r
                copyExact(fresh, old, x + r, rowY, w - r, 2, x, rowY);
                copyExact(fresh, old, x, rowY, r, 2, x + w - r, rowY);
            }
        }
        paint(ctx, old);
        pacer.afterStep(++step);
    }
    paint(ctx, fresh);
}

void mosaic(const EffectContext& ctx, Surface& old, const Surface& fresh, int /*x*/, int /*y*/,
            int width, int height) {
    // The cells start at the surface's origin whatever the area's position: only its size counts.
    const Pacer pacer(ctx, 200);
    Surface work;
    work.setSize(old.width(), old.height());
    uint32_t step = 0;
    for (int c : {2, 4, 8, 16, 32}) {
        pixelate(old, work, width, height, c);
        paint(ctx, work);
        pacer.afterStep(++step);
    }
    for (int c : {32, 16, 8, 4}) {
        pixelate(fresh, work, width, height, c);
        paint(ctx, work);
        pacer.afterStep(++step);
    }
}

}  // namespace effects

}  // namespace zarvo

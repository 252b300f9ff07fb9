#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <random>
#include <vector>

#include "graphics/las_graphic.hpp"
#include "graphics/pixel_kernels.hpp"
#include "platform/canvas.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {
namespace {

// Every pixel gets a distinct value from its position and a salt.
void paintPattern(TLasGraphic& g, uint32_t salt) {
    for (int32_t y = 0; y < g.Height(); ++y)
        for (int32_t x = 0; x < g.Width(); ++x)
            g.row(y)[x] = (salt * 0x10101u + static_cast<uint32_t>(y * 977 + x * 31)) & 0xFFFFFFu;
}

TLasGraphic surface(int32_t w, int32_t h, uint32_t salt, AlphaMode mode = AlphaMode::None) {
    TLasGraphic g;
    g.SetAlphaMode(mode);
    g.SetSize(w, h);
    paintPattern(g, salt);
    return g;
}

std::vector<uint32_t> pixelsOf(const TLasGraphic& g) {
    std::vector<uint32_t> v;
    for (int32_t y = 0; y < g.Height(); ++y) v.insert(v.end(), g.row(y), g.row(y) + g.Width());
    return v;
}

uint32_t channelBlend(uint32_t d, uint32_t s, uint32_t a) {
    uint32_t r = 0;
    for (int shift = 0; shift < 24; shift += 8)
        r |= ((((255 - a) * ((d >> shift) & 255)) + a * ((s >> shift) & 255)) / 256) << shift;
    return r;
}

TEST(Surface, StartsAsTenByTenWhiteWithTheTextDefaults) {
    TLasGraphic g;
    EXPECT_EQ(g.Width(), 10);
    EXPECT_EQ(g.Height(), 10);
    EXPECT_EQ(g.alphaMode(), AlphaMode::None);
    EXPECT_EQ(g.GetPixel(9, 9), 0xFFFFFFu);
    EXPECT_EQ(g.font.name, texts::kDefaultSystemFont);
    EXPECT_EQ(g.font.size, 10);
    EXPECT_EQ(g.font.dpi, 96);
    EXPECT_EQ(g.font.color, 0u);
    EXPECT_FALSE(g.font.bold || g.font.italic);
}

TEST(Surface, SizeAndModeKeepTheMaskInStep) {
    TLasGraphic g;
    g.SetAlphaMode(AlphaMode::Mask);  // from None: everything stays visible
    EXPECT_EQ(g.maskRow(3)[4], 255);
    g.maskRow(3)[4] = 7;
    g.SetAlphaMode(AlphaMode::Alpha);  // an existing mask is kept
    EXPECT_EQ(g.maskRow(3)[4], 7);
    g.SetSize(30, 20);  // a new size clears picture and mask
    EXPECT_EQ(g.alphaMode(), AlphaMode::Alpha);
    EXPECT_EQ(g.GetPixel(29, 19), 0xFFFFFFu);
    EXPECT_EQ(g.maskRow(19)[29], 0);
    g.SetAlphaMode(AlphaMode::None);
    EXPECT_FALSE(g.hasMask());

    TLasGraphic copy;
    g.SetAlphaMode(AlphaMode::Mask);
    g.maskRow(1)[2] = 99;
    paintPattern(g, 3);
    copy.Assign(g);
    g.maskRow(1)[2] = 1;
    g.row(0)[0] = 0;
    EXPECT_EQ(copy.alphaMode(), AlphaMode::Mask);
    EXPECT_EQ(copy.maskRow(1)[2], 99);
    EXPECT_EQ(copy.row(0)[0], surface(30, 20, 3).row(0)[0]);
    copy.Assign(copy);
    EXPECT_EQ(copy.Width(), 30);
}

TEST(Surface, RefusedSizesGiveAnEmptySurfaceThatEveryOperationTolerates) {
    for (auto [w, h] : {std::pair{-5, 10}, {0, 0}, {INT32_MAX, INT32_MAX}, {INT32_MIN, 3},
                        {40000, 1}, {30000, 30000}}) {
        TLasGraphic g;
        g.SetAlphaMode(AlphaMode::Mask);
        g.SetSize(w, h);
        EXPECT_EQ(int64_t{g.Width()} * g.Height(), 0) << w << "x" << h;
        g.FillRect(0, 0, 100, 100, 0xFF);
        g.MakeColorKeyTransparent();
        g.MakeTranslucent();
        g.ClearMask();
        EXPECT_FALSE(g.HitTest(0, 0));
        EXPECT_EQ(g.GetPixel(0, 0), 0u);
        TLasGraphic dest;
        g.CopyTo(dest, 0, 0, 0, 0, 0, 0);
        dest.CopyTo(g, 0, 0, 0, 0, 0, 0);
        EXPECT_EQ(pixelsOf(dest), pixelsOf(TLasGraphic()));
    }
}

TEST(Surface, AssignPictureTakesTheColourWordsAndToleratesShortPixelLists) {
    TLasGraphic g;
    g.SetAlphaMode(AlphaMode::Alpha);
    Picture p{3, 2, {0xFF112233u, 2, 3, 4}};  // two pixels short
    g.AssignPicture(p);
    EXPECT_EQ(g.alphaMode(), AlphaMode::None);
    EXPECT_EQ(g.Width(), 3);
    EXPECT_EQ(g.row(0)[0], 0x112233u);  // the top byte is not colour
    EXPECT_EQ(g.row(1)[0], 4u);
    EXPECT_EQ(g.row(1)[2], 0xFFFFFFu);
}

// --- the copy rule ---

struct CopyArgs {
    int32_t dx, dy, w, h, sx, sy;
};

// Where a copy may write along one axis: a length of 1 or less reaches the destination's edge.
bool insideWindow(int64_t x, int64_t d, int64_t len, int64_t destSize) {
    if (x < 0 || x >= destSize) return false;
    return len <= 1 ? x >= d : x >= d && x < d + len;
}

// The rule pixel by pixel: source pixel (u, v) lands at (dx + u - sx, dy + v - sy) when that
// lies in the window and (u, v) lies in the source.
std::vector<uint32_t> modelCopy(const TLasGraphic& src, const TLasGraphic& dest, CopyArgs a) {
    std::vector<uint32_t> out = pixelsOf(dest);
    for (int64_t y = 0; y < dest.Height(); ++y)
        for (int64_t x = 0; x < dest.Width(); ++x) {
            const int64_t u = x - a.dx + int64_t{a.sx}, v = y - a.dy + int64_t{a.sy};
            if (insideWindow(x, a.dx, a.w, dest.Width()) &&
                insideWindow(y, a.dy, a.h, dest.Height()) && u >= 0 && v >= 0 &&
                u < src.Width() && v < src.Height())
                out[static_cast<size_t>(y * dest.Width() + x)] =
                    src.row(static_cast<int32_t>(v))[u];
        }
    return out;
}

TEST(CopyClipping, ZeroAndOneMeanAsFarAsAllowedAndTwoMeansTwo) {
    const TLasGraphic src = surface(200, 100, 1);
    const TLasGraphic blank = surface(640, 480, 2);
    for (int32_t w : {0, 1, -7}) {
        TLasGraphic dest = blank;
        src.CopyTo(dest, 100, 50, w, w, 0, 0);
        EXPECT_EQ(dest.row(50)[100], src.row(0)[0]);
        EXPECT_EQ(dest.row(149)[299], src.row(99)[199]);
        EXPECT_EQ(dest.row(150)[299], blank.row(150)[299]);
        EXPECT_EQ(dest.row(149)[300], blank.row(149)[300]);
        EXPECT_EQ(dest.row(49)[100], blank.row(49)[100]);
        EXPECT_EQ(pixelsOf(dest), modelCopy(src, blank, {100, 50, w, w, 0, 0}));
    }
    TLasGraphic dest = blank;
    src.CopyTo(dest, 100, 50, 2, 0, 0, 0);
    EXPECT_EQ(dest.row(60)[101], src.row(10)[1]);
    EXPECT_EQ(dest.row(60)[102], blank.row(60)[102]);

    // A source larger than the room left stops at the destination's edge.
    const TLasGraphic big = surface(700, 500, 3);
    dest = blank;
    big.CopyTo(dest, 600, 400, 0, 0, 5, 6);
    EXPECT_EQ(dest.row(479)[639], big.row(85)[44]);
    EXPECT_EQ(dest.row(399)[600], blank.row(399)[600]);
}

TEST(CopyClipping, NegativeOriginsShowThePartThatFallsInside) {
    const TLasGraphic src = surface(50, 40, 4);
    const TLasGraphic blank = surface(30, 20, 5);
    TLasGraphic dest = blank;
    src.CopyTo(dest, -10, -5, 0, 0, 0, 0);  // source origin advances by the clipped amount
    EXPECT_EQ(dest.row(0)[0], src.row(5)[10]);
    dest = blank;
    src.CopyTo(dest, -10, 0, 15, 0, 0, 0);  // of 15 columns, 5 fall inside
    EXPECT_EQ(dest.row(0)[4], src.row(0)[14]);
    EXPECT_EQ(dest.row(0)[5], blank.row(0)[5]);
    dest = blank;
    src.CopyTo(dest, -10, 0, 8, 0, 0, 0);  // wholly left of the destination: nothing
    EXPECT_EQ(pixelsOf(dest), pixelsOf(blank));
    dest = blank;
    src.CopyTo(dest, 0, 0, 0, 0, -3, -2);  // a negative source origin never reads before it
    EXPECT_EQ(dest.row(2)[3], src.row(0)[0]);
    EXPECT_EQ(dest.row(1)[3], blank.row(1)[3]);
    EXPECT_EQ(dest.row(2)[2], blank.row(2)[2]);
}

TEST(CopyClipping, AnyArgumentsFollowTheRuleAndStayInsideBothBuffers) {
    const int32_t values[] = {INT32_MIN, INT32_MIN + 1, -100000, -13, -6, -1, 0, 1, 2, 3, 5,
                              9, 14, 100000, INT32_MAX - 1, INT32_MAX};
    const TLasGraphic src = surface(13, 7, 6, AlphaMode::None);
    const TLasGraphic blank = surface(11, 9, 7);
    std::mt19937 gen(42);
    auto pick = [&] { return values[gen() % std::size(values)]; };
    for (int i = 0; i < 20000; ++i) {
        const CopyArgs a{pick(), pick(), pick(), pick(), pick(), pick()};
        TLasGraphic dest = blank;
        src.CopyTo(dest, a.dx, a.dy, a.w, a.h, a.sx, a.sy);
        ASSERT_EQ(pixelsOf(dest), modelCopy(src, blank, a))
            << a.dx << " " << a.dy << " " << a.w << " " << a.h << " " << a.sx << " " << a.sy;
        // BlendTo clips the same way: opacity 255 changes exactly the copied pixels.
        TLasGraphic blended = blank;
        src.BlendTo(blended, a.dx, a.dy, a.w, a.h, a.sx, a.sy, 255);
        const auto copied = pixelsOf(dest), plain = pixelsOf(blank), got = pixelsOf(blended);
        for (size_t p = 0; p < got.size(); ++p)
            ASSERT_EQ(got[p], copied[p] == plain[p] ? plain[p] : channelBlend(plain[p], copied[p], 255));
    }
}

TEST(CopyClipping, CopyingWithinOneSurfaceReadsTheOldPixels) {
    const TLasGraphic original = surface(40, 30, 8, AlphaMode::Mask);
    TLasGraphic g = original;
    g.CopyTo(g, 3, 2, 0, 0, 0, 0);
    TLasGraphic expected = original;
    TLasGraphic(original).CopyTo(expected, 3, 2, 0, 0, 0, 0);
    EXPECT_EQ(pixelsOf(g), pixelsOf(expected));
}

// --- copy modes and the mask merge ---

TEST(CopyModes, MaskSourceDrawsCoveredPixelsAndMergesMasks) {
    TLasGraphic src = surface(4, 1, 9, AlphaMode::Mask);
    const uint8_t cover[4] = {0, 1, 255, 0x30};
    std::copy(cover, cover + 4, src.maskRow(0));
    const TLasGraphic blank = surface(6, 2, 10);

    TLasGraphic plain = blank;
    src.CopyTo(plain, 1, 0, 0, 0, 0, 0);
    EXPECT_FALSE(plain.hasMask());
    EXPECT_EQ(plain.row(0)[1], blank.row(0)[1]);
    for (int x = 1; x < 4; ++x) EXPECT_EQ(plain.row(0)[x + 1], src.row(0)[x]);

    TLasGraphic masked = blank;
    masked.SetAlphaMode(AlphaMode::Mask);
    const uint8_t before[6] = {0xFF, 0x02, 0x00, 0x40, 0x0F, 0x00};
    std::copy(before, before + 6, masked.maskRow(0));
    src.CopyTo(masked, 1, 0, 0, 0, 0, 0);
    const uint8_t after[6] = {0xFF, 0x02, 0x01, 0xFF, 0x3F, 0x00};  // OR in [1, 5), rest kept
    EXPECT_TRUE(std::equal(after, after + 6, masked.maskRow(0)));
    EXPECT_EQ(masked.maskRow(1)[2], 255);  // row 1 untouched (still 255 from SetAlphaMode)

    // A source without a mask makes the copied rectangle opaque, nothing more.
    TLasGraphic target = blank;
    target.ClearMask();
    surface(2, 1, 11).CopyTo(target, 3, 1, 0, 0, 0, 0);
    for (int x = 0; x < 6; ++x) EXPECT_EQ(target.maskRow(1)[x], x >= 3 && x < 5 ? 255 : 0);
    EXPECT_EQ(target.maskRow(0)[3], 0);
}

TEST(CopyModes, AlphaSourceBlendsPerChannelDividingBy256) {
    TLasGraphic src;
    src.SetAlphaMode(AlphaMode::Alpha);
    src.SetSize(4, 1);
    const uint32_t colours[4] = {0xFFFFFF, 0x80FF10, 0x123456, 0xABCDEF};
    const uint8_t alpha[4] = {255, 128, 0, 1};
    std::copy(colours, colours + 4, src.row(0));
    std::copy(alpha, alpha + 4, src.maskRow(0));
    TLasGraphic dest;
    dest.SetSize(4, 1);
    dest.FillRect(0, 0, 4, 1, 0);  // black
    dest.row(0)[3] = 0x445566;
    src.CopyTo(dest, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(dest.row(0)[0], 0xFEFEFEu);  // 255 becomes 254 even at full opacity
    EXPECT_EQ(dest.row(0)[1], 0x407F08u);
    EXPECT_EQ(dest.row(0)[2], 0u);  // coverage 0 is never drawn, not darkened either
    EXPECT_EQ(dest.row(0)[3], channelBlend(0x445566, 0xABCDEF, 1));
}

TEST(BlendTo, FullOpacityDividesBy256AndMaskedSourcesChangeNothing) {
    TLasGraphic src;
    src.SetSize(2, 2);
    src.FillRect(0, 0, 2, 2, 0xFFFFFF);
    TLasGraphic dest;
    dest.SetAlphaMode(AlphaMode::Mask);
    dest.SetSize(2, 2);  // mask all 0
    dest.FillRect(0, 0, 2, 2, 0);
    dest.ClearMask();
    src.BlendTo(dest, 0, 0, 0, 0, 0, 0, 255);
    EXPECT_EQ(dest.row(1)[1], 0xFEFEFEu);
    EXPECT_EQ(dest.maskRow(1)[1], 0);  // BlendTo leaves the mask alone

    TLasGraphic again = dest;
    src.BlendTo(again, 0, 0, 0, 0, 0, 0, 1000);  // opacities beyond 255 act as 255
    EXPECT_EQ(again.row(0)[0], channelBlend(0xFEFEFE, 0xFFFFFF, 255));
    again = dest;
    src.BlendTo(again, 0, 0, 0, 0, 0, 0, -1000);
    EXPECT_EQ(again.row(0)[0], channelBlend(0xFEFEFE, 0xFFFFFF, 0));

    src.SetAlphaMode(AlphaMode::Mask);
    const auto before = pixelsOf(dest);
    src.BlendTo(dest, 0, 0, 0, 0, 0, 0, 255);
    EXPECT_EQ(pixelsOf(dest), before);
}

// --- fills, pixels, hits and transparency ---

TEST(Surface, FillRectClipsConvertsTheColourAndOpensTheMask) {
    TLasGraphic g;
    g.ClearMask();
    g.FillRect(-5, 8, 7, 100, 0x0000FF);  // platform red
    EXPECT_EQ(g.row(9)[1], 0xFF0000u);
    EXPECT_EQ(g.GetPixel(1, 9), 0x0000FFu);
    EXPECT_EQ(g.GetPixel(2, 9), 0xFFFFFFu);
    EXPECT_EQ(g.maskRow(8)[1], 255);
    EXPECT_EQ(g.maskRow(8)[2], 0);
    EXPECT_EQ(g.maskRow(7)[0], 0);
    g.FillRect(INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX, 0);
    g.FillRect(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 0);  // ends at -1: nothing
    g.FillRect(3, 3, -2, 4, 0);
    EXPECT_EQ(g.GetPixel(0, 0), 0xFFFFFFu);
    EXPECT_EQ(g.GetPixel(-1, 0), 0u);
    EXPECT_EQ(g.GetPixel(10, 0), 0u);
}

TEST(Surface, HitTestNeedsCoverageAboveFifteen) {
    TLasGraphic g;
    EXPECT_TRUE(g.HitTest(0, 0));
    EXPECT_FALSE(g.HitTest(10, 0));
    EXPECT_FALSE(g.HitTest(0, -1));
    g.SetAlphaMode(AlphaMode::Alpha);
    g.maskRow(2)[3] = 15;
    g.maskRow(2)[4] = 16;
    EXPECT_FALSE(g.HitTest(3, 2));
    EXPECT_TRUE(g.HitTest(4, 2));
}

TEST(Transparency, ColourKeyComesFromTheBottomLeftPixel) {
    TLasGraphic g;
    g.SetAlphaMode(AlphaMode::Mask);
    g.FillRect(0, 0, 10, 10, 0x00FF00);
    g.FillRect(0, 9, 1, 1, 0x0000FF);  // bottom-left red
    g.FillRect(5, 5, 2, 1, 0x0000FF);
    g.row(2)[2] = 0x7FFF0000u;  // red with a stray top byte still matches
    g.maskRow(0)[9] = 3;
    g.MakeColorKeyTransparent();
    EXPECT_EQ(g.maskRow(9)[0], 0);
    EXPECT_EQ(g.maskRow(5)[6], 0);
    EXPECT_EQ(g.maskRow(2)[2], 0);
    EXPECT_EQ(g.maskRow(0)[0], 255);  // top-left is green
    EXPECT_EQ(g.maskRow(0)[9], 3);    // other coverage is left as it was

    TLasGraphic fresh;
    fresh.MakeColorKeyTransparent();  // None becomes Mask first: all white, all keyed
    EXPECT_EQ(fresh.alphaMode(), AlphaMode::Mask);
    EXPECT_FALSE(fresh.HitTest(5, 5));
}

TEST(Transparency, TranslucencyCapsCoverageAtHalfAndClearMaskHidesAll) {
    TLasGraphic g;
    g.MakeTranslucent();
    EXPECT_EQ(g.alphaMode(), AlphaMode::Alpha);
    for (int32_t y = 0; y < 10; ++y)
        for (int32_t x = 0; x < 10; ++x) ASSERT_EQ(g.maskRow(y)[x], 128);

    TLasGraphic keyed;
    keyed.FillRect(0, 0, 5, 10, 0);
    keyed.MakeColorKeyTransparent();
    keyed.maskRow(0)[9] = 100;
    keyed.MakeTranslucent();
    EXPECT_EQ(keyed.maskRow(0)[0], 0);
    EXPECT_EQ(keyed.maskRow(0)[5], 128);
    EXPECT_EQ(keyed.maskRow(0)[9], 100);

    keyed.ClearMask();
    EXPECT_EQ(keyed.alphaMode(), AlphaMode::Alpha);
    EXPECT_EQ(keyed.maskRow(0)[5], 0);
    TLasGraphic plain;
    plain.ClearMask();
    EXPECT_EQ(plain.alphaMode(), AlphaMode::Mask);
    EXPECT_FALSE(plain.HitTest(0, 0));
}

class RecordingCanvas : public platform::Canvas {
public:
    void present(const uint32_t* pixels, int width, int height, int stride) override {
        ++calls;
        first = pixels[0];
        last = pixels[static_cast<size_t>(height - 1) * stride + width - 1];
        w = width;
        h = height;
    }
    int calls = 0, w = 0, h = 0;
    uint32_t first = 0, last = 0;
};

TEST(Surface, DrawToPresentsThePictureAndSkipsAnEmptyOne) {
    RecordingCanvas canvas;
    const TLasGraphic g = surface(7, 5, 12);
    g.DrawTo(canvas);
    EXPECT_EQ(canvas.calls, 1);
    EXPECT_EQ(canvas.w, 7);
    EXPECT_EQ(canvas.h, 5);
    EXPECT_EQ(canvas.last, g.row(4)[6]);
    TLasGraphic empty;
    empty.SetSize(0, 0);
    empty.DrawTo(canvas);
    EXPECT_EQ(canvas.calls, 1);
}

// --- the row kernels ---

TEST(RowKernels, SharedPixelFormulaMatchesThePerChannelArithmetic) {
    std::mt19937 gen(5);
    for (uint32_t a = 0; a < 256; ++a)
        for (int i = 0; i < 200; ++i) {
            const uint32_t d = gen() & 0xFFFFFF, s = gen() & 0xFFFFFF;
            ASSERT_EQ(pixels::blendPixel(d, s, a), channelBlend(d, s, a)) << a;
        }
    EXPECT_EQ(pixels::blendPixel(0, 0xFFFFFF, 255), 0xFEFEFEu);
    EXPECT_EQ(pixels::blendPixel(0xFFFFFF, 0xFFFFFF, 0), 0xFEFEFEu);
}

// Coverage that looks like sprites: long empty and full runs, ramps, and noise.
std::vector<uint8_t> coverage(std::mt19937& gen, size_t n) {
    std::vector<uint8_t> m(n);
    size_t i = 0;
    while (i < n) {
        const size_t run = 1 + gen() % 90, kind = gen() % 4;
        for (size_t j = 0; j < run && i < n; ++j, ++i)
            m[i] = kind == 0 ? 0 : kind == 1 ? 255 : kind == 2 ? uint8_t(j * 7) : uint8_t(gen());
    }
    return m;
}

TEST(RowKernels, EveryVersionGivesThePlainFormulaAndStaysInItsRow) {
    constexpr size_t kGuard = 80;
    std::mt19937 gen(9);
    for (auto level : {pixels::KernelLevel::Portable, pixels::KernelLevel::Avx2,
                       pixels::KernelLevel::Avx512}) {
        if (!pixels::kernelLevelSupported(level)) {
            std::printf("kernel version %d not supported here; skipped\n", int(level));
            continue;
        }
        const pixels::RowKernels& k = pixels::rowKernels(level);
        ASSERT_EQ(k.level, level);
        SCOPED_TRACE(k.name);
        for (int round = 0; round < 400; ++round) {
            const size_t n = round < 140 ? size_t(round) : gen() % 1000, off = gen() % 7;
            std::vector<uint32_t> d(n + 2 * kGuard + off), s(d.size());
            for (auto& v : d) v = gen();  // top bytes too: blends must drop them
            for (auto& v : s) v = gen();
            std::vector<uint8_t> m = coverage(gen, d.size()), dm = coverage(gen, d.size());
            const uint32_t opacity = gen() % 256;
            const uint32_t* sp = s.data() + kGuard + off;
            const uint8_t* mp = m.data() + kGuard + off;

            std::vector<uint32_t> copied = d, alpha = d, constant = d;
            std::vector<uint8_t> ored = dm;
            for (size_t i = 0; i < n; ++i) {
                const size_t at = kGuard + off + i;
                if (m[at]) copied[at] = s[at];
                if (m[at]) alpha[at] = channelBlend(d[at], s[at], m[at]);
                constant[at] = channelBlend(d[at], s[at], opacity);
                ored[at] |= m[at];
            }
            std::vector<uint32_t> got = d;
            k.copyMasked(got.data() + kGuard + off, sp, mp, n);
            ASSERT_EQ(got, copied) << "copy n=" << n;
            got = d;
            k.blendAlpha(got.data() + kGuard + off, sp, mp, n);
            ASSERT_EQ(got, alpha) << "alpha n=" << n;
            got = d;
            k.blendConstant(got.data() + kGuard + off, sp, opacity, n);
            ASSERT_EQ(got, constant) << "constant n=" << n << " o=" << opacity;
            std::vector<uint8_t> gotMask = dm;
            k.orMask(gotMask.data() + kGuard + off, mp, n);
            ASSERT_EQ(gotMask, ored) << "or n=" << n;
        }
    }
}

}  // namespace
}  // namespace zarvo

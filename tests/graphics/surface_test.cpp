#include "graphics/surface.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <random>
#include <vector>

#include "graphics/pixel_kernels.hpp"

namespace zarvo {
namespace {

// A surface whose every pixel is distinct.
Surface surface(int32_t w, int32_t h, uint32_t salt, AlphaMode mode = AlphaMode::None) {
    Surface g;
    g.setAlphaMode(mode);
    g.setSize(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            g.row(y)[x] = (salt * 0x10101u + static_cast<uint32_t>(y * 977 + x * 31)) & 0xFFFFFFu;
    return g;
}

std::vector<uint32_t> pixelsOf(const Surface& g) {
    std::vector<uint32_t> v;
    for (int32_t y = 0; y < g.height(); ++y) v.insert(v.end(), g.row(y), g.row(y) + g.width());
    return v;
}

// The blend written out channel by channel.
uint32_t channelBlend(uint32_t d, uint32_t s, uint32_t a) {
    uint32_t r = 0;
    for (int shift = 0; shift < 24; shift += 8)
        r |= ((((255 - a) * ((d >> shift) & 255)) + a * ((s >> shift) & 255)) / 256) << shift;
    return r;
}

TEST(Surface, DefaultsSizesAndTheMaskLifecycle) {
    Surface g;
    EXPECT_EQ(g.width() * 100 + g.height(), 1010);
    EXPECT_EQ(g.getPixel(9, 9), 0xFFFFFFu);
    g.setAlphaMode(AlphaMode::Mask);  // from None everything stays visible
    g.maskRow(3)[4] = 7;
    g.setAlphaMode(AlphaMode::Alpha);  // an existing mask is kept
    EXPECT_EQ(g.maskRow(3)[4], 7);
    EXPECT_EQ(g.maskRow(3)[5], 255);
    g.setSize(30, 20);  // a new size clears picture and mask
    EXPECT_EQ(g.maskRow(19)[29], 0);
    EXPECT_EQ(g.getPixel(29, 19), 0xFFFFFFu);
    // Refused sizes leave an empty surface that every operation tolerates.
    for (auto [w, h] : {std::pair{-5, 10}, {INT32_MAX, INT32_MAX}, {40000, 1}, {30000, 30000}}) {
        g.setSize(w, h);
        EXPECT_EQ(int64_t{g.width()} * g.height(), 0);
        g.fillRect(0, 0, 9, 9, 0xFF);
        g.makeColorKeyTransparent();
        g.makeTranslucent();
        EXPECT_FALSE(g.hitTest(0, 0));
        Surface dest;
        g.copyTo(dest, 0, 0, 0, 0, 0, 0);
        dest.copyTo(g, 0, 0, 0, 0, 0, 0);
    }
    g.assignPicture(Picture{3, 2, {0xFF112233u, 2, 3, 4}});  // two pixels short: left white
    EXPECT_EQ(g.alphaMode(), AlphaMode::None);
    EXPECT_EQ(pixelsOf(g), (std::vector<uint32_t>{0x112233, 2, 3, 4, 0xFFFFFF, 0xFFFFFF}));
}

// --- the copy rule ---

struct CopyArgs {
    int32_t dx, dy, w, h, sx, sy;
};

// Along one axis a copy writes inside the destination, from d on; a length of 1 or less
// reaches the destination's edge, a longer one stops at d + length.
bool insideWindow(int64_t x, int64_t d, int64_t len, int64_t destSize) {
    return x >= 0 && x < destSize && x >= d && (len <= 1 || x < d + len);
}

// Source pixel (u, v) lands at (dx + u - sx, dy + v - sy) when that is inside the window.
std::vector<uint32_t> modelCopy(const Surface& src, const Surface& dest, CopyArgs a) {
    std::vector<uint32_t> out = pixelsOf(dest);
    for (int64_t y = 0; y < dest.height(); ++y)
        for (int64_t x = 0; x < dest.width(); ++x) {
            const int64_t u = x - a.dx + int64_t{a.sx}, v = y - a.dy + int64_t{a.sy};
            if (insideWindow(x, a.dx, a.w, dest.width()) &&
                insideWindow(y, a.dy, a.h, dest.height()) && u >= 0 && v >= 0 && u < src.width() &&
                v < src.height())
                out[size_t(y * dest.width() + x)] = src.row(int32_t(v))[u];
        }
    return out;
}

TEST(CopyClipping, ZeroAndOneMeanAsFarAsAllowedAndTwoMeansTwo) {
    const Surface src = surface(200, 100, 1), blank = surface(640, 480, 2);
    for (int32_t w : {0, 1, 2, -7}) {
        Surface dest = blank;
        src.copyTo(dest, 100, 50, w, 0, 0, 0);
        EXPECT_EQ(dest.row(149)[101], src.row(99)[1]);
        EXPECT_EQ(dest.row(149)[299], w == 2 ? blank.row(149)[299] : src.row(99)[199]);
        EXPECT_EQ(pixelsOf(dest), modelCopy(src, blank, {100, 50, w, 0, 0, 0}));
    }
    const Surface small = surface(30, 20, 3);
    Surface dest = small;
    src.copyTo(dest, -10, -5, 0, 0, 0, 0);  // the source origin advances by the cut amount
    EXPECT_EQ(dest.row(0)[0], src.row(5)[10]);
    dest = small;
    src.copyTo(dest, -10, 0, 8, 0, 0, 0);  // wholly left of the destination: nothing
    EXPECT_EQ(pixelsOf(dest), pixelsOf(small));
}

TEST(CopyClipping, AnyArgumentsFollowTheRuleAndStayInsideBothBuffers) {
    const int32_t values[] = {INT32_MIN, INT32_MIN + 1, -100000,  -13, -6, -1, 0, 1, 2, 3, 5, 9, 14,
                              100000,    INT32_MAX - 1, INT32_MAX};
    const Surface src = surface(13, 7, 6), blank = surface(11, 9, 7);
    std::mt19937 gen(42);
    auto pick = [&] { return values[gen() % std::size(values)]; };
    for (int i = 0; i < 20000; ++i) {
        const CopyArgs a{pick(), pick(), pick(), pick(), pick(), pick()};
        Surface dest = blank, blended = blank;
        src.copyTo(dest, a.dx, a.dy, a.w, a.h, a.sx, a.sy);
        const auto want = modelCopy(src, blank, a);
        ASSERT_EQ(pixelsOf(dest), want)
            << a.dx << " " << a.dy << " " << a.w << " " << a.h << " " << a.sx << " " << a.sy;
        // BlendTo clips the same way.
        src.blendTo(blended, a.dx, a.dy, a.w, a.h, a.sx, a.sy, 255);
        const auto plain = pixelsOf(blank), got = pixelsOf(blended);
        for (size_t p = 0; p < got.size(); ++p)
            ASSERT_EQ(got[p],
                      want[p] == plain[p] ? plain[p] : channelBlend(plain[p], want[p], 255));
    }
    // Within one surface an overlapping copy reads the old pixels.
    Surface g = src, expected = src;
    g.copyTo(g, 3, 2, 0, 0, 0, 0);
    src.copyTo(expected, 3, 2, 0, 0, 0, 0);
    EXPECT_EQ(pixelsOf(g), pixelsOf(expected));
}

// --- copy modes, the mask merge and BlendTo ---

TEST(CopyModes, MaskSourceDrawsCoveredPixelsAndMergesMasks) {
    Surface src = surface(4, 1, 9, AlphaMode::Mask);
    const std::vector<uint8_t> cover{0, 1, 255, 0x30};
    std::copy(cover.begin(), cover.end(), src.maskRow(0));
    const Surface blank = surface(6, 2, 10);

    Surface plain = blank;
    src.copyTo(plain, 1, 0, 0, 0, 0, 0);
    EXPECT_FALSE(plain.hasMask());
    EXPECT_EQ(plain.row(0)[1], blank.row(0)[1]);
    for (int x = 1; x < 4; ++x) EXPECT_EQ(plain.row(0)[x + 1], src.row(0)[x]);

    Surface masked = blank;
    masked.setAlphaMode(AlphaMode::Mask);
    const std::vector<uint8_t> before{0xFF, 0x02, 0x00, 0x40, 0x0F, 0x00};
    std::copy(before.begin(), before.end(), masked.maskRow(0));
    src.copyTo(masked, 1, 0, 0, 0, 0, 0);
    EXPECT_EQ(std::vector<uint8_t>(masked.maskRow(0), masked.maskRow(0) + 6),
              (std::vector<uint8_t>{0xFF, 0x02, 0x01, 0xFF, 0x3F, 0x00}));  // OR in [1, 5)

    // A source without a mask makes exactly the copied rectangle opaque.
    masked.clearMask();
    surface(2, 1, 11).copyTo(masked, 3, 1, 0, 0, 0, 0);
    for (int x = 0; x < 6; ++x) EXPECT_EQ(masked.maskRow(1)[x], x == 3 || x == 4 ? 255 : 0);
    EXPECT_EQ(masked.maskRow(0)[3], 0);
}

TEST(CopyModes, AlphaAndOpacityBlendsDivideBy256) {
    Surface src;
    src.setAlphaMode(AlphaMode::Alpha);
    src.setSize(4, 1);
    const std::vector<uint32_t> colours{0xFFFFFF, 0x80FF10, 0x123456, 0xABCDEF};
    const std::vector<uint8_t> alpha{255, 128, 0, 1};
    std::copy(colours.begin(), colours.end(), src.row(0));
    std::copy(alpha.begin(), alpha.end(), src.maskRow(0));
    Surface dest;
    dest.setAlphaMode(AlphaMode::Mask);
    dest.setSize(4, 1);
    dest.fillRect(0, 0, 4, 1, 0);  // black
    dest.row(0)[3] = 0x445566;
    Surface faded = dest;
    src.copyTo(dest, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(pixelsOf(dest), (std::vector<uint32_t>{0xFEFEFE, 0x407F08, 0,  // 255 gives 254
                                                     channelBlend(0x445566, 0xABCDEF, 1)}));

    faded.clearMask();
    Surface opaque = surface(4, 1, 0);
    opaque.fillRect(0, 0, 4, 1, 0xFFFFFF);
    opaque.blendTo(faded, 0, 0, 0, 0, 0, 0, 255);
    EXPECT_EQ(faded.row(0)[0], 0xFEFEFEu);
    EXPECT_EQ(faded.maskRow(0)[0], 0);               // BlendTo leaves the mask alone
    opaque.blendTo(faded, 0, 0, 0, 0, 0, 0, -1000);  // opacities are held to 0..255
    EXPECT_EQ(faded.row(0)[0], 0xFDFDFDu);
    src.blendTo(faded, 0, 0, 0, 0, 0, 0, 255);  // a source with a mask blends nothing
    EXPECT_EQ(faded.row(0)[0], 0xFDFDFDu);
}

// --- fills, hits and transparency ---

TEST(Surface, FillsPixelsAndHits) {
    Surface g;
    g.clearMask();
    g.fillRect(-5, 8, 7, 100, 0x0000FF);  // platform red
    EXPECT_EQ(g.row(9)[1], 0xFF0000u);
    EXPECT_EQ(g.getPixel(1, 9), 0x0000FFu);
    EXPECT_EQ(g.getPixel(2, 9), 0xFFFFFFu);
    EXPECT_EQ(g.maskRow(8)[1], 255);
    EXPECT_EQ(g.maskRow(7)[1], 0);
    g.fillRect(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 0);  // ends at -1: nothing
    g.fillRect(INT32_MAX, 0, INT32_MAX, 5, 0);
    EXPECT_EQ(g.getPixel(0, 0), 0xFFFFFFu);
    EXPECT_EQ(g.getPixel(-1, 0), 0u);
    g.maskRow(2)[3] = 15;
    g.maskRow(2)[4] = 16;
    EXPECT_FALSE(g.hitTest(3, 2));
    EXPECT_TRUE(g.hitTest(4, 2));
    EXPECT_FALSE(g.hitTest(10, 2));
}

TEST(Transparency, ColourKeyTranslucencyAndClearing) {
    Surface g;
    g.setAlphaMode(AlphaMode::Mask);
    g.fillRect(0, 0, 10, 10, 0x00FF00);
    g.fillRect(0, 9, 1, 1, 0x0000FF);  // bottom-left red
    g.row(2)[2] = 0x7FFF0000u;         // red with a stray top byte matches too
    g.maskRow(0)[9] = 3;
    g.makeColorKeyTransparent();
    EXPECT_EQ(g.maskRow(9)[0] + g.maskRow(2)[2], 0);
    EXPECT_EQ(g.maskRow(0)[0], 255);  // top-left is green
    EXPECT_EQ(g.maskRow(0)[9], 3);    // other coverage is left as it was
    g.makeTranslucent();
    EXPECT_EQ(g.alphaMode(), AlphaMode::Alpha);
    EXPECT_EQ(g.maskRow(0)[0] * 1000 + g.maskRow(0)[9], 128003);
    EXPECT_EQ(g.maskRow(2)[2], 0);
    g.clearMask();
    EXPECT_EQ(g.alphaMode(), AlphaMode::Alpha);
    EXPECT_EQ(g.maskRow(0)[0], 0);

    Surface plain;
    plain.makeTranslucent();  // None: every byte 128
    for (int32_t i = 0; i < 100; ++i) ASSERT_EQ(plain.maskRow(i / 10)[i % 10], 128);
    Surface cleared;
    cleared.clearMask();
    EXPECT_EQ(cleared.alphaMode(), AlphaMode::Mask);
    EXPECT_FALSE(cleared.hitTest(0, 0));
}

// --- the row kernels ---

// Coverage that looks like sprites: long empty and full runs, ramps, and noise.
std::vector<uint8_t> coverage(std::mt19937& gen, size_t n) {
    std::vector<uint8_t> m(n);
    for (size_t i = 0; i < n;) {
        const size_t run = 1 + gen() % 90, kind = gen() % 4;
        for (size_t j = 0; j < run && i < n; ++j, ++i)
            m[i] = kind == 0 ? 0 : kind == 1 ? 255 : kind == 2 ? uint8_t(j * 7) : uint8_t(gen());
    }
    return m;
}

TEST(RowKernels, EveryVersionGivesThePlainFormulaAndStaysInItsRow) {
    constexpr size_t kGuard = 80;
    std::mt19937 gen(9);
    for (int level = 0; level <= 2; ++level) {
        if (!pixels::kernelLevelSupported(pixels::KernelLevel(level))) {
            std::printf("kernel version %d cannot run here; not checked\n", level);
            continue;
        }
        const pixels::RowKernels& k = pixels::rowKernels(pixels::KernelLevel(level));
        SCOPED_TRACE(k.name);
        for (int round = 0; round < 400; ++round) {
            const size_t n = round < 140 ? size_t(round) : gen() % 1000, at = kGuard + gen() % 7;
            std::vector<uint32_t> d(n + 2 * kGuard + 7), s(d.size());
            for (auto& v : d) v = gen();  // top bytes too: the blends must drop them
            for (auto& v : s) v = gen();
            const std::vector<uint8_t> m = coverage(gen, d.size()), dm = coverage(gen, d.size());
            const uint32_t opacity = gen() % 256;
            std::vector<uint32_t> copied = d, alpha = d, constant = d;
            std::vector<uint8_t> ored = dm;
            for (size_t i = at; i < at + n; ++i) {
                if (m[i]) copied[i] = s[i];
                if (m[i]) alpha[i] = channelBlend(d[i], s[i], m[i]);
                constant[i] = channelBlend(d[i], s[i], opacity);
                ored[i] |= m[i];
            }
            std::vector<uint32_t> got = d;
            k.copyMasked(&got[at], &s[at], &m[at], n);
            ASSERT_EQ(got, copied) << "copy n=" << n;
            got = d;
            k.blendAlpha(&got[at], &s[at], &m[at], n);
            ASSERT_EQ(got, alpha) << "alpha n=" << n;
            got = d;
            k.blendConstant(&got[at], &s[at], opacity, n);
            ASSERT_EQ(got, constant) << "constant n=" << n;
            std::vector<uint8_t> gotMask = dm;
            k.orMask(&gotMask[at], &m[at], n);
            ASSERT_EQ(gotMask, ored) << "or n=" << n;
        }
    }
}

}  // namespace
}  // namespace zarvo

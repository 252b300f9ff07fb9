#include "formats/png.hpp"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <vector>

#include "graphics/surface.hpp"

namespace zarvo {
namespace {

// A one-row PNG (or `height` copies of the row) written by libpng from bytes in the file's
// own layout.
struct PngSpec {
    uint32_t width = 1;
    int depth = 8, type = PNG_COLOR_TYPE_RGB;
    std::vector<uint8_t> row;
    std::vector<png_color> palette = {};
    std::vector<uint8_t> paletteAlpha = {};
    std::vector<png_color_16> key = {};
    uint32_t height = 1;
    bool interlaced = false;
};

void appendBytes(png_structp png, png_bytep data, size_t n) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), n);
}

bool encode(png_structp png, png_infop info, const PngSpec& s, std::vector<png_bytep>& rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, s.width, s.height, s.depth, s.type,
                 s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!s.palette.empty()) png_set_PLTE(png, info, s.palette.data(), int(s.palette.size()));
    if (!s.paletteAlpha.empty())
        png_set_tRNS(png, info, s.paletteAlpha.data(), int(s.paletteAlpha.size()), nullptr);
    if (!s.key.empty()) png_set_tRNS(png, info, nullptr, 0, s.key.data());
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    return true;
}

std::string makePng(const PngSpec& s) {
    std::string out;
    std::vector<png_bytep> rows(s.height, const_cast<png_bytep>(s.row.data()));
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, appendBytes, nullptr);
    EXPECT_TRUE(encode(png, info, s, rows));
    png_destroy_write_struct(&png, &info);
    return out;
}

// An 8-bit RGBA picture of `height` rows of n pixels, pixel i being 0xAARRGGBB = i * step.
std::string rgbaPng(uint32_t n, uint32_t height, uint32_t step) {
    PngSpec s{n, 8, PNG_COLOR_TYPE_RGB_ALPHA, {}};
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t p = i * step;
        s.row.insert(s.row.end(),
                     {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), uint8_t(p >> 24)});
    }
    s.height = height;
    return makePng(s);
}

std::vector<uint32_t> rowOf(const Surface& g, int32_t y) {
    return {g.row(y), g.row(y) + g.width()};
}
std::vector<uint8_t> maskOf(const Surface& g, int32_t y) {
    return g.hasMask() ? std::vector<uint8_t>(g.maskRow(y), g.maskRow(y) + g.width())
                       : std::vector<uint8_t>{};
}

// Decodes into the surface as the story's loader does: a failure leaves it as it was.
PngError load(Surface& g, std::string_view bytes) {
    Picture picture;
    const PngError error = decodePng(bytes, picture);
    if (error == PngError::None) g.assignPicture(std::move(picture));
    return error;
}

// A surface with content of its own, to see that a failed load leaves it alone.
Surface previousPicture() {
    Surface g;
    g.setAlphaMode(AlphaMode::Mask);
    g.setSize(5, 4);
    g.fillRect(1, 1, 2, 2, 0x123456);
    return g;
}

void expectUnchanged(const Surface& g) {
    const Surface before = previousPicture();
    ASSERT_EQ(g.width() * 10 + g.height(), 54);
    EXPECT_EQ(g.alphaMode(), AlphaMode::Mask);
    for (int32_t y = 0; y < 4; ++y) {
        EXPECT_EQ(rowOf(g, y), rowOf(before, y));
        EXPECT_EQ(maskOf(g, y), maskOf(before, y));
    }
}

TEST(PngModes, EveryColourTypeAndDepthGivesColoursAndTheRightMode) {
    const std::vector<png_color> palette{{255, 0, 0}, {0, 255, 0}, {7, 8, 9}};
    struct Case {
        const char* what;
        PngSpec pngCase;
        AlphaMode mode;
        std::vector<uint32_t> pixels;
        std::vector<uint8_t> mask;
    };
    const Case cases[] = {
        {"palette",
         {3, 8, PNG_COLOR_TYPE_PALETTE, {0, 1, 2}, palette},
         AlphaMode::None,
         {0xFF0000, 0x00FF00, 0x070809},
         {}},
        {"palette 4-bit with alpha",
         {3, 4, PNG_COLOR_TYPE_PALETTE, {0x01, 0x20}, palette, {0, 255}},
         AlphaMode::Mask,
         {0xFF0000, 0x00FF00, 0x070809},
         {0, 255, 255}},
        {"rgb with key",
         {2, 8, PNG_COLOR_TYPE_RGB, {9, 8, 7, 9, 8, 6}, {}, {}, {{0, 9, 8, 7, 0}}},
         AlphaMode::Mask,
         {0x090807, 0x090806},
         {0, 255}},
        {"grey with key",
         {3, 8, PNG_COLOR_TYPE_GRAY, {0x40, 0x41, 0}, {}, {}, {{0, 0, 0, 0, 0x40}}},
         AlphaMode::Mask,
         {0x404040, 0x414141, 0},
         {0, 255, 255}},
        {"rgba",
         {3, 8, PNG_COLOR_TYPE_RGB_ALPHA, {1, 2, 3, 0, 4, 5, 6, 1, 7, 8, 9, 255}},
         AlphaMode::Alpha,
         {0x010203, 0x040506, 0x070809},
         {0, 1, 255}},
        {"rgb 16-bit",
         {2, 16, PNG_COLOR_TYPE_RGB, {0xAB, 0x12, 0, 0xFF, 0x7F, 0x80, 0xFF, 0xFF, 0, 0, 1, 0}},
         AlphaMode::None,
         {0xAB007F, 0xFF0001},
         {}},
        {"rgba 16-bit",
         {1, 16, PNG_COLOR_TYPE_RGB_ALPHA, {0x10, 0, 0x20, 0, 0x30, 0, 0x80, 0x55}},
         AlphaMode::Alpha,
         {0x102030},
         {0x80}},
        {"grey",
         {3, 8, PNG_COLOR_TYPE_GRAY, {0, 0x7F, 0xFF}},
         AlphaMode::None,
         {0, 0x7F7F7F, 0xFFFFFF},
         {}},
        {"grey 1-bit",
         {10, 1, PNG_COLOR_TYPE_GRAY, {0b10100000, 0b01000000}},
         AlphaMode::None,
         {0xFFFFFF, 0, 0xFFFFFF, 0, 0, 0, 0, 0, 0, 0xFFFFFF},
         {}},
        {"grey alpha",
         {2, 8, PNG_COLOR_TYPE_GRAY_ALPHA, {0x33, 0, 0xCC, 0x99}},
         AlphaMode::Alpha,
         {0x333333, 0xCCCCCC},
         {0, 0x99}},
        {"grey alpha 16-bit",
         {1, 16, PNG_COLOR_TYPE_GRAY_ALPHA, {0xEE, 1, 0x42, 0xFF}},
         AlphaMode::Alpha,
         {0xEEEEEE},
         {0x42}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Surface g = previousPicture();  // a mask from before does not survive an opaque PNG
        ASSERT_EQ(load(g, makePng(c.pngCase)), PngError::None);
        EXPECT_EQ(g.alphaMode(), c.mode);
        EXPECT_EQ(rowOf(g, 0), c.pixels);  // the fourth byte never stays in the pixel word
        EXPECT_EQ(maskOf(g, 0), c.mask);
    }
    // Interlaced pictures come out as plain ones.
    PngSpec pngCase{13, 8, PNG_COLOR_TYPE_RGB, {}};
    for (int i = 0; i < 39; ++i) pngCase.row.push_back(uint8_t(i * 37));
    pngCase.height = 11;
    Surface plain, interlaced;
    ASSERT_EQ(load(plain, makePng(pngCase)), PngError::None);
    pngCase.interlaced = true;
    ASSERT_EQ(load(interlaced, makePng(pngCase)), PngError::None);
    EXPECT_EQ(rowOf(interlaced, 10), rowOf(plain, 10));
    EXPECT_EQ(plain.row(10)[12], 0x34597Eu);
}

TEST(PngDamage, DamagedFilesFailAndLeaveTheSurfaceAlone) {
    const std::string png = rgbaPng(6, 5, 0x81050301);
    for (size_t len = 0; len < png.size(); ++len) {
        Surface g = previousPicture();
        ASSERT_EQ(load(g, std::string_view(png).substr(0, len)),
                  len < 8 ? PngError::NotPng : PngError::Damaged)
            << len;
        expectUnchanged(g);
    }
    // A flipped byte either fails cleanly or still gives a whole picture.
    for (size_t at = 0; at < png.size(); ++at) {
        std::string bad = png;
        bad[at] = static_cast<char>(bad[at] ^ 0x41);
        Surface g = previousPicture();
        if (load(g, bad) == PngError::None)
            ASSERT_EQ(g.maskRow(4)[5], 0x85);
        else
            expectUnchanged(g);
    }
}

// Rewrites the size in the header chunk, with a matching checksum.
std::string withHeaderSize(std::string png, uint32_t w, uint32_t h) {
    for (int i = 0; i < 4; ++i) {
        png[16 + i] = static_cast<char>(w >> (24 - 8 * i));
        png[20 + i] = static_cast<char>(h >> (24 - 8 * i));
    }
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(png.data() + 12), 17);
    for (int i = 0; i < 4; ++i) png[29 + i] = static_cast<char>(crc >> (24 - 8 * i));
    return png;
}

TEST(PngDamage, AbsurdSizesAreRefusedBeforeDecoding) {
    PngSpec edge{16384, 1, PNG_COLOR_TYPE_GRAY, std::vector<uint8_t>(2048, 0x0F)};
    const std::string edgePng = makePng(edge);
    Surface g;
    ASSERT_EQ(load(g, edgePng), PngError::None);
    EXPECT_EQ(g.row(0)[16383], 0xFFFFFFu);
    edge.width = 16385;
    edge.row.push_back(0);
    for (const std::string& png :
         {makePng(edge), withHeaderSize(edgePng, 100000, 100000),
          withHeaderSize(edgePng, 8192, 8193), withHeaderSize(edgePng, 0x7FFFFFFF, 1)}) {
        g = previousPicture();
        EXPECT_EQ(load(g, png), PngError::TooLarge);
        expectUnchanged(g);
    }
}

TEST(PngEncoding, WritesColourAndMaskAsAlphaAndRefusesEmptyPictures) {
    Surface g;
    ASSERT_EQ(load(g, rgbaPng(40, 30, 0x9E3779B9)), PngError::None);
    // The fourth byte of a pixel word is no colour and never reaches the file.
    g.row(3)[4] |= 0xAB000000u;
    std::string bytes;
    ASSERT_TRUE(encodePng(g.view(), bytes));
    Surface back;
    ASSERT_EQ(load(back, bytes), PngError::None);
    EXPECT_EQ(back.alphaMode(), AlphaMode::Alpha);
    g.row(3)[4] &= 0xFFFFFFu;
    for (int32_t y = 0; y < 30; ++y) ASSERT_EQ(rowOf(back, y), rowOf(g, y));
    for (int32_t y = 0; y < 30; ++y) ASSERT_EQ(maskOf(back, y), maskOf(g, y));
    g.setAlphaMode(AlphaMode::None);
    ASSERT_TRUE(encodePng(g.view(), bytes));
    ASSERT_EQ(load(back, bytes), PngError::None);
    EXPECT_EQ(back.alphaMode(), AlphaMode::None);
    for (int32_t y = 0; y < 30; ++y) ASSERT_EQ(rowOf(back, y), rowOf(g, y));
    back.setSize(0, 0);
    EXPECT_FALSE(encodePng(back.view(), bytes));
    EXPECT_EQ(load(g, "BM not a png at all"), PngError::NotPng);
}

}  // namespace
}  // namespace zarvo

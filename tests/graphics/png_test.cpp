#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>
#include <zlib.h>

#include <csetjmp>
#include <optional>
#include <vector>

#include "data/package.hpp"
#include "graphics/las_graphic.hpp"
#include "support/temp_dir.hpp"

namespace zarvo {
namespace {

// A PNG written by libpng from raw rows in the file's own layout.
struct PngSpec {
    uint32_t width = 1, height = 1;
    int depth = 8, type = PNG_COLOR_TYPE_RGB;
    bool interlaced = false;
    std::vector<png_color> palette;
    std::vector<uint8_t> paletteAlpha;
    std::optional<png_color_16> keyColour;
    std::vector<std::vector<uint8_t>> rows;
};

PngSpec pngSpec(uint32_t width, uint32_t height, int depth, int type) {
    PngSpec spec;
    spec.width = width;
    spec.height = height;
    spec.depth = depth;
    spec.type = type;
    return spec;
}

void appendBytes(png_structp png, png_bytep data, size_t n) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), n);
}

bool encode(png_structp png, png_infop info, const PngSpec& spec) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, spec.width, spec.height, spec.depth, spec.type,
                 spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!spec.palette.empty())
        png_set_PLTE(png, info, spec.palette.data(), static_cast<int>(spec.palette.size()));
    if (!spec.paletteAlpha.empty())
        png_set_tRNS(png, info, spec.paletteAlpha.data(),
                     static_cast<int>(spec.paletteAlpha.size()), nullptr);
    if (spec.keyColour) png_set_tRNS(png, info, nullptr, 0, &*spec.keyColour);
    png_write_info(png, info);
    std::vector<png_bytep> rows;
    for (const auto& r : spec.rows) rows.push_back(const_cast<png_bytep>(r.data()));
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    return true;
}

std::string makePng(const PngSpec& spec) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, appendBytes, nullptr);
    const bool ok = encode(png, info, spec);
    png_destroy_write_struct(&png, &info);
    EXPECT_TRUE(ok);
    return out;
}

// An 8-bit RGBA picture from 0xAARRGGBB words.
std::string rgbaPng(uint32_t w, uint32_t h, const std::vector<uint32_t>& argb) {
    PngSpec spec = pngSpec(w, h, 8, PNG_COLOR_TYPE_RGB_ALPHA);
    for (uint32_t y = 0; y < h; ++y) {
        std::vector<uint8_t> row;
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t p = argb[y * w + x];
            row.insert(row.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), uint8_t(p >> 24)});
        }
        spec.rows.push_back(row);
    }
    return makePng(spec);
}

std::vector<uint32_t> rowOf(const TLasGraphic& g, int32_t y) {
    return {g.row(y), g.row(y) + g.Width()};
}
std::vector<uint8_t> maskRowOf(const TLasGraphic& g, int32_t y) {
    return {g.maskRow(y), g.maskRow(y) + g.Width()};
}

// A surface with content of its own, to see that a failed load leaves it alone.
TLasGraphic previousPicture() {
    TLasGraphic g;
    g.SetAlphaMode(AlphaMode::Mask);
    g.SetSize(5, 4);
    g.FillRect(1, 1, 2, 2, 0x123456);
    g.maskRow(0)[0] = 0;
    return g;
}

void expectUnchanged(const TLasGraphic& g) {
    const TLasGraphic before = previousPicture();
    ASSERT_EQ(g.Width(), 5);
    ASSERT_EQ(g.Height(), 4);
    EXPECT_EQ(g.alphaMode(), AlphaMode::Mask);
    for (int32_t y = 0; y < 4; ++y) {
        EXPECT_EQ(rowOf(g, y), rowOf(before, y));
        EXPECT_EQ(maskRowOf(g, y), maskRowOf(before, y));
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

TEST(PngModes, PaletteWithoutTransparencyIsOpaque) {
    PngSpec spec = pngSpec(4, 1, 8, PNG_COLOR_TYPE_PALETTE);
    spec.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {1, 2, 3}};
    spec.rows = {{0, 1, 2, 3}};
    TLasGraphic g = previousPicture();
    ASSERT_TRUE(g.LoadPngFromMemory(makePng(spec)));
    EXPECT_EQ(g.alphaMode(), AlphaMode::None);  // even over a surface that had a mask
    EXPECT_EQ(rowOf(g, 0), (std::vector<uint32_t>{0xFF0000, 0x00FF00, 0x0000FF, 0x010203}));
    EXPECT_EQ(g.GetPixel(0, 0), 0x0000FFu);  // platform red
}

TEST(PngModes, TransparencyChunksGiveMaskMode) {
    PngSpec palette = pngSpec(3, 1, 4, PNG_COLOR_TYPE_PALETTE);
    palette.palette = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}};
    palette.paletteAlpha = {0, 255};  // entry 2 has no alpha: opaque
    palette.rows = {{0x01, 0x20}};    // 4-bit indices 0, 1, 2
    TLasGraphic g;
    ASSERT_TRUE(g.LoadPngFromMemory(makePng(palette)));
    EXPECT_EQ(g.alphaMode(), AlphaMode::Mask);
    EXPECT_EQ(maskRowOf(g, 0), (std::vector<uint8_t>{0, 255, 255}));
    EXPECT_EQ(rowOf(g, 0), (std::vector<uint32_t>{0x0A141E, 0x28323C, 0x46505A}));

    PngSpec rgb = pngSpec(2, 1, 8, PNG_COLOR_TYPE_RGB);
    rgb.keyColour = png_color_16{0, 9, 8, 7, 0};
    rgb.rows = {{9, 8, 7, 9, 8, 6}};
    ASSERT_TRUE(g.LoadPngFromMemory(makePng(rgb)));
    EXPECT_EQ(g.alphaMode(), AlphaMode::Mask);
    EXPECT_EQ(maskRowOf(g, 0), (std::vector<uint8_t>{0, 255}));
    EXPECT_EQ(rowOf(g, 0), (std::vector<uint32_t>{0x090807, 0x090806}));

    PngSpec grey = pngSpec(3, 1, 8, PNG_COLOR_TYPE_GRAY);
    grey.keyColour = png_color_16{0, 0, 0, 0, 0x40};
    grey.rows = {{0x40, 0x41, 0}};
    ASSERT_TRUE(g.LoadPngFromMemory(makePng(grey)));
    EXPECT_EQ(g.alphaMode(), AlphaMode::Mask);
    EXPECT_EQ(maskRowOf(g, 0), (std::vector<uint8_t>{0, 255, 255}));
}

TEST(PngModes, AlphaChannelKeepsItsFullRange) {
    TLasGraphic g;
    ASSERT_TRUE(g.LoadPngFromMemory(
        rgbaPng(5, 1, {0x00112233, 0x01FF0000, 0x80123456, 0xFE00FF00, 0xFF0000FF})));
    EXPECT_EQ(g.alphaMode(), AlphaMode::Alpha);
    EXPECT_EQ(maskRowOf(g, 0), (std::vector<uint8_t>{0, 1, 0x80, 0xFE, 0xFF}));
    // The alpha leaves the pixel word: only the colour stays.
    EXPECT_EQ(rowOf(g, 0),
              (std::vector<uint32_t>{0x112233, 0xFF0000, 0x123456, 0x00FF00, 0x0000FF}));
}

TEST(PngModes, SixteenBitAndGreyPicturesAreConvertedNotGarbled) {
    TLasGraphic g;
    PngSpec rgb16 = pngSpec(2, 1, 16, PNG_COLOR_TYPE_RGB);
    rgb16.rows = {{0xAB, 0x12, 0x00, 0xFF, 0x7F, 0x80, 0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00}};
    ASSERT_TRUE(g.LoadPngFromMemory(makePng(rgb16)));
    EXPECT_EQ(g.alphaMode(), AlphaMode::None);
    EXPECT_EQ(rowOf(g, 0), (std::vector<uint32_t>{0xAB007F, 0xFF0001}));

    PngSpec rgba16 = pngSpec(1, 1, 16, PNG_COLOR_TYPE_RGB_ALPHA);
    rgba16.rows = {{0x10, 0, 0x20, 0, 0x30, 0, 0x80, 0x55}};
    ASSERT_TRUE(g.LoadPngFromMemory(makePng(rgba16)));
    EXPECT_EQ(g.alphaMode(), AlphaMode::Alpha);
    EXPECT_EQ(g.row(0)[0], 0x102030u);
    EXPECT_EQ(g.maskRow(0)[0], 0x80);

    PngSpec grey = pngSpec(3, 1, 8, PNG_COLOR_TYPE_GRAY);
    grey.rows = {{0x00, 0x7F, 0xFF}};
    ASSERT_TRUE(g.LoadPngFromMemory(makePng(grey)));
    EXPECT_EQ(g.alphaMode(), AlphaMode::None);
    EXPECT_EQ(rowOf(g, 0), (std::vector<uint32_t>{0x000000, 0x7F7F7F, 0xFFFFFF}));

    PngSpec bits = pngSpec(10, 1, 1, PNG_COLOR_TYPE_GRAY);
    bits.rows = {{0b10100000, 0b01000000}};
    ASSERT_TRUE(g.LoadPngFromMemory(makePng(bits)));
    EXPECT_EQ(g.Width(), 10);
    EXPECT_EQ(g.row(0)[0], 0xFFFFFFu);
    EXPECT_EQ(g.row(0)[1], 0u);
    EXPECT_EQ(g.row(0)[9], 0xFFFFFFu);

    PngSpec greyAlpha = pngSpec(2, 1, 8, PNG_COLOR_TYPE_GRAY_ALPHA);
    greyAlpha.rows = {{0x33, 0x00, 0xCC, 0x99}};
    ASSERT_TRUE(g.LoadPngFromMemory(makePng(greyAlpha)));
    EXPECT_EQ(g.alphaMode(), AlphaMode::Alpha);
    EXPECT_EQ(rowOf(g, 0), (std::vector<uint32_t>{0x333333, 0xCCCCCC}));
    EXPECT_EQ(maskRowOf(g, 0), (std::vector<uint8_t>{0x00, 0x99}));

    PngSpec greyAlpha16 = pngSpec(1, 1, 16, PNG_COLOR_TYPE_GRAY_ALPHA);
    greyAlpha16.rows = {{0xEE, 0x01, 0x42, 0xFF}};
    ASSERT_TRUE(g.LoadPngFromMemory(makePng(greyAlpha16)));
    EXPECT_EQ(g.row(0)[0], 0xEEEEEEu);
    EXPECT_EQ(g.maskRow(0)[0], 0x42);
}

TEST(PngModes, InterlacedPicturesDecodeLikePlainOnes) {
    PngSpec spec = pngSpec(13, 11, 8, PNG_COLOR_TYPE_RGB);
    for (uint32_t y = 0; y < spec.height; ++y) {
        std::vector<uint8_t> row;
        for (uint32_t x = 0; x < spec.width; ++x)
            row.insert(row.end(), {uint8_t(x * 19), uint8_t(y * 23), uint8_t(x ^ y)});
        spec.rows.push_back(row);
    }
    TLasGraphic plain, interlaced;
    ASSERT_TRUE(plain.LoadPngFromMemory(makePng(spec)));
    spec.interlaced = true;
    ASSERT_TRUE(interlaced.LoadPngFromMemory(makePng(spec)));
    for (int32_t y = 0; y < 11; ++y) EXPECT_EQ(rowOf(plain, y), rowOf(interlaced, y));
    EXPECT_EQ(plain.row(10)[12], (uint32_t(12 * 19) << 16) | (uint32_t(10 * 23) << 8) | (12 ^ 10));
}

TEST(PngDamage, TruncatedFilesFailAndLeaveTheSurfaceAlone) {
    std::vector<uint32_t> pixels(6 * 5);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = 0x80000000u | uint32_t(i * 0x050301);
    const std::string png = rgbaPng(6, 5, pixels);
    for (size_t len = 0; len < png.size(); ++len) {
        TLasGraphic g = previousPicture();
        ASSERT_FALSE(g.LoadPngFromMemory(std::string_view(png).substr(0, len))) << len;
        expectUnchanged(g);
    }
    TLasGraphic g = previousPicture();
    EXPECT_FALSE(g.LoadPngFromMemory("not a picture at all"));
    expectUnchanged(g);
}

TEST(PngDamage, AnyDamagedByteFailsCleanlyOrStillGivesAWholePicture) {
    std::vector<uint32_t> pixels(7 * 6);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint32_t(i * 0x01030507);
    const std::string png = rgbaPng(7, 6, pixels);
    for (size_t at = 0; at < png.size(); ++at)
        for (uint8_t flip : {0x01, 0x80, 0xFF}) {
            std::string bad = png;
            bad[at] = static_cast<char>(bad[at] ^ flip);
            TLasGraphic g = previousPicture();
            if (g.LoadPngFromMemory(bad)) {
                ASSERT_GT(int64_t{g.Width()} * g.Height(), 0);
                ASSERT_EQ(g.alphaMode(), AlphaMode::Alpha);
                (void)g.maskRow(g.Height() - 1)[g.Width() - 1];
            } else {
                expectUnchanged(g);
            }
        }
}

TEST(PngDamage, AbsurdSizesAreRefusedBeforeDecoding) {
    PngSpec wide = pngSpec(16385, 1, 1, PNG_COLOR_TYPE_GRAY);
    wide.rows = {std::vector<uint8_t>(16385 / 8 + 1)};
    TLasGraphic g = previousPicture();
    EXPECT_FALSE(g.LoadPngFromMemory(makePng(wide)));
    expectUnchanged(g);

    PngSpec edge = pngSpec(16384, 2, 1, PNG_COLOR_TYPE_GRAY);
    edge.rows = {std::vector<uint8_t>(2048, 0xFF), std::vector<uint8_t>(2048, 0)};
    const std::string edgePng = makePng(edge);
    ASSERT_TRUE(g.LoadPngFromMemory(edgePng));
    EXPECT_EQ(g.Width(), 16384);
    EXPECT_EQ(g.row(1)[16383], 0u);

    for (auto [w, h] : {std::pair<uint32_t, uint32_t>{100000, 100000}, {0x7FFFFFFF, 1}, {0, 5}}) {
        TLasGraphic h2 = previousPicture();
        EXPECT_FALSE(h2.LoadPngFromMemory(withHeaderSize(edgePng, w, h))) << w << "x" << h;
        expectUnchanged(h2);
    }
}

TEST(PngFiles, OnlyDotPngFilesAreReadWhateverTheirLetterCase) {
    test::TempDir dir;
    const std::string png = rgbaPng(1, 1, {0xFF010203});
    test::writeFile(dir.file("a.PNG"), png);
    test::writeFile(dir.file("b.bmp"), png);
    ::mkdir(dir.file("folder.png").c_str(), 0755);
    TLasGraphic g = previousPicture();
    EXPECT_FALSE(g.LoadPngFile(dir.file("b.bmp")));
    EXPECT_FALSE(g.LoadPngFile(dir.file("missing.png")));
    EXPECT_FALSE(g.LoadPngFile(dir.file("folder.png")));
    EXPECT_FALSE(g.LoadPngFile(""));
    expectUnchanged(g);
    ASSERT_TRUE(g.LoadPngFile(dir.file("a.PNG")));
    EXPECT_EQ(g.row(0)[0], 0x010203u);
}

TEST(PngFiles, PackageEntriesAreReadThroughTheEntryReader) {
    test::TempDir dir;
    std::vector<uint32_t> pixels(40 * 30);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint32_t(i * 2654435761u);
    const std::string png = rgbaPng(40, 30, pixels);
    const std::string path = dir.file("story.pak");
    {
        PackageWriter w;
        SetMagic(w, "QZ7SAVE");
        ASSERT_TRUE(CreatePackage(w, path));
        w.compressed = true;
        ASSERT_TRUE(WriteStreamEntry(w, png, "pic.png"));
        ASSERT_TRUE(WriteStreamEntry(w, png.substr(0, png.size() / 2), "cut.png"));
        ASSERT_TRUE(FinishPackage(w));
    }
    PackageReader reader;
    ASSERT_TRUE(OpenPackage(path, reader));
    TLasGraphic fromPackage, fromMemory;
    ASSERT_TRUE(fromPackage.LoadPngFromPackage("pic.png", reader));
    ASSERT_TRUE(fromMemory.LoadPngFromMemory(png));
    for (int32_t y = 0; y < 30; ++y) {
        EXPECT_EQ(rowOf(fromPackage, y), rowOf(fromMemory, y));
        EXPECT_EQ(maskRowOf(fromPackage, y), maskRowOf(fromMemory, y));
    }
    TLasGraphic g = previousPicture();
    EXPECT_FALSE(g.LoadPngFromPackage("cut.png", reader));
    EXPECT_FALSE(g.LoadPngFromPackage("absent.png", reader));
    expectUnchanged(g);
}

TEST(PngFiles, SavedPicturesReadBackAsOpaqueRgb) {
    test::TempDir dir;
    TLasGraphic g;
    g.SetAlphaMode(AlphaMode::Alpha);
    g.SetSize(33, 17);
    for (int32_t y = 0; y < 17; ++y)
        for (int32_t x = 0; x < 33; ++x) g.row(y)[x] = uint32_t(x * 0x070503 + y * 0x0B0D11) & 0xFFFFFFu;
    g.row(3)[4] |= 0xAB000000u;  // not colour: not saved
    const std::string path = dir.file("shot.png");
    test::writeFile(path, "old content");
    ASSERT_TRUE(g.SavePngFile(path));
    TLasGraphic back;
    ASSERT_TRUE(back.LoadPngFile(path));
    EXPECT_EQ(back.alphaMode(), AlphaMode::None);
    ASSERT_EQ(back.Width(), 33);
    g.row(3)[4] &= 0xFFFFFFu;
    for (int32_t y = 0; y < 17; ++y) EXPECT_EQ(rowOf(back, y), rowOf(g, y));

    EXPECT_FALSE(g.SavePngFile(dir.file("no/such/folder/x.png")));
    TLasGraphic empty;
    empty.SetSize(0, 0);
    EXPECT_FALSE(empty.SavePngFile(path));
    EXPECT_TRUE(back.LoadPngFile(path));  // the earlier file is still whole
}

}  // namespace
}  // namespace zarvo

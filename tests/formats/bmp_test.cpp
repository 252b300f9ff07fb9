#include "formats/bmp.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <initializer_list>
#include <vector>

#include "support/temp_dir.hpp"

namespace zarvo {
namespace {

using Pixels = std::vector<uint32_t>;

std::string bytes(std::initializer_list<int> list) {
    std::string s;
    for (int v : list) s += char(v);
    return s;
}
// n little-endian bytes of v.
void put(std::string& s, uint32_t v, int n) {
    for (; n > 0; --n, v >>= 8) s += char(v & 255);
}
// Rows in file order, each padded to 4 bytes.
std::string rows(std::initializer_list<std::string> list) {
    std::string s;
    for (const std::string& r : list) s += r + std::string((4 - r.size() % 4) % 4, '\0');
    return s;
}

// A BMP file written field by field, so that each test can damage exactly one thing.
struct Bmp {
    uint32_t headerSize = 40;
    int32_t width = 1, height = 1;
    uint16_t bits = 24;
    uint32_t compression = 0, clrUsed = 0, sizeImage = 0;
    Pixels palette{};  // 0x00RRGGBB
    Pixels masks{};    // right after the first 40 header bytes, inside or after the header
    std::string data{};
    int64_t offBits = -1;  // -1: right after the colour table

    std::string build() const {
        std::string h;
        put(h, headerSize, 4);
        if (headerSize == 12) {
            for (uint32_t v : {uint32_t(width), uint32_t(height), 1u, uint32_t(bits)}) put(h, v, 2);
        } else {
            put(h, width, 4), put(h, height, 4), put(h, 1, 2), put(h, bits, 2);
            for (uint32_t v : {compression, sizeImage, 0u, 0u, clrUsed, 0u}) put(h, v, 4);
            for (uint32_t m : masks) put(h, m, 4);
            if (h.size() < headerSize) h.resize(headerSize, '\0');
        }
        for (uint32_t c : palette) put(h, c, headerSize == 12 ? 3 : 4);
        std::string f = "BM";
        put(f, uint32_t(14 + h.size() + data.size()), 4), put(f, 0, 4);
        put(f, offBits >= 0 ? uint32_t(offBits) : uint32_t(14 + h.size()), 4);
        return f + h + data;
    }
};

Picture decoded(const Bmp& bmp) {
    Picture p;
    std::string error;
    EXPECT_TRUE(decodeBmp(bmp.build(), p, &error)) << error;
    return p;
}

TEST(BmpDecode, ColourTableFormatsMapIndexesAndRows) {
    const Pixels pal = {0x102030, 0xFFFFFF, 0xAA0000, 0x00BB00};
    // 1 bit, 10 wide across a byte boundary; the first file row is the bottom one.
    Bmp b{.width = 10, .height = 2, .bits = 1, .palette = {0, 0xFFFFFF}};
    b.data = rows({bytes({0x80, 0x40}), bytes({0x01, 0x80})});
    Picture p = decoded(b);
    Pixels want(20, 0);
    want[7] = want[8] = want[10] = want[19] = 0xFFFFFF;
    EXPECT_EQ(p.pixels, want);

    // 4 bits, odd width; clrUsed 4 leaves indexes 4..15 black.
    b = {.width = 3, .bits = 4, .clrUsed = 4, .palette = pal, .data = rows({bytes({0x31, 0x5F})})};
    EXPECT_EQ(decoded(b).pixels, (Pixels{0x00BB00, 0xFFFFFF, 0}));

    // 8 bits; an index past the table gives black, not a read past it.
    b = {.width = 3, .bits = 8, .clrUsed = 2, .palette = {0x111111, 0x222222}};
    b.data = rows({bytes({1, 0, 200})});
    EXPECT_EQ(decoded(b).pixels, (Pixels{0x222222, 0x111111, 0}));

    // Core header: 3-byte table entries, always 2^bits of them.
    b = {.headerSize = 12, .width = 2, .bits = 4, .palette = Pixels(16, 0x0000FF)};
    b.palette[3] = 0xABCDEF;
    b.data = rows({bytes({0x30})});
    EXPECT_EQ(decoded(b).pixels, (Pixels{0xABCDEF, 0x0000FF}));

    // A table cut short by the pixel offset: the entries it would overlap are black.
    b = {.width = 2, .bits = 8, .palette = {0x111111, 0x222222}, .data = rows({bytes({1, 2})})};
    EXPECT_EQ(decoded(b).pixels, (Pixels{0x222222, 0}));
}

TEST(BmpDecode, MaskedFormatsWidenEachChannel) {
    // 16 bits without masks is 5-5-5.
    Bmp b{.width = 3, .bits = 16, .data = rows({bytes({0xFF, 0x7F, 0x00, 0x7C, 0x01, 0x00})})};
    EXPECT_EQ(decoded(b).pixels, (Pixels{0xFFFFFF, 0xFF0000, 0x000008}));

    // 5-6-5 masks after a 40-byte header and inside a 124-byte one.
    for (uint32_t hs : {40u, 108u, 124u}) {
        b = {.headerSize = hs, .width = 2, .bits = 16, .compression = 3};
        b.masks = {0xF800, 0x07E0, 0x001F};
        b.data = rows({bytes({0x20, 0x00, 0x1F, 0xF8})});
        EXPECT_EQ(decoded(b).pixels, (Pixels{0x000400, 0xFF00FF})) << hs;
    }

    // 32 bits without masks ignores the top byte.
    b = {.width = 2, .bits = 32, .data = bytes({1, 2, 3, 0xFF, 4, 5, 6, 0x80})};
    EXPECT_EQ(decoded(b).pixels, (Pixels{0x030201, 0x060504}));

    // 32-bit masks: red-green-blue-unused bytes, and 2-10-10-10 with 10-bit channels.
    b = {.width = 2, .bits = 32, .compression = 3, .masks = {0xFF000000, 0xFF0000, 0xFF00}};
    b.data = bytes({0x77, 3, 2, 1, 0, 0, 0, 0xFF});
    EXPECT_EQ(decoded(b).pixels, (Pixels{0x010203, 0xFF0000}));
    b.masks = {0x3FF00000, 0x000FFC00, 0x000003FF};
    b.data.clear();
    put(b.data, 0x3FF00000 | 0x200 << 10 | 0x004, 4), put(b.data, 0xC00003FF, 4);
    EXPECT_EQ(decoded(b).pixels, (Pixels{0xFF8001, 0x0000FF}));
}

TEST(BmpDecode, TwentyFourBitRowsPaddingAndDirection) {
    Bmp b{.width = 3, .height = 2};
    const std::string bottom = bytes({1, 2, 3, 4, 5, 6, 7, 8, 9});
    const std::string top = bytes({10, 11, 12, 13, 14, 15, 16, 17, 18});
    b.data = rows({bottom, top});
    const Pixels want = {0x0C0B0A, 0x0F0E0D, 0x121110, 0x030201, 0x060504, 0x090807};
    EXPECT_EQ(decoded(b).pixels, want);
    b.height = -2;
    b.data = rows({top, bottom});
    EXPECT_EQ(decoded(b).pixels, want);
    b.data.resize(b.data.size() - 3);  // the last row may lack its padding
    EXPECT_EQ(decoded(b).pixels, want);
}

TEST(BmpDecode, RunLengthEscapes) {
    // 6 x 4, bottom row first: run, literal run with padding, end of line, move, end of image.
    // Pixels the escapes skip keep colour index 0, which need not be black.
    const uint32_t c0 = 0x0000AA;
    Bmp b{.width = 6, .height = 4, .bits = 8, .compression = 1};
    b.palette = {c0, 0x111111, 0x222222, 0x333333, 0x444444};
    b.data = bytes({3, 1, 0, 3, 2, 3, 4, 0, 0, 0,  // row 0: 1 1 1 2 3 4
                    9, 2,                          // row 1: run past the row end is clipped
                    0, 2, 1, 1, 1, 3,              // move to row 2, x 7: off the row, dropped
                    0, 0, 0, 2, 2, 0, 2, 4, 0, 1,  // row 3 from x 2, then end of image
                    5, 1});                        // after the end: ignored
    Pixels want(24, c0);
    for (int x = 0; x < 6; ++x) want[18 + x] = x < 3 ? 0x111111 : 0x111111 * (x - 1);
    for (int x = 0; x < 6; ++x) want[12 + x] = 0x222222;
    want[2] = want[3] = 0x444444;
    EXPECT_EQ(decoded(b).pixels, want);

    // RLE4 alternates the two halves of a run byte; literal runs of nibbles pad to 2 bytes.
    b = {.width = 5, .height = 2, .bits = 4, .compression = 2, .palette = b.palette};
    b.data = bytes({5, 0x12, 0, 0, 0, 2, 1, 0, 0, 3, 0x43, 0x21, 0, 1});
    EXPECT_EQ(decoded(b).pixels, (Pixels{c0, 0x444444, 0x333333, 0x222222, c0,  //
                                         0x111111, 0x222222, 0x111111, 0x222222, 0x111111}));
}

TEST(BmpDecode, DamagedRunLengthDataKeepsWhatWasDecoded) {
    Bmp b{.width = 4, .height = 2, .bits = 8, .compression = 1, .palette = {0, 0xFFFFFF}};
    const Pixels lit = {0, 0, 0, 0, 0xFFFFFF, 0xFFFFFF, 0, 0};
    for (std::string cut : {bytes({2, 1, 0}), bytes({2, 1, 0, 2, 3}), bytes({2, 1, 0, 9, 0, 0}),
                            bytes({2, 1, 0, 2, 0, 200, 200, 1}), bytes({2, 1, 0, 0, 0, 0, 0})}) {
        b.data = cut;  // stops early, moves off the image, or runs past the last row
        EXPECT_EQ(decoded(b).pixels, lit);
    }
    b.sizeImage = 2;  // the declared size ends the data before the image's end
    b.data = bytes({2, 1, 0, 0, 2, 1});
    EXPECT_EQ(decoded(b).pixels, lit);
    b.data = bytes({0, 4, 1, 1, 1});  // a literal run cut inside its bytes
    b.sizeImage = 0;
    EXPECT_EQ(decoded(b).pixels, (Pixels{0, 0, 0, 0, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0}));
}

TEST(BmpDecode, RejectsDamagedImagesCleanly) {
    const Bmp good{.width = 2, .height = 2, .data = rows({std::string(6, 1), std::string(6, 2)})};
    auto mutate = [&](auto change) {
        Bmp b = good;
        change(b);
        return b.build();
    };
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"short", good.build().substr(0, 20)},
        {"magic", "BA" + good.build().substr(2)},
        {"header size", mutate([](Bmp& b) { b.headerSize = 64; })},
        {"no width", mutate([](Bmp& b) { b.width = 0; })},
        {"negative width", mutate([](Bmp& b) { b.width = -2; })},
        {"no height", mutate([](Bmp& b) { b.height = 0; })},
        {"INT32_MIN height", mutate([](Bmp& b) { b.height = INT32_MIN; })},
        {"too wide", mutate([](Bmp& b) { b.width = 16385; })},
        {"over 256 MB", mutate([](Bmp& b) { b.width = 16384, b.height = 4097; })},
        {"too many pixels", mutate([](Bmp& b) { b.width = b.height = 20000; })},
        {"bit count", mutate([](Bmp& b) { b.bits = 2; })},
        {"core 32 bits", mutate([](Bmp& b) { b.headerSize = 12, b.bits = 32; })},
        {"jpeg", mutate([](Bmp& b) { b.compression = 4; })},
        {"rle8 at 4 bits", mutate([](Bmp& b) { b.bits = 4, b.compression = 1; })},
        {"top-down rle", mutate([](Bmp& b) { b.bits = 8, b.compression = 1, b.height = -2; })},
        {"masks at 24 bits", mutate([](Bmp& b) { b.compression = 3; })},
        {"masks missing", mutate([](Bmp& b) { b.bits = 16, b.compression = 3, b.data = ""; })},
        {"offset past end", mutate([](Bmp& b) { b.offBits = 1000; })},
        {"offset in header", mutate([](Bmp& b) { b.offBits = 20; })},
        {"rows missing", mutate([](Bmp& b) { b.data.resize(9); })},
        {"huge table", mutate([](Bmp& b) { b.clrUsed = 0xFFFFFFFF, b.offBits = 0; })},
    };
    for (const auto& [name, file] : cases) {
        Picture p{.width = 7, .height = 1, .pixels = {42}};
        std::string error;
        EXPECT_FALSE(decodeBmp(file, p, &error)) << name;
        EXPECT_FALSE(error.empty()) << name;
        EXPECT_EQ(p.width, 7) << name;
        EXPECT_EQ(p.pixels, Pixels{42}) << name;
    }
    Picture p;
    EXPECT_TRUE(decodeBmp(good.build(), p));
}

TEST(BmpEncode, RoundTripThroughFileAndHeaders) {
    Picture pic;
    pic.width = 5;
    pic.height = 3;
    for (uint32_t i = 0; i < 15; ++i) pic.pixels.push_back(0xFF000000 | i * 0x0A0B0C);
    const std::string file = encodeBmp(pic);
    BmpInfo info;
    ASSERT_TRUE(readBmpInfo(file, info));
    EXPECT_EQ(info.bitCount, 24);
    EXPECT_FALSE(info.topDown);
    EXPECT_EQ(file.size(), 54u + 16 * 3);     // 15 bytes a row padded to 16
    EXPECT_EQ(uint8_t(file[54]), 10 * 0x0C);  // bottom row first, blue first

    Picture back;
    ASSERT_TRUE(decodeBmp(file, back));
    for (uint32_t& px : pic.pixels) px &= 0xFFFFFF;
    EXPECT_EQ(back.width, 5);
    EXPECT_EQ(back.pixels, pic.pixels);

    // Every row length modulo 4, in pixels and bytes, through a picture that held more before.
    for (int32_t w = 1; w <= 9; ++w) {
        Picture p;
        p.width = w;
        p.height = 2;
        for (int32_t i = 0; i < 2 * w; ++i)
            p.pixels.push_back(uint32_t(i + 1) * 0x1F2F3Fu & 0xFFFFFF);
        ASSERT_TRUE(decodeBmp(encodeBmp(p), back)) << w;
        EXPECT_EQ(back.pixels, p.pixels) << w;
    }

    EXPECT_EQ(encodeBmp(Picture{}), "");
    EXPECT_EQ(encodeBmp(Picture{.width = 2, .height = 2, .pixels = {1, 2, 3}}), "");
}

}  // namespace
}  // namespace zarvo

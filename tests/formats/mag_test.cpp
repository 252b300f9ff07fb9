#include <gtest/gtest.h>

#include <random>

#include "formats/bmp.hpp"
#include "formats/mag_decoder.hpp"
#include "graphics/surface.hpp"
#include "mag_encoder.hpp"
#include "support/story.hpp"
#include "support/temp_dir.hpp"

namespace zarvo {
namespace {

using test::encodeMag;
using test::MagEncoded;
using test::MagImage;

std::vector<uint32_t> somePalette(bool colors256) {
    std::vector<uint32_t> pal(colors256 ? 256 : 16);
    for (size_t i = 0; i < pal.size(); ++i)
        pal[i] = uint32_t((i * 37 + 11) & 255) << 16 | uint32_t((i * 91 + 5) & 255) << 8 |
                 uint32_t(255 - i * 13 % 256);
    return pal;
}

// Flat bands with noise: long runs, repeats from the lines above, and units that repeat
// nothing. `colours` limits the indices used (few colours make every kind of copy likely).
MagImage makeImage(bool colors256, int32_t width, int32_t height, uint32_t seed, int colours) {
    MagImage img;
    img.colors256 = colors256;
    img.width = width;
    img.height = height;
    img.palette = somePalette(colors256);
    std::mt19937 gen(seed);
    img.indices.resize(size_t(width) * size_t(height));
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            uint32_t v = uint32_t(x / 8 + y / 5);
            if (gen() % 4 == 0) v = gen();
            img.indices[size_t(y) * size_t(width) + size_t(x)] = uint8_t(v % uint32_t(colours));
        }
    return img;
}

std::vector<uint32_t> expectedPixels(const MagImage& img) {
    std::vector<uint32_t> px;
    for (uint8_t i : img.indices) px.push_back(img.palette[i]);
    return px;
}

Picture sentinel() {
    Picture p;
    p.width = 1;
    p.height = 1;
    p.pixels = {0xABCDEF};
    return p;
}

void expectDecodes(const MagImage& img, const MagEncoded& enc) {
    Picture pic;
    std::string error;
    ASSERT_TRUE(decodeMag(enc.bytes, pic, &error)) << error;
    EXPECT_EQ(pic.width, img.width);
    EXPECT_EQ(pic.height, img.height);
    EXPECT_EQ(pic.pixels, expectedPixels(img));
}

// The header bytes at offset `at` from the header's start.
void set16(std::string& s, size_t at, uint16_t v) {
    s[at] = char(v & 255);
    s[at + 1] = char(v >> 8);
}

// A file made byte by byte: 256 colours, one flag byte (two units) per line.
std::string handMade(uint16_t height, const std::string& flagA, const std::string& flagB,
                     const std::string& pixels) {
    std::string s = "MAKI02  TESThand made          ";
    s += char(0x1A);
    const size_t h = s.size();
    std::string header(32, '\0');
    header[3] = char(0x80);
    set16(header, 8, 3);  // end x: one unit of four pixels
    set16(header, 10, uint16_t(height - 1));
    s += header;
    for (int i = 0; i < 256; ++i) s += std::string{char(i), char(255 - i), char(i / 2)};
    const size_t fa = s.size() - h;
    s += flagA;
    const size_t fb = s.size() - h;
    s += flagB;
    const size_t px = s.size() - h;
    s += pixels;
    test::magSet32(s, h + 12, uint32_t(fa));
    test::magSet32(s, h + 16, uint32_t(fb));
    test::magSet32(s, h + 20, uint32_t(flagB.size()));
    test::magSet32(s, h + 24, uint32_t(px));
    test::magSet32(s, h + 28, uint32_t(pixels.size()));
    return s;
}
uint32_t handColour(uint8_t i) {  // handMade's palette, read as green, red, blue
    return uint32_t(255 - i) << 16 | uint32_t(i) << 8 | uint32_t(i / 2);
}

TEST(MagDecode, ReproducesEncodedPicturesOfBothDepths) {
    struct Case {
        bool colors256;
        int32_t width, height;
        int colours;
        uint32_t copySeed;
    };
    for (const Case c :
         {Case{true, 64, 40, 256, 0}, Case{true, 64, 40, 3, 7}, Case{true, 4, 50, 2, 3},
          Case{false, 64, 40, 16, 0}, Case{false, 48, 33, 2, 9}, Case{false, 8, 70, 3, 0}}) {
        SCOPED_TRACE(testing::Message() << c.colors256 << " " << c.width << "x" << c.height);
        MagImage img = makeImage(c.colors256, c.width, c.height, 42, c.colours);
        img.copySeed = c.copySeed;
        const MagEncoded enc = encodeMag(img);
        EXPECT_GT(enc.copies, 0u);
        expectDecodes(img, enc);
        // The same picture stored without a single copy.
        img.useCopies = false;
        expectDecodes(img, encodeMag(img));
    }
}

TEST(MagDecode, EveryCopyPositionIsTakenFromItsPlace) {
    for (bool colors256 : {true, false}) {
        MagImage img = makeImage(colors256, 96, 60, 5, 2);
        img.copySeed = 12345;
        img.flagAPadding = 3;
        const MagEncoded enc = encodeMag(img);
        for (int n = 1; n < 16; ++n) EXPECT_TRUE(enc.usedNibble[n]) << n;
        expectDecodes(img, enc);
    }
}

TEST(MagDecode, FlagLinesCarryOverFromTheLineAbove) {
    // Line 0 new pixels; line 1 sets both units to "one line up"; line 2 keeps that without
    // a flag B byte; line 3 flips the flags back to new pixels.
    const std::string flagA(1, char(0x50));  // bits: 0 1 0 1
    const std::string flagB = "\x44\x44";
    const std::string pixels = "\x01\x02\x03\x04\x09\x08\x07\x06";
    Picture pic;
    std::string error;
    ASSERT_TRUE(decodeMag(handMade(4, flagA, flagB, pixels), pic, &error)) << error;
    ASSERT_EQ(pic.width, 4);
    ASSERT_EQ(pic.height, 4);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(pic.pixels[size_t(y * 4 + x)], handColour(uint8_t(x + 1)));
    for (int x = 0; x < 4; ++x) EXPECT_EQ(pic.pixels[size_t(12 + x)], handColour(uint8_t(9 - x)));

    // A picture whose lines all repeat the first needs flag B bytes for line 1 only.
    MagImage img = makeImage(true, 32, 20, 1, 256);
    for (int32_t y = 1; y < img.height; ++y)
        std::copy_n(img.indices.begin(), img.width, img.indices.begin() + y * img.width);
    const MagEncoded enc = encodeMag(img);
    EXPECT_LE(enc.flagBSize, 2 * size_t(img.width / 4));
    expectDecodes(img, enc);
}

TEST(MagDecode, AreaIsWidenedToWholeUnits) {
    // 16 colours: start x 3 and end x 12 make columns 0 to 15.
    MagImage img = makeImage(false, 16, 5, 8, 16);
    img.startX = 3;
    img.endX = 12;
    MagEncoded enc = encodeMag(img);
    MagLayout layout;
    ASSERT_EQ(checkMagHeader(enc.bytes, layout), kMagGood);
    EXPECT_EQ(layout.left, 0);
    EXPECT_EQ(layout.width, 16);
    EXPECT_EQ(layout.stride, 8u);
    EXPECT_EQ(MagDecoder::bitmapSize(enc.bytes), 54u + 64u + 8u * 5u);
    expectDecodes(img, enc);

    // 256 colours: start x 5 and end x 6 make columns 4 to 7.
    img = makeImage(true, 4, 3, 8, 256);
    img.startX = 5;
    img.endX = 6;
    img.startY = 100;
    enc = encodeMag(img);
    ASSERT_EQ(checkMagHeader(enc.bytes, layout), kMagGood);
    EXPECT_EQ(layout.left, 4);
    EXPECT_EQ(layout.top, 100);
    EXPECT_EQ(layout.width, 4);
    EXPECT_EQ(MagDecoder::bitmapSize(enc.bytes), 54u + 1024u + 4u * 3u);
    expectDecodes(img, enc);
}

TEST(MagBmp, ImageHasTheDepthPaletteAndRowsOfThePicture) {
    for (bool colors256 : {true, false}) {
        SCOPED_TRACE(colors256);
        MagImage img = makeImage(colors256, 24 + (colors256 ? 0 : 8), 7, 3, colors256 ? 256 : 16);
        img.palette[0] = 0xF0F1F2;  // copied as is, not scaled
        img.indices[0] = 0;
        const MagEncoded enc = encodeMag(img);
        std::string bmp;
        ASSERT_EQ(MagDecoder::magToBmp(enc.bytes, bmp), 0);
        ASSERT_EQ(bmp.size(), MagDecoder::bitmapSize(enc.bytes));
        const auto* b = reinterpret_cast<const uint8_t*>(bmp.data());
        const uint32_t paletteBytes = colors256 ? 1024 : 64;
        EXPECT_EQ(bmp.substr(0, 2), "BM");
        EXPECT_EQ(b[10] | b[11] << 8, int(54 + paletteBytes));
        EXPECT_EQ(b[28], colors256 ? 8 : 4);
        EXPECT_EQ(b[22], 7);  // positive height: bottom-up
        EXPECT_EQ(b[54], 0xF2);
        EXPECT_EQ(b[55], 0xF1);
        EXPECT_EQ(b[56], 0xF0);
        EXPECT_EQ(b[57], 0);

        Picture viaBmp, direct;
        ASSERT_TRUE(decodeBmp(bmp, viaBmp));
        ASSERT_TRUE(decodeMag(enc.bytes, direct));
        EXPECT_EQ(viaBmp.pixels, direct.pixels);
        EXPECT_EQ(direct.pixels[0], 0xF0F1F2u);
    }
}

TEST(MagHeader, EachFaultHasItsResult) {
    const MagEncoded enc = encodeMag(makeImage(true, 16, 4, 2, 256));
    const std::string good = enc.bytes;
    const size_t h = enc.headerPos;
    MagLayout layout;
    ASSERT_EQ(checkMagHeader(good, layout), kMagGood);

    EXPECT_EQ(checkMagHeader(good.substr(0, h - 1), layout), kMagNoTextEnd);
    EXPECT_EQ(checkMagHeader(good.substr(0, h + 31), layout), kMagNoTextEnd);
    EXPECT_EQ(checkMagHeader("", layout), kMagNoTextEnd);

    std::string s = good;
    s[5] = '3';
    EXPECT_EQ(checkMagHeader(s, layout), kMagNotMag);

    s = good;
    s[h] = 1;  // header start byte
    EXPECT_EQ(checkMagHeader(s, layout), kMagBadHeader);
    s = good;
    set16(s, h + 6, 10);  // start y below end y
    EXPECT_EQ(checkMagHeader(s, layout), kMagBadHeader);
    s = good;
    set16(s, h + 4, 40);  // start x right of end x
    EXPECT_EQ(checkMagHeader(s, layout), kMagBadHeader);
    s = good;
    set16(s, h + 8, 65535);
    set16(s, h + 10, 65535);  // 4 G pixels
    EXPECT_EQ(checkMagHeader(s, layout), kMagBadHeader);

    // Only the text part and the header: incomplete, but big enough to size the image.
    const std::string head = good.substr(0, h + 32);
    EXPECT_EQ(checkMagHeader(head, layout), kMagIncomplete);
    EXPECT_EQ(MagDecoder::bitmapSize(head), 54u + 1024u + 16u * 4u);
    s = good;
    test::magSet32(s, h + 28, uint32_t(enc.pixelSize + 1));
    EXPECT_EQ(checkMagHeader(s, layout), kMagIncomplete);
    s = good;
    test::magSet32(s, h + 20, 0xFFFFFFFF);
    EXPECT_EQ(checkMagHeader(s, layout), kMagIncomplete);
    s = good;
    test::magSet32(s, h + 12, uint32_t(good.size() - h));  // flag A at the very end
    EXPECT_EQ(checkMagHeader(s, layout), kMagIncomplete);
    EXPECT_EQ(MagDecoder::bitmapSize(s), 54u + 1024u + 16u * 4u);
}

TEST(MagDecode, NarrowPictureNeedsOnlyItsOwnFlagBits) {
    // 16 colours, 8 pixels wide: two flag bits a line, 64 lines in 16 flag A bytes. The
    // picture ends well before one flag A byte per line would.
    MagImage img;
    img.colors256 = false;
    img.width = 8;
    img.height = 64;
    img.palette = somePalette(false);
    img.indices.assign(8 * 64, 5);
    const MagEncoded enc = encodeMag(img);
    EXPECT_LT(enc.bytes.size(), enc.flagAPos + 64);
    expectDecodes(img, enc);
}

TEST(MagDecode, DamagedStreamsFailWithoutTouchingThePicture) {
    MagImage img = makeImage(true, 32, 24, 4, 4);
    const MagEncoded enc = encodeMag(img);
    ASSERT_GT(enc.flagBSize, 0u);
    MagLayout layout;
    const size_t h = enc.headerPos;
    auto expectFails = [](const std::string& bytes, const char* what) {
        Picture pic = sentinel();
        std::string error;
        EXPECT_FALSE(decodeMag(bytes, pic, &error)) << what;
        EXPECT_FALSE(error.empty()) << what;
        EXPECT_EQ(pic.pixels, sentinel().pixels) << what;
        std::string bmp;
        EXPECT_EQ(MagDecoder::magToBmp(bytes, bmp), -1) << what;
    };
    std::string s = enc.bytes;
    test::magSet32(s, h + 20, uint32_t(enc.flagBSize - 1));
    expectFails(s, "flag B one byte short");
    s = enc.bytes;
    test::magSet32(s, h + 28, uint32_t(enc.pixelSize - 2));
    expectFails(s, "pixel data one unit short");
    s = enc.bytes;
    test::magSet32(s, h + 24, uint32_t(s.size() - h));  // pixel data of size 0 at the end
    test::magSet32(s, h + 28, 0);
    expectFails(s, "no pixel data");
    s = enc.bytes.substr(0, h + 32 + 500);
    for (size_t field : {12, 16, 20, 24, 28}) test::magSet32(s, h + field, 0);
    ASSERT_EQ(checkMagHeader(s, layout), kMagGood);
    expectFails(s, "cut inside the palette");

    // Copies from before the first line: one line up, and sixteen lines up on line 15.
    expectFails(handMade(1, std::string(1, char(0x80)), "\x40", "\x01\x02"), "one line up");
    std::string flagA(2, '\0');
    flagA[1] = 0x01;  // bit of line 15
    expectFails(handMade(16, flagA, "\xF0", std::string(64, '\x07')), "sixteen lines up");
    // Flat order reaches back through the line end: two bytes left of line 1's start is the
    // end of line 0.
    Picture pic;
    ASSERT_TRUE(decodeMag(
        handMade(2, std::string(1, char(0x40)), "\x10", "\x01\x02\x03\x04\x05\x06"), pic));
    EXPECT_EQ(pic.pixels[4], handColour(3));
    EXPECT_EQ(pic.pixels[5], handColour(4));
    EXPECT_EQ(pic.pixels[6], handColour(5));

    // Whatever the damage, the decoder stays inside its buffers (the sanitizer build checks).
    std::mt19937 gen(11);
    for (size_t cut = 0; cut < enc.bytes.size(); cut += 7) decodeMag(enc.bytes.substr(0, cut), pic);
    for (int i = 0; i < 2000; ++i) {
        s = enc.bytes;
        for (int k = 0; k < 3; ++k) s[h + gen() % (s.size() - h)] = char(gen());
        if (i % 3 == 0) s[h + 3] = char(s[h + 3] ^ 0x80);  // the other depth
        decodeMag(s, pic);
        std::string bmp;
        MagDecoder::magToBmp(s, bmp);
    }
}

TEST(MagDecoder, LoadTellsPicturesForeignFilesAndDamageApart) {
    MagImage img = makeImage(false, 40, 12, 6, 16);
    const MagEncoded enc = encodeMag(img);
    Picture pic;
    ASSERT_EQ(MagDecoder::loadMagBytes(enc.bytes, pic), MagLoad::Loaded);
    EXPECT_EQ(pic.pixels, expectedPixels(img));

    // Not MAG at all: other readers may try it; a MAG cut short is damaged. Neither touches `out`.
    for (const std::string& bytes : {std::string("BM not a mag file"), std::string()}) {
        pic = sentinel();
        EXPECT_EQ(MagDecoder::loadMagBytes(bytes, pic), MagLoad::NotMag) << bytes;
        EXPECT_EQ(pic.pixels, sentinel().pixels);
    }
    pic = sentinel();
    EXPECT_EQ(MagDecoder::loadMagBytes(enc.bytes.substr(0, enc.bytes.size() - 1), pic),
              MagLoad::Damaged);
    EXPECT_EQ(pic.pixels, sentinel().pixels);
}

// A story shows a MAG picture; a damaged one gets the warning before the load fails, a file
// that is no MAG picture goes on to the plug-ins without it.
TEST(MagStory, DamagedPicturesAreReportedForeignFilesAreNot) {
    MagImage img = makeImage(false, 40, 12, 6, 16);
    const MagEncoded enc = encodeMag(img);
    test::StoryBuilder s;
    test::writeFile(s.dir.file("good.MAG"), enc.bytes);
    test::writeFile(s.dir.file("cut.mag"), enc.bytes.substr(0, enc.bytes.size() - 1));
    test::writeFile(s.dir.file("other.mag"), "BM not a mag file");
    auto page = [](const char* file) {
        return std::string(
                   "<Book=\"スタートブック\">\n<Page=\"スタートページ\">\nGraphicDraw.FileName=") +
               file + "\n@GraphicDraw\n<Page End>\n<Book End>\n";
    };
    test::StoryRun r = s.run(s.writeScript(test::storyScript(page("good.mag"))));
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.shot.getPixel(0, 0), pixelToColor(expectedPixels(img)[0]));

    r = s.run(s.writeScript(test::storyScript(page("cut.mag"))));
    ASSERT_FALSE(r.boxes.empty());
    EXPECT_EQ(r.boxes[0], "box warning: Failed by MMAG_MagtoBmp");
    const size_t damaged = r.boxes.size();

    r = s.run(s.writeScript(test::storyScript(page("other.mag"))));
    EXPECT_EQ(r.boxes.size(), damaged - 1);
    for (const std::string& box : r.boxes) EXPECT_EQ(box.find("MMAG"), std::string::npos) << box;
}

}  // namespace
}  // namespace zarvo

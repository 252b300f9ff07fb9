#include "formats/image_plugin_host.hpp"

#include <gif_lib.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <turbojpeg.h>

#include <filesystem>
#include <utility>

#include "support/temp_dir.hpp"
#ifdef ZARVO_TEST_BUILTIN_DECODERS
#include "builtin_decoders.hpp"
#endif

namespace zarvo {
namespace {

namespace fs = std::filesystem;

// Every test plug-in reads this; at six bytes it is far shorter than the head they look at.
const std::string kTestPicture = "TSTPIC";

void addPlugIn(const test::TempDir& dir, const char* kind, const char* name) {
    fs::copy_file(std::string(ZARVO_TEST_PLUGIN_DIR) + "/" + kind + ".spi", dir.file(name));
}

std::string mask(const test::TempDir& dir) {
    return dir.path() + "/*.spi";
}

// What the test plug-ins give: 3 x 2, top row colours 0 1 2, bottom row 2 1 0.
std::vector<uint32_t> testPicture(uint32_t first) {
    return {first, 0x112233, 0x445566, 0x445566, 0x112233, first};
}

Picture sentinel() {
    Picture p;
    p.width = 1;
    p.height = 1;
    p.pixels = {0xABCDEF};
    return p;
}

TEST(PlugInHost, TriesPlugInsInNameOrderAndPassesOverFailures) {
    test::TempDir dir;
    addPlugIn(dir, "blue", "c_blue.spi");
    addPlugIn(dir, "red", "b_red.SPI");
    addPlugIn(dir, "fails", "a_fails.spi");  // claims everything it sees first, decodes nothing
    addPlugIn(dir, "blue", "a_blue.txt");
    ImagePluginHost host;
    ASSERT_EQ(host.openPlugIn(test::localFiles(), mask(dir)), 3);
    std::vector<std::pair<int, int>> progress;
    host.OnProgress = [&](int num, int denom) { progress.emplace_back(num, denom); };

    Picture pic;
    ASSERT_TRUE(host.loadFromStream(kTestPicture, pic));
    EXPECT_EQ(pic.width, 3);
    EXPECT_EQ(pic.height, 2);
    EXPECT_EQ(pic.pixels, testPicture(0xFF0000));
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{1, 2}}));

    test::TempDir other;
    addPlugIn(other, "red", "b_red.spi");
    addPlugIn(other, "blue", "A_BLUE.SPI");
    ImagePluginHost second;
    ASSERT_EQ(second.openPlugIn(test::localFiles(), mask(other)), 2);
    ASSERT_TRUE(second.loadFromMemory(kTestPicture.data(), kTestPicture.size(), pic));
    EXPECT_EQ(pic.pixels, testPicture(0x0000FF));

    // Data nobody claims.
    pic = sentinel();
    EXPECT_FALSE(second.loadFromStream("GIF89a", pic));
    EXPECT_FALSE(second.loadFromStream("", pic));
    EXPECT_FALSE(second.loadFromMemory(nullptr, 6, pic));
    EXPECT_EQ(pic.pixels, sentinel().pixels);
}

TEST(PlugInHost, SkipsWhatIsNoPictureReader) {
    test::TempDir dir;
    addPlugIn(dir, "archive", "archive.spi");  // another API version
    addPlugIn(dir, "noinfo", "noinfo.spi");
    addPlugIn(dir, "red", ".hidden.spi");
    addPlugIn(dir, "red", "red.spi.old");
    test::writeFile(dir.file("text.spi"), "not a shared object");
    fs::create_directory(dir.file("folder.spi"));
    ImagePluginHost host;
    EXPECT_EQ(host.openPlugIn(test::localFiles(), mask(dir)), 0);
    EXPECT_EQ(host.getPlugNum(), 0);
    Picture pic;
    EXPECT_FALSE(host.loadFromStream(kTestPicture, pic));

    addPlugIn(dir, "red", "red.spi");
    EXPECT_EQ(host.openPlugIn(test::localFiles(), mask(dir)), 1);
    EXPECT_TRUE(host.loadFromStream(kTestPicture, pic));
    EXPECT_EQ(host.openPlugIn(test::localFiles(), dir.path() + "/missing/*.spi"), 0);
}

TEST(PlugInHost, LoadsEachFileOnce) {
    test::TempDir dir;
    addPlugIn(dir, "red", "red.spi");
    addPlugIn(dir, "blue", "blue.spi");
    ImagePluginHost host;
    ASSERT_EQ(host.openPlugIn(test::localFiles(), mask(dir)), 2);
    EXPECT_EQ(host.openPlugIn(test::localFiles(), mask(dir)), 0);
    EXPECT_EQ(host.openPlugIn(test::localFiles(), dir.path() + "/./*.SPI"), 0);
    EXPECT_EQ(host.openPlugIn(test::localFiles(), dir.path() + "/red.spi"), 0);
    ASSERT_EQ(host.getPlugNum(), 2);

    const ImagePluginHost::PlugIn* first = host.getPlugInInfo(0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->path, fs::canonical(dir.file("blue.spi")).string());
    EXPECT_EQ(first->apiVersion, "00IN");
    EXPECT_EQ(first->name, "test plug-in");
    EXPECT_EQ(first->filter, "*.TST;*.TPIC");
    EXPECT_EQ(first->description, "test pictures");
    EXPECT_EQ(host.checkPlug(first->path), 0);
    EXPECT_EQ(host.checkPlug(dir.file("other.spi")), -1);
    EXPECT_EQ(host.getPlugInInfo(2), nullptr);
    EXPECT_EQ(host.getPlugInInfo(-1), nullptr);

    EXPECT_TRUE(host.closePlugIn());
    EXPECT_EQ(host.getPlugNum(), 0);
    Picture pic;
    EXPECT_FALSE(host.loadFromStream(kTestPicture, pic));
    EXPECT_EQ(host.openPlugIn(test::localFiles(), mask(dir)), 2);
    EXPECT_TRUE(host.loadFromStream(kTestPicture, pic));
}

// Plug-ins are not loaded in the web build, and its C library has no mallinfo2.
#ifndef __EMSCRIPTEN__
TEST(PlugInHost, RefusesBlocksThatDoNotHoldThePictureAndFreesTheRest) {
    test::TempDir dir;
    addPlugIn(dir, "huge", "1huge.spi");
    addPlugIn(dir, "shortbits", "2shortbits.spi");
    addPlugIn(dir, "noblock", "3noblock.spi");
    ImagePluginHost host;
    ASSERT_EQ(host.openPlugIn(test::localFiles(), mask(dir)), 3);
    Picture pic = sentinel();
    EXPECT_FALSE(host.loadFromStream(kTestPicture, pic));
    EXPECT_EQ(pic.pixels, sentinel().pixels);

    addPlugIn(dir, "blue", "4blue.spi");
    ASSERT_EQ(host.openPlugIn(test::localFiles(), mask(dir)), 1);
    ASSERT_TRUE(host.loadFromStream(kTestPicture, pic));
    EXPECT_EQ(pic.pixels, testPicture(0x0000FF));

    // Each load hands over blocks from all four plug-ins; none of them may stay allocated.
    // (The sanitizer build's leak check covers this too.)
    const size_t before = mallinfo2().uordblks;
    for (int i = 0; i < 20000; ++i) host.loadFromStream(kTestPicture, pic);
    EXPECT_LT(mallinfo2().uordblks, before + 200000);
}
#endif

// The two plug-ins built for the player, in a folder of their own; built into the program
// instead, where the tests of the built-in decoders run these cases again.
struct RealPlugIns {
    test::TempDir dir;
    ImagePluginHost host;
    RealPlugIns() {
#ifdef ZARVO_TEST_BUILTIN_DECODERS
        registerBuiltInDecoders();
        registerBuiltInDecoders();  // once is enough
#else
        fs::copy_file(ZARVO_JPEG_SPI, dir.file("jpeg.spi"));
        fs::copy_file(ZARVO_GIF_SPI, dir.file("gif.spi"));
#endif
        EXPECT_EQ(host.openPlugIn(test::localFiles(), mask(dir)), 2);
        EXPECT_EQ(host.openPlugIn(test::localFiles(), mask(dir)), 0);
    }
};

struct Jpeg {
    std::string bytes;
    std::vector<uint32_t> decoded;  // as libjpeg-turbo decodes it, 0x00RRGGBB
};

Jpeg makeJpeg(int width, int height, bool grey) {
    std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3];
            p[0] = uint8_t(x * 255 / width);
            p[1] = uint8_t(y * 255 / height);
            p[2] = uint8_t((x + y) * 2);
        }
    tjhandle c = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    EXPECT_EQ(tjCompress2(c, rgb.data(), width, 0, height, TJPF_RGB, &out, &size,
                          grey ? TJSAMP_GRAY : TJSAMP_444, 90, 0),
              0);
    Jpeg j;
    j.bytes.assign(reinterpret_cast<const char*>(out), size);
    tjFree(out);
    tjDestroy(c);

    tjhandle d = tjInitDecompress();
    std::vector<uint8_t> back(rgb.size());
    EXPECT_EQ(tjDecompress2(d, reinterpret_cast<const uint8_t*>(j.bytes.data()), size, back.data(),
                            width, 0, height, TJPF_RGB, 0),
              0);
    tjDestroy(d);
    for (size_t i = 0; i < back.size(); i += 3)
        j.decoded.push_back(uint32_t(back[i]) << 16 | uint32_t(back[i + 1]) << 8 | back[i + 2]);
    return j;
}

TEST(JpegPlugIn, DecodesFromMemoryAndFromFile) {
    RealPlugIns real;
    ASSERT_EQ(real.host.getPlugNum(), 2);
    for (const auto& [w, h, grey] : {std::tuple{64, 48, false}, std::tuple{13, 7, true}}) {
        const Jpeg jpeg = makeJpeg(w, h, grey);
        Picture pic;
        ASSERT_TRUE(real.host.loadFromStream(jpeg.bytes, pic));
        EXPECT_EQ(pic.width, w);
        EXPECT_EQ(pic.height, h);
        EXPECT_EQ(pic.pixels, jpeg.decoded);
    }
    Picture none;
    EXPECT_FALSE(ImagePluginHost().loadFromStream(makeJpeg(8, 8, false).bytes, none));
    // A JPEG without its tail still shows what it has; one without a frame is refused.
    const Jpeg jpeg = makeJpeg(64, 48, false);
    Picture pic;
    EXPECT_TRUE(real.host.loadFromStream(jpeg.bytes.substr(0, jpeg.bytes.size() * 2 / 3), pic));
    EXPECT_EQ(pic.width, 64);
    pic = sentinel();
    EXPECT_FALSE(
        real.host.loadFromStream(std::string("\xFF\xD8\xFF\xE0") + std::string(100, 'j'), pic));
    EXPECT_EQ(pic.pixels, sentinel().pixels);
}

int appendToString(GifFileType* gif, const GifByteType* data, int n) {
    static_cast<std::string*>(gif->UserData)
        ->append(reinterpret_cast<const char*>(data), size_t(n));
    return n;
}

TEST(GifPlugIn, DecodesTheFirstFrameOnItsScreen) {
    // Screen 8 x 12 in background colour 3; the first frame 6 x 10 at (1, 1), interlaced; a
    // second frame that covers everything must not show.
    const GifColorType colours[4] = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}, {200, 0, 100}};
    const GifColorType other[2] = {{1, 1, 1}, {2, 2, 2}};
    auto frameIndex = [](int x, int y) { return GifPixelType((x * 3 + y) % 3); };
    std::string gifBytes;
    int error = 0;
    GifFileType* g = EGifOpen(&gifBytes, appendToString, &error);
    ASSERT_NE(g, nullptr);
    EGifSetGifVersion(g, true);
    ColorMapObject* global = GifMakeMapObject(4, colours);
    ColorMapObject* local = GifMakeMapObject(2, other);
    ASSERT_EQ(EGifPutScreenDesc(g, 8, 12, 8, 3, global), GIF_OK);
    ASSERT_EQ(EGifPutComment(g, "zarvo test"), GIF_OK);
    ASSERT_EQ(EGifPutImageDesc(g, 1, 1, 6, 10, true, nullptr), GIF_OK);
    const int passStart[4] = {0, 4, 2, 1}, passStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = passStart[pass]; y < 10; y += passStep[pass]) {
            GifPixelType line[6];
            for (int x = 0; x < 6; ++x) line[x] = frameIndex(x, y);
            ASSERT_EQ(EGifPutLine(g, line, 6), GIF_OK);
        }
    ASSERT_EQ(EGifPutImageDesc(g, 0, 0, 8, 12, false, local), GIF_OK);
    for (int y = 0; y < 12; ++y) {
        GifPixelType line[8] = {1, 1, 1, 1, 1, 1, 1, 1};
        ASSERT_EQ(EGifPutLine(g, line, 8), GIF_OK);
    }
    ASSERT_EQ(EGifCloseFile(g, &error), GIF_OK);
    GifFreeMapObject(global);
    GifFreeMapObject(local);

    RealPlugIns real;
    Picture pic;
    ASSERT_TRUE(real.host.loadFromStream(gifBytes, pic));
    ASSERT_EQ(pic.width, 8);
    ASSERT_EQ(pic.height, 12);
    auto rgb = [&](int i) {
        return uint32_t(colours[i].Red) << 16 | uint32_t(colours[i].Green) << 8 | colours[i].Blue;
    };
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool inFrame = x >= 1 && x < 7 && y >= 1 && y < 11;
            EXPECT_EQ(pic.pixels[size_t(y * 8 + x)], rgb(inFrame ? frameIndex(x - 1, y - 1) : 3))
                << x << "," << y;
        }

    // Cut inside the first frame: gif.spi claims it and fails, nothing else reads it.
    pic = sentinel();
    EXPECT_FALSE(real.host.loadFromStream(gifBytes.substr(0, 40), pic));
    EXPECT_EQ(pic.pixels, sentinel().pixels);
}

}  // namespace
}  // namespace zarvo

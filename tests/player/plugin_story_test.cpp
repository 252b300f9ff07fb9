// A story shows a JPEG picture through the JPEG image plug-in, from disk and from a package.
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <filesystem>

#include "archive/package.hpp"
#include "support/story.hpp"

namespace zarvo::test {
namespace {

// A 64 x 48 JPEG of one colour (r, g, b), made here with libjpeg-turbo.
std::string jpegOf(int r, int g, int b) {
    std::vector<unsigned char> rgb(64 * 48 * 3);
    for (size_t i = 0; i < rgb.size(); i += 3) rgb[i] = r, rgb[i + 1] = g, rgb[i + 2] = b;
    tjhandle tj = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    tjCompress2(tj, rgb.data(), 64, 0, 48, TJPF_RGB, &out, &size, TJSAMP_444, 95, 0);
    std::string bytes(reinterpret_cast<char*>(out), size);
    tjFree(out);
    tjDestroy(tj);
    return bytes;
}

bool near(uint32_t color, uint32_t want) {
    for (int shift : {0, 8, 16}) {
        int a = (color >> shift) & 0xFF, b = (want >> shift) & 0xFF;
        if (std::abs(a - b) > 6) return false;
    }
    return true;
}

std::string page(const std::string& file) {
    return "<Book=\"スタートブック\">\n<Page=\"スタートページ\">\nGraphicDraw.FileName=" + file +
           "\n@GraphicDraw\n<Page End>\n<Book End>\n";
}

TEST(PluginStory, JpegFromDiskAndFromAPackageEntry) {
    StoryBuilder s;
    std::filesystem::copy_file(ZARVO_JPEG_SPI, s.programDir + "/jpeg.spi");
    writeFile(s.dir.file("写真.jpg"), jpegOf(255, 0, 0));
    StoryRun r = s.run(s.writeScript(storyScript(page("写真.jpg"))));
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_TRUE(near(r.shot.getPixel(10, 10), 0x0000FF)) << std::hex << r.shot.getPixel(10, 10);
    EXPECT_EQ(r.shot.getPixel(100, 100), 0xFFFFFFu);  // the picture is 64 x 48

    std::string path = s.dir.file("game.zp7");
    PackageWriter w;
    initWriter(w);
    setMagic(w, "QZ7PKG");
    ASSERT_TRUE(createPackage(test::localFiles(), w, path));
    w.compressed = true;
    writeStreamEntry(w, sjis(storyScript(page("pic.JPG"))), "zarvo.zf7");
    writeStreamEntry(w, jpegOf(0, 0, 255), "pic.JPG");
    ASSERT_TRUE(finishPackage(w));
    r = s.run(path);
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_TRUE(near(r.shot.getPixel(10, 10), 0xFF0000)) << std::hex << r.shot.getPixel(10, 10);

    // Without the plug-in the picture cannot be read.
    std::filesystem::remove(s.programDir + "/jpeg.spi");
    r = s.run(path);
    EXPECT_EQ(r.boxes.size(), 2u);
}

}  // namespace
}  // namespace zarvo::test

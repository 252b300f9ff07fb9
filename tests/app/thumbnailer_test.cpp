// zarvoplay-thumbnailer run as a file manager runs it, on the demo and on stories it must refuse.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/package_writer.hpp"
#include "support/archive_files.hpp"
#include "support/png_files.hpp"
#include "support/temp_dir.hpp"

namespace zarvo {
namespace {

namespace fs = std::filesystem;
using test::sjis;

struct Outcome {
    int status = -1;
    double seconds = 0;
};

Outcome thumbnail(const std::string& input, const std::string& output, int size) {
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        std::string s = std::to_string(size);
        execl(ZARVO_THUMBNAILER, ZARVO_THUMBNAILER, "-s", s.c_str(), input.c_str(), output.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    Outcome out;
    out.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return out;
}

std::vector<std::string> filesIn(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        names.push_back(fs::relative(e.path(), dir).string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string demoScript() {
    return test::readFile(std::string(ZARVO_DEMO_DIR) + "/demo.zp7");
}

// The demo as one package: its script and the two pictures of its start page, extracted into a
// data folder when played.
void writeDemoPackage(const std::string& path, const std::string& stub = "") {
    PackageWriter w;
    w.stub = stub;
    ASSERT_TRUE(createPackage(test::localFiles(), w, path));
    w.compressed = true;
    ASSERT_TRUE(writeStreamEntry(w, demoScript(), "zarvo.zf7"));
    w.autoExtract = true;
    for (const char* name : {"bg_morning.png", "window.png"})
        ASSERT_TRUE(
            writeStreamEntry(w, test::readFile(std::string(ZARVO_DEMO_DIR) + "/" + name), name));
    ASSERT_TRUE(finishPackage(w));
}

TEST(Thumbnailer, DemoPreviewIsItsFirstPictureScaledDown) {
    test::TempDir dir;
    Surface first, full, small;
    ASSERT_TRUE(test::readPngFile(std::string(ZARVO_DEMO_DIR) + "/bg_morning.png", first));

    Outcome run = thumbnail(std::string(ZARVO_DEMO_DIR) + "/demo.zp7", dir.file("full.png"), 640);
    ASSERT_EQ(run.status, 0);
    EXPECT_LT(run.seconds, 2.0);
    ASSERT_TRUE(test::readPngFile(dir.file("full.png"), full));
    ASSERT_EQ(full.width(), first.width());
    ASSERT_EQ(full.height(), first.height());
    for (int y = 0; y < first.height(); ++y)
        for (int x = 0; x < first.width(); ++x)
            ASSERT_EQ(full.getPixel(x, y), first.getPixel(x, y)) << x << "," << y;

    // The packaged demo behind a program stub gives the same picture, scaled to 128 pixels
    // across: each pixel is the average of its 5 x 5 block, close to the block's middle.
    writeDemoPackage(dir.file("demo.exe"), "MZ" + std::string(62, '\0'));
    ASSERT_EQ(thumbnail(dir.file("demo.exe"), dir.file("small.png"), 128).status, 0);
    ASSERT_TRUE(test::readPngFile(dir.file("small.png"), small));
    ASSERT_EQ(small.width(), 128);
    ASSERT_EQ(small.height(), 96);
    int far = 0;
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 128; ++x) {
            uint32_t a = small.getPixel(x, y), b = first.getPixel(x * 5 + 2, y * 5 + 2);
            for (int shift : {0, 8, 16})
                if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 12) ++far;
        }
    EXPECT_LT(far, 128 * 96 / 20);  // only along the hills' and the sun's edges
    // Only what was asked for was written: the package's entries were not extracted.
    EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"demo.exe", "full.png", "small.png"}));

    // A zip of the demo's folder, as it is downloaded, shows the same picture.
    std::string why;
    ASSERT_TRUE(test::writeArchive(test::ArchiveKind::Zip, dir.file("demo.zip"),
                                   test::folderItems(ZARVO_DEMO_DIR, "demo/"), why))
        << why;
    ASSERT_EQ(thumbnail(dir.file("demo.zip"), dir.file("zip.png"), 640).status, 0);
    EXPECT_EQ(test::readFile(dir.file("zip.png")), test::readFile(dir.file("full.png")));
}

TEST(Thumbnailer, DamagedOrHostileStoryGivesNoPreviewQuickly) {
    test::TempDir dir;
    writeDemoPackage(dir.file("whole.zp7"));
    std::string whole = test::readFile(dir.file("whole.zp7"));
    test::writeFile(dir.file("cut.zp7"), whole.substr(0, whole.size() / 2));
    test::writeFile(dir.file("header.zp7"), whole.substr(0, 40));
    // A picture that claims 16000 x 16000 pixels (a gigabyte decoded) in a few kilobytes: the
    // memory limit, not the machine, must stop it.
    std::string huge = test::readFile(std::string(ZARVO_DEMO_DIR) + "/bg_morning.png");
    for (int at : {16, 20}) {
        huge[at] = 0, huge[at + 1] = 0, huge[at + 2] = 0x3E, huge[at + 3] = char(0x80);
    }
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(huge.data() + 12), 17);
    for (int i = 0; i < 4; ++i) huge[29 + i] = static_cast<char>(crc >> (24 - 8 * i));
    fs::create_directory(dir.file("huge"));
    test::writeFile(dir.file("huge/huge.png"), huge);
    test::writeFile(dir.file("huge.zp7"), sjis("///\r\n<Head=\"Zarvo\">\r\nOpening=huge.png\r\n"
                                               "<Head End>\r\n"));
    // A script whose start page draws nothing.
    test::writeFile(dir.file("blank.zp7"), sjis("///\r\n<Book=\"スタートブック\">\r\n"
                                                "<Page=\"スタートページ\">\r\n@Wait\r\n"
                                                "<Page End>\r\n<Book End>\r\n"));
    fs::remove(dir.file("whole.zp7"));
    const std::vector<std::string> before = filesIn(dir.path());
    for (const char* name : {"cut.zp7", "header.zp7", "huge.zp7", "blank.zp7", "missing.zp7"}) {
        Outcome run = thumbnail(dir.file(name), dir.file("out.png"), 256);
        EXPECT_EQ(run.status, 1) << name;
        EXPECT_LT(run.seconds, 2.0) << name;
    }
    EXPECT_EQ(filesIn(dir.path()), before);
}

}  // namespace
}  // namespace zarvo

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "backends/posix/local_file_system.hpp"
#include "support/temp_dir.hpp"

namespace zarvo::platform {
namespace {

using test::sjis;

class ResolveTest : public ::testing::Test {
  protected:
    // Creates a file (and its folders) under the temporary folder; `name` is host bytes.
    void put(const std::string& name, std::string_view bytes = "x") {
        std::filesystem::path p(dir.file(name));
        std::filesystem::create_directories(p.parent_path());
        test::writeFile(dir.file(name), bytes);
    }
    std::string resolve(std::string_view scriptName) { return fs.resolve(dir.path(), scriptName); }

    test::TempDir dir;
    LocalFileSystem fs;
};

TEST_F(ResolveTest, JapaneseNamesWithBackslashTrailBytesStayWhole) {
    put("画像/ソフト.png");
    put("表紙.bmp");
    put("表/中.png");  // a folder name ending in the byte 0x5C
    EXPECT_EQ(resolve(sjis("画像\\ソフト.png")), dir.file("画像/ソフト.png"));
    EXPECT_EQ(resolve(sjis("表紙.bmp")), dir.file("表紙.bmp"));
    EXPECT_EQ(resolve(sjis("表\\中.png")), dir.file("表/中.png"));
    EXPECT_EQ(resolve(sjis("画像/ソフト.png")), dir.file("画像/ソフト.png"));
}

TEST_F(ResolveTest, LetterCaseIsIgnoredForAsciiLettersOnly) {
    put("data/title.png");
    put("画像/あa.png");
    put(sjis("ヂ.png"));  // trail byte 0x61 'a'; "ア" has 0x41 'A' there
    EXPECT_EQ(resolve("DATA\\Title.PNG"), dir.file("data/title.png"));
    EXPECT_EQ(resolve(sjis("画像\\あA.PNG")), dir.file("画像/あa.png"));
    EXPECT_EQ(resolve(sjis("ア.png")), dir.file("ア.png"));  // not found, and not ヂ

    // Names differing only in case: the choice must not depend on directory order.
    put("data/TITLE.png");
    EXPECT_EQ(resolve("data\\Title.png"), dir.file("data/TITLE.png"));
}

TEST_F(ResolveTest, CodePage932NamesOnDiskAreFound) {
#ifdef __EMSCRIPTEN__
    GTEST_SKIP() << "node keeps file names as UTF-8 text: code page 932 bytes cannot be one";
#endif
    std::string raw = sjis("ソフト.png");
    put(raw);
    put(sjis("表紙.BMP"));  // raw bytes hold a 0x5C too
    EXPECT_EQ(resolve(raw), dir.file(raw));
    EXPECT_EQ(resolve(sjis("表紙.bmp")), dir.file(sjis("表紙.BMP")));
}

TEST_F(ResolveTest, MissingNamesGiveTheirUtf8PathAndDotsStepBack) {
    put("Data/title.png");
    EXPECT_EQ(resolve(sjis("data\\新規.sav")), dir.file("Data/新規.sav"));
    EXPECT_EQ(resolve(sjis("無い\\中\\x.png")), dir.file("無い/中/x.png"));
    EXPECT_EQ(resolve("none\\..\\.\\data\\\\TITLE.png"), dir.file("Data/title.png"));
    EXPECT_EQ(fs.resolve(dir.path() + "/Data/", "..\\Data\\title.png"),
              dir.file("Data/../Data/title.png"));
    EXPECT_EQ(resolve(""), dir.path());
}

TEST_F(ResolveTest, RootedAndDriveNamesStayInsideTheBase) {
    put("data/title.png");
    for (std::string_view name : {"\\DATA\\title.png", "c:\\data\\\\Title.png", "C:data\\title.png",
                                  "\\..\\..\\data\\title.png", "C:\\data\\..\\..\\data\\title.png"})
        EXPECT_EQ(resolve(name), dir.file("data/title.png")) << name;
}

TEST_F(ResolveTest, UnsafeEntryNamesAreRefused) {
    for (std::string_view name : {"..\\x", "a\\..\\..\\x", "a/../x", "\\x", "/x", "C:\\x", "C:x",
                                  "a:b", "", "\\", ".", "a\\.."}) {
        std::string path = "unchanged";
        EXPECT_FALSE(fs.resolveInside(dir.path(), name, path)) << name;
        EXPECT_EQ(path, "unchanged") << name;
    }
    EXPECT_FALSE(isSafeRelativeName(std::string_view("a\0b", 3)));
    EXPECT_TRUE(isSafeRelativeName(sjis("ソ..")));  // 83 5C 2E 2E is one name, not "\.."
    EXPECT_TRUE(isSafeRelativeName("...\\a.png"));

    put("bgm/x.mid");
    std::string path;
    ASSERT_TRUE(fs.resolveInside(dir.path(), sjis("BGM\\曲.mid"), path));
    EXPECT_EQ(path, dir.file("bgm/曲.mid"));
}

TEST(LocalFileSystemTest, ReadWriteAndFolders) {
    test::TempDir dir;
    LocalFileSystem fs;
    std::string bytes = "kept";
    EXPECT_FALSE(fs.readFile(dir.file("missing"), bytes));
    EXPECT_FALSE(fs.readFile(dir.path(), bytes));
    EXPECT_EQ(bytes, "kept");

    std::string data("a\0b\r\n", 5);
    ASSERT_TRUE(fs.writeFile(dir.file("f.bin"), data));
    ASSERT_TRUE(fs.writeFile(dir.file("f.bin"), data + data));  // replaces, never appends
    ASSERT_TRUE(fs.readFile(dir.file("f.bin"), bytes));
    EXPECT_EQ(bytes, data + data);
    EXPECT_TRUE(fs.exists(dir.file("f.bin")));
    EXPECT_FALSE(fs.exists(dir.path()));
    EXPECT_FALSE(fs.directoryExists(dir.file("f.bin")));

    EXPECT_FALSE(fs.makeDirectory(dir.file("a/b")));  // one level only
    EXPECT_TRUE(fs.makeDirectory(dir.file("a")));
    EXPECT_TRUE(fs.makeDirectory(dir.file("a")));
    EXPECT_FALSE(fs.makeDirectory(dir.file("f.bin")));
    EXPECT_TRUE(fs.directoryExists(dir.file("a")));

    // A path whose parent is a file cannot be written, and no stray files appear.
    EXPECT_FALSE(fs.writeFile(dir.file("f.bin/x"), "y"));
    EXPECT_FALSE(fs.writeFile(dir.file("a"), "y"));
    std::vector<std::string> names;
    ASSERT_TRUE(fs.listDirectory(dir.path(), names));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a", "f.bin"}));
}

TEST(LocalFileSystemTest, FailedWriteKeepsTheOldFileAndItsMode) {
    test::TempDir dir;
    LocalFileSystem fs;
    std::string path = dir.file("save.dat");
    ASSERT_TRUE(fs.writeFile(path, "good old save"));
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(fs.writeFile(path, "newer save"));
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // A file size limit makes the write itself fail halfway, as a full disk would.
#ifdef __EMSCRIPTEN__
    GTEST_SKIP() << "no file size limits under WebAssembly";
#endif
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit old;
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool written = fs.writeFile(path, std::string(5000, 'z'));
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(written);
    EXPECT_EQ(test::readFile(path), "newer save");
    std::vector<std::string> names;
    ASSERT_TRUE(fs.listDirectory(dir.path(), names));
    EXPECT_EQ(names, std::vector<std::string>{"save.dat"});
}

}  // namespace
}  // namespace zarvo::platform

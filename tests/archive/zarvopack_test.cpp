#include "zarvopack.hpp"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "archive/package_fixtures.hpp"
#include "support/temp_dir.hpp"

namespace zarvo {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::sjis;
using test::writeFile;

struct ToolRun {
    int status;
    std::string out, err;
};

ToolRun zarvopack(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    int status = pack::runZarvopack(args, out, err);
    return {status, out.str(), err.str()};
}

// Paths given to "create" name the entries, so it runs inside the test's folder.
class InFolder {
  public:
    explicit InFolder(const std::string& dir) : old_(fs::current_path()) { fs::current_path(dir); }
    ~InFolder() { fs::current_path(old_); }

  private:
    fs::path old_;
};

TEST(ZarvopackPaths, WalkShiftJisCharactersAndRefuseEscapes) {
    std::string p;
    ASSERT_TRUE(pack::entryRelativePath("a\\b\\c.txt", p));
    EXPECT_EQ(p, "a/b/c.txt");
    // ソ is 83 5C and 表 is 95 5C: their trail bytes are not separators.
    ASSERT_TRUE(pack::entryRelativePath(sjis("ソース\\表.txt"), p));
    EXPECT_EQ(p, "ソース/表.txt");
    ASSERT_TRUE(pack::entryRelativePath(sjis("表"), p));
    EXPECT_EQ(p, "表");
    ASSERT_TRUE(pack::entryRelativePath(".\\a\\\\b", p));
    EXPECT_EQ(p, "a/b");
    for (std::string bad :
         {"..\\x", "a\\..\\..\\x", "a\\..", "..", "\\abs", "/abs", "C:\\x", "", ".", "a/../b"}) {
        EXPECT_FALSE(pack::entryRelativePath(bad, p)) << bad;
    }
    EXPECT_FALSE(pack::entryRelativePath(std::string("a\0b", 3), p));
}

TEST(ZarvopackList, PrintsEntriesOfBothLayoutsAndBehindAStub) {
    test::TempDir dir;
    const std::string chain = test::chainPackage({
        {sjis("背景\\表.bmp"), kPackageFlagCompressed | kPackageFlagScrambled,
         test::zlibCompress("0123456789"), 10},
        {"plain.txt", 0, "abc", 0},
        {"all", 0x80000000u | 0x00800000u | 0x00400000u | 0x00100000u | 0x00080000u,
         test::zlibCompress(""), 0},
    });
    const std::string expectChain = "背景\\表.bmp\t" +
                                    std::to_string(test::zlibCompress("0123456789").size()) +
                                    "\t10\tcs\nplain.txt\t3\t3\t-\nall\t" +
                                    std::to_string(test::zlibCompress("").size()) + "\t0\tcrads\n";
    const std::string directory = test::directoryPackage(
        {{"a.txt", 0, 0x01000000, "aaaa"}, {"b", 0x81000000u, 0, test::zlibCompress("b")}});
    const std::string expectDirectory =
        "a.txt\t4\t4\tad\nb\t" + std::to_string(test::zlibCompress("b").size()) + "\t0\tcr\n";
    for (auto [bytes, expected] : {std::pair{chain, expectChain},
                                   {directory, expectDirectory},
                                   {test::stubbed(chain), expectChain},
                                   {test::stubbed(directory), expectDirectory}}) {
        writeFile(dir.file("p"), bytes);
        ToolRun run = zarvopack({"list", dir.file("p")});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, expected);
    }
    ToolRun missing = zarvopack({"list", dir.file("missing")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find("cannot open package"), std::string::npos);
}

TEST(ZarvopackExtract, WritesInsideTheFolderOnly) {
    test::TempDir dir;
    const std::string text = "compressed text\r\n";
    const std::string pkg = test::chainPackage({
        {"dup.txt", 0, "first", 0},
        {"sub\\deeper\\a.txt", kPackageFlagCompressed, test::zlibCompress(text),
         static_cast<uint32_t>(text.size())},
        {sjis("ソース\\表.txt"), 0, "sjis", 0},
        {"..\\evil.txt", 0, "evil", 0},
        {"\\abs.txt", 0, "evil", 0},
        {"C:\\drive.txt", 0, "evil", 0},
        {"sub\\..\\..\\up.txt", 0, "evil", 0},
        {"DUP.TXT", 0, "second", 0},
        {"after.txt", 0, "after", 0},
    });
    for (const std::string& bytes : {pkg, test::stubbed(pkg)}) {
        writeFile(dir.file("p"), bytes);
        fs::remove_all(dir.file("out"));
        ToolRun run = zarvopack({"extract", dir.file("p"), dir.file("out")});
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("..\\evil.txt"), std::string::npos);
        EXPECT_NE(run.err.find("C:\\drive.txt"), std::string::npos);
        EXPECT_EQ(readFile(dir.file("out/sub/deeper/a.txt")), text);
        EXPECT_EQ(readFile(dir.file("out/ソース/表.txt")), "sjis");
        EXPECT_EQ(readFile(dir.file("out/DUP.TXT")), "second");
        EXPECT_FALSE(fs::exists(dir.file("out/dup.txt")));
        EXPECT_EQ(readFile(dir.file("out/after.txt")), "after");
        EXPECT_FALSE(fs::exists(dir.file("evil.txt")));
        EXPECT_FALSE(fs::exists(dir.file("up.txt")));
        EXPECT_FALSE(fs::exists("/abs.txt"));
        size_t files = 0;
        for (auto& e : fs::recursive_directory_iterator(dir.file("out")))
            files += e.is_regular_file();
        EXPECT_EQ(files, 4u);
    }
    // The older layout extracts the same way.
    writeFile(dir.file("d"),
              test::directoryPackage({{"x\\y.bin", 0x80000000u, 0, test::zlibCompress(text)}}));
    EXPECT_EQ(zarvopack({"extract", dir.file("d"), dir.file("dout")}).status, 0);
    EXPECT_EQ(readFile(dir.file("dout/x/y.bin")), text);
}

TEST(ZarvopackExtract, DamagedEntryDoesNotReplaceAFile) {
    test::TempDir dir;
    writeFile(dir.file("p"), test::chainPackage({{"a", kPackageFlagCompressed, "not zlib", 9},
                                                 {"b", 0, "fine", 0}}));
    fs::create_directory(dir.file("out"));
    writeFile(dir.file("out/a"), "keep");
    ToolRun run = zarvopack({"extract", dir.file("p"), dir.file("out")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(readFile(dir.file("out/a")), "keep");
    EXPECT_EQ(readFile(dir.file("out/b")), "fine");
}

TEST(ZarvopackCreate, EveryFlagCombinationRoundTrips) {
    test::TempDir dir;
    InFolder here(dir.path());
    fs::create_directory("sub");
    const std::string text(5000, 'z'),
        bin = std::string("\x00\x01\xFF\x5C", 4) + std::string(3000, 'b');
    writeFile("a.txt", text);
    writeFile("sub/日本語表.bin", bin);
    for (int combo = 0; combo < 8; ++combo) {
        SCOPED_TRACE(combo);
        std::vector<std::string> args = {"create", "p.pkg"};
        std::string letters;
        if (combo & 1) args.push_back("--compress"), letters += 'c';
        if (combo & 4) args.push_back("--auto-extract"), letters += 'a';
        if (combo & 2) args.push_back("--scramble"), letters += 's';
        if (letters.empty()) letters = "-";
        args.push_back("a.txt");
        args.push_back("sub/日本語表.bin");
        ToolRun run = zarvopack(args);
        ASSERT_EQ(run.status, 0) << run.err;
        ASSERT_TRUE(hasMagic(test::localFiles(), "p.pkg", "QZ7PKG"));
        PackageReader r;
        ASSERT_TRUE(openPackage(test::localFiles(), "p.pkg", r));
        ASSERT_EQ(r.count, 2);
        EXPECT_EQ(r.entries[1].name, sjis("sub\\日本語表.bin"));
        r.entries.clear();
        ToolRun list = zarvopack({"list", "p.pkg"});
        EXPECT_NE(list.out.find("a.txt\t"), std::string::npos);
        EXPECT_NE(list.out.find("\t5000\t" + letters + "\n"), std::string::npos) << list.out;
        EXPECT_NE(list.out.find("sub\\日本語表.bin\t"), std::string::npos);
        fs::remove_all("out");
        ASSERT_EQ(zarvopack({"extract", "p.pkg", "out"}).status, 0);
        EXPECT_EQ(readFile("out/a.txt"), text);
        EXPECT_EQ(readFile("out/sub/日本語表.bin"), bin);
    }
}

TEST(ZarvopackCreate, StubMagicAndUsage) {
    test::TempDir dir;
    InFolder here(dir.path());
    writeFile("stub.exe", "MZ program bytes");
    writeFile("a.txt", "hello");
    ASSERT_EQ(
        zarvopack({"create", "s.pkg", "--stub", "stub.exe", "--magic", "QZ7LIB", "a.txt"}).status,
        0);
    const std::string bytes = readFile("s.pkg");
    EXPECT_EQ(bytes.substr(0, 16 + 256), "MZ program bytes" + std::string(255, '-') + "+");
    EXPECT_EQ(bytes.substr(16 + 256, 7), std::string("QZ7LIB\0", 7));
    EXPECT_EQ(zarvopack({"list", "s.pkg"}).out, "a.txt\t5\t5\t-\n");

    writeFile("notmz.exe", "ELF");
    ToolRun refused = zarvopack({"create", "x.pkg", "--stub", "notmz.exe", "a.txt"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_FALSE(fs::exists("x.pkg"));
    EXPECT_EQ(zarvopack({"create", "x.pkg", "missing.txt"}).status, 1);
    EXPECT_FALSE(fs::exists("x.pkg"));

    EXPECT_EQ(zarvopack({}).status, 2);
    EXPECT_EQ(zarvopack({"pack"}).status, 2);
    EXPECT_EQ(zarvopack({"list"}).status, 2);
    EXPECT_EQ(zarvopack({"extract", "s.pkg"}).status, 2);
    EXPECT_EQ(zarvopack({"create", "x.pkg"}).status, 2);
    EXPECT_EQ(zarvopack({"create", "x.pkg", "--magic", "QZ7XXX", "a.txt"}).status, 2);
    EXPECT_EQ(zarvopack({"create", "x.pkg", "--fast", "a.txt"}).status, 2);
    ToolRun help = zarvopack({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("zarvopack create PACKAGE"), std::string::npos);
}

// The program itself, as build scripts and outside tests run it.
TEST(ZarvopackProgram, ExitStatusesAndOutput) {
#ifdef __EMSCRIPTEN__
    GTEST_SKIP() << "no child processes under WebAssembly";
#endif
    test::TempDir dir;
    writeFile(dir.file("p"), test::chainPackage({{"x.txt", 0, "abc", 0}}));
    auto run = [&](const std::string& args, std::string* out = nullptr) {
        std::string cmd = std::string(ZARVOPACK_EXE) + " " + args + " 2>/dev/null";
        FILE* pipe = popen(cmd.c_str(), "r");
        char buf[256];
        size_t n;
        while (pipe && (n = fread(buf, 1, sizeof buf, pipe)) > 0)
            if (out) out->append(buf, n);
        int status = pipe ? pclose(pipe) : -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    std::string out;
    EXPECT_EQ(run("list '" + dir.file("p") + "'", &out), 0);
    EXPECT_EQ(out, "x.txt\t3\t3\t-\n");
    EXPECT_EQ(run("list '" + dir.file("missing") + "'"), 1);
    EXPECT_EQ(run("frobnicate"), 2);
}

}  // namespace
}  // namespace zarvo

// `zarvoplay --check` as authors run it: the report on stdout and the exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/archive_files.hpp"
#include "support/temp_dir.hpp"

namespace zarvo {
namespace {

struct CheckRun {
    int status = -1;
    std::string out;
};

CheckRun runCheck(const std::string& args) {
    CheckRun run;
    std::string command = std::string(ZARVOPLAY_EXE) + " --check " + args + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) run.out.append(buf, n);
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(CheckOption, ReportsOnStdoutWithTheExitStatus) {
    test::TempDir dir;
    test::writeFile(dir.file("s.zf7"),
                    test::sjis("///\r\n<Head=\"Zarvo\">\r\nFileType=QZ7\r\n<Head End>\r\n"
                               "<Book=\"スタートブック\">\r\n<Page=\"スタートページ\">\r\n"
                               "Move.BookName=_system\r\nMove.PageName=_nowhere\r\n@Move\r\n"
                               "<Page End>\r\n<Book End>\r\n"));
    CheckRun run = runCheck(dir.file("s.zf7"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, dir.file("s.zf7") +
                           ":8: page \"_nowhere\" of book \"_system\" does not exist "
                           "(Move.PageName)\n");
}

TEST(CheckOption, TheBundledDemoIsClean) {
    CheckRun run = runCheck(ZARVO_DEMO_STORY);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out, "");
}

// What the player opens, --check takes: an archive (a Shift_JIS folder inside), with several
// stories each checked and named by its path; a folder without one is no project.
TEST(CheckOption, ArchivesAndFoldersAreCheckedAsThePlayerOpensThem) {
    test::TempDir dir;
    const std::string faulty = test::sjis(
        "///\r\n<Head=\"Zarvo\">\r\nFileType=QZ7\r\n<Head End>\r\n"
        "<Book=\"スタートブック\">\r\n<Page=\"スタートページ\">\r\n"
        "Move.BookName=_system\r\nMove.PageName=_nowhere\r\n@Move\r\n"
        "<Page End>\r\n<Book End>\r\n");
    std::vector<test::ArchiveItem> items =
        test::folderItems(ZARVO_DEMO_DIR, test::sjis("体験版") + "/");
    std::string why;
    ASSERT_TRUE(test::writeArchive(test::ArchiveKind::Zip, dir.file("demo.zip"), items, why))
        << why;
    CheckRun run = runCheck(dir.file("demo.zip"));
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out, "");

    items.push_back({test::sjis("体験版") + "/other.zp7", faulty});
    ASSERT_TRUE(test::writeArchive(test::ArchiveKind::Zip, dir.file("two.zip"), items, why)) << why;
    run = runCheck(dir.file("two.zip"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, dir.file("two.zip") +
                           "/体験版/other.zp7:8: page \"_nowhere\" of book \"_system\" does not "
                           "exist (Move.PageName)\n");

    test::writeFile(dir.file("notes.txt"), "x");
    run = runCheck(dir.path());
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.out.find("no story found"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace zarvo

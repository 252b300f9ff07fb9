// Stories read straight from archives and disc images: the demo plays from each format exactly
// as from its folder, and hostile archives are refused or lose only their bad entries.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "backends/archive/archive_file_system.hpp"
#include "backends/headless/headless_run.hpp"
#include "support/archive_files.hpp"
#include "support/memory_file_system.hpp"
#include "support/temp_dir.hpp"

namespace zarvo::test {
namespace {

namespace fs = std::filesystem;
using platform::ArchiveError;
using platform::ArchiveErrorKind;
using platform::ArchiveFileSystem;

// What a run of the demo leaves: every output file, byte for byte.
struct Outcome {
    int status = -1;
    std::string trace, dump, end, message, menu;
};

Outcome playDemo(const std::string& project, const std::string& out,
                 platform::FileSystem* files) {
    fs::create_directories(out);
    HeadlessOptions options;
    options.projectPath = project;
    options.programDir = ZARVO_PROGRAM_DIR;
    options.tracePath = out + "/trace.txt";
    options.dumpPath = out + "/dump.txt";
    options.shotPath = out + "/end.png";
    options.quiet = true;
    options.files = files;
    // run-demo's events (scripts/demo-events).
    std::string events;
    for (int i = 1; i <= 80; ++i) events += std::to_string(i * 2500) + " click 320 180\n";
    events += "3000 shot " + out + "/message.png\n9000 shot " + out + "/menu.png\n";
    std::string error;
    EXPECT_TRUE(platform::parseEvents(events, options.events, error)) << error;
    Outcome o;
    o.status = runHeadless(options);
    for (auto [name, field] : {std::pair{"trace.txt", &o.trace}, {"dump.txt", &o.dump},
                               {"end.png", &o.end}, {"message.png", &o.message},
                               {"menu.png", &o.menu}})
        if (fs::exists(out + "/" + name)) *field = readFile(out + "/" + name);
    return o;
}

const char* extensionOf(ArchiveKind kind) {
    switch (kind) {
        case ArchiveKind::SevenZip: return ".7z";
        case ArchiveKind::Iso:
        case ArchiveKind::IsoJoliet: return ".iso";
        case ArchiveKind::Lzh: return ".lzh";
        case ArchiveKind::Cab: return ".cab";
        default: return ".zip";
    }
}

TEST(ArchiveStory, TheDemoPlaysFromEveryFormatAsFromItsFolder) {
    TempDir dir;
    fs::copy(ZARVO_DEMO_DIR, dir.file("plain"));
    const Outcome plain = playDemo(dir.file("plain/demo.zp7"), dir.file("out-plain"), nullptr);
    ASSERT_EQ(plain.status, kExitEnded);
    ASSERT_NE(plain.trace.find("スタートブック/効果#"), std::string::npos);
    ASSERT_FALSE(plain.end.empty());

    // The folder holding the story has a Japanese name where the format can carry one: as code
    // page 932 bytes in a zip without the UTF-8 flag and in Rock Ridge, as Unicode in 7z and
    // Joliet. The Java lha and gcab take names from the locale, so theirs stay ASCII.
    const std::string folderUtf8 = "デモ";
    const std::string folderSjis = sjis(folderUtf8);
    struct Case {
        ArchiveKind kind;
        std::string stored;  // the folder's name as stored
        std::string read;    // as the player sees it
    };
    const std::vector<Case> cases = {
        {ArchiveKind::Zip, folderSjis, folderUtf8},
        {ArchiveKind::SevenZip, folderUtf8, folderUtf8},
        {ArchiveKind::Lzh, "demo", "demo"},
        {ArchiveKind::Cab, "demo", "demo"},
        {ArchiveKind::Iso, folderSjis, folderUtf8},
        {ArchiveKind::IsoJoliet, folderUtf8, folderUtf8},
    };
    std::vector<std::string> missing;
    for (const Case& c : cases) {
        SCOPED_TRACE(archiveKindName(c.kind));
        const std::string archive = dir.file(std::string("demo-") + archiveKindName(c.kind) +
                                             extensionOf(c.kind));
        std::string why;
        if (!writeArchive(c.kind, archive, folderItems(ZARVO_DEMO_DIR, c.stored + "/"), why)) {
            ASSERT_THAT(why, ::testing::HasSubstr("not installed"));
            missing.push_back(why);
            continue;
        }
        EXPECT_TRUE(platform::looksLikeArchive(localFiles(), archive));
        if (c.kind == ArchiveKind::Zip) {  // the name is stored as code page 932 bytes
            EXPECT_NE(readFile(archive).find(folderSjis + "/demo.zp7"), std::string::npos);
        }
        ArchiveError error;
        auto files = ArchiveFileSystem::open(localFiles(), archive, error);
        ASSERT_TRUE(files) << archiveErrorName(error.kind) << ": " << error.detail;
        EXPECT_THAT(files->skipped(), ::testing::IsEmpty());
        const Outcome o = playDemo(archive + "/" + c.read + "/demo.zp7",
                                   dir.file(std::string("out-") + archiveKindName(c.kind)),
                                   files.get());
        EXPECT_EQ(o.status, plain.status);
        EXPECT_EQ(o.trace, plain.trace);
        EXPECT_EQ(o.dump, plain.dump);
        EXPECT_TRUE(o.end == plain.end && o.message == plain.message && o.menu == plain.menu)
            << "the screens differ";

        // The same archive inside a zip, as it was downloaded: one level down, a folder too.
        if (c.kind != ArchiveKind::Lzh) continue;
        const std::string outer = dir.file("download.zip");
        ASSERT_TRUE(writeArchive(ArchiveKind::Zip, outer, {{"demo.lzh", readFile(archive)}}, why))
            << why;
        auto outerFiles = ArchiveFileSystem::open(localFiles(), outer, error);
        ASSERT_TRUE(outerFiles);
        EXPECT_TRUE(outerFiles->directoryExists(outer + "/demo.lzh"));
        const Outcome nested =
            playDemo(outer + "/demo.lzh/demo/demo.zp7", dir.file("out-nested"), outerFiles.get());
        EXPECT_EQ(nested.trace, plain.trace);
        EXPECT_TRUE(nested.end == plain.end) << "the screens differ";
    }
    if (!missing.empty()) GTEST_SKIP() << ::testing::PrintToString(missing);
}

}  // namespace
}  // namespace zarvo::test

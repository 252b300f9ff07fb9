// Stories read straight from archives and disc images: the demo plays from each format exactly
// as from its folder, and hostile archives are refused or lose only their bad entries.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

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

Outcome playDemo(const std::string& project, const std::string& out, platform::FileSystem* files) {
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
    for (auto [name, field] : {std::pair{"trace.txt", &o.trace},
                               {"dump.txt", &o.dump},
                               {"end.png", &o.end},
                               {"message.png", &o.message},
                               {"menu.png", &o.menu}})
        if (fs::exists(out + "/" + name)) *field = readFile(out + "/" + name);
    return o;
}

const char* extensionOf(ArchiveKind kind) {
    switch (kind) {
        case ArchiveKind::SevenZip:
            return ".7z";
        case ArchiveKind::Iso:
        case ArchiveKind::IsoJoliet:
            return ".iso";
        case ArchiveKind::Lzh:
            return ".lzh";
        case ArchiveKind::Cab:
            return ".cab";
        default:
            return ".zip";
    }
}

TEST(ArchiveStory, TheDemoPlaysFromEveryFormatAsFromItsFolder) {
    TempDir dir;
    fs::copy(ZARVO_DEMO_DIR, dir.file("plain"), fs::copy_options::recursive);  // as archived
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
        const std::string archive =
            dir.file(std::string("demo-") + archiveKindName(c.kind) + extensionOf(c.kind));
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
        const Outcome o =
            playDemo(archive + "/" + c.read + "/demo.zp7",
                     dir.file(std::string("out-") + archiveKindName(c.kind)), files.get());
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

// Bytes of a file as little-endian integers, for damaging archives on purpose.
uint32_t le32At(const std::string& s, size_t at) {
    uint32_t v = 0;
    for (int k = 3; k >= 0; --k) v = v << 8 | static_cast<unsigned char>(s[at + k]);
    return v;
}
void setLe32(std::string& s, size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k) s[at + k] = static_cast<char>(v >> (8 * k));
}
void setBe32(std::string& s, size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k) s[at + 3 - k] = static_cast<char>(v >> (8 * k));
}

std::string skippedText(const ArchiveFileSystem& files) {
    std::string out;
    for (const auto& s : files.skipped())
        out += s.name + ": " + platform::skipReasonName(s.reason) + "\n";
    return out;
}

// An lzh of one stored file, with the name as given (level 0 header): Debian's lha takes names
// from the locale and cannot write code page 932 ones.
std::string lzhOf(const std::string& name, const std::string& data) {
    auto le = [](uint32_t v, int n) {
        std::string out;
        for (int k = 0; k < n; ++k) out += static_cast<char>(v >> (8 * k));
        return out;
    };
    uint32_t crc = 0;
    for (unsigned char c : data) {
        crc ^= c;
        for (int k = 0; k < 8; ++k) crc = crc & 1 ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    std::string header = "-lh0-" + le(static_cast<uint32_t>(data.size()), 4) +
                         le(static_cast<uint32_t>(data.size()), 4) + le(0x5A340217, 4) + "\x20" +
                         std::string(1, '\0') + le(static_cast<uint32_t>(name.size()), 1) + name +
                         le(crc, 2);
    unsigned sum = 0;
    for (unsigned char c : header) sum += c;
    return le(static_cast<uint32_t>(header.size()), 1) + le(sum, 1) + header + data +
           std::string(1, '\0');
}

int64_t peakResidentKb() {
    std::string status = readFile("/proc/self/status");
    size_t at = status.find("VmHWM:");
    return at == std::string::npos ? 0 : std::stoll(status.substr(at + 6));
}

TEST(ArchiveHostile, BadEntriesAreSkippedBadArchivesRefusedAndNothingIsWritten) {
    TempDir dir;
    std::string why;
    // Names that would leave the folder, a link, a duplicate, and good names around them.
    const std::string names = dir.file("names.zip");
    ASSERT_TRUE(writeArchive(ArchiveKind::Zip, names,
                             {{"../evil.txt", "x"},
                              {"/abs.txt", "x"},
                              {"C:/drive.txt", "x"},
                              {"a/../../up.txt", "x"},
                              {"sub\\..\\..\\back.txt", "x"},
                              {"good.txt", "first"},
                              {"good.txt", "second"},
                              {"good.txt/under.txt", "x"},
                              {"link", "", 1, "/etc/passwd"},
                              {sjis("表示.txt"), "trail"},
                              {"Sub/Inner.txt", "inner"}},
                             why))
        << why;
    // A disc image with a link and a folder pointing back at the root.
    const std::string loop = dir.file("loop.iso");
    ASSERT_TRUE(writeArchive(ArchiveKind::Iso, loop,
                             {{"loop/", ""}, {"loop/x.txt", "x"}, {"ln", "", 1, "../../etc"}}, why))
        << why;
    std::string iso = readFile(loop);
    const uint32_t rootLba = le32At(iso, 0x8000 + 156 + 2);
    size_t record = rootLba * 2048;
    record += static_cast<unsigned char>(iso[record]);  // "."
    record += static_cast<unsigned char>(iso[record]);  // ".."
    while (iso.compare(record + 33, 4, "LOOP") != 0 && iso[record] != 0)
        record += static_cast<unsigned char>(iso[record]);
    ASSERT_EQ(iso.compare(record + 33, 4, "LOOP"), 0);
    std::string looped = iso;
    setLe32(looped, record + 2, rootLba);
    setBe32(looped, record + 6, rootLba);
    // Damaged and truncated archives.
    const std::string demo = dir.file("demo.zip");
    ASSERT_TRUE(writeArchive(ArchiveKind::Zip, demo, folderItems(ZARVO_DEMO_DIR), why)) << why;
    std::string zip = readFile(demo);
    std::string damaged = zip;
    const size_t script = damaged.find("demo.zp7");  // the local header's name, data after it
    for (size_t k = 0; k < 64; ++k) damaged[script + 8 + 40 + k] ^= 0x5A;
    const std::string seven = dir.file("demo.7z");
    ASSERT_TRUE(writeArchive(ArchiveKind::SevenZip, seven, folderItems(ZARVO_DEMO_DIR), why));

    // Everything on a file system in memory, so that whatever is written would show.
    MemoryFileSystem memory;
    memory.makeDirectory("/a");
    memory.bytes("/a/names.zip") = readFile(names);
    memory.bytes("/a/loop.iso") = iso;
    memory.bytes("/a/looped.iso") = looped;
    memory.bytes("/a/damaged.zip") = damaged;
    memory.bytes("/a/half.zip") = zip.substr(0, zip.size() / 2);
    std::string sevenBytes = readFile(seven);
    memory.bytes("/a/half.7z") = sevenBytes.substr(0, sevenBytes.size() / 2);
    memory.bytes("/a/text.zip") = "just text, no archive";
    memory.bytes("/a/names.lzh") = lzhOf(sjis("デモ\\表示.txt"), "lzh");
    const std::set<std::string> before = memory.fileNames();

    ArchiveError error;
    auto files = ArchiveFileSystem::open(memory, "/a/names.zip", error);
    ASSERT_TRUE(files) << error.detail;
    EXPECT_EQ(skippedText(*files),
              "../evil.txt: unsafe name\n/abs.txt: unsafe name\nC:/drive.txt: unsafe name\n"
              "a/../../up.txt: unsafe name\nsub/../../back.txt: unsafe name\n"
              "good.txt: duplicate\ngood.txt/under.txt: duplicate\nlink: link\n");
    std::vector<std::string> listed;
    ASSERT_TRUE(files->listDirectory("/a/names.zip", listed));
    EXPECT_THAT(listed, ::testing::ElementsAre("Sub", "good.txt", "表示.txt"));
    std::string bytes;
    EXPECT_TRUE(files->readFile("/a/names.zip/good.txt", bytes) && bytes == "first");
    // Script names resolve inside as in a folder: "\\", letter case, a 0x5C trail byte.
    const std::string inner = files->resolve("/a/names.zip", "SUB\\inner.TXT");
    EXPECT_EQ(inner, "/a/names.zip/Sub/Inner.txt");
    EXPECT_TRUE(files->readFile(inner, bytes) && bytes == "inner");
    const std::string trail = files->resolve("/a/names.zip", sjis("表示.txt"));
    EXPECT_TRUE(files->readFile(trail, bytes) && bytes == "trail") << trail;
    // Nothing inside can be written, made, moved or removed.
    EXPECT_FALSE(files->writeFile("/a/names.zip/new.txt", "x"));
    EXPECT_FALSE(files->writeFile("/a/names.zip/good.txt", "x"));
    EXPECT_FALSE(files->makeDirectory("/a/names.zip/new"));
    EXPECT_FALSE(files->remove("/a/names.zip/good.txt"));
    EXPECT_FALSE(files->rename("/a/names.zip/good.txt", "/a/names.zip/moved.txt"));
    EXPECT_FALSE(files->copyFile("/a/text.zip", "/a/names.zip/copy.txt"));
    EXPECT_FALSE(files->openForUpdate("/a/names.zip/good.txt"));
    EXPECT_EQ(memory.fileNames(), before);

    // Code page 932 in an lzh, a 0x5C trail byte in "表".
    auto lzh = ArchiveFileSystem::open(memory, "/a/names.lzh", error);
    ASSERT_TRUE(lzh) << error.detail;
    EXPECT_TRUE(lzh->readFile(lzh->resolve("/a/names.lzh", sjis("デモ\\表示.txt")), bytes) &&
                bytes == "lzh");
    EXPECT_TRUE(lzh->exists("/a/names.lzh/デモ/表示.txt"));

    auto image = ArchiveFileSystem::open(memory, "/a/loop.iso", error);
    ASSERT_TRUE(image) << error.detail;
    EXPECT_EQ(skippedText(*image), "ln: link\n");
    EXPECT_TRUE(image->exists("/a/loop.iso/loop/x.txt"));
    // A damaged entry fails alone; the others still read.
    auto broken = ArchiveFileSystem::open(memory, "/a/damaged.zip", error);
    ASSERT_TRUE(broken) << error.detail;
    EXPECT_FALSE(broken->readFile("/a/damaged.zip/demo.zp7", bytes));
    EXPECT_TRUE(broken->readFile("/a/damaged.zip/window.png", bytes));
    EXPECT_EQ(bytes, readFile(std::string(ZARVO_DEMO_DIR) + "/window.png"));

    for (auto [path, kind] : {std::pair{"/a/looped.iso", ArchiveErrorKind::Damaged},
                              {"/a/half.zip", ArchiveErrorKind::Damaged},
                              {"/a/half.7z", ArchiveErrorKind::Damaged},
                              {"/a/text.zip", ArchiveErrorKind::NotAnArchive},
                              {"/a/none.zip", ArchiveErrorKind::NotFound}}) {
        error = {};
        EXPECT_FALSE(ArchiveFileSystem::open(memory, path, error)) << path;
        EXPECT_EQ(archiveErrorName(error.kind), archiveErrorName(kind))
            << path << ": " << error.detail;
        EXPECT_FALSE(error.detail.empty());
    }
    EXPECT_EQ(memory.fileNames(), before);
}

TEST(ArchiveHostile, AnEntryInflatingFarBeyondItsDeclaredSizeStopsThere) {
    TempDir dir;
    std::string why;
    const std::string path = dir.file("bomb.zip");
    // 256 MB of zeros, deflated to a quarter of a megabyte, then declared as 1 KB.
    ASSERT_TRUE(writeArchive(ArchiveKind::Zip, path,
                             {{"small.txt", "fine"}, {"bomb.bin", std::string(1 << 20, '\0'), 256}},
                             why))
        << why;
    std::string zip = readFile(path);
    for (const char* signature : {"PK\1\2", "PK\3\4"}) {
        const size_t header = std::string_view(signature) == "PK\1\2" ? 46 : 30;
        const size_t size = std::string_view(signature) == "PK\1\2" ? 24 : 22;
        for (size_t at = zip.find(signature); at != std::string::npos;
             at = zip.find(signature, at + 4))
            if (zip.compare(at + header, 8, "bomb.bin") == 0) setLe32(zip, at + size, 1024);
    }
    writeFile(path, zip);
    ArchiveError error;
    auto files = ArchiveFileSystem::open(localFiles(), path, error);
    ASSERT_TRUE(files) << error.detail;
    const int64_t peak = peakResidentKb();
    std::string bytes;
    EXPECT_FALSE(files->readFile(path + "/bomb.bin", bytes));
    EXPECT_FALSE(files->openRead(path + "/bomb.bin"));
    EXPECT_LT(peakResidentKb() - peak, 64 * 1024);
    EXPECT_TRUE(files->readFile(path + "/small.txt", bytes) && bytes == "fine");
}

}  // namespace
}  // namespace zarvo::test

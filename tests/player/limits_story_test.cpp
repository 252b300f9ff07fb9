// Sizes that files declare never decide what is allocated: whatever goes past the limits is
// refused with the message a damaged file gets, before anything is allocated for it. Nothing
// here runs out of memory, so a build that cannot catch an allocation failure (the web build)
// passes as this one does.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include "archive/package.hpp"
#include "base/limits.hpp"
#include "support/player.hpp"
#include "support/story.hpp"
#include "zarvo/texts.hpp"

namespace zarvo::test {
namespace {

using ::testing::HasSubstr;

void putLe(std::string& s, size_t at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s[at + size_t(i)] = char(v >> 8 * i);
}

// A BMP file header and information header for width x height at 24 bits, and a few bytes.
std::string bmpDeclaring(uint32_t width, uint32_t height) {
    std::string b(54 + 16, '\0');
    b[0] = 'B', b[1] = 'M';
    putLe(b, 2, uint32_t(b.size()), 4);
    putLe(b, 10, 54, 4);
    putLe(b, 14, 40, 4);
    putLe(b, 18, width, 4);
    putLe(b, 22, height, 4);
    putLe(b, 26, 1, 2);
    putLe(b, 28, 24, 2);
    return b;
}

std::string chunk(const std::string& type, const std::string& data) {
    std::string c(4, '\0');
    for (int i = 0; i < 4; ++i) c[size_t(i)] = char(data.size() >> (24 - 8 * i));
    c += type + data;
    const uint32_t crc =
        uint32_t(crc32(0, reinterpret_cast<const Bytef*>(c.data() + 4), uInt(c.size() - 4)));
    for (int i = 0; i < 4; ++i) c += char(crc >> (24 - 8 * i));
    return c;
}

// A PNG whose header declares width x height (RGB, 8 bits) with one tiny data chunk.
std::string pngDeclaring(uint32_t width, uint32_t height) {
    std::string ihdr(13, '\0');
    for (int i = 0; i < 4; ++i) {
        ihdr[size_t(i)] = char(width >> (24 - 8 * i));
        ihdr[size_t(4 + i)] = char(height >> (24 - 8 * i));
    }
    ihdr[8] = 8, ihdr[9] = 2;
    return std::string("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", ihdr) +
           chunk("IDAT", std::string("\x78\x9c\x03\x00\x00\x00\x00\x01", 8)) + chunk("IEND", "");
}

// The record of entry `name` in a record-chain package, rewritten to declare other sizes.
void declareSizes(const std::string& path, const std::string& name, uint32_t stored,
                  uint32_t decoded) {
    std::string bytes = readFile(path);
    const size_t at = bytes.find(name) - 7;
    const auto* f = reinterpret_cast<const uint8_t*>(bytes.data() + at + 7 + name.size());
    uint8_t h[package_format::kRecordFixed + kPackageMaxName];
    const size_t n = package_format::encodeRecord(
        name, package_format::be32(f), package_format::be32(f + 4),
        stored ? stored : package_format::be32(f + 8), decoded, package_format::be32(f + 16), h);
    bytes.replace(at, n, reinterpret_cast<const char*>(h), n);
    writeFile(path, bytes);
}

std::string drawing(const std::string& file) {
    return "GraphicDraw.FileName=" + file + "\n@GraphicDraw\n";
}

std::string story(const std::string& body) {
    return storyScript("<Book=\"スタートブック\">\n<Page=\"スタートページ\">\n" + body +
                       "ValueCtrl.ValueVar=%done%\nValueCtrl.LeftValue=1\n@ValueCtrl\n"
                       "<Page End>\n<Book End>\n");
}

TEST(Limits, DeclaredSizesPastTheLimitsAreRefusedWithTheUsualMessage) {
    StoryBuilder s;
    // Pictures of 20000 x 20000 on disk: each draw fails as a damaged picture does, and the
    // story runs on.
    writeFile(s.dir.file("huge.bmp"), bmpDeclaring(20000, 20000));
    writeFile(s.dir.file("huge.png"), pngDeclaring(20000, 20000));
    writeFile(s.dir.file("damaged.png"), "\x89PNG\r\n\x1a\n and nothing else");
    StoryRun r = s.run(s.writeScript(story(drawing("damaged.png"))));
    ASSERT_FALSE(r.boxes.empty());
    for (const char* name : {"huge.bmp", "huge.png"}) {
        std::vector<std::string> usual = r.boxes;
        for (std::string& box : usual) box.replace(box.find("damaged.png"), 11, name);
        StoryRun huge = s.run(s.writeScript(story(drawing(name))));
        EXPECT_EQ(huge.boxes, usual);
        EXPECT_THAT(huge.userDump(), ::testing::Contains("%done%=1")) << name;
    }

    // A package whose picture entries declare 4 GB: a compressed one is read as far as it
    // inflates, so it shows; a plain one would reach past the end of the file, so the file is
    // no package (and is read as the script it then is).
    s.writePicture("pic.png", 8, 8, 0x0000FF);
    const std::string picture = readFile(s.dir.file("pic.png"));
    const std::string path = s.dir.file("game.zp7");
    for (bool compressed : {true, false}) {
        PackageWriter w;
        initWriter(w);
        setMagic(w, "QZ7PKG");
        ASSERT_TRUE(createPackage(localFiles(), w, path));
        w.compressed = compressed;
        writeStreamEntry(w, sjis(story(drawing("big.png"))), "zarvo.zf7");
        writeStreamEntry(w, picture, "big.png");
        ASSERT_TRUE(finishPackage(w));
        declareSizes(path, "big.png", compressed ? 0 : 0xFFFFFFF0u, 0xFFFFFFF0u);
        r = s.run(path);
        if (compressed) {
            EXPECT_TRUE(r.boxes.empty());
            EXPECT_EQ(r.shot.getPixel(2, 2), 0x0000FFu);
        } else {
            EXPECT_FALSE(r.boxes.empty());
            EXPECT_EQ(r.shot.getPixel(2, 2), 0xFFFFFFu);
        }
    }

    // A save whose variables section inflates past the limit is a damaged save: said so, and
    // nothing of it is taken.
    TestPlayer p(
        s.writeScript(story("ValueCtrl.ValueVar=%done%\nValueCtrl.LeftValue=1\n@ValueCtrl\n"
                            "Wait.InputBreak=1\n@Wait\n")),
        s.programDir);
    p.run();
    const std::string good = p.save().saveFilePath("good.sav");
    ASSERT_TRUE(p.save().autoSave(good));
    const std::string bad = s.dir.file("story/bad.sav");
    {
        PackageReader reader;
        ASSERT_TRUE(openPackage(localFiles(), good, reader));
        PackageWriter w;
        initWriter(w);
        setMagic(w, "QZ7SAVE");
        ASSERT_TRUE(createPackage(localFiles(), w, bad));
        w.compressed = true;
        for (int i = 0; i < reader.count; ++i) {
            std::string bytes;
            readEntryIndexToStream(
                [&](const char* d, size_t n) { return bytes.append(d, n), true; }, i, reader);
            const std::string name = getEntry(reader, i)->name;
            // Sound lines, only too many of them.
            while (name == "valuevar.info" && bytes.size() <= kMaxTextBytes)
                bytes.append(64 * 1024 / 8, 'x').append("=1\r\n");
            writeStreamEntry(w, bytes, name);
        }
        ASSERT_TRUE(finishPackage(w));
    }
    p.vars().setValue("%done%", 7);
    p.dialogs.clear();
    EXPECT_FALSE(p.save().autoLoad(bad));
    ASSERT_EQ(p.dialogs.shown().size(), 1u);
    EXPECT_THAT(p.dialogs.shown()[0].text, HasSubstr(texts::kSaveDamaged));
    EXPECT_THAT(p.dialogs.shown()[0].text,
                HasSubstr(std::string(texts::kSaveDamagedEntry) + "valuevar.info"));
    EXPECT_EQ(p.vars().getValueVar("done"), 7);
    EXPECT_TRUE(p.save().autoLoad(good));
    EXPECT_EQ(p.vars().getValueVar("done"), 1);
}

}  // namespace
}  // namespace zarvo::test

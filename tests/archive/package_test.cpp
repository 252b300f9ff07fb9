#include "archive/package.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <random>
#include <set>

#include "archive/package_fixtures.hpp"
#include "support/memory_file_system.hpp"
#include "support/temp_dir.hpp"

namespace zarvo {
namespace {

using test::readFile;
using test::writeFile;

// Most tests keep their packages in memory; the write-error test needs a real disk limit.
struct MemoryFolder {
    std::string file(std::string_view name) const { return std::string(name); }
    std::string read(const std::string& path) { return files.bytes(path); }
    void write(const std::string& path, std::string_view bytes) { files.bytes(path) = bytes; }
    test::MemoryFileSystem files;
};

std::string textLike(size_t n) {
    static const char* words[] = {"zarvo ", "page ", "layer ", "message\r\n", "@Wait ", "book "};
    std::mt19937 gen(7);
    std::string s;
    while (s.size() < n) s += words[gen() % 6];
    s.resize(n);
    return s;
}

std::string randomBytes(size_t n, unsigned seed = 1) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(gen());
    return s;
}

std::string readNamed(PackageReader& r, std::string_view name) {
    std::string s;
    EXPECT_TRUE(readEntryToStream(s, name, r)) << name;
    return s;
}

bool writeOne(platform::FileSystem& files, const std::string& path, std::string_view name,
              std::string_view data) {
    PackageWriter w;
    setMagic(w, "QZ7SAVE");
    return createPackage(files, w, path) && writeStreamEntry(w, data, name) && finishPackage(w);
}

TEST(PackageChecksum, RotatesAndXorsTheSignExtendedByte) {
    EXPECT_EQ(packageChecksum(0, "\x01\x80", 2), 0xFFFFFF82u);
    EXPECT_EQ(packageChecksumInt(0, 0x80), 0xFFFFFC07u);  // fed little-endian: 80 00 00 00
    EXPECT_EQ(packageChecksumByte(0x80000000u, 0), 1u);
}

TEST(PackageRoundTrip, EveryFlagCombination) {
    MemoryFolder dir;
    const std::string text = textLike(300000), binary = randomBytes(5000);
    for (int combo = 0; combo < 8; ++combo) {
        SCOPED_TRACE(combo);
        const bool compressed = combo & 1, scrambled = combo & 2, autoExtract = combo & 4;
        const std::string path = dir.file("p" + std::to_string(combo));
        PackageWriter w;
        setMagic(w, "QZ7PKG");
        w.compressed = compressed;
        w.scrambled = scrambled;
        w.autoExtract = autoExtract;
        w.reserved = w.flagD = combo == 7;
        ASSERT_TRUE(createPackage(dir.files, w, path));
        ASSERT_TRUE(writeStreamEntry(w, text, "text.txt"));
        ASSERT_TRUE(writeStreamEntry(w, "", "empty"));
        ASSERT_TRUE(writeStreamEntry(w, binary, "bin\\data.bin"));
        ASSERT_TRUE(finishPackage(w));
        ASSERT_TRUE(hasMagic(dir.files, path, "QZ7PKG"));

        PackageReader r;
        ASSERT_TRUE(openPackage(dir.files, path, r));
        ASSERT_EQ(r.count, 3);
        EXPECT_EQ(readNamed(r, "TEXT.TXT"), text);
        EXPECT_EQ(readNamed(r, "empty"), "");
        EXPECT_EQ(readNamed(r, "bin\\data.bin"), binary);
        const std::string file = dir.read(path);
        for (const PackageEntry& e : r.entries) {
            EXPECT_EQ(e.compressed, compressed);
            EXPECT_EQ(e.scrambled, scrambled);
            EXPECT_EQ(e.autoExtract, autoExtract);
            EXPECT_EQ(e.reserved, combo == 7);
            EXPECT_EQ(e.flagD, combo == 7);
            // On disk: scrambling is applied after deflate, and the data checksum covers the
            // unscrambled stored bytes.
            std::string stored = file.substr(static_cast<size_t>(e.offset), e.storedSize);
            for (size_t k = 0; scrambled && k < stored.size(); ++k)
                stored[k] = static_cast<char>(stored[k] ^ r.header.scrambleTable[k % 256]);
            EXPECT_EQ(packageChecksum(0, stored.data(), stored.size()), e.dataChecksum);
            if (compressed && !stored.empty()) {
                EXPECT_EQ(static_cast<uint8_t>(stored[0]), 0x78);
            }
        }
        EXPECT_EQ(r.entries[0].decodedSize, text.size());
        if (compressed) {
            EXPECT_LT(r.entries[0].storedSize, text.size() / 3);
        } else {
            EXPECT_EQ(r.entries[0].storedSize, text.size());
        }
    }
}

TEST(PackageFormat, RecordFieldsAreBigEndianAndA255ByteNameFits) {
    MemoryFolder dir;
    const std::string name(255, 'n'), path = dir.file("p");
    PackageWriter w;
    w.compressed = true;
    ASSERT_TRUE(createPackage(dir.files, w, path));
    EXPECT_FALSE(beginEntry(w, name + "x"));
    ASSERT_TRUE(writeStreamEntry(w, "abc", name));
    ASSERT_TRUE(finishPackage(w));
    PackageReader r;
    ASSERT_TRUE(openPackage(dir.files, path, r));
    ASSERT_EQ(r.count, 1);
    EXPECT_EQ(r.entries[0].name, name);
    EXPECT_EQ(r.entries[0].offset, 536 + 282);
    const std::string f = dir.read(path);
    EXPECT_EQ(f.substr(536, 2), "LI");
    EXPECT_EQ(static_cast<uint8_t>(f[542]), 255);
    EXPECT_EQ(f.substr(543 + 255, 4), std::string("\x80\0\0\0", 4));  // flags word
    EXPECT_EQ(f.substr(543 + 267, 4), std::string("\0\0\0\3", 4));    // decoded size
    EXPECT_EQ(f.substr(f.size() - 2), "EP");
}

TEST(PackageFormat, StubMarkerNeedsMoreThan200Dashes) {
    MemoryFolder dir;
    const std::string pkg = test::chainPackage({{"a", 0, "hello", 0}});
    for (size_t dashes : {201u, 255u, 200u}) {
        dir.write(dir.file("s"), test::stubbed(pkg, dashes));
        PackageReader r;
        ASSERT_EQ(openPackage(dir.files, dir.file("s"), r), dashes > 200) << dashes;
        if (dashes > 200) {
            EXPECT_EQ(readNamed(r, "a"), "hello");
        }
    }
    dir.write(dir.file("s"), "MZ" + std::string(300, 'x'));
    PackageReader r;
    EXPECT_FALSE(openPackage(dir.files, dir.file("s"), r));
    EXPECT_FALSE(r.isOpen());
}

TEST(PackageFormat, ChecksumMismatchesFailToOpen) {
    MemoryFolder dir;
    std::string pkg = test::chainPackage({{"name", 0, "data", 0}});
    PackageReader r;
    dir.write(dir.file("p"), pkg);
    ASSERT_TRUE(openPackage(dir.files, dir.file("p"), r));
    std::string header = pkg;
    header[100] ^= 1;  // comment byte
    dir.write(dir.file("p"), header);
    EXPECT_FALSE(openPackage(dir.files, dir.file("p"), r));
    std::string record = pkg;
    record[536 + 7] ^= 1;  // name byte
    dir.write(dir.file("p"), record);
    EXPECT_FALSE(openPackage(dir.files, dir.file("p"), r));
    // The data checksum is informational: damaged plain data still reads.
    std::string data = pkg;
    data[data.size() - 3] = 'X';
    dir.write(dir.file("p"), data);
    ASSERT_TRUE(openPackage(dir.files, dir.file("p"), r));
    EXPECT_EQ(readNamed(r, "name"), "datX");
}

TEST(PackageFormat, DirectoryLayoutInBothPlacements) {
    MemoryFolder dir;
    const std::string text = textLike(20000);
    const std::string pkg = test::directoryPackage({
        {"plain.txt", 0, 0x01000000, "plain"},
        {"deep.bin", 0x80000000u, 0, test::zlibCompress(text)},
        {"res", 0x02000000, 0, "r"},
    });
    for (const std::string& bytes : {pkg, test::stubbed(pkg)}) {
        dir.write(dir.file("d"), bytes);
        PackageReader r;
        ASSERT_TRUE(openPackage(dir.files, dir.file("d"), r));
        ASSERT_EQ(r.count, 3);
        EXPECT_EQ(readNamed(r, "plain.txt"), "plain");
        EXPECT_EQ(readNamed(r, "DEEP.BIN"), text);
        EXPECT_EQ(readNamed(r, "res"), "r");
        const PackageEntry& p = r.entries[0];
        EXPECT_TRUE(p.autoExtract && p.flagD && !p.reserved && !p.compressed && !p.scrambled);
        EXPECT_EQ(p.decodedSize, 5u);
        EXPECT_TRUE(r.entries[1].compressed);
        EXPECT_EQ(r.entries[1].decodedSize, 0u);
        EXPECT_TRUE(r.entries[2].reserved && !r.entries[2].flagD);
    }
}

TEST(PackageDamage, SizesBeyondTheFileFailToOpen) {
    MemoryFolder dir;
    PackageReader r;
    auto opens = [&](const std::string& bytes) {
        dir.write(dir.file("x"), bytes);
        return openPackage(dir.files, dir.file("x"), r);
    };
    std::string dirPkg = test::directoryPackage({{"a", 0, 0, "abcd"}});
    ASSERT_TRUE(opens(dirPkg));
    for (uint32_t count : {0x7FFFFFFFu, 0x80000000u, 2u}) {
        std::string bad = dirPkg;
        for (int i = 0; i < 4; ++i) bad[264 + i] = static_cast<char>(count >> (8 * i));
        EXPECT_FALSE(opens(bad)) << count;
    }
    std::string farOffset = dirPkg;
    farOffset[268 + 264] = 1;  // offset 1 + size 4 runs one byte past the end
    EXPECT_FALSE(opens(farOffset));
    // A record whose stored size claims more than the file holds.
    std::string chain = test::chainPackage({{"a", 0, "abc", 0}});
    EXPECT_FALSE(opens(chain.substr(0, 536 + 28 + 1)));
    EXPECT_FALSE(opens(chain.substr(0, chain.size() - 1)));  // no end marker
    EXPECT_FALSE(opens(test::chainPackage({})));             // no entries
    EXPECT_FALSE(r.isOpen());
}

TEST(PackageDamage, TruncatedAndBitFlippedPackagesNeverReadOutOfBounds) {
    MemoryFolder dir;
    const std::string path = dir.file("p");
    PackageWriter w;
    ASSERT_TRUE(createPackage(dir.files, w, path));
    ASSERT_TRUE(writeStreamEntry(w, textLike(3000), "plain"));
    w.compressed = w.scrambled = true;
    ASSERT_TRUE(writeStreamEntry(w, textLike(3000), "packed"));
    ASSERT_TRUE(finishPackage(w));
    const std::string good = dir.read(path);
    auto readEverything = [&](const std::string& bytes) {
        dir.write(path, bytes);
        PackageReader r;
        if (!openPackage(dir.files, path, r)) return;
        char buf[700];
        for (int i = 0; i < r.count; ++i) {
            ASSERT_TRUE(selectEntry(r, i));
            size_t total = 0, n;
            while ((n = readEntry(buf, 1, sizeof buf, r)) > 0) total += n;
            // A damaged stream may inflate past its recorded size, never past what deflate
            // can expand its stored bytes to.
            const PackageEntry* e = getEntry(r, i);
            EXPECT_LE(total, e->compressed ? e->storedSize * 1032u + 64 : e->storedSize);
        }
    };
    for (size_t len = 0; len < good.size(); len += 7) {
        readEverything(good.substr(0, len));
        PackageReader r;
        EXPECT_FALSE(openPackage(dir.files, path, r)) << len;
    }
    for (size_t pos = 0; pos < good.size(); pos += 3) {
        std::string bad = good;
        bad[pos] = static_cast<char>(bad[pos] ^ (1 << (pos % 8)));
        readEverything(bad);
    }
}

TEST(PackageDamage, ZlibErrorSpoilsOnlyItsOwnEntry) {
    MemoryFolder dir;
    const std::string text = textLike(50000), packed = test::zlibCompress(text);
    std::string broken = packed;
    broken[packed.size() / 2] ^= 0x55;
    dir.write(dir.file("p"), test::chainPackage({
                                 {"broken", kPackageFlagCompressed, broken, 50000},
                                 {"cut", kPackageFlagCompressed, packed.substr(0, 300), 50000},
                                 {"good", kPackageFlagCompressed, packed, 50000},
                             }));
    PackageReader r;
    ASSERT_TRUE(openPackage(dir.files, dir.file("p"), r));
    for (int round = 0; round < 2; ++round) {
        std::string s;
        EXPECT_FALSE(readEntryToStream(s, "broken", r));
        EXPECT_TRUE(entryFailed(r));
        EXPECT_EQ(readEntry(s.data(), 1, 1, r), 0u);
        EXPECT_EQ(readNamed(r, "good"), text);
        // A stream cut short ends the read instead of waiting for more input.
        ASSERT_TRUE(selectEntryByName(r, "cut"));
        std::string out(60000, '\0');
        size_t n = readEntry(out.data(), 1, out.size(), r);
        EXPECT_LT(n, text.size());
        EXPECT_EQ(out.substr(0, n), text.substr(0, n));
        EXPECT_EQ(readEntry(out.data(), 1, out.size(), r), 0u);
        EXPECT_TRUE(entryFailed(r));
    }
}

TEST(PackageRead, RecordedDecodedSizeIsOnlyAHint) {
    MemoryFolder dir;
    const std::string text = textLike(50000), packed = test::zlibCompress(text);
    dir.write(dir.file("p"), test::chainPackage({
                                 {"zero", kPackageFlagCompressed, packed, 0},
                                 {"small", kPackageFlagCompressed, packed, 100},
                                 {"large", kPackageFlagCompressed, packed, 4000000000u},
                             }));
    PackageReader r;
    ASSERT_TRUE(openPackage(dir.files, dir.file("p"), r));
    for (std::string_view name : {"zero", "small", "large"}) EXPECT_EQ(readNamed(r, name), text);
    std::string streamed;
    EXPECT_TRUE(readEntryIndexToStream(
        [&streamed](const char* data, size_t n) {
            streamed.append(data, n);
            return true;
        },
        1, r));
    EXPECT_EQ(streamed, text);
}

TEST(PackageDamage, AnEntryThatInflatesWithoutEndFailsAtTheLimit) {
    MemoryFolder dir;
    // A small limit keeps the test quick; the player's own is kMaxEntryBytes.
    const size_t mib = size_t{1} << 20, limit = 16 * mib, over = 24;
    dir.write(dir.file("p"), test::chainPackage({
                                 {"bomb", kPackageFlagCompressed, test::inflatingBomb("", over),
                                  static_cast<uint32_t>(over * mib)},
                                 {"three", kPackageFlagCompressed, test::inflatingBomb("x", 3), 0},
                                 {"good", 0, "GOOD", 0},
                             }));
    PackageReader r;
    ASSERT_TRUE(openPackage(dir.files, dir.file("p"), r));
    r.entryLimit = limit;
    std::string s = "kept";
    EXPECT_FALSE(readEntryToStream(s, "bomb", r));
    EXPECT_TRUE(entryFailed(r));
    EXPECT_EQ(s, "kept");
    EXPECT_EQ(readNamed(r, "good"), "GOOD");
    EXPECT_EQ(readNamed(r, "three"), "x" + std::string(3 * mib, '\0'));
    // Extraction stops there too, having passed on no more than the limit.
    uint64_t passed = 0;
    EXPECT_FALSE(readEntryIndexToStream(
        [&passed](const char*, size_t n) {
            passed += n;
            return true;
        },
        0, r));
    EXPECT_EQ(passed, limit);
    // A caller that needs only the start reads no further.
    ASSERT_TRUE(readEntryToStream(s, "bomb", r, 1000));
    EXPECT_EQ(s, std::string(1000, '\0'));
}

TEST(PackageRead, StopsExactlyAtTheEntrysEnd) {
    MemoryFolder dir;
    const std::string block = randomBytes(4096);
    dir.write(dir.file("p"), test::chainPackage({{"block", 0, block, 0}, {"next", 0, "NEXT", 0}}));
    PackageReader r;
    ASSERT_TRUE(openPackage(dir.files, dir.file("p"), r));
    ASSERT_TRUE(selectEntryByName(r, "block"));
    char buf[2048];
    std::string got;
    std::vector<size_t> sizes;
    for (;;) {
        size_t n = readEntry(buf, 1, sizeof buf, r);
        sizes.push_back(n);
        got.append(buf, n);
        if (n == 0) break;
    }
    EXPECT_EQ(sizes, (std::vector<size_t>{2048, 2048, 0}));
    EXPECT_EQ(got, block);
    // A bigger request than the entry holds: only the entry's bytes, in whole items.
    ASSERT_TRUE(selectEntry(r, 1));
    char wide[16] = {};
    EXPECT_EQ(readEntry(wide, 3, 5, r), 1u);
    EXPECT_EQ(std::string(wide, 4), "NEXT");
    EXPECT_FALSE(selectEntry(r, 2));
    EXPECT_EQ(getEntry(r, -1), nullptr);
    EXPECT_EQ(findEntry(r, "missing"), -1);
}

TEST(PackageAppend, LaterEntriesShadowEarlierOnes) {
    MemoryFolder dir;
    const std::string path = dir.file("save");
    {
        PackageWriter w;
        setMagic(w, "QZ7SAVE");
        ASSERT_TRUE(createPackage(dir.files, w, path));
        ASSERT_TRUE(writeStringsEntry(w, {"old"}, "stack.info"));
        ASSERT_TRUE(writeStringsEntry(w, {"keep", "lines"}, "layer.info"));
        ASSERT_TRUE(writeStringsEntry(w, {"same file"}, "Stack.Info"));
        ASSERT_TRUE(finishPackage(w));
    }
    PackageWriter w;
    ASSERT_TRUE(appendPackage(dir.files, w, path));
    w.compressed = w.scrambled = true;  // needs the package's own scramble table
    ASSERT_TRUE(writeStringsEntry(w, {"new", "stack"}, "STACK.INFO"));
    ASSERT_TRUE(writeStreamEntry(w, textLike(10000), "big"));
    ASSERT_TRUE(finishPackage(w));

    PackageReader r;
    ASSERT_TRUE(openPackage(dir.files, path, r));
    ASSERT_EQ(r.count, 5);
    EXPECT_TRUE(hasMagic(dir.files, path, "QZ7SAVE"));
    EXPECT_EQ(findEntry(r, "stack.info"), 3);
    StringList lines;
    ASSERT_TRUE(readEntryToStrings("stack.info", lines, r));
    EXPECT_EQ(lines, (StringList{"new", "stack"}));
    ASSERT_TRUE(readEntryToStrings("layer.info", lines, r));
    EXPECT_EQ(lines, (StringList{"keep", "lines"}));
    EXPECT_EQ(readNamed(r, "big"), textLike(10000));
    EXPECT_FALSE(readEntryToStrings("missing", lines, r));
    EXPECT_EQ(lines, (StringList{"keep", "lines"}));
}

TEST(PackageAppend, RefusesPackagesItCannotExtendSafely) {
    MemoryFolder dir;
    PackageWriter w;
    EXPECT_FALSE(appendPackage(dir.files, w, dir.file("missing")));
    dir.write(dir.file("d"), test::directoryPackage({{"a", 0, 0, "x"}}));
    EXPECT_FALSE(appendPackage(dir.files, w, dir.file("d")));
    dir.write(dir.file("t"), test::chainPackage({{"a", 0, "x", 0}}) + "junk");
    EXPECT_FALSE(appendPackage(dir.files, w, dir.file("t")));
    // An empty package does not open for reading, but entries can be added to it.
    dir.write(dir.file("e"), test::chainPackage({}));
    ASSERT_TRUE(appendPackage(dir.files, w, dir.file("e")));
    ASSERT_TRUE(writeStreamEntry(w, "x", "a"));
    ASSERT_TRUE(finishPackage(w));
    PackageReader r;
    EXPECT_TRUE(openPackage(dir.files, dir.file("e"), r));
}

TEST(PackageWriterSafety, UnfinishedWritesKeepTheOldFile) {
    MemoryFolder dir;
    const std::string path = dir.file("save");
    ASSERT_TRUE(writeOne(dir.files, path, "a", "first"));
    const std::string before = dir.read(path);
    {
        PackageWriter w;
        ASSERT_TRUE(createPackage(dir.files, w, path));
        ASSERT_TRUE(beginEntry(w, "a"));
        EXPECT_FALSE(beginEntry(w, "b"));
    }  // dropped mid-entry
    EXPECT_EQ(dir.read(path), before);
    {
        PackageWriter w;
        ASSERT_TRUE(appendPackage(dir.files, w, path));
        ASSERT_TRUE(writeStreamEntry(w, "more", "b"));
        ASSERT_TRUE(beginEntry(w, "c"));
    }
    EXPECT_EQ(dir.read(path), before);
    EXPECT_EQ(dir.files.fileNames(), std::set<std::string>{path});
    PackageWriter w;
    EXPECT_FALSE(createPackage(dir.files, w, dir.file("no/such/folder/p")));
    EXPECT_FALSE(finishPackage(w));
}

TEST(PackageWriterSafety, WriteErrorsAreReported) {
#ifdef __EMSCRIPTEN__
    GTEST_SKIP() << "no file size limits under WebAssembly";
#endif
    test::TempDir dir;
    const std::string path = dir.file("save");
    ASSERT_TRUE(writeOne(test::localFiles(), path, "a", "first"));
    const std::string before = readFile(path);
    // A file size limit makes writes fail the way a full disk does.
    signal(SIGXFSZ, SIG_IGN);
    rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string big = randomBytes(100000);
    bool created, appended;
    {
        PackageWriter w;
        created = createPackage(test::localFiles(), w, path) && writeStreamEntry(w, big, "big") &&
                  finishPackage(w);
    }
    {
        PackageWriter w;
        appended = appendPackage(test::localFiles(), w, path) && writeStreamEntry(w, big, "big") &&
                   finishPackage(w);
    }
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(created);
    EXPECT_FALSE(appended);
    EXPECT_EQ(readFile(path), before);
}

}  // namespace
}  // namespace zarvo

namespace zarvo {
namespace {

// A write that fails at any byte, in the header, a record, the data, the record header patched
// afterwards or the end marker, leaves the package that was there, and no stray file.
TEST(PackageWriterSafety, AFailedWriteAtAnyPointKeepsTheOldPackage) {
    MemoryFolder dir;
    const std::string path = "save";
    ASSERT_TRUE(writeOne(dir.files, path, "a", "first"));
    const std::string before = dir.read(path);
    const std::string data = randomBytes(70000, 3);  // more than one write chunk
    for (int64_t budget : {0, 100, 536, 600, 66000, 70500, 71000, 200000}) {
        SCOPED_TRACE(budget);
        for (bool append : {false, true}) {
            SCOPED_TRACE(append);
            dir.files.failWritesAfter(budget);
            bool ok;
            {  // the writer rolls back when it goes
                PackageWriter w;
                setMagic(w, "QZ7SAVE");
                ok = (append ? appendPackage(dir.files, w, path)
                             : createPackage(dir.files, w, path)) &&
                     writeStreamEntry(w, data, "big") && writeStreamEntry(w, "tail", "t") &&
                     finishPackage(w);
            }
            dir.files.failWritesAfter(-1);
            PackageReader r;
            ASSERT_TRUE(openPackage(dir.files, path, r));
            if (ok) {
                EXPECT_EQ(readNamed(r, "big"), data);
                EXPECT_EQ(readNamed(r, "t"), "tail");
                ASSERT_TRUE(writeOne(dir.files, path, "a", "first"));
            } else {
                EXPECT_EQ(dir.read(path), before);
            }
            EXPECT_EQ(dir.files.fileNames(), std::set<std::string>{path});
        }
    }
}

}  // namespace
}  // namespace zarvo

// Package reader on arbitrary bytes: open, list, select and read every entry, then append to
// whatever opened and check the result reads back.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "archive/package.hpp"
#include "backends/posix/local_file_system.hpp"

namespace {

zarvo::platform::LocalFileSystem& hostFiles() {
    static zarvo::platform::LocalFileSystem files;
    return files;
}

std::string scratchPath(const char* what) {
    std::filesystem::path dir = std::filesystem::exists("/dev/shm")
                                    ? std::filesystem::path("/dev/shm")
                                    : std::filesystem::temp_directory_path();
    return (dir / ("zarvo-fuzz-package-" + std::to_string(getpid()) + what)).string();
}

void writeInput(const std::string& path, const uint8_t* data, size_t size) {
    unlink(path.c_str());
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) __builtin_trap();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) __builtin_trap();
    std::fclose(f);
}

void check(bool ok) {
    if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zarvo;
    static const std::string path = scratchPath(".pkg");
    writeInput(path, data, size);
    hasMagic(hostFiles(), path, "QZ7PKG");

    int count = 0;
    {
        PackageReader r;
        if (!openPackage(hostFiles(), path, r)) {
            check(!r.isOpen());
            return 0;
        }
        count = r.count;
        static const size_t pieces[] = {1, 7, 300, 4096};
        char buffer[4096];
        for (int i = 0; i < r.count; ++i) {
            const PackageEntry* e = getEntry(r, i);
            check(e != nullptr && e->offset + e->storedSize <= r.fileSize);
            check(selectEntry(r, i));
            size_t piece = pieces[static_cast<size_t>(i) % 4], total = 0, n;
            while ((n = readEntry(buffer, 1, piece, r)) > 0) {
                check(n <= piece);
                total += n;
            }
            if (!e->compressed) check(total == e->storedSize);
            // A stream damaged near its end (its check value) has handed out what it decoded
            // before the damage showed; only a sound one is held to its recorded size.
            if (e->compressed && r.header.count == 0 && !entryFailed(r))
                check(total <= e->decodedSize);
            std::string whole;
            if (readEntryToStream(whole, e->name, r) && findEntry(r, e->name) == i)
                check(whole.size() == total);
        }
        check(getEntry(r, r.count) == nullptr);
    }

    // Appending must leave a package that opens with the new entry last.
    PackageWriter w;
    if (appendPackage(hostFiles(), w, path)) {
        w.compressed = w.scrambled = size % 2 == 0;
        check(writeStreamEntry(w, "appended", "fuzz.txt"));
        check(finishPackage(w));
        PackageReader r;
        check(openPackage(hostFiles(), path, r));
        check(r.count == count + 1);
        check(findEntry(r, "FUZZ.TXT") == count);
        std::string s;
        check(readEntryToStream(s, "fuzz.txt", r) && s == "appended");
    }
    return 0;
}

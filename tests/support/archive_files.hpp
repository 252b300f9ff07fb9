// Archives and disc images for the tests, the benchmark and the fuzz corpus: written with
// libarchive's writer where it writes the format (zip, 7z, ISO 9660), with Debian's tools where
// it does not (lzh with lha, cab with gcab).
#pragma once
#include <string>
#include <utility>
#include <vector>

namespace zarvo::test {

enum class ArchiveKind {
    Zip,        // names stored as given, no UTF-8 flag (code page 932 names stay so)
    ZipUtf8,    // UTF-8 names, flagged
    ZipStored,  // no compression
    SevenZip,   // UTF-8 names given, stored as the format's UTF-16
    Iso,        // ISO 9660 with Rock Ridge, no Joliet
    IsoJoliet,  // with Joliet too
    Lzh,        // `lha`
    Cab,        // `gcab`
};

const char* archiveKindName(ArchiveKind kind);

struct ArchiveItem {
    ArchiveItem(std::string name, std::string bytes, int repeat = 1, std::string symlink = {})
        : name(std::move(name)),
          bytes(std::move(bytes)),
          repeat(repeat),
          symlink(std::move(symlink)) {}
    std::string name;  // the bytes stored as the name; a trailing "/" makes a folder
    std::string bytes;
    int repeat = 1;       // the bytes written this many times (libarchive's writer only)
    std::string symlink;  // not empty: a symbolic link to this (libarchive's writer only)
};

// Writes the items as an archive at `path`; false with `why` set when it cannot (a missing tool
// says so, for a GTEST_SKIP).
bool writeArchive(ArchiveKind kind, const std::string& path, const std::vector<ArchiveItem>& items,
                  std::string& why);

// Every regular file under `folder` as items named by their path below it, in name order, with
// `prefix` before each name.
std::vector<ArchiveItem> folderItems(const std::string& folder, const std::string& prefix = "");

}  // namespace zarvo::test

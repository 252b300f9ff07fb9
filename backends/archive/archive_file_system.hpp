// Stories read straight from the archives they were downloaded as (zip, lzh, 7z, cab) and from
// disc images (ISO 9660, with or without Joliet), through libarchive, without unpacking them.
//
// The archive's own path acts as a folder: its entries are "<archive path>/<entry path>", with
// entry names as UTF-8 (code page 932 unless the archive marks them UTF-8). One archive inside
// the archive (the .lzh a .zip was downloaded with) is a folder too: "<archive>/<inner>/<entry>".
// Nothing inside is ever written; every other path goes to the file system outside.
//
// Opening reads only the index (names, sizes, order). An entry is decompressed when it is asked
// for, from a reader that moves forward through the archive and starts again from the top when
// asked for an entry behind it; recently read entries are kept in a small cache.
#pragma once
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/file_system.hpp"

namespace zarvo::platform {

enum class ArchiveErrorKind {
    None,
    NotFound,        // no such file outside
    NotAnArchive,    // none of the formats read here
    Damaged,         // truncated or damaged: the index cannot be read
    TooManyEntries,  // more entries than kMaxArchiveEntries
};

struct ArchiveError {
    ArchiveErrorKind kind = ArchiveErrorKind::None;
    std::string detail;  // libarchive's words or ours (English), for a log or a box's details
};

// An entry left out of the folder, and why; the app may show these to the reader.
enum class SkipReason {
    UnsafeName,  // "..", an absolute path, a drive letter, a NUL byte
    Link,        // a symbolic or hard link
    NotAFile,    // a device, a pipe, a socket
    Duplicate,   // a second entry of a name already taken (the first one stays)
    TooLarge,    // declares more than kMaxEntryBytes
    Encrypted,   // needs a password
    BadName,     // a name that cannot be read (libarchive could not convert it)
};

struct SkippedEntry {
    std::string name;  // as read, converted to UTF-8 for display
    SkipReason reason;
};

// True when the file's first bytes are those of an archive or disc image this can open.
bool looksLikeArchive(const FileSystem& files, const std::string& path);

// English words for an error kind and a skip reason (logs and the tests; the app words its
// boxes itself).
const char* archiveErrorName(ArchiveErrorKind kind);
const char* skipReasonName(SkipReason reason);

class ArchiveReader;

class ArchiveFileSystem final : public FileSystem {
  public:
    // Null, with `error` set, when the archive cannot be read. `outside` must outlive the result.
    static std::unique_ptr<ArchiveFileSystem> open(FileSystem& outside,
                                                   const std::string& archivePath,
                                                   ArchiveError& error);
    ~ArchiveFileSystem() override;

    // The path given to open, without trailing separators: the folder of the entries.
    const std::string& root() const { return root_; }
    // libarchive's name of the format ("ZIP 2.0 (deflation)", "ISO9660", ...).
    const std::string& formatName() const { return formatName_; }
    const std::vector<SkippedEntry>& skipped() const { return skipped_; }
    // Entries read (decompressed) so far, including again after leaving the cache: for the
    // benchmark and the tests of the cache.
    int64_t entriesDecompressed() const;

    bool exists(const std::string& path) const override;
    bool directoryExists(const std::string& path) const override;
    bool readFile(const std::string& path, std::string& bytes) const override;
    bool makeDirectory(const std::string& path) override;
    bool listDirectory(const std::string& path, std::vector<std::string>& names) const override;
    std::unique_ptr<ReadableFile> openRead(const std::string& path) const override;
    std::unique_ptr<WritableFile> createFile(const std::string& path) override;
    std::unique_ptr<WritableFile> openForUpdate(const std::string& path) override;
    bool rename(const std::string& from, const std::string& to) override;
    bool remove(const std::string& path) override;
    bool copyFile(const std::string& from, const std::string& to) override;
    std::string absolutePath(const std::string& path) const override;

  private:
    struct Entry {
        std::string path;   // UTF-8, "/" separated, no leading "/"
        std::string raw;    // the name as libarchive gave it, to check a reopened reader
        int64_t index = 0;  // position in the archive's order
        int64_t size = -1;  // declared; -1 when the archive does not say
    };
    struct Nested {
        bool tried = false;
        std::shared_ptr<const std::string> bytes;  // kept while `files` reads them
        std::unique_ptr<FileSystem> holder;        // the bytes as a one-file system
        std::unique_ptr<ArchiveFileSystem> files;
    };

    ArchiveFileSystem(FileSystem& outside, std::string root, int depth);
    bool index(ArchiveError& error);
    // Where `path` falls: outside (false), or inside with `rest` the entry path ("" = the root).
    bool inside(const std::string& path, std::string& rest) const;
    // An archive entry `rest` passes through ("x.lzh" of "x.lzh/a/b"), opened on first use;
    // null when there is none. `innerPath` gets the path to ask the inner archive for.
    ArchiveFileSystem* nestedFor(const std::string& rest, std::string& innerPath) const;
    const Entry* fileEntry(const std::string& rest) const;
    std::shared_ptr<const std::string> entryBytes(const Entry& entry) const;

    FileSystem& outside_;
    std::string root_;
    std::string absoluteRoot_;
    int depth_;
    std::string formatName_;
    std::vector<Entry> entries_;
    std::map<std::string, size_t> files_;                   // entry path -> entries_ index
    std::map<std::string, std::set<std::string>> folders_;  // folder -> the names in it
    std::vector<SkippedEntry> skipped_;

    mutable std::recursive_mutex mutex_;
    mutable std::unique_ptr<ArchiveReader> reader_;
    // Most recently used first.
    mutable std::list<std::pair<int64_t, std::shared_ptr<const std::string>>> cache_;
    mutable uint64_t cacheBytes_ = 0;
    mutable int64_t decompressed_ = 0;
    mutable std::map<std::string, Nested> nested_;
};

}  // namespace zarvo::platform

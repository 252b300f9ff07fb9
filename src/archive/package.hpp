// The package archive: one format for project packages, the system library and save files.
// A reader and a writer are plain records driven by free functions; each holds one open file.
//
// Two layouts are read: the record chain (big-endian, checksummed, entries optionally scrambled
// with a per-package table) and the older fixed directory (little-endian, no checksums). Only
// the record chain is written. A package may sit behind a program stub ("MZ" ... 201+ '-' '+').
//
// Every size and offset taken from a file is checked against the file's real size when it is
// opened, so a damaged package fails to open instead of being read out of bounds.
#pragma once
#include <zlib.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "base/string_list.hpp"

namespace zarvo {

// Flags word bits of a record.
inline constexpr uint32_t kPackageFlagCompressed = 0x80000000u;
inline constexpr uint32_t kPackageFlagReserved = 0x00800000u;
inline constexpr uint32_t kPackageFlagAutoExtract = 0x00400000u;
inline constexpr uint32_t kPackageFlagD = 0x00100000u;
inline constexpr uint32_t kPackageFlagScrambled = 0x00080000u;

inline constexpr size_t kPackageHeaderSize = 536;    // where the record chain starts
inline constexpr size_t kPackageDirEntrySize = 272;  // one entry of the directory layout
inline constexpr size_t kPackageMaxName = 255;
// Most a compressed entry may decode to; a stream that gives more is taken for damaged.
inline constexpr uint64_t kPackageEntryLimit = uint64_t{512} << 20;
// A stub is followed by this many '-' and one '+'; readers accept any run of more than 200.
inline constexpr size_t kPackageStubDashes = 255;

// Checksum of the record chain: rotate left by 1, then XOR the byte sign-extended.
inline uint32_t packageChecksumByte(uint32_t s, uint8_t b) {
    s = (s << 1) | (s >> 31);
    return s ^ static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(b)));
}
uint32_t packageChecksum(uint32_t s, const void* data, size_t n);
// Integer fields are fed as their value's four little-endian bytes, whatever the order on disk.
uint32_t packageChecksumInt(uint32_t s, uint32_t value);

struct PackageHeader {
    std::array<char, 8> magic{};
    std::array<uint8_t, 256> comment{};
    int32_t count = 0;  // directory count: 0 = record chain
    uint32_t flags = 0;
    uint32_t attribute = 0;
    uint32_t checksum = 0;
    std::array<uint8_t, 256> scrambleTable{};
};

struct PackageEntry {
    std::string name;  // raw code page 932 bytes, at most 255
    bool compressed = false;
    bool reserved = false;
    bool autoExtract = false;
    bool flagD = false;
    bool scrambled = false;
    uint32_t attribute = 0;
    int64_t offset = 0;  // absolute file offset of the stored data
    uint32_t storedSize = 0;
    uint32_t decodedSize = 0;  // stored size for plain entries; 0 when a directory doesn't say
    uint32_t dataChecksum = 0;
};

enum InflateState : int { kInflateFailed = 0, kInflateIdle = 1, kInflating = 2 };

// An open package. Closes itself when destroyed. Not copyable and not movable: the zlib stream
// points back at its own record.
struct PackageReader {
    PackageReader();
    ~PackageReader();
    PackageReader(const PackageReader&) = delete;
    PackageReader& operator=(const PackageReader&) = delete;

    bool isOpen() const { return fd >= 0; }

    int fd = -1;  // -1 = closed
    int64_t fileSize = 0;
    int64_t packageStart = 0;  // after the stub marker, or 0
    int32_t count = 0;         // entries
    int64_t firstRecord = 0;
    PackageHeader header;
    std::vector<PackageEntry> entries;

    // The selected entry and how far into its stored bytes reading has come; the same counter
    // drives descrambling.
    int selected = -1;
    uint32_t consumed = 0;
    uint64_t decoded = 0;  // bytes the selected compressed entry has given so far
    // State of the selected compressed entry: inflating, idle (finished) or failed (a zlib error
    // or a stream cut short). Selecting an entry always starts afresh.
    int inflateState = kInflateIdle;
    z_stream stream{};
    bool streamReady = false;
    // Stored bytes read ahead: the inflate input, or small reads of a plain entry.
    std::vector<uint8_t> input;
    size_t inputPos = 0;
    size_t inputLen = 0;
    // Read-ahead size. Larger than the old 1024 bytes: inflate runs at full speed only when it
    // gets input in big pieces.
    size_t inputBufferSize = 64 * 1024;
    // Most a compressed entry of this package may decode to.
    uint64_t entryLimit = kPackageEntryLimit;
};

// Reader.
bool hasMagic(const std::string& path, std::string_view magic);
bool openPackage(const std::string& path, PackageReader& reader);
void closePackage(PackageReader& reader);
int findEntry(const PackageReader& reader, std::string_view name);  // last of a name; -1
const PackageEntry* getEntry(const PackageReader& reader, int index);
bool selectEntry(PackageReader& reader, int index);
bool selectEntryByName(PackageReader& reader, std::string_view name);
// Decoded bytes of the selected entry, in whole items; 0 at its end or after a failure. Never
// returns more than the entry's stored data decodes to. A recorded decoded size is not trusted:
// a compressed entry reads as far as it inflates, up to the reader's entryLimit (a stream that
// runs past the limit counts as damaged). A PNG read callback is a thin wrapper over this that
// treats a short read as an error.
size_t readEntry(void* buffer, size_t itemSize, size_t itemCount, PackageReader& reader);
// True when the selected entry could not be decoded in full (zlib error or stream cut short).
inline bool entryFailed(const PackageReader& reader) {
    return reader.inflateState == kInflateFailed;
}

// A sink for decoded bytes; returns false to stop (e.g. a write error).
using ByteSink = std::function<bool(const char* data, size_t size)>;

// Adapters. Each returns false when the entry is missing, cannot be decoded in full, the sink
// refuses the bytes, or memory runs out.
// `limit` stops the read early without failing: a caller that knows how much it needs (a
// picture's headers tell its size) takes no more than that.
bool readEntryToStream(std::string& stream, std::string_view name, PackageReader& reader,
                       uint64_t limit = UINT64_MAX);
bool readEntryIndexToStream(const ByteSink& sink, int index, PackageReader& reader);
bool readEntryIndexToStream(std::ostream& stream, int index, PackageReader& reader);
// Leaves the list unchanged when the entry cannot be read.
bool readEntryToStrings(std::string_view name, StringList& lines, PackageReader& reader);

enum DeflateState : int { kDeflateFailed = 0, kDeflateIdle = 1, kDeflating = 2 };

// A package being written. A created package replaces its target only when FinishPackage
// succeeds; an append that is not finished is rolled back to the old package. Destroying an
// unfinished writer abandons it that way.
struct PackageWriter {
    PackageWriter();
    ~PackageWriter();
    PackageWriter(const PackageWriter&) = delete;
    PackageWriter& operator=(const PackageWriter&) = delete;

    // Settings taken by the next BeginEntry.
    bool compressed = false;
    bool reserved = false;
    bool autoExtract = false;
    bool flagD = false;
    bool scrambled = false;
    uint32_t attribute = 0;
    // Program bytes CreatePackage writes in front of the package, followed by the marker.
    std::string stub;

    std::array<char, 8> magic{};
    std::array<uint8_t, 256> scrambleTable{};

    FILE* file = nullptr;
    std::string path;      // the package being written
    std::string tempPath;  // where a created package is written until it is finished
    bool appending = false;
    int64_t appendEnd = 0;  // position of the old end marker
    bool failed = false;    // a write failed: the package cannot be finished

    // The open entry.
    bool inEntry = false;
    std::string name;
    uint32_t entryFlags = 0;  // flags word, scrambled bit included
    uint32_t entryAttribute = 0;
    int64_t recordStart = 0;
    int64_t dataStart = 0;
    uint64_t storedSize = 0;
    uint64_t fedBytes = 0;
    uint32_t dataChecksum = 0;
    uint32_t scrambleCounter = 0;
    int deflateState = kDeflateIdle;
    z_stream stream{};
    bool streamReady = false;
    std::vector<uint8_t> output;   // deflate output
    std::vector<uint8_t> scratch;  // scrambled copy on its way to the file
};

// Writer.
void initWriter(PackageWriter& writer);
void setMagic(PackageWriter& writer, std::string_view magic);
bool createPackage(PackageWriter& writer, const std::string& path);
bool appendPackage(PackageWriter& writer, const std::string& path);
bool beginEntry(PackageWriter& writer, std::string_view name);
size_t writeEntry(const void* buffer, size_t itemSize, size_t itemCount, PackageWriter& writer);
bool endEntry(PackageWriter& writer);
bool finishPackage(PackageWriter& writer);

bool writeStreamEntry(PackageWriter& writer, std::string_view stream, std::string_view name);
bool writeStringsEntry(PackageWriter& writer, const StringList& lines, std::string_view name);

}  // namespace zarvo

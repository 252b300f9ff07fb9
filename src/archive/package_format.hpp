// The package archive format shared by the reader and the writer: header, records, the old
// fixed directory, the stub marker, scrambling and checksums.
//
// Two layouts are read: the record chain (big-endian, checksummed, entries optionally scrambled
// with a per-package table) and the older fixed directory (little-endian, no checksums). Only
// the record chain is written. A package may sit behind a program stub ("MZ" ... 201+ '-' '+').
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.hpp"

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

// The pieces of the format the reader and the writer share.
namespace package_format {

inline constexpr size_t kDirCountOffset = 264;
inline constexpr size_t kDirStart = 268;  // directory entries follow the count field
inline constexpr size_t kRecordFixed = 27;
inline constexpr size_t kStubMarkerMin = 200;  // a marker needs more dashes than this
inline constexpr size_t kCopyChunk = 64 * 1024;

inline uint32_t be32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
inline uint32_t le32(const uint8_t* p) {
    return (uint32_t{p[3]} << 24) | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}
inline void putBe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

// XOR with the scramble table, byte k of the entry with table byte k mod 256.
void scrambleBytes(uint8_t* p, size_t n, uint32_t k, const std::array<uint8_t, 256>& table);

// Record checksum: n, the name, four flag bytes (not the scrambled flag), then the integers.
uint32_t recordChecksum(std::string_view name, bool compressed, bool reserved, bool autoExtract,
                        bool flagD, uint32_t attribute, uint32_t stored, uint32_t decoded,
                        uint32_t dataChecksum);
uint32_t headerChecksum(const uint8_t* magicAndComment, uint32_t count, uint32_t flags,
                        uint32_t attribute);

// The header of a new record-chain package: magic, empty comment, no flags, the table.
void encodeHeader(const std::array<char, 8>& magic, const std::array<uint8_t, 256>& table,
                  uint8_t (&h)[kPackageHeaderSize]);
// A record header ("LI", checksum, name, flags word, sizes); returns its length.
size_t encodeRecord(std::string_view name, uint32_t flags, uint32_t attribute, uint32_t stored,
                    uint32_t decoded, uint32_t dataChecksum,
                    uint8_t (&h)[kRecordFixed + kPackageMaxName]);

// Finds the byte after a stub marker: a run of more than 200 '-' then '+'. The scan begins after
// the first 8 bytes, which hold "MZ" and the start of the program. -1 when there is none.
int64_t findStubEnd(const platform::ReadableFile& file);

// Reads the header at `base` and the entries it lists, each checked against the file's size
// (and, in a record chain, its checksum). `endMarker` receives where a chain's "EP" stands.
bool readIndex(const platform::ReadableFile& file, int64_t base, PackageHeader& header,
               int64_t& firstRecord, std::vector<PackageEntry>& entries, int64_t& endMarker);

}  // namespace package_format
}  // namespace zarvo

#include "archive/package_format.hpp"

#include <algorithm>
#include <cstring>

namespace zarvo {

uint32_t packageChecksum(uint32_t s, const void* data, size_t n) {
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < n; ++i) s = packageChecksumByte(s, p[i]);
    return s;
}

uint32_t packageChecksumInt(uint32_t s, uint32_t value) {
    for (int i = 0; i < 4; ++i) s = packageChecksumByte(s, static_cast<uint8_t>(value >> (8 * i)));
    return s;
}

namespace package_format {
namespace {

bool readDirectory(const platform::ReadableFile& file, int64_t base, const PackageHeader& header,
                   std::vector<PackageEntry>& entries) {
    const int64_t fileSize = file.size();
    const int64_t count = header.count;
    const int64_t dirStart = base + static_cast<int64_t>(kDirStart);
    const int64_t dataArea = dirStart + static_cast<int64_t>(kPackageDirEntrySize) * count;
    // The directory must fit in the file before anything is allocated for it.
    if (count < 0 || dataArea > fileSize) return false;
    entries.reserve(static_cast<size_t>(count));
    std::vector<uint8_t> chunk(kPackageDirEntrySize * 64);
    for (int64_t i = 0; i < count;) {
        int64_t batch = std::min<int64_t>(64, count - i);
        size_t bytes = static_cast<size_t>(batch) * kPackageDirEntrySize;
        if (file.readAt(dirStart + i * int64_t{kPackageDirEntrySize}, chunk.data(), bytes) != bytes)
            return false;
        for (int64_t j = 0; j < batch; ++j) {
            const uint8_t* d = chunk.data() + j * kPackageDirEntrySize;
            PackageEntry e;
            size_t len = 0;
            while (len < kPackageMaxName && d[len] != 0) ++len;
            e.name.assign(reinterpret_cast<const char*>(d), len);
            uint32_t wordA = le32(d + 256), wordB = le32(d + 260);
            e.compressed = (wordA & 0x80000000u) != 0;
            e.reserved = (wordA & 0x0F000000u) != 0;
            e.flagD = !e.reserved;
            e.autoExtract = (wordB & 0x01000000u) != 0;
            e.offset = dataArea + le32(d + 264);
            e.storedSize = le32(d + 268);
            e.decodedSize = e.compressed ? 0 : e.storedSize;
            if (e.offset + e.storedSize > fileSize) return false;
            entries.push_back(std::move(e));
        }
        i += batch;
    }
    return true;
}

// Walks the record chain up to its end marker, checking every record against the file's size
// and its checksum. endMarker receives the position of "EP".
bool readRecordChain(const platform::ReadableFile& file, int64_t firstRecord,
                     std::vector<PackageEntry>& entries, int64_t& endMarker) {
    const int64_t fileSize = file.size();
    int64_t pos = firstRecord;
    uint8_t h[kRecordFixed + kPackageMaxName];
    for (;;) {
        size_t got = file.readAt(pos, h, sizeof h);
        if (got < 2) return false;
        if (h[0] == 'E' && h[1] == 'P') break;
        if (h[0] != 'L' || h[1] != 'I' || got < 7) return false;
        size_t n = h[6];
        if (got < kRecordFixed + n) return false;
        PackageEntry e;
        uint32_t checksum = be32(h + 2);
        e.name.assign(reinterpret_cast<const char*>(h + 7), n);
        const uint8_t* f = h + 7 + n;
        uint32_t flags = be32(f);
        e.compressed = (flags & kPackageFlagCompressed) != 0;
        e.reserved = (flags & kPackageFlagReserved) != 0;
        e.autoExtract = (flags & kPackageFlagAutoExtract) != 0;
        e.flagD = (flags & kPackageFlagD) != 0;
        e.scrambled = (flags & kPackageFlagScrambled) != 0;
        e.attribute = be32(f + 4);
        e.storedSize = be32(f + 8);
        e.decodedSize = be32(f + 12);
        e.dataChecksum = be32(f + 16);
        e.offset = pos + static_cast<int64_t>(kRecordFixed + n);
        if (e.offset + e.storedSize > fileSize) return false;
        if (recordChecksum(e.name, e.compressed, e.reserved, e.autoExtract, e.flagD, e.attribute,
                           e.storedSize, e.decodedSize, e.dataChecksum) != checksum)
            return false;
        if (e.decodedSize == 0 && !e.compressed) e.decodedSize = e.storedSize;
        pos = e.offset + e.storedSize;
        entries.push_back(std::move(e));
    }
    endMarker = pos;
    return true;
}

}  // namespace

void scrambleBytes(uint8_t* p, size_t n, uint32_t k, const std::array<uint8_t, 256>& table) {
    size_t i = 0;
    while (i < n) {
        size_t start = (k + i) & 255;
        size_t run = std::min(n - i, 256 - start);
        const uint8_t* t = table.data() + start;
        for (size_t j = 0; j < run; ++j) p[i + j] ^= t[j];
        i += run;
    }
}

uint32_t recordChecksum(std::string_view name, bool compressed, bool reserved, bool autoExtract,
                        bool flagD, uint32_t attribute, uint32_t stored, uint32_t decoded,
                        uint32_t dataChecksum) {
    uint32_t s = packageChecksumByte(0, static_cast<uint8_t>(name.size()));
    s = packageChecksum(s, name.data(), name.size());
    s = packageChecksumByte(s, compressed);
    s = packageChecksumByte(s, reserved);
    s = packageChecksumByte(s, autoExtract);
    s = packageChecksumByte(s, flagD);
    s = packageChecksumInt(s, attribute);
    s = packageChecksumInt(s, stored);
    s = packageChecksumInt(s, decoded);
    return packageChecksumInt(s, dataChecksum);
}

uint32_t headerChecksum(const uint8_t* magicAndComment, uint32_t count, uint32_t flags,
                        uint32_t attribute) {
    uint32_t s = packageChecksum(0, magicAndComment, 264);
    s = packageChecksumInt(s, count);
    s = packageChecksumInt(s, flags);
    return packageChecksumInt(s, attribute);
}

void encodeHeader(const std::array<char, 8>& magic, const std::array<uint8_t, 256>& table,
                  uint8_t (&h)[kPackageHeaderSize]) {
    std::memset(h, 0, sizeof h);
    std::memcpy(h, magic.data(), 8);
    putBe32(h + 276, headerChecksum(h, 0, 0, 0));
    std::memcpy(h + 280, table.data(), 256);
}

size_t encodeRecord(std::string_view name, uint32_t flags, uint32_t attribute, uint32_t stored,
                    uint32_t decoded, uint32_t dataChecksum,
                    uint8_t (&h)[kRecordFixed + kPackageMaxName]) {
    const size_t n = std::min(name.size(), kPackageMaxName);
    h[0] = 'L';
    h[1] = 'I';
    putBe32(h + 2, recordChecksum(name.substr(0, n), flags & kPackageFlagCompressed,
                                  flags & kPackageFlagReserved, flags & kPackageFlagAutoExtract,
                                  flags & kPackageFlagD, attribute, stored, decoded, dataChecksum));
    h[6] = static_cast<uint8_t>(n);
    std::memcpy(h + 7, name.data(), n);
    uint8_t* f = h + 7 + n;
    putBe32(f, flags);
    putBe32(f + 4, attribute);
    putBe32(f + 8, stored);
    putBe32(f + 12, decoded);
    putBe32(f + 16, dataChecksum);
    return kRecordFixed + n;
}

int64_t findStubEnd(const platform::ReadableFile& file) {
    const int64_t fileSize = file.size();
    std::vector<uint8_t> buffer(kCopyChunk);
    size_t dashes = 0;
    int64_t pos = 8;
    while (pos < fileSize) {
        size_t n = file.readAt(pos, buffer.data(), buffer.size());
        if (n == 0) return -1;
        for (size_t i = 0; i < n; ++i) {
            uint8_t c = buffer[i];
            if (c == '-') {
                ++dashes;
            } else if (c == '+' && dashes > kStubMarkerMin) {
                return pos + static_cast<int64_t>(i) + 1;
            } else {
                dashes = 0;
            }
        }
        pos += static_cast<int64_t>(n);
    }
    return -1;
}

bool readIndex(const platform::ReadableFile& file, int64_t base, PackageHeader& header,
               int64_t& firstRecord, std::vector<PackageEntry>& entries, int64_t& endMarker) {
    uint8_t h[kPackageHeaderSize];
    size_t got = file.readAt(base, h, sizeof h);
    if (got < kDirStart) return false;
    std::memcpy(header.magic.data(), h, 8);
    std::memcpy(header.comment.data(), h + 8, 256);
    header.count = static_cast<int32_t>(le32(h + kDirCountOffset));
    if (header.count != 0) return readDirectory(file, base, header, entries);

    if (got < kPackageHeaderSize) return false;
    header.flags = be32(h + 268);
    header.attribute = be32(h + 272);
    header.checksum = be32(h + 276);
    std::memcpy(header.scrambleTable.data(), h + 280, 256);
    if (headerChecksum(h, 0, header.flags, header.attribute) != header.checksum) return false;
    firstRecord = base + static_cast<int64_t>(kPackageHeaderSize);
    return readRecordChain(file, firstRecord, entries, endMarker);
}

}  // namespace package_format
}  // namespace zarvo

#include "archive/package.hpp"

#include <fcntl.h>
#include <stdio_ext.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <filesystem>
#include <new>
#include <ostream>
#include <random>
#include <stdexcept>

#include "base/text.hpp"

namespace zarvo {
namespace {

constexpr size_t kDirCountOffset = 264;
constexpr size_t kDirStart = 268;  // directory entries follow the count field
constexpr size_t kRecordFixed = 27;
constexpr size_t kStubMarkerMin = 200;  // a marker needs more dashes than this
// Largest buffer taken on trust from a recorded decoded size; bigger entries grow as they come.
constexpr size_t kMaxTrustedReserve = 64u << 20;
constexpr size_t kCopyChunk = 64 * 1024;

uint32_t be32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
uint32_t le32(const uint8_t* p) {
    return (uint32_t{p[3]} << 24) | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}
void putBe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

// Reads up to n bytes at off; fewer only at the end of the file or on an error.
size_t readAt(int fd, void* buffer, size_t n, int64_t off) {
    size_t done = 0;
    auto* p = static_cast<uint8_t*>(buffer);
    while (done < n) {
        ssize_t r = pread(fd, p + done, n - done, static_cast<off_t>(off + done));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        done += static_cast<size_t>(r);
    }
    return done;
}

// XOR with the scramble table, byte k of the entry with table byte k mod 256.
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

// Record checksum: n, the name, four flag bytes (not the scrambled flag), then the integers.
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

// Finds the byte after a stub marker: a run of more than 200 '-' then '+'. The scan begins after
// the first 8 bytes, which hold "MZ" and the start of the program. -1 when there is none.
int64_t findStubEnd(int fd, int64_t fileSize) {
    std::vector<uint8_t> buffer(kCopyChunk);
    size_t dashes = 0;
    int64_t pos = 8;
    while (pos < fileSize) {
        size_t n = readAt(fd, buffer.data(), buffer.size(), pos);
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

bool readDirectory(PackageReader& r, int64_t base) {
    const int64_t count = r.header.count;
    const int64_t dirStart = base + static_cast<int64_t>(kDirStart);
    const int64_t dataArea = dirStart + static_cast<int64_t>(kPackageDirEntrySize) * count;
    // The directory must fit in the file before anything is allocated for it.
    if (count < 0 || dataArea > r.fileSize) return false;
    r.entries.reserve(static_cast<size_t>(count));
    std::vector<uint8_t> chunk(kPackageDirEntrySize * 64);
    for (int64_t i = 0; i < count;) {
        int64_t batch = std::min<int64_t>(64, count - i);
        size_t bytes = static_cast<size_t>(batch) * kPackageDirEntrySize;
        if (readAt(r.fd, chunk.data(), bytes, dirStart + i * int64_t{kPackageDirEntrySize}) !=
            bytes)
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
            if (e.offset + e.storedSize > r.fileSize) return false;
            r.entries.push_back(std::move(e));
        }
        i += batch;
    }
    return true;
}

// Walks the record chain up to its end marker, checking every record against the file's size
// and its checksum. endMarker receives the position of "EP".
bool readRecordChain(PackageReader& r, int64_t& endMarker) {
    int64_t pos = r.firstRecord;
    uint8_t h[kRecordFixed + kPackageMaxName];
    for (;;) {
        size_t got = readAt(r.fd, h, sizeof h, pos);
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
        if (e.offset + e.storedSize > r.fileSize) return false;
        if (recordChecksum(e.name, e.compressed, e.reserved, e.autoExtract, e.flagD, e.attribute,
                           e.storedSize, e.decodedSize, e.dataChecksum) != checksum)
            return false;
        if (e.decodedSize == 0 && !e.compressed) e.decodedSize = e.storedSize;
        pos = e.offset + e.storedSize;
        r.entries.push_back(std::move(e));
    }
    endMarker = pos;
    return true;
}

// Opens and indexes a package. An empty record chain is accepted only when asked (appending);
// readers treat it as no package.
bool openPackageFile(const std::string& path, PackageReader& r, bool allowEmpty,
                     int64_t* endMarker) {
    closePackage(r);
    // Non-blocking so a FIFO given as a package cannot hang the open.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    r.fd = fd;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        closePackage(r);
        return false;
    }
    r.fileSize = st.st_size;

    bool ok = [&] {
        uint8_t first[8];
        if (readAt(fd, first, 8, 0) != 8) return false;
        int64_t base = 0;
        if (first[0] == 'M' && first[1] == 'Z') {
            base = findStubEnd(fd, r.fileSize);
            if (base < 0) return false;
        }
        r.packageStart = base;
        uint8_t h[kPackageHeaderSize];
        size_t got = readAt(fd, h, sizeof h, base);
        if (got < kDirStart) return false;
        std::memcpy(r.header.magic.data(), h, 8);
        std::memcpy(r.header.comment.data(), h + 8, 256);
        r.header.count = static_cast<int32_t>(le32(h + kDirCountOffset));
        if (r.header.count != 0) return readDirectory(r, base);

        if (got < kPackageHeaderSize) return false;
        r.header.flags = be32(h + 268);
        r.header.attribute = be32(h + 272);
        r.header.checksum = be32(h + 276);
        std::memcpy(r.header.scrambleTable.data(), h + 280, 256);
        if (headerChecksum(h, 0, r.header.flags, r.header.attribute) != r.header.checksum)
            return false;
        r.firstRecord = base + static_cast<int64_t>(kPackageHeaderSize);
        int64_t marker = 0;
        if (!readRecordChain(r, marker)) return false;
        if (endMarker) *endMarker = marker;
        return allowEmpty || !r.entries.empty();
    }();
    if (!ok) {
        closePackage(r);
        return false;
    }
    r.count = static_cast<int32_t>(r.entries.size());
    return true;
}

// Reads up to n stored bytes of the selected entry at the read position, descrambled.
size_t readStored(PackageReader& r, uint8_t* dst, size_t n) {
    const PackageEntry& e = r.entries[static_cast<size_t>(r.selected)];
    n = std::min<size_t>(n, e.storedSize - r.consumed);
    if (n == 0) return 0;
    size_t got = readAt(r.fd, dst, n, e.offset + r.consumed);
    // Sizes were checked at open, so a short read means the file changed or failed under us.
    if (got < n) r.inflateState = kInflateFailed;
    if (e.scrambled) scrambleBytes(dst, got, r.consumed, r.header.scrambleTable);
    r.consumed += static_cast<uint32_t>(got);
    return got;
}

size_t readPlain(PackageReader& r, uint8_t* dst, size_t total) {
    size_t got = 0;
    while (got < total) {
        if (r.inputPos < r.inputLen) {
            size_t take = std::min(total - got, r.inputLen - r.inputPos);
            std::memcpy(dst + got, r.input.data() + r.inputPos, take);
            r.inputPos += take;
            got += take;
            continue;
        }
        size_t want = total - got;
        if (want >= r.input.size()) {
            // Large reads go straight into the caller's buffer.
            size_t n = readStored(r, dst + got, want);
            if (n == 0) break;
            got += n;
        } else {
            r.inputPos = 0;
            r.inputLen = readStored(r, r.input.data(), r.input.size());
            if (r.inputLen == 0) break;
        }
    }
    return got;
}

size_t inflateInto(PackageReader& r, uint8_t* dst, size_t total) {
    z_stream& z = r.stream;
    size_t produced = 0;
    while (produced < total) {
        if (z.avail_in == 0) {
            size_t n = readStored(r, r.input.data(), r.input.size());
            z.next_in = r.input.data();
            z.avail_in = static_cast<uInt>(n);
        }
        uInt window = static_cast<uInt>(std::min<size_t>(total - produced, UINT_MAX));
        z.next_out = dst + produced;
        z.avail_out = window;
        int ret = inflate(&z, Z_NO_FLUSH);
        produced += window - z.avail_out;
        if (ret == Z_STREAM_END) {
            r.inflateState = kInflateIdle;
            break;
        }
        // Z_BUF_ERROR here means no progress with all stored bytes used: a stream cut short.
        // Anything else but Z_OK is damaged data. Either way the entry ends here, and only
        // this entry: the next SelectEntry resets the stream.
        if (ret != Z_OK) {
            r.inflateState = kInflateFailed;
            break;
        }
    }
    r.decoded += produced;
    return produced;
}

size_t readCompressed(PackageReader& r, uint8_t* dst, size_t total) {
    if (r.inflateState != kInflating) return 0;
    // The recorded decoded size is only a hint (other packers write 0 or a wrong value); what
    // bounds a stream is the reader's limit, beyond which it counts as damaged, so that a
    // small entry that inflates without end cannot exhaust memory.
    const uint64_t left = r.entryLimit > r.decoded ? r.entryLimit - r.decoded : 0;
    const size_t want = static_cast<size_t>(std::min<uint64_t>(total, left));
    size_t produced = want > 0 ? inflateInto(r, dst, want) : 0;
    if (r.inflateState == kInflating && r.decoded >= r.entryLimit) {
        uint8_t probe;
        if (inflateInto(r, &probe, 1) > 0) r.inflateState = kInflateFailed;
    }
    return produced;
}

// A hidden file in the target's folder, so that the final rename stays on one file system.
std::string makeTempPath(const std::string& path) {
    static unsigned counter = 0;
    std::string dir = std::filesystem::path(path).parent_path().string();
    if (!dir.empty()) dir += '/';
    return dir + ".zarvo-" + std::to_string(getpid()) + "-" + std::to_string(++counter) + ".part";
}

void fillScrambleTable(std::array<uint8_t, 256>& table) {
    auto now = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    std::seed_seq seq{static_cast<uint32_t>(now), static_cast<uint32_t>(now >> 32),
                      static_cast<uint32_t>(getpid())};
    std::mt19937 gen(seq);
    for (auto& b : table) b = static_cast<uint8_t>(gen() >> 24);
}

bool writeBytes(PackageWriter& w, const void* data, size_t n) {
    if (w.failed) return false;
    if (n != 0 && std::fwrite(data, 1, n, w.file) != n) w.failed = true;
    return !w.failed;
}

// Data on its way to the file: checksummed as given, then scrambled if the entry asks for it.
bool writeStored(PackageWriter& w, const uint8_t* data, size_t n) {
    w.dataChecksum = packageChecksum(w.dataChecksum, data, n);
    w.storedSize += n;
    if (!(w.entryFlags & kPackageFlagScrambled)) return writeBytes(w, data, n);
    if (w.scratch.size() < kCopyChunk) w.scratch.resize(kCopyChunk);
    while (n > 0) {
        size_t run = std::min(n, w.scratch.size());
        std::memcpy(w.scratch.data(), data, run);
        scrambleBytes(w.scratch.data(), run, w.scrambleCounter, w.scrambleTable);
        w.scrambleCounter += static_cast<uint32_t>(run);
        if (!writeBytes(w, w.scratch.data(), run)) return false;
        data += run;
        n -= run;
    }
    return true;
}

bool flushDeflateOutput(PackageWriter& w) {
    size_t n = w.output.size() - w.stream.avail_out;
    w.stream.next_out = w.output.data();
    w.stream.avail_out = static_cast<uInt>(w.output.size());
    return writeStored(w, w.output.data(), n);
}

// Drops the open entry from the file, so that the package stays whole without it.
bool dropEntry(PackageWriter& w) {
    if (w.failed) return false;
    if (std::fflush(w.file) != 0 || ftruncate(fileno(w.file), w.recordStart) != 0 ||
        fseeko(w.file, w.recordStart, SEEK_SET) != 0)
        w.failed = true;
    return false;
}

// Closes an unfinished package: a new one is removed, an appended one gets its old end back.
void abandonPackage(PackageWriter& w) {
    if (!w.file) return;
    __fpurge(w.file);  // unwritten bytes must not land after the rollback
    if (w.appending) {
        int fd = fileno(w.file);
        if (ftruncate(fd, w.appendEnd + 2) == 0)
            (void)!pwrite(fd, "EP", 2, static_cast<off_t>(w.appendEnd));
    }
    std::fclose(w.file);
    if (!w.appending) unlink(w.tempPath.c_str());
    w.file = nullptr;
    w.inEntry = false;
    w.appending = false;
    w.tempPath.clear();
}

}  // namespace

uint32_t packageChecksum(uint32_t s, const void* data, size_t n) {
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < n; ++i) s = packageChecksumByte(s, p[i]);
    return s;
}

uint32_t packageChecksumInt(uint32_t s, uint32_t value) {
    for (int i = 0; i < 4; ++i) s = packageChecksumByte(s, static_cast<uint8_t>(value >> (8 * i)));
    return s;
}

// ---- Reader ----------------------------------------------------------------------------------

PackageReader::PackageReader() = default;

PackageReader::~PackageReader() {
    closePackage(*this);
    if (streamReady) inflateEnd(&stream);
}

bool hasMagic(const std::string& path, std::string_view magic) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    std::string head(magic.size(), '\0');
    size_t got = readAt(fd, head.data(), head.size(), 0);
    close(fd);
    return got == magic.size() && head == magic;
}

bool openPackage(const std::string& path, PackageReader& reader) {
    return openPackageFile(path, reader, false, nullptr);
}

void closePackage(PackageReader& reader) {
    if (reader.fd >= 0) close(reader.fd);
    reader.fd = -1;
    reader.fileSize = 0;
    reader.packageStart = 0;
    reader.count = 0;
    reader.firstRecord = 0;
    reader.header = PackageHeader{};
    reader.entries.clear();
    reader.entries.shrink_to_fit();
    reader.selected = -1;
    reader.consumed = 0;
    reader.inflateState = kInflateIdle;
    reader.inputPos = reader.inputLen = 0;
}

int findEntry(const PackageReader& reader, std::string_view name) {
    for (size_t i = reader.entries.size(); i-- > 0;)
        if (sameAsciiText(reader.entries[i].name, name)) return static_cast<int>(i);
    return -1;
}

const PackageEntry* getEntry(const PackageReader& reader, int index) {
    if (index < 0 || static_cast<size_t>(index) >= reader.entries.size()) return nullptr;
    return &reader.entries[static_cast<size_t>(index)];
}

bool selectEntry(PackageReader& reader, int index) {
    reader.selected = -1;
    reader.consumed = 0;
    reader.decoded = 0;
    reader.inputPos = reader.inputLen = 0;
    reader.inflateState = kInflateIdle;
    const PackageEntry* e = reader.isOpen() ? getEntry(reader, index) : nullptr;
    if (!e) return false;
    reader.input.resize(std::max<size_t>(reader.inputBufferSize, 1));
    if (e->compressed) {
        if (reader.streamReady && inflateReset(&reader.stream) != Z_OK) {
            inflateEnd(&reader.stream);
            reader.streamReady = false;
        }
        if (!reader.streamReady) {
            reader.stream = z_stream{};
            if (inflateInit(&reader.stream) != Z_OK) {
                reader.inflateState = kInflateFailed;
                return false;
            }
            reader.streamReady = true;
        }
        reader.stream.next_in = nullptr;
        reader.stream.avail_in = 0;
        reader.inflateState = kInflating;
    }
    reader.selected = index;
    return true;
}

bool selectEntryByName(PackageReader& reader, std::string_view name) {
    int index = findEntry(reader, name);
    return index >= 0 && selectEntry(reader, index);
}

size_t readEntry(void* buffer, size_t itemSize, size_t itemCount, PackageReader& reader) {
    if (!reader.isOpen() || reader.selected < 0 || itemSize == 0 || itemCount == 0) return 0;
    size_t total =
        itemCount > SIZE_MAX / itemSize ? SIZE_MAX / itemSize * itemSize : itemSize * itemCount;
    auto* dst = static_cast<uint8_t*>(buffer);
    const PackageEntry& e = reader.entries[static_cast<size_t>(reader.selected)];
    size_t got = e.compressed ? readCompressed(reader, dst, total) : readPlain(reader, dst, total);
    return got / itemSize;
}

bool readEntryToStream(std::string& stream, std::string_view name, PackageReader& reader,
                       uint64_t limit) {
    int index = findEntry(reader, name);
    if (index < 0 || !selectEntry(reader, index)) return false;
    const PackageEntry& e = reader.entries[static_cast<size_t>(index)];
    // A plain entry's size is exact and checked against the file; a recorded decoded size is
    // only a hint (deflate expands at most about 1032 times).
    uint64_t expect = e.storedSize;
    if (e.compressed && e.decodedSize != 0)
        expect = std::min<uint64_t>(
            {e.decodedSize, uint64_t{e.storedSize} * 1032 + 64, kMaxTrustedReserve});
    // No entry gives more than this: a plain one its stored size, a compressed one the limit.
    const uint64_t most =
        std::min<uint64_t>(limit, e.compressed ? reader.entryLimit : uint64_t{e.storedSize});
    expect = std::min(expect, most);
    try {
        std::string out(static_cast<size_t>(expect), '\0');
        uint64_t len = 0;
        while (len < most) {
            if (len == out.size())
                out.resize(static_cast<size_t>(std::min<uint64_t>(
                    std::max<uint64_t>(uint64_t{out.size()} * 2, len + kCopyChunk), most)));
            size_t n = readEntry(out.data() + len, 1, out.size() - len, reader);
            if (n == 0) break;
            len += n;
        }
        if (entryFailed(reader)) return false;
        out.resize(static_cast<size_t>(len));
        stream = std::move(out);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
}

bool readEntryIndexToStream(const ByteSink& sink, int index, PackageReader& reader) {
    if (!selectEntry(reader, index)) return false;
    try {
        std::vector<char> buffer(kCopyChunk);
        for (;;) {
            size_t n = readEntry(buffer.data(), 1, buffer.size(), reader);
            if (n == 0) break;
            if (!sink(buffer.data(), n)) return false;
        }
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return !entryFailed(reader);
}

bool readEntryIndexToStream(std::ostream& stream, int index, PackageReader& reader) {
    return readEntryIndexToStream(
        [&stream](const char* data, size_t n) {
            stream.write(data, static_cast<std::streamsize>(n));
            return stream.good();
        },
        index, reader);
}

bool readEntryToStrings(std::string_view name, StringList& lines, PackageReader& reader) {
    std::string text;
    if (!readEntryToStream(text, name, reader)) return false;
    lines = splitLines(text);
    return true;
}

// ---- Writer ----------------------------------------------------------------------------------

PackageWriter::PackageWriter() = default;

PackageWriter::~PackageWriter() {
    abandonPackage(*this);
    if (streamReady) deflateEnd(&stream);
}

void initWriter(PackageWriter& writer) {
    abandonPackage(writer);
    writer.compressed = writer.reserved = writer.autoExtract = writer.flagD = false;
    writer.scrambled = false;
    writer.attribute = 0;
    writer.stub.clear();
    writer.magic.fill(0);
    writer.scrambleTable.fill(0);
    writer.path.clear();
    writer.failed = false;
    writer.appendEnd = 0;
    writer.name.clear();
    writer.entryFlags = writer.entryAttribute = 0;
    writer.recordStart = writer.dataStart = 0;
    writer.storedSize = writer.fedBytes = 0;
    writer.dataChecksum = writer.scrambleCounter = 0;
    writer.deflateState = kDeflateIdle;
}

void setMagic(PackageWriter& writer, std::string_view magic) {
    writer.magic.fill(0);
    if (magic.size() <= writer.magic.size())
        std::copy(magic.begin(), magic.end(), writer.magic.begin());
}

bool createPackage(PackageWriter& writer, const std::string& path) {
    abandonPackage(writer);
    writer.failed = false;
    // The package is written beside its target and moved over it when finished, so a failed
    // write never costs the old file.
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 16; ++attempt) {
        writer.tempPath = makeTempPath(path);
        fd = open(writer.tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return false;
    writer.file = fdopen(fd, "wb");
    if (!writer.file) {
        close(fd);
        unlink(writer.tempPath.c_str());
        return false;
    }
    writer.path = path;
    writer.appending = false;
    fillScrambleTable(writer.scrambleTable);

    if (!writer.stub.empty()) {
        std::string marker(kPackageStubDashes, '-');
        marker += '+';
        writeBytes(writer, writer.stub.data(), writer.stub.size());
        writeBytes(writer, marker.data(), marker.size());
    }
    uint8_t h[kPackageHeaderSize] = {};
    std::memcpy(h, writer.magic.data(), 8);
    putBe32(h + 276, headerChecksum(h, 0, 0, 0));
    std::memcpy(h + 280, writer.scrambleTable.data(), 256);
    if (!writeBytes(writer, h, sizeof h)) {
        abandonPackage(writer);
        return false;
    }
    return true;
}

bool appendPackage(PackageWriter& writer, const std::string& path) {
    abandonPackage(writer);
    writer.failed = false;
    // The old package must be sound and end in its marker; its scramble table is needed for
    // scrambled entries to read back.
    int64_t marker = 0;
    {
        PackageReader reader;
        if (!openPackageFile(path, reader, true, &marker) || reader.header.count != 0 ||
            marker != reader.fileSize - 2)
            return false;
        writer.scrambleTable = reader.header.scrambleTable;
        writer.magic = reader.header.magic;
    }
    writer.file = std::fopen(path.c_str(), "r+b");
    if (!writer.file) return false;
    if (fseeko(writer.file, marker, SEEK_SET) != 0) {
        std::fclose(writer.file);
        writer.file = nullptr;
        return false;
    }
    writer.path = path;
    writer.appending = true;
    writer.appendEnd = marker;
    return true;
}

bool beginEntry(PackageWriter& writer, std::string_view name) {
    if (!writer.file || writer.failed || writer.inEntry || name.size() > kPackageMaxName)
        return false;
    uint32_t flags = 0;
    if (writer.compressed) flags |= kPackageFlagCompressed;
    if (writer.reserved) flags |= kPackageFlagReserved;
    if (writer.autoExtract) flags |= kPackageFlagAutoExtract;
    if (writer.flagD) flags |= kPackageFlagD;
    if (writer.scrambled) flags |= kPackageFlagScrambled;
    if (writer.compressed) {
        if (writer.streamReady && deflateReset(&writer.stream) != Z_OK) {
            deflateEnd(&writer.stream);
            writer.streamReady = false;
        }
        if (!writer.streamReady) {
            writer.stream = z_stream{};
            if (deflateInit(&writer.stream, Z_DEFAULT_COMPRESSION) != Z_OK) {
                writer.deflateState = kDeflateFailed;
                return false;
            }
            writer.streamReady = true;
        }
        writer.output.resize(kCopyChunk);
        writer.stream.next_out = writer.output.data();
        writer.stream.avail_out = static_cast<uInt>(writer.output.size());
        writer.deflateState = kDeflating;
    } else {
        writer.deflateState = kDeflateIdle;
    }
    writer.name.assign(name);
    writer.entryFlags = flags;
    writer.entryAttribute = writer.attribute;
    writer.recordStart = ftello(writer.file);
    if (writer.recordStart < 0) writer.failed = true;
    // Placeholder for the header, written for real when the sizes are known.
    uint8_t zeros[kRecordFixed + kPackageMaxName] = {};
    if (!writeBytes(writer, zeros, kRecordFixed + name.size())) return false;
    writer.dataStart = writer.recordStart + static_cast<int64_t>(kRecordFixed + name.size());
    writer.storedSize = writer.fedBytes = 0;
    writer.dataChecksum = writer.scrambleCounter = 0;
    writer.inEntry = true;
    return true;
}

size_t writeEntry(const void* buffer, size_t itemSize, size_t itemCount, PackageWriter& writer) {
    if (!writer.inEntry || writer.failed || itemSize == 0 || itemCount == 0) return 0;
    if (itemCount > SIZE_MAX / itemSize) return 0;
    size_t total = itemSize * itemCount;
    const auto* data = static_cast<const uint8_t*>(buffer);
    if (!(writer.entryFlags & kPackageFlagCompressed))
        return writeStored(writer, data, total) ? itemCount : 0;

    if (writer.deflateState != kDeflating) return 0;
    writer.fedBytes += total;
    z_stream& z = writer.stream;
    while (total > 0) {
        uInt piece = static_cast<uInt>(std::min<size_t>(total, UINT_MAX));
        z.next_in = const_cast<Bytef*>(data);
        z.avail_in = piece;
        while (z.avail_in > 0) {
            if (deflate(&z, Z_NO_FLUSH) == Z_STREAM_ERROR) {
                writer.deflateState = kDeflateFailed;
                return 0;
            }
            if (z.avail_out == 0 && !flushDeflateOutput(writer)) return 0;
        }
        data += piece;
        total -= piece;
    }
    return itemCount;
}

bool endEntry(PackageWriter& writer) {
    if (!writer.inEntry) return false;
    writer.inEntry = false;
    if (writer.failed) return false;
    if (writer.entryFlags & kPackageFlagCompressed) {
        if (writer.deflateState != kDeflating) return dropEntry(writer);
        z_stream& z = writer.stream;
        z.next_in = nullptr;
        z.avail_in = 0;
        for (;;) {
            int ret = deflate(&z, Z_FINISH);
            if (ret == Z_STREAM_ERROR) {
                writer.deflateState = kDeflateFailed;
                return dropEntry(writer);
            }
            if (ret == Z_STREAM_END) break;
            if (!flushDeflateOutput(writer)) return false;
        }
        if (!flushDeflateOutput(writer)) return false;
        writer.deflateState = kDeflateIdle;
    }
    // Sizes are 32-bit on disk.
    if (writer.storedSize > UINT32_MAX || writer.fedBytes > UINT32_MAX) return dropEntry(writer);

    const bool compressed = writer.entryFlags & kPackageFlagCompressed;
    const auto stored = static_cast<uint32_t>(writer.storedSize);
    const auto decoded = static_cast<uint32_t>(writer.fedBytes);
    const size_t n = writer.name.size();
    uint8_t h[kRecordFixed + kPackageMaxName];
    h[0] = 'L';
    h[1] = 'I';
    putBe32(h + 2, recordChecksum(writer.name, compressed, writer.entryFlags & kPackageFlagReserved,
                                  writer.entryFlags & kPackageFlagAutoExtract,
                                  writer.entryFlags & kPackageFlagD, writer.entryAttribute, stored,
                                  decoded, writer.dataChecksum));
    h[6] = static_cast<uint8_t>(n);
    std::memcpy(h + 7, writer.name.data(), n);
    uint8_t* f = h + 7 + n;
    putBe32(f, writer.entryFlags);
    putBe32(f + 4, writer.entryAttribute);
    putBe32(f + 8, stored);
    putBe32(f + 12, decoded);
    putBe32(f + 16, writer.dataChecksum);
    if (fseeko(writer.file, writer.recordStart, SEEK_SET) != 0) writer.failed = true;
    writeBytes(writer, h, kRecordFixed + n);
    if (!writer.failed &&
        fseeko(writer.file, writer.dataStart + static_cast<int64_t>(stored), SEEK_SET) != 0)
        writer.failed = true;
    return !writer.failed;
}

bool finishPackage(PackageWriter& writer) {
    if (!writer.file) return false;
    if (writer.inEntry) endEntry(writer);
    writeBytes(writer, "EP", 2);
    if (!writer.failed && std::fflush(writer.file) != 0) writer.failed = true;
    if (writer.failed) {
        abandonPackage(writer);
        return false;
    }
    bool ok = std::fclose(writer.file) == 0;
    writer.file = nullptr;
    if (!writer.appending) {
        if (ok) ok = std::rename(writer.tempPath.c_str(), writer.path.c_str()) == 0;
        if (!ok) unlink(writer.tempPath.c_str());
        writer.tempPath.clear();
    }
    writer.appending = false;
    return ok;
}

bool writeStreamEntry(PackageWriter& writer, std::string_view stream, std::string_view name) {
    if (!beginEntry(writer, name)) return false;
    bool ok =
        stream.empty() || writeEntry(stream.data(), 1, stream.size(), writer) == stream.size();
    return endEntry(writer) && ok;
}

bool writeStringsEntry(PackageWriter& writer, const StringList& lines, std::string_view name) {
    return writeStreamEntry(writer, joinLines(lines), name);
}

}  // namespace zarvo

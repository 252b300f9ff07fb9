#include "archive/package_writer.hpp"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <random>

#include "archive/package_reader.hpp"

namespace zarvo {
namespace {

using namespace package_format;

void fillScrambleTable(std::array<uint8_t, 256>& table) {
    auto now = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    std::seed_seq seq{static_cast<uint32_t>(now), static_cast<uint32_t>(now >> 32),
                      std::random_device{}()};
    std::mt19937 gen(seq);
    for (auto& b : table) b = static_cast<uint8_t>(gen() >> 24);
}

int64_t writePosition(const PackageWriter& w) {
    return w.pendingAt + static_cast<int64_t>(w.pending.size());
}

bool flushPending(PackageWriter& w) {
    if (!w.failed && !w.pending.empty() &&
        !w.file->writeAt(w.pendingAt, w.pending.data(), w.pending.size()))
        w.failed = true;
    w.pendingAt += static_cast<int64_t>(w.pending.size());
    w.pending.clear();
    return !w.failed;
}

// Small writes gather in memory and reach the file in pieces of kCopyChunk or more.
bool writeBytes(PackageWriter& w, const void* data, size_t n) {
    if (w.failed) return false;
    if (w.pending.size() + n > kCopyChunk && !flushPending(w)) return false;
    if (n >= kCopyChunk) {
        if (!w.file->writeAt(w.pendingAt, data, n)) w.failed = true;
        w.pendingAt += static_cast<int64_t>(n);
    } else {
        const auto* p = static_cast<const uint8_t*>(data);
        w.pending.insert(w.pending.end(), p, p + n);
    }
    return !w.failed;
}

// Overwrites bytes already written (a record header once its sizes are known).
bool patchBytes(PackageWriter& w, int64_t offset, const void* data, size_t n) {
    if (w.failed) return false;
    if (offset >= w.pendingAt) {
        std::memcpy(w.pending.data() + (offset - w.pendingAt), data, n);
    } else if (!flushPending(w) || !w.file->writeAt(offset, data, n)) {
        w.failed = true;
    }
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
    if (w.recordStart >= w.pendingAt) {
        w.pending.resize(static_cast<size_t>(w.recordStart - w.pendingAt));
        flushPending(w);
    } else {
        w.pending.clear();
        w.pendingAt = w.recordStart;
    }
    if (!w.failed && !w.file->truncate(w.recordStart)) w.failed = true;
    return false;
}

// Closes an unfinished package: a new one is removed, an appended one gets its old end back.
void abandonPackage(PackageWriter& w) {
    if (!w.file) return;
    w.pending.clear();  // unwritten bytes must not land after the rollback
    if (w.appending && w.file->truncate(w.appendEnd + 2)) w.file->writeAt(w.appendEnd, "EP", 2);
    w.file->abandon();
    w.file.reset();
    w.inEntry = false;
    w.appending = false;
}

}  // namespace

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
    writer.replaced = false;
    writer.pending.clear();
    writer.pendingAt = 0;
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

bool createPackage(platform::FileSystem& files, PackageWriter& writer, const std::string& path) {
    abandonPackage(writer);
    writer.failed = false;
    // The package is written beside its target and moved over it when finished, so a failed
    // write never costs the old file.
    writer.file = files.createFile(path);
    if (!writer.file) return false;
    writer.path = path;
    writer.appending = false;
    writer.pendingAt = 0;
    writer.pending.clear();
    fillScrambleTable(writer.scrambleTable);

    if (!writer.stub.empty()) {
        std::string marker(kPackageStubDashes, '-');
        marker += '+';
        writeBytes(writer, writer.stub.data(), writer.stub.size());
        writeBytes(writer, marker.data(), marker.size());
    }
    uint8_t h[kPackageHeaderSize];
    encodeHeader(writer.magic, writer.scrambleTable, h);
    if (!writeBytes(writer, h, sizeof h)) {
        abandonPackage(writer);
        return false;
    }
    return true;
}

bool appendPackage(platform::FileSystem& files, PackageWriter& writer, const std::string& path) {
    abandonPackage(writer);
    writer.failed = false;
    // The old package must be sound and end in its marker; its scramble table is needed for
    // scrambled entries to read back.
    int64_t marker = 0;
    {
        PackageReader reader;
        if (!openPackageChain(files, path, reader, marker) || marker != reader.fileSize - 2)
            return false;
        writer.scrambleTable = reader.header.scrambleTable;
        writer.magic = reader.header.magic;
    }
    writer.file = files.openForUpdate(path);
    if (!writer.file) return false;
    writer.path = path;
    writer.appending = true;
    writer.appendEnd = marker;
    writer.pendingAt = marker;
    writer.pending.clear();
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
    writer.recordStart = writePosition(writer);
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

    const auto stored = static_cast<uint32_t>(writer.storedSize);
    const auto decoded = static_cast<uint32_t>(writer.fedBytes);
    uint8_t h[kRecordFixed + kPackageMaxName];
    size_t length = encodeRecord(writer.name, writer.entryFlags, writer.entryAttribute, stored,
                                 decoded, writer.dataChecksum, h);
    patchBytes(writer, writer.recordStart, h, length);
    return !writer.failed;
}

bool finishPackage(PackageWriter& writer) {
    if (!writer.file) return false;
    if (writer.inEntry) endEntry(writer);
    writeBytes(writer, "EP", 2);
    flushPending(writer);
    if (writer.failed) {
        abandonPackage(writer);
        return false;
    }
    bool ok = writer.file->finish();
    writer.replaced = writer.file->replacedTarget();
    writer.file.reset();
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

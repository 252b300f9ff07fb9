#include "archive/package_reader.hpp"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <ostream>
#include <stdexcept>

#include "base/text.hpp"

namespace zarvo {
namespace {

using namespace package_format;

// Opens and indexes a package. An empty record chain is accepted only when asked (appending);
// readers treat it as no package.
bool openPackageFile(const platform::FileSystem& files, const std::string& path, PackageReader& r,
                     bool allowEmpty, int64_t& endMarker) {
    closePackage(r);
    r.file = files.openRead(path);
    if (!r.file) return false;
    r.fileSize = r.file->size();

    bool ok = [&] {
        uint8_t first[8];
        if (r.file->readAt(0, first, 8) != 8) return false;
        int64_t base = 0;
        if (first[0] == 'M' && first[1] == 'Z') {
            base = findStubEnd(*r.file);
            if (base < 0) return false;
        }
        r.packageStart = base;
        if (!readIndex(*r.file, base, r.header, r.firstRecord, r.entries, endMarker)) return false;
        return r.header.count != 0 || allowEmpty || !r.entries.empty();
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
    size_t got = r.file->readAt(e.offset + r.consumed, dst, n);
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

}  // namespace

PackageReader::PackageReader() = default;

PackageReader::~PackageReader() {
    closePackage(*this);
    if (streamReady) inflateEnd(&stream);
}

bool hasMagic(const platform::FileSystem& files, const std::string& path, std::string_view magic) {
    std::unique_ptr<platform::ReadableFile> file = files.openRead(path);
    if (!file) return false;
    std::string head(magic.size(), '\0');
    size_t got = file->readAt(0, head.data(), head.size());
    return got == magic.size() && head == magic;
}

bool openPackage(const platform::FileSystem& files, const std::string& path,
                 PackageReader& reader) {
    int64_t endMarker = 0;
    return openPackageFile(files, path, reader, false, endMarker);
}

bool openPackageChain(const platform::FileSystem& files, const std::string& path,
                      PackageReader& reader, int64_t& endMarker) {
    return openPackageFile(files, path, reader, true, endMarker) && reader.header.count == 0;
}

void closePackage(PackageReader& reader) {
    reader.file.reset();
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

}  // namespace zarvo

// Packages built byte by byte, for layouts and damage the writer never produces.
#pragma once
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "archive/package.hpp"

namespace zarvo::test {

inline void appendBe32(std::string& s, uint32_t v) {
    for (int i = 3; i >= 0; --i) s += static_cast<char>(v >> (8 * i));
}
inline void appendLe32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i));
}

inline std::string zlibCompress(const std::string& data) {
    uLongf n = compressBound(data.size());
    std::string out(n, '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(data.data()),
             data.size());
    out.resize(n);
    return out;
}

// A zlib stream of `prefix` then `mib` MiB of zero bytes, cheap to build and about 1 KB stored
// a MiB: after a full flush every MiB of zeros compresses to the same block, so one is repeated.
inline std::string inflatingBomb(const std::string& prefix, size_t mib) {
    const std::string zeros(size_t{1} << 20, '\0');
    z_stream z{};
    deflateInit(&z, Z_BEST_COMPRESSION);
    auto run = [&z](const std::string& in, int flush) {
        std::string out(compressBound(static_cast<uLong>(in.size())) + 64, '\0');
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
        z.avail_in = static_cast<uInt>(in.size());
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = static_cast<uInt>(out.size());
        deflate(&z, flush);
        out.resize(out.size() - z.avail_out);
        return out;
    };
    std::string stream = run(prefix, Z_FULL_FLUSH);
    const std::string block = run(zeros, Z_FULL_FLUSH);
    std::string end = run("", Z_FINISH);
    deflateEnd(&z);
    for (size_t i = 0; i < mib; ++i) stream += block;
    // The trailer's checksum is that of the whole content.
    const uLong zerosSum =
        adler32(adler32(0, nullptr, 0), reinterpret_cast<const Bytef*>(zeros.data()),
                static_cast<uInt>(zeros.size()));
    uLong sum = adler32(adler32(0, nullptr, 0), reinterpret_cast<const Bytef*>(prefix.data()),
                        static_cast<uInt>(prefix.size()));
    for (size_t i = 0; i < mib; ++i) sum = adler32_combine(sum, zerosSum, zeros.size());
    end.resize(end.size() - 4);
    appendBe32(end, static_cast<uint32_t>(sum));
    return stream + end;
}

struct RawRecord {
    std::string name;
    uint32_t flags = 0;
    std::string stored;  // bytes as they lie on disk (never scrambled here)
    uint32_t decoded = 0;
};

// A record-chain package with a zero scramble table and correct checksums.
inline std::string chainPackage(const std::vector<RawRecord>& records,
                                std::string_view magic = "QZ7PKG") {
    std::string h(264, '\0');
    h.replace(0, magic.size(), magic);
    uint32_t c = packageChecksum(0, h.data(), h.size());
    c = packageChecksumInt(packageChecksumInt(packageChecksumInt(c, 0), 0), 0);
    appendLe32(h, 0);
    appendBe32(h, 0);
    appendBe32(h, 0);
    appendBe32(h, c);
    h.append(256, '\0');
    for (const RawRecord& r : records) {
        uint32_t s = packageChecksumByte(0, static_cast<uint8_t>(r.name.size()));
        s = packageChecksum(s, r.name.data(), r.name.size());
        for (uint32_t bit :
             {kPackageFlagCompressed, kPackageFlagReserved, kPackageFlagAutoExtract, kPackageFlagD})
            s = packageChecksumByte(s, (r.flags & bit) ? 1 : 0);
        uint32_t dataSum = packageChecksum(0, r.stored.data(), r.stored.size());
        for (uint32_t v : {0u, static_cast<uint32_t>(r.stored.size()), r.decoded, dataSum})
            s = packageChecksumInt(s, v);
        h += "LI";
        appendBe32(h, s);
        h += static_cast<char>(r.name.size());
        h += r.name;
        appendBe32(h, r.flags);
        appendBe32(h, 0);
        appendBe32(h, static_cast<uint32_t>(r.stored.size()));
        appendBe32(h, r.decoded);
        appendBe32(h, dataSum);
        h += r.stored;
    }
    return h + "EP";
}

struct DirRecord {
    std::string name;
    uint32_t wordA = 0;
    uint32_t wordB = 0;
    std::string stored;
};

// The older layout: a little-endian directory of 272-byte entries, then the data area.
inline std::string directoryPackage(const std::vector<DirRecord>& records) {
    std::string h(264, '\0');
    h.replace(0, 6, "QZ7PKG");
    appendLe32(h, static_cast<uint32_t>(records.size()));
    std::string data;
    for (const DirRecord& r : records) {
        std::string e(256, '\0');
        e.replace(0, r.name.size(), r.name);
        appendLe32(e, r.wordA);
        appendLe32(e, r.wordB);
        appendLe32(e, static_cast<uint32_t>(data.size()));
        appendLe32(e, static_cast<uint32_t>(r.stored.size()));
        h += e;
        data += r.stored;
    }
    return h + data;
}

inline std::string stubbed(const std::string& package, size_t dashes = 255) {
    return std::string("MZ") + "\x90 a small program" + std::string(dashes, '-') + "+" + package;
}

}  // namespace zarvo::test

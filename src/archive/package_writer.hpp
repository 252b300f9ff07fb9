// Writing packages (the record-chain layout only), through the FileSystem the writer is opened
// with. A writer is a plain record driven by free functions.
#pragma once
#include <zlib.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "archive/package_format.hpp"
#include "base/string_list.hpp"
#include "platform/file_system.hpp"

namespace zarvo {

enum DeflateState : int { kDeflateFailed = 0, kDeflateIdle = 1, kDeflating = 2 };

// A package being written. A created package replaces its target only when finishPackage
// succeeds; an append that is not finished is rolled back to the old package. Destroying an
// unfinished writer abandons it that way.
struct PackageWriter {
    PackageWriter();
    ~PackageWriter();
    PackageWriter(const PackageWriter&) = delete;
    PackageWriter& operator=(const PackageWriter&) = delete;

    // Settings taken by the next beginEntry.
    bool compressed = false;
    bool reserved = false;
    bool autoExtract = false;
    bool flagD = false;
    bool scrambled = false;
    uint32_t attribute = 0;
    // Program bytes createPackage writes in front of the package, followed by the marker.
    std::string stub;

    std::array<char, 8> magic{};
    std::array<uint8_t, 256> scrambleTable{};

    std::unique_ptr<platform::WritableFile> file;  // null = nothing open
    std::string path;                              // the package being written
    bool appending = false;
    int64_t appendEnd = 0;  // position of the old end marker
    bool failed = false;    // a write failed: the package cannot be finished
    bool replaced = false;  // finishPackage moved it over its target, even if it then failed
    // Bytes not yet handed to the file, to be written at pendingAt; the file is written in
    // order, so pendingAt + pending.size() is where the next byte goes.
    std::vector<uint8_t> pending;
    int64_t pendingAt = 0;

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

void initWriter(PackageWriter& writer);
void setMagic(PackageWriter& writer, std::string_view magic);
bool createPackage(platform::FileSystem& files, PackageWriter& writer, const std::string& path);
bool appendPackage(platform::FileSystem& files, PackageWriter& writer, const std::string& path);
bool beginEntry(PackageWriter& writer, std::string_view name);
size_t writeEntry(const void* buffer, size_t itemSize, size_t itemCount, PackageWriter& writer);
bool endEntry(PackageWriter& writer);
bool finishPackage(PackageWriter& writer);

bool writeStreamEntry(PackageWriter& writer, std::string_view stream, std::string_view name);
bool writeStringsEntry(PackageWriter& writer, const StringList& lines, std::string_view name);

}  // namespace zarvo

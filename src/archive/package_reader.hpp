// Reading packages: projects, the system library and save files. A reader is a plain record
// driven by free functions; it holds one open file, read through the FileSystem it was opened
// with.
//
// Every size and offset taken from a file is checked against the file's real size when it is
// opened, so a damaged package fails to open instead of being read out of bounds.
#pragma once
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "archive/package_format.hpp"
#include "base/limits.hpp"
#include "base/string_list.hpp"
#include "platform/file_system.hpp"

namespace zarvo {

enum InflateState : int { kInflateFailed = 0, kInflateIdle = 1, kInflating = 2 };

// An open package. Closes itself when destroyed. Not copyable and not movable: the zlib stream
// points back at its own record.
struct PackageReader {
    PackageReader();
    ~PackageReader();
    PackageReader(const PackageReader&) = delete;
    PackageReader& operator=(const PackageReader&) = delete;

    bool isOpen() const { return file != nullptr; }

    std::unique_ptr<platform::ReadableFile> file;  // null = closed
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
    uint64_t entryLimit = kMaxEntryBytes;
};

bool hasMagic(const platform::FileSystem& files, const std::string& path, std::string_view magic);
bool openPackage(const platform::FileSystem& files, const std::string& path, PackageReader& reader);
// For appending: opens a record-chain package, an empty one too, and tells where its end marker
// stands.
bool openPackageChain(const platform::FileSystem& files, const std::string& path,
                      PackageReader& reader, int64_t& endMarker);
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

}  // namespace zarvo

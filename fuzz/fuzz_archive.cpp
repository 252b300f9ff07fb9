// Archives and disc images on arbitrary bytes: open, walk every folder (nested archives
// included), read every file whole and by pieces, and check that nothing was written.
#include <cstdint>
#include <string>
#include <vector>

#include "backends/archive/archive_file_system.hpp"
#include "base/limits.hpp"
#include "support/memory_file_system.hpp"

namespace {

using zarvo::platform::ArchiveFileSystem;

void check(bool ok) {
    if (!ok) __builtin_trap();
}

void walk(ArchiveFileSystem& files, const std::string& folder, int depth, int& budget) {
    std::vector<std::string> names;
    if (depth > 8 || !files.listDirectory(folder, names)) return;
    for (const std::string& name : names) {
        if (--budget < 0) return;
        check(!name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos);
        const std::string path = folder + "/" + name;
        if (files.exists(path)) {
            std::string bytes;
            auto file = files.openRead(path);
            if (files.readFile(path, bytes)) {
                check(bytes.size() <= zarvo::kMaxEntryBytes);
                check(file && file->size() == static_cast<int64_t>(bytes.size()));
                char piece[7];
                int64_t at = file->size() / 2;
                size_t n = file->readAt(at, piece, sizeof piece);
                check(n == std::min<size_t>(sizeof piece, bytes.size() - static_cast<size_t>(at)));
                check(bytes.compare(static_cast<size_t>(at), n, piece, n) == 0);
            }
        }
        if (files.directoryExists(path)) walk(files, path, depth + 1, budget);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zarvo::test::MemoryFileSystem memory;
    memory.makeDirectory("/in");
    memory.bytes("/in/story.bin").assign(reinterpret_cast<const char*>(data), size);
    zarvo::platform::ArchiveError error;
    auto files = ArchiveFileSystem::open(memory, "/in/story.bin", error);
    if (!files) {
        check(error.kind != zarvo::platform::ArchiveErrorKind::None && !error.detail.empty());
        return 0;
    }
    int budget = 2000;
    walk(*files, "/in/story.bin", 0, budget);
    check(!files->writeFile("/in/story.bin/new", "x"));
    check(memory.fileNames().size() == 1);
    return 0;
}

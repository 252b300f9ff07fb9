#include "story/story_key.hpp"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string_view>

#include "archive/package_reader.hpp"
#include "platform/file_system.hpp"

namespace zarvo {
namespace {

constexpr int64_t kEdgeBytes = 64 * 1024;

// FNV-1a, 64 bits: fixed by its definition, so the same bytes give the same key on every
// machine and in every build.
struct Fnv {
    uint64_t value = 1469598103934665603ull;
    void add(std::string_view bytes) {
        for (unsigned char c : bytes) value = (value ^ c) * 1099511628211ull;
    }
    void addNumber(uint64_t n) {
        for (int i = 0; i < 8; ++i) value = (value ^ ((n >> (8 * i)) & 0xFF)) * 1099511628211ull;
    }
};

// Where the package starts in a program with a package behind its stub; 0 for anything else.
int64_t packageStart(const platform::FileSystem& files, const std::string& path) {
    if (!hasMagic(files, path, "MZ")) return 0;
    PackageReader package;
    return openPackage(files, path, package) ? package.packageStart : 0;
}

bool addRange(Fnv& hash, const platform::ReadableFile& file, int64_t from, int64_t to) {
    std::string bytes(static_cast<size_t>(to - from), '\0');
    if (file.readAt(from, bytes.data(), bytes.size()) != bytes.size()) return false;
    hash.add(bytes);
    return true;
}

}  // namespace

std::string storyKey(const platform::FileSystem& files, const std::string& projectPath) {
    Fnv hash;
    bool read = false;
    if (std::unique_ptr<platform::ReadableFile> file = files.openRead(projectPath)) {
        const int64_t start = packageStart(files, projectPath);
        const int64_t end = file->size();
        const int64_t size = end - start;
        hash.addNumber(static_cast<uint64_t>(size));
        if (size <= 2 * kEdgeBytes) {
            read = addRange(hash, *file, start, end);
        } else {
            read = addRange(hash, *file, start, start + kEdgeBytes) &&
                   addRange(hash, *file, end - kEdgeBytes, end);
        }
    }
    if (!read) {
        hash = Fnv{};
        hash.add("path:");
        hash.add(files.absolutePath(projectPath));
    }
    char key[17];
    std::snprintf(key, sizeof key, "%016llx", static_cast<unsigned long long>(hash.value));
    return key;
}

}  // namespace zarvo

#include "player/read_messages.hpp"

#include <cstdio>
#include <memory>

#include "base/sjis.hpp"
#include "platform/file_system.hpp"

namespace zarvo {
namespace {

// The folder and whichever of its parents are missing.
bool makeFolders(platform::FileSystem& files, const std::string& folder) {
    if (folder.empty() || files.directoryExists(folder)) return true;
    const std::string parent = platform::parentPath(folder);
    if (parent != folder && !makeFolders(files, parent)) return false;
    return files.makeDirectory(folder);
}

}  // namespace

std::string ReadMessages::fileFor(const std::string& folder, const std::string& key) {
    return platform::joinPath(platform::joinPath(folder, "read"), key + ".read");
}

std::string ReadMessages::pathNamedFileFor(const platform::FileSystem& files,
                                           const std::string& folder,
                                           const std::string& projectPath) {
    // FNV-1a of the whole path: stable between runs and machines' builds.
    uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : files.absolutePath(projectPath)) hash = (hash ^ c) * 1099511628211ull;
    std::string name;
    for (char c : platform::fileName(projectPath))
        name += (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) ? '_' : c;
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, "-%016llx.read", static_cast<unsigned long long>(hash));
    return platform::joinPath(platform::joinPath(folder, "read"), name + suffix);
}

std::string ReadMessages::keyOf(std::string_view book, std::string_view page, int32_t index) {
    return sjisToUtf8(book) + "/" + sjisToUtf8(page) + "#" + std::to_string(index);
}

bool ReadMessages::load(const platform::FileSystem& files, const std::string& path) {
    if (!files.exists(path)) return true;
    // A long story has some thousands of messages; far more is no record of ours.
    std::unique_ptr<platform::ReadableFile> file = files.openRead(path);
    std::string bytes;
    if (!file || file->size() > 16 * 1024 * 1024 || !files.readFile(path, bytes)) return false;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        start = end + 1;
        size_t hash = line.rfind('#');
        if (line.find('/') != std::string::npos && hash != std::string::npos &&
            hash + 1 < line.size() &&
            line.find_first_not_of("0123456789", hash + 1) == std::string::npos)
            read_.insert(line);
    }
    return true;
}

bool ReadMessages::save(platform::FileSystem& files, const std::string& path) {
    if (!changed_) return true;
    if (!makeFolders(files, platform::parentPath(path))) return false;
    std::string text;
    for (const auto& key : read_) text += key + "\n";
    if (!files.writeFile(path, text)) return false;
    changed_ = false;
    return true;
}

bool ReadMessages::markRead(std::string_view book, std::string_view page, int32_t index) {
    bool added = read_.insert(keyOf(book, page, index)).second;
    changed_ = changed_ || added;
    return !added;
}

bool ReadMessages::isRead(std::string_view book, std::string_view page, int32_t index) const {
    return read_.count(keyOf(book, page, index)) != 0;
}

}  // namespace zarvo

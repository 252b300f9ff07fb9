#include "story/reader_copy_file_system.hpp"

#include <algorithm>

namespace zarvo {

void ReaderCopyFileSystem::redirect(const std::string& storyFolder,
                                    const std::string& readerFolder) {
    storyFolder_ = storyFolder;
    while (storyFolder_.size() > 1 && storyFolder_.back() == '/') storyFolder_.pop_back();
    readerFolder_ = readerFolder;
}

bool ReaderCopyFileSystem::copyOf(const std::string& path, std::string& copy) const {
    if (storyFolder_.empty()) return false;
    if (path == storyFolder_) {
        copy = readerFolder_;
        return true;
    }
    const bool root = storyFolder_ == "/";
    if (path.size() <= storyFolder_.size() || path.compare(0, storyFolder_.size(), storyFolder_))
        return false;
    if (!root && path[storyFolder_.size()] != '/') return false;
    copy = platform::joinPath(readerFolder_, path.substr(storyFolder_.size() + (root ? 0 : 1)));
    return true;
}

std::string ReaderCopyFileSystem::readFrom(const std::string& path) const {
    std::string copy;
    if (copyOf(path, copy) && files_.exists(copy)) return copy;
    return path;
}

bool ReaderCopyFileSystem::makeParents(const std::string& copy) {
    std::vector<std::string> missing;
    for (std::string dir = platform::parentPath(copy); !dir.empty() && !files_.directoryExists(dir);
         dir = platform::parentPath(dir)) {
        missing.push_back(dir);
        if (dir == "/" || platform::parentPath(dir) == dir) break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it)
        if (!files_.makeDirectory(*it)) return false;
    return true;
}

bool ReaderCopyFileSystem::exists(const std::string& path) const {
    std::string copy;
    return (copyOf(path, copy) && files_.exists(copy)) || files_.exists(path);
}

bool ReaderCopyFileSystem::directoryExists(const std::string& path) const {
    std::string copy;
    return (copyOf(path, copy) && files_.directoryExists(copy)) || files_.directoryExists(path);
}

bool ReaderCopyFileSystem::readFile(const std::string& path, std::string& bytes) const {
    return files_.readFile(readFrom(path), bytes);
}

bool ReaderCopyFileSystem::makeDirectory(const std::string& path) {
    std::string copy;
    if (!copyOf(path, copy)) return files_.makeDirectory(path);
    // The folder must be there as the story sees it (its parent), not necessarily in the copy.
    if (!directoryExists(platform::parentPath(path)) && path != storyFolder_) return false;
    return makeParents(copy) && files_.makeDirectory(copy);
}

bool ReaderCopyFileSystem::listDirectory(const std::string& path,
                                         std::vector<std::string>& names) const {
    std::string copy;
    std::vector<std::string> own;
    const bool hasCopy = copyOf(path, copy) && files_.listDirectory(copy, own);
    const bool listed = files_.listDirectory(path, names);
    if (!hasCopy) return listed;
    if (!listed) names.clear();
    for (std::string& name : own)
        if (std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(std::move(name));
    return true;
}

std::unique_ptr<platform::ReadableFile> ReaderCopyFileSystem::openRead(
    const std::string& path) const {
    return files_.openRead(readFrom(path));
}

std::unique_ptr<platform::WritableFile> ReaderCopyFileSystem::createFile(const std::string& path) {
    std::string copy;
    if (!copyOf(path, copy)) return files_.createFile(path);
    if (!makeParents(copy)) return nullptr;
    return files_.createFile(copy);
}

std::unique_ptr<platform::WritableFile> ReaderCopyFileSystem::openForUpdate(
    const std::string& path) {
    std::string copy;
    if (!copyOf(path, copy)) return files_.openForUpdate(path);
    // The story's own file is never written: the reader's copy is made first and updated.
    if (!files_.exists(copy) &&
        (!files_.exists(path) || !makeParents(copy) || !files_.copyFile(path, copy)))
        return nullptr;
    return files_.openForUpdate(copy);
}

bool ReaderCopyFileSystem::rename(const std::string& from, const std::string& to) {
    std::string fromCopy, toCopy;
    const bool fromMapped = copyOf(from, fromCopy), toMapped = copyOf(to, toCopy);
    if (!fromMapped && !toMapped) return files_.rename(from, to);
    const std::string source = fromMapped && files_.exists(fromCopy) ? fromCopy : from;
    const std::string target = toMapped ? toCopy : to;
    if (toMapped && !makeParents(target)) return false;
    // A file only the story holds cannot leave it; it is copied, and the copy takes the name.
    if (source == from && fromMapped) {
        const std::string temp = target + ".zarvo-moving";
        files_.remove(temp);
        if (!files_.copyFile(from, temp)) return false;
        return files_.rename(temp, target);
    }
    return files_.rename(source, target);
}

bool ReaderCopyFileSystem::remove(const std::string& path) {
    std::string copy;
    if (!copyOf(path, copy)) return files_.remove(path);
    // Only the reader's copy can go; the story's own file stays what it is.
    return files_.remove(copy);
}

bool ReaderCopyFileSystem::copyFile(const std::string& from, const std::string& to) {
    std::string copy;
    if (!copyOf(to, copy)) return files_.copyFile(readFrom(from), to);
    if (exists(to) || !makeParents(copy)) return false;
    return files_.copyFile(readFrom(from), copy);
}

std::string ReaderCopyFileSystem::absolutePath(const std::string& path) const {
    return files_.absolutePath(path);
}

std::string ReaderCopyFileSystem::placeOf(const std::string& path) const {
    // The story's own file where the reader has no copy of it; else the copy, which is also
    // where a file or folder not there yet will be made.
    std::string copy;
    if (!copyOf(path, copy)) return files_.placeOf(path);
    return !files_.exists(copy) && files_.exists(path) ? files_.placeOf(path) : copy;
}

bool folderIsWritable(platform::FileSystem& files, const std::string& folder) {
    if (!files.directoryExists(folder)) return false;
    std::unique_ptr<platform::WritableFile> probe =
        files.createFile(platform::joinPath(folder, ".zarvoplay-write-probe"));
    if (!probe) return false;
    probe->abandon();
    return true;
}

std::string readerStoryFolder(const std::string& dataFolder, const std::string& key) {
    return platform::joinPath(platform::joinPath(dataFolder, "stories"), key);
}

}  // namespace zarvo
